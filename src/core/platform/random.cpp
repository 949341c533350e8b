#include "core/platform/random.h"

#include <sys/random.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <random>

namespace velmaro {

void randomBytes(void* out, std::size_t count) {
    auto* bytes = static_cast<unsigned char*>(out);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::getrandom(bytes + done, count - done, 0);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && errno != EINTR) {
            // No getrandom (an old kernel): the library's device, set up for this draw.
            std::random_device source;
            for (; done < count; ++done) bytes[done] = static_cast<unsigned char>(source());
        }
    }
}

std::uint32_t randomNumber() {
    std::uint32_t value = 0;
    randomBytes(&value, sizeof value);
    return value;
}

int randomInt(int maxInclusive) {
    if (maxInclusive <= 0) return 0;
    // Scaled by multiplication: the bias over a 32-bit draw is below 2^-31 for any range.
    const std::uint64_t range = static_cast<std::uint64_t>(maxInclusive) + 1;
    return static_cast<int>((static_cast<std::uint64_t>(randomNumber()) * range) >> 32);
}

std::string newGuid() {
    std::array<unsigned char, 16> b{};
    randomBytes(b.data(), b.size());
    b[6] = static_cast<unsigned char>((b[6] & 0x0F) | 0x40); // version 4
    b[8] = static_cast<unsigned char>((b[8] & 0x3F) | 0x80); // variant 1
    char text[40];
    std::snprintf(text, sizeof text, "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", b[0],
                  b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
    return text;
}

} // namespace velmaro
