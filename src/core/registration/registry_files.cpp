// The registry's three files: classes.txt and racers.txt in the event folder, and the
// racer database DB/racersdb.txt under the program folder.
//
//   classes.txt    "<id>:<name>\t<min>,<max>,<breakout>"
//   racers.txt     "<num>,<name>,<car>,<city>,<n>:<id>,<id>,...,<team>,<tag>,<guid>,<admitted>"
//                  (every class id carries its own comma, so two commas precede the team)
//   racersdb.txt   "<name>,<car>,<city>,<team>"  (the team takes the rest of the line, commas included)
#include <charconv>
#include <climits>
#include <cstdio>
#include <optional>
#include <string_view>
#include <system_error>

#include "core/platform/files.h"
#include "core/platform/operator.h"
#include "core/platform/save_report.h"
#include "core/platform/text_codec.h"
#include "core/registration/registry.h"

namespace velmaro {

namespace fs = std::filesystem;

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

// Like a "%u" scan from `pos`: blanks, then digits. Moves `pos` past the number only when
// one was read. Values beyond 32 bits are not numbers.
std::optional<std::uint32_t> scanUnsigned(std::string_view text, std::size_t& pos) {
    std::size_t p = pos;
    while (p < text.size() && isBlank(text[p])) ++p;
    std::uint32_t value = 0;
    const auto [end, ec] = std::from_chars(text.data() + p, text.data() + text.size(), value);
    if (ec != std::errc()) return std::nullopt;
    pos = static_cast<std::size_t>(end - text.data());
    return value;
}

// Like a "%d" scan from `pos`: blanks, an optional sign, digits; 32-bit range.
std::optional<std::int32_t> scanSigned(std::string_view text, std::size_t& pos) {
    std::size_t p = pos;
    while (p < text.size() && isBlank(text[p])) ++p;
    if (p < text.size() && text[p] == '+') {
        if (p + 1 >= text.size() || text[p + 1] < '0' || text[p + 1] > '9') return std::nullopt;
        ++p;
    }
    std::int32_t value = 0;
    const auto [end, ec] = std::from_chars(text.data() + p, text.data() + text.size(), value);
    if (ec != std::errc()) return std::nullopt;
    pos = static_cast<std::size_t>(end - text.data());
    return value;
}

// Digits only, with blanks around them allowed: a class id as the writer puts it.
bool isPlainNumber(std::string_view text) {
    std::size_t p = 0;
    while (p < text.size() && isBlank(text[p])) ++p;
    const std::size_t start = p;
    while (p < text.size() && text[p] >= '0' && text[p] <= '9') ++p;
    const std::size_t digits = p - start;
    while (p < text.size() && isBlank(text[p])) ++p;
    return digits > 0 && p == text.size();
}

// The text from `pos` up to the next ',' or the end of the line; `pos` moves past the ','.
std::string takeField(std::string_view line, std::size_t& pos) {
    if (pos >= line.size()) return {};
    const std::size_t comma = line.find(',', pos);
    std::string field;
    if (comma == std::string_view::npos) {
        field = std::string(line.substr(pos));
        pos = line.size();
    } else {
        field = std::string(line.substr(pos, comma - pos));
        pos = comma + 1;
    }
    return field;
}

// A text field of a comma-separated record: no comma, TAB, CR or LF may break it.
std::string recordField(const std::string& text) { return sanitizeField(text, ","); }

// Every registry file: a failure is told in the log window once per run of failures.
Status writeLines(const fs::path& path, const std::string& content) {
    return reportSave(path, writeFileAtomic(path, content));
}

} // namespace

// ---- line formats -------------------------------------------------------------------

std::string TRegistry::classLine(const TClassItem& cls) {
    char limits[48];
    std::snprintf(limits, sizeof limits, "\t%d,%d,%d", cls.minTime, cls.maxTime, cls.breakoutLimit);
    return std::to_string(static_cast<std::uint32_t>(cls.id)) + ":" + sanitizeField(cls.name, "") + limits;
}

