// The lap event list, its recalculation, the lap grid's cell texts and lap_single.txt.
#include "core/lap/lap_events.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <ctime>
#include <limits>

#include "core/intake/hit_intake.h"
#include "core/lap/lap_timing.h"
#include "core/platform/files.h"
#include "core/platform/numbers.h"
#include "core/platform/save_report.h"

namespace velmaro {

namespace {

bool sameRacer(const TRaceItem& a, const TRaceItem& b) { return a.racer == b.racer && a.classId == b.classId; }

// Difference of the low 32 bits of two event times plus a penalty, as a signed 32-bit value
// (so a lap across the wrap of the 32-bit millisecond count is still right).
int32_t lowDiff(uint64_t later, uint64_t earlier, int32_t penalty) {
    uint32_t d = static_cast<uint32_t>(later) - static_cast<uint32_t>(earlier) + static_cast<uint32_t>(penalty);
    return static_cast<int32_t>(d);
}

// "m:ss.mmm" of a non-negative value, "-m:ss.mmm" of a negative one.
std::string minutesText(int64_t v) {
    bool negative = v < 0;
    uint64_t a = negative ? static_cast<uint64_t>(-v) : static_cast<uint64_t>(v);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%s%" PRIu64 ":%02u.%03u", negative ? "-" : "", a / 60000,
                  static_cast<unsigned>(a % 60000 / 1000), static_cast<unsigned>(a % 1000));
    return buf;
}

// From-start time of a start-line crossing: signed time from the nearer (by absolute
// distance) of the racer's newest earlier and oldest later start signal, penalty added;
// 0 when the racer has no start signal.
int32_t startLineFromStart(const TRaceItemList& list, size_t qi) {
    const TRaceItem& q = *list[qi];
    const TRaceItem* before = nullptr;
    const TRaceItem* after = nullptr;
    for (size_t i = qi; i-- > 0;) {
        const TRaceItem& p = *list[i];
        if (p.kind == TRaceItem::STSIG && sameRacer(p, q)) {
            before = &p;
            break;
        }
    }
    for (size_t i = qi + 1; i < list.size(); ++i) {
        const TRaceItem& p = *list[i];
        if (p.kind == TRaceItem::STSIG && sameRacer(p, q)) {
            after = &p;
            break;
        }
    }
    const TRaceItem* signal = before;
    if (after && (!before || after->time - q.time < q.time - before->time)) signal = after;
    if (!signal) return 0;
    return lowDiff(q.time, signal->time, q.penalty);
}

} // namespace

TRaceItem* LapTiming::getRaceItem(int index) const {
    owner_.assertOwner();
    if (!raceItems_ || index < 0 || index >= static_cast<int>(raceItems_->size())) return nullptr;
    return (*raceItems_)[static_cast<size_t>(index)].get();
}

bool LapTiming::hasKindWithin(uint32_t kind, uint64_t time, uint64_t windowMs) const {
    if (!raceItems_) return false;
    for (size_t i = raceItems_->size(); i-- > 0;) {
        const TRaceItem& e = *(*raceItems_)[i];
        uint64_t distance = e.time > time ? e.time - time : time - e.time;
        if (e.kind == kind && distance < windowMs) return true;
        if (time >= windowMs && e.time < time - windowMs) return false;
    }
    return false;
}

bool LapTiming::isDuplicateRaceItem(uint32_t kind, uint64_t time) const {
    if (!raceItems_) return false;
    for (size_t i = raceItems_->size(); i-- > 0;) {
        const TRaceItem& e = *(*raceItems_)[i];
        if (e.time < time) break;
        if (e.time != time) continue;
        if (kind != TRaceItem::STSIG || e.kind == TRaceItem::STSIG) return true;
    }
    return false;
}

void LapTiming::moveClassToPosition(int32_t classId, int position) {
    LapRegistry* reg = host_.registry();
    if (!reg) return;
    std::vector<LapClassInfo> classes = reg->classes();
    for (size_t k = 0; k < classes.size(); ++k) {
        if (classes[k].id != classId) continue;
        if (static_cast<int>(k) > position && position >= 0) reg->moveClass(static_cast<int>(k), position);
        return;
    }
}

