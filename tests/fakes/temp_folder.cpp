#include "fakes/temp_folder.h"

#include <cstdlib>

#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace velmaro::test {
namespace fs = std::filesystem;

TempFolder::TempFolder() {
    std::random_device rd;
    for (int i = 0; i < 100; ++i) {
        fs::path p = fs::temp_directory_path() / ("velmaro_test_" + std::to_string(rd()));
        if (fs::create_directory(p)) {
            path_ = p;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

TempFolder::~TempFolder() {
    // VELMARO_KEEP_TEMP keeps the folders, to look at what a test wrote.
    if (std::getenv("VELMARO_KEEP_TEMP")) return;
    std::error_code ec;
    fs::remove_all(path_, ec);
}

void TempFolder::write(const std::string& name, const std::string& content) const {
    fs::path p = path_ / name;
    fs::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary);
    out << content;
}

std::string TempFolder::read(const std::string& name) const {
    std::ifstream in(path_ / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace velmaro::test
