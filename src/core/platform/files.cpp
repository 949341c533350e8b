#include "core/platform/files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>

#include "core/platform/text_codec.h"

namespace velmaro {
namespace fs = std::filesystem;

namespace {

std::string errnoText(const std::string& what, const fs::path& path) {
    return what + " " + path.string() + ": " + std::strerror(errno);
}

fs::path temporaryBeside(const fs::path& path) {
    static thread_local std::mt19937_64 rng{std::random_device{}()};
    fs::path tmp = path;
    tmp += ".tmp" + std::to_string(::getpid()) + "_" + std::to_string(rng() % 1000000);
    return tmp;
}

} // namespace

Status writeFileAtomic(const fs::path& path, std::string_view content) {
    const fs::path tmp = temporaryBeside(path);
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return Status::Error(errnoText("cannot create", tmp));
    const char* p = content.data();
    size_t left = content.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            Status st = Status::Error(errnoText("cannot write", tmp));
            ::close(fd);
            ::unlink(tmp.c_str());
            return st;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0) {
        Status st = Status::Error(errnoText("cannot flush", tmp));
        ::unlink(tmp.c_str());
        return st;
    }
    if (::rename(tmp.c_str(), path.c_str()) != 0) {
        Status st = Status::Error(errnoText("cannot replace", path));
        ::unlink(tmp.c_str());
        return st;
    }
    return Status::Ok();
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

fs::path uniqueHistoryPath(const fs::path& folder, std::string_view stem, long long seconds,
                           std::string_view ext) {
    const std::string base = std::string(stem) + std::to_string(seconds);
    fs::path candidate = folder / (base + std::string(ext));
    for (int n = 2; fs::exists(candidate); ++n)
        candidate = folder / (base + "_" + std::to_string(n) + std::string(ext));
    return candidate;
}

} // namespace velmaro
