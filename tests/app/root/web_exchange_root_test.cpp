// The web exchange through the running console: the composition root with its windows
// offscreen and the test double of the exchange library in the program folder.
#include <gtest/gtest.h>

#include <QTimer>

#include <atomic>
#include <chrono>
#include <fstream>

#include <nlohmann/json.hpp>

#include "app/root/console_root.h"
#include "core/app/console.h"
#include "core/drag/drag_file.h"
#include "core/drag/drag_run.h"
#include "core/exchange/web_data_exchange.h"
#include "core/platform/program_folder.h"
#include "core/registration/registry.h"
#include "fakes/scripted_operator.h"
#include "fakes/temp_folder.h"
#include "root_test_app.h"

namespace velmaro::test {
namespace {

using namespace std::chrono_literals;

std::atomic<int> gGetCalls{0};
vlm_get_data_fn gLibraryGetData = nullptr;
const char* countingGetData(char* buffer, int size) {
    ++gGetCalls;
    return gLibraryGetData(buffer, size);
}

class WebExchangeRootTest : public ::testing::Test {
protected:
    WebExchangeRootTest() {
        useTestProgramFolder(home.path(), 25000);
        ::setenv("VELMARO_FAKE_EXCHANGE_INBOX", (home / "inbox.txt").c_str(), 1);
        writeTestEvent(home, 0);
        home.write("CHALLENGES/E/race.json", R"({"raceGuid":"{11111111-2222-3333-4444-555555555555}"})");
    }
    ~WebExchangeRootTest() override {
        ::unsetenv("VELMARO_FAKE_LIBS_LOG");
        ::unsetenv("VELMARO_FAKE_EXCHANGE_INBOX");
        ::unsetenv("VELMARO_NODE_PORT");
    }
    // The data of every sendData call, in order.
    std::vector<std::string> sent() const {
        std::vector<std::string> out;
        std::ifstream in(home / "calls.log");
        const std::string prefix = "exchange sendData ";
        for (std::string line; std::getline(in, line);)
            if (line.rfind(prefix, 0) == 0) out.push_back(line.substr(prefix.size()));
        return out;
    }
    void inbox(const std::vector<std::string>& messages) {
        std::ofstream out(home / "inbox.txt", std::ios::binary | std::ios::app);
        for (const auto& m : messages) out << m << '\n';
    }

