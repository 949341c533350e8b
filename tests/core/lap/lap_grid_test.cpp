// The lap grid's colours, on-course list, prompts, scoreboard output and commands.
#include "lap_fixture.h"

#include <functional>

#include "core/lap/lap_grid.h"

namespace velmaro::test {
namespace {

using K = TRaceItem::Kind;

// An operator whose prompts run a step first (the list changing behind an open prompt).
class LapGrid : public LapTest {
protected:
    RecordingGridPort port;
    LapGridCommands commands{*lap, port};

    void SetUp() override {
        LapTest::SetUp();
        registry.addClass(1, "Сток");
        registry.addRacer(7, "Альфа", {1});
        registry.addRacer(8, "", {1});
    }
    // Events 0 FRST 7, 1 STSIG, 2 STLIN (before the signal: negative from start), 3 LAP 7,
    // 4 LAP 8 with a 3 ms penalty, 5 FAIL 7, 6 PLAP 8 with 1.5 s penalty.
    void fixture() {
        setEvents({{7, K::FRST, 1000, 1},
                   {0, K::STSIG, 5000},
                   {8, K::STLIN, 4000, 1},
                   {7, K::LAP, 40000, 1},
                   {8, K::LAP, 41000, 1, 3},
                   {7, K::FAIL, 42000, 1},
                   {8, K::PLAP, 60000, 1, 1500}});
    }
};

TEST_F(LapGrid, CellFill) {
    fixture();
    ASSERT_EQ(kinds(), (std::vector<std::string>{"FRST", "STLIN", "STSIG", "LAP", "LAP", "FAIL", "PLAP"}));
    item(1).fromStart = -1000; // a crossing before its start signal
    struct Case {
        int row, column;
        LapCellFill fill;
    };
    const Case cases[] = {
        {1, 0, LapCellFill::Window},                               // FRST
        {2, 3, LapCellFill::EarlyStart},                           // STLIN before the signal
        {3, 0, LapCellFill::Window},                               // STSIG
        {4, 2, LapCellFill::Lap},        {4, 6, LapCellFill::Lap}, // no penalty
        {5, 6, LapCellFill::Lap},                                  // 3 ms shows as "0.00": no penalty colour
        {6, 1, LapCellFill::Fail},       {7, 6, LapCellFill::Penalty}, {7, 5, LapCellFill::Window},
        {0, 0, LapCellFill::Window},     {8, 0, LapCellFill::Window}, // title row, past the end
    };
    for (const Case& c : cases) EXPECT_EQ(lapGridCellFill(*lap, c.row, c.column), c.fill) << c.row << "," << c.column;
    item(1).fromStart = 500;
    EXPECT_EQ(lapGridCellFill(*lap, 2, 0), LapCellFill::Window);
}

TEST_F(LapGrid, Prompts) {
    const std::pair<const char*, int32_t> penalties[] = {
        {"2,5", 2500}, {"2.5", 2500}, {"", 0}, {"abc", 0}, {"1.234", 1234}, {" 10 ", 10000}, {"-1", -1000}, {"1e12", 0},
    };
    for (const auto& [text, ms] : penalties) EXPECT_EQ(penaltyAnswerMs(text), ms) << text;
    EXPECT_EQ(racerNumberAnswer("12"), 12);
    EXPECT_EQ(racerNumberAnswer(" 12 "), 12);
    EXPECT_EQ(racerNumberAnswer("12a"), std::nullopt);
    EXPECT_EQ(racerNumberAnswer(""), std::nullopt);
    EXPECT_EQ(racerNumberAnswer("1,5"), std::nullopt);
}

TEST_F(LapGrid, ScoreboardTexts) {
    const std::tuple<uint32_t, int32_t, const char*> cases[] = {
        {7, 61234,
         " 7 \x03"
         "1:01.23"}, // 61,239 ms after the 5 ms
        {123, 599995,
         "23 \x03"
         "9:59.99"}, // capped, number modulo 100
        {5, 700000,
         " 5 \x03"
         "9:59.99"},
        {42, 0,
         "42 \x03"
         "0:00.00"},
    };
    for (const auto& [racer, ms, text] : cases) EXPECT_EQ(lapScoreboardText120(racer, ms), text);

    fixture();
    board.type = 120;
    sendLapRowToScoreboard(*lap, board, 4, false);
    sendLapRowToScoreboard(*lap, board, 0, false); // title row: nothing
    EXPECT_EQ(board.calls,
              (std::vector<std::string>{"showText(" + lapScoreboardText120(7, item(3).lap) + ",0,3,1,3,16)"}));

    struct Case {
        int type, row;
        bool dirty;
        std::vector<std::string> calls;
    };
    const std::string lapMs = std::to_string(item(3).lap);
    const std::string fromStart = std::to_string(item(3).fromStart);
    const Case cases2[] = {
        {135, 4, false, {"reset(0)", "showResult(1,1,7," + lapMs + ",0,0,0,0)", "setDisplayState(1,1)"}},
        {135, 4, true, {"reset(0)", "showResult(1,1,7," + fromStart + ",0,0,0,0)", "setDisplayState(1,1)"}},
        {132, 4, false, {"reset(0)", "showResult(1,1,7," + lapMs + ",0,0,0,0)", "setDisplayState(0,-1)"}},
        {122, 4, false, {"reset(0)", "showResult(1,1,7," + lapMs + ",0,0,0,0)"}},
        {135, 6, false, {}}, // not a LAP
        {135, 99, false, {}},
    };
    for (const Case& c : cases2) {
        board.calls.clear();
        board.type = c.type;
        sendLapRowToScoreboard(*lap, board, c.row, c.dirty);
        EXPECT_EQ(board.calls, c.calls) << c.type << " row " << c.row;
    }
}

TEST_F(LapGrid, OnCourseListShowsTheFinishQueueOfMode4) {
    host.mode = 4;
    setEvents({{7, K::STSIG, 1000, 1}, {8, K::STSIG, 5000, 1}, {9, K::STSIG, 9000, -1}});
    lap->rebuildFinishQueue();
    ASSERT_EQ(onCourseCount(*lap), 3);
    EXPECT_EQ(host.onCourseCount, 3);
    EXPECT_EQ(onCourseCaption(*lap, 0), "1");
    EXPECT_EQ(onCourseText(*lap, 0), "7 - Альфа");
    EXPECT_EQ(onCourseText(*lap, 1), "8"); // registered without a name
    EXPECT_EQ(onCourseText(*lap, 2), "9"); // not registered
    EXPECT_EQ(onCourseText(*lap, 3), "");  // past the queue
    EXPECT_EQ(onCourseCaption(*lap, -1), "");
    host.mode = 1;
    EXPECT_EQ(onCourseCount(*lap), 0);
}

TEST_F(LapGrid, CommandsActOnTheRowTheyWereGiven) {
    fixture();
    op.inputs = {std::string("8"), std::string("2,5")};
    commands.setNumber(4);
    EXPECT_EQ(item(3).racer, 8u);
    EXPECT_EQ(port.calls, (std::vector<std::string>{"editing", "done"}));
    commands.setPenalty(4);
    EXPECT_EQ(item(3).penalty, 2500);
    commands.setKind(4, K::PLAP);
    EXPECT_EQ(item(3).kind, K::PLAP);
    commands.togglePenaltyLap(4);
    EXPECT_EQ(item(3).kind, K::LAP);

    // Row 0 and rows past the end ask nothing and change nothing.
    const std::size_t asked = op.shown.size();
    for (int row : {0, 8, -3}) {
        commands.setNumber(row);
        commands.setPenalty(row);
        commands.setKind(row, K::LAP);
        commands.togglePenaltyLap(row);
        commands.deleteRows(row, row);
        commands.retireListed(row);
    }
    EXPECT_EQ(op.shown.size(), asked);
    EXPECT_EQ(count(), 7);
}

TEST_F(LapGrid, AnswersThatAreNotNumbersChangeNothing) {
    fixture();
    op.inputs = {std::string("abc"), std::nullopt};
    commands.setNumber(4);
    commands.setNumber(4);
    EXPECT_EQ(item(3).racer, 7u);
    EXPECT_EQ(port.calls, (std::vector<std::string>{"editing", "done", "editing", "done"}));
    op.inputs = {std::string("")}; // an empty penalty is 0
    item(6).penalty = 1500;
    commands.setPenaltyFromDoubleClick(7);
    EXPECT_EQ(item(6).penalty, 0);
}

TEST_F(LapGrid, ARowRemovedWhileThePromptIsOpenIsLeftAlone) {
    fixture();
    op.inputs = {std::string("5"), std::string("3")};
    op.whileOpen = [this] { // the list shrinks behind each prompt (not behind the message after it)
        if (op.shown.back() == "Номер" || op.shown.back() == "Штраф, с") lap->raceItems()->pop_back();
    };
    commands.setNumber(7);
    EXPECT_EQ(count(), 6);
    commands.setPenalty(6);
    EXPECT_EQ(count(), 5);
    for (int i = 0; i < count(); ++i) EXPECT_NE(item(i).racer, 5u);
    op.whileOpen = nullptr;
}

// Hits go on while a question is open: an earlier event taken meanwhile moves every row
// down one, and the command still acts on the event the official picked.
TEST_F(LapGrid, CommandsFindTheirEventAgainAfterTheQuestion) {
    fixture();
    std::uint64_t earliest = 1000;
    op.whileOpen = [&] { // a FRST before every event so far
        auto early = std::make_unique<TRaceItem>();
        early->racer = 9;
        early->kind = K::FRST;
        early->time = earliest -= 100;
        lap->raceItems()->insert(lap->raceItems()->begin(), std::move(early));
    };
    op.inputs = {std::string("8"), std::string("2,5")};
    commands.setNumber(4); // LAP 7 at 40 s
    EXPECT_EQ(item(4).time, 40000u);
    EXPECT_EQ(item(4).racer, 8u);
    EXPECT_EQ(item(3).kind, K::STSIG); // the event that moved into row 4 keeps no racer
    EXPECT_EQ(item(3).racer, 0u);
    commands.setPenalty(7); // FAIL 7 at 42 s
    EXPECT_EQ(item(7).kind, K::FAIL);
    EXPECT_EQ(item(7).penalty, 2500);
    op.yesNoAnswers = {true};
    commands.deleteRows(4, 5); // STLIN and STSIG
    EXPECT_EQ(kinds(), (std::vector<std::string>{"FRST", "FRST", "FRST", "FRST", "LAP", "LAP", "FAIL", "PLAP"}));

    // The event is gone by the time of the answer: the official is told, nothing changes.
    op.whileOpen = [this] {
        lap->raceItems()->erase(lap->raceItems()->begin() + 4);
        op.whileOpen = nullptr; // not again inside the message that follows
    };
    op.inputs = {std::string("5")};
    const std::size_t shown = op.shown.size();
    commands.setNumber(5);
    ASSERT_EQ(op.shown.size(), shown + 2);
    EXPECT_EQ(op.shown.back(), "Отметка удалена, пока был открыт вопрос.\nКоманда не выполнена.");
    EXPECT_EQ(count(), 7);
    for (int i = 0; i < count(); ++i) EXPECT_NE(item(i).racer, 5u) << i;
}

TEST_F(LapGrid, DeletionsAskFirst) {
    fixture();
    op.yesNoAnswers = {false, true};
    commands.deleteRows(2, 3);
    EXPECT_EQ(count(), 7);
    commands.deleteRows(2, 3);
    EXPECT_EQ(kinds(), (std::vector<std::string>{"FRST", "LAP", "LAP", "FAIL", "PLAP"}));
    EXPECT_EQ(op.shown.back(), "Точно удалить?");

    op.yesNoAnswers = {false};
    commands.deleteAll();
    EXPECT_EQ(count(), 5);
    commands.undelete();
    EXPECT_EQ(count(), 7);
    op.yesNoAnswers = {true};
    commands.deleteAll();
    EXPECT_EQ(count(), 0);
    EXPECT_TRUE(port.calls.empty());

    // The two-lane modes hand "Правка" to the run grid, after the same question.
    host.mode = 0;
    op.yesNoAnswers = {false, true};
    commands.deleteAll();
    commands.deleteAll();
    commands.undelete();
    EXPECT_EQ(port.calls, (std::vector<std::string>{"deleteAllRuns", "undeleteRuns"}));
}

TEST_F(LapGrid, RetireFromTheListAndFromTheDialog) {
    host.mode = 4;
    setEvents({{7, K::STSIG, 1000, 1}, {8, K::STSIG, 5000, 1}});
    lap->rebuildFinishQueue();
    EXPECT_TRUE(commands.canRetire());
    commands.retireListed(1);
    EXPECT_EQ(racersOf(K::FAIL), std::vector<uint32_t>{8});
    EXPECT_EQ(onCourseCount(*lap), 1);
    commands.retireListed(1); // that row is gone now
    EXPECT_EQ(racersOf(K::FAIL), std::vector<uint32_t>{8});
    op.picks = {0};
    commands.retire();
    EXPECT_EQ(racersOf(K::FAIL), (std::vector<uint32_t>{8, 7}));
    EXPECT_FALSE(commands.canRetire());
    EXPECT_EQ(host.onCourseCount, 0);
}

} // namespace
} // namespace velmaro::test
