#pragma once
// Loading the closed libraries from the program folder.
#include <filesystem>
#include <string>

namespace velmaro {

class SharedLibrary {
public:
    SharedLibrary() = default;
    ~SharedLibrary();
    SharedLibrary(const SharedLibrary&) = delete;
    SharedLibrary& operator=(const SharedLibrary&) = delete;

    // Loads the library; false (and error() says why) when it cannot be loaded.
    bool load(const std::filesystem::path& path);
    bool loaded() const { return handle_ != nullptr; }
    // Address of an exported symbol, or null.
    void* symbol(const char* name) const;
    void unload();
    const std::string& error() const { return error_; }

private:
    void* handle_ = nullptr;
    std::string error_;
};

} // namespace velmaro
