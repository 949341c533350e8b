#pragma once
// velmaro.ini: every setting of the console, one "Key:value" line each, beside the
// program (programFolder()/"velmaro.ini"). Read once while the main window is created,
// rewritten whole (atomically) after every change of a setting.
//
// Values that cannot be right are never taken: a BlockTimeout value whose half does
// not fit 16 bits, a negative time-out, a speed trap distance that is not a positive
// finite number, a brightness outside 1..16 and a bracket item outside its list are
// replaced by their defaults when read, and refused when typed.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velmaro {

class Operator;

class Console;
class ConsolePorts;

inline constexpr float kDefaultSpeedTrapDistance = 20.0f;
inline constexpr int kDefaultRepeatTimeout = 1000;
inline constexpr int kDefaultDetectorTimeout = 2;
inline constexpr int kMaxHalfTimeout = 65535; // the node keeps a time-out in 16 bits

std::filesystem::path settingsPath(); // programFolder()/"velmaro.ini"

// The file text saveSettings writes for `console`. `finalCounts` gives one FinalCount
// line per class page; the scoreboard lines (ScoreboardBrightness, ShowLogo,
// ShowDirtyTimeSB) are written only when `withScoreboardLines`.
std::string formatSettings(const Console& console, const std::vector<std::pair<int, int>>& finalCounts,
                           bool withScoreboardLines);

// Stores the value of one line of the file in `console` (the first matching rule
// decides; loadSettings then creates the event folder and applies the mode). The line is
// taken as bytes: EventName keeps the folder's name exactly as on disk, and the event
// name shown is those bytes decoded (UTF-8, or CP1251 when not UTF-8).
// Returns false when the line was dropped.
bool applySettingsLine(Console& console, std::string_view line);

// Splits file bytes into the lines the reader sees: at most 510 bytes each (the rest of
// a longer line comes as the next line), LF removed, a trailing CR removed, the bytes
// kept as they are (applySettingsLine decodes what it shows).
std::vector<std::string> splitSettingsLines(std::string_view bytes);

// Rewrites velmaro.ini from `console` (the class pages' lines and whether the scoreboard
// lines are written come through `ports`); a file that cannot be written is skipped silently.
void saveSettings(const Console& console, ConsolePorts& ports);
// Reads velmaro.ini into `console`; a missing file leaves every value as it is.
void loadSettings(Console& console, ConsolePorts& ports);

// "Дистанция до датчика скорости:   %.1f м" with the console's distance.
std::string speedTrapCaption(const Console& console);

// The speed trap distance as typed: ',' read as '.', a number read from the start of
// the text (what follows is ignored). Nothing when no number, or not positive and finite.
std::optional<float> parseSpeedTrapAnswer(std::string_view text);

// Menu "Дистанция до датчика скорости": asks the operator, stores a valid answer,
// rewrites the file and refreshes the item caption. False when nothing changed.
bool askSpeedTrapDistance(Console& console, ConsolePorts& ports, Operator& op);

// The three texts of the timeouts dialog ("Таймаут повтора", "Таймаут детектора",
// "Блокировка после старта,с") for the console's values.
struct TimeoutTexts {
    std::string repeat, detector, blockFinish;
};
TimeoutTexts timeoutTexts(const Console& console);
// Applies the dialog's texts after OK: each whole number in 0..65535 replaces its
// setting (the two time-outs stored doubled); any other text leaves its setting. Then
// passes the time-outs to the node link and rewrites the file.
void applyTimeoutTexts(Console& console, ConsolePorts& ports, const TimeoutTexts& texts);

} // namespace velmaro
