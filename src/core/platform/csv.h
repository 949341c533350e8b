#pragma once
// Semicolon-separated text for the exports (racer list, results, reports): the form a
// spreadsheet application opens directly. A field holding the separator, a quote or a
// line end is quoted, its quotes doubled; every other field is written as it is.
#include <string>
#include <string_view>
#include <vector>

namespace velmaro {

std::string csvField(std::string_view text);
// A text the official or the web typed (a name, city, team, car model, class name), made
// safe for a spreadsheet: one that begins with '=', '+', '-', '@', TAB or CR would be run
// as a formula, so it gets a leading apostrophe and is shown as the text it is. Every
// other text is returned as it is; times and numbers never pass through here.
std::string csvText(std::string_view text);
// Every field followed by ';', then a line end ("a;b;\n").
std::string csvLine(const std::vector<std::string>& fields);

} // namespace velmaro
