#pragma once
// The lap results as the console built them before the kept results: one pass over the
// live events on the calling thread, a cell at a time. Tests and benchmarks compare the
// kept results against it byte for byte, and benchmarks time it as the baseline. Typed
// texts go into the grid through gridCellText, as they do in the console.
#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "core/lap/lap_timing.h"
#include "core/records/results_table.h"

namespace velmaro::reference {

// The grid as the one-pass build grows it: a row at a time, a column at a time.
struct Grid {
    std::vector<std::vector<std::string>> cells;
    std::vector<int> columnWidths;
    int columnCount() const { return static_cast<int>(columnWidths.size()); }
    int rowCount() const { return static_cast<int>(cells.size()); }
    LapResultsTable flat() const {
        LapResultsTable t;
        t.columnWidths = columnWidths;
        for (const auto& row : cells) t.texts.insert(t.texts.end(), row.begin(), row.end());
        return t;
    }
};

struct LapBuild {
    LapResultsTable table;
    std::string html;
    std::vector<std::pair<int32_t, uint32_t>> classResults;
};

inline int32_t wrapAdd(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
inline int32_t wrapSub(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

inline std::string formatTime(int32_t ms) {
    int64_t v = ms;
    bool negative = v < 0;
    if (negative) v = -v;
    char buf[48];
    std::snprintf(buf, sizeof buf, "%s%" PRId64 ":%02d.%03d", negative ? "-" : "", v / 60000,
                  static_cast<int>(v % 60000 / 1000), static_cast<int>(v % 1000));
    return buf;
}

inline std::string penaltyText(int32_t p, bool hundredths) {
    int64_t v = p;
    bool negative = v < 0;
    if (negative) v = -v;
    char buf[48];
    if (hundredths)
        std::snprintf(buf, sizeof buf, "%s%" PRId64 ".%02d", negative ? "-" : "", v / 1000,
                      static_cast<int>(v % 1000 / 10));
    else
        std::snprintf(buf, sizeof buf, "%s%" PRId64 ".%03d", negative ? "-" : "", v / 1000, static_cast<int>(v % 1000));
    return buf;
}

inline std::string withPenalty(std::string time, int32_t p, bool hundredths) {
    if (p != 0) time += " (+" + penaltyText(p, hundredths) + ")";
    return time;
}

inline std::string timeCell(const TLapResult& r, const TLapRankOptions& o, bool overall) {
    int32_t t = 0;
    int32_t p = 0;
    const TRaceItem* best = nullptr;
    if (o.sumTime) {
        t = wrapSub(r.sum, r.penaltySum);
        p = r.penaltySum;
    } else if (o.clearTime) {
        best = r.bestClean;
        t = wrapSub(best->lap, best->penalty);
        p = best->penalty;
    } else {
        best = r.bestFromStart;
        t = wrapSub(best->fromStart, best->penalty);
        p = wrapAdd(best->penalty, best->penaltyLapCarry);
    }
    if (best && best->kind == TRaceItem::FAIL) return "Сход";
    return withPenalty(formatTime(t), p, overall);
}

inline std::string cutAtBar(const std::string& text) {
    size_t bar = text.find('|');
    return bar == std::string::npos ? text : text.substr(0, bar);
}

inline std::string escapeHtml(const std::string& text) {
    std::string out;
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
    return out;
}

struct TableWriter {
    Grid& t;
    int addRow() {
        t.cells.emplace_back(static_cast<size_t>(t.columnCount()));
        return t.rowCount() - 1;
    }
    void set(int row, int column, std::string text) {
        t.cells[static_cast<size_t>(row)][static_cast<size_t>(column)] = std::move(text);
    }
    void addColumn(std::string title, int width) {
        t.columnWidths.push_back(width);
        for (auto& row : t.cells) row.emplace_back();
        t.cells[0].back() = std::move(title);
    }
};

inline void fillLapColumns(const TLapResult& r, int row, TableWriter& w, const TLapRankOptions& o) {
    for (size_t i = 0; i < r.events.size(); ++i) {
        const int c = 9 + static_cast<int>(i);
        if (c >= w.t.columnCount()) w.addColumn("Круг " + std::to_string(i + 1), 116);
        const TRaceItem& e = *r.events[i];
        std::string text;
        if (e.kind == TRaceItem::FAIL) {
            text = "Сход";
        } else {
            int32_t carry = 0;
            if (i > 0 && (e.kind == TRaceItem::LAP || e.kind == TRaceItem::PLAP) &&
                r.events[i - 1]->kind == TRaceItem::PLAP) {
                const TRaceItem& prev = *r.events[i - 1];
                carry = wrapSub(o.clearTime ? prev.lap : prev.fromStart, prev.penalty);
            }
            int32_t t = wrapSub(wrapSub(o.clearTime ? e.lap : e.fromStart, carry), e.penalty);
            text = withPenalty(formatTime(t), e.penalty, true);
        }
        text += "|" + std::to_string(r.eventIndexes[i]);
        w.set(row, c, std::move(text));
    }
}

inline void fillRacerCells(const TLapResult& r, int row, TableWriter& w, bool withClass) {
    if (!r.racerRegistered) return;
    std::string name = gridCellText(r.name);
    if (withClass && r.classRegistered) name += " (" + gridCellText(r.className) + ")";
    w.set(row, 2, std::move(name));
    w.set(row, 3, gridCellText(r.city));
    w.set(row, 4, gridCellText(r.team));
    w.set(row, 5, gridCellText(r.carModel));
}

inline std::string html(const Grid& t) {
    std::string out = "<table class='race_results'>\n<tr class='race_results_header'>";
    for (int c = 0; c < t.columnCount(); ++c)
        out += "<th>" + escapeHtml(cutAtBar(t.cells[0][static_cast<size_t>(c)])) + "</th>";
    out += "</tr>\n";
    for (int r = 1; r < t.rowCount(); ++r) {
        const auto& row = t.cells[static_cast<size_t>(r)];
        if (row[0].empty()) {
            out += "<tr class='race_class_header'><td colspan='" + std::to_string(t.columnCount()) + "'>" +
                   escapeHtml(cutAtBar(row.size() > 2 ? row[2] : std::string())) + "</td>";
        } else {
            out += "<tr onClick='select_line(this)' class='race_class_result'>";
            for (const std::string& cell : row) out += "<td>" + escapeHtml(cutAtBar(cell)) + "</td>";
        }
        out += "</tr>\n";
    }
    out += "</table>\n";
    return out;
}

// The build of lap's events with its host's registry and options.
inline LapBuild buildLapResults(LapTiming& lap) {
    LapHost& host = lap.host();
    const TLapRankOptions options{host.clearTime(), host.sumTime()};
    LapRegistry* reg = host.registry();
    lap.collectLapResults(options);

    LapBuild build;
    Grid table;
    table.cells.push_back({"Место", "№", "Имя", "Город", "Команда", "Модель",
                           options.sumTime ? "Суммарное время(+штраф)" : "Лучшее время(+штраф)", "Лучшее RT",
                           "Макс. скосроть"});
    table.columnWidths = {60, 60, 220, 100, 100, 150, 150, 100, 100};
    table.cells.emplace_back(9);
    TableWriter w{table};
    std::vector<TLapResult*> order;
    for (const auto& r : lap.lapResults()) order.push_back(r.get());

    std::sort(order.begin(), order.end(),
              [&](const TLapResult* a, const TLapResult* b) { return compareLapResultsByClass(*a, *b, options) < 0; });
    const std::vector<LapClassInfo> classes = reg ? reg->classes() : std::vector<LapClassInfo>{};
    int32_t previousClass = -1;
    bool firstHeader = true;
    const LapClassInfo* cls = nullptr;
    int place = 1;
    for (TLapResult* r : order) {
        if (r->classId == -1) continue;
        if (r->classId != previousClass) {
            previousClass = r->classId;
            place = 1;
            cls = nullptr;
            for (const LapClassInfo& c : classes)
                if (c.id == r->classId) {
                    cls = &c;
                    break;
                }
            int row = firstHeader ? 1 : w.addRow();
            firstHeader = false;
            w.set(row, 2, cls ? gridCellText(cls->name) : std::to_string(r->classId));
        }
        r->classRegistered = cls != nullptr;
        r->className = cls ? cls->name : std::string();
        int row = w.addRow();
        w.set(row, 0, std::to_string(place++) + (r->current ? "|1" : "|0"));
        w.set(row, 1, std::to_string(r->racerNumber));
        fillRacerCells(*r, row, w, false);
        w.set(row, 6, timeCell(*r, options, false));
        if (cls && reg) build.classResults.emplace_back(cls->id, r->racerNumber);
        fillLapColumns(*r, row, w, options);
    }

    std::sort(order.begin(), order.end(),
              [&](const TLapResult* a, const TLapResult* b) { return compareLapResults(*a, *b, options) < 0; });
    int header = w.addRow();
    w.set(header, 2, "Абсолютный зачет");
    place = 1;
    for (TLapResult* r : order) {
        int row = w.addRow();
        w.set(row, 0, std::to_string(place++));
        w.set(row, 1, std::to_string(r->racerNumber));
        fillRacerCells(*r, row, w, true);
        w.set(row, 6, timeCell(*r, options, true));
        fillLapColumns(*r, row, w, options);
    }
    build.html = html(table);
    build.table = table.flat();
    return build;
}

} // namespace velmaro::reference
