// Feeds every file of the given folders (or the files named) to one fuzz target, the way
// libFuzzer would: fuzz_replay <target> <folder or file>... A crash or a failed check
// ends the program, so ctest sees the input that broke a reader.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "core/platform/files.h"
#include "fuzz_targets.h"

int main(int argc, char** argv) {
    using namespace velmaro;
    if (argc < 3) {
        std::fprintf(stderr, "usage: fuzz_replay <target> <folder|file>...\n");
        return 2;
    }
    const fuzz::TargetFunction run = fuzz::findTarget(argv[1]);
    if (!run) {
        std::fprintf(stderr, "no fuzz target %s\n", argv[1]);
        return 2;
    }
    std::vector<std::filesystem::path> files;
    for (int i = 2; i < argc; ++i) {
        const std::filesystem::path p = argv[i];
        if (std::filesystem::is_directory(p)) {
            for (const auto& entry : std::filesystem::directory_iterator(p))
                if (entry.is_regular_file()) files.push_back(entry.path());
        } else {
            files.push_back(p);
        }
    }
    std::sort(files.begin(), files.end());
    for (const auto& file : files) {
        std::string bytes;
        if (!readFile(file, bytes).ok()) {
            std::fprintf(stderr, "cannot read %s\n", file.c_str());
            return 1;
        }
        std::fprintf(stderr, "%s\n", file.filename().c_str());
        run(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }
    std::printf("%s: %zu inputs\n", argv[1], files.size());
    return files.empty() ? 1 : 0;
}
