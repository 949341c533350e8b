#include "core/app/events.h"

#include <nlohmann/json.hpp>

#include <array>
#include <cstdio>

#include "core/app/console.h"
#include "core/app/console_ports.h"
#include "core/app/settings.h"
#include "core/json/json_builder.h"
#include "core/platform/files.h"
#include "core/platform/operator.h"
#include "core/platform/program_folder.h"
#include "core/platform/random.h"
#include "core/platform/save_report.h"
#include "core/platform/text_codec.h"

namespace velmaro {
namespace {

constexpr std::size_t kRaceJsonLimit = 1048576;

void reportRefusedName(const Status& refusal, Operator& op) {
    op.message(refusal.message(), "Новое мероприятие", Operator::Icon::Warning);
}

} // namespace

std::filesystem::path challengesFolder() { return programFolder() / kChallengesFolder; }

Status validateEventName(const std::string& name) {
    const char* text =
        "Название мероприятия не может быть пустым, равным \".\" или \"..\", содержать \"..\", символы \"/\" и "
        "\"\\\" или управляющие символы.";
    if (name.empty() || name == "." || name.find("..") != std::string::npos) return Status::Error(text);
    for (unsigned char ch : name)
        if (ch < 0x20 || ch == 0x7F || ch == '/' || ch == '\\') return Status::Error(text);
    if (name.size() > 255) return Status::Error("Название мероприятия слишком длинное.");
    return Status::Ok();
}

std::string dateEventName(std::time_t when) {
    std::tm tm{};
    localtime_r(&when, &tm);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%02d_%02d_%04d", tm.tm_mday, tm.tm_mon + 1, tm.tm_year + 1900);
    return buf;
}

void showEventCaption(const Console& c) {
    if (c.view) c.view->setCaption(kCaptionPrefix + c.eventName);
}

Status setEventName(Console& c, const std::string& name) {
    Status valid = validateEventName(name);
    if (!valid.ok()) return valid;
    c.eventName = name;
    c.eventFolder = challengesFolder() / name;
    std::error_code ec;
    std::filesystem::create_directories(c.eventFolder, ec); // a failure shows when its files fail to open
    showEventCaption(c);
    return Status::Ok();
}

std::string readRaceGuid(const std::filesystem::path& folder) {
    std::string bytes;
    if (!readFile(folder / kRaceJson, bytes).ok()) return {};
    return parseRaceGuid(bytes);
}

std::string parseRaceGuid(std::string_view bytes) {
    if (bytes.size() > kRaceJsonLimit) bytes = bytes.substr(0, kRaceJsonLimit);
    auto json = nlohmann::json::parse(bytes, nullptr, false);
    if (json.is_discarded() || !json.is_object()) return {};
    auto it = json.find("raceGuid");
    if (it == json.end() || !it->is_string()) return {};
    return it->get<std::string>();
}

void loadRaceGuid(Console& c) {
    c.raceGuid = readRaceGuid(c.eventFolder);
    if (!c.raceGuid.empty()) return;
    c.raceGuid = newGuid();
    MyJSONObject race;
    race.add("raceGuid", c.raceGuid);
    // When it fails the GUID lives in memory only.
    (void)reportSave(c.eventFolder / kRaceJson, writeFileAtomic(c.eventFolder / kRaceJson, race.toString()));
}

void setMode(Console& c, ConsolePorts& p, unsigned mode) {
    p.leavingEvent();
    c.raceMode = mode;
    if (timingModeFrom(mode) && c.view) c.view->showMode(mode);
    loadEvent(c, p);
}

void selectMode(Console& c, ConsolePorts& p, unsigned mode) {
    setMode(c, p, mode);
    saveSettings(c, p);
}

void loadEvent(Console& c, ConsolePorts& p) {
    if (!p.registryExists()) return;
    p.freeClasses();
    loadRaceGuid(c);
    p.removeClassPages();
    p.loadClassesAndRacers();
    if (isSingleLaneMode(c.raceMode)) {
        p.loadLapSingle();
    } else if (isTwoLaneMode(c.raceMode)) {
        p.loadDragFile();
        p.selectLastDragRow();
    }
    p.loadHitLog();
    p.sendRaceInfo();
}

void newEvent(Console& c, ConsolePorts& p, Operator& op) {
    std::string name;
    if (!op.inputQuery("Новое мероприятие", "Название мероприятия", name)) return;
    if (validateEventName(name).ok()) p.leavingEvent();
    Status set = setEventName(c, name);
    if (!set.ok()) {
        reportRefusedName(set, op);
        return;
    }
    saveSettings(c, p);
    std::error_code ec;
    if (!std::filesystem::exists(c.eventFolder / "classes.txt", ec)) {
        auto source = programFolder() / kDefaultClassesFile;
        if (std::filesystem::exists(source, ec))
            (void)reportSave(c.eventFolder / "classes.txt", copyFileAtomic(source, c.eventFolder / "classes.txt"));
    }
    loadEvent(c, p);
}

void openEvent(Console& c, ConsolePorts& p, const std::filesystem::path& folder, Operator& op) {
    std::error_code ec;
    auto chosen = std::filesystem::weakly_canonical(folder, ec);
    if (ec) chosen = folder.lexically_normal();
    auto root = std::filesystem::weakly_canonical(challengesFolder(), ec);
    if (ec) root = challengesFolder().lexically_normal();
    if (chosen.filename().empty()) chosen = chosen.parent_path();
    if (chosen.parent_path() != root) {
        op.message("Мероприятие должно быть папкой внутри папки CHALLENGES.", "Открыть мероприятие",
                   Operator::Icon::Warning);
        return;
    }
    std::string raw = chosen.filename().string();
    std::string name = decodeLine(raw);
    Status valid = validateEventName(name);
    if (!valid.ok()) {
        op.message(valid.message(), "Открыть мероприятие", Operator::Icon::Warning);
        return;
    }
    p.leavingEvent();
    c.eventName = name;
    // The folder as it is on disk: a name written by an old console in CP1251 still opens.
    c.eventFolder = challengesFolder() / raw;
    showEventCaption(c);
    saveSettings(c, p);
    loadEvent(c, p);
}

void refreshClasses(const Console& c, ConsolePorts& p) {
    if (isGateLapMode(c.raceMode))
        p.refreshRaceItemClasses();
    else if (isTwoLaneNonRollerMode(c.raceMode))
        p.refreshRunClasses();
}

} // namespace velmaro
