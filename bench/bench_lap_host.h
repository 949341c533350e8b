#pragma once
// The lap timing's host of the benchmarks: no window, nothing shown, nothing asked.
#include <filesystem>

#include "core/lap/lap_host.h"

namespace velmaro::bench {

// The lap timing's host over an event folder and the registry the benchmark fills; the
// results go to `worker` when one is set.
class BenchLapHost : public LapHost {
public:
    explicit BenchLapHost(LapRegistry& registry, int mode = 1, bool transponders = false)
        : registry_(registry), mode_(mode), transponders_(transponders) {}
    std::filesystem::path folder;
    LapResultsWorker* worker = nullptr;
    int raceMode() const override { return mode_; }
    std::filesystem::path eventFolder() const override { return folder; }
    bool blockStDown() const override { return false; }
    bool editingNumber() const override { return false; }
    bool transpondersInUse() const override { return transponders_; }
    bool showDirtyTime() const override { return false; }
    TScoreboardController* scoreboard() override { return nullptr; }
    LapRegistry* registry() override { return &registry_; }
    int gridCurrentRow() const override { return 0; }
    void setGridCurrentRow(int) override {}
    void setGridRowCount(int) override {}
    void repaintGrid() override {}
    void setOnCourseListCount(int) override {}
    bool resultsWindowExists() const override { return true; }
    bool clearTime() const override { return true; }
    bool sumTime() const override { return false; }
    void showLapResults(const LapResultsTable&) override {}
    LapResultsWorker* lapResultsWorker() override { return worker; }

private:
    LapRegistry& registry_;
    int mode_;
    bool transponders_;
};

} // namespace velmaro::bench
