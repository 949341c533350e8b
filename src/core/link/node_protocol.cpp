#include "core/link/node_protocol.h"

#include <cstring>

namespace velmaro {

namespace {

void put16(std::uint8_t* p, std::uint16_t v) {
    p[0] = std::uint8_t(v & 0xFF);
    p[1] = std::uint8_t(v >> 8);
}
void put32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = std::uint8_t(v >> (8 * i));
}
std::uint16_t get16(const std::uint8_t* p) { return std::uint16_t(p[0] | (p[1] << 8)); }
std::uint32_t get32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[3]) << 24);
}

bool startsWith(const std::uint8_t* data, std::size_t length, std::size_t at, std::string_view prefix) {
    return length - at >= prefix.size() && std::memcmp(data + at, prefix.data(), prefix.size()) == 0;
}

// End of a zero-terminated text item starting at `at` (the zero's position, or `length`).
std::size_t textEnd(const std::uint8_t* data, std::size_t length, std::size_t at) {
    const void* zero = std::memchr(data + at, 0, length - at);
    return zero ? std::size_t(static_cast<const std::uint8_t*>(zero) - data) : length;
}

NodeFrameBytes buildFrame(std::uint8_t frameType, std::uint8_t frameId, const TNodeMessage& message,
                          std::size_t messageOffset) {
    NodeFrameBytes f{};
    f[0] = 0x7E;
    f[1] = 0x00;
    f[2] = 0x1D;
    f[3] = frameType;
    f[4] = frameId;
    f[11] = 0xFF;
    f[12] = 0xFF;
    f[13] = 0xFF;
    f[14] = 0xFE;
    const NodeMessageBytes m = message.toBytes();
    std::memcpy(f.data() + messageOffset, m.data(), m.size());
    f[32] = frameChecksum(f.data() + 3, 29);
    return f;
}

} // namespace

TNodeMessage TNodeMessage::make(std::uint8_t to, std::uint8_t type, std::uint16_t param, std::uint32_t data,
                                std::uint16_t aux) {
    TNodeMessage m;
    m.to = to;
    m.type = type;
    m.param = param;
    m.data = data;
    m.aux = aux;
    return m;
}

TNodeMessage TNodeMessage::displayContent(std::uint8_t to, const std::array<std::uint8_t, 9>& content) {
    NodeMessageBytes b = TNodeMessage::make(to, 0).toBytes();
    std::memcpy(b.data() + 4, content.data(), content.size());
    return fromBytes(b.data());
}

NodeMessageBytes TNodeMessage::toBytes() const {
    NodeMessageBytes b{};
    put16(&b[0], marker);
    b[2] = from;
    b[3] = to;
    b[4] = type;
    put16(&b[5], param);
    put32(&b[7], data);
    put16(&b[11], aux);
    put16(&b[13], endMarker);
    return b;
}

TNodeMessage TNodeMessage::fromBytes(const std::uint8_t* b) {
    TNodeMessage m;
    m.marker = get16(b);
    m.from = b[2];
    m.to = b[3];
    m.type = b[4];
    m.param = get16(b + 5);
    m.data = get32(b + 7);
    m.aux = get16(b + 11);
    m.endMarker = get16(b + 13);
    return m;
}

bool TNodeMessage::acceptedByConsole() const {
    return marker == NODE_MESSAGE_MARKER && endMarker == NODE_MESSAGE_END_MARKER && to == 0;
}

std::array<std::uint8_t, 9> TNodeMessage::contentBytes() const {
    const NodeMessageBytes b = toBytes();
    std::array<std::uint8_t, 9> c{};
    std::memcpy(c.data(), b.data() + 4, c.size());
    return c;
}

std::uint8_t TFrameCounter::next() {
    std::uint32_t current = counter_.load();
    std::uint32_t next;
    do {
        next = current + 1;
        if (next == 0) next = 1;
    } while (!counter_.compare_exchange_weak(current, next));
    return std::uint8_t(next & 0xFF);
}

