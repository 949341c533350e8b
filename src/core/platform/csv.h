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
// A formula showing the text (="text", its quotes doubled): the spreadsheet shows the
// text as it is, never as a number or a date, and nothing in it runs, since it stays
// inside the quoted literal.
std::string csvFormulaText(std::string_view text);
// Whether a spreadsheet would read the text as a number and show that number in place
// of the text: "+7", "-5", "007", "1e5", "3.50", "3,50", "12%" (blanks around allowed).
bool csvReadsAsNumber(std::string_view text);
// Every field followed by ';', then a line end ("a;b;\n").
std::string csvLine(const std::vector<std::string>& fields);

} // namespace velmaro
