// The kept lap results: groups per racer and class, their totals and cell texts, and
// the assembly of the results table, the HTML table and the class result lists.
#include "core/lap/lap_results_model.h"

#include <algorithm>

#include "core/lap/lap_events.h"

namespace velmaro {

namespace {

constexpr int kFixedColumns = 9;
constexpr int kLapColumnWidth = 116;

int32_t wrapAdd(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
int32_t wrapSub(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

void appendDecimal(std::string& out, uint64_t v) {
    char buf[20];
    int n = 0;
    do {
        buf[n++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v != 0);
    while (n > 0) out += buf[--n];
}

// Two digits, as "%02d" of 0..99.
void appendTwoDigits(std::string& out, int v) {
    out += static_cast<char>('0' + v / 10);
    out += static_cast<char>('0' + v % 10);
}

uint64_t groupKey(uint32_t racer, int32_t classId) {
    return (static_cast<uint64_t>(racer) << 32) | static_cast<uint32_t>(classId);
}

// "s.mmm" (class sections) or "s.hh" (overall section and lap cells) of a penalty, signed.
void appendPenalty(std::string& out, int32_t p, bool hundredths) {
    int64_t v = p;
    if (v < 0) {
        out += '-';
        v = -v;
    }
    appendDecimal(out, static_cast<uint64_t>(v / 1000));
    out += '.';
    const int rest = static_cast<int>(v % 1000);
    if (hundredths) {
        appendTwoDigits(out, rest / 10);
    } else {
        out += static_cast<char>('0' + rest / 100);
        appendTwoDigits(out, rest % 100);
    }
}

void appendTimeWithPenalty(std::string& out, int32_t t, int32_t p, bool hundredths) {
    appendResultTime(out, t);
    if (p != 0) {
        out += " (+";
        appendPenalty(out, p, hundredths);
        out += ')';
    }
}

// A cell of the HTML table: the text up to its first "|", escaped.
void appendCell(std::string& html, std::string_view text) {
    html += "<td>";
    appendHtmlText(html, text);
    html += "</td>";
}

} // namespace

void appendResultTime(std::string& out, int32_t ms) {
    int64_t v = ms;
    if (v < 0) {
        out += '-';
        v = -v;
    }
    appendDecimal(out, static_cast<uint64_t>(v / 60000));
    out += ':';
    appendTwoDigits(out, static_cast<int>(v % 60000 / 1000));
    out += '.';
    const int milli = static_cast<int>(v % 1000);
    out += static_cast<char>('0' + milli / 100);
    appendTwoDigits(out, milli % 100);
}

void appendHtmlText(std::string& out, std::string_view text) {
    const size_t bar = text.find('|');
    if (bar != std::string_view::npos) text = text.substr(0, bar);
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += c;
        }
    }
}

bool countsForLapResults(const TRaceItem& e) {
    if (e.racer == 0) return false;
    if (e.kind == TRaceItem::FAIL) return true;
    if (e.kind != TRaceItem::LAP && e.kind != TRaceItem::PLAP) return false;
    return e.lap != 0 || e.fromStart != 0;
}

LapEventValue lapEventValue(const TRaceItem& e, int32_t index) {
    return LapEventValue{index, e.racer, e.kind, e.lap, e.fromStart, e.classId, e.penalty, e.current};
}

struct LapResultsModel::Group {
    uint32_t racer = 0;
    int32_t classId = -1;
    std::vector<LapEventValue> events; // in list order
    bool dirty = true;

    // Kept from the last recompute (events and options).
    std::vector<int32_t> carry; // penalty-lap carry of every event
    int32_t sum = 0;
    int32_t penaltySum = 0;
    int32_t lapCount = 0;
    size_t bestClean = 0;
    size_t bestFromStart = 0;
    uint8_t current = 0;
    std::vector<std::string> lapCells; // "text|index"
    std::string lapHtml;               // "<td>text</td>" of every lap cell
    std::string timeInClass;           // the time cell of the class sections
    std::string timeOverall;           // the time cell of the overall section

    // Set by each build.
    int classPosition = 0;
    const LapClassInfo* cls = nullptr; // the registered class, found by the class sections

