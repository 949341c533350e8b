#pragma once
// What a crash at any moment of the file writes in one folder would leave, built from the
// changes files.cpp tells (setFileChangeObserver) while the test runs: before every change,
// the folder as a kill leaves it (every byte written so far, flushed or not) and as a power
// cut leaves it (a file's data as of its last flush, the names as of the folder's last
// flush); for a write, also with only a part of it done (torn by the kill, or reached the
// disk on its own before the power went).
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "core/platform/files.h"

namespace velmaro::test {

class CrashCuts {
public:
    using Files = std::map<std::string, std::string>; // name in the folder -> content
    struct Cut {
        std::string where; // the change, how much of it was done, kill or power cut
        Files files;
        int mark; // the test's mark when the cut was taken
    };

    // Watches `folder`, which is to be empty (its files before the test are not modelled).
    explicit CrashCuts(std::filesystem::path folder);
    ~CrashCuts(); // stops watching
    CrashCuts(const CrashCuts&) = delete;
    CrashCuts& operator=(const CrashCuts&) = delete;

    // Stored with every cut taken from now on.
    void setMark(int mark) { mark_ = mark; }
    // The kill and the power cut at this moment.
    void cutNow(const std::string& where);
    const std::vector<Cut>& cuts() const { return cuts_; }

    // Makes `folder` hold exactly `files`.
    static void lay(const std::filesystem::path& folder, const Files& files);

private:
    void changed(const FileChange& change);
    int idOf(const std::string& name);
    Files killFiles();
    Files powerFiles();
    void cutAt(const std::string& where, const Files& kill, const Files& power);

    std::filesystem::path folder_;
    int mark_ = 0;
    int next_ = 0;
    std::map<std::string, int> names_;        // names now -> file
    std::map<std::string, int> flushedNames_; // names as of the last flush of the folder
    std::map<int, std::string> flushed_;      // file -> its data as of its last flush
    std::vector<Cut> cuts_;
};

} // namespace velmaro::test
