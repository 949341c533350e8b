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
    return SheetCell{text, plain};
}

Status writeWorkbook(const std::filesystem::path& path, const Sheet& sheet) {
    std::filesystem::path temp = path;
    temp += ".tmp";
    std::error_code ec;
    std::filesystem::remove(temp, ec);

    lxw_workbook* book = workbook_new(temp.c_str());
    if (!book) return Status::Error("Не удалось создать файл " + path.string());
    lxw_worksheet* ws = workbook_add_worksheet(book, sheetName(sheet.name).c_str());

    lxw_format* cellFormat = workbook_add_format(book);
    lxw_format* boldFormat = workbook_add_format(book);
    format_set_bold(boldFormat);
    lxw_format* titleFormat = workbook_add_format(book);
    format_set_bold(titleFormat);
    format_set_pattern(titleFormat, LXW_PATTERN_SOLID);
    format_set_bg_color(titleFormat, static_cast<lxw_color_t>(sheet.titleColor));
    if (sheet.gridLines) {
        for (lxw_format* f : {cellFormat, boldFormat, titleFormat}) format_set_border(f, LXW_BORDER_THIN);
    }

    int columns = sheet.columnCount;
    for (const SheetRow& row : sheet.rows) columns = std::max(columns, static_cast<int>(row.cells.size()));
    std::vector<std::size_t> widths(static_cast<std::size_t>(columns), 0);

    for (std::size_t r = 0; r < sheet.rows.size(); ++r) {
        const SheetRow& row = sheet.rows[r];
        const auto rowIndex = static_cast<lxw_row_t>(r);
        if (row.title && columns > 1) {
            const std::string text = row.cells.empty() ? std::string() : row.cells.front().text;
            worksheet_merge_range(ws, rowIndex, 0, rowIndex, static_cast<lxw_col_t>(columns - 1), text.c_str(),
                                  titleFormat);
            continue;
        }
        lxw_format* format = row.title ? titleFormat : row.bold ? boldFormat : cellFormat;
        for (int c = 0; c < columns; ++c) {
            const auto col = static_cast<lxw_col_t>(c);
            if (c >= static_cast<int>(row.cells.size())) {
                worksheet_write_blank(ws, rowIndex, col, format);
                continue;
            }
            const SheetCell& cell = row.cells[static_cast<std::size_t>(c)];
            widths[static_cast<std::size_t>(c)] = std::max(widths[static_cast<std::size_t>(c)], displayLength(cell.text));
            const std::optional<double> value = cell.number ? parseDouble(cell.text) : std::nullopt;
            if (value) {
                worksheet_write_number(ws, rowIndex, col, *value, format);
            } else if (cell.text.empty()) {
                worksheet_write_blank(ws, rowIndex, col, format);
            } else {
                worksheet_write_string(ws, rowIndex, col, cell.text.c_str(), format);
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
