#include "core/platform/csv.h"

namespace velmaro {

std::string csvField(std::string_view text) {
    if (text.find_first_of(";\"\r\n") == std::string_view::npos) return std::string(text);
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
    return out;
}

std::string csvText(std::string_view text) {
    if (text.empty() || std::string_view("=+-@\t\r").find(text.front()) == std::string_view::npos)
        return std::string(text);
    return "'" + std::string(text);
}

std::string csvFormulaText(std::string_view text) {
    std::string formula = "=\"";
    for (char c : text) formula += c == '"' ? std::string("\"\"") : std::string(1, c);
    formula += '"';
    return formula;
}

bool csvReadsAsNumber(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return false;
    text = text.substr(first, text.find_last_not_of(' ') - first + 1);
    std::size_t i = 0;
    const auto digits = [&] {
        const std::size_t from = i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
        return i - from;
    };
    if (text[i] == '+' || text[i] == '-') ++i;
    std::size_t mantissa = digits();
    if (i < text.size() && (text[i] == '.' || text[i] == ',')) {
        ++i;
        mantissa += digits();
    }
    if (mantissa == 0) return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
        if (digits() == 0) return false;
    }
    if (i < text.size() && text[i] == '%') ++i;
    return i == text.size();
}

std::string csvLine(const std::vector<std::string>& fields) {
    std::string line;
    for (const std::string& field : fields) {
        line += csvField(field);
        line += ';';
    }
    line += '\n';
    return line;
}

} // namespace velmaro
