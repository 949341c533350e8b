// A whole drag event run the way an official runs it, through the real console with a
// simulated timing network: a new event, two classes and eight racers entered in the
// registration window, two qualification rounds (NEXT then START, and START alone), the
// results window, a bracket per class, every final pair raced from the bracket window
// (a foul, a breakout and a technical win among them), a timeslip, the printed bracket,
// the race report and the exports; then a second console on the same folder.
//
// Every figure and place is worked out here from the hit times the test sends.
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QToolButton>

#include <algorithm>
#include <map>
#include <regex>
#include <set>

#include "app/root/console_root.h"
#include "app/root/console_test.h"
#include "core/app/console.h"
#include "core/bracket/bracket_pages.h"
#include "core/bracket/final_bracket.h"
#include "core/drag/drag_file.h"
#include "core/drag/drag_run.h"
#include "core/platform/files.h"
#include "core/registration/registry.h"
#include "fakes/unzip_member.h"
#include "ui/app/main_form.h"
#include "ui/app/small_dialogs.h"
#include "ui/bracket/form_final.h"
#include "ui/bracket/manual_bracket_order_dialog.h"
#include "ui/controls/editable_list_view.h"
#include "ui/registration/edit_class_form.h"
#include "ui/registration/edit_personal_data_form.h"
#include "ui/registration/reg_form.h"
#include "ui/results/rally_results.h"

#include <nlohmann/json.hpp>

namespace velmaro::test {
namespace {

constexpr int kBreakoutLimitMs = 10000; // class "Про": breakout limit 10.0 s

// One lane of a run as the test drives it: reaction time from the start signal (negative:
// a launch before the signal), elapsed time from the launch, speed trap to finish gap.
struct Lane {
    int racer = 0;
    int rt = 0;
    int et = 0;
    int trap = 500;
    int sixty() const { return et * 17 / 100; }
    int dirty() const { return rt + et; }
};

struct Heat {
    Lane lane[2];
    std::uint64_t start = 0;
};

// The hits of one run, sent by the simulated nodes: start signal (node 1, signal 6),
// launches (node 1), 60 ft line (node 5), speed trap (node 4), finish (node 2).
void sendRun(nodesim::NodeSimulator& sim, const Heat& run) {
    sim.sendHit(1, 6, run.start);
    for (int i = 0; i < 2; ++i) {
        const Lane& l = run.lane[i];
        const int signal = i == 0 ? 0 : 2;
        const std::uint64_t launch = run.start + static_cast<std::int64_t>(l.rt);
        const std::uint64_t finish = launch + static_cast<std::uint64_t>(l.et);
        sim.sendHit(1, signal, launch);
        sim.sendHit(5, signal, launch + static_cast<std::uint64_t>(l.sixty()));
        sim.sendHit(4, signal, finish - static_cast<std::uint64_t>(l.trap));
        sim.sendHit(2, signal, finish);
    }
}

std::string tableText(const ResultsTable& table) {
    std::string text;
    for (const auto& row : table.cells) {
        for (const std::string& cell : row) text += cell + "|";
        text += "\n";
    }
    return text;
}

// The winning lane of a run worked out from the hits: a fouled lane loses to a finished
// clean one, otherwise the earlier finish; in a final of a class with a breakout limit a
// lane under the limit loses to the other.
int expectedWinner(const Heat& run, int breakoutLimit) {
    const bool foul[2] = {run.lane[0].rt < 0, run.lane[1].rt < 0};
    if (foul[0] != foul[1]) return foul[0] ? 1 : 0;
    if (breakoutLimit) {
        const bool out[2] = {run.lane[0].et < breakoutLimit, run.lane[1].et < breakoutLimit};
        if (out[0] && !out[1]) return 1;
        if (out[1] && !out[0]) return 0;
    }
    const std::int64_t finish[2] = {run.lane[0].rt + run.lane[0].et, run.lane[1].rt + run.lane[1].et};
    return finish[0] <= finish[1] ? 0 : 1;
}

struct Racer {
    int number;
    const char* name;
    const char* car;
    const char* city;
    int classIndex;
};

const std::vector<Racer> kRacers = {
    {11, "Иванов", "ВАЗ 2107", "Москва", 0},   {12, "Петров", "ГАЗ 24", "Тула", 0},
    {13, "Сидоров", "Москвич 412", "Орел", 0}, {14, "Козлов", "ЗАЗ 968", "Тверь", 0},
    {21, "Смирнов", "Subaru", "Казань", 1},    {22, "Попов", "Mitsubishi", "Самара", 1},
    {23, "Волков", "Nissan", "Пермь", 1},      {24, "Зайцев", "Toyota", "Уфа", 1},
};

class DragRehearsalTest : public RehearsalFixture {
protected:
    DragRehearsalTest() : RehearsalFixture(26110, 196) {}