std::string TRegistry::racerLine(const TRacerItem& r) {
    std::string line = std::to_string(r.number) + "," + recordField(r.name) + "," + recordField(r.carModel) + "," +
                       recordField(r.city) + ",";
    line += std::to_string(r.classIds.size()) + ":";
    for (std::int32_t id : r.classIds) line += std::to_string(static_cast<std::uint32_t>(id)) + ",";
    line += "," + recordField(r.team);
    line += "," + std::to_string(r.tag);
    line += "," + recordField(r.guid);
    line += "," + std::to_string(static_cast<int>(r.passedToRace));
    return line;
}

std::string TRegistry::racerDbLine(const TRacerItem& e) {
    // The team is the rest of the line, so it may keep its commas.
    return recordField(e.name) + "," + recordField(e.carModel) + "," + recordField(e.city) + "," +
           sanitizeField(e.team, "");
}

std::unique_ptr<TClassItem> TRegistry::parseClassLine(const std::string& text) {
    const std::string_view line(text);
    std::size_t pos = 0;
    const auto id = scanUnsigned(line, pos);
    if (!id) return nullptr;
    auto cls = std::make_unique<TClassItem>(static_cast<std::int32_t>(*id), std::string());
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) return cls; // no name, no limits
    const std::string_view rest = line.substr(colon + 1);
    const std::size_t tab = rest.find('\t');
    if (tab == std::string_view::npos) {
        cls->name = std::string(rest);
        return cls;
    }
    cls->name = std::string(rest.substr(0, tab));
    // "%d,%d,%d": three numbers give all limits, two the lower and upper one, else none.
    const std::string_view limits = rest.substr(tab + 1);
    std::size_t p = 0;
    std::int32_t values[3] = {0, 0, 0};
    int read = 0;
    for (; read < 3; ++read) {
        if (read > 0) {
            if (p >= limits.size() || limits[p] != ',') break;
            ++p;
        }
        const auto v = scanSigned(limits, p);
        if (!v) break;
        values[read] = *v;
    }
    if (read == 3) {
        cls->minTime = values[0];
        cls->maxTime = values[1];
        cls->breakoutLimit = values[2];
    } else if (read == 2) {
        cls->minTime = values[0];
        cls->maxTime = values[1];
    }
    return cls;
}

std::unique_ptr<TRacerItem> TRegistry::parseRacerLine(const std::string& text) {
    const std::string_view line(text);
    std::size_t pos = 0;
    const auto number = scanUnsigned(line, pos);
    if (!number) return nullptr;
    auto racer = std::make_unique<TRacerItem>(*number);
    const std::size_t comma = line.find(',');
    if (comma == std::string_view::npos) return racer;
    pos = comma + 1;
    racer->name = takeField(line, pos);
    racer->carModel = takeField(line, pos);
    racer->city = takeField(line, pos);

    const auto count = scanUnsigned(line, pos);
    if (!count) return racer;
    const std::size_t colon = line.find(':', pos);
    if (colon == std::string_view::npos) return racer;
    pos = colon + 1;
    // Every class id carries its own ',' and the team its leading one, so the list ends
    // at the empty field of the double comma. A count that disagrees with the entries
    // does not move the team: a shorter list stops at the empty field, and a longer one
    // goes on while its entries are plain numbers.
    for (std::uint32_t i = 0; pos < line.size() && line[pos] != ','; ++i) {
        std::size_t end = line.find(',', pos);
        if (end == std::string_view::npos) end = line.size();
        const std::string_view entry = line.substr(pos, end - pos);
        if (i >= *count && !isPlainNumber(entry)) break;
        pos = end < line.size() ? end + 1 : end;
        std::size_t p = 0;
        if (const auto id = scanUnsigned(entry, p)) racer->classIds.push_back(static_cast<std::int32_t>(*id));
    }
    if (pos < line.size() && line[pos] == ',') ++pos; // the ',' in front of the team
    racer->team = takeField(line, pos);

    if (pos < line.size()) {
        const std::string field = takeField(line, pos);
        std::size_t p = 0;
        racer->tag = scanSigned(field, p).value_or(0);
    }
    if (pos < line.size()) {
        std::string guid = takeField(line, pos);
        if (!guid.empty()) racer->guid = std::move(guid);
    }
    if (pos < line.size()) {
        const std::string field = takeField(line, pos);
        std::size_t p = 0;
        if (const auto admitted = scanSigned(field, p)) racer->passedToRace = *admitted != 0 ? 1 : 0;
    }
    return racer;
}

