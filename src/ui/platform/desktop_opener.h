#pragma once
// Opens files with the desktop's default application (QDesktopServices).
#include "core/platform/document_opener.h"

namespace velmaro {

class DesktopOpener final : public DocumentOpener {
public:
    bool open(const std::filesystem::path& file) override;
};

} // namespace velmaro