    std::filesystem::path eventFolder() const { return home / "CHALLENGES" / "Драг"; }

    // The last document of a kind the exchange test double received ("raceResults" ...).
    std::string lastDocument(const std::string& key) const {
        const auto lines = calls("exchange sendData {\"" + key + "\"");
        if (lines.empty()) return {};
        std::string text = lines.back().substr(std::string("exchange sendData ").size());
        return text.substr(0, text.rfind(" ", text.rfind(" ") - 1));
    }
    // racer -> (final place, qualification place) read from a raceResults document.
    static std::map<int, std::pair<int, int>> finalsOf(const std::string& doc) {
        std::map<int, std::pair<int, int>> places;
        static const std::regex entry("\"finalPoints\":(-?\\d+),\"num\":(\\d+),\"qualPos\":(\\d+)");
        for (auto it = std::sregex_iterator(doc.begin(), doc.end(), entry); it != std::sregex_iterator(); ++it)
            places[std::stoi((*it)[2])] = {std::stoi((*it)[1]), std::stoi((*it)[3])};
        return places;
    }

    // Clicks the centre of a bracket pair in the class page's drawing.
    static void clickPair(TformFinal& window, int round, int k) {
        QPoint centre;
        const std::shared_ptr<TFinalBracket> bracket = window.bracket(); // takes the lock itself
        {
            auto lock = window.pages().lockBrackets();
            const TFinalPair* pair = bracket->upperRound(round)->pair(k);
            centre = QPoint((pair->rect.left + pair->rect.right) / 2, (pair->rect.top + pair->rect.bottom) / 2);
        }
        QTest::mouseClick(window.pbFinalBracket, Qt::LeftButton, {}, centre);
    }
    static std::array<int, 2> pairRacers(TformFinal& window, int round, int k) {
        const std::shared_ptr<TFinalBracket> bracket = window.bracket();
        auto lock = window.pages().lockBrackets();
        const TFinalPair* pair = bracket->upperRound(round)->pair(k);
        return {pair->racers[0] ? pair->racers[0]->number : 0, pair->racers[1] ? pair->racers[1]->number : 0};
    }
    static int pairWinner(TformFinal& window, int round, int k) {
        const std::shared_ptr<TFinalBracket> bracket = window.bracket();
        auto lock = window.pages().lockBrackets();
        return bracket->upperRound(round)->pair(k)->winner;
    }
    static std::map<int, int> bracketPlaces(TformFinal& window) {
        std::map<int, int> places;
        const std::shared_ptr<TFinalBracket> bracket = window.bracket();
        auto lock = window.pages().lockBrackets();
        for (const TFinalRacer& r : bracket->racers)
            if (r.number > 0) places[r.number] = r.place;
        return places;
    }

