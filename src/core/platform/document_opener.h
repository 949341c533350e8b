#pragma once
// Shows an exported file (workbook, CSV) to the official in the desktop's own application.
// The window side opens it with the desktop's default application; tests record the path.
#include <filesystem>

namespace velmaro {

class DocumentOpener {
public:
    DocumentOpener() = default;
    DocumentOpener(const DocumentOpener&) = delete;
    DocumentOpener& operator=(const DocumentOpener&) = delete;
    virtual ~DocumentOpener() = default;
    // False when no application could be started for the file.
    virtual bool open(const std::filesystem::path& file) = 0;
};

class Operator;
// Opens `file`; when nothing can open it, tells the official where the file is.
void showExportedFile(DocumentOpener& opener, Operator& op, const std::filesystem::path& file);

} // namespace velmaro