    void recompute(const TLapRankOptions& o);
    void recomputeCurrent() {
        current = 0;
        for (const LapEventValue& e : events) current |= e.current;
    }
    const LapEventValue& best(const TLapRankOptions& o) const {
        return events[o.clearTime ? bestClean : bestFromStart];
    }
    int32_t bestCarry(const TLapRankOptions& o) const { return carry[o.clearTime ? bestClean : bestFromStart]; }
    std::string timeCell(const TLapRankOptions& o, bool overall) const;
};

void LapResultsModel::Group::recompute(const TLapRankOptions& o) {
    dirty = false;
    const size_t n = events.size();
    carry.assign(n, 0);
    sum = 0;
    penaltySum = 0;
    lapCount = 0;
    int32_t cleanKey = 0;
    int32_t dirtyKey = 0;
    for (size_t i = 0; i < n; ++i) {
        const LapEventValue& e = events[i];
        const bool isLap = e.kind == TRaceItem::LAP;
        if (isLap) {
            sum = wrapAdd(sum, o.clearTime ? e.lap : e.fromStart);
            penaltySum = wrapAdd(penaltySum, e.penalty);
            ++lapCount;
        }
        if (i == 0) {
            bestClean = 0;
            bestFromStart = 0;
            cleanKey = e.lap;
            dirtyKey = e.fromStart;
        }
        if (e.kind == TRaceItem::FAIL) {
            if (events[bestClean].kind != TRaceItem::LAP) bestClean = i;
            if (events[bestFromStart].kind != TRaceItem::LAP) bestFromStart = i;
        }
        if (isLap && i > 0) {
            for (size_t k = i; k-- > 0;) {
                const LapEventValue& p = events[k];
                if (p.kind == TRaceItem::LAP) break;
                if (p.kind == TRaceItem::PLAP) carry[i] = wrapAdd(carry[i], p.penalty);
            }
        }
        if (isLap && e.lap != 0 && wrapAdd(e.lap, carry[i]) < cleanKey) {
            bestClean = i;
            cleanKey = wrapAdd(e.lap, carry[i]);
        }
        if (isLap && e.fromStart != 0 && wrapAdd(e.fromStart, carry[i]) < dirtyKey) {
            bestFromStart = i;
            dirtyKey = wrapAdd(e.fromStart, carry[i]);
        }
    }
    recomputeCurrent();

    lapCells.resize(n);
    lapHtml.clear();
    std::string text;
    for (size_t i = 0; i < n; ++i) {
        const LapEventValue& e = events[i];
        text.clear();
        if (e.kind == TRaceItem::FAIL) {
            text = "Сход";
        } else {
            int32_t c = 0;
            if (i > 0 && (e.kind == TRaceItem::LAP || e.kind == TRaceItem::PLAP) &&
                events[i - 1].kind == TRaceItem::PLAP) {
                const LapEventValue& prev = events[i - 1];
                c = wrapSub(o.clearTime ? prev.lap : prev.fromStart, prev.penalty);
            }
            appendTimeWithPenalty(text, wrapSub(wrapSub(o.clearTime ? e.lap : e.fromStart, c), e.penalty), e.penalty,
                                  true);
        }
        lapHtml += "<td>";
        lapHtml += text;
        lapHtml += "</td>";
        std::string& cell = lapCells[i];
        cell.clear();
        cell += text;
        cell += '|';
        appendDecimal(cell, static_cast<uint64_t>(static_cast<uint32_t>(e.index)));
    }
    timeInClass = timeCell(o, false);
    timeOverall = timeCell(o, true);
}

std::string LapResultsModel::Group::timeCell(const TLapRankOptions& o, bool overall) const {
    int32_t t = 0;
    int32_t p = 0;
    const LapEventValue* b = nullptr;
    if (o.sumTime) {
        t = wrapSub(sum, penaltySum);
        p = penaltySum;
    } else if (o.clearTime) {
        b = &events[bestClean];
        t = wrapSub(b->lap, b->penalty);
        p = b->penalty;
    } else {
        b = &events[bestFromStart];
        t = wrapSub(b->fromStart, b->penalty);
        p = wrapAdd(b->penalty, carry[bestFromStart]);
    }
    if (b && b->kind == TRaceItem::FAIL) return "Сход";
    std::string out;
    appendTimeWithPenalty(out, t, p, overall);
    return out;
}

namespace {

template <class G>
LapRankKey rankKey(const G& g, const TLapRankOptions& o) {
    const LapEventValue& best = g.best(o);
    return LapRankKey{g.lapCount, g.sum, best.kind, best.lap, best.fromStart, g.bestCarry(o)};
}

// The order within a class (and of the overall section); negative when a goes first.
template <class G>
int compareGroups(const G& a, const G& b, const TLapRankOptions& o) {
    return compareLapRankKeys(rankKey(a, o), rankKey(b, o), o);
}

} // namespace

LapResultsModel::LapResultsModel() = default;
LapResultsModel::~LapResultsModel() = default;

void LapResultsModel::markAllDirty() {
    for (auto& [key, g] : groups_) g->dirty = true;
}

LapResultsModel::Group& LapResultsModel::groupOf(uint32_t racer, int32_t classId) {
    std::unique_ptr<Group>& g = groups_[groupKey(racer, classId)];
    if (!g) {
        g = std::make_unique<Group>();
        g->racer = racer;
        g->classId = classId;
    }
    return *g;
}

void LapResultsModel::apply(LapResultsChange change) {
    if (!haveOptions_ || change.options != options_) {
        markAllDirty();
        options_ = change.options;
        haveOptions_ = true;
    }
    enabled_ = change.enabled;
    registry_ = change.registry ? std::move(change.registry) : std::make_shared<const LapRegistryView>();
    tableFile_ = std::move(change.tableFile);

    if (change.kind == LapResultsChange::Kind::Whole) {
        std::unordered_map<uint64_t, std::vector<LapEventValue>> fresh;
        for (const LapEventValue& e : change.events) fresh[groupKey(e.racer, e.classId)].push_back(e);
        for (auto it = groups_.begin(); it != groups_.end();) {
            if (fresh.find(it->first) == fresh.end())
                it = groups_.erase(it);
            else
                ++it;
        }
        for (auto& [key, events] : fresh) {
            Group& g = groupOf(events.front().racer, events.front().classId);
            if (g.events != events) {
                g.events = std::move(events);
                g.dirty = true;
            }
        }
        return;
    }
    for (const LapEventValue& e : change.events) {
        Group& g = groupOf(e.racer, e.classId);
        g.events.push_back(e);
        g.dirty = true;
    }
    for (const LapResultsChange::CurrentFlag& f : change.currentFlags) {
        auto found = groups_.find(groupKey(f.racer, f.classId));
        if (found == groups_.end()) continue;
        Group& g = *found->second;
        auto at = std::lower_bound(g.events.begin(), g.events.end(), f.index,
                                   [](const LapEventValue& e, int32_t index) { return e.index < index; });
        if (at == g.events.end() || at->index != f.index) continue;
        at->current = f.current;
        g.recomputeCurrent();
    }
}

// The registry's racers and classes as one build looks them up.
struct LapResultsModel::RegistryIndex {
    explicit RegistryIndex(const LapRegistryView& reg) : classCount(static_cast<int>(reg.classes.size())) {
        racers.reserve(reg.racers.size());
        for (const LapRacerInfo& r : reg.racers) racers.emplace(r.number, &r); // the first of one number
        for (size_t k = 0; k < reg.classes.size(); ++k) {
            positions[reg.classes[k].id] = static_cast<int>(k);    // the later of equal ids
            classById.emplace(reg.classes[k].id, &reg.classes[k]); // the first of equal ids
        }
    }
    const LapRacerInfo* racerOf(const Group& g) const {
        const auto r = racers.find(g.racer);
        return r == racers.end() ? nullptr : r->second;
    }
    const LapClassInfo* classOf(int32_t id) const {
        const auto found = classById.find(id);
        return found == classById.end() ? nullptr : found->second;
    }
    // The place of a class in the display order; unregistered classes after all.
    int positionOf(int32_t id) const {
        const auto pos = positions.find(id);
        return pos == positions.end() ? classCount : pos->second;
    }

