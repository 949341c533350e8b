#include "core/drag/drag_file.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <limits>
#include <optional>
#include <system_error>

#include "core/drag/drag_commands.h"
#include "core/drag/drag_host.h"
#include "core/drag/drag_runs.h"
#include "core/drag/drag_selection.h"
#include "core/intake/hit_intake.h"
#include "core/platform/files.h"
#include "core/platform/operator.h"
#include "core/platform/save_report.h"

namespace velmaro {

namespace {

constexpr std::string_view kDragItemTag = "DRAGITEM";
constexpr std::string_view kLeftHitTag = "LEFTHIT";
constexpr std::string_view kRightHitTag = "RIGHTHIT";

// Reads numbers the way the file's printf formats wrote them: blanks skipped, an
// optional sign, decimal digits; fields separated by one literal character. A value
// that does not parse, or lies outside its type's range, ends the scan.
class FieldScanner {
public:
    explicit FieldScanner(std::string_view text) : text_(text) {}

    bool literal(char c) {
        if (pos_ < text_.size() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }

    std::optional<long long> signedValue(long long lo, long long hi) {
        skipBlanks();
        bool negative = false;
        if (pos_ < text_.size() && (text_[pos_] == '-' || text_[pos_] == '+')) negative = text_[pos_++] == '-';
        const auto magnitude = digits();
        if (!magnitude) return std::nullopt;
        // Magnitudes here never exceed 2^64-1; anything beyond the target range fails.
        if (negative) {
            if (*magnitude > static_cast<unsigned long long>(-(lo + 1)) + 1) return std::nullopt;
            return -static_cast<long long>(*magnitude - 1) - 1;
        }
        if (*magnitude > static_cast<unsigned long long>(hi)) return std::nullopt;
        return static_cast<long long>(*magnitude);
    }

    std::optional<int32_t> int32() {
        const auto v = signedValue(std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max());
        if (!v) return std::nullopt;
        return static_cast<int32_t>(*v);
    }

    std::optional<uint64_t> uint64() {
        skipBlanks();
        if (pos_ < text_.size() && text_[pos_] == '+') ++pos_;
        return digits();
    }

private:
    void skipBlanks() {
        while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_]))) ++pos_;
    }

    std::optional<unsigned long long> digits() {
        const size_t start = pos_;
        unsigned long long value = 0;
        bool overflow = false;
        while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') {
            const unsigned d = static_cast<unsigned>(text_[pos_] - '0');
            if (value > (std::numeric_limits<unsigned long long>::max() - d) / 10)
                overflow = true;
            else
                value = value * 10 + d;
            ++pos_;
        }
        if (pos_ == start || overflow) return std::nullopt;
        return value;
    }

    std::string_view text_;
    size_t pos_ = 0;
};

bool beginsWith(std::string_view line, std::string_view tag) { return line.substr(0, tag.size()) == tag; }

void parseDragItem(std::string_view line, TDragRaceItem& run) {
    FieldScanner scan(line.substr(kDragItemTag.size()));
    if (!scan.literal(':')) return;
    int32_t* const before[] = {&run.racer[0], &run.classId[0], &run.racer[1], &run.classId[1]};
    for (size_t i = 0; i < 4; ++i) {
        if (i > 0 && !scan.literal(',')) return;
        const auto v = scan.int32();
        if (!v) return;
        *before[i] = *v;
    }
    if (!scan.literal(',')) return;
    const auto start = scan.uint64();
    if (!start) return;
    run.startTime = *start;
    int32_t* const after[] = {&run.runMode, &run.runId, &run.penalty[0], &run.penalty[1]};
    for (int32_t* field : after) {
        if (!scan.literal(',')) return;
        const auto v = scan.int32();
        if (!v) return;
        *field = *v;
    }
}