namespace {

// Recomputes lap and fromStart of list[qi]; true when the event may be marked current
// (a timed start-line crossing, or a lap with a boundary before it).
// Aligned to a cache line: the walk back over the list is the whole recalculation's
// hot loop, and where the link puts it decided its speed (the same machine code ran 60 %
// slower when the loop crossed a 64-byte line); aligned, it stays inside one line.
[[gnu::aligned(64)]] bool computeRaceItem(TRaceItemList& list, size_t qi) {
    TRaceItem& q = *list[qi];
    q.lap = 0;
    q.fromStart = 0;
    if (q.kind == TRaceItem::STLIN) {
        q.fromStart = startLineFromStart(list, qi);
        return q.fromStart != 0;
    }
    if (q.kind != TRaceItem::LAP && q.kind != TRaceItem::PLAP) return false;

    const TRaceItem* boundary = nullptr;
    size_t boundaryIndex = 0;
    int32_t lap = 0;
    int32_t fromStart = 0;
    for (size_t pi = qi; pi-- > 0;) {
        const TRaceItem& p = *list[pi];
        if (!sameRacer(p, q) || p.kind == TRaceItem::PLAP || p.kind == 6) continue;
        if (p.kind == TRaceItem::STSIG) {
            fromStart = lowDiff(q.time, p.time, q.penalty);
            continue;
        }
        if (p.kind == TRaceItem::LAP || p.kind == TRaceItem::STLIN || p.kind == TRaceItem::FRST) {
            boundary = &p;
            boundaryIndex = pi;
            lap = lowDiff(q.time, p.time, q.penalty);
            break;
        }
    }
    if (!boundary) return false; // lap and fromStart stay 0; never current
    if (fromStart < lap) fromStart = 0;
    q.lap = lap;
    q.fromStart = fromStart;
    if (boundary->kind == TRaceItem::STLIN) {
        // The first lap after a start-line crossing is also timed from the start signal before it.
        for (size_t pi = boundaryIndex + 1; pi-- > 0;) {
            const TRaceItem& p = *list[pi];
            if (!sameRacer(p, q)) continue;
            if (p.kind == TRaceItem::LAP || p.kind == TRaceItem::PLAP) break;
            if (p.kind == TRaceItem::STSIG) {
                q.fromStart = lowDiff(q.time, p.time, q.penalty);
                break;
            }
        }
    }
    return true;
}

// computeRaceItem's answer from the times already computed.
bool markableRaceItem(const TRaceItemList& list, size_t qi) {
    const TRaceItem& q = *list[qi];
    if (q.kind == TRaceItem::STLIN) return q.fromStart != 0;
    if (q.kind != TRaceItem::LAP && q.kind != TRaceItem::PLAP) return false;
    if (q.lap != 0) return true;
    // A lap of 0 ms: whether it had a boundary is not in its times; look again.
    for (size_t pi = qi; pi-- > 0;) {
        const TRaceItem& p = *list[pi];
        if (!sameRacer(p, q) || p.kind == TRaceItem::PLAP || p.kind == 6 || p.kind == TRaceItem::STSIG) continue;
        if (p.kind == TRaceItem::LAP || p.kind == TRaceItem::STLIN || p.kind == TRaceItem::FRST) return true;
    }
    return false;
}

} // namespace

// Marks the racers on the course, newest event first: one mark per run of events of one
// racer, at most cntOnLane marks; each marked class moves up to its mark's position.
class LapTiming::CurrentMarker {
public:
    explicit CurrentMarker(LapTiming& lap) : lap_(lap), onCourse_(lap.cntOnLane_) { lap_.markedCurrent_.clear(); }
    bool full() const { return n_ >= onCourse_; }
    void mark(TRaceItem& q, size_t index) {
        if (n_ < onCourse_ && (q.racer != lastRacer_ || q.classId != lastClass_)) {
            lap_.moveClassToPosition(q.classId, n_);
            q.current = 1;
            lastRacer_ = q.racer;
            lastClass_ = q.classId;
            ++n_;
            lap_.markedCurrent_.push_back({index, &q});
        }
    }

private:
    LapTiming& lap_;
    int onCourse_;
    int n_ = 0;
    uint32_t lastRacer_ = 0;
    int32_t lastClass_ = -1;
};

