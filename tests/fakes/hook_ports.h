#pragma once
// Console ports for tests: each operation calls the hook of the same name when a test
// set one, and does nothing otherwise (registryExists answers no). Tests set only what
// they observe.
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "core/app/console_ports.h"

namespace velmaro::test {

struct ConsoleHooks {
    std::function<bool()> registryExists;
    std::function<void()> freeClasses, removeClassPages, loadClassesAndRacers, loadLapSingle, loadDragFile,
        selectLastDragRow, loadHitLog, sendRaceInfo, leavingEvent, refreshRaceItemClasses, refreshRunClasses,
        resendRunToScoreboards;
    std::function<std::vector<std::pair<int, int>>()> finalCounts;
    std::function<bool()> scoreboardSettingsExist;
    std::function<void(int, int)> setLinkTimeouts;
    std::function<void(std::uintptr_t, std::intptr_t)> onScoreboardEvent, onExchangeData;
};

class HookPorts final : public ConsolePorts {
public:
    ConsoleHooks hooks;

    bool registryExists() override { return hooks.registryExists && hooks.registryExists(); }
    void freeClasses() override { run(hooks.freeClasses); }
    void removeClassPages() override { run(hooks.removeClassPages); }
    void loadClassesAndRacers() override { run(hooks.loadClassesAndRacers); }
    void loadLapSingle() override { run(hooks.loadLapSingle); }
    void loadDragFile() override { run(hooks.loadDragFile); }
    void selectLastDragRow() override { run(hooks.selectLastDragRow); }
    void loadHitLog() override { run(hooks.loadHitLog); }
    void sendRaceInfo() override { run(hooks.sendRaceInfo); }
    void leavingEvent() override { run(hooks.leavingEvent); }
    void refreshRaceItemClasses() override { run(hooks.refreshRaceItemClasses); }
    void refreshRunClasses() override { run(hooks.refreshRunClasses); }
    std::vector<std::pair<int, int>> finalCounts() override {
        return hooks.finalCounts ? hooks.finalCounts() : std::vector<std::pair<int, int>>{};
    }
    bool scoreboardSettingsExist() override {
        return !hooks.scoreboardSettingsExist || hooks.scoreboardSettingsExist();
    }
    void setLinkTimeouts(int repeat, int detector) override {
        if (hooks.setLinkTimeouts) hooks.setLinkTimeouts(repeat, detector);
    }
    void resendRunToScoreboards() override { run(hooks.resendRunToScoreboards); }
    void onScoreboardEvent(std::uintptr_t w, std::intptr_t l) override {
        if (hooks.onScoreboardEvent) hooks.onScoreboardEvent(w, l);
    }
    void onExchangeData(std::uintptr_t w, std::intptr_t l) override {
        if (hooks.onExchangeData) hooks.onExchangeData(w, l);
    }

private:
    static void run(const std::function<void()>& f) {
        if (f) f();
    }
};

} // namespace velmaro::test