// A hit line; a type that does not parse gives an unknown type (-1), a time that does
// not parse gives 0, so the line is kept and written back as it was understood.
TLineHit parseHit(std::string_view line, std::string_view tag) {
    TLineHit hit;
    hit.type = -1;
    FieldScanner scan(line.substr(tag.size()));
    if (!scan.literal(':')) return hit;
    const auto type = scan.int32();
    if (!type) return hit;
    hit.type = *type;
    if (!scan.literal(',')) return hit;
    if (const auto time = scan.uint64()) hit.time = *time;
    return hit;
}

long long nowSeconds() {
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

} // namespace

namespace {

// The lines of one run: "DRAGITEM:%d,%d,%d,%d,%llu,%d,%d,%d,%d", then "LEFTHIT:%d,%llu"
// and "RIGHTHIT:%d,%llu" per hit, built with to_chars.
void appendRunText(const TDragRaceItem& run, std::string& out) {
    char buf[32];
    const auto number = [&](auto value) {
        const auto r = std::to_chars(buf, buf + sizeof buf, value);
        out.append(buf, r.ptr);
    };
    out += "DRAGITEM:";
    number(run.racer[0]);
    out += ',';
    number(run.classId[0]);
    out += ',';
    number(run.racer[1]);
    out += ',';
    number(run.classId[1]);
    out += ',';
    number(run.startTime);
    out += ',';
    number(run.runMode);
    out += ',';
    number(run.runId);
    out += ',';
    number(run.penalty[0]);
    out += ',';
    number(run.penalty[1]);
    out += '\n';
    for (int lane = 0; lane < 2; ++lane) {
        for (const TLineHit& hit : run.hits[lane]) {
            out += lane == 0 ? "LEFTHIT:" : "RIGHTHIT:";
            number(hit.type);
            out += ',';
            number(hit.time);
            out += '\n';
        }
    }
}

// The text of each run as last written, with the values it was made from: a save
// formats again only the runs whose written values changed since.
struct WrittenRun {
    std::array<int64_t, 8> header{};
    uint64_t startTime = 0;
    std::vector<std::pair<int32_t, uint64_t>> hits[2];
    std::string text;
    // Where the text starts in drag.txt (for the runs of the known prefix, see gDiskRuns).
    size_t offset = 0;
    // Of a run whose text is no longer the one in drag.txt: its first `keptOnDisk` bytes
    // still are (meaningful for the first such run).
    size_t keptOnDisk = 0;

    static std::array<int64_t, 8> headerOf(const TDragRaceItem& run) {
        return {run.racer[0], run.classId[0], run.racer[1],   run.classId[1],
                run.runMode,  run.runId,      run.penalty[0], run.penalty[1]};
    }
    bool matches(const TDragRaceItem& run) const {
        if (startTime != run.startTime || header != headerOf(run)) return false;
        for (int lane = 0; lane < 2; ++lane) {
            const auto& now = run.hits[lane];
            if (now.size() != hits[lane].size()) return false;
            for (size_t i = 0; i < now.size(); ++i)
                if (now[i].type != hits[lane][i].first || now[i].time != hits[lane][i].second) return false;
        }
        return true;
    }
    void take(const TDragRaceItem& run) {
        header = headerOf(run);
        startTime = run.startTime;
        for (int lane = 0; lane < 2; ++lane) {
            hits[lane].clear();
            for (const TLineHit& h : run.hits[lane]) hits[lane].emplace_back(h.type, h.time);
        }
        std::string before = std::move(text);
        text.clear();
        appendRunText(run, text);
        const auto same = std::mismatch(before.begin(), before.end(), text.begin(), text.end());
        keptOnDisk = std::min(keptOnDisk, static_cast<size_t>(same.first - before.begin()));
    }
};

} // namespace

// What drag.txt holds and the texts last written, kept per DragRuns.
struct DragRuns::FileCache {
    std::vector<WrittenRun> writtenRuns;
    size_t writtenLength = 0; // the texts of writtenRuns together

