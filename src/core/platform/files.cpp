#include "core/platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <signal.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>

#include "core/platform/random.h"
#include "core/platform/text_codec.h"

namespace velmaro {
namespace fs = std::filesystem;

namespace {

std::function<void(const FileChange&)>& fileChangeObserver() {
    static std::function<void(const FileChange&)> observer;
    return observer;
}

// Tells the observer of a change or a flush, when one is set.
void tell(FileChange::Kind kind, const fs::path& path, std::uint64_t offset = 0, std::string_view bytes = {},
          const fs::path* to = nullptr) {
    if (const auto& observer = fileChangeObserver(); observer) [[unlikely]]
        observer(FileChange{kind, path, offset, bytes, to});
}

std::string errnoText(const std::string& what, const fs::path& path) {
    return what + " " + path.string() + ": " + std::strerror(errno);
}

constexpr std::string_view kTemporaryMark = ".tmp";

fs::path temporaryBeside(const fs::path& path) {
    fs::path tmp = path;
    tmp += std::string(kTemporaryMark) + std::to_string(::getpid()) + "_" + std::to_string(randomNumber() % 1000000);
    return tmp;
}

// Closes a descriptor on every way out of a scope.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() { (void)close(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // Takes `fd` in place of the one held (closed).
    void reset(int fd) {
        (void)close();
        fd_ = fd;
    }
    // Closes now; false (errno set) when the close itself failed.
    bool close() {
        if (fd_ < 0) return true;
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

bool writeAll(int fd, std::string_view content) {
    const char* p = content.data();
    size_t left = content.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    return true;
}

// Makes the rename itself durable: the folder's entry is flushed too.
bool syncFolder(const fs::path& folder) {
    Descriptor dir(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir.valid()) return false;
    if (::fsync(dir.get()) != 0) return false;
    tell(FileChange::Kind::FolderFlush, folder);
    return dir.close();
}

// "<name>.tmp<pid>_<n>": the pid of its writer, or nothing when `name` is not one.
std::optional<long> temporaryOwner(const std::string& name) {
    const std::size_t mark = name.rfind(kTemporaryMark);
    if (mark == std::string::npos || mark == 0) return std::nullopt;
    const std::string_view rest = std::string_view(name).substr(mark + kTemporaryMark.size());
    const std::size_t underscore = rest.find('_');
    if (underscore == std::string_view::npos || underscore == 0 || underscore + 1 == rest.size()) return std::nullopt;
    for (std::size_t i = 0; i < rest.size(); ++i)
        if (i != underscore && (rest[i] < '0' || rest[i] > '9')) return std::nullopt;
    long pid = 0;
    const auto [end, ec] = std::from_chars(rest.data(), rest.data() + underscore, pid);
    if (ec != std::errc() || end != rest.data() + underscore) return std::nullopt;
    return pid;
}

} // namespace

Status writeFileAtomic(const fs::path& path, std::string_view content) { return writeFileAtomic(path, content, {}); }

Status writeFileAtomic(const fs::path& path, std::string_view content, const std::function<void()>& inPlace) {
    const fs::path tmp = temporaryBeside(path);
    Descriptor file(::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (!file.valid()) return Status::Error(errnoText("cannot create", tmp));
    tell(FileChange::Kind::Write, tmp, 0, content);
    if (!writeAll(file.get(), content)) {
        Status st = Status::Error(errnoText("cannot write", tmp));
        (void)file.close();
        ::unlink(tmp.c_str());
        return st;
    }
    if (::fsync(file.get()) != 0 || !file.close()) {
        Status st = Status::Error(errnoText("cannot flush", tmp));
        (void)file.close();
        ::unlink(tmp.c_str());
        return st;
    }
    tell(FileChange::Kind::Flush, tmp);
    tell(FileChange::Kind::Rename, tmp, 0, {}, &path);
    if (::rename(tmp.c_str(), path.c_str()) != 0) {
        Status st = Status::Error(errnoText("cannot replace", path));
        ::unlink(tmp.c_str());
        return st;
    }
    if (inPlace) inPlace();
    // The new content is in place, but until the folder is flushed a power cut could
    // bring the old file back: that is reported.
    if (!syncFolder(path.parent_path())) return Status::Error(errnoText("cannot flush the folder of", path));
    return Status::Ok();
}

std::size_t removeLeftoverTemporaries(const fs::path& folder) {
    std::size_t removed = 0;
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec) return 0;
    for (const fs::directory_entry& entry : it) {
        std::error_code entryError;
        if (!entry.is_regular_file(entryError)) continue;
        const auto owner = temporaryOwner(entry.path().filename().string());
        if (!owner) continue;
        // A writer that is still running (another console on the same folder) keeps its file.
        if (*owner != ::getpid() && *owner > 0 && (::kill(static_cast<pid_t>(*owner), 0) == 0 || errno == EPERM))
            continue;
        if (fs::remove(entry.path(), entryError)) ++removed;
    }
    return removed;
}

Status readFile(const fs::path& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return Status::Error("cannot open " + path.string());
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) return Status::Error("cannot read " + path.string());
    return Status::Ok();
}

Status copyFileAtomic(const fs::path& from, const fs::path& to) {
    std::string content;
    Status st = readFile(from, content);
    if (!st.ok()) return st;
    return writeFileAtomic(to, content);
}

std::vector<std::string> splitTextLines(std::string_view text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        size_t stop = end == std::string_view::npos ? text.size() : end;
        std::string_view line = text.substr(start, stop - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(decodeLine(line));
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    return lines;
}

Status readTextLines(const fs::path& path, std::vector<std::string>& lines) {
    std::string content;
    Status st = readFile(path, content);
    if (!st.ok()) return st;
    lines = splitTextLines(content);
    return Status::Ok();
}

fs::path uniqueHistoryPath(const fs::path& folder, std::string_view stem, long long seconds, std::string_view ext) {
    const std::string base = std::string(stem) + std::to_string(seconds);
    fs::path candidate = folder / (base + std::string(ext));
    for (int n = 2; fs::exists(candidate); ++n)
        candidate = folder / (base + "_" + std::to_string(n) + std::string(ext));
    return candidate;
}

namespace {

// "VELTAIL1", offset, tail length, new length, checksum (each 8 bytes, little end first),
// then the tail.
constexpr std::string_view kTailMagic = "VELTAIL1";
constexpr std::size_t kTailHeader = 40;

void putNumber(std::string& out, std::uint64_t v) {
    for (int i = 0; i < 8; ++i) out += static_cast<char>((v >> (8 * i)) & 0xff);
}

std::uint64_t getNumber(std::string_view in, std::size_t at) {
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(in[at + static_cast<std::size_t>(i)]);
    return v;
}

// FNV-1a, 64 bits: enough to tell a whole record from a cut or mixed one.
std::uint64_t checksum(std::string_view head, std::string_view tail) {
    std::uint64_t h = 14695981039346656037ULL;
    for (std::string_view part : {head, tail})
        for (const char c : part) {
            h ^= static_cast<unsigned char>(c);
            h *= 1099511628211ULL;
        }
    return h;
}

bool pwriteAll(int fd, std::string_view content, std::uint64_t offset) {
    const char* p = content.data();
    size_t left = content.size();
    while (left > 0) {
        const ssize_t n = ::pwrite(fd, p, left, static_cast<off_t>(offset));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += n;
        left -= static_cast<size_t>(n);
        offset += static_cast<std::uint64_t>(n);
    }
    return true;
}

FileStamp stampOf(const struct stat& st) {
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
            static_cast<std::uint64_t>(st.st_size),
            static_cast<std::int64_t>(st.st_ctim.tv_sec) * 1'000'000'000 + st.st_ctim.tv_nsec};
}

// Puts the tail of a record in place: written at its offset, the file cut after it,
// flushed unless `flush` is false.
Status applyTail(const fs::path& path, std::uint64_t offset, std::string_view tail, FileStamp* after,
                 bool flush = true) {
    Descriptor file(::open(path.c_str(), O_WRONLY | O_CLOEXEC));
    if (!file.valid()) return Status::Error(errnoText("cannot open", path));
    struct stat st {};
    if (::fstat(file.get(), &st) != 0) return Status::Error(errnoText("cannot read the size of", path));
    if (static_cast<std::uint64_t>(st.st_size) < offset)
        return Status::Error("shorter than expected: " + path.string());
    tell(FileChange::Kind::Write, path, offset, tail);
    if (!pwriteAll(file.get(), tail, offset)) return Status::Error(errnoText("cannot write", path));
    tell(FileChange::Kind::Resize, path, offset + tail.size());
    if (::ftruncate(file.get(), static_cast<off_t>(offset + tail.size())) != 0)
        return Status::Error(errnoText("cannot cut", path));
    if (flush) {
        if (::fdatasync(file.get()) != 0) return Status::Error(errnoText("cannot flush", path));
        tell(FileChange::Kind::Flush, path);
    }
    if (after) {
        if (::fstat(file.get(), &st) != 0) return Status::Error(errnoText("cannot read the size of", path));
        *after = stampOf(st);
    }
    if (!file.close()) return Status::Error(errnoText("cannot close", path));
    return Status::Ok();
}

} // namespace

std::optional<FileStamp> fileStamp(const fs::path& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    return stampOf(st);
}

std::string fileTailRecord(std::uint64_t offset, std::string_view tail) {
    std::string record(kTailMagic);
    putNumber(record, offset);
    putNumber(record, tail.size());
    putNumber(record, offset + tail.size());
    putNumber(record, checksum(record, tail));
    record += tail;
    return record;
}

namespace {

// Writes the record of a tail write to `intent` and flushes it (with its folder entry
// when the file is new); the descriptor stays open for the caller.
Status writeIntent(const fs::path& intent, std::uint64_t offset, std::string_view tail, Descriptor& log) {
    const std::string record = fileTailRecord(offset, tail);
    bool created = false;
    int fd = ::open(intent.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) {
        fd = ::open(intent.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        created = true; // its folder entry is flushed too
    }
    log.reset(fd);
    if (!log.valid()) return Status::Error(errnoText("cannot create", intent));
    tell(FileChange::Kind::Write, intent, 0, record);
    if (!pwriteAll(log.get(), record, 0)) return Status::Error(errnoText("cannot write", intent));
    tell(FileChange::Kind::Resize, intent, record.size());
    if (::ftruncate(log.get(), static_cast<off_t>(record.size())) != 0 || ::fdatasync(log.get()) != 0)
        return Status::Error(errnoText("cannot write", intent));
    tell(FileChange::Kind::Flush, intent);
    if (created && !syncFolder(intent.parent_path())) return Status::Error(errnoText("cannot write", intent));
    return Status::Ok();
}

// The record of an intent file when it is whole: its offset and tail.
std::optional<std::pair<std::uint64_t, std::string_view>> wholeRecord(std::string_view record) {
    if (record.size() < kTailHeader || record.substr(0, 8) != kTailMagic) return std::nullopt;
    const std::uint64_t offset = getNumber(record, 8);
    const std::uint64_t length = getNumber(record, 16);
    if (getNumber(record, 24) != offset + length || length > record.size() - kTailHeader ||
        getNumber(record, 32) != checksum(record.substr(0, 32), record.substr(kTailHeader, length)))
        return std::nullopt;
    return std::pair{offset, record.substr(kTailHeader, length)};
}

} // namespace

fs::path fileTailIntent(const fs::path& path) {
    fs::path intent = path;
    intent += ".tail";
    return intent;
}

Status writeFileTail(const fs::path& path, const fs::path& intent, std::uint64_t offset, std::string_view tail,
                     FileStamp& after, const std::function<void()>& sure) {
    Descriptor log(-1);
    // The intent is whole and on disk before the file is touched.
    if (Status st = writeIntent(intent, offset, tail, log); !st.ok()) return st;
    if (sure) sure();
    const Status applied = applyTail(path, offset, tail, &after);
    if (!applied.ok()) return applied;
    // Emptied, not flushed: should the emptying be lost, the record is applied once more
    // over the file it already made, which changes nothing.
    tell(FileChange::Kind::Resize, intent, 0);
    if (::ftruncate(log.get(), 0) != 0) return Status::Error(errnoText("cannot empty", intent));
    if (!log.close()) return Status::Error(errnoText("cannot close", intent));
    return Status::Ok();
}

Status writeGrowingFileTail(const fs::path& path, const fs::path& intent, std::uint64_t offset, std::string_view tail,
                            FileStamp& after, bool earlierTailUnflushed) {
    // The intent is overwritten in place: a power cut in the middle leaves neither record
    // whole, so what the one there stands for goes to the disk first.
    if (earlierTailUnflushed)
        if (Status st = flushFile(path); !st.ok()) return st;
    Descriptor log(-1);
    if (Status st = writeIntent(intent, offset, tail, log); !st.ok()) return st;
    if (!log.close()) return Status::Error(errnoText("cannot close", intent));
    // Not flushed: the intent on disk holds the tail until the file's next flush.
    return applyTail(path, offset, tail, &after, false);
}

Status flushFile(const fs::path& path) {
    Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.valid()) return Status::Error(errnoText("cannot open", path));
    if (::fdatasync(file.get()) != 0) return Status::Error(errnoText("cannot flush", path));
    tell(FileChange::Kind::Flush, path);
    return Status::Ok();
}

Status appendFile(const fs::path& path, std::string_view content, FileStamp& after) {
    Descriptor file(::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC));
    const bool created = !file.valid() && errno == ENOENT;
    if (created) file.reset(::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644));
    if (!file.valid()) return Status::Error(errnoText("cannot open", path));
    struct stat st {};
    if (::fstat(file.get(), &st) != 0) return Status::Error(errnoText("cannot read the size of", path));
    tell(FileChange::Kind::Write, path, static_cast<std::uint64_t>(st.st_size), content);
    if (!writeAll(file.get(), content)) return Status::Error(errnoText("cannot write", path));
    if (::fdatasync(file.get()) != 0) return Status::Error(errnoText("cannot flush", path));
    tell(FileChange::Kind::Flush, path);
    // A new file's name is on the disk too, or a power cut could take it with its lines.
    if (created && !syncFolder(path.parent_path())) return Status::Error(errnoText("cannot flush the folder of", path));
    if (::fstat(file.get(), &st) != 0) return Status::Error(errnoText("cannot read the size of", path));
    after = stampOf(st);
    if (!file.close()) return Status::Error(errnoText("cannot close", path));
    return Status::Ok();
}

