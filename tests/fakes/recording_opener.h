#pragma once
// A document opener that records the files it was asked to show; with `fails` set, no
// application takes them.
#include <filesystem>
#include <functional>
#include <vector>

#include "core/platform/document_opener.h"

namespace velmaro::test {

class RecordingOpener : public DocumentOpener {
public:
    std::vector<std::filesystem::path> opened;
    bool fails = false;
    void open(const std::filesystem::path& file, std::function<void()> failed) override {
        opened.push_back(file);
        if (fails) failed();
    }
};

} // namespace velmaro::test