    // What drag.txt holds, as far as this program knows: the texts of the first `runs`
    // writtenRuns, in order from the first, while the file's stamp is the one it was left with.
    struct DiskState {
        std::filesystem::path file; // empty: nothing known
        FileStamp stamp;
        size_t runs = 0;
        std::filesystem::path recovered; // the intent file of this folder was handled
        bool intentMayHold = false;      // a record there may still be applied (not retired)
    };
    DiskState disk;

    // The runs changed since the last save, as far as their writers said (markRunChanged);
    // `all`: every run must be compared (a writer said so, or too many were marked).
    struct ChangedRuns {
        std::vector<size_t> runs;
        bool all = true;
    };
    ChangedRuns changed;

    // Past this many marked runs one pass over all of them costs no more.
    static constexpr size_t kMarkedRunsLimit = 64;

    // Brings written run i up to `run`: formatted again when a written value differs.
    void updateWrittenRun(size_t i, const TDragRaceItem& run) {
        WrittenRun& written = writtenRuns[i];
        if (!written.text.empty() && written.matches(run)) return;
        writtenLength -= written.text.size();
        written.take(run);
        writtenLength += written.text.size();
        if (i < disk.runs) disk.runs = i; // its text and every one after it are no longer at their place
    }

    // Gives writtenRuns one entry per run (new ones empty, so formatted by the update).
    void resizeWrittenRuns(size_t count) {
        for (size_t i = count; i < writtenRuns.size(); ++i) writtenLength -= writtenRuns[i].text.size();
        writtenRuns.resize(count);
        disk.runs = std::min(disk.runs, count);
    }

    // Brings writtenRuns up to the runs, comparing every one (formatting only the changed ones).
    void updateWrittenRuns(const std::vector<TDragRaceItem>& list) {
        resizeWrittenRuns(list.size());
        for (size_t i = 0; i < list.size(); ++i) updateWrittenRun(i, list[i]);
    }

    std::string joinedRunTexts(size_t from, size_t length) {
        std::string out;
        out.reserve(length);
        for (size_t i = from; i < writtenRuns.size(); ++i) out += writtenRuns[i].text;
        return out;
    }

    // Where run i starts in drag.txt; i at most disk.runs.
    size_t diskOffset(size_t i) { return i == 0 ? 0 : writtenRuns[i - 1].offset + writtenRuns[i - 1].text.size(); }

    void forgetDisk() {
        disk.file.clear();
        disk.runs = 0;
    }

    // drag.txt now holds every written run, the runs before `from` as they already were.
    void knowDisk(const std::filesystem::path& file, const FileStamp& stamp, size_t from) {
        disk.file = file;
        disk.stamp = stamp;
        for (size_t i = from; i < writtenRuns.size(); ++i) {
            writtenRuns[i].offset = diskOffset(i);
            writtenRuns[i].keptOnDisk = writtenRuns[i].text.size();
        }
        disk.runs = writtenRuns.size();
    }

    // Before drag.txt is read or replaced: an intent a crash (or a failed tail write) left is
    // applied (or dropped when cut), and the intent file removed for good.
    Status recoverDragTail(const std::filesystem::path& file) {
        const std::filesystem::path intent = fileTailIntent(file);
        if (disk.recovered == intent && !disk.intentMayHold) return Status::Ok();
        Status s = recoverFileTail(file, intent);
        if (s.ok()) {
            disk.recovered = intent;
            disk.intentMayHold = false;
        }
        return s;
    }

    // Before drag.txt is replaced other than by a tail write: no intent may be applied over it
    // later. A tail write that failed half-way is finished first, so the file is whole in the
    // meantime.
    Status retireDragTail(const std::filesystem::path& file) {
        forgetDisk();
        return recoverDragTail(file);
    }

    // A tail is written in place only while it is small beside the file; past that the whole
    // rewrite costs less.
    static constexpr size_t kSmallTail = 64 * 1024;

