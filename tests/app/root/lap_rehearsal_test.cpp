// A whole lap event (laps through one gate) run the way an official runs it, through the
// real console with a simulated timing network: a new event, two classes and ten racers
// with transponders entered in the registration window, every racer started with NEXT or
// START and timed over five laps by its transponder, a penalty, a retirement, a deleted
// lap brought back with "Отменить удаление", the lap results, www/table.html and a lap
// receipt; then a second console on the same folder.
//
// Every lap time and place is worked out here from the hit times the test sends.
#include <QListWidget>
#include <QPushButton>
#include <QToolButton>

#include <algorithm>
#include <map>
#include <regex>

#include "app/root/console_root.h"
#include "app/root/console_test.h"
#include "core/app/console.h"
#include "core/lap/lap_timing.h"
#include "core/platform/files.h"
#include "core/registration/registry.h"
#include "ui/app/main_form.h"
#include "ui/registration/edit_class_form.h"
#include "ui/registration/edit_personal_data_form.h"
#include "ui/registration/reg_form.h"
#include "ui/results/rally_results.h"

namespace velmaro::test {
namespace {

struct Racer {
    int number;
    int tag;
    const char* name;
    int classIndex;
};

const std::vector<Racer> kRacers = {
    {31, 101, "Орлов", 0},    {32, 102, "Белов", 0},   {33, 103, "Лебедев", 0}, {34, 104, "Соколов", 0},
    {35, 105, "Новиков", 0},  {41, 106, "Морозов", 1}, {42, 107, "Павлов", 1},  {43, 108, "Федоров", 1},
    {44, 109, "Михайлов", 1}, {45, 110, "Егоров", 1},
};
const char* const kClasses[2] = {"Юниоры", "Взрослые"};

// The transponder signal of a tag at the line sensor 0.
int tagSignal(int tag) { return 0x8000 | (tag << 2); }

// "m:ss.mmm" as the lap results write a time.
std::string lapText(int ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%d:%02d.%03d", ms / 60000, ms % 60000 / 1000, ms % 1000);
    return text;
}

class LapRehearsalTest : public RehearsalFixture {
protected:
    LapRehearsalTest() : RehearsalFixture(26210, 197) {}

    std::filesystem::path eventFolder() const { return home / "CHALLENGES" / "Круги"; }

