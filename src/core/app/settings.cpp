#include "core/app/settings.h"

#include <arpa/inet.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

#include "core/app/console.h"
#include "core/app/console_ports.h"
#include "core/app/events.h"
#include "core/platform/files.h"
#include "core/platform/numbers.h"
#include "core/platform/operator.h"
#include "core/platform/program_folder.h"
#include "core/platform/save_report.h"
#include "core/platform/text_codec.h"

namespace velmaro {
namespace {

constexpr std::size_t kLineBuffer = 510; // characters per line the reader takes at once

bool beginsWith(std::string_view line, std::string_view key) { return line.substr(0, key.size()) == key; }

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// printf-style scanning of one number at `pos`: leading blanks, optional sign, digits.
// Anything after the number is left to the caller. Fails on no digits or overflow.
std::optional<long long> scanInteger(std::string_view text, std::size_t& pos) {
    std::size_t p = pos;
    while (p < text.size() && isBlank(text[p])) ++p;
    bool negative = false;
    if (p < text.size() && (text[p] == '+' || text[p] == '-')) negative = text[p++] == '-';
    std::size_t start = p;
    long long value = 0;
    while (p < text.size() && text[p] >= '0' && text[p] <= '9') {
        if (value > (std::numeric_limits<long long>::max() - 9) / 10) return std::nullopt;
        value = value * 10 + (text[p] - '0');
        ++p;
    }
    if (p == start) return std::nullopt;
    pos = p;
    return negative ? -value : value;
}

std::optional<int> scanInt(std::string_view text, std::size_t& pos) {
    auto v = scanInteger(text, pos);
    if (!v || *v < std::numeric_limits<int>::min() || *v > std::numeric_limits<int>::max()) return std::nullopt;
    return static_cast<int>(*v);
}

std::optional<double> scanFloat(std::string_view text, std::size_t& pos) {
    std::size_t p = pos;
    while (p < text.size() && isBlank(text[p])) ++p;
    if (p < text.size() && text[p] == '+') ++p;
    double value = 0;
    auto [end, ec] = std::from_chars(text.data() + p, text.data() + text.size(), value);
    if (ec != std::errc()) return std::nullopt;
    pos = static_cast<std::size_t>(end - text.data());
    return value;
}

// "Key:%d": the line must start with key and ':' and then hold a number.
std::optional<int> parseKeyInt(std::string_view line, std::string_view key) {
    if (!beginsWith(line, key) || line.size() <= key.size() || line[key.size()] != ':') return std::nullopt;
    std::size_t pos = key.size() + 1;
    return scanInt(line, pos);
}

bool validSpeedTrap(double v) { return std::isfinite(v) && v > 0 && v <= std::numeric_limits<float>::max(); }
bool validDoubledTimeout(long long v) { return v >= 0 && v / 2 <= kMaxHalfTimeout; }
bool validHalfTimeout(long long v) { return v >= 0 && v <= kMaxHalfTimeout; }

} // namespace

std::filesystem::path settingsPath() { return programFolder() / "velmaro.ini"; }

std::string formatSettings(const Console& c, const std::vector<std::pair<int, int>>& finalCounts,
                           bool withScoreboardLines) {
    std::string out;
    auto line = [&out](std::string_view key, const std::string& value) {
        out.append(key).append(":").append(value).append("\n");
    };
    // The folder's name as it is on disk: a folder made by an old console in CP1251 must
    // be found again after a restart, not replaced by a new empty one named in UTF-8.
    const std::string folderName = c.eventFolder.empty() ? std::string() : c.eventFolder.filename().string();
    line("EventName", folderName.empty() ? c.eventName : folderName);
    if (timingModeFrom(c.raceMode)) line("Mode", std::to_string(c.raceMode));
    line("SpeedTrapDistance", formatFixed(c.speedTrapDistance, 1));
    line("BlockTimeout", std::to_string(c.repeatTimeout) + "," + std::to_string(c.detectorTimeout));
    line("BlockFinishTimeout", std::to_string(c.blockFinishTimeout));
    for (const auto& [index, second] : finalCounts)
        line("FinalCount", std::to_string(index) + "," + std::to_string(second));
    line("BracketType", std::to_string(c.bracketType));
    line("BracketGenMethod", std::to_string(c.bracketGenMethod));
    if (withScoreboardLines) {
        line("ScoreboardBrightness", std::to_string(c.scoreboardBrightness));
        line("ShowLogo", c.showLogo ? "1" : "0");
    }
    line("ProStart", c.proStart ? "1" : "0");
    line("WaitRacerTimeout", std::to_string(c.waitRacerTimeout));
    line("AutoStart", c.autoStart ? "1" : "0");
    line("PrintBoth", c.printBoth ? "1" : "0");
    if (withScoreboardLines) line("ShowDirtyTimeSB", c.showDirtyTimeSB == 1 ? "1" : "0");
    line("InvertScoreboard", c.invertScoreboard ? "1" : "0");
    if (c.replayRunTarget != kDefaultReplayRunTarget) line("ReplayRunTarget", c.replayRunTarget);
    if (c.replayStepTarget != kDefaultReplayStepTarget) line("ReplayStepTarget", c.replayStepTarget);
    return out;
}

bool applySettingsLine(Console& c, std::string_view line) {
    for (auto [key, target] :
         {std::pair{"ReplayRunTarget:", &c.replayRunTarget}, std::pair{"ReplayStepTarget:", &c.replayStepTarget}}) {
        if (!beginsWith(line, key)) continue;
        // Only a dotted IPv4 address is taken; anything else keeps the default.
        const std::string value(line.substr(std::string_view(key).size()));
        in_addr probe{};
        if (::inet_pton(AF_INET, value.c_str(), &probe) != 1) return false;
        *target = value;
        return true;
    }
    if (beginsWith(line, "EventName")) {
        auto colon = line.find(':');
        if (colon == std::string_view::npos) return false;
        // The value is the folder's name in its bytes on disk; the caption shows it decoded.
        const std::string raw(line.substr(colon + 1));
        const std::string name = decodeLine(raw);
        // A name that would leave CHALLENGES is never taken from the file.
        if (!validateEventName(name).ok() || !validateEventName(raw).ok()) return false;
        c.eventName = name;
        c.eventFolder = challengesFolder() / raw;
        return true;
    }
    if (beginsWith(line, "Mode")) {
        if (line.size() < 5 || line[4] != ':') return false;
        std::size_t pos = 5;
        auto v = scanInteger(line, pos);
        if (!v) return false;
        c.raceMode = static_cast<unsigned>(static_cast<std::uint64_t>(*v)); // as "%u" reads it
        return true;
    }
    if (beginsWith(line, "SpeedTrapDistance")) {
        std::string_view key = "SpeedTrapDistance";
        if (line.size() <= key.size() || line[key.size()] != ':') return false;
        std::size_t pos = key.size() + 1;
        auto v = scanFloat(line, pos);
        if (!v) return false;
        c.speedTrapDistance = validSpeedTrap(*v) ? static_cast<float>(*v) : kDefaultSpeedTrapDistance;
        return true;
    }
    if (beginsWith(line, "BlockTimeout")) {
        std::string_view key = "BlockTimeout";
        if (line.size() <= key.size() || line[key.size()] != ':') return false;
        std::size_t pos = key.size() + 1;
        auto repeat = scanInt(line, pos);
        if (!repeat || pos >= line.size() || line[pos] != ',') return false;
        ++pos;
        auto detector = scanInt(line, pos);
        if (!detector) return false;
        c.repeatTimeout = validDoubledTimeout(*repeat) ? *repeat : kDefaultRepeatTimeout;
        c.detectorTimeout = validDoubledTimeout(*detector) ? *detector : kDefaultDetectorTimeout;
        return true;
    }
    if (auto v = parseKeyInt(line, "BlockFinishTimeout")) {
        c.blockFinishTimeout = validHalfTimeout(*v) ? *v : 0;
        return true;
    }
    if (beginsWith(line, "FinalCount")) return false;
    if (beginsWith(line, "BracketType")) {
        auto v = parseKeyInt(line, "BracketType");
        if (!v) return false;
        c.bracketType = (*v >= 0 && *v <= 10) ? *v : -1;
        return true;
    }
    if (beginsWith(line, "BracketGenMethod")) {
        auto v = parseKeyInt(line, "BracketGenMethod");
        if (!v) return false;
        c.bracketGenMethod = (*v >= 0 && *v <= 2) ? *v : 0;
        return true;
    }
    if (beginsWith(line, "UseScoreboard")) return false;
    if (auto v = parseKeyInt(line, "ShowLogo")) {
        c.showLogo = *v;
        return true;
    }
    if (beginsWith(line, "ScoreboardBrightness")) {
        auto v = parseKeyInt(line, "ScoreboardBrightness");
        if (!v) return false;
        c.scoreboardBrightness = (*v >= 1 && *v <= 16) ? *v : 16;
        return true;
    }
    if (beginsWith(line, "ProStart")) {
        auto v = parseKeyInt(line, "ProStart");
        if (!v) return false;
        c.proStart = *v == 1;
        return true;
    }
    if (auto v = parseKeyInt(line, "WaitRacerTimeout")) {
        c.waitRacerTimeout = *v;
        return true;
    }
    if (auto v = parseKeyInt(line, "AutoStart")) {
        c.autoStart = *v == 1;
        return true;
    }
    if (auto v = parseKeyInt(line, "PrintBoth")) {
        c.printBoth = *v == 1;
        return true;
    }
    if (auto v = parseKeyInt(line, "ShowDirtyTimeSB")) {
        c.showDirtyTimeSB = *v;
        return true;
    }
    if (auto v = parseKeyInt(line, "InvertScoreboard")) {
        c.invertScoreboard = *v;
        return true;
    }
    return false;
}

std::vector<std::string> splitSettingsLines(std::string_view bytes) {
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        std::size_t nl = bytes.find('\n', pos);
        std::size_t end = nl == std::string_view::npos ? bytes.size() : nl;
        std::size_t take = std::min(end - pos, kLineBuffer);
        std::string_view chunk = bytes.substr(pos, take);
        bool cut = pos + take < end;
        pos = cut ? pos + take : (nl == std::string_view::npos ? bytes.size() : nl + 1);
        if (!chunk.empty() && chunk.back() == '\r' && !cut) chunk.remove_suffix(1);
        lines.emplace_back(chunk);
    }
    return lines;
}

