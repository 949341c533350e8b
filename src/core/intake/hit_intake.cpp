#include "core/intake/hit_intake.h"

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <stdexcept>

#include "core/platform/files.h"
#include "core/platform/save_report.h"

namespace velmaro {

bool isTransponderSignal(int signal) { return (signal >> 2) > 1000 || (signal & 0x8000) != 0; }
int transponderTag(int signal) { return (signal & 0x7FFF) >> 2; }
int transponderSensor(int signal) { return signal & 3; }

int compareHits(const THitRecord& a, const THitRecord& b) {
    if (a.seconds != b.seconds) return a.seconds < b.seconds ? -1 : 1;
    if (a.milliseconds != b.milliseconds) return a.milliseconds < b.milliseconds ? -1 : 1;
    if (a.node != b.node) return a.node < b.node ? -1 : 1;
    if (a.signal != b.signal) return a.signal < b.signal ? -1 : 1;
    return 0;
}

namespace {
bool lessHit(const THitRecord& a, const THitRecord& b) { return compareHits(a, b) < 0; }
} // namespace

void removeDuplicateHits(std::vector<THitRecord>& list) {
    list.erase(std::unique(list.begin(), list.end(),
                           [](const THitRecord& a, const THitRecord& b) { return compareHits(a, b) == 0; }),
               list.end());
}

std::string formatHitLog(std::span<const THitRecord> list) {
    std::string out;
    out.reserve(list.size() * 40);
    char line[96];
    for (const THitRecord& r : list) {
        const int n = std::snprintf(line, sizeof line, "%d,%d,%u,%u,%" PRIu64 "\n", r.node, r.signal, r.seconds,
                                    unsigned(r.milliseconds), r.arrival);
        out.append(line, std::size_t(n));
    }
    return out;
}

namespace {

// Reads a number the way scanf does for "%d"/"%u"/"%llu": blanks, optional sign, digits.
// Values wrap to the field's width like the C conversions do.
bool scanNumber(std::string_view s, std::size_t& pos, bool allowMinus, unsigned long long& value, bool& negative) {
    while (pos < s.size() && (s[pos] == ' ' || s[pos] == '\t')) ++pos;
    negative = false;
    if (pos < s.size() && (s[pos] == '-' || s[pos] == '+')) {
        negative = s[pos] == '-';
        ++pos;
    }
    (void)allowMinus;
    const std::size_t start = pos;
    value = 0;
    while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9') value = value * 10 + unsigned(s[pos++] - '0');
    return pos > start;
}

// Scans comma-separated numbers: how many were read before the first mismatch.
int scanFields(std::string_view s, long long out[5]) {
    std::size_t pos = 0;
    int count = 0;
    for (int k = 0; k < 5; ++k) {
        if (k > 0) {
            if (pos >= s.size() || s[pos] != ',') break;
            ++pos;
        }
        unsigned long long v;
        bool negative;
        if (!scanNumber(s, pos, true, v, negative)) break;
        // Negated in unsigned arithmetic: "-9223372036854775808" and beyond wrap like the
        // C conversions instead of overflowing a signed negation.
        out[k] = static_cast<long long>(negative ? 0ull - v : v);
        ++count;
    }
    return count;
}

} // namespace

std::vector<THitRecord> parseHitLog(std::string_view text) {
    std::vector<THitRecord> list;
    for (const std::string& line : splitTextLines(text)) {
        long long f[5] = {0, 0, 0, 0, 0};
        const int n = scanFields(line, f);
        if (n < 4) continue;
        THitRecord r;
        r.node = static_cast<std::int32_t>(f[0]);
        r.signal = static_cast<std::int32_t>(f[1]);
        r.seconds = static_cast<std::uint32_t>(f[2]);
        r.milliseconds = static_cast<std::uint16_t>(f[3]);
        r.arrival = n == 5 ? static_cast<std::uint64_t>(f[4]) : 0;
        list.push_back(r);
    }
    std::stable_sort(list.begin(), list.end(), lessHit);
    return list;
}

Status saveHitLogFile(const std::filesystem::path& file, const std::vector<THitRecord>& list) {
    return writeFileAtomic(file, formatHitLog(list));
}

Status loadHitLogFile(const std::filesystem::path& file, std::vector<THitRecord>& list) {
    list.clear();
    std::string text;
    Status s = readFile(file, text);
    if (!s.ok()) return s;
    // hitlog.txt grows by appends: a last line without its end was cut short by a crash
    // (its hit is still in the link's journal).
    const std::size_t end = text.rfind('\n');
    text.resize(end == std::string::npos ? 0 : end + 1);
    list = parseHitLog(text);
    return Status::Ok();
}

// ---- dispatch table ----

void ModeHitHandlers::setLapHandler(TimingMode mode, LapHitHandler handler) {
    entries_[timingModeNumber(mode)] = Entry{std::move(handler), nullptr};
}

void ModeHitHandlers::setDragHandler(TimingMode mode, DragHitHandler handler) {
    entries_[timingModeNumber(mode)] = Entry{nullptr, std::move(handler)};
}

void ModeHitHandlers::clear(TimingMode mode) { entries_[timingModeNumber(mode)] = Entry{}; }

void ModeHitHandlers::clearAll() {
    for (Entry& e : entries_) e = Entry{};
}

bool ModeHitHandlers::has(int mode) const {
    return timingModeFrom(mode) && (entries_[mode].lap || entries_[mode].drag);
}

bool ModeHitHandlers::dispatch(int mode, int node, int signal, std::uint64_t timeMs, int racerNumber, int classId,
                               int source) const {
    if (!timingModeFrom(mode)) return false;
    const Entry& e = entries_[mode];
    if (e.lap) {
        e.lap(node, signal, timeMs, racerNumber, classId);
        return true;
    }
    if (e.drag) {
        e.drag(node, signal, timeMs, source);
        return true;
    }
    return false;
}

// ---- intake ----

HitIntake::HitIntake(HitIntakeHost& host) : host_(host) {}

std::vector<THitRecord>& HitIntake::hitList() {
    owner_.assertOwner();
    return hitList_;
}

const std::vector<THitRecord>& HitIntake::hitList() const {
    owner_.assertOwner();
    return hitList_;
}

std::uint8_t& HitIntake::transpondersInUse() {
    owner_.assertOwner();
    return transpondersInUse_;
}

std::uint8_t HitIntake::transpondersInUse() const {
    owner_.assertOwner();
    return transpondersInUse_;
}

ModeHitHandlers& HitIntake::handlers() {
    owner_.assertOwner();
    return handlers_;
}

std::uint64_t systemUtcNowMs() {
    using namespace std::chrono;
    return static_cast<std::uint64_t>(duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count());
}

std::filesystem::path HitIntake::hitLogPath() const {
    const std::filesystem::path folder = host_.eventFolder();
    if (folder.empty()) return {};
    return folder / "hitlog.txt";
}

namespace {

THitRecord key(int node, int signal, std::uint32_t seconds, std::uint32_t milliseconds) {
    THitRecord r;
    r.node = node;
    r.signal = signal;
    r.seconds = seconds;
    r.milliseconds = static_cast<std::uint16_t>(milliseconds);
    return r;
}

// A tail is written in place while it is small beside the file; past that the whole
// rewrite costs less.
constexpr std::size_t kSmallTail = 64 * 1024;

} // namespace

void HitIntake::notifyListChanged() { host_.hitListChanged(hitList_.size()); }

std::string HitIntake::hitLogTail(std::size_t from) const { return formatHitLog(std::span(hitList_).subspan(from)); }

// hitlog.txt from the first record out of place on, in place through hitlog.txt.tail
// with one flush (writeGrowingFileTail). False when the file is to be rewritten whole
// instead; `st` tells how the write went.
bool HitIntake::writeHitLogTail(const std::filesystem::path& file, Status& st) {
    HitLogOnDisk& d = onDisk_;
    const auto stamp = fileStamp(file);
    if (!stamp || *stamp != d.stamp) return false; // changed by someone else
    const std::string tail = hitLogTail(d.placed);
    if (tail.size() > kSmallTail && tail.size() > (d.placedBytes + tail.size()) / 2) return false;
    // A tail written before and not flushed since is flushed first: its intent is overwritten.
    st = writeGrowingFileTail(file, fileTailIntent(file), d.placedBytes, tail, d.stamp, d.tailUnflushed);
    if (!st.ok()) return true;
    d.tailUnflushed = true;
    d.bytes = d.placedBytes + tail.size();
    return true;
}

// hitlog.txt after new records: appended when they all sort after what the file holds,
// else its tail from the first record out of place, else rewritten whole. Either way the
// file ends as formatHitLog(hitList()).
void HitIntake::writeHitLog() {
    const std::filesystem::path file = hitLogPath();
    if (file.empty()) {
        onDisk_.saved = false;
        return;
    }
    HitLogOnDisk& d = onDisk_;
    Status st = Status::Ok();
    bool written = false;
    if (d.file == file && d.placed != std::string::npos) {
        if (d.placedBytes == d.bytes) {
            const std::string tail = hitLogTail(d.placed);
            if (!tail.empty()) {
                st = appendFile(file, tail, d.stamp);
                // Flushed: so is any tail written before it.
                if (st.ok()) d.tailUnflushed = false;
            }
            d.bytes += tail.size();
            written = true;
        } else {
            written = writeHitLogTail(file, st);
        }
        if (!st.ok()) d.placed = std::string::npos; // a part may be in the file
    }
    if (!written) {
        // Whole, atomically; first a tail write's intent is finished and retired, so that
        // it is never applied over the new file.
        st = recoverGrowingFileTail(file, fileTailIntent(file));
        if (st.ok()) st = saveHitLogFile(file, hitList_);
        const auto stamp = st.ok() ? fileStamp(file) : std::nullopt;
        d = HitLogOnDisk{};
        if (stamp) {
            d.file = file;
            d.stamp = *stamp;
            d.bytes = stamp->size;
            d.placed = 0; // set below
        }
    }
    if (st.ok() && d.placed != std::string::npos) {
        d.placed = hitList_.size();
        d.placedBytes = d.bytes;
    }
    d.saved = st.ok();
    (void)reportSave(file, st);
}

namespace {

constexpr const char* kHitsTakenKey = "hits taken";
constexpr const char* kHitLogKey = "hitlog.txt";

// The journal's note and hitlog.txt after every other file, in that order: a crash
// between the writes then leaves hits that are in the event's files and noted, or not
// yet in them and not noted, never in hitlog.txt alone (the restart would not take them).
void putLogLast(std::vector<std::pair<std::string, std::function<void()>>>& work) {
    for (const char* key : {kHitsTakenKey, kHitLogKey}) {
        auto it = std::find_if(work.begin(), work.end(), [key](const auto& w) { return w.first == key; });
        if (it != work.end()) std::rotate(it, it + 1, work.end());
    }
}

} // namespace

void HitIntake::noteHitsWriting(const std::string& file, std::uint64_t offset, std::string_view bytes) {
    owner_.assertOwner();
    if (batch_.taken.empty()) return;
    const std::uint64_t checksum = contentChecksum(bytes);
    std::vector<JournalWrite> writes;
    writes.reserve(batch_.taken.size());
    for (const TSignalHit& hit : batch_.taken) writes.push_back({file, offset, bytes.size(), checksum, hit});
    host_.hitsWriting(writes);
}

void HitIntake::noteHitsTaken() {
    owner_.assertOwner();
    std::vector<TSignalHit> hits = std::move(batch_.taken);
    batch_.taken.clear();
    if (!hits.empty()) host_.hitsTaken(hits);
}

HitBatch::HitBatch(HitIntake& intake) : intake_(intake) {
    intake_.owner_.assertOwner();
    ++intake_.batch_.depth;
}

HitBatch::~HitBatch() { intake_.closeBatch(); }

void HitIntake::closeBatch() {
    if (--batch_.depth > 0) return;
    // Work may hand over more work (a save after a grid refresh): run until none is left.
    while (!batch_.work.empty()) {
        auto work = std::move(batch_.work);
        batch_.work.clear();
        putLogLast(work);
        for (auto& [key, job] : work) {
            try {
                job();
            } catch (const std::exception& e) {
                host_.log(std::string("Ошибка после приёма отметок: ") + e.what());
            }
        }
    }
}

void HitIntake::afterHits(const char* key, std::function<void()> work) {
    owner_.assertOwner();
    if (batch_.depth == 0) {
        work();
        return;
    }
    for (auto& [k, job] : batch_.work)
        if (k == key) {
            job = std::move(work);
            return;
        }
    batch_.work.emplace_back(key, std::move(work));
}

bool HitIntake::hitLogSaved() const { return onDisk_.saved && !hitsLeftOut_; }

void HitIntake::replayHits(std::vector<TSignalHit> hits, const std::vector<TSignalHit>& taken) {
    queueReplay(std::move(hits), taken);
    replayRest();
}

void HitIntake::replayRest() {
    HitBatch batch(*this);
    while (replayNextHit()) {
    }
}

void HitIntake::queueReplay(std::vector<TSignalHit> hits, const std::vector<TSignalHit>& taken) {
    owner_.assertOwner();
    std::stable_sort(hits.begin(), hits.end(), hitBefore);
    std::vector<TSignalHit> noted = taken;
    std::sort(noted.begin(), noted.end(), hitBefore);
    replay_ = ReplayState{};
    replay_.taken.reserve(hits.size());
    for (const TSignalHit& h : hits)
        replay_.taken.push_back(std::binary_search(noted.begin(), noted.end(), h, hitBefore));
    replay_.hits = std::move(hits);
}

bool HitIntake::replayNextHit() {
    owner_.assertOwner();
    if (replay_.next >= replay_.hits.size()) return false;
    const std::size_t i = replay_.next++;
    const TSignalHit h = replay_.hits[i];
    const bool taken = replay_.taken[i];
    if (replay_.next == replay_.hits.size()) replay_ = ReplayState{}; // its memory goes at once
    if (taken)
        logTakenHit(h);
    else
        processHit(static_cast<int>(h.node), static_cast<int>(h.signal), h.time, HIT_FROM_DEVICE);
    return true;
}

bool HitIntake::replayPending() const { return replay_.next < replay_.hits.size(); }

void HitIntake::dropReplay() {
    owner_.assertOwner();
    replay_ = ReplayState{};
}

bool HitIntake::hitExists(int node, int signal, std::uint32_t seconds, std::uint32_t milliseconds) const {
    owner_.assertOwner();
    // The hit list is kept sorted by compareHits, whose keys are exactly these four values.
    return std::binary_search(hitList_.begin(), hitList_.end(), key(node, signal, seconds, milliseconds), lessHit);
}

void HitIntake::markHitUsed(int node, int signal, std::uint32_t seconds, std::uint32_t milliseconds) {
    owner_.assertOwner();
    auto range = std::equal_range(hitList_.begin(), hitList_.end(), key(node, signal, seconds, milliseconds), lessHit);
    for (auto it = range.first; it != range.second; ++it) it->used = 1;
}

void HitIntake::processHit(int node, int signal, std::uint64_t timeMs, int source) {
    owner_.assertOwner();
    HitIntakeHost& host = host_;
    const TSignalHit hit{static_cast<std::uint32_t>(node), static_cast<std::uint32_t>(signal), timeMs};
    const THitRecord record = hitRecord(hit, host.utcNowMs());

    if (source == HIT_FROM_DEVICE && hitExists(node, signal, record.seconds, record.milliseconds)) return;

    switch (signal) {
    case SIG_REMOTE_START: host.remoteStart(); break;
    case SIG_REMOTE_BLOCK: host.remoteBlock(); break;
    case SIG_REMOTE_RESET: host.remoteReset(); break;
    default: break;
    }

    int racerNumber = 0;
    int classId = -1;
    int handlerSignal = signal;
    if (isTransponderSignal(signal)) {
        transpondersInUse_ = 1;
        const int tag = transponderTag(signal);
        const std::optional<TagRacer> racer = host.findRacerByTag(tag);
        // A racer numbered 0 is timed under his tag but keeps his first class.
        racerNumber = racer && racer->number != 0 ? racer->number : tag;
        if (racer) classId = racer->classId;
        handlerSignal = transponderSensor(signal);
    }

    // A device hit waits to be told to the journal from before the mode takes it, so that
    // a writer of the mode's file notes it with what it writes.
    if (source == HIT_FROM_DEVICE) batch_.taken.push_back(hit);
    const int mode = host.timingMode();
    try {
        handlers_.dispatch(mode, node, handlerSignal, timeMs, racerNumber, classId, source);
    } catch (...) {
        if (source == HIT_FROM_DEVICE) batch_.taken.pop_back(); // not taken: replayed after a crash
        throw;
    }

    if (source == HIT_FROM_LOG_CURRENT) return;
    if (source == HIT_FROM_DEVICE) {
        if (batch_.depth == 0)
            noteHitsTaken();
        else
            afterHits(kHitsTakenKey, [this] { noteHitsTaken(); });
    }
    logRecord(record);
}

void HitIntake::logRecord(const THitRecord& record) {
    // Inserted after any equal record, so the record already in the list is the one kept.
    const auto at = std::upper_bound(hitList_.begin(), hitList_.end(), record, lessHit);
    if (at != hitList_.begin() && compareHits(*(at - 1), record) == 0) {
        // Already logged: no second record.
    } else {
        const std::size_t index = static_cast<std::size_t>(at - hitList_.begin());
        HitLogOnDisk& d = onDisk_;
        if (d.placed != std::string::npos && index < d.placed) {
            // The records from here on move a place: the file is written again from here.
            d.placedBytes -= formatHitLog(std::span(hitList_).subspan(index, d.placed - index)).size();
            d.placed = index;
        }
        hitList_.insert(at, record);
        onDisk_.saved = false;
    }
    afterHits("hit log grid", [this] { notifyListChanged(); });
    afterHits(kHitLogKey, [this] { writeHitLog(); });
}

void HitIntake::logTakenHit(const TSignalHit& hit) {
    THitRecord record = hitRecord(hit, 0);
    if (hitExists(record.node, record.signal, record.seconds, record.milliseconds)) return;
    if (isTransponderSignal(record.signal)) transpondersInUse_ = 1;
    record.arrival = host_.utcNowMs();
    logRecord(record);
}

// The hit list from the open event's hitlog.txt (empty without one), and whether the next
// hits may be appended to the file.
void HitIntake::readEventHitLog() {
    const std::filesystem::path file = hitLogPath();
    if (!onDisk_.saved) {
        // Logged hits hitlog.txt lacks (a failed write, or hits with no event open): the same
        // event's file gets them before it is read again; else the journal must keep them.
        if (!file.empty() && file == listFile_) writeHitLog();
        if (!onDisk_.saved) {
            hitsLeftOut_ = true;
            host_.log("Отметки, не записанные в hitlog.txt, остаются в журнале отметок до следующего запуска");
        }
    }
    onDisk_ = HitLogOnDisk{};
    hitList_.clear();
    listFile_ = file;
    if (file.empty()) return;
    // A tail write a crash cut short is finished first (or its cut intent dropped). When
    // that fails, the file is read as it is and the next write replaces it whole.
    const bool recovered = recoverGrowingFileTail(file, fileTailIntent(file)).ok();
    std::error_code ec;
    if (recovered && !std::filesystem::exists(file, ec) && !ec) { // the first hits create it
        onDisk_.file = file;
        onDisk_.placed = 0;
    }
    if (!loadHitLogFile(file, hitList_).ok()) return;
    // A file written by an older console may repeat a hit: the list never holds two equal
    // records, or the duplicate filter and the replay would see the hit twice.
    removeDuplicateHits(hitList_);
    // When the file is exactly what a save would write, the next hits go into it in place.
    std::string text;
    const auto stamp = fileStamp(file);
    if (recovered && stamp && readFile(file, text).ok() && text == formatHitLog(hitList_)) {
        onDisk_.file = file;
        onDisk_.placed = hitList_.size();
        onDisk_.placedBytes = onDisk_.bytes = text.size();
        onDisk_.stamp = *stamp;
    }
}

void HitIntake::loadHitLog() {
    owner_.assertOwner();
    readEventHitLog();
    // The hit log window follows the list also when it stays empty (no event, no file).
    notifyListChanged();
}

} // namespace velmaro