    static int eventIndexAt(const LapTiming& lap, std::uint64_t time) {
        const std::unique_ptr<TRaceItemList>& items = lap.raceItems();
        if (!items) return -1;
        for (std::size_t i = 0; i < items->size(); ++i)
            if ((*items)[i]->time == time) return static_cast<int>(i);
        return -1;
    }
};

TEST_F(LapRehearsalTest, AWholeLapEventFromTheWindows) {
    if (!startNetwork()) GTEST_SKIP() << "needs a private network namespace (VELMARO_NETNS)";
    const std::uint64_t t0 = 1'700'000'000'000ULL;
    // Lap times per racer: five laps, all times distinct.
    std::map<int, std::vector<int>> laps;
    std::map<int, std::uint64_t> startTime;
    std::map<int, std::vector<std::uint64_t>> lapTimes;
    for (std::size_t i = 0; i < kRacers.size(); ++i) {
        const int n = kRacers[i].number;
        startTime[n] = t0 + i * 3'001;
        std::uint64_t at = startTime[n];
        for (int k = 0; k < 5; ++k) {
            const int lap = 61'000 + int((i * 7 + k * 3) % 11) * 613 + int(i) * 17 + k;
            laps[n].push_back(lap);
            at += static_cast<std::uint64_t>(lap);
            lapTimes[n].push_back(at);
        }
    }
    const int retired = 44;   // retires after three laps
    const int penalised = 31; // a 2.5 s penalty on its fastest lap
    laps[retired].resize(3);
    lapTimes[retired].resize(3);
    const int penaltyLap =
        int(std::min_element(laps[penalised].begin(), laps[penalised].end()) - laps[penalised].begin());
    std::map<std::string, std::string> filesBefore;
    ResultsTable tableBefore;
    {
        ConsoleRoot root(op);
        launchNewEvent(root, 1, "Круги");
        ASSERT_FALSE(HasFatalFailure());
        ui::TMainForm& form = *root.mainForm();
        const LapTiming& lap = root.lapTiming();

        // Registration: two classes, ten racers with their transponder tags.
        inRegistration(form, [](ui::TRegForm& reg) {
            for (const char* name : kClasses) addClass(reg, {name, "", "", ""});
            for (const Racer& r : kRacers)
                addRacer(reg, {std::to_string(r.number), std::to_string(r.tag), r.name, "", "", "", {}}, r.classIndex);
        });
        ASSERT_EQ(root.registry().racers.size(), 10u);
        ASSERT_EQ(root.registry().racerNumberByTag(105), 35u);

        // Starts: NEXT asks for the racer; his line crossing then is his first crossing
        // (even places in the list), or, after START, his start-line crossing (odd places;
        // START keeps the number given at NEXT and asks nothing).
        int starts = 0;
        for (std::size_t i = 0; i < kRacers.size(); ++i) {
            const int n = kRacers[i].number;
            op.inputs = {std::to_string(n)};
            form.bNextDrag->click();
            ASSERT_TRUE(op.inputs.empty()) << n;
            if (i % 2 == 1) {
                form.startbutton->click();
                ASSERT_TRUE(sim->waitForType(5, ++starts, 5000)) << "start command for " << n; // the lap start
            }
            ASSERT_FALSE(form.bBlockSt->isChecked()) << n;
            sim->sendHit(2, 0, startTime[n]);
            ASSERT_TRUE(eventually([&] { return eventIndexAt(lap, startTime[n]) >= 0; })) << "start of " << n;
            const TRaceItem& e = *(*lap.raceItems())[std::size_t(eventIndexAt(lap, startTime[n]))];
            EXPECT_EQ(e.racer, std::uint32_t(n));
            EXPECT_EQ(e.kind, i % 2 == 0 ? 3u : 2u) << n; // FRST, STLIN
        }
        // Every lap by transponder, in time order.
        std::vector<std::pair<std::uint64_t, int>> passes;
        for (const Racer& r : kRacers)
            for (std::uint64_t at : lapTimes[r.number]) passes.emplace_back(at, r.tag);
        std::sort(passes.begin(), passes.end());
        for (const auto& [at, tag] : passes) sim->sendHit(2, tagSignal(tag), at);
        ASSERT_TRUE(sim->waitAllAcked(15'000));
        ASSERT_TRUE(
            eventually([&] { return lap.raceItems() && lap.raceItems()->size() == kRacers.size() + passes.size(); }));
        for (const Racer& r : kRacers)
            for (std::size_t k = 0; k < lapTimes[r.number].size(); ++k) {
                const int index = eventIndexAt(lap, lapTimes[r.number][k]);
                ASSERT_GE(index, 0);
                const TRaceItem& e = *(*lap.raceItems())[std::size_t(index)];
                EXPECT_EQ(e.racer, std::uint32_t(r.number));
                EXPECT_EQ(e.kind, 0u);
                EXPECT_EQ(e.lap, laps[r.number][k]) << r.number << " lap " << k + 1;
            }

        // The penalty: the official selects the lap and presses "ШТРАФ".
        const std::uint64_t penaltyAt = lapTimes[penalised][std::size_t(penaltyLap)];
        form.SingleLanePanel->setCurrentRow(eventIndexAt(lap, penaltyAt) + 1);
        op.inputs = {"2,5"};
        form.sbSetPenalty->click();
        ASSERT_EQ((*lap.raceItems())[std::size_t(eventIndexAt(lap, penaltyAt))]->penalty, 2500);
        EXPECT_EQ((*lap.raceItems())[std::size_t(eventIndexAt(lap, penaltyAt))]->lap,
                  laps[penalised][std::size_t(penaltyLap)] + 2500);

        // The retirement: "Сход" in the lap grid's menu; the racers on the course are
        // offered newest start first (the first crossings after NEXT: 44, 42, 35, 33, 31).
        op.picks = {0};
        op.shown.clear();
        form.SingleLanePanel->N2->trigger();
        EXPECT_EQ(op.shown, std::vector<std::string>{"Сход участника"});
        ASSERT_EQ(lap.raceItems()->back()->kind, 5u); // FAIL
        EXPECT_EQ(lap.raceItems()->back()->racer, std::uint32_t(retired));

        // A lap deleted by mistake ("УДАЛИТЬ", confirmed) and brought back.
        const std::string beforeDelete = home.read("CHALLENGES/Круги/lap_single.txt");
        const std::uint64_t deletedAt = lapTimes[33][2];
        form.SingleLanePanel->setCurrentRow(eventIndexAt(lap, deletedAt) + 1);
        op.yesNoAnswers = {true};
        form.SpeedButton1->click();
        ASSERT_EQ(eventIndexAt(lap, deletedAt), -1);
        form.mUndelete->trigger();
        ASSERT_GE(eventIndexAt(lap, deletedAt), 0);
        EXPECT_EQ(home.read("CHALLENGES/Круги/lap_single.txt"), beforeDelete);

        // Lap results: each class by its racers' best lap, penalty included in the
        // ranking and shown beside the time.
        form.mResults->trigger();
        std::map<int, std::string> expectedCell;
        std::map<int, std::vector<int>> expectedOrder;
        for (int c = 0; c < 2; ++c) {
            std::vector<std::pair<int, int>> keyed; // ranking key, racer
            for (const Racer& r : kRacers) {
                if (r.classIndex != c) continue;
                int bestKey = 0, bestPenalty = 0;
                for (std::size_t k = 0; k < laps[r.number].size(); ++k) {
                    const int penalty = r.number == penalised && int(k) == penaltyLap ? 2500 : 0;
                    const int key = laps[r.number][k] + penalty;
                    if (k == 0 || key < bestKey) {
                        bestKey = key;
                        bestPenalty = penalty;
                    }
                }
                std::string cell = lapText(bestKey - bestPenalty);
                if (bestPenalty) cell += " (+2.500)";
                expectedCell[r.number] = cell;
                keyed.emplace_back(bestKey, r.number);
            }
            std::sort(keyed.begin(), keyed.end());
            for (const auto& k : keyed) expectedOrder[c].push_back(k.second);
        }
        auto sectionMatches = [&](int c) {
            const auto rows = resultsBlock(kClasses[c]);
            if (rows.size() != expectedOrder[c].size()) return false;
            for (std::size_t i = 0; i < rows.size(); ++i)
                if (rows[i].first != expectedOrder[c][i] || rows[i].second != expectedCell[rows[i].first]) return false;
            return true;
        };
        ASSERT_TRUE(eventually([&] { return sectionMatches(0) && sectionMatches(1); }))
            << ::testing::PrintToString(resultsBlock(kClasses[0]))
            << ::testing::PrintToString(resultsBlock(kClasses[1]));
        shot(*ui::RallyResults, "results_window_laps");
        shot(form, "main_window_laps");
        tableBefore = ui::RallyResults->table();

        // www/table.html: both class headers and every racer's best time.
        const std::string html = home.read("www/table.html");
        for (const char* name : kClasses)
            EXPECT_NE(html.find(std::string("<td colspan='") + std::to_string(ui::RallyResults->table().columnCount()) +
                                "'>" + name + "</td>"),
                      std::string::npos)
                << name;
        for (const auto& [number, cell] : expectedCell) {
            const std::string bare = cell.substr(0, cell.find(' '));
            EXPECT_NE(html.find("<td>" + std::to_string(number) + "</td>"), std::string::npos) << number;
            EXPECT_NE(html.find(bare), std::string::npos) << bare;
        }

        // A lap receipt of the penalised lap (no printer here: a PDF in the event folder).
        // The receipt button shows only with "Печать двух полос" ticked; the two lane
        // buttons shown by default print nothing in lap events.
        ASSERT_FALSE(form.sbPrintBoth->isVisible());
        form.mPrintBoth->trigger();
        ASSERT_TRUE(form.sbPrintBoth->isVisible());
        form.SingleLanePanel->setCurrentRow(eventIndexAt(lap, penaltyAt) + 1);
        op.shown.clear();
        form.sbPrintBoth->click();
        bool receipt = false;
        for (const auto& e : std::filesystem::directory_iterator(eventFolder()))
            if (e.path().extension() == ".pdf") {
                receipt = true;
                EXPECT_EQ(home.read("CHALLENGES/Круги/" + e.path().filename().string()).rfind("%PDF-", 0), 0u);
            }
        EXPECT_TRUE(receipt) << ::testing::PrintToString(op.shown);

        // The results export: both files named in the log, the workbook opened.
        form.XLS1->trigger();
        EXPECT_TRUE(eventually([&] { return openedFiles() == std::vector<std::string>{"Круги.xlsx"}; }));
        const std::vector<std::string> logged(op.logLines.end() - 2, op.logLines.end());
        EXPECT_EQ(logged, (std::vector<std::string>{"Файл сохранен: " + (eventFolder() / "Круги.csv").string(),
                                                    "Файл сохранен: " + (eventFolder() / "Круги.xlsx").string()}));
        EXPECT_FALSE(calls("exchange sendData INIT").empty());
        // The race information went to the exchange with the event's name.
        const auto raceInfo = calls("exchange sendData {\"classesList\"");
        ASSERT_FALSE(raceInfo.empty());
        EXPECT_NE(raceInfo.back().find("\"raceName\":\"Круги\""), std::string::npos) << raceInfo.back();
        EXPECT_EQ(raceInfo.back().substr(raceInfo.back().size() - 10), " race_info");

        filesBefore = eventFiles("Круги", {"lap_single.txt", "classes.txt", "racers.txt", "hitlog.txt"});
        root.shutDown();
    }

    // The lap file parses line by line into the events the test made.
    std::vector<std::string> lines;
    ASSERT_TRUE(readTextLines(eventFolder() / "lap_single.txt", lines).ok());
    std::size_t lapsSent = 0;
    for (const auto& [n, times] : lapTimes) lapsSent += times.size();
    ASSERT_EQ(lines.size(), kRacers.size() + lapsSent + 1);
    for (const std::string& line : lines) {
        TRaceItem item;
        EXPECT_TRUE(parseLapLine(line, item)) << line;
    }

    // A second console on the same folder comes back to the same state.
    {
        op.shown.clear();
        ConsoleRoot root(op);
        root.launch();
        const LapTiming& lap = root.lapTiming();
        ASSERT_EQ(root.console().raceMode, 1u);
        ASSERT_EQ(lap.raceItems()->size(), lines.size());
        EXPECT_EQ(root.registry().racerNumberByTag(110), 45u);
        ui::TMainForm& form = *root.mainForm();
        form.mResults->trigger();
        ASSERT_TRUE(eventually([&] { return ui::RallyResults->table() == tableBefore; }));
        EXPECT_EQ(eventFiles("Круги", keysOf(filesBefore)), filesBefore);
        EXPECT_TRUE(op.shown.empty()) << ::testing::PrintToString(op.shown);
        root.shutDown();
    }
}

} // namespace
} // namespace velmaro::test
