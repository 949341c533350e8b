#pragma once
// The lap grid of the single-lane modes as the official works it: cell colours, the
// list of racers on course, the prompts of the grid's commands and the commands
// themselves. Grid row r (r >= 1) shows lap event r - 1; row 0 is the column titles.
//
// Every command checks its row against the lap events as they are when it runs (a
// refresh may have removed the row since the click), and does nothing for row 0 or a
// row past the last event.
//
// Everything reads the lap timing it is given (not owned; it outlives the caller).
// Thread: the main thread.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmaro {

class LapTiming;
class TScoreboardController;

// Fill of one cell of the lap grid (the selected row is drawn grey by the grid).
enum class LapCellFill {
    Window,     // the system window colour
    Lap,        // a LAP row: light green (192, 255, 189)
    EarlyStart, // a STLIN row with a negative time from the start: light red (255, 189, 189)
    Fail,       // a FAIL row: black, white text
    Penalty,    // the penalty cell of an event with a penalty: light red
};
LapCellFill lapGridCellFill(const LapTiming& lap, int row, int column);

// The list of racers on course (mode 4; empty in the other modes): row i shows the
// queue entry i as caption i + 1 and the racer's number, with " - " and the name when
// the racer is registered with a name. Empty texts for a row past the queue.
int onCourseCount(const LapTiming& lap);
std::string onCourseCaption(const LapTiming& lap, int row);
std::string onCourseText(const LapTiming& lap, int row);

// The racer-number answer: a whole number, else nullopt.
std::optional<int> racerNumberAnswer(std::string_view text);
// The penalty answer in seconds ("2,5" and "2.5" alike) as milliseconds, rounded to
// the nearest millisecond; 0 for a text that is not a number or out of range.
std::int32_t penaltyAnswerMs(std::string_view text);

// The lap time on a type 120 text scoreboard: "%2d " (number modulo 100), the
// character 3 and "m:ss.hh" of the lap time + 5 ms, at most 9:59.99.
std::string lapScoreboardText120(std::uint32_t racer, std::int32_t lapMs);
// "На табло": shows the event of a grid row on the scoreboard (type 120 as text,
// otherwise a LAP event as a result, its time from the start when `dirtyTime`).
void sendLapRowToScoreboard(const LapTiming& lap, TScoreboardController& scoreboard, int row, bool dirtyTime);

// What the grid's commands need beyond the lap timing.
class LapGridPort {
public:
    LapGridPort() = default;
    LapGridPort(const LapGridPort&) = delete;
    LapGridPort& operator=(const LapGridPort&) = delete;
    virtual ~LapGridPort() = default;

    // TMainForm::editingNumber: set while a racer-number prompt of the grid is open.
    virtual void setEditingNumber(bool editing) = 0;
    // "Отменить удаление" and "Удалить все" of the two-lane modes (the run grid's).
    virtual void undeleteRuns() = 0;
    virtual void deleteAllRuns() = 0;
};

// The commands of the lap grid's menu, keys and the "Правка" items on one lap timing.
// Questions go to the lap timing's operator. Neither the lap timing nor the port is owned.
class LapGridCommands {
public:
    LapGridCommands(LapTiming& lap, LapGridPort& port) : lap_(lap), port_(port) {}

    // True when grid row `row` shows a lap event now.
    bool rowValid(int row) const;
    // True when the retire dialog has racers to list (modes 1 and 4).
    bool canRetire() const;

    void setNumber(int row);                    // "Задать номер", double click outside column 6
    void setPenalty(int row);                   // "Штраф", P, the button "ШТРАФ"
    void setPenaltyFromDoubleClick(int row);    // double click in column 6
    void setKind(int row, std::uint32_t kind);  // "STLIN", "FRST", "PLAP", "LAP"
    void togglePenaltyLap(int row);             // L
    void deleteRows(int firstRow, int lastRow); // "Удалить запись", Delete, "УДАЛИТЬ"
    void retire();                              // "Сход" of the grid's menu: the retire dialog
    void retireListed(int listRow);             // "Сход" of the on-course list
    void sendToScoreboard(int row);             // "На табло"
    void undelete();                            // "Правка" / "Отменить удаление"
    void deleteAll();                           // "Правка" / "Удалить все"

private:
    // A lap event as a question leaves it: its kind and node time, which no two events of
    // the list share. Hits go on while a question is open and move the rows, so a command
    // that asks finds its event again by these after the answer.
    struct EventKey {
        std::uint32_t kind;
        std::uint64_t time;
    };
    std::optional<EventKey> keyOfRow(int row) const;
    // The grid row of the event now; 0 when it is gone (told to the official under `caption`).
    int rowOfKey(const EventKey& key, const char* caption) const;

    LapTiming& lap_;
    LapGridPort& port_;
};

} // namespace velmaro
