#include "fakes/crash_cuts.h"

#include <fstream>
#include <set>
#include <stdexcept>

namespace velmaro::test {
namespace fs = std::filesystem;

namespace {

std::string readAll(const fs::path& file) {
    std::string text;
    if (!readFile(file, text).ok()) throw std::runtime_error("cannot read " + file.string());
    return text;
}

// `content` with the first `length` bytes of `bytes` written at `offset`.
std::string patched(std::string content, std::uint64_t offset, std::string_view bytes, std::size_t length) {
    if (content.size() < offset + length) content.resize(std::max<std::size_t>(content.size(), offset + length));
    content.replace(offset, length, bytes.substr(0, length));
    return content;
}

} // namespace

CrashCuts::CrashCuts(fs::path folder) : folder_(std::move(folder)) {
    setFileChangeObserver([this](const FileChange& change) { changed(change); });
}

CrashCuts::~CrashCuts() { setFileChangeObserver({}); }

int CrashCuts::idOf(const std::string& name) {
    const auto [it, added] = names_.try_emplace(name, next_);
    if (added) ++next_;
    return it->second;
}

CrashCuts::Files CrashCuts::killFiles() {
    Files files;
    for (const fs::directory_entry& e : fs::directory_iterator(folder_))
        if (e.is_regular_file()) files[e.path().filename().string()] = readAll(e.path());
    return files;
}

CrashCuts::Files CrashCuts::powerFiles() {
    Files files;
    for (const auto& [name, id] : flushedNames_) {
        const auto data = flushed_.find(id);
        files[name] = data == flushed_.end() ? std::string() : data->second;
    }
    return files;
}

void CrashCuts::cutAt(const std::string& where, const Files& kill, const Files& power) {
    cuts_.push_back({where + ", kill", kill, mark_});
    cuts_.push_back({where + ", power cut", power, mark_});
}

void CrashCuts::cutNow(const std::string& where) { cutAt(where, killFiles(), powerFiles()); }

void CrashCuts::changed(const FileChange& change) {
    using Kind = FileChange::Kind;
    if (change.kind == Kind::FolderFlush) {
        if (change.path.lexically_normal() != folder_.lexically_normal()) return;
        flushedNames_.clear();
        for (const fs::directory_entry& e : fs::directory_iterator(folder_)) {
            const std::string name = e.path().filename().string();
            if (e.is_regular_file()) flushedNames_[name] = idOf(name);
        }
        return;
    }
    if (change.path.parent_path().lexically_normal() != folder_.lexically_normal()) return;
    const std::string name = change.path.filename().string();
    const int id = idOf(name);
    if (change.kind == Kind::Flush) {
        flushed_[id] = readAll(change.path);
        return;
    }
    const Files kill = killFiles();
    const Files power = powerFiles();
    static const char* const kinds[] = {"write", "resize", "rename", "remove"};
    const std::string where = std::string(kinds[int(change.kind)]) + " of " + name + " (" +
                              std::to_string(change.bytes.size()) + " bytes at " + std::to_string(change.offset) + ")";
    cutAt(where + " not begun", kill, power);
    switch (change.kind) {
    case Kind::Write: {
        const std::size_t n = change.bytes.size();
        std::set<std::size_t> parts;
        for (const std::size_t k : {std::size_t(1), n / 4, n / 2, 3 * n / 4, n - 1})
            if (k > 0 && k < n) parts.insert(k);
        for (const std::size_t k : parts) {
            Files killPart = kill;
            killPart[name] = patched(kill.count(name) ? kill.at(name) : "", change.offset, change.bytes, k);
            // Under a power cut the part reached the disk over the data last flushed.
            Files powerPart = power;
            for (const auto& [flushedName, flushedId] : flushedNames_)
                if (flushedId == id)
                    powerPart[flushedName] = patched(power.at(flushedName), change.offset, change.bytes, k);
            cutAt(where + ", " + std::to_string(k) + " bytes done", killPart, powerPart);
        }
        break;
    }
    case Kind::Rename:
        names_[change.to->filename().string()] = id;
        names_.erase(name);
        break;
    case Kind::Remove: names_.erase(name); break;
    default: break;
    }
}

void CrashCuts::lay(const fs::path& folder, const Files& files) {
    for (const fs::directory_entry& e : fs::directory_iterator(folder)) fs::remove_all(e.path());
    for (const auto& [name, content] : files) {
        std::ofstream out(folder / name, std::ios::binary);
        out << content;
        if (!out) throw std::runtime_error("cannot write " + (folder / name).string());
    }
}

} // namespace velmaro::test
