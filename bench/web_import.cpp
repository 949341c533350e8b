// The web data exchange's incoming lists, as one message costs the main thread: the JSON
// text parsed, merged into the registry, racers.txt and the database written.
//
// - BM_RacersDataNew: one racersData of N new racers into an empty registry.
// - BM_RacersDataUpdate: one racersData of N records against 20,000 racers, every other
//   record naming a racer that is there (by GUID), the rest new.
// - BM_RemoveUnknown: one removeList of N GUIDs that no racer has, against 20,000 racers.
//
// Figures (wall time, one run each, on an 8-core build machine with little else running):
//                          each record found by a scan,     look-ups built once per list,
//                          removals erased one by one       removals in one pass
//   RacersDataNew/5000              38 ms                          12 ms
//   RacersDataNew/38000           2465 ms                          44 ms  (10,000 merged)
//   RacersDataUpdate/10000         462 ms                          33 ms
//   RemoveUnknown/300000          6656 ms                          53 ms
// Most of what is left is reading the JSON text itself (about 4 MB for either list).
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "core/app/console.h"
#include "core/bracket/bracket_pages.h"
#include "core/drag/drag_runs.h"
#include "core/drag/fake_drag_host.h"
#include "core/exchange/web_data_exchange.h"
#include "core/platform/program_folder.h"
#include "core/registration/registry.h"
#include "core/results/drag_results.h"
#include "fakes/scripted_operator.h"

namespace velmaro {
namespace {

constexpr int kRegistered = 20'000;

class NoWindows : public WebExchangePort {
public:
    void repaintRunGrid() override {}
    bool incomingMustWait() override { return false; }
};

std::string guidOf(const char* prefix, int i) { return std::string("{") + prefix + std::to_string(i) + "}"; }

// One record as the web service sends it, with empty texts: 38,000 of them are about as
// many as one message can hold (WebDataExchange::kBufferSize).
std::string recordJson(const std::string& guid, int num) {
    return "{\"guid\":\"" + guid + "\",\"num\":" + std::to_string(num) +
           ",\"pilotName\":\"\",\"carModel\":\"\",\"pilotCity\":\"\",\"passedToRace\":true,\"classes\":[" +
           std::to_string(num % 8) + "]}";
}

// A "data" message of `kind` whose member `list` holds `count` elements made by `element`(i),
// i from 1.
template <class Element>
std::string message(const char* kind, const char* list, int count, Element element) {
    std::string text = std::string("{\"event\":\"data\",\"dataKind\":\"") + kind + "\",\"" + list + "\":[";
    for (int i = 1; i <= count; ++i) text += (i > 1 ? "," : "") + element(i);
    return text + "]}";
}

// The drag results of the scene: nothing shown, nothing sent.
class NoResults : public DragResultsPort {
public:
    TDragRankOptions sampleRankOptions() override { return {}; }
    void showResults(const TDragResultsView&) override {}
    void sendData(const std::string&, const char*) override {}
    bool proStartSignal() override { return false; }
    std::string eventName() override { return {}; }
    TDragResultsCntr* resultsWorker() override { return nullptr; }
};

// A registry in a scratch event folder, the exchange's for the benchmark's life.
struct Scene {
    std::filesystem::path home = std::filesystem::temp_directory_path() / "velmaro_bench_web_import";
    TRegistry reg;
    NoWindows port;
    Console console;
    NoResults resultsPort;
    BracketPages brackets;
    DragResults results{resultsPort, brackets, reg};
    test::ScriptedOperator quiet; // keeps the log lines
    test::FakeDragHost dragHost;
    DragRuns runs{dragHost};
    WebDataExchange exchange{console, port, results, reg, quiet, runs};

    Scene() {
        std::filesystem::remove_all(home);
        setProgramFolder(home);
        std::filesystem::create_directories(home / "event");
        reg.setEventFolder(home / "event");
        reg.setDatabaseFile(home / "DB/racersdb.txt");
        for (int c = 0; c < 8; ++c) reg.addClass("Класс " + std::to_string(c));
    }
    ~Scene() {
        std::error_code ec;
        std::filesystem::remove_all(home, ec);
    }

    void registerRacers(int count) {
        reg.racers.clear();
        for (int i = 1; i <= count; ++i) {
            auto r = std::make_unique<TRacerItem>(static_cast<std::uint32_t>(i));
            r->name = "Участник " + std::to_string(i);
            r->guid = guidOf("R", i);
            r->classIds = {i % 8};
            reg.racers.push_back(std::move(r));
        }
    }
};

void BM_RacersDataNew(benchmark::State& state) {
    Scene scene;
    const int n = static_cast<int>(state.range(0));
    const std::string text =
        message("racersData", "racersData", n, [](int i) { return recordJson(guidOf("N", i), i); });
    for (auto _ : state) {
        state.PauseTiming();
        scene.reg.racers.clear();
        state.ResumeTiming();
        benchmark::DoNotOptimize(scene.exchange.handleMessage(text));
    }
    state.counters["racers"] = static_cast<double>(scene.reg.racers.size());
    state.counters["bytes"] = static_cast<double>(text.size());
}
BENCHMARK(BM_RacersDataNew)->Arg(5'000)->Arg(38'000)->Unit(benchmark::kMillisecond);

void BM_RacersDataUpdate(benchmark::State& state) {
    Scene scene;
    const int n = static_cast<int>(state.range(0));
    const std::string text = message("racersData", "racersData", n, [](int i) {
        // Known racers from the end of the list, new ones with numbers no racer has.
        const bool known = i % 2 == 0;
        const int num = known ? kRegistered - i : kRegistered + i;
        return recordJson(known ? guidOf("R", num) : guidOf("N", i), num);
    });
    for (auto _ : state) {
        state.PauseTiming();
        scene.registerRacers(kRegistered);
        state.ResumeTiming();
        benchmark::DoNotOptimize(scene.exchange.handleMessage(text));
    }
    state.counters["racers"] = static_cast<double>(scene.reg.racers.size());
}
BENCHMARK(BM_RacersDataUpdate)->Arg(10'000)->Unit(benchmark::kMillisecond);

void BM_RemoveUnknown(benchmark::State& state) {
    Scene scene;
    scene.registerRacers(kRegistered);
    const int n = static_cast<int>(state.range(0));
    const std::string text =
        message("racersDeleted", "removeList", n, [](int i) { return "\"" + guidOf("X", i) + "\""; });
    for (auto _ : state) benchmark::DoNotOptimize(scene.exchange.handleMessage(text));
    state.counters["racers"] = static_cast<double>(scene.reg.racers.size());
    state.counters["bytes"] = static_cast<double>(text.size());
}
BENCHMARK(BM_RemoveUnknown)->Arg(300'000)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace velmaro

BENCHMARK_MAIN();
