#include "core/platform/workbook.h"

#include <xlsxwriter.h>

#include <algorithm>
#include <system_error>

#include "core/platform/numbers.h"

namespace velmaro {
namespace {

std::string sheetName(const std::string& name) {
    std::string out;
    std::size_t chars = 0;
    for (std::size_t i = 0; i < name.size() && chars < 31;) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        const std::size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 1;
        std::string ch = name.substr(i, len);
        if (ch.size() == 1 && std::string_view("[]:*?/\\").find(ch[0]) != std::string_view::npos) ch = "_";
        out += ch;
        i += len;
        ++chars;
    }
    // A sheet name may not be empty nor begin or end with an apostrophe.
    if (out.empty()) out = "Sheet1";
    if (out.front() == '\'') out.front() = '_';
    if (out.back() == '\'') out.back() = '_';
    return out;
}

std::size_t displayLength(const std::string& text) {
    std::size_t n = 0;
    for (unsigned char c : text)
        if ((c & 0xC0) != 0x80) ++n;
    return n;
}

} // namespace

SheetCell sheetCellFromText(const std::string& text) {
    std::size_t i = text.size() > 0 && text[0] == '-' ? 1 : 0;
    const std::size_t digitsStart = i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
    const std::size_t intDigits = i - digitsStart;
    bool plain = intDigits > 0 && intDigits <= 15 && !(intDigits > 1 && text[digitsStart] == '0');
    if (plain && i < text.size()) {
        if (text[i] != '.') {
            plain = false;
        } else {
            const std::size_t frac = ++i;
            while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
            plain = i > frac && i == text.size();
        }
    }
    SheetCell cell;
    cell.text = text;
    cell.number = plain;
    return cell;
}