    // Writes drag.txt from writtenRuns: the part after what the file already holds in place,
    // or the whole file. `compared`: every run was compared with the runs for this save; when
    // not, a whole rewrite compares them first (it costs a pass over every run anyway).
    Status writeDragFile(const std::filesystem::path& file, bool compared, const std::vector<TDragRaceItem>& runs,
                         HitIntake& intake) {
        const bool known = disk.file == file;
        // The runs from `first` on are not in drag.txt as they are now; those before are.
        const size_t first = known ? disk.runs : 0;
        const size_t offset = known ? diskOffset(first) : 0;
        // Of the first changed run, what is still in place (a hit added to the right lane
        // changes its text only at the end).
        const size_t kept = first < writtenRuns.size() && known ? writtenRuns[first].keptOnDisk : 0;
        const size_t length = writtenLength;
        const size_t tailLength = length - offset - kept;
        if (known && (tailLength <= kSmallTail || tailLength <= length / 2)) {
            const auto stamp = fileStamp(file);
            if (stamp && *stamp == disk.stamp) {
                if (first == writtenRuns.size() && stamp->size == length)
                    return Status::Ok(); // drag.txt already holds this text
                disk.intentMayHold = true;
                FileStamp after;
                std::string tail = joinedRunTexts(first, tailLength + kept);
                tail.erase(0, kept);
                intake.noteHitsWriting(file.filename().string(), offset + kept, tail);
                const Status s = writeFileTail(file, fileTailIntent(file), offset + kept, tail, after,
                                               [&intake] { intake.noteHitsTaken(); });
                if (!s.ok()) {
                    forgetDisk();
                    return s;
                }
                // The intent is emptied but not flushed: until it is removed for good, a power
                // cut could bring the record back, so it stays to be retired before any other
                // kind of write.
                knowDisk(file, after, first);
                return Status::Ok();
            }
        }
        if (!compared) updateWrittenRuns(runs);
        // The whole file, atomically; first no intent may remain to be applied over it.
        Status s = retireDragTail(file);
        if (s.ok()) {
            const std::string text = joinedRunTexts(0, writtenLength);
            intake.noteHitsWriting(file.filename().string(), 0, text);
            s = writeFileAtomic(file, text, [&intake] { intake.noteHitsTaken(); });
        }
        if (!s.ok()) return s;
        if (const auto stamp = fileStamp(file)) knowDisk(file, *stamp, 0);
        return Status::Ok();
    }
};

DragRuns::DragRuns(DragHost& host) : host_(host), file_(std::make_unique<FileCache>()) {}

DragRuns::~DragRuns() = default;

// Copies drag.txt to drag_undelete.txt and to a history copy. A missing drag.txt has
// nothing to keep; any other failure is reported and stops the caller.
bool DragRuns::backupDragFile() {
    const std::filesystem::path file = dragFilePath();
    if (file.empty()) return true;
    std::error_code ec;
    if (!std::filesystem::exists(file, ec)) return true;
    const std::filesystem::path folder = file.parent_path();
    Status s = copyFileAtomic(file, folder / "drag_undelete.txt");
    if (s.ok()) s = copyFileAtomic(file, uniqueHistoryPath(folder, "drag_", nowSeconds(), ".txt"));
    if (!s.ok()) {
        host_.op().message("Не удалось сделать резервную копию drag.txt: " + s.message() + "\nУдаление отменено.",
                           "Ошибка", Operator::Icon::Error);
        return false;
    }
    return true;
}

std::string formatDragFile(const std::vector<TDragRaceItem>& runs) {
    std::string out;
    size_t hitCount = 0;
    for (const TDragRaceItem& run : runs) hitCount += run.hits[0].size() + run.hits[1].size();
    out.reserve(runs.size() * 64 + hitCount * 32);
    for (const TDragRaceItem& run : runs) appendRunText(run, out);
    return out;
}

std::string DragRuns::dragFileText(const std::vector<TDragRaceItem>& runs) {
    file_->updateWrittenRuns(runs);
    // The texts kept are now those of `runs`: the next save compares the runs whole.
    file_->changed.runs.clear();
    file_->changed.all = true;
    return file_->joinedRunTexts(0, file_->writtenLength);
}

