#pragma once
// The main window's commands for window tests: START and NEXT are counted; the window's
// creation, showing and closing call `onCreated`, `onShown` and `onClosing`, the close
// notice `onClosed`, each when set; everything else does nothing.
#include <functional>

#include "ui/app/main_form.h"

namespace velmaro::test {

class CountingCommands final : public ui::MainFormCommands {
public:
    std::function<void()> onCreated, onShown, onClosing, onClosed;
    int starts = 0, nexts = 0, lastModifiers = -1;

    void printBracket() override {}
    void raceReport() override {}
    void undelete() override {}
    void deleteAll() override {}
    void classSplit() override {}
    void resultsXls() override {}
    void registration() override {}
    void copyToScoreboardSettings() override {}
    void start(int modifiers) override {
        ++starts;
        lastModifiers = modifiers;
    }
    void next() override { ++nexts; }
    void blockStart() override {}
    void resetScoreboards(int) override {}
    bool startKey(StartKey, bool) override { return false; }
    void brightness(int) override {}
    void setPenalty() override {}
    void deleteItem() override {}
    void printTimeslip(int) override {}
    void search(int) override {}
    void generateBracket() override {}
    void sysTimer() override {}
    void secondTimer() override {}
    void windowCreated() override { run(onCreated); }
    void windowShown() override { run(onShown); }
    void windowClosing() override { run(onClosing); }
    void closed() override { run(onClosed); }

private:
    static void run(const std::function<void()>& f) {
        if (f) f();
    }
};

} // namespace velmaro::test
