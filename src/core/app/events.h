#pragma once
// Events and timing modes.
//
// An event is a folder directly below programFolder()/"CHALLENGES" holding every file
// of that race meeting; Console::eventFolder is that folder, eventName its name.
// race.json in it keeps the event's GUID. There is always one open event and one of
// nine timing modes (Console::raceMode).
//
// The functions below work on the console they are given; those that reach the other
// areas (loading, class refresh, the settings file) do so through the ports given.
#include <ctime>
#include <filesystem>
#include <string>
#include <string_view>

#include "core/platform/status.h"

namespace velmaro {

class Console;
class ConsolePorts;
class Operator;

inline constexpr const char* kChallengesFolder = "CHALLENGES";
inline constexpr const char* kDbFolder = "DB";
inline constexpr const char* kRaceJson = "race.json";
inline constexpr const char* kDefaultClassesFile = "defaultclasses.txt";

std::filesystem::path challengesFolder(); // programFolder()/"CHALLENGES"

// An event name must name a folder directly below CHALLENGES: not empty, not "." or
// "..", no "..", no '/' or '\\', no control characters, at most 255 bytes.
Status validateEventName(const std::string& name);

// "dd_mm_yyyy" of the local date of `when`.
std::string dateEventName(std::time_t when);

// Makes `name` the open event: folder CHALLENGES/name (created when missing), caption.
// A name refused by validateEventName changes nothing and returns the refusal.
Status setEventName(Console& console, const std::string& name);

// The caption "Velmaro v3.6 - " + event name, shown through the console view.
void showEventCaption(const Console& console);

// The GUID kept in race.json of `folder`: the text of its member "raceGuid", or empty
// when the file is missing, unreadable, not JSON, or has no text member raceGuid.
std::string readRaceGuid(const std::filesystem::path& folder);
// The same from the bytes of a race.json (the first megabyte is looked at).
std::string parseRaceGuid(std::string_view bytes);
// Reads the open event's GUID; when there is none makes a new one and rewrites race.json.
void loadRaceGuid(Console& console);

// Applies a timing mode: stores it, shows its grid (modes 0..8) and reloads the event.
void setMode(Console& console, ConsolePorts& ports, unsigned mode);
// A mode menu item: setMode, then saveSettings.
void selectMode(Console& console, ConsolePorts& ports, unsigned mode);

// Reloads everything of the open event from its folder (nothing while the registry
// does not exist yet). The other areas' loaders are called through `ports`.
void loadEvent(Console& console, ConsolePorts& ports);

// "Новое мероприятие": asks the name; a refused name is reported and nothing changes.
// Copies defaultclasses.txt into a folder without classes.txt, then loads the event.
void newEvent(Console& console, ConsolePorts& ports, Operator& op);
// "Открыть мероприятие" with the folder chosen by the operator. Only a folder directly
// below CHALLENGES is accepted (anything else is reported and changes nothing).
void openEvent(Console& console, ConsolePorts& ports, const std::filesystem::path& folder, Operator& op);

// Menu "Обновить классы": re-derives the classes of lap events (modes 1, 4) or runs
// (modes 0, 2, 3, 5, 8); nothing in the other modes.
void refreshClasses(const Console& console, ConsolePorts& ports);

} // namespace velmaro