    TempFolder home;
    ScriptedOperator op;
};

TEST_F(WebExchangeRootTest, TheConsoleKeepsTheWebServiceCurrent) {
    // The prepared run, and a final run of racer 30, whom the site has not sent yet.
    TDragRaceItem prepared;
    prepared.runId = 1;
    prepared.racer = {12, 7};
    TDragRaceItem final;
    final.runId = 2;
    final.runMode = RUN_MODE_FINAL;
    final.racer = {30, 12};
    home.write("CHALLENGES/E/drag.txt", formatDragFile({prepared, final}));
    ConsoleRoot root(op);
    root.launch();
    // Loaded: the lanes without a class take their racer's only class.
    ASSERT_EQ(root.dragRuns().dragRuns().size(), 2u);
    EXPECT_EQ(root.dragRuns().dragRuns()[0].classId, (std::array<std::int32_t, 2>{0, 1}));
    EXPECT_EQ(root.dragRuns().dragRuns()[1].classId, (std::array<std::int32_t, 2>{-1, 0}));
    // INIT, then the race information of the loaded event (the current run goes out too).
    auto out = sent();
    ASSERT_GE(out.size(), 2u);
    EXPECT_EQ(out[0].rfind("INIT ", 0), 0u);
    const std::string raceInfo =
        R"({"classesList":[{"classId":0,"className":"Стрит"},{"classId":1,"className":"Pro"}],)"
        R"("raceGuid":"{11111111-2222-3333-4444-555555555555}","raceName":"E"} 0 race_info)";
    EXPECT_EQ(std::count(out.begin(), out.end(), raceInfo), 1) << ::testing::PrintToString(out);

    // The registration site connects, sends a racer and removes another.
    const std::string racer = R"({"guid":"{C}","num":30,"pilotName":"Сидоров","carModel":"УАЗ",)"
                              R"("pilotCity":"Омск","passedToRace":true,"classes":[1]})";
    inbox({R"({"clientType":"RegistrationPost","event":"init"})",
           R"({"event":"data","dataKind":"racersData","racersData":[)" + racer + "]}",
           R"({"event":"data","dataKind":"racersDeleted","removeList":["{B}"]})"});
    root.console().exchange.send("POST", "");
    ASSERT_TRUE(eventually([&] { return home.read("CHALLENGES/E/racers.txt").find("{B}") == std::string::npos; }));
    EXPECT_NE(home.read("CHALLENGES/E/racers.txt").find("30,Сидоров,УАЗ,Омск"), std::string::npos);
    EXPECT_NE(root.registry().findRacer(30), nullptr);
    // Racer 30's lane took his class at once, and drag.txt holds it.
    EXPECT_EQ(root.dragRuns().dragRuns()[1].classId, (std::array<std::int32_t, 2>{1, 0}));
    EXPECT_NE(home.read("CHALLENGES/E/drag.txt").find("DRAGITEM:30,1,12,0,"), std::string::npos);
    out = sent();
    const auto posted = std::find(out.begin(), out.end(), "POST 0 ");
    // The results worker's documents go out whenever a rebuild ends: they may fall anywhere.
    std::vector<std::string> tail;
    for (auto it = posted == out.end() ? out.end() : posted + 1; it != out.end(); ++it)
        if (!it->ends_with(" results")) tail.push_back(*it);
    ASSERT_GE(tail.size(), 2u) << ::testing::PrintToString(out);
    EXPECT_EQ(tail[0].rfind(R"({"classesList":)", 0), 0u);
    EXPECT_NE(std::find(tail.begin(), tail.end(), R"({"request":"get_registration_list"} 0 race_info)"), tail.end());
    EXPECT_TRUE(op.logLines.empty() || op.logLines.back().find("Веб-обмен") == std::string::npos);

    // "Разбить на классы": No still sends the race information, without the racer list;
    // Yes sends it with the list until the site has accepted it.
    const auto lastRaceInfo = [&] {
        const auto all = sent();
        for (auto it = all.rbegin(); it != all.rend(); ++it)
            if (it->size() > 10 && it->compare(it->size() - 10, 10, " race_info") == 0)
                return nlohmann::json::parse(it->substr(0, it->size() - 12));
        return nlohmann::json();
    };
    std::filesystem::remove(home / "calls.log");
    op.yesNoAnswers = {false};
    root.classSplit();
    EXPECT_FALSE(lastRaceInfo().contains("racersList"));
    op.yesNoAnswers = {true};
    root.classSplit();
    EXPECT_TRUE(lastRaceInfo()["racersList"].is_array());
    inbox({R"({"event":"racersAccepted"})", R"({"event":"data","dataKind":"racersDeleted","removeList":[]})"});
    std::filesystem::remove(home / "calls.log");
    root.console().exchange.send("POST", "");
    ASSERT_TRUE(eventually([&] { return sent().size() >= 2; }));
    EXPECT_FALSE(lastRaceInfo().contains("racersList"));

    root.shutDown();
    EXPECT_EQ(sent().back(), "DEINIT 0 ");
}

// A flood of waiting messages: each turn of the event loop takes a batch or two, the
// window's timers run between them, and every message is handled.
TEST_F(WebExchangeRootTest, AFloodLeavesTheWindowResponsive) {
    ConsoleRoot root(op);
    root.launch();
    ::unsetenv("VELMARO_FAKE_LIBS_LOG");
    std::vector<std::string> messages(9999, R"({"clientType":"TitlesScreen","event":"init"})");
    messages.push_back(R"({"event":"data","dataKind":"racersData","racersData":[{"guid":"{LAST}","num":99,)"
                       R"("pilotName":"Последний","carModel":"","pilotCity":"","passedToRace":true,"classes":[]}]})");
    inbox(messages);
    gLibraryGetData = root.console().exchange.getData;
    root.console().exchange.getData = countingGetData;
    gGetCalls = 0;

    // A timer of the window: how many messages were taken between two of its turns.
    int largestStep = 0, turns = 0, last = 0;
    QTimer probe;
    probe.setInterval(0);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const int now = gGetCalls;
        largestStep = std::max(largestStep, now - last);
        last = now;
        if (now > 0 && now < 10000) ++turns;
    });
    probe.start();
    root.console().exchange.send("POST", "");
    ASSERT_TRUE(eventually([&] { return root.registry().findRacer(99) != nullptr; }, 60000ms));
    probe.stop();
    // A notification and a timer tick may fall into one turn: two batches at most.
    EXPECT_LE(largestStep, 2 * WebDataExchange::kBatchSize);
    EXPECT_GE(turns, 10000 / WebDataExchange::kBatchSize);
    EXPECT_TRUE(op.logLines.empty() || op.logLines.back().find("Веб-обмен") == std::string::npos);
    root.console().exchange.getData = gLibraryGetData;
    root.shutDown();
}

} // namespace
} // namespace velmaro::test
