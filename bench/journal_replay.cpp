// The replay of the node link's hit journal at start-up, after a flood the console did not
// finish: 5,000 and 50,000 hits in the journal, two thirds of them taken before the stop
// (in hitlog.txt and the mode's file, with the journal's notes), the last third only
// acknowledged; a few hits of the flood come out of time order. Drag mode (mode 0: a run takes its few hits, the rest are refused) and lap
// mode (mode 1: transponder laps of 100 racers, every hit a lap).
//
// Timed: reading the journal, the hits fed through the intake in the window's slices (the
// event loop runs between them) and hitlog.txt, lap_single.txt or drag.txt written, until
// the whole replay is in hitlog.txt. The event files and the
// journal are put back before each iteration (untimed), and the event loaded as at start-up.
// The cost should be linear: 50,000 takes about ten times 5,000.
#include <benchmark/benchmark.h>

#include <QCoreApplication>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bench_event_host.h"
#include "bench_lap_host.h"
#include "core/drag/drag_file.h"
#include "core/drag/drag_runs.h"
#include "core/drag/fake_drag_host.h"
#include "core/intake/hit_intake.h"
#include "core/intake/journal_replay.h"
#include "core/lap/lap_host.h"
#include "core/lap/lap_results_worker.h"
#include "core/lap/lap_timing.h"
#include "core/link/hit_journal.h"
#include "core/platform/files.h"
#include "core/platform/program_folder.h"
#include "core/platform/timing_mode.h"
#include "fakes/scripted_operator.h"
#include "ui/link/system_events.h"

namespace {

using namespace velmaro;
namespace fs = std::filesystem;

constexpr std::uint64_t kT0 = 1'700'000'000'000ULL;
constexpr int kSlice = 40;   // hits per slice of the flood before the stop
constexpr int kRacers = 100; // lap mode: transponder tags 1001..1100

enum BenchMode : int { kDrag = 0, kLap = 1 };

class NoLapRegistry : public LapRegistry {
public:
    std::vector<LapRacerInfo> racers() const override { return {}; }
    std::optional<LapRacerInfo> findRacer(uint32_t) const override { return std::nullopt; }
    std::vector<LapClassInfo> classes() const override { return {}; }
    void moveClass(int, int) override {}
    void setRacerClasses(uint32_t, const std::vector<int32_t>&) override {}
    void saveRacers() override {}
    void clearClassResults() override {}
    void appendClassResult(int32_t, uint32_t) override {}
};

// The console's timing state on the event folder, loaded as at start-up: the intake with
// the drag runs or the lap timing registered for its mode, writing its notes to the journal.
struct Console {
    test::FakeDragHost drag;
    HitIntake& intake = drag.intake;
    DragRuns runs{drag};
    NoLapRegistry lapRegistry;
    bench::BenchLapHost lapHost{lapRegistry, timingModeNumber(TimingMode::LapOneGate), true};
    test::ScriptedOperator quiet;
    LapTiming lap{lapHost, intake, quiet};
    LapResultsWorker worker{[](LapResultsOutput) {}};
    HitJournal journal;
    BenchMode mode;

