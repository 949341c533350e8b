#pragma once
// Semicolon-separated text for the exports (racer list, results, reports): the form a
// spreadsheet application opens directly. A field holding the separator, a quote or a
// line end is quoted, its quotes doubled; every other field is written as it is.
#include <string>
#include <string_view>
#include <vector>

namespace velmaro {

std::string csvField(std::string_view text);
// Every field followed by ';', then a line end ("a;b;\n").
std::string csvLine(const std::vector<std::string>& fields);

} // namespace velmaro
