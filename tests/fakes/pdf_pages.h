#pragma once
// The page sizes of a PDF file the Qt printing layer wrote, in millimetres, in page
// order: read from the pages' /MediaBox entries (Qt writes them uncompressed).
#include <QSizeF>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

namespace velmaro::test {

inline std::vector<QSizeF> pdfPageSizesMm(const std::filesystem::path& pdf) {
    std::ifstream in(pdf, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    static const std::regex box(R"(/MediaBox \[\s*0 0 ([0-9.]+) ([0-9.]+)\s*\])");
    std::vector<QSizeF> pages;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), box); it != std::sregex_iterator(); ++it)
        pages.emplace_back(std::stod((*it)[1]) * 25.4 / 72, std::stod((*it)[2]) * 25.4 / 72);
    return pages;
}

} // namespace velmaro::test
