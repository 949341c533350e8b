#pragma once
// A document opener that records the files it was asked to show.
#include <filesystem>
#include <vector>

#include "core/platform/document_opener.h"

namespace velmaro::test {

class RecordingOpener : public DocumentOpener {
public:
    std::vector<std::filesystem::path> opened;
    bool open(const std::filesystem::path& file) override {
        opened.push_back(file);
        return true;
    }
};

} // namespace velmaro::test