    // The hits of `run` into the current run, which then holds them all.
    void raceCurrentRun(DragRuns& runs, const Heat& run) {
        const std::size_t index = runs.dragRuns().size() - 1;
        sendRun(*sim, run);
        ASSERT_TRUE(sim->waitAllAcked(10'000));
        ASSERT_TRUE(eventually([&] {
            return runs.dragRuns()[index].hits[0].size() == 4 && runs.dragRuns()[index].hits[1].size() == 4;
        })) << "run "
            << index;
    }
};

TEST_F(DragRehearsalTest, AWholeDragEventFromTheWindows) {
    if (!startNetwork()) GTEST_SKIP() << "needs a private network namespace (VELMARO_NETNS)";
    const std::uint64_t t0 = 1'700'000'000'000ULL;
    std::vector<Heat> runs; // every run raced, in run order
    std::string finalDoc;
    std::map<std::string, std::string> filesBefore;
    std::size_t hitsSent = 0;
    {
        ConsoleRoot root(op);
        launchNewEvent(root, 0, "Драг");
        ASSERT_FALSE(HasFatalFailure());
        ui::TMainForm& form = *root.mainForm();
        shot(form, "main_window_empty");

        // Registration: two classes, eight racers.
        inRegistration(form, [&](ui::TRegForm& reg) {
            addClass(reg, {"Стрит", "", "", ""});
            addClass(reg, {"Про", "", "", "10.0"}); // with its breakout limit
            ASSERT_EQ(reg.registry.classes[1]->breakoutLimit, 100);
            for (const Racer& r : kRacers)
                addRacer(reg, {std::to_string(r.number), "", r.name, r.car, r.city, "", {}}, r.classIndex);
            reg.pRegPages->setCurrentIndex(1);
            shot(reg, "registration");
            ASSERT_EQ(reg.classPanelTexts().size(), 2u);
            EXPECT_EQ(reg.classPanelTexts()[0].second, "4");
            EXPECT_EQ(reg.classPanelTexts()[1].second, "4");
        });
        ASSERT_EQ(root.registry().racers.size(), 8u);
        ASSERT_EQ(form.DragPageControl->count(), 3); // runs, Стрит, Про
        ASSERT_EQ(root.registry().classes[1]->breakoutLimit, 100);
        ASSERT_TRUE(form.rgModeItems[0]->isChecked()); // "Квалификация"

        // Qualification: round 1 with NEXT then START, round 2 with START alone.
        const std::vector<std::array<Lane, 2>> qualification = {
            {Lane{11, 310, 11200, 520}, Lane{12, 290, 11400, 540}},
            {Lane{13, 330, 11800, 560}, Lane{14, 350, 12100, 580}},
            {Lane{21, 280, 10300, 470}, Lane{22, 300, 10600, 480}},
            {Lane{23, 320, 10450, 475}, Lane{24, 260, 10900, 490}},
            {Lane{12, 300, 11500, 545}, Lane{11, 270, 11050, 515}},
            {Lane{14, 310, 12000, 575}, Lane{13, 300, 11300, 530}},
            {Lane{22, 330, 10700, 485}, Lane{21, 290, 10250, 465}},
            {Lane{24, 300, 10800, 488}, Lane{23, 310, 10500, 478}},
        };
        int starts = 0;
        for (std::size_t i = 0; i < qualification.size(); ++i) {
            Heat run{{qualification[i][0], qualification[i][1]}, t0 + i * 60'000};
            op.inputs = {std::to_string(run.lane[0].racer), std::to_string(run.lane[1].racer)};
            if (i < 4) {
                form.bNextDrag->click();
                EXPECT_TRUE(form.bBlockSt->isChecked());
            }
            form.startbutton->click();
            ASSERT_TRUE(sim->waitForType(24, ++starts, 5000)) << "start command of run " << i + 1;
            ASSERT_EQ(root.dragRuns().dragRuns().size(), i + 1);
            EXPECT_EQ(root.dragRuns().dragRuns()[i].racer,
                      (std::array<int32_t, 2>{run.lane[0].racer, run.lane[1].racer}));
            raceCurrentRun(root.dragRuns(), run);
            hitsSent += 9;
            runs.push_back(run);
        }
        // Every figure of every qualification run, from the hits sent.
        for (std::size_t i = 0; i < runs.size(); ++i) {
            const TDragRaceItem& r = root.dragRuns().dragRuns()[i];
            EXPECT_EQ(r.runMode, RUN_MODE_QUALIFICATION);
            for (int k = 0; k < 2; ++k) {
                const Lane& l = runs[i].lane[k];
                EXPECT_EQ(r.rt[k], l.rt) << "run " << i + 1 << " lane " << k;
                EXPECT_EQ(r.et[k], l.et) << "run " << i + 1 << " lane " << k;
                EXPECT_EQ(r.dirtyTime[k], l.dirty()) << "run " << i + 1 << " lane " << k;
                EXPECT_EQ(r.sixtyFeet[k], l.sixty()) << "run " << i + 1 << " lane " << k;
                EXPECT_DOUBLE_EQ(r.speed[k], trapSpeed(l.trap)) << "run " << i + 1 << " lane " << k;
                EXPECT_EQ(r.foul[k], 0);
            }
            EXPECT_EQ(r.winner, expectedWinner(runs[i], 0)) << "run " << i + 1;
        }

        // Qualification order per class: best elapsed time of each racer.
        std::map<int, int> best;
        for (const Heat& run : runs)
            for (const Lane& l : run.lane)
                if (!best.count(l.racer) || l.et < best[l.racer]) best[l.racer] = l.et;
        auto order = [&](int classIndex) {
            std::vector<int> numbers;
            for (const Racer& r : kRacers)
                if (r.classIndex == classIndex) numbers.push_back(r.number);
            std::sort(numbers.begin(), numbers.end(), [&](int a, int b) { return best[a] < best[b]; });
            return numbers;
        };
        const std::vector<int> streetOrder = order(0), proOrder = order(1);
        ASSERT_EQ(streetOrder, (std::vector<int>{11, 13, 12, 14}));
        ASSERT_EQ(proOrder, (std::vector<int>{21, 23, 22, 24}));

        // The results window: one block per class in that order, best time and speed.
        form.mResults->trigger();
        ASSERT_TRUE(ui::RallyResults->isVisible());
        auto blockNumbers = [](const std::string& title) {
            std::vector<int> numbers;
            for (const auto& row : resultsBlock(title)) numbers.push_back(row.first);
            return numbers;
        };
        // Every racer's best time in the time column (a rebuild after the last run: the
        // order alone may already stand after the first round).
        auto bestTimesShown = [&] {
            for (const char* title : {"Стрит", "Про"})
                for (const auto& [number, cell] : resultsBlock(title))
                    if (cell.find(secondsText(best[number])) == std::string::npos) return false;
            return true;
        };
        ASSERT_TRUE(eventually([&] {
            return blockNumbers("Про") == proOrder && blockNumbers("Стрит") == streetOrder && bestTimesShown();
        })) << tableText(ui::RallyResults->table());
        shot(*ui::RallyResults, "results_window");

        // Brackets: "Создать сетку" on each class page, seeded from the qualification.
        std::array<TformFinal*, 2> windows{};
        for (int page = 1; page <= 2; ++page) {
            form.DragPageControl->setCurrentIndex(page);
            windows[page - 1] = qobject_cast<TformFinal*>(form.DragPageControl->widget(page));
            ASSERT_NE(windows[page - 1], nullptr);
            form.cbBracketType->setCurrentIndex(0);
            form.cbGenerationMethod->setCurrentIndex(0);
            std::vector<int> offered;
            whileModal(
                ui::manualBracketOrderForm,
                [&] {
                    for (const TRacerItem* r : ui::manualBracketOrderForm->racers) offered.push_back(int(r->number));
                    ui::manualBracketOrderForm->sSpeedButton3->click();
                },
                [&] { form.sbGenerateBracket->click(); });
            EXPECT_EQ(offered, page == 1 ? streetOrder : proOrder);
        }
        TformFinal& street = *windows[0];
        TformFinal& pro = *windows[1];
        // Four racers in a bracket of four: seeds 1-4 and 3-2.
        EXPECT_EQ(pairRacers(street, 0, 0), (std::array<int, 2>{11, 14}));
        EXPECT_EQ(pairRacers(street, 0, 1), (std::array<int, 2>{12, 13}));
        EXPECT_EQ(pairRacers(pro, 0, 0), (std::array<int, 2>{21, 24}));
        EXPECT_EQ(pairRacers(pro, 0, 1), (std::array<int, 2>{22, 23}));

        // Finals. "Подготовить" (double click on the pair) and START, or START alone on
        // the class page with the pair selected; the lane dialog confirmed as it opens.
        auto racePair = [&](int page, TformFinal& window, int round, int k, Heat run, bool prepare) {
            form.DragPageControl->setCurrentIndex(page);
            clickPair(window, round, k);
            const std::size_t before = root.dragRuns().dragRuns().size();
            auto confirmLanes = [] { ui::SelectLanesForm->bOk->click(); };
            if (prepare) {
                whileModal(ui::SelectLanesForm, confirmLanes, [&] { window.N6->trigger(); });
                ASSERT_EQ(root.dragRuns().dragRuns().size(), before + 1);
                form.startbutton->click();
            } else {
                whileModal(ui::SelectLanesForm, confirmLanes, [&] { form.startbutton->click(); });
            }
            ASSERT_TRUE(sim->waitForType(24, ++starts, 5000));
            ASSERT_EQ(root.dragRuns().dragRuns().size(), before + 1);
            const TDragRaceItem& made = root.dragRuns().dragRuns().back();
            EXPECT_EQ(made.runMode, RUN_MODE_FINAL);
            EXPECT_EQ(made.racer, (std::array<int32_t, 2>{run.lane[0].racer, run.lane[1].racer}));
            run.start = t0 + runs.size() * 60'000;
            raceCurrentRun(root.dragRuns(), run);
            hitsSent += 9;
            runs.push_back(run);
        };
        // Стрит semi-final 1: 14 launches 50 ms before the green and fouls.
        racePair(1, street, 0, 0, Heat{{Lane{11, 300, 11100, 512}, Lane{14, -50, 11900, 590}}}, true);
        EXPECT_EQ(root.dragRuns().dragRuns().back().foul, (std::array<int32_t, 2>{0, 1}));
        EXPECT_EQ(root.dragRuns().dragRuns().back().winner, 0);
        // Стрит semi-final 2: the faster finish wins.
        racePair(1, street, 0, 1, Heat{{Lane{12, 320, 11450, 540}, Lane{13, 280, 11250, 525}}}, false);
        EXPECT_EQ(root.dragRuns().dragRuns().back().winner, expectedWinner(runs.back(), 0));
        ASSERT_TRUE(eventually([&] { return pairRacers(street, 1, 0) == std::array<int, 2>{11, 13}; }));
        // Стрит final.
        racePair(1, street, 1, 0, Heat{{Lane{11, 310, 11000, 505}, Lane{13, 290, 11200, 520}}}, false);
        // Про semi-final 1: 21 finishes first but breaks out under 10.0 s.
        racePair(2, pro, 0, 0, Heat{{Lane{21, 300, 9950, 460}, Lane{24, 330, 10400, 482}}}, true);
        EXPECT_EQ(root.dragRuns().dragRuns().back().breakout, (std::array<int32_t, 2>{1, 0}))
            << root.dragRuns().dragRuns().back().classId[0] << " " << root.dragRuns().dragRuns().back().classId[1]
            << " class page " << pro.bracket()->classId;
        EXPECT_EQ(root.dragRuns().dragRuns().back().winner, 1);
        EXPECT_EQ(expectedWinner(runs.back(), kBreakoutLimitMs), 1);
        // Про semi-final 2: 22 does not come out; 23 gets the technical win.
        form.DragPageControl->setCurrentIndex(2);
        clickPair(pro, 0, 1);
        whileModal(
            ui::SetWinnerForm,
            [] {
                ui::SetWinnerForm->winnerItems[1]->click();
                ui::SetWinnerForm->eComment->setText("неявка");
                ui::SetWinnerForm->bOk->click();
            },
            [&] { pro.N2->trigger(); });
        ASSERT_TRUE(eventually([&] { return pairRacers(pro, 1, 0) == std::array<int, 2>{24, 23}; }));
        // Про final.
        racePair(2, pro, 1, 0, Heat{{Lane{24, 300, 10500, 484}, Lane{23, 350, 10300, 476}}}, true);
        ASSERT_TRUE(eventually([&] { return pairWinner(street, 1, 0) == 0 && pairWinner(pro, 1, 0) == 1; }));
        shot(form, "bracket"); // the class page "Про" in view

        // Final figures of every final run, from the hits.
        for (std::size_t i = 8; i < runs.size(); ++i)
            for (int k = 0; k < 2; ++k) {
                EXPECT_EQ(root.dragRuns().dragRuns()[i].et[k], runs[i].lane[k].et) << "final run " << i + 1;
                EXPECT_EQ(root.dragRuns().dragRuns()[i].dirtyTime[k], runs[i].lane[k].dirty()) << "final run " << i + 1;
                EXPECT_DOUBLE_EQ(root.dragRuns().dragRuns()[i].speed[k], trapSpeed(runs[i].lane[k].trap));
            }

        // Standings: the final's winner 1, its loser 2, semi-final losers 3 and 4 by their
        // semi-final time (elapsed plus reaction); a technical loss with no run has no place.
        auto dirtyOf = [&](std::size_t run, int racer) {
            for (const Lane& l : runs[run].lane)
                if (l.racer == racer) return l.dirty();
            return 0;
        };
        std::map<int, int> streetPlaces = {{11, 1}, {13, 2}};
        const bool twelveFaster = dirtyOf(9, 12) < dirtyOf(8, 14);
        streetPlaces[12] = twelveFaster ? 3 : 4;
        streetPlaces[14] = twelveFaster ? 4 : 3;
        const std::map<int, int> proPlaces = {{23, 1}, {24, 2}, {21, 3}, {22, 0}};
        ASSERT_TRUE(eventually([&] {
            return bracketPlaces(street) == streetPlaces && bracketPlaces(pro) == proPlaces;
        })) << "bracket places";

        // The exchange test double: INIT at start, and the result documents with the
        // final and qualification places.
        EXPECT_FALSE(calls("exchange sendData INIT").empty());
        std::map<int, std::pair<int, int>> expected;
        for (std::size_t i = 0; i < streetOrder.size(); ++i)
            expected[streetOrder[i]] = {streetPlaces[streetOrder[i]], int(i) + 1};
        for (std::size_t i = 0; i < proOrder.size(); ++i)
            expected[proOrder[i]] = {proPlaces.at(proOrder[i]), int(i) + 1};
        ASSERT_TRUE(eventually([&] { return finalsOf(lastDocument("raceResults")) == expected; }))
            << lastDocument("raceResults");
        finalDoc = lastDocument("raceResults");
        EXPECT_FALSE(lastDocument("qualResults").empty());
        EXPECT_FALSE(lastDocument("allDragResults").empty());
        // The race information went to the exchange with the event's name and classes.
        const auto raceInfo = calls("exchange sendData {\"classesList\"");
        ASSERT_FALSE(raceInfo.empty());
        EXPECT_NE(raceInfo.back().find("\"raceName\":\"Драг\""), std::string::npos) << raceInfo.back();
        EXPECT_NE(raceInfo.back().find("Стрит"), std::string::npos);
        EXPECT_NE(raceInfo.back().find("Про"), std::string::npos);
        EXPECT_EQ(raceInfo.back().substr(raceInfo.back().size() - 10), " race_info");

        // The results window's standings follow the finals.
        ASSERT_TRUE(eventually([&] { return blockNumbers("Про") == std::vector<int>{23, 24, 21, 22}; }));
        EXPECT_EQ(blockNumbers("Стрит"), (std::vector<int>{11, 13, twelveFaster ? 12 : 14, twelveFaster ? 14 : 12}));

        // A timeslip of the last run (no printer here: a PDF in the event folder).
        form.DragPageControl->setCurrentIndex(0);
        shot(form, "main_window_drag");
        op.shown.clear();
        ASSERT_TRUE(form.sbPrintLeft->isVisible()); // "ЧЕК Л"
        form.sbPrintLeft->click();
        // The bracket of the page in view, printed.
        form.DragPageControl->setCurrentIndex(2);
        form.mPrint->trigger();
        // The race report and the exports.
        form.N16->trigger();
        form.XLS1->trigger();
        inRegistration(form, [](ui::TRegForm& reg) { reg.bExcel->click(); });
        // Each export's workbook went to the desktop's opener (the openers run side by side).
        const auto opened = [&] {
            const std::vector<std::string> names = openedFiles();
            return std::set<std::string>(names.begin(), names.end());
        };
        EXPECT_TRUE(eventually([&] {
            return opened() == std::set<std::string>{"race_log.xlsx", "Драг.xlsx", "racers.xlsx"};
        })) << ::testing::PrintToString(openedFiles());
        std::set<std::string> pdfs;
        for (const auto& e : std::filesystem::directory_iterator(eventFolder()))
            if (e.path().extension() == ".pdf") pdfs.insert(e.path().filename().string());
        EXPECT_EQ(pdfs.size(), 2u) << ::testing::PrintToString(op.shown);
        for (const char* file : {"race_log.xlsx", "lap_double_report.csv", "racers.csv", "racers.xlsx"})
            EXPECT_TRUE(std::filesystem::exists(eventFolder() / file)) << file;

        // The report lists every run with its racers and times.
        const std::string report = home.read("CHALLENGES/Драг/lap_double_report.csv");
        for (const Heat& run : runs)
            for (const Lane& l : run.lane) EXPECT_NE(report.find(secondsText(l.et)), std::string::npos) << l.et;

        filesBefore = eventFiles("Драг", {"drag.txt", "final_bracket.txt", "classes.txt", "racers.txt", "hitlog.txt"});
        root.shutDown();
    }

    // Every file of the event folder parses.
    const std::filesystem::path folder = eventFolder();
    std::vector<std::string> lines;
    ASSERT_TRUE(readTextLines(folder / "drag.txt", lines).ok());
    const std::vector<TDragRaceItem> saved = parseDragFile(lines);
    ASSERT_EQ(saved.size(), runs.size());
    for (std::size_t i = 0; i < saved.size(); ++i)
        for (int k = 0; k < 2; ++k) EXPECT_EQ(saved[i].racer[k], runs[i].lane[k].racer);
    lines.clear();
    ASSERT_TRUE(readTextLines(folder / "hitlog.txt", lines).ok());
    EXPECT_EQ(lines.size(), hitsSent);
    static const std::regex hitLine("\\d+,\\d+,\\d+,\\d+,\\d+");
    for (const std::string& line : lines) EXPECT_TRUE(std::regex_match(line, hitLine)) << line;
    EXPECT_TRUE(nlohmann::json::parse(home.read("CHALLENGES/Драг/race.json"), nullptr, false).is_object());
    for (const auto& e : std::filesystem::directory_iterator(folder)) {
        const std::string name = e.path().filename().string();
        const std::string text = home.read("CHALLENGES/Драг/" + name);
        if (e.path().extension() == ".pdf") {
            EXPECT_EQ(text.rfind("%PDF-", 0), 0u) << name;
            EXPECT_NE(text.find("%%EOF"), std::string::npos) << name;
        } else if (e.path().extension() == ".xlsx") {
            EXPECT_NE(unzipMember(e.path(), "xl/worksheets/sheet1.xml").find("<sheetData"), std::string::npos) << name;
        } else if (e.path().extension() == ".csv") {
            EXPECT_NE(text.find(';'), std::string::npos) << name;
        }
    }

    // A second console on the same folder comes back to the same state.
    {
        op.shown.clear();
        ConsoleRoot root(op);
        root.launch();
        ui::TMainForm& form = *root.mainForm();
        EXPECT_EQ(root.console().eventName, "Драг");
        EXPECT_EQ(root.console().raceMode, 0u);
        ASSERT_EQ(root.registry().racers.size(), 8u);
        ASSERT_EQ(root.registry().classes.size(), 2u);
        EXPECT_EQ(root.registry().classes[1]->breakoutLimit, 100);
        ASSERT_EQ(root.dragRuns().dragRuns().size(), runs.size());
        EXPECT_EQ(formatDragFile(root.dragRuns().dragRuns()), filesBefore["drag.txt"]);
        ASSERT_EQ(form.DragPageControl->count(), 3);
        auto* pro = qobject_cast<TformFinal*>(form.DragPageControl->widget(2));
        ASSERT_TRUE(pro && pro->bracket());
        const std::size_t docsBefore = calls("exchange sendData {\"raceResults\"").size();
        ASSERT_TRUE(eventually([&] { return calls("exchange sendData {\"raceResults\"").size() > docsBefore; }));
        EXPECT_EQ(finalsOf(lastDocument("raceResults")), finalsOf(finalDoc));
        EXPECT_EQ(bracketPlaces(*pro), (std::map<int, int>{{23, 1}, {24, 2}, {21, 3}, {22, 0}}));
        EXPECT_EQ(eventFiles("Драг", keysOf(filesBefore)), filesBefore);
        EXPECT_TRUE(op.shown.empty()) << ::testing::PrintToString(op.shown);
        root.shutDown();
    }
}

} // namespace
} // namespace velmaro::test