void LapTiming::recalcRaceItems(TRaceItemList& list) {
    owner_.assertOwner();
    CurrentMarker marker(*this);
    for (size_t qi = list.size(); qi-- > 0;) {
        TRaceItem& q = *list[qi];
        q.current = 0;
        if (computeRaceItem(list, qi)) marker.mark(q, qi);
    }
    saved_.events = std::string::npos; // stored times may have moved anywhere
    forgetLapTail();
    scheduleLapResults();
    showLastLapsOnScoreboard();
}

void LapTiming::recalcAppendedRaceItem(TRaceItemList& list) {
    if (list.empty()) return;
    const size_t last = list.size() - 1;
    list[last]->current = 0;
    const bool lastMarkable = computeRaceItem(list, last);
    std::vector<MarkedEvent> before = std::move(markedCurrent_);
    for (const MarkedEvent& m : before) m.item->current = 0;
    CurrentMarker marker(*this);
    for (size_t qi = list.size(); qi-- > 0 && !marker.full();) {
        if (qi == last ? lastMarkable : markableRaceItem(list, qi)) marker.mark(*list[qi], qi);
    }
    std::vector<size_t> flagged;
    for (const MarkedEvent& m : before) flagged.push_back(m.index);
    for (const MarkedEvent& m : markedCurrent_) flagged.push_back(m.index);
    std::sort(flagged.begin(), flagged.end());
    flagged.erase(std::unique(flagged.begin(), flagged.end()), flagged.end());
    scheduleLapResultsAfterAppend(flagged);
    showLastLapsOnScoreboard();
}

std::string LapTiming::raceItemCellText(int index, int column) const {
    const TRaceItem* e = getRaceItem(index);
    if (!e) return {};
    switch (column) {
    case 0: {
        LapRegistry* reg = host_.registry();
        std::optional<LapRacerInfo> racer = reg && e->racer != 0 ? reg->findRacer(e->racer) : std::nullopt;
        if (racer) return std::to_string(e->racer) + "  " + racer->name;
        return std::to_string(e->racer);
    }
    case 1: return std::string(raceKindName(e->kind));
    case 2: {
        std::time_t seconds = static_cast<std::time_t>(e->time / 1000);
        std::tm tm{};
        gmtime_r(&seconds, &tm);
        char clock[32];
        std::strftime(clock, sizeof clock, "%H:%M:%S", &tm);
        char buf[48];
        std::snprintf(buf, sizeof buf, "%s.%03u", clock, static_cast<unsigned>(e->time % 1000));
        return buf;
    }
    case 3:
        if (e->lap == 0) return "-";
        return minutesText(static_cast<int64_t>(e->lap) - e->penalty);
    case 4:
        if (e->fromStart == 0) return "-";
        return minutesText(e->fromStart);
    case 5: {
        if (LapRegistry* reg = host_.registry()) {
            for (const LapClassInfo& c : reg->classes())
                if (c.id == e->classId) return c.name;
        }
        return std::to_string(e->classId);
    }
    case 6: return formatFixed(e->penalty / 1000.0, 2);
    default: return {};
    }
}

std::string_view raceKindName(uint32_t kind) {
    switch (kind) {
    case TRaceItem::LAP: return "LAP";
    case TRaceItem::STSIG: return "STSIG";
    case TRaceItem::STLIN: return "STLIN";
    case TRaceItem::FRST: return "FRST";
    case TRaceItem::PLAP: return "PLAP";
    case TRaceItem::FAIL: return "FAIL";
    default: return "UNKWN";
    }
}

