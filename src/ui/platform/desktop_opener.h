#pragma once
// Opens files with the desktop's default application: xdg-open, whose exit status tells
// whether an application took the file. It runs beside the console; its answer comes back
// on the main thread.
#include "core/platform/document_opener.h"

namespace velmaro {

class DesktopOpener final : public DocumentOpener {
public:
    void open(const std::filesystem::path& file, std::function<void()> failed) override;
};

} // namespace velmaro
