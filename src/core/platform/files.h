#pragma once
// File access used by every event file: atomic whole-file rewrites and line reading.
//
// Every file the console writes is replaced atomically: the new content goes to a
// temporary file beside the target, is flushed to disk, then renamed over the target,
// so a crash leaves either the old file or the new one, never half of one.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/platform/status.h"

namespace velmaro {

// Replaces `path` with `content`, atomically: written to "<path>.tmp<pid>_<n>", flushed,
// renamed over `path`, then the folder flushed so the rename survives a power cut. The
// temporary file is removed on every failure before the rename, and no descriptor stays
// open on any path.
Status writeFileAtomic(const std::filesystem::path& path, std::string_view content);
// The same; `inPlace` runs right after the rename, the moment from which a crash of the
// program keeps the new content.
Status writeFileAtomic(const std::filesystem::path& path, std::string_view content,
                       const std::function<void()>& inPlace);

// Removes from `folder` (not below it) the temporary files writeFileAtomic leaves when the
// program dies between writing and renaming; those of a writer that is still running are
// kept. Call at start-up before anything writes into the folder. Returns how many went.
std::size_t removeLeftoverTemporaries(const std::filesystem::path& folder);

// Who a file is and how it was left: enough to tell that nobody replaced or changed it
// since it was last written here (a rename over it gives another inode; a write moves the
// size or the change time).
struct FileStamp {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t changedNs = 0;
    bool operator==(const FileStamp&) const = default;
};
// The stamp of `path` now; nothing when it cannot be read.
std::optional<FileStamp> fileStamp(const std::filesystem::path& path);

// Replaces the bytes of `path` from `offset` on with `tail` (the file then ends after it),
// without rewriting the part before, crash-safely through the intent file `intent`: the
// record (offset, tail, new length, checksum) is written to `intent` and flushed first,
// then the tail goes into `path`, which is flushed, and the intent is emptied. A crash
// leaves either a whole intent (recoverFileTail applies it again) or a cut one written
// before `path` was touched (it is dropped; `path` is as it was). The caller must know
// that `path` holds at least `offset` bytes it wants kept. On success `after` is the
// stamp of `path` as written. A failure after the intent was flushed leaves the intent:
// the caller must write the whole file next (retireFileTail first). `sure`, when given,
// runs right after the intent is flushed: from then on a crash keeps the new tail.
Status writeFileTail(const std::filesystem::path& path, const std::filesystem::path& intent, std::uint64_t offset,
                     std::string_view tail, FileStamp& after, const std::function<void()>& sure = {});

// The intent file of `path` for its tail writes: "<path>.tail".
std::filesystem::path fileTailIntent(const std::filesystem::path& path);

// writeFileTail for a file that otherwise only grows, by appends each flushed (hitlog.txt),
// with one flush instead of two: the record is written to `intent` and flushed, then the
// tail goes into `path` without a flush, and the intent is kept. It stands for the tail
// until `path` is next flushed (an append's flush, flushFile). The intent is overwritten
// in place, which a power cut can tear: `earlierTailUnflushed` (an earlier such write and
// no flush since) has `path` flushed first, so that the record overwritten no longer
// matters. Such a file is read only after recoverGrowingFileTail.
Status writeGrowingFileTail(const std::filesystem::path& path, const std::filesystem::path& intent,
                            std::uint64_t offset, std::string_view tail, FileStamp& after, bool earlierTailUnflushed);
// Before a file written by writeGrowingFileTail is read or replaced: a whole intent is
// applied unless `path` already holds its tail at its offset (then what follows the tail
// was appended since, and stays); a cut or foreign one is dropped; `path` is flushed and
// the intent file removed for good.
Status recoverGrowingFileTail(const std::filesystem::path& path, const std::filesystem::path& intent);
// Flushes the data of `path` to the disk.
Status flushFile(const std::filesystem::path& path);

// FNV-1a (64 bits) of `bytes`: enough to tell written bytes from others.
std::uint64_t contentChecksum(std::string_view bytes);
// Whether `path` holds `length` bytes at `offset` whose contentChecksum is `checksum`.
bool fileHoldsAt(const std::filesystem::path& path, std::uint64_t offset, std::uint64_t length, std::uint64_t checksum);

// Before `path` is read: a whole intent is applied again (harmless when it already was),
// a cut or foreign one is dropped; either way the intent file is removed for good. No
// intent file: nothing to do.
Status recoverFileTail(const std::filesystem::path& path, const std::filesystem::path& intent);

// Removes the intent file for good (flushed), so no intent can be applied over `path`
// once it is replaced some other way. Call before any such replacement.
Status retireFileTail(const std::filesystem::path& intent);

// The intent record writeFileTail puts in the intent file (tests).
std::string fileTailRecord(std::uint64_t offset, std::string_view tail);

// Appends `content` to `path` and flushes it; a file it creates has its folder entry
// flushed too. `after` is the stamp of `path` as written.
Status appendFile(const std::filesystem::path& path, std::string_view content, FileStamp& after);

// Copies `from` over `to`, atomically (the target is never half-copied).
Status copyFileAtomic(const std::filesystem::path& from, const std::filesystem::path& to);

// Reads the whole file as bytes. Fails when the file cannot be opened.
Status readFile(const std::filesystem::path& path, std::string& out);

// Reads a text file as lines: split on LF, a trailing CR dropped, every line decoded
// to UTF-8 (a line that is not valid UTF-8 is taken as CP1251). No length limit.
// A missing file fails; an empty file gives no lines.
Status readTextLines(const std::filesystem::path& path, std::vector<std::string>& lines);

// Splits text into lines the same way (LF or CR LF), decoding each line.
std::vector<std::string> splitTextLines(std::string_view text);

// A history-copy name that does not exist yet: "<stem><seconds><ext>", and when that
// is taken, "<stem><seconds>_2<ext>", "_3" and so on, so two copies in one second both survive.
std::filesystem::path uniqueHistoryPath(const std::filesystem::path& folder, std::string_view stem, long long seconds,
                                        std::string_view ext);

// ---- what a crash would cut (tests)
// Each change this file's functions make to a file, told just before it is made, and each
// flush, told once it is done: enough for a test to build what a kill (every byte written
// so far) or a power cut (only what was flushed) at any moment would leave. Nothing is told
// while no observer is set, which is always so outside tests.
struct FileChange {
    enum class Kind {
        Write,       // `bytes` at `offset` of `path`
        Resize,      // `path` cut or grown to `offset` bytes
        Rename,      // `path` renamed to `to`
        Remove,      // `path` unlinked
        Flush,       // the data of `path` is on the disk
        FolderFlush, // the names in the folder `path` are on the disk
    };
    Kind kind;
    const std::filesystem::path& path;
    std::uint64_t offset = 0;
    std::string_view bytes;
    const std::filesystem::path* to = nullptr;
};
// Sets the one observer (an empty one to stop). Not for use while files are written.
void setFileChangeObserver(std::function<void(const FileChange&)> observer);

} // namespace velmaro
