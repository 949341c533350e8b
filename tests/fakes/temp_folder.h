#pragma once
// A fresh folder under the system temp dir, removed at the end of the test.
#include <filesystem>
#include <string>

namespace velmaro::test {

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
    // Writes a file inside the folder (creating sub-folders), for fixtures.
    void write(const std::string& name, const std::string& content) const;
    std::string read(const std::string& name) const;

private:
    std::filesystem::path path_;
};

} // namespace velmaro::test
