#pragma once
// File access used by every event file: atomic whole-file rewrites and line reading.
//
// Every file the console writes is replaced atomically: the new content goes to a
// temporary file beside the target, is flushed to disk, then renamed over the target,
// so a crash leaves either the old file or the new one, never half of one.
#include <filesystem>
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

// Removes from `folder` (not below it) the temporary files writeFileAtomic leaves when the
// program dies between writing and renaming; those of a writer that is still running are
// kept. Call at start-up before anything writes into the folder. Returns how many went.
std::size_t removeLeftoverTemporaries(const std::filesystem::path& folder);

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
std::filesystem::path uniqueHistoryPath(const std::filesystem::path& folder, std::string_view stem,
                                        long long seconds, std::string_view ext);

} // namespace velmaro
