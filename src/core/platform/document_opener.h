#pragma once
// Shows an exported file (workbook, CSV) to the official in the desktop's own application.
// The window side opens it with the desktop's default application; tests record the path.
#include <filesystem>
#include <functional>
#include <vector>

namespace velmaro {

class DocumentOpener {
public:
    DocumentOpener() = default;
    DocumentOpener(const DocumentOpener&) = delete;
    DocumentOpener& operator=(const DocumentOpener&) = delete;
    virtual ~DocumentOpener() = default;
    // Starts showing `file`. `failed` runs on the calling thread, at once or once the
    // desktop has answered, when no application could be started for the file.
    virtual void open(const std::filesystem::path& file, std::function<void()> failed) = 0;
};

class Operator;
// After an export: each file of `written` is named in the log window, then `shown` (one
// of them) is opened. When nothing opens it, the official is told where the files are
// by a message of `op`: that answer may come after this has returned, so `op` is the
// console's question desk (or another operator that outlives the opener).
void showExportedFiles(DocumentOpener& opener, Operator& op, const std::vector<std::filesystem::path>& written,
                       const std::filesystem::path& shown);

} // namespace velmaro