std::vector<TDragRaceItem> parseDragFile(const std::vector<std::string>& lines) {
    std::vector<TDragRaceItem> runs;
    for (const std::string& text : lines) {
        const std::string_view line = text;
        if (beginsWith(line, kDragItemTag)) {
            TDragRaceItem run;
            parseDragItem(line, run);
            run.label = "#";
            run.label += std::to_string(run.runId);
            runs.push_back(std::move(run));
            continue;
        }
        int lane = -1;
        std::string_view tag;
        if (beginsWith(line, kLeftHitTag)) {
            lane = LANE_LEFT;
            tag = kLeftHitTag;
        } else if (beginsWith(line, kRightHitTag)) {
            lane = LANE_RIGHT;
            tag = kRightHitTag;
        } else {
            continue;
        }
        if (runs.empty()) continue; // a hit before any run belongs to nothing
        // Every hit line written is read back, whatever the timing mode: a hit the file
        // holds after a lane's finish stays in the run (and in the next save).
        runs.back().hits[lane].push_back(parseHit(line, tag));
    }
    return runs;
}

std::filesystem::path DragRuns::dragFilePath() const {
    const std::filesystem::path folder = host_.eventFolder();
    if (folder.empty()) return {};
    return folder / "drag.txt";
}

Status DragRuns::saveDragFile(SaveScope scope) {
    const std::filesystem::path file = dragFilePath();
    if (file.empty()) return Status::Error("no event folder");
    return reportSave(file, writeDragFile(file, scope));
}

Status DragRuns::writeDragFile(const std::filesystem::path& file, SaveScope scope) {
    // The marks are trusted only beside a drag.txt this program wrote and a run list of
    // the length it wrote; anything else is compared whole.
    if (scope == SaveScope::AllRuns || file_->changed.all || file_->disk.file != file ||
        file_->writtenRuns.size() != runs_.size()) {
        file_->updateWrittenRuns(runs_);
        file_->changed.runs.clear();
        file_->changed.all = false;
        return file_->writeDragFile(file, true, runs_, host_.hitIntake());
    }
    for (const size_t i : file_->changed.runs)
        if (i < runs_.size()) file_->updateWrittenRun(i, runs_[i]);
    file_->changed.runs.clear();
    return file_->writeDragFile(file, false, runs_, host_.hitIntake());
}

void DragRuns::markRunChanged(size_t index) {
    std::vector<size_t>& marked = file_->changed.runs;
    if (file_->changed.all || std::find(marked.begin(), marked.end(), index) != marked.end()) return;
    if (marked.size() == FileCache::kMarkedRunsLimit) {
        markAllRunsChanged();
        return;
    }
    file_->changed.runs.push_back(index);
}

void DragRuns::markAllRunsChanged() {
    file_->changed.runs.clear();
    file_->changed.all = true;
}

void DragRuns::commit(SaveScope scope, const std::vector<size_t>& changed) {
    (void)saveDragFile(scope);
    if (changed.size() == 1)
        host_.notifyRunChanged(*this, changed.front());
    else
        host_.notifyResultsThread(*this);
    host_.repaintGrid();
}

void DragRuns::loadDragFile() {
    currentRun_ = 0;
    runs_.clear();
    const std::filesystem::path file = dragFilePath();
    std::vector<std::string> lines;
    if (!file.empty()) {
        // What a crash cut short is finished (or dropped) before the file is read.
        file_->forgetDisk();
        file_->disk.recovered.clear();
        (void)reportSave(file, file_->recoverDragTail(file));
    }
    if (!file.empty() && readTextLines(file, lines).ok()) {
        runs_ = parseDragFile(lines);
        if (!runs_.empty()) currentRun_ = static_cast<int32_t>(runs_.size() - 1);
        // A racer registered after his run was made: his lane takes his only class.
        (void)giveClasslessLanesTheirClass();
    }
    host_.loadFinalBracketFile(*this);
    relayoutRuns();
    host_.notifyResultsThread(*this);
}

