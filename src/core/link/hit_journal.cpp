#include "core/link/hit_journal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>

#include "core/link/system_interface.h"
#include "core/platform/files.h"

namespace velmaro {

HitJournal::HitJournal(std::filesystem::path file) : file_(std::move(file)) {}

HitJournal::~HitJournal() {
    if (fd_ >= 0) {
        if (dirty_) ::fdatasync(fd_);
        ::close(fd_);
    }
}

bool HitJournal::open() {
    if (fd_ >= 0) return true;
    fd_ = ::open(file_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd_ < 0) {
        error_ = "cannot open " + file_.string() + ": " + std::strerror(errno);
        return false;
    }
    struct stat st {};
    holdsLines_ = ::fstat(fd_, &st) == 0 && st.st_size > 0;
    return true;
}

std::string HitJournal::line(const TSignalHit& hit) {
    std::string text;
    text.reserve(40);
    char buf[24];
    const auto put = [&](auto value, char after) {
        text.append(buf, std::to_chars(buf, buf + sizeof buf, value).ptr);
        text += after;
    };
    put(hit.node, ',');
    put(hit.signal, ',');
    put(hit.time, '\n');
    return text;
}

bool HitJournal::append(const TSignalHit& hit, std::uint64_t nowMs) { return write(line(hit), nowMs); }

bool HitJournal::appendTaken(const std::vector<TSignalHit>& hits, std::uint64_t nowMs) {
    std::string text;
    text.reserve(hits.size() * 32);
    for (const TSignalHit& hit : hits) {
        text += "T,";
        text += line(hit);
    }
    return text.empty() || write(text, nowMs);
}

bool HitJournal::appendWriting(const std::vector<JournalWrite>& writes, std::uint64_t nowMs) {
    std::string text;
    char buf[24];
    const auto put = [&](auto value, char after) {
        text.append(buf, std::to_chars(buf, buf + sizeof buf, value).ptr);
        text += after;
    };
    for (const JournalWrite& w : writes) {
        text += "P,";
        text += w.file;
        text += ',';
        put(w.offset, ',');
        put(w.length, ',');
        put(w.checksum, ',');
        put(w.hit.node, ',');
        put(w.hit.signal, ',');
        put(w.hit.time, '\n');
    }
    return text.empty() || write(text, nowMs);
}

bool HitJournal::write(const std::string& text, std::uint64_t nowMs) {
    if (fd_ < 0) return false;
    ssize_t n;
    do n = ::write(fd_, text.data(), text.size());
    while (n < 0 && errno == EINTR);
    if (n != static_cast<ssize_t>(text.size())) {
        error_ = "cannot write " + file_.string() + ": " + (n < 0 ? std::strerror(errno) : "short write");
        // A part of a line may be in the file: end it, so the next line stays readable.
        if (n > 0) (void)!::write(fd_, "\n", 1);
        return false;
    }
    if (!dirty_) {
        dirty_ = true;
        dirtySince_ = nowMs;
    }
    holdsLines_ = true;
    return true;
}

int HitJournal::takeDueSync(std::uint64_t nowMs, bool force) {
    if (fd_ < 0 || !dirty_) return -1;
    if (!force && nowMs - dirtySince_ < kSyncPeriodMs && nowMs >= dirtySince_) return -1;
    dirty_ = false;
    return fd_;
}

bool HitJournal::clear() {
    if (fd_ < 0) return false;
    if (::ftruncate(fd_, 0) != 0) {
        error_ = "cannot empty " + file_.string() + ": " + std::strerror(errno);
        return false;
    }
    holdsLines_ = false;
    dirty_ = true; // the new length goes to the disk with the next flush
    return true;
}

namespace {

// Comma-separated decimal fields read from the front of a line.
class Fields {
public:
    explicit Fields(std::string_view line) : p_(line.data()), stop_(line.data() + line.size()) {}
    // The next field; `last`: it must end the line. False once any field was not whole.
    template <class T>
    bool next(T& value, bool last) {
        if (!ok_) return false;
        const auto r = std::from_chars(p_, stop_, value);
        ok_ = r.ec == std::errc{} && (last ? r.ptr == stop_ : r.ptr != stop_ && *r.ptr == ',');
        p_ = r.ptr + 1;
        return ok_;
    }

private:
    const char* p_;
    const char* stop_;
    bool ok_ = true;
};

bool readHit(std::string_view line, TSignalHit& hit) {
    Fields f(line);
    return f.next(hit.node, false) && f.next(hit.signal, false) && f.next(hit.time, true);
}

bool readWrite(std::string_view line, JournalWrite& w) {
    const std::size_t comma = line.find(',');
    if (comma == std::string_view::npos || comma == 0) return false;
    w.file = std::string(line.substr(0, comma));
    Fields f(line.substr(comma + 1));
    return f.next(w.offset, false) && f.next(w.length, false) && f.next(w.checksum, false) &&
           f.next(w.hit.node, false) && f.next(w.hit.signal, false) && f.next(w.hit.time, true);
}

} // namespace

HitJournal::Contents HitJournal::readAll(const std::filesystem::path& file) {
    Contents out;
    std::string text;
    if (!readFile(file, text).ok()) return out;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        std::string_view line(text.data() + start, end - start);
        if (line.starts_with("T,")) {
            TSignalHit hit;
            if (readHit(line.substr(2), hit)) out.taken.push_back(hit);
        } else if (line.starts_with("P,")) {
            JournalWrite w;
            if (readWrite(line.substr(2), w)) out.writes.push_back(std::move(w));
        } else {
            TSignalHit hit;
            if (readHit(line, hit)) out.hits.push_back(hit);
        }
    }
    return out;
}

std::vector<TSignalHit> HitJournal::read(const std::filesystem::path& file) { return readAll(file).hits; }

std::vector<TSignalHit> HitJournal::readTaken(const std::filesystem::path& file) { return readAll(file).taken; }

std::vector<JournalWrite> HitJournal::readWriting(const std::filesystem::path& file) { return readAll(file).writes; }

} // namespace velmaro