    std::unordered_map<uint32_t, const LapRacerInfo*> racers;
    std::unordered_map<int32_t, int> positions;
    std::unordered_map<int32_t, const LapClassInfo*> classById;
    int classCount = 0;
};

// The results table and the HTML table, written side by side row by row: the titles,
// row 1 (the first class header or empty), the further class headers, the class rows,
// the overall header and the overall rows.
class LapResultsModel::TableWriter {
public:
    // Both tables sized for `order` (the class sections' order) and their titles written.
    TableWriter(LapResultsOutput& out, const TLapRankOptions& o, const std::vector<Group*>& order)
        : table_(out.table), html_(out.html) {
        size_t totalEvents = 0;
        size_t classRows = 0;
        size_t classHeaders = 0;
        int32_t previous = -1;
        for (const Group* g : order) {
            maxEvents_ = std::max(maxEvents_, g->events.size());
            totalEvents += g->events.size();
            if (g->classId == -1) continue;
            if (g->classId != previous) ++classHeaders;
            previous = g->classId;
            ++classRows;
        }
        const size_t columns = kFixedColumns + maxEvents_;
        table_.columnWidths = {60, 60, 220, 100, 100, 150, 150, 100, 100};
        table_.columnWidths.resize(columns, kLapColumnWidth);
        const size_t rows = 2 + (classHeaders > 0 ? classHeaders - 1 : 0) + classRows + 1 + order.size();
        table_.texts.resize(rows * columns);
        const char* titles[] = {"Место",
                                "№",
                                "Имя",
                                "Город",
                                "Команда",
                                "Модель",
                                o.sumTime ? "Суммарное время(+штраф)" : "Лучшее время(+штраф)",
                                "Лучшее RT",
                                "Макс. скосроть"};
        for (int c = 0; c < kFixedColumns; ++c) table_.cell(0, c) = titles[c];
        for (size_t i = 0; i < maxEvents_; ++i)
            table_.cell(0, kFixedColumns + static_cast<int>(i)) = "Круг " + std::to_string(i + 1);

        html_.reserve(totalEvents * 2 * 20 + order.size() * 2 * 300 + 1024);
        html_ += "<table class='race_results'>\n<tr class='race_results_header'>";
        for (size_t c = 0; c < columns; ++c) {
            html_ += "<th>";
            appendHtmlText(html_, table_.cell(0, static_cast<int>(c)));
            html_ += "</th>";
        }
        html_ += "</tr>\n";
        colspan_ = std::to_string(columns);
    }

