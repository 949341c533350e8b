#include "core/platform/program_folder.h"

#include <cstdlib>
#include <mutex>
#include <system_error>

namespace velmaro {
namespace fs = std::filesystem;

namespace {
std::mutex gFolderLock;
fs::path gFolder;

fs::path defaultFolder() {
    if (const char* home = std::getenv("VELMARO_HOME"); home && *home) return fs::path(home);
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) return exe.parent_path();
    return fs::current_path();
}
} // namespace

fs::path programFolder() {
    std::lock_guard lock(gFolderLock);
    if (gFolder.empty()) gFolder = defaultFolder();
    return gFolder;
}

void setProgramFolder(const fs::path& folder) {
    std::lock_guard lock(gFolderLock);
    gFolder = folder;
}

} // namespace velmaro