void saveSettings(const Console& c, ConsolePorts& p) {
    std::vector<std::pair<int, int>> counts = p.finalCounts();
    bool withScoreboard = p.scoreboardSettingsExist();
    (void)reportSave(settingsPath(), writeFileAtomic(settingsPath(), formatSettings(c, counts, withScoreboard)));
}

void loadSettings(Console& c, ConsolePorts& p) {
    std::string bytes;
    if (!readFile(settingsPath(), bytes).ok()) return;
    bool printBothSeen = false;
    for (const auto& line : splitSettingsLines(bytes)) {
        if (!applySettingsLine(c, line)) continue;
        if (beginsWith(line, "EventName")) {
            std::error_code ec;
            std::filesystem::create_directories(c.eventFolder, ec);
            showEventCaption(c);
        } else if (beginsWith(line, "Mode")) {
            setMode(c, p, c.raceMode);
        } else if (beginsWith(line, "PrintBoth")) {
            printBothSeen = true;
        }
    }
    if (c.view) c.view->settingsChanged(printBothSeen);
}

std::string speedTrapCaption(const Console& console) {
    return "Дистанция до датчика скорости:   " + formatFixed(console.speedTrapDistance, 1) + " м";
}

std::optional<float> parseSpeedTrapAnswer(std::string_view text) {
    std::string t(text);
    for (char& ch : t)
        if (ch == ',') ch = '.';
    std::size_t pos = 0;
    auto v = scanFloat(t, pos);
    if (!v || !validSpeedTrap(*v)) return std::nullopt;
    return static_cast<float>(*v);
}