void DragRuns::relayoutRuns() {
    layoutRuns();
    host_.repaintGrid();
}

// relayoutRuns without the repaint, for the commands that repaint once at their end.
void DragRuns::layoutRuns() {
    markAllRunsChanged(); // recalculating sorts the hit lists
    int32_t row = 0;
    for (TDragRaceItem& run : runs_) {
        run.gridRow = row;
        run.gridRows = 2 + static_cast<int32_t>(std::max(run.hits[0].size(), run.hits[1].size()));
        row += run.gridRows;
        run.recalculate(host_);
    }
    if (host_.gridRowCount() != row) host_.setGridRowCount(row);
}

TDragRaceItem DragRuns::findRunById(int32_t runId) const {
    const int32_t index = runIndexById(runId);
    return index < 0 ? TDragRaceItem{} : runs_[static_cast<size_t>(index)];
}

void DragRuns::deleteRunOrHit(int flush) {
    if (flush == 1) {
        if (!backupDragFile()) return;
        const std::filesystem::path file = dragFilePath();
        if (!file.empty()) {
            if (!reportSave(file, file_->retireDragTail(file)).ok()) return;
            std::error_code ec;
            std::filesystem::remove(file, ec);
        }
        loadDragFile();
        return;
    }

    // The run and the hit are kept by identity across the question and found again after it.
    const std::optional<GridTarget> target = selectionTarget();
    bool deleted = false;
    if (target && target->lane == SELECTED_LANE_WHOLE_RUN) {
        if (host_.op().askYesNo("Точно удалить заезд целиком?", "")) {
            const int32_t index = findTargetRun(*target);
            if (index < 0) {
                host_.op().message(kRunGoneText, "Удаление", Operator::Icon::Warning);
            } else if (backupDragFile()) {
                if (index == currentRun_)
                    currentRun_ = -1;
                else if (index < currentRun_)
                    --currentRun_; // the current run keeps its place in the list
                runs_.erase(runs_.begin() + index);
                deleted = true;
            }
        }
    } else if (target && target->hit) {
        if (host_.op().askYesNo("Точно удалить запись?", "")) {
            const int32_t index = findTargetRun(*target);
            const int32_t hit = index < 0 ? -1 : findTargetHit(*target, runs_[static_cast<size_t>(index)]);
            if (hit < 0) {
                host_.op().message(index < 0 ? kRunGoneText : kHitGoneText, "Удаление", Operator::Icon::Warning);
            } else if (backupDragFile()) {
                auto& hits = runs_[static_cast<size_t>(index)].hits[static_cast<size_t>(target->lane)];
                hits.erase(hits.begin() + hit);
                deleted = true;
            }
        }
    }
    if (deleted) {
        clearRunSelection();
        layoutRuns();
        commit();
    } else {
        (void)saveDragFile(); // drag.txt is written even when nothing was deleted
    }
}

void DragRuns::undeleteRuns() {
    const std::filesystem::path file = dragFilePath();
    if (!file.empty()) {
        const std::filesystem::path undelete = file.parent_path() / "drag_undelete.txt";
        std::error_code ec;
        if (std::filesystem::exists(undelete, ec)) {
            // Keep the state being replaced, so an undelete can itself be undone by hand.
            if (std::filesystem::exists(file, ec)) {
                const Status s =
                    copyFileAtomic(file, uniqueHistoryPath(file.parent_path(), "drag_", nowSeconds(), ".txt"));
                if (!s.ok()) {
                    host_.op().message("Не удалось сделать резервную копию drag.txt: " + s.message() +
                                           "\nВосстановление отменено.",
                                       "Ошибка", Operator::Icon::Error);
                    return;
                }
            }
            Status s = file_->retireDragTail(file);
            if (s.ok()) s = copyFileAtomic(undelete, file);
            (void)reportSave(file, s);
        }
    }
    loadDragFile();
}

} // namespace velmaro
