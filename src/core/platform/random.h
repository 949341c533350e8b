#pragma once
// Random draws from the kernel's source at each call: no engine is kept between calls,
// so any thread may call them, and a draw costs one system call, not an engine's set-up.
#include <cstddef>
#include <cstdint>
#include <string>

namespace velmaro {

// Fills `count` bytes of `out`.
void randomBytes(void* out, std::size_t count);
// A number uniform over 0 .. 2^32 - 1.
std::uint32_t randomNumber();
// A number uniform over 0 .. maxInclusive (maxInclusive >= 0).
int randomInt(int maxInclusive);
// A fresh version-4 GUID in braces, upper-case hex: "{XXXXXXXX-XXXX-4XXX-YXXX-XXXXXXXXXXXX}".
std::string newGuid();

} // namespace velmaro
