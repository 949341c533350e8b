#pragma once
// What the registration window does to the registry: the rows of its two lists, the
// reading of the class and racer dialogs' fields, and the add / change / remove
// commands with their messages to the official. Every change is saved at once
// (classes.txt, racers.txt, the racer database); a file that cannot be written is
// reported to the official. Nothing else of the console is told while the window is
// open: closing it reloads the event.
//
// All functions run on the main thread; `reg` is the registry of the open event and
// `op` answers the questions and shows the messages.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/registration/registry.h"

namespace velmaro {

class Operator;

// Columns of the two lists.
enum ClassColumn { kClassColNumber = 0, kClassColName, kClassColLimits, kClassColumnCount };
enum RacerColumn {
    kRacerColNumber = 0,
    kRacerColTag,
    kRacerColName,
    kRacerColCarModel,
    kRacerColClasses,
    kRacerColCity,
    kRacerColTeam,
    kRacerColumnCount
};
// Column captions, in column order.
const std::vector<std::string>& classColumnCaptions();
const std::vector<std::string>& racerColumnCaptions();

// The limits text of a class: "от %s с," " до %s с" ", Breakout: %s c", each piece only
// for a limit that is not 0 (upper limit shown as limit x 100 - 1 ms).
std::string classLimitsText(const TClassItem& cls);
// Row `row` (from 0) of the class list: row number, name, limits text.
std::vector<std::string> classRowTexts(const TClassItem& cls, int row);
// A racer's row: number, tag ("" for 0), name, model, its classes' names joined by ", "
// (ids of no class left out), city, team.
std::vector<std::string> racerRowTexts(const TRegistry& reg, const TRacerItem& racer);

// A time limit typed by the official, in seconds with '.' or ',': tenths of a second,
// rounded to the nearest tenth ("4.1" is 41, "9,5" is 95). An empty field is 0 (no
// limit). Null for a text that is not a number, a negative one or one too large for
// the limit's millisecond form.
std::optional<std::int32_t> parseLimitTenths(std::string_view text);
// The field text of a limit: "" for 0, else seconds with one decimal ("4.1").
std::string limitFieldText(std::int32_t tenths);
// A start number typed by the official: 0 .. 2147483647, null otherwise.
std::optional<std::uint32_t> parseRacerNumber(std::string_view text);

// The texts of the class dialog.
struct ClassFields {
    std::string name;
    std::string minTime;
    std::string maxTime;
    std::string breakoutLimit;
};
ClassFields classFieldsOf(const TClassItem& cls);

// The texts of the racer dialog; `ticked` holds one flag per class of reg.classes.
struct RacerFields {
    std::string number;
    std::string tag;
    std::string name;
    std::string carModel;
    std::string city;
    std::string team;
    std::vector<bool> ticked;
};
RacerFields racerFieldsOf(const TRegistry& reg, const TRacerItem& racer);

// saveClasses / saveRacers of `reg`, telling the official when a file could not be
// written (nothing is said while no event is open).
void saveClassesOrTell(const TRegistry& reg, Operator& op);
void saveRacersOrTell(const TRegistry& reg, Operator& op);

// A class needs a name: an empty one (or one of blanks only) is refused with a message
// to the official. True when the name is accepted.
bool classNameAccepted(const std::string& name, Operator& op);
// Adds a class from the dialog's name, lower, upper and breakout limit. A name taken
// exactly adds nothing and says nothing; an empty name and an unreadable limit are
// refused with a message. Saves classes.txt. The new class or null.
TClassItem* addClassFromFields(TRegistry& reg, const ClassFields& fields, Operator& op);
// Changes a class from the dialog. An empty name and unreadable limits are refused
// (nothing changes); contradicting limits are stored and reported. Saves classes.txt.
// False when refused.
bool changeClassFromFields(TRegistry& reg, TClassItem& cls, const ClassFields& fields, Operator& op);
// Asks, then removes the class at `index`, its id from every racer, and saves both files.
// The class record stays valid for the class page until the event is reloaded.
bool removeClassAt(TRegistry& reg, int index, Operator& op);

// Adds a racer. Refused (nothing changes): a number that is not a whole number from 0 up,
// or one another racer already has (0 never collides). Warned but added: an unreadable
// tag (kept 0) and no class ticked while classes exist. Merges the racer into the
// database and saves. The new racer or null.
TRacerItem* addRacerFromFields(TRegistry& reg, const RacerFields& fields, Operator& op);
// Changes the racer at `index` (refused as in adding; here a number 0 collides with
// another racer numbered 0). Merges and saves. False when refused.
bool changeRacerFromFields(TRegistry& reg, int index, const RacerFields& fields, Operator& op);
// Asks, then removes the racer at `index` (the row, not a look-up by number) and saves.
bool removeRacerAt(TRegistry& reg, int index, Operator& op);

// In-place edits of one cell. Number and tag are checked as in the dialog, and a class
// name as in the class dialog; other texts are taken as typed; the class column takes one
// class name (or "" for none). Saves.
bool editRacerCell(TRegistry& reg, int index, int column, const std::string& text, Operator& op);
bool editClassCell(TRegistry& reg, int index, int column, const std::string& text, Operator& op);

// The racer list order by a column: 0 start number, 1 tag, 2 name; other columns
// leave the order alone (false). Stable.
bool sortRacersByColumn(TRegistry& reg, int column);

} // namespace velmaro
