#pragma once
// A spreadsheet file (.xlsx) for the exports: one sheet of text and number cells, with
// shaded title rows merged across the table, thin grid lines and columns fitted to
// their texts. Written to a temporary file beside the target and renamed over it, so a
// failed export never leaves half a workbook.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/platform/status.h"

namespace velmaro {

struct SheetCell {
    std::string text;                                 // UTF-8
    bool number = false;                              // written as a number (its text must parse with '.')
    std::optional<std::uint32_t> fill = std::nullopt; // RGB fill of this cell; none = the row's fill
    bool operator==(const SheetCell&) const = default;
};

struct SheetRow {
    std::vector<SheetCell> cells;
    bool title = false;  // merged over every column of the sheet, shaded
    bool merged = false; // the first cell merged over every column, centred, not shaded
    bool bold = false;
    std::optional<std::uint32_t> fill = std::nullopt; // RGB fill of every cell of the row
    bool operator==(const SheetRow&) const = default;
};

struct Sheet {
    std::string name; // cut to 31 characters, []:*?/\ replaced by '_'
    std::vector<SheetRow> rows;
    int columnCount = 0;   // columns of the table (titles merge over them)
    bool gridLines = true; // thin borders around every cell of the table
    // Blocks of rows (0-based, first and last row included) framed by a thin line around
    // the table's columns, with no lines inside; meant for sheets without grid lines.
    struct Block {
        std::size_t firstRow = 0;
        std::size_t lastRow = 0;
    };
    std::vector<Block> outlinedBlocks;
    std::uint32_t titleColor = 0xE0E0E0; // RGB fill of title rows
    std::vector<double> columnWidths;    // characters; empty = fitted to the longest text
    enum class Align { General, Left, Centre, Right };
    std::vector<Align> columnAlign; // per column; missing = General
};

// A cell from an exported text: a plain decimal ("12", "-3.25", no leading zero but "0.x")
// becomes a number, everything else stays text.
SheetCell sheetCellFromText(const std::string& text);

Status writeWorkbook(const std::filesystem::path& path, const Sheet& sheet);

} // namespace velmaro