std::uint64_t contentChecksum(std::string_view bytes) { return checksum({}, bytes); }

bool fileHoldsAt(const fs::path& path, std::uint64_t offset, std::uint64_t length, std::uint64_t sum) {
    Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.valid()) return false;
    std::string bytes(length, '\0');
    std::size_t got = 0;
    while (got < length) {
        const ssize_t n = ::pread(file.get(), bytes.data() + got, length - got, static_cast<off_t>(offset + got));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        got += static_cast<std::size_t>(n);
    }
    return contentChecksum(bytes) == sum;
}

namespace {

// recoverFileTail, and with `growing` recoverGrowingFileTail.
Status recoverTail(const fs::path& path, const fs::path& intent, bool growing) {
    {
        std::error_code ec;
        if (!fs::exists(intent, ec)) return Status::Ok();
    }
    std::string record;
    Status st = readFile(intent, record);
    if (!st.ok()) return st;
    const auto stamp = fileStamp(path);
    // An intent for a file shorter than its offset is not this file's: dropped.
    if (const auto whole = wholeRecord(record); whole && stamp && stamp->size >= whole->first) {
        const auto [offset, tail] = *whole;
        // A growing file that holds the tail may go on with appends after it: kept so.
        if (!growing || !fileHoldsAt(path, offset, tail.size(), contentChecksum(tail))) {
            st = applyTail(path, offset, tail, nullptr);
            if (!st.ok()) return st;
        }
    }
    // What the intent stood for is on the disk before the intent goes.
    if (growing && stamp) {
        st = flushFile(path);
        if (!st.ok()) return st;
    }
    return retireFileTail(intent);
}

} // namespace

Status recoverFileTail(const fs::path& path, const fs::path& intent) { return recoverTail(path, intent, false); }

Status recoverGrowingFileTail(const fs::path& path, const fs::path& intent) { return recoverTail(path, intent, true); }

Status retireFileTail(const fs::path& intent) {
    tell(FileChange::Kind::Remove, intent);
    if (::unlink(intent.c_str()) != 0) {
        if (errno == ENOENT) return Status::Ok();
        return Status::Error(errnoText("cannot remove", intent));
    }
    if (!syncFolder(intent.parent_path())) return Status::Error(errnoText("cannot flush the folder of", intent));
    return Status::Ok();
}

void setFileChangeObserver(std::function<void(const FileChange&)> observer) {
    fileChangeObserver() = std::move(observer);
}

} // namespace velmaro
