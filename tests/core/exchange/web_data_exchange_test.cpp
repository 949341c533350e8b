// The web data exchange against the test double of the exchange library: what goes out
// and in which order, what the incoming messages do, and the messages that must be
// skipped without losing the ones around them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <fstream>
#include <thread>

#include <nlohmann/json.hpp>

#include "core/app/console.h"
#include "core/bracket/bracket_pages.h"
#include "core/drag/drag_run.h"
#include "core/drag/drag_runs.h"
#include "core/drag/fake_drag_host.h"
#include "core/exchange/web_data_exchange.h"
#include "core/platform/program_folder.h"
#include "core/registration/racer_export.h"
#include "core/registration/registry.h"
#include "core/results/drag_results.h"
#include "core/results/results_export.h"
#include "core/results/results_grid.h"
#include "core/results/results_port_fake.h"
#include "fakes/recording_opener.h"
#include "fakes/scripted_operator.h"
#include "fakes/temp_folder.h"

namespace velmaro::test {
namespace {

using nlohmann::json;
using ::testing::ElementsAre;

class RecordingPort : public WebExchangePort {
public:
    int repaints = 0;
    bool mustWait = false;
    void repaintRunGrid() override { ++repaints; }
    bool incomingMustWait() override { return mustWait; }
};

// The registry's window side as the console connects it: the race information goes out.
class SendingSink : public ClassPageSink {
public:
    SendingSink(Console& console, const TRegistry& registry) : console_(console), registry_(registry) {}
    void sendRaceInfo() override { velmaro::sendRaceInfo(console_, registry_); }
    void notifyResultsThread() override {}

private:
    Console& console_;
    const TRegistry& registry_;
};

// The results thread's documents go to the exchange library, as in the console.
class ExchangeResultsPort : public FakeDragResultsPort {
public:
    explicit ExchangeResultsPort(Console& console) : console_(console) {}
    void sendData(const std::string& text, const char* kind) override { console_.exchange.send(text, kind); }
    bool proStartSignal() override { return console_.proStart; }
    std::string eventName() override { return console_.eventName; }

private:
    Console& console_;
};

// One "exchange sendData" line of the test double's log: data and kind.
struct Sent {
    std::string data, kind;
    bool operator==(const Sent&) const = default;
};
void PrintTo(const Sent& s, std::ostream* os) { *os << s.kind << ": " << s.data.substr(0, 60); }

class ExchangeTest : public ::testing::Test {
protected:
    ExchangeTest()
        : scoped(op), sink(console, reg), resultsPort(console), exchange(console, port, results, reg, op, runs) {
        setProgramFolder(home.path());
        Console& c = console;
        c.eventName = "Кубок \"Осень\"";
        c.raceGuid = "{0A1B2C3D-0000-4000-8000-00000000000E}";
        c.eventFolder = home / "CHALLENGES/E";
        std::filesystem::create_directories(c.eventFolder);
        reg.setEventFolder(c.eventFolder);
        reg.setDatabaseFile(home / "DB/racersdb.txt");
        reg.setSink(&sink);
        reg.addClass("Стрит");
        reg.addClass("Pro");
        addRacer(12, "Иванов", "{A}", 0);
        addRacer(7, "Петров", "{B}", 1);
        ::setenv("VELMARO_FAKE_LIBS_LOG", (home / "calls.log").c_str(), 1);
        ::setenv("VELMARO_FAKE_EXCHANGE_INBOX", (home / "inbox.txt").c_str(), 1);
        c.mainWindow.attach([this](unsigned message, std::uintptr_t, std::intptr_t) {
            if (message == WM_EXCHANGE_DATA) ++notifications;
        });
    }
    ~ExchangeTest() override {
        resultsPort.worker = nullptr;
        resultsWorker.reset();
        Console& c = console;
        c.exchange.close();
        c.mainWindow.detach();
        ::unsetenv("VELMARO_FAKE_LIBS_LOG");
        ::unsetenv("VELMARO_FAKE_EXCHANGE_INBOX");
    }

