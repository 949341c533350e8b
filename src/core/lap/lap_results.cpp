// Lap results: gathering, totals, ranking, the results table, the class result lists and
// the HTML results table; the debounce and the lap results worker.
#include "core/lap/lap_results.h"

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <map>
#include <thread>
#include <unordered_map>

#include "core/lap/lap_events.h"
#include "core/lap/lap_internal.h"
#include "core/platform/files.h"
#include "core/platform/save_report.h"
#include "core/platform/program_folder.h"

namespace velmaro {

std::vector<std::unique_ptr<TLapResult>> gLapResults;
LapResultsTable gLapResultsTable;
TSingleLapResultsCntr* gLapResultsCntr = nullptr;

namespace {

constexpr int kFixedColumns = kResultsFixedColumns;
constexpr int kLapColumnWidth = 116;

int32_t wrapAdd(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
int32_t wrapSub(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

// "s.mmm" (class sections) or "s.hh" (overall section and lap cells) of a penalty, signed.
std::string penaltyText(int32_t p, bool hundredths) {
    int64_t v = p;
    bool negative = v < 0;
    if (negative) v = -v;
    char buf[48];
    if (hundredths)
        std::snprintf(buf, sizeof buf, "%s%" PRId64 ".%02d", negative ? "-" : "", v / 1000,
                      static_cast<int>(v % 1000 / 10));
    else
        std::snprintf(buf, sizeof buf, "%s%" PRId64 ".%03d", negative ? "-" : "", v / 1000,
                      static_cast<int>(v % 1000));
    return buf;
}

std::string withPenalty(std::string time, int32_t p, bool hundredths) {
    if (p != 0) time += " (+" + penaltyText(p, hundredths) + ")";
    return time;
}

std::string timeCell(const TLapResult& r, const TLapRankOptions& o, bool overall) {
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
    return withPenalty(formatResultTime(t), p, overall);
}

std::string cutAtBar(const std::string& text) {
    size_t bar = text.find('|');
    return bar == std::string::npos ? text : text.substr(0, bar);
}

std::string escapeHtml(const std::string& text) {
    std::string out;
    out.reserve(text.size());
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

class TableWriter {
public:
    explicit TableWriter(LapResultsTable& t) : t_(t) {}
    int addRow() {
        t_.cells.emplace_back(static_cast<size_t>(t_.columnCount()));
        return t_.rowCount() - 1;
    }
    void set(int row, int column, std::string text) { t_.cells[static_cast<size_t>(row)][static_cast<size_t>(column)] = std::move(text); }
    void addColumn(std::string title, int width) {
        t_.columnWidths.push_back(width);
        for (auto& row : t_.cells) row.emplace_back();
        t_.cells[0].back() = std::move(title);
    }
    LapResultsTable& table() { return t_; }

private:
    LapResultsTable& t_;
};

LapResultsTable emptyTable(const TLapRankOptions& o) {
    LapResultsTable t;
    static_cast<ResultsTable&>(t) = resultsTableFrame(o.sumTime);
    t.cells.emplace_back(kFixedColumns);
    return t;
}

void fillLapColumns(const TLapResult& r, int row, TableWriter& w, const TLapRankOptions& o) {
    for (size_t i = 0; i < r.events.size(); ++i) {
        const int c = kFixedColumns + static_cast<int>(i);
        if (c >= w.table().columnCount()) w.addColumn("Круг " + std::to_string(i + 1), kLapColumnWidth);
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
            text = withPenalty(formatResultTime(t), e.penalty, true);
        }
        text += "|" + std::to_string(r.eventIndexes[i]);
        w.set(row, c, std::move(text));
    }
}

void fillRacerCells(const TLapResult& r, int row, TableWriter& w, bool withClass) {
    if (!r.racerRegistered) return;
    std::string name = r.name;
    if (withClass && r.classRegistered) name += " (" + r.className + ")";
    w.set(row, 2, std::move(name));
    w.set(row, 3, r.city);
    w.set(row, 4, r.team);
    w.set(row, 5, r.carModel);
}

int64_t steadyNowMs() {
    if (LapClock* c = lapHost().clock()) return c->nowMs();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::optional<int64_t> gResultsDeadline; // the 500 ms one-shot; nullopt while stopped

} // namespace

std::string formatResultTime(int32_t ms) {
    int64_t v = ms;
    bool negative = v < 0;
    if (negative) v = -v;
    char buf[48];
    std::snprintf(buf, sizeof buf, "%s%" PRId64 ":%02d.%03d", negative ? "-" : "", v / 60000,
                  static_cast<int>(v % 60000 / 1000), static_cast<int>(v % 1000));
    return buf;
}

void computeLapTotals(std::vector<std::unique_ptr<TLapResult>>& results, const TLapRankOptions& options) {
    for (auto& rp : results) {
        TLapResult& r = *rp;
        r.sum = 0;
        r.penaltySum = 0;
        r.lapCount = 0;
        int32_t cleanKey = 0;
        int32_t dirtyKey = 0;
        for (size_t i = 0; i < r.events.size(); ++i) {
            TRaceItem& e = *r.events[i];
            e.penaltyLapCarry = 0;
            const bool isLap = e.kind == TRaceItem::LAP;
            if (isLap) {
                r.sum = wrapAdd(r.sum, options.clearTime ? e.lap : e.fromStart);
                r.penaltySum = wrapAdd(r.penaltySum, e.penalty);
                ++r.lapCount;
            }
            if (i == 0) {
                r.bestClean = &e;
                r.bestFromStart = &e;
                cleanKey = e.lap;
                dirtyKey = e.fromStart;
            }
            if (e.kind == TRaceItem::FAIL) {
                if (r.bestClean->kind != TRaceItem::LAP) r.bestClean = &e;
                if (r.bestFromStart->kind != TRaceItem::LAP) r.bestFromStart = &e;
            }
            if (isLap && i > 0) {
                for (size_t k = i; k-- > 0;) {
                    const TRaceItem& p = *r.events[k];
                    if (p.kind == TRaceItem::LAP) break;
                    if (p.kind == TRaceItem::PLAP) e.penaltyLapCarry = wrapAdd(e.penaltyLapCarry, p.penalty);
                }
            }
            if (isLap && e.lap != 0 && wrapAdd(e.lap, e.penaltyLapCarry) < cleanKey) {
                r.bestClean = &e;
                cleanKey = wrapAdd(e.lap, e.penaltyLapCarry);
            }
            if (isLap && e.fromStart != 0 && wrapAdd(e.fromStart, e.penaltyLapCarry) < dirtyKey) {
                r.bestFromStart = &e;
                dirtyKey = wrapAdd(e.fromStart, e.penaltyLapCarry);
            }
        }
    }
}

namespace {

int sign(int64_t v) { return v < 0 ? -1 : v > 0 ? 1 : 0; }

int compareWithinClass(const TLapResult& a, const TLapResult& b, const TLapRankOptions& o) {
    if (o.sumTime) {
        if (a.lapCount != b.lapCount) return a.lapCount > b.lapCount ? -1 : 1;
        return sign(static_cast<int64_t>(a.sum) - b.sum);
    }
    const TRaceItem& x = o.clearTime ? *a.bestClean : *a.bestFromStart;
    const TRaceItem& y = o.clearTime ? *b.bestClean : *b.bestFromStart;
    const bool xFail = x.kind == TRaceItem::FAIL;
    const bool yFail = y.kind == TRaceItem::FAIL;
    if (xFail || yFail) return xFail == yFail ? 0 : (xFail ? 1 : -1);
    const int32_t xv = o.clearTime ? x.lap : x.fromStart;
    const int32_t yv = o.clearTime ? y.lap : y.fromStart;
    if ((xv == 0) != (yv == 0)) return xv == 0 ? 1 : -1;
    if (o.clearTime) return sign(static_cast<int64_t>(xv) - yv);
    return sign(static_cast<int64_t>(wrapAdd(x.fromStart, x.penaltyLapCarry)) - wrapAdd(y.fromStart, y.penaltyLapCarry));
}

} // namespace

int compareLapResultsByClass(const TLapResult& a, const TLapResult& b, const TLapRankOptions& options) {
    if (a.classPosition != b.classPosition) return a.classPosition < b.classPosition ? -1 : 1;
    return compareWithinClass(a, b, options);
}

int compareLapResults(const TLapResult& a, const TLapResult& b, const TLapRankOptions& options) {
    return compareWithinClass(a, b, options);
}

void collectLapResults(const TLapRankOptions& options) {
    gLapResults.clear();
    if (!gRaceItems) return;
    LapRegistry* reg = lapHost().registry();
    std::vector<LapClassInfo> classes = reg ? reg->classes() : std::vector<LapClassInfo>{};
    std::map<std::pair<uint32_t, int32_t>, TLapResult*> byRacer;
    const TRaceItemList& list = *gRaceItems;
    for (size_t i = 0; i < list.size(); ++i) {
        TRaceItem& e = *list[i];
        if (e.racer == 0) continue;
        if (e.kind != TRaceItem::LAP && e.kind != TRaceItem::PLAP && e.kind != TRaceItem::FAIL) continue;
        if (e.kind != TRaceItem::FAIL && e.lap == 0 && e.fromStart == 0) continue;
        TLapResult*& r = byRacer[{e.racer, e.classId}];
        if (!r) {
            auto made = std::make_unique<TLapResult>();
            made->racerNumber = e.racer;
            made->classId = e.classId;
            if (reg) {
                if (std::optional<LapRacerInfo> racer = reg->findRacer(e.racer)) {
                    made->racerRegistered = true;
                    made->name = racer->name;
                    made->city = racer->city;
                    made->team = racer->team;
                    made->carModel = racer->carModel;
                }
            }
            made->classPosition = static_cast<int>(classes.size());
            for (size_t k = 0; k < classes.size(); ++k)
                if (classes[k].id == e.classId) made->classPosition = static_cast<int>(k); // the later of equal ids
            r = made.get();
            gLapResults.push_back(std::move(made));
        }
        r->current |= e.current;
        r->events.push_back(&e);
        r->eventIndexes.push_back(static_cast<int>(i));
        r->eventCount = static_cast<int32_t>(r->events.size());
    }
    computeLapTotals(gLapResults, options);
}

void buildLapResults() {
    LapHost& host = lapHost();
    if (!isLapMode(host.raceMode()) || !gRaceItems || !host.resultsWindowExists()) return;
    const TLapRankOptions options{host.clearTime(), host.sumTime()};
    LapRegistry* reg = host.registry();
    if (reg) reg->clearClassResults();
    collectLapResults(options);

    LapResultsTable table = emptyTable(options);
    TableWriter w(table);
    std::vector<TLapResult*> order;
    for (const auto& r : gLapResults) order.push_back(r.get());

    // Class sections.
    std::sort(order.begin(), order.end(), [&](const TLapResult* a, const TLapResult* b) {
        return compareLapResultsByClass(*a, *b, options) < 0;
    });
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
                if (c.id == r->classId) { cls = &c; break; }
            int row = firstHeader ? 1 : w.addRow();
            firstHeader = false;
            w.set(row, 2, cls ? cls->name : std::to_string(r->classId));
        }
        r->classRegistered = cls != nullptr;
        r->className = cls ? cls->name : std::string();
        int row = w.addRow();
        w.set(row, 0, std::to_string(place++) + (r->current ? "|1" : "|0"));
        w.set(row, 1, std::to_string(r->racerNumber));
        fillRacerCells(*r, row, w, false);
        w.set(row, 6, timeCell(*r, options, false));
        if (cls && reg) reg->appendClassResult(cls->id, r->racerNumber);
        fillLapColumns(*r, row, w, options);
    }

    // Overall section.
    std::sort(order.begin(), order.end(), [&](const TLapResult* a, const TLapResult* b) {
        return compareLapResults(*a, *b, options) < 0;
    });
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

    gLapResultsTable = std::move(table);
    std::filesystem::path www = programFolder() / "www";
    std::error_code ec;
    std::filesystem::create_directories(www, ec);
    (void)reportSave(www / "table.html", writeFileAtomic(www / "table.html", lapResultsHtml(gLapResultsTable)));
    host.showLapResults(gLapResultsTable);
}

std::string lapResultsHtml(const LapResultsTable& t) {
    std::string out = "<table class='race_results'>\n<tr class='race_results_header'>";
    for (int c = 0; c < t.columnCount(); ++c) out += "<th>" + escapeHtml(cutAtBar(t.cells[0][static_cast<size_t>(c)])) + "</th>";
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

// ---- debounce and worker

void resetLapResultsState() {
    gResultsDeadline.reset();
    gLapResults.clear();
    gLapResultsTable = {};
}

void scheduleLapResults() { gResultsDeadline = steadyNowMs() + 500; }

std::optional<int64_t> lapResultsCountdown() {
    if (!gResultsDeadline) return std::nullopt;
    return std::max<int64_t>(0, *gResultsDeadline - steadyNowMs());
}

void lapResultsTimerTick() {
    if (!gResultsDeadline || steadyNowMs() < *gResultsDeadline) return;
    gResultsDeadline.reset();
    if (!isLapMode(lapHost().raceMode()) || !gLapResultsCntr) return;
    gLapResultsCntr->rebuildRequested = 1;
    if (!gLapResultsCntr->threaded()) {
        buildLapResults();
        gLapResultsCntr->rebuildRequested = 0;
    }
}

struct TSingleLapResultsCntr::Worker {
    std::atomic<int32_t> flag{0};
    std::atomic<bool> stop{false};
    std::atomic<bool> exited{false};
};

namespace {
std::shared_ptr<TSingleLapResultsCntr::Worker> makeWorker() { return std::make_shared<TSingleLapResultsCntr::Worker>(); }
} // namespace

TSingleLapResultsCntr::TSingleLapResultsCntr(bool createSuspended)
    : worker_(makeWorker()), rebuildRequested(worker_->flag) {
    if (createSuspended) return;
    threaded_ = true;
    std::shared_ptr<Worker> w = worker_;
    std::thread([w] {
        while (!w->stop.load()) {
            if (w->flag.load() == 1) {
                if (lapHost().runOnMainThread([] { buildLapResults(); })) w->flag.store(0);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        w->exited.store(true);
    }).detach();
}

TSingleLapResultsCntr::~TSingleLapResultsCntr() { terminate(); }

void TSingleLapResultsCntr::terminate() { worker_->stop.store(true); }

bool TSingleLapResultsCntr::threaded() const { return threaded_; }

void stopLapResultsThread() {
    if (!gLapResultsCntr) return;
    gLapResultsCntr->terminate();
    // Wait briefly for the worker's next poll; a worker that is waiting for the main
    // thread (which is here) cannot end now and is left to the process exit.
    for (int i = 0; i < 10 && gLapResultsCntr->threaded() && !gLapResultsCntr->finished(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

bool TSingleLapResultsCntr::finished() const { return worker_->exited.load(); }

} // namespace velmaro