std::unique_ptr<TRacerItem> TRegistry::parseRacerDbLine(const std::string& text) {
    const std::string_view line(text);
    auto entry = std::make_unique<TRacerItem>();
    std::size_t pos = 0;
    entry->name = takeField(line, pos);
    entry->carModel = takeField(line, pos);
    entry->city = takeField(line, pos);
    if (pos < line.size()) entry->team = std::string(line.substr(pos));
    return entry;
}

// ---- writers --------------------------------------------------------------------------

Status TRegistry::saveClasses() const {
    if (eventFolder_.empty()) return Status::Error("no event is open");
    std::string content;
    for (const auto& c : classes) content += classLine(*c) + "\n";
    return writeLines(eventFolder_ / "classes.txt", content);
}

Status TRegistry::saveRacerDb() const {
    const fs::path file = databaseFile();
    std::error_code ec;
    fs::create_directories(file.parent_path(), ec);
    std::string content;
    for (const auto& e : racerDb) content += racerDbLine(*e) + "\n";
    return writeLines(file, content);
}

Status TRegistry::saveRacers() const {
    Status racersStatus = Status::Error("no event is open");
    if (!eventFolder_.empty()) {
        std::string content;
        for (const auto& r : racers) content += racerLine(*r) + "\n";
        racersStatus = writeLines(eventFolder_ / "racers.txt", content);
    }
    Status dbStatus = saveRacerDb();
    if (!racersStatus.ok()) return racersStatus;
    return dbStatus;
}

// ---- readers --------------------------------------------------------------------------

Status TRegistry::loadRacerDb() {
    racerDb.clear();
    std::vector<std::string> lines;
    Status st = readTextLines(databaseFile(), lines);
    if (st.ok()) {
        for (const auto& line : lines)
            if (!line.empty()) racerDb.push_back(parseRacerDbLine(line));
    }
    sortRacerDb();
    sink().racerDbChanged();
    return st;
}

void TRegistry::loadClassesAndRacers() {
    clearClasses(); // also nextClassId = 0
    ClassPageSink& pages = sink();
    std::vector<std::string> lines;
    if (!eventFolder_.empty() && readTextLines(eventFolder_ / "classes.txt", lines).ok()) {
        for (const auto& line : lines) {
            auto cls = parseClassLine(line);
            if (!cls) continue;
            if (nextClassId < cls->id) nextClassId = cls->id;
            classes.push_back(std::move(cls));
            pages.createClassPage(*classes.back());
        }
        if (nextClassId < INT32_MAX) ++nextClassId; // at the top addClass looks for a free id
    }
    pages.classesChanged();

    racers.clear();
    lines.clear();
    if (!eventFolder_.empty() && readTextLines(eventFolder_ / "racers.txt", lines).ok()) {
        for (const auto& line : lines) {
            auto racer = parseRacerLine(line);
            if (!racer) continue;
            for (std::int32_t id : racer->classIds)
                if (TClassItem* c = findClass(id)) ++c->racerCount;
            racers.push_back(std::move(racer));
            mergeLoadedRacer(*racers.back());
        }
    }
    sortRacerDb();
    pages.classCountsChanged();
    pages.racersChanged();
}

} // namespace velmaro