    void addRacer(std::uint32_t number, const std::string& name, const std::string& guid, std::int32_t cls) {
        reg.racers.push_back(std::make_unique<TRacerItem>(number));
        reg.racers.back()->name = name;
        reg.racers.back()->guid = guid;
        reg.racers.back()->classIds = {cls};
    }
    // Puts a variant of the test double into the program folder and loads it.
    void openLibrary(const std::string& variant = "full") {
        const std::filesystem::path file = home / variant / "wsadapter.so";
        std::filesystem::create_directories(file.parent_path());
        std::filesystem::copy_file(std::filesystem::path(VELMARO_FAKE_LIBS_DIR) / variant / "wsadapter.so", file);
        ASSERT_TRUE(console.exchange.open(file, console.mainWindow.window()));
    }
    // Messages waiting in the library, one per line.
    void inbox(const std::vector<std::string>& messages) {
        std::ofstream out(home / "inbox.txt", std::ios::binary | std::ios::app);
        for (const auto& m : messages) out << m << '\n';
    }
    // The library signals waiting messages, as the web service makes it do.
    void post() {
        const int before = notifications;
        console.exchange.send("POST", "");
        ASSERT_EQ(notifications, before + 1);
        exchange.onExchangeData();
    }
    std::vector<std::string> calls() const {
        std::vector<std::string> lines;
        std::ifstream in(home / "calls.log");
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
    // What was sent since the last call, INIT and POST included.
    std::vector<Sent> sent() {
        std::vector<Sent> out;
        const auto lines = calls();
        for (std::size_t i = seen; i < lines.size(); ++i) {
            const std::string prefix = "exchange sendData ";
            if (lines[i].rfind(prefix, 0) != 0) continue;
            const std::string rest = lines[i].substr(prefix.size());
            const auto kindAt = rest.rfind(' ');
            const auto argAt = rest.rfind(' ', kindAt - 1);
            out.push_back({rest.substr(0, argAt), rest.substr(kindAt + 1)});
        }
        seen = lines.size();
        return out;
    }
    // A results worker that has rebuilt from one run of racers 12 and 7.
    void startResults() {
        // No pause between rebuilds: the worker rebuilds as often as it is handed runs.
        resultsWorker = std::make_unique<TDragResultsCntr>(
            brackets, nullptr, [](std::chrono::steady_clock::time_point, const std::function<bool()>&) {});
        resultsPort.worker = resultsWorker.get();
        TDragRaceItem run;
        run.runId = 1;
        run.racer = {12, 7};
        run.classId = {0, 1};
        run.et = {9520, 9980};
        run.rt = {380, 420};
        runs.dragRuns() = {run};
        runs.currentRunIndex() = 0;
        results.dragResultsCntr()->setEventRuns(runs.dragRuns(), results.sampleResultsOptions());
        while (results.dragResultsCntr()->rebuildCount() == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    static json record(const std::string& guid, int num, const std::string& name) {
        return json{
            {"guid", guid},         {"num", num},           {"pilotName", name},          {"carModel", "Модель"},
            {"pilotCity", "Город"}, {"passedToRace", true}, {"classes", json::array({1})}};
    }
    static std::string racersData(const json& records, bool overwriteAll = false) {
        return json{
            {"event", "data"}, {"dataKind", "racersData"}, {"overwriteAll", overwriteAll}, {"racersData", records}}
            .dump();
    }

    Console console; // fresh for each case
    TempFolder home;
    ScriptedOperator op;
    ScopedSaveReportLog scoped;
    TRegistry reg; // the console's racers and classes
    SendingSink sink;
    ExchangeResultsPort resultsPort;
    BracketPages brackets;
    DragResults results{resultsPort, brackets, reg};
    std::unique_ptr<TDragResultsCntr> resultsWorker; // startResults
    RecordingPort port;
    test::FakeDragHost dragHost;
    DragRuns runs{dragHost};
    WebDataExchange exchange;
    int notifications = 0;
    std::size_t seen = 0;
};

const char* const kClasses = R"([{"classId":0,"className":"Стрит"},{"classId":1,"className":"Pro"}])";

TEST_F(ExchangeTest, RaceInformation_ExactTextWithTheRacerListUntilAccepted) {
    openLibrary();
    sendRaceInfo(console, reg);
    console.sendRacersList = true; // a class split
    sendRaceInfo(console, reg);
    inbox({R"({"event":"racersAccepted"})"});
    post();
    sendRaceInfo(console, reg);

    const std::string head = std::string(R"({"classesList":)") + kClasses +
                             R"(,"raceGuid":"{0A1B2C3D-0000-4000-8000-00000000000E}","raceName":"Кубок \"Осень\"")";
    const std::string racers =
        R"([{"carModel":"","classes":[0],"guid":"{A}","num":12,"passedToRace":true,"pilotCity":"","pilotName":"Иванов","team":""},)"
        R"({"carModel":"","classes":[1],"guid":"{B}","num":7,"passedToRace":true,"pilotCity":"","pilotName":"Петров","team":""}])";
    const auto out = sent();
    ASSERT_EQ(out.size(), 5u);
    EXPECT_EQ(out[0].data, "INIT");
    EXPECT_EQ(out[1], (Sent{head + "}", "race_info"}));
    EXPECT_EQ(out[2], (Sent{head + R"(,"racersList":)" + racers + "}", "race_info"}));
    EXPECT_EQ(out[3].data, "POST");
    EXPECT_EQ(out[4], (Sent{head + "}", "race_info"}));
    const json doc = json::parse(out[2].data);
    EXPECT_EQ(doc["raceName"], "Кубок \"Осень\"");
    EXPECT_EQ(doc["racersList"][1]["pilotName"], "Петров");
    EXPECT_FALSE(console.sendRacersList);
}

TEST_F(ExchangeTest, InitMessages_AnswerInTheirOrder) {
    openLibrary();
    startResults();
    inbox({R"({"clientType":"RegistrationPost","event":"init"})", R"({"clientType":"TitlesScreen","event":"init"})",
           R"({"clientType":"RegistrationPost","event":"Init"})", R"({"clientType":"Other","event":"init"})",
           R"({"event":"resendResults"})"});
    post();
    const auto out = sent();
    std::vector<std::string> kinds;
    for (const Sent& s : out) {
        kinds.push_back(s.data == "INIT" || s.data == "POST" ? s.data : s.kind);
        // Every document that goes out is JSON.
        if (s.kind != "") {
            EXPECT_TRUE(json::accept(s.data)) << s.data;
        }
    }
    EXPECT_THAT(kinds, ElementsAre("INIT", "POST", "race_info", "results", "results", "results", "results", "race_info",
                                   "online", "results", "results", "results", "results"));
    EXPECT_EQ(out[2].data.rfind(R"({"classesList":)", 0), 0u);
    const char* names[] = {"allDragResults", "practiceResults", "qualResults", "raceResults"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(out[3 + i].data, results.dragResultsCntr()->getResults(names[i]));
        EXPECT_TRUE(json::parse(out[3 + i].data).contains(names[i]));
        EXPECT_EQ(out[9 + i].data, out[3 + i].data);
    }
    EXPECT_EQ(out[7].data, kRegistrationListRequest);
    EXPECT_EQ(out[7].data, R"({"request":"get_registration_list"})");
    EXPECT_EQ(json::parse(out[8].data)["runId"], 1);
    EXPECT_TRUE(op.logLines.empty());
    EXPECT_FALSE(exchange.pending());
}

TEST_F(ExchangeTest, WithoutResultsThreadOrSendData_OnlyWhatCanGoOut) {
    openLibrary();
    inbox({R"({"clientType":"RegistrationPost","event":"init"})"});
    post();
    auto out = sent();
    ASSERT_EQ(out.size(), 4u); // INIT, POST, race_info, request: no results without the worker
    EXPECT_EQ(out[3].data, kRegistrationListRequest);

    // A library without sendData still hands messages over: the registry takes them.
    console.exchange.close();
    std::filesystem::remove(home / "inbox.txt");
    openLibrary("no_send");
    inbox({racersData(json::array({record("{C}", 30, "Сидоров")}))});
    exchange.onExchangeData();
    ASSERT_EQ(reg.racers.size(), 3u);
    EXPECT_EQ(sent().size(), 1u); // DEINIT of the first library only
}

TEST_F(ExchangeTest, RacersData_MergesSavesAndSendsTheListsBack) {
    openLibrary();
    console.sendRacersList = true;
    TRacerItem* ivanov = reg.racers[0].get();
    inbox({racersData(json::array({record("{A}", 15, "Иванов-2"), record("{C}", 30, "Сидоров")}))});
    post();
    ASSERT_EQ(reg.racers.size(), 3u);
    EXPECT_EQ(reg.racers[0].get(), ivanov); // changed in place
    EXPECT_EQ(ivanov->number, 15u);
    EXPECT_EQ(reg.racers[2]->guid, "{C}");
    EXPECT_NE(home.read("CHALLENGES/E/racers.txt").find("30,Сидоров"), std::string::npos);
    EXPECT_EQ(port.repaints, 1);
    const auto out = sent();
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[2].kind, "race_info");
    EXPECT_EQ(json::parse(out[2].data)["racersList"][2]["pilotName"], "Сидоров");

    // overwriteAll replaces the whole list.
    inbox({racersData(json::array({record("{D}", 40, "Новый")}), true)});
    post();
    ASSERT_EQ(reg.racers.size(), 1u);
    EXPECT_EQ(reg.racers[0]->guid, "{D}");
    EXPECT_EQ(home.read("CHALLENGES/E/racers.txt").find("Сидоров"), std::string::npos);
}

TEST_F(ExchangeTest, RacersDeleted_RemovesSavesAndSendsTheListsBack) {
    openLibrary();
    inbox({R"({"event":"data","dataKind":"racersDeleted","removeList":["{A}","{nobody}"]})",
           R"({"event":"data","dataKind":"other","removeList":["{B}"]})"});
    post();
    ASSERT_EQ(reg.racers.size(), 1u);
    EXPECT_EQ(reg.racers[0]->guid, "{B}");
    EXPECT_EQ(home.read("CHALLENGES/E/racers.txt").find("{A}"), std::string::npos);
    EXPECT_EQ(port.repaints, 1);
    const auto out = sent();
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(json::parse(out[2].data)["classesList"].size(), 2u);
    EXPECT_EQ(reg.findClass(0)->racerCount, 0);
}

// Each bad message is skipped with one log line; the sound message after it still counts.
TEST_F(ExchangeTest, MalformedMessages_AreSkippedAndNothingIsLost) {
    openLibrary();
    const std::string deep(100000, '[');
    const std::vector<std::pair<std::string, std::string>> bad = {
        {"truncated", R"({"event":"data","dataKind":"racersData","racersData":[{"guid":"{X}")"},
        {"empty", ""},
        {"not an object", R"(["event","init"])"},
        {"event not a text", R"({"event":5})"},
        {"clientType not a text", R"({"clientType":["RegistrationPost"],"event":"init"})"},
        {"dataKind not a text", R"({"event":"data","dataKind":{"k":1}})"},
        {"overwriteAll not a boolean",
         R"({"event":"data","dataKind":"racersData","overwriteAll":"yes","racersData":[]})"},
        {"racersData missing", R"({"event":"data","dataKind":"racersData","overwriteAll":true})"},
        {"racersData an object", R"({"event":"data","dataKind":"racersData","racersData":{"guid":"{X}"}})"},
        {"removeList not texts", R"({"event":"data","dataKind":"racersDeleted","removeList":["{A}",5]})"},
        {"removeList missing", R"({"event":"data","dataKind":"racersDeleted"})"},
        {"num beyond 32 bits", R"({"event":"data","dataKind":"racersData","racersData":[{"guid":"{X}",)"
                               R"("num":99999999999999999999999,"pilotName":"X","carModel":"","pilotCity":"",)"
                               R"("passedToRace":true,"classes":[]}]})"},
        {"number overflow", R"({"event":"data","dataKind":"racersData","racersData":[{"num":1e400}]})"},
        {"invalid UTF-8", "{\"event\":\"data\",\"dataKind\":\"racersData\",\"racersData\":[{\"guid\":\"{X}\",\"num\":3,"
                          "\"pilotName\":\"\xD0\",\"carModel\":\"\",\"pilotCity\":\"\",\"classes\":[]}]}"},
        {"overlong UTF-8", "{\"event\":\"\xC0\xAF\"}"},
        {"deep nesting", deep},
        {"one bad record among sound ones",
         racersData(json::array({record("{Y}", 50, "Y"), json{{"guid", "{Z}"}, {"num", 51}}}))},
    };
    std::vector<std::string> messages;
    for (std::size_t i = 0; i < bad.size(); ++i) {
        messages.push_back(bad[i].second);
        messages.push_back(
            racersData(json::array({record("{N" + std::to_string(i) + "}", 100 + static_cast<int>(i), "Гонщик")})));
    }
    inbox(messages);
    post();
    while (exchange.pending()) exchange.tick();

    // One line per bad message, and every sound message merged, in order.
    ASSERT_EQ(op.logLines.size(), bad.size()) << ::testing::PrintToString(op.logLines);
    for (const std::string& line : op.logLines)
        EXPECT_TRUE(line.rfind("Веб-обмен: ", 0) == 0 || line.rfind("Список участников: ", 0) == 0) << line;
    // A record-level fault is named by the registry.
    EXPECT_NE(op.logLines.back().find("racersData[1]"), std::string::npos) << op.logLines.back();
    ASSERT_EQ(reg.racers.size(), 2 + bad.size());
    for (std::size_t i = 0; i < bad.size(); ++i) EXPECT_EQ(reg.racers[2 + i]->number, 100 + i);
    EXPECT_EQ(reg.findRacerByGuid("{Y}"), nullptr);
    EXPECT_EQ(reg.findRacerByGuid("{X}"), nullptr);
    EXPECT_EQ(port.repaints, static_cast<int>(bad.size()));
}

// A racer list longer than any event is cut while it is read: the registry merges its
// first records and says once that the rest were skipped.
TEST_F(ExchangeTest, OversizedRacerList_IsCutAtTheCapWithOneLogLine) {
    const std::size_t cap = TRegistry::kMaxIncomingRacers;
    json records = json::array();
    for (std::size_t i = 0; i < cap + 50; ++i)
        records.push_back(record("{G" + std::to_string(i) + "}", 100 + static_cast<int>(i), "Гонщик"));
    records.push_back(json::object()); // beyond the cap: not even read
    ASSERT_TRUE(exchange.handleMessage(racersData(records)).ok());
    ASSERT_EQ(reg.racers.size(), 2 + cap);
    EXPECT_EQ(reg.racers.back()->guid, "{G" + std::to_string(cap - 1) + "}");
    ASSERT_EQ(op.logLines.size(), 1u);
    EXPECT_NE(op.logLines[0].find(std::to_string(cap)), std::string::npos) << op.logLines[0];
    EXPECT_EQ(port.repaints, 1);
}

// The reproducer kept with the fuzz corpus: a web racer list whose texts a spreadsheet
// would run as formulas. Imported as they were typed, they reach no CSV as a formula.
TEST_F(ExchangeTest, RacerTextsThatWouldRunAsFormulas_AreNeutralisedInTheCsvFiles) {
    std::ifstream in(std::string(VELMARO_FUZZ_CORPUS) + "/registration_json/repro_csv_injection.json",
                     std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    ASSERT_FALSE(text.empty());
    ASSERT_TRUE(exchange.handleMessage(text).ok());
    const TRacerItem* x = reg.findRacerByGuid("{X1}");
    ASSERT_NE(x, nullptr);
    EXPECT_EQ(x->name, R"x(=HYPERLINK("http://example.invalid";"open"))x");

    const std::filesystem::path folder = console.eventFolder;
    RecordingOpener opener;
    ASSERT_TRUE(exportRacerList(reg, folder, "E", opener, op).ok());
    EXPECT_NE(home.read("CHALLENGES/E/racers.csv")
                  .find(R"x(1;5;;"'=HYPERLINK(""http://example.invalid"";""open"")";'+1-2;"'@SUM(1;2)";;)x"
                        "\n"),
              std::string::npos)
        << home.read("CHALLENGES/E/racers.csv");

    TDragResult result(5, 0);
    result.bestRt = 410;
    TDragResultsView view;
    view.resultsByClass[0] = {result};
    view.resultsByClass[-1] = {result};
    const ResultsTable table = dragResultsTable(view, reg);
    ASSERT_TRUE(exportResults(table, table.columnWidths, 0, folder, "E", ".", opener, op).ok());
    const std::string csv = home.read("CHALLENGES/E/E.csv");
    EXPECT_NE(csv.find(R"x(1;5;"'=HYPERLINK(""http://example.invalid"";""open"")";"'@SUM(1;2)";;'+1-2;;0.410;)x"),
              std::string::npos)
        << csv;
}

// A library that fills the whole buffer without the terminating zero.
const char* fillingGetData(char* buffer, int size) {
    static int call = 0;
    switch (call++ % 3) {
    case 0: std::memset(buffer, '{', static_cast<std::size_t>(size)); return buffer;
    case 1: std::strcpy(buffer, R"({"event":"racersAccepted"})"); return buffer;
    default: return nullptr;
    }
}

TEST_F(ExchangeTest, TextWithoutEndInTheBuffer_IsSkippedNotReadPast) {
    console.sendRacersList = true;
    console.exchange.getData = fillingGetData;
    exchange.onExchangeData();
    ASSERT_EQ(op.logLines.size(), 1u);
    EXPECT_NE(op.logLines[0].find("4194304"), std::string::npos);
    EXPECT_FALSE(console.sendRacersList); // the message after it was handled
    console.exchange.getData = nullptr;
}

std::atomic<int> gGetCalls{0};
vlm_get_data_fn gLibraryGetData = nullptr;
const char* countingGetData(char* buffer, int size) {
    ++gGetCalls;
    return gLibraryGetData(buffer, size);
}
std::atomic<int> gOnlineSends{0};
void countingSendData(const char*, intptr_t, const char* kind) {
    if (std::strcmp(kind, "online") == 0) ++gOnlineSends;
}

// 10,000 waiting messages are taken a batch per notification or timer tick, in order,
// and none is lost.
TEST_F(ExchangeTest, Flood_IsTakenOneBatchPerTick) {
    openLibrary();
    ::unsetenv("VELMARO_FAKE_LIBS_LOG");
    runs.dragRuns().assign(1, TDragRaceItem{});
    runs.currentRunIndex() = 0;
    std::vector<std::string> messages(9999, R"({"clientType":"TitlesScreen","event":"init"})");
    messages.push_back(racersData(json::array({record("{LAST}", 99, "Последний")})));
    inbox(messages);
    gLibraryGetData = console.exchange.getData;
    console.exchange.getData = countingGetData;
    console.exchange.sendData = countingSendData;
    gGetCalls = 0;
    gOnlineSends = 0;

    exchange.onExchangeData();
    EXPECT_EQ(gGetCalls, WebDataExchange::kBatchSize);
    EXPECT_TRUE(exchange.pending());
    int ticks = 0;
    while (exchange.pending()) {
        const int before = gGetCalls;
        exchange.tick();
        EXPECT_LE(gGetCalls - before, WebDataExchange::kBatchSize);
        ++ticks;
        // The last message waits for the very end.
        if (exchange.pending()) {
            ASSERT_EQ(reg.findRacerByGuid("{LAST}"), nullptr);
        }
    }
    EXPECT_EQ(ticks, 10000 / WebDataExchange::kBatchSize); // 312 full batches after the first, then the end
    EXPECT_EQ(gOnlineSends, 9999);
    EXPECT_NE(reg.findRacerByGuid("{LAST}"), nullptr);
    EXPECT_TRUE(op.logLines.empty());
    exchange.tick(); // nothing waits: no call
    EXPECT_EQ(gGetCalls, 10001);
}

TEST_F(ExchangeTest, WhileADialogIsOpen_MessagesWaitInTheLibrary) {
    openLibrary();
    inbox({R"({"event":"data","dataKind":"racersDeleted","removeList":["{A}"]})"});
    port.mustWait = true;
    post();
    exchange.tick();
    EXPECT_EQ(reg.racers.size(), 2u);
    EXPECT_TRUE(exchange.pending());
    port.mustWait = false;
    exchange.tick();
    EXPECT_EQ(reg.racers.size(), 1u);
    EXPECT_FALSE(exchange.pending());
}

TEST_F(ExchangeTest, WithoutTheLibrary_NothingIsSentOrRead) {
    sendRaceInfo(console, reg);
    exchange.onExchangeData();
    exchange.tick();
    EXPECT_TRUE(calls().empty());
    // A library without getData: the notification is ignored.
    openLibrary("no_get");
    inbox({R"({"event":"racersAccepted"})"});
    console.sendRacersList = true;
    exchange.onExchangeData();
    EXPECT_TRUE(console.sendRacersList);
    EXPECT_FALSE(exchange.pending());
}

// Racers freed by incoming messages while the results worker rebuilds: the worker reads
// its own copy of the registry, and the documents follow the new names.
TEST_F(ExchangeTest, RacersReplacedWhileTheWorkerRebuilds) {
    openLibrary();
    ::unsetenv("VELMARO_FAKE_LIBS_LOG");
    startResults();
    for (int i = 0; i < 200; ++i) {
        const std::string name = "Имя " + std::to_string(i);
        ASSERT_TRUE(exchange.handleMessage(racersData(json::array({record("{R}", 12, name)}), true)).ok());
        if (i % 3 == 0) {
            ASSERT_TRUE(
                exchange.handleMessage(R"({"event":"data","dataKind":"racersDeleted","removeList":["{R}"]})").ok());
        }
        results.dragResultsCntr()->setEventRuns(runs.dragRuns(), results.sampleResultsOptions());
    }
    // The worker goes on rebuilding from its copies (run under a sanitizer, a freed racer
    // read by it shows here).
    const std::uint64_t before = results.dragResultsCntr()->rebuildCount();
    results.dragResultsCntr()->setEventRuns(runs.dragRuns(), results.sampleResultsOptions());
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (results.dragResultsCntr()->rebuildCount() <= before && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_GT(results.dragResultsCntr()->rebuildCount(), before);
    ASSERT_EQ(reg.racers.size(), 1u);
    EXPECT_EQ(reg.racers[0]->name, "Имя 199");
}

} // namespace
} // namespace velmaro::test