    // A class section's header: row 1 for the first one.
    void classHeader(std::string title) {
        std::string& cell = table_.cell(firstHeader_ ? 1 : rowsUsed_++, 2);
        firstHeader_ = false;
        cell = std::move(title);
        headerHtml(cell);
    }
    // The overall section's header (row 1 stays empty without class sections: a header
    // row with no text).
    void overallHeader() {
        if (firstHeader_) headerHtml(std::string());
        table_.cell(rowsUsed_++, 2) = "Абсолютный зачет";
        headerHtml("Абсолютный зачет");
    }
    void dataRow(const Group& g, std::string place, std::string_view placeSuffix, const LapRacerInfo* racer,
                 const std::string* className, const std::string& time) {
        const int row = rowsUsed_++;
        html_ += "<tr onClick='select_line(this)' class='race_class_result'>";
        appendCell(html_, place);
        place += placeSuffix;
        table_.cell(row, 0) = std::move(place);
        std::string& number = table_.cell(row, 1);
        number = std::to_string(g.racer);
        appendCell(html_, number);
        if (racer) {
            std::string& name = table_.cell(row, 2);
            name = gridCellText(racer->name);
            if (className) {
                name += " (";
                name += gridCellText(*className);
                name += ')';
            }
            table_.cell(row, 3) = gridCellText(racer->city);
            table_.cell(row, 4) = gridCellText(racer->team);
            table_.cell(row, 5) = gridCellText(racer->carModel);
        }
        for (int c = 2; c <= 5; ++c) appendCell(html_, table_.cell(row, c));
        table_.cell(row, 6) = time;
        appendCell(html_, time);
        html_ += "<td></td><td></td>";
        std::copy(g.lapCells.begin(), g.lapCells.end(), &table_.cell(row, kFixedColumns));
        html_ += g.lapHtml;
        for (size_t i = g.events.size(); i < maxEvents_; ++i) html_ += "<td></td>";
        html_ += "</tr>\n";
    }
    void finish() { html_ += "</table>\n"; }

private:
    void headerHtml(const std::string& text) {
        html_ += "<tr class='race_class_header'><td colspan='";
        html_ += colspan_;
        html_ += "'>";
        appendHtmlText(html_, text);
        html_ += "</td></tr>\n";
    }