bool askSpeedTrapDistance(Console& c, ConsolePorts& p, Operator& op) {
    std::string answer;
    if (!op.inputQuery("Введите значение", "Расстояние от датчика скорости до финиша,м", answer)) return false;
    auto v = parseSpeedTrapAnswer(answer);
    if (!v) return false;
    c.speedTrapDistance = *v;
    saveSettings(c, p);
    if (c.view) c.view->settingsChanged(false);
    return true;
}

TimeoutTexts timeoutTexts(const Console& c) {
    return {std::to_string(c.repeatTimeout / 2), std::to_string(c.detectorTimeout / 2),
            std::to_string(c.blockFinishTimeout)};
}

void applyTimeoutTexts(Console& c, ConsolePorts& p, const TimeoutTexts& texts) {
    if (auto v = parseIntegerInRange(texts.repeat, 0, kMaxHalfTimeout)) c.repeatTimeout = static_cast<int>(*v) * 2;
    if (auto v = parseIntegerInRange(texts.detector, 0, kMaxHalfTimeout)) c.detectorTimeout = static_cast<int>(*v) * 2;
    if (auto v = parseIntegerInRange(texts.blockFinish, 0, kMaxHalfTimeout))
        c.blockFinishTimeout = static_cast<int>(*v);
    p.setLinkTimeouts(c.repeatTimeout / 2, c.detectorTimeout / 2);
    saveSettings(c, p);
}

} // namespace velmaro