// ---- lap_single.txt

std::string formatLapLine(const TRaceItem& e) {
    char buf[128];
    std::snprintf(buf, sizeof buf, "%u,%u,%" PRIu64 ",%u,%u,%d,%d", e.racer, e.kind, e.time,
                  static_cast<uint32_t>(e.lap), static_cast<uint32_t>(e.fromStart), e.classId, e.penalty);
    return buf;
}

namespace {

// One decimal field: optional leading blanks, optional '-', digits; nothing else.
std::optional<long double> fieldValue(std::string_view f, bool allowMinus, long double lo, long double hi) {
    size_t i = 0;
    while (i < f.size() && (f[i] == ' ' || f[i] == '\t')) ++i;
    bool negative = false;
    if (i < f.size() && (f[i] == '-' || f[i] == '+')) {
        negative = f[i] == '-';
        if (negative && !allowMinus) return std::nullopt;
        ++i;
    }
    if (i == f.size()) return std::nullopt;
    unsigned long long v = 0;
    for (; i < f.size(); ++i) {
        char c = f[i];
        if (c < '0' || c > '9') return std::nullopt;
        if (v > (std::numeric_limits<unsigned long long>::max() - (c - '0')) / 10) return std::nullopt;
        v = v * 10 + static_cast<unsigned>(c - '0');
    }
    long double value = negative ? -static_cast<long double>(v) : static_cast<long double>(v);
    if (value < lo || value > hi) return std::nullopt;
    return value;
}

std::optional<uint64_t> timeField(std::string_view f) {
    size_t i = 0;
    while (i < f.size() && (f[i] == ' ' || f[i] == '\t')) ++i;
    if (i < f.size() && f[i] == '+') ++i;
    if (i == f.size()) return std::nullopt;
    uint64_t v = 0;
    for (; i < f.size(); ++i) {
        char c = f[i];
        if (c < '0' || c > '9') return std::nullopt;
        if (v > (std::numeric_limits<uint64_t>::max() - static_cast<uint64_t>(c - '0')) / 10) return std::nullopt;
        v = v * 10 + static_cast<uint64_t>(c - '0');
    }
    return v;
}

} // namespace

bool parseLapLine(std::string_view line, TRaceItem& item) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t' || line.back() == '\n'))
        line.remove_suffix(1);
    std::vector<std::string_view> fields;
    size_t start = 0;
    while (fields.size() < 8) {
        size_t comma = line.find(',', start);
        if (comma == std::string_view::npos) {
            fields.push_back(line.substr(start));
            break;
        }
        fields.push_back(line.substr(start, comma - start));
        start = comma + 1;
    }
    if (fields.size() < 7) return false;
    constexpr long double kU32 = 4294967295.0L;
    constexpr long double kI32Lo = -2147483648.0L;
    constexpr long double kI32Hi = 2147483647.0L;
    auto racer = fieldValue(fields[0], false, 0, kU32);
    auto kind = fieldValue(fields[1], false, 0, kU32);
    auto time = timeField(fields[2]);
    auto lap = fieldValue(fields[3], true, kI32Lo, kU32);
    auto fromStart = fieldValue(fields[4], true, kI32Lo, kU32);
    auto classId = fieldValue(fields[5], true, kI32Lo, kI32Hi);
    auto penalty = fieldValue(fields[6], true, kI32Lo, kI32Hi);
    if (!racer || !kind || !time || !lap || !fromStart || !classId || !penalty) return false;
    TRaceItem e;
    e.racer = static_cast<uint32_t>(*racer);
    e.kind = static_cast<uint32_t>(*kind);
    e.time = *time;
    e.lap = static_cast<int32_t>(static_cast<uint32_t>(static_cast<int64_t>(*lap)));
    e.fromStart = static_cast<int32_t>(static_cast<uint32_t>(static_cast<int64_t>(*fromStart)));
    e.classId = static_cast<int32_t>(*classId);
    e.penalty = static_cast<int32_t>(*penalty);
    e.falseStart = 0;
    item = e;
    return true;
}