    LapResultsTable& table_;
    std::string& html_;
    size_t maxEvents_ = 0;
    std::string colspan_;
    int rowsUsed_ = 2; // row 1 is kept for the first class header
    bool firstHeader_ = true;
};

std::optional<LapResultsOutput> LapResultsModel::build() {
    if (!enabled_) return std::nullopt;
    const RegistryIndex index(*registry_);
    std::vector<Group*> order = groupsInClassOrder(index);

    LapResultsOutput out;
    out.tableFile = tableFile_;
    TableWriter writer(out, options_, order);
    writeClassSections(writer, order, index, out.classResults);
    writeOverallSection(writer, order, index);
    writer.finish();
    return out;
}

// The groups with events, recomputed where they changed, in the class sections' order
// (the order of their first event within equals: the order a gathering pass makes).
std::vector<LapResultsModel::Group*> LapResultsModel::groupsInClassOrder(const RegistryIndex& index) {
    const TLapRankOptions& o = options_;
    std::vector<Group*> order;
    order.reserve(groups_.size());
    for (auto& [key, g] : groups_) {
        if (g->events.empty()) continue;
        if (g->dirty) g->recompute(o);
        g->cls = nullptr;
        g->classPosition = index.positionOf(g->classId);
        order.push_back(g.get());
    }
    std::sort(order.begin(), order.end(),
              [](const Group* a, const Group* b) { return a->events.front().index < b->events.front().index; });

    // Class sections first sorted, so that the rows can be counted before they are written.
    std::sort(order.begin(), order.end(), [&](const Group* a, const Group* b) {
        if (a->classPosition != b->classPosition) return a->classPosition < b->classPosition;
        return compareGroups(*a, *b, o) < 0;
    });
    return order;
}

// The class sections: the racers of each class in their class's order, its registered
// class given to each group; the class result lists.
void LapResultsModel::writeClassSections(TableWriter& writer, const std::vector<Group*>& order,
                                         const RegistryIndex& index,
                                         std::vector<std::pair<int32_t, uint32_t>>& classResults) {
    int32_t previousClass = -1;
    const LapClassInfo* cls = nullptr;
    int place = 1;
    for (Group* g : order) {
        if (g->classId == -1) continue;
        if (g->classId != previousClass) {
            previousClass = g->classId;
            place = 1;
            cls = index.classOf(g->classId);
            writer.classHeader(cls ? gridCellText(cls->name) : std::to_string(g->classId));
        }
        g->cls = cls;
        writer.dataRow(*g, std::to_string(place++), g->current ? "|1" : "|0", index.racerOf(*g), nullptr,
                       g->timeInClass);
        if (cls) classResults.emplace_back(cls->id, g->racer);
    }
}

// The overall section: every group in the overall order, named with its class.
void LapResultsModel::writeOverallSection(TableWriter& writer, std::vector<Group*>& order, const RegistryIndex& index) {
    const TLapRankOptions& o = options_;
    std::sort(order.begin(), order.end(), [&](const Group* a, const Group* b) { return compareGroups(*a, *b, o) < 0; });
    writer.overallHeader();
    int place = 1;
    for (const Group* g : order)
        writer.dataRow(*g, std::to_string(place++), {}, index.racerOf(*g), g->cls ? &g->cls->name : nullptr,
                       g->timeOverall);
}

} // namespace velmaro