std::uint8_t frameChecksum(const std::uint8_t* bytes, std::size_t length) {
    unsigned sum = 0;
    for (std::size_t i = 0; i < length; ++i) sum += bytes[i];
    return std::uint8_t(0xFF - (sum & 0xFF));
}

NodeFrameBytes buildTransmitFrame(std::uint8_t frameId, const TNodeMessage& message) {
    return buildFrame(FRAME_TYPE_TRANSMIT, frameId, message, 17);
}

NodeFrameBytes buildReceiveFrame(std::uint8_t frameId, const TNodeMessage& message) {
    // Bytes 15 and 16 (radius and options in a transmit frame) become the first bytes of
    // the node message; bytes 30 and 31 stay zero.
    return buildFrame(FRAME_TYPE_RECEIVE, frameId, message, 15);
}

void parseDatagramItems(const std::uint8_t* data, std::size_t length, DatagramItemSink& sink) {
    std::size_t i = 0;
    while (i < length) {
        if (startsWith(data, length, i, CHANNELS_PREFIX)) {
            const std::size_t end = textEnd(data, length, i);
            const std::size_t from = i + CHANNELS_PREFIX.size();
            sink.onChannelLevels(std::string_view(reinterpret_cast<const char*>(data) + from, end - from));
            i = end + 1;
        } else if (startsWith(data, length, i, SCOREBOARD_PREFIX)) {
            const std::size_t end = textEnd(data, length, i);
            sink.onScoreboardLine(std::string_view(reinterpret_cast<const char*>(data) + i, end - i));
            i = end + 1;
        } else if (data[i] == 0x7E) {
            // The whole frame (delimiter, length, data, checksum) must lie inside the datagram.
            if (length - i < 4) {
                ++i;
                continue;
            }
            const std::size_t n = (std::size_t(data[i + 1]) << 8) | data[i + 2];
            if (i + 3 + n >= length) {
                ++i;
                continue;
            }
            if (frameChecksum(data + i + 3, n) != data[i + 3 + n]) {
                ++i;
                continue;
            }
            // Receive frame: type, 8-byte source, 2-byte network address, options, then
            // the node message (12 + 15 = 27 frame data bytes at least).
            if (n >= 12 + NODE_MESSAGE_SIZE && data[i + 3] == FRAME_TYPE_RECEIVE) sink.onNodeMessage(data + i + 15);
            i += n + 4;
        } else {
            ++i;
        }
    }
}

void readChannelLevels(std::string_view text, std::array<std::uint8_t, CHANNEL_COUNT>& levels) {
    std::size_t pos = 0;
    for (int channel = 0; channel < CHANNEL_COUNT; ++channel) {
        if (pos < text.size()) {
            // A decimal integer as sscanf "%d" reads it: blanks, optional sign, digits.
            std::size_t p = pos;
            while (p < text.size() && (text[p] == ' ' || text[p] == '\t' || text[p] == '\r' || text[p] == '\n')) ++p;
            bool negative = false;
            if (p < text.size() && (text[p] == '-' || text[p] == '+')) negative = text[p++] == '-';
            std::size_t digits = p;
            long long value = 0;
            while (p < text.size() && text[p] >= '0' && text[p] <= '9') {
                value = (value * 10 + (text[p] - '0')) & 0xFFFFFFFFLL;
                ++p;
            }
            if (p > digits) levels[channel] = std::uint8_t((negative ? -value : value) & 0xFF);
        }
        const std::size_t comma = text.find(',', pos);
        if (comma == std::string_view::npos) break;
        pos = comma + 1;
    }
}

std::int8_t reportedLevelFor(const TNodeMessage& report, int id) {
    const NodeMessageBytes b = report.toBytes();
    switch (id) {
    case 2: return std::int8_t(b[7]);
    case 1:
    case 3: return std::int8_t(b[8]);
    case 4: return std::int8_t(b[9]);
    case 5: return std::int8_t(b[10]);
    case 6: return std::int8_t(b[11]);
    case 7: return std::int8_t(b[12]);
    default: return 0;
    }
}

} // namespace velmaro