    Console(BenchMode m, const fs::path& folder, const fs::path& journalFile) : journal(journalFile), mode(m) {
        drag.folder = folder;
        drag.intakeHost.folder = folder;
        lapHost.folder = folder;
        (void)journal.open();
        drag.intakeHost.journal = &journal;
        if (mode == kDrag) {
            drag.mode = 0;
            drag.intakeHost.mode = 0;
            runs.registerHitHandlers();
            runs.loadDragFile();
        } else {
            drag.intakeHost.mode = timingModeNumber(TimingMode::LapOneGate);
            lapHost.worker = &worker;
            worker.start();
            intake.handlers().setLapHandler(
                TimingMode::LapOneGate,
                [this](int n, int s, std::uint64_t t, int r, int c) { (void)lap.processHitLapSingle(n, s, t, r, c); });
            lap.loadLapSingle();
        }
        intake.loadHitLog();
    }
    ~Console() {
        runs.clearHitHandlers();
        intake.handlers().clearAll();
        worker.stop();
    }
};

// Hit `i` of the flood, 3 ms after the one before, in the order the link took them: every
// 1,000th comes from a node whose clock is 4 ms behind, so it is older than the hit before
// it (in lap mode the lap file is then written whole).
TSignalHit floodHit(BenchMode mode, int i) {
    const bool behind = i % 1000 == 999;
    const std::uint64_t t = kT0 + 10'000 + std::uint64_t(i) * 3 - (behind ? 4 : 0);
    if (mode == kDrag) return {std::uint32_t(1 + i % 7), std::uint32_t(i % 2 == 0 ? SIG_LEFT : SIG_RIGHT), t};
    const int tag = 1001 + i % kRacers;
    return {behind ? 3u : 2u, std::uint32_t(tag << 2), t};
}

// A program folder with the event and the journal as a console left them after a flood of
// `hits` hits; put back into `work` before each iteration.
class Scratch {
public:
    Scratch(BenchMode mode, int hits) {
        base_ = fs::temp_directory_path() / ("velmaro-bench-replay-" + std::to_string(::getpid()) + "-" +
                                             std::to_string(mode) + "-" + std::to_string(hits));
        fs::remove_all(base_);
        const fs::path event = base_ / "kept" / "event";
        fs::create_directories(event);
        if (mode == kDrag) {
            std::vector<TDragRaceItem> list;
            for (int i = 0; i < 200; ++i) {
                TDragRaceItem run;
                run.runId = i + 1;
                run.racer = {2 * i + 1, 2 * i + 2};
                list.push_back(run);
            }
            if (!writeFileAtomic(event / "drag.txt", formatDragFile(list)).ok()) std::fprintf(stderr, "no drag.txt\n");
        }
        Console console(mode, event, base_ / "kept" / "hit_journal.txt");
        const int taken = hits * 2 / 3;
        for (int i = 0; i < hits;) {
            HitBatch batch(console.intake);
            for (int k = 0; k < kSlice && i < hits; ++k, ++i) {
                const TSignalHit h = floodHit(mode, i);
                (void)console.journal.append(h, kT0);
                if (i < taken) console.intake.processHit(int(h.node), int(h.signal), h.time, HIT_FROM_DEVICE);
            }
        }
        if (console.intake.hitList().size() != std::size_t(taken)) std::fprintf(stderr, "flood not logged\n");
    }
    ~Scratch() { fs::remove_all(base_); }

    fs::path event() const { return base_ / "work" / "event"; }
    fs::path journal() const { return base_ / "work" / "hit_journal.txt"; }
    void restore() const {
        fs::remove_all(base_ / "work");
        fs::copy(base_ / "kept", base_ / "work", fs::copy_options::recursive);
    }

private:
    fs::path base_;
};

class IdleLink : public ui::SystemEventLink {
public:
    std::size_t hitCount() override { return 0; }
    bool tryPopHit(TSignalHit&) override { return false; }
    void hitsLogged() override {}
    void disarmAutoStart() override {}
    std::array<std::uint8_t, CHANNEL_COUNT> channelLevels() override { return {}; }
};

// What the console does with the journal at the first event load: read, then fed in the
// window's slices until hitlog.txt holds every hit.
void replayJournal(Console& console, const fs::path& journal, const fs::path& event) {
    IdleLink link;
    bench::IdleEventHost host;
    ui::SystemEventHandler handler(
        link, host, console.quiet, nullptr, nullptr, console.intake,
        [&console](int n, int s, std::uint64_t t, int src) { console.intake.processHit(n, s, t, src); });
    JournalReplay replay = readJournalReplay(journal, event);
    bool done = false;
    handler.replayJournal(std::move(replay.hits), replay.taken, [&done] { done = true; });
    while (!done) QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void BM_JournalReplay(benchmark::State& state) {
    const auto mode = static_cast<BenchMode>(state.range(0));
    const int hits = static_cast<int>(state.range(1));
    setProgramFolder(fs::temp_directory_path());
    const Scratch scratch(mode, hits);
    for (auto _ : state) {
        state.PauseTiming();
        scratch.restore();
        {
            Console console(mode, scratch.event(), scratch.journal());
            state.ResumeTiming();
            replayJournal(console, scratch.journal(), scratch.event());
            state.PauseTiming();
            if (console.intake.hitList().size() != std::size_t(hits) || !console.intake.hitLogSaved())
                state.SkipWithError("the replay did not log every hit");
        }
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * hits);
}
BENCHMARK(BM_JournalReplay)
    ->ArgNames({"lap", "hits"})
    ->Args({kDrag, 5000})
    ->Args({kDrag, 50000})
    ->Args({kLap, 5000})
    ->Args({kLap, 50000})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