Status writeWorkbook(const std::filesystem::path& path, const Sheet& sheet) {
    std::filesystem::path temp = path;
    temp += ".tmp";
    std::error_code ec;
    std::filesystem::remove(temp, ec);

    lxw_workbook* book = workbook_new(temp.c_str());
    if (!book) return Status::Error("Не удалось создать файл " + path.string());
    lxw_worksheet* ws = workbook_add_worksheet(book, sheetName(sheet.name).c_str());

    int columns = sheet.columnCount;
    for (const SheetRow& row : sheet.rows) columns = std::max(columns, static_cast<int>(row.cells.size()));
    std::vector<std::size_t> widths(static_cast<std::size_t>(columns), 0);

    // The edges of a block outline a cell lies on.
    enum Edge : unsigned { kLeft = 1, kTop = 2, kBottom = 4, kRight = 8 };
    std::vector<unsigned> rowEdges(sheet.rows.size(), 0); // kTop and kBottom of each row; kLeft = in a block
    for (const Sheet::Block& block : sheet.outlinedBlocks) {
        for (std::size_t r = block.firstRow; r <= block.lastRow && r < rowEdges.size(); ++r) rowEdges[r] |= kLeft;
        if (block.firstRow < rowEdges.size()) rowEdges[block.firstRow] |= kTop;
        if (block.lastRow < rowEdges.size()) rowEdges[block.lastRow] |= kBottom;
    }
    const auto cellEdges = [&](std::size_t r, int firstColumn, int lastColumn) {
        const unsigned row = rowEdges[r];
        if (!(row & kLeft)) return 0u;
        unsigned edges = row & (kTop | kBottom);
        if (firstColumn == 0) edges |= kLeft;
        if (lastColumn == columns - 1) edges |= kRight;
        return edges;
    };

    // One format per distinct look, made on first use.
    struct Look {
        bool title = false, bold = false, centred = false;
        Sheet::Align align = Sheet::Align::General;
        std::optional<std::uint32_t> fill;
        unsigned edges = 0; // block outline
        bool operator==(const Look&) const = default;
    };
    std::vector<std::pair<Look, lxw_format*>> formats;
    const auto formatFor = [&](const Look& look) {
        for (const auto& [known, format] : formats)
            if (known == look) return format;
        lxw_format* f = workbook_add_format(book);
        if (look.title || look.bold) format_set_bold(f);
        const std::optional<std::uint32_t> fill =
            look.title ? std::optional<std::uint32_t>(sheet.titleColor) : look.fill;
        if (fill) {
            format_set_pattern(f, LXW_PATTERN_SOLID);
            format_set_bg_color(f, static_cast<lxw_color_t>(*fill));
        }
        if (sheet.gridLines) format_set_border(f, LXW_BORDER_THIN);
        if (look.edges & kLeft) format_set_left(f, LXW_BORDER_THIN);
        if (look.edges & kTop) format_set_top(f, LXW_BORDER_THIN);
        if (look.edges & kBottom) format_set_bottom(f, LXW_BORDER_THIN);
        if (look.edges & kRight) format_set_right(f, LXW_BORDER_THIN);
        Sheet::Align align = look.centred ? Sheet::Align::Centre : look.align;
        if (align == Sheet::Align::Left) format_set_align(f, LXW_ALIGN_LEFT);
        if (align == Sheet::Align::Centre) format_set_align(f, LXW_ALIGN_CENTER);
        if (align == Sheet::Align::Right) format_set_align(f, LXW_ALIGN_RIGHT);
        formats.emplace_back(look, f);
        return f;
    };
    const auto columnAlign = [&sheet](int c) {
        const auto i = static_cast<std::size_t>(c);
        return i < sheet.columnAlign.size() ? sheet.columnAlign[i] : Sheet::Align::General;
    };

    for (std::size_t r = 0; r < sheet.rows.size(); ++r) {
        const SheetRow& row = sheet.rows[r];
        const auto rowIndex = static_cast<lxw_row_t>(r);
        if ((row.title || row.merged) && columns > 1) {
            const std::string text = row.cells.empty() ? std::string() : row.cells.front().text;
            const Look look{
                row.title, row.bold, !row.title, Sheet::Align::General, row.fill, cellEdges(r, 0, columns - 1)};
            worksheet_merge_range(ws, rowIndex, 0, rowIndex, static_cast<lxw_col_t>(columns - 1), text.c_str(),
                                  formatFor(look));
            continue;
        }
        for (int c = 0; c < columns; ++c) {
            const auto col = static_cast<lxw_col_t>(c);
            const bool present = c < static_cast<int>(row.cells.size());
            const SheetCell* cell = present ? &row.cells[static_cast<std::size_t>(c)] : nullptr;
            Look look{row.title, row.bold, row.merged, columnAlign(c), row.fill, cellEdges(r, c, c)};
            if (cell && cell->fill) look.fill = cell->fill;
            lxw_format* format = formatFor(look);
            if (!cell) {
                worksheet_write_blank(ws, rowIndex, col, format);
                continue;
            }
            widths[static_cast<std::size_t>(c)] =
                std::max(widths[static_cast<std::size_t>(c)], displayLength(cell->text));
            const std::optional<double> value = cell->number ? parseDouble(cell->text) : std::nullopt;
            if (value) {
                worksheet_write_number(ws, rowIndex, col, *value, format);
            } else if (cell->text.empty()) {
                worksheet_write_blank(ws, rowIndex, col, format);
            } else {
                worksheet_write_string(ws, rowIndex, col, cell->text.c_str(), format);
            }
        }
    }
    for (int c = 0; c < columns; ++c) {
        const auto i = static_cast<std::size_t>(c);
        const double width = i < sheet.columnWidths.size() ? sheet.columnWidths[i]
                                                           : std::clamp<double>(double(widths[i]) + 2.0, 4.0, 80.0);
        worksheet_set_column(ws, static_cast<lxw_col_t>(c), static_cast<lxw_col_t>(c), width, nullptr);
    }

    const lxw_error err = workbook_close(book);
    if (err != LXW_NO_ERROR) {
        std::filesystem::remove(temp, ec);
        return Status::Error("Не удалось записать файл " + path.string() + ": " + lxw_strerror(err));
    }
    std::filesystem::rename(temp, path, ec);
    if (ec) {
        std::filesystem::remove(temp, ec);
        return Status::Error("Не удалось записать файл " + path.string());
    }
    return Status::Ok();
}

} // namespace velmaro