std::string lapFileText(const TRaceItemList& list) {
    std::string text;
    text.reserve(list.size() * 40);
    for (const auto& e : list) {
        text += formatLapLine(*e);
        text += '\n';
    }
    return text;
}

// A save of lap_single.txt, a failure told in the log window (once per run of failures).
Status LapTiming::reportedSave(Status st) {
    if (!raceItems_ || host_.eventFolder().empty()) return st; // nothing to write to
    return reportSave(lapFilePath("lap_single.txt"), st);
}

Status LapTiming::saveLapSingle() {
    owner_.assertOwner();
    saved_.events = std::string::npos;
    if (!raceItems_) return Status::Error("no lap events");
    if (host_.eventFolder().empty()) return Status::Error("no event folder");
    const std::filesystem::path path = lapFilePath("lap_single.txt");
    const std::string text = lapFileText(*raceItems_);
    intake_.noteHitsWriting(path.filename().string(), 0, text);
    Status st = writeFileAtomic(path, text, [this] { intake_.noteHitsTaken(); });
    if (st.ok()) {
        saved_.events = raceItems_->size();
        saved_.bytes = text.size();
        saved_.file = path;
    }
    return st;
}

Status LapTiming::saveLapSingleAfterAppend() {
    if (!raceItems_ || raceItems_->empty() || host_.eventFolder().empty()) return saveLapSingle();
    const std::filesystem::path path = lapFilePath("lap_single.txt");
    std::error_code ec;
    if (saved_.events > raceItems_->size() || path != saved_.file ||
        std::filesystem::file_size(path, ec) != saved_.bytes || ec)
        return saveLapSingle();
    if (saved_.events == raceItems_->size()) return Status::Ok();
    // The new lines at the end, written at once; a failed append is repaired by a whole
    // rewrite.
    std::string lines;
    for (size_t i = saved_.events; i < raceItems_->size(); ++i) {
        lines += formatLapLine(*(*raceItems_)[i]);
        lines += '\n';
    }
    intake_.noteHitsWriting(path.filename().string(), saved_.bytes, lines);
    std::FILE* f = std::fopen(path.c_str(), "ab");
    bool ok = f != nullptr;
    if (f) {
        ok = std::fwrite(lines.data(), 1, lines.size(), f) == lines.size();
        ok = std::fclose(f) == 0 && ok;
    }
    if (!ok) return saveLapSingle();
    intake_.noteHitsTaken();
    saved_.events = raceItems_->size();
    saved_.bytes += lines.size();
    return Status::Ok();
}

Status LapTiming::saveLapSingleAfterHits() { return reportedSave(saveLapSingleAfterAppend()); }

Status LapTiming::saveLapSingleReported() { return reportedSave(saveLapSingle()); }

void LapTiming::loadLapSingle() {
    owner_.assertOwner();
    ensureRaceItems();
    releaseEvents([this] { raceItems_->clear(); });

    std::string content;
    if (!host_.eventFolder().empty() && readFile(lapFilePath("lap_single.txt"), content).ok()) {
        size_t pos = 0;
        while (pos < content.size()) {
            size_t end = content.find('\n', pos);
            std::string_view line =
                std::string_view(content).substr(pos, end == std::string::npos ? std::string::npos : end - pos);
            TRaceItem e;
            if (parseLapLine(line, e)) raceItems_->push_back(std::make_unique<TRaceItem>(e));
            if (end == std::string::npos) break;
            pos = end + 1;
        }
        // The file is written from the sorted list; a hand-edited one is put in order here.
        std::stable_sort(raceItems_->begin(), raceItems_->end(),
                         [](const auto& a, const auto& b) { return a->time < b->time; });
    }
    rebuildQueuesAfterFree();
    recalcRaceItems(*raceItems_);
    host_.setGridRowCount(static_cast<int>(raceItems_->size()) + 1);
    host_.repaintGrid();
}

} // namespace velmaro
