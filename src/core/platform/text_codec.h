#pragma once
// Text on disk and in JSON is UTF-8. Folders made on the old consoles hold CP1251
// text; a line that is not valid UTF-8 is read as CP1251.
#include <string>
#include <string_view>

namespace velmaro {

bool isValidUtf8(std::string_view text);
std::string cp1251ToUtf8(std::string_view text);
// UTF-8 kept as is; anything else decoded from CP1251.
std::string decodeLine(std::string_view line);
// Replaces every byte in `bad` (and TAB, CR, LF when `controls`) by a blank, so a text
// written into a separated record cannot break it.
std::string sanitizeField(std::string_view text, std::string_view bad, bool controls = true);
// A UTF-8 text without control characters (U+0000 to U+001F, DEL, U+0080 to U+009F): TAB,
// LF, VT, FF and CR become a blank, so the words around them stay apart; the others are
// dropped. A text taken in from outside keeps no NUL to cut it where it is passed on as
// a C string, and no line end to break a record.
std::string withoutControls(std::string_view text);
// The first `count` characters of a UTF-8 text (never cuts a character in half).
std::string utf8Left(std::string_view text, std::size_t count);

} // namespace velmaro
