#pragma once
// Everything that travels between the console and the timing nodes: the UDP transport
// constants, the text items ("CHANNELS:", "SCOREBOARD"), the radio-modem API frames and
// the 15-byte node message inside them.
//
// All multi-byte fields of a node message are little-endian; the API frame length is
// big-endian. Nothing here opens a socket: these are pure byte builders and parsers.
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace velmaro {

// UDP port of the node network, on both sides.
constexpr std::uint16_t NODE_UDP_PORT = 1309;
// Size of the receive buffer; one more byte is kept for the terminating zero.
constexpr std::size_t NODE_DATAGRAM_MAX = 4096;
// The console's greeting: exactly these 7 bytes, no terminating zero.
constexpr std::string_view NODE_GREETING = "VELMARO";
constexpr std::string_view CHANNELS_PREFIX = "CHANNELS:";
constexpr std::string_view SCOREBOARD_PREFIX = "SCOREBOARD";
constexpr int CHANNEL_COUNT = 126;

// Node ids (0 is the console itself).
enum NodeId : int {
    NODE_PC = 0,
    NODE_START = 1,             // start unit; the gateway address is learned from its status
    NODE_FINISH = 2,            // finish line
    NODE_START_READER = 3,      // transponder reader at the start
    NODE_SPEED_TRAP = 4,        // speed trap
    NODE_60FT = 5,              // 60 ft line
    NODE_DISPLAY_LEFT = 8,      // left lane display
    NODE_DISPLAY_RIGHT = 9,     // right lane display
    NODE_RADIO_BOARD_LEFT = 10, // left radio scoreboard
    NODE_RADIO_BOARD_RIGHT = 11 // right radio scoreboard
};

// Node message types, both directions.
enum NodeMessageType : std::uint8_t {
    MSG_DISPLAY_BRIGHTNESS = 1, // to 8/9: param brightness, data 0x55555555, aux 0x5555
    MSG_STATUS = 3,             // from a node: param status flags, data node clock, aux own radio level
    MSG_HIT = 4,                // from a node: param signal, data seconds, aux ms; the same back as acknowledgement
    MSG_START_SINGLE = 5,       // start code: single-lane start
    MSG_TIMEOUTS = 10,          // to a node: param repeat, aux detector; from a node: the echo
    MSG_START_GIVEN = 11,       // from a node: the start unit gave the start
    MSG_SET_CLOCK = 15,         // to node 1: param 1, data PC clock seconds
    MSG_START_LIGHTS = 23,      // from a node: param lamp mask
    MSG_START_TWO_LANE = 24,    // start code: two-lane start
    MSG_LIGHT_BRIGHTNESS = 25,  // to node 1: param brightness code
    MSG_WINNER = 27,            // to node 1: param winning lane
    MSG_START_UNIT_MODE = 29,   // to node 1: param start unit mode
    MSG_RADIO_LEVELS = 30,      // from a node: bytes 7..12 radio levels per node
    MSG_COMMAND37 = 37,         // to node 1, paced until answered with 37
    MSG_START_SIGNAL_MODE = 38, // to node 1: param mode, aux 1; resent until answered with 38
    MSG_CHANNEL_SCAN = 39,      // to node 1: asks for a "CHANNELS:" list
    MSG_BOARD_RESET = 40,       // radio scoreboard commands 40..44
    MSG_BOARD_RESULT = 41,
    MSG_BOARD_TEXT = 42,
    MSG_BOARD_LOGO = 43,
    MSG_BOARD_BRIGHTNESS = 44,
    MSG_START_ARMED = 45,   // start code: armed start
    MSG_TIMEOUTS_PUSH = 46, // to node 1: param repeat, aux detector
    MSG_START_153 = 50,     // start code: two-lane start for scoreboard type 153
    MSG_TAG_AT_START = 52,  // from a node: param transponder tag
    MSG_COMMAND53 = 53      // to node 1
};

// Status flag bits (param of a status message).
constexpr std::uint16_t STATUS_SYNCED = 0x0040;        // bit 6
constexpr std::uint16_t STATUS_CLOCK_REQUEST = 0x4000; // bit 14
// Start unit sensor bits.
constexpr int SENSOR_BIT_LEFT_START = 0;
constexpr int SENSOR_BIT_LEFT_STAGE = 1;
constexpr int SENSOR_BIT_RIGHT_START = 2;
constexpr int SENSOR_BIT_RIGHT_STAGE = 3;
constexpr int SENSOR_BIT_LEFT_PRESTAGE = 4;
constexpr int SENSOR_BIT_RIGHT_PRESTAGE = 5;

// Lamp mask bits (one byte per lane: low byte left, high byte right).
constexpr std::uint8_t LAMP_PRESTAGE = 0x01;
constexpr std::uint8_t LAMP_STAGE = 0x02;
constexpr std::uint8_t LAMP_AMBER1 = 0x04;
constexpr std::uint8_t LAMP_AMBER2 = 0x08;
constexpr std::uint8_t LAMP_AMBER3 = 0x10;
constexpr std::uint8_t LAMP_GREEN = 0x20;
constexpr std::uint8_t LAMP_RED = 0x40;

constexpr std::uint16_t NODE_MESSAGE_MARKER = 0x55AA;
constexpr std::uint16_t NODE_MESSAGE_END_MARKER = 0xADDE;
constexpr std::size_t NODE_MESSAGE_SIZE = 15;
constexpr std::size_t NODE_FRAME_SIZE = 33;

// API frame types.
constexpr std::uint8_t FRAME_TYPE_TRANSMIT = 0x10;
constexpr std::uint8_t FRAME_TYPE_RECEIVE = 0x90;

using NodeMessageBytes = std::array<std::uint8_t, NODE_MESSAGE_SIZE>;
using NodeFrameBytes = std::array<std::uint8_t, NODE_FRAME_SIZE>;

// The 15-byte message exchanged with a node. A default message is all zero apart from
// the two markers, which is what every message the console builds starts from.
struct TNodeMessage {
    std::uint16_t marker = NODE_MESSAGE_MARKER;
    std::uint8_t from = 0;
    std::uint8_t to = 0;
    std::uint8_t type = 0;
    std::uint16_t param = 0;
    std::uint32_t data = 0;
    std::uint16_t aux = 0;
    std::uint16_t endMarker = NODE_MESSAGE_END_MARKER;

    bool operator==(const TNodeMessage&) const = default;

    // A message from the console (from 0) with the given fields.
    static TNodeMessage make(std::uint8_t to, std::uint8_t type, std::uint16_t param = 0, std::uint32_t data = 0,
                             std::uint16_t aux = 0);
    // A lane display content message: bytes 4 to 12 are the nine content bytes.
    static TNodeMessage displayContent(std::uint8_t to, const std::array<std::uint8_t, 9>& content);

    NodeMessageBytes toBytes() const;
    static TNodeMessage fromBytes(const std::uint8_t* bytes); // reads 15 bytes
    // Taken by the console: both markers right and addressed to the PC (to = 0).
    bool acceptedByConsole() const;
    // Bytes 4 to 12 (type, param, data, aux as they lie on the wire).
    std::array<std::uint8_t, 9> contentBytes() const;
};

// 32-bit send counter whose low byte is the frame id: incremented before each send,
// skipping 0 (only the 32-bit value skips 0; the low byte wraps 255 -> 0). Thread safe.
class TFrameCounter {
public:
    std::uint8_t next();
    std::uint32_t value() const { return counter_.load(); }
    void set(std::uint32_t value) { counter_.store(value); }

private:
    std::atomic<std::uint32_t> counter_{0};
};

// The 33-byte transmit frame (0x10) carrying `message`, broadcast destination.
NodeFrameBytes buildTransmitFrame(std::uint8_t frameId, const TNodeMessage& message);
// The 33-byte forged receive frame (0x90) used by the hit replay.
NodeFrameBytes buildReceiveFrame(std::uint8_t frameId, const TNodeMessage& message);
// 0xFF minus the low byte of the sum of `length` bytes.
std::uint8_t frameChecksum(const std::uint8_t* bytes, std::size_t length);

// Receives the items of a parsed datagram, in order.
class DatagramItemSink {
public:
    virtual ~DatagramItemSink() = default;
    // The text after "CHANNELS:" up to its terminating zero.
    virtual void onChannelLevels(std::string_view listText) = 0;
    // A whole "SCOREBOARD" line (the word included), raw 8-bit bytes.
    virtual void onScoreboardLine(std::string_view line) = 0;
    // The 15 bytes of a good receive frame (not yet checked for markers or destination).
    virtual void onNodeMessage(const std::uint8_t* bytes) = 0;
};

// Walks a datagram (`data[length]` must be readable as 0 or the datagram must hold its
// own terminating zero: text items end at a zero byte or at the end of the datagram).
// A frame is taken only when its whole length lies inside the datagram; a good receive
// frame whose data is too short for a node message is consumed without a message.
void parseDatagramItems(const std::uint8_t* data, std::size_t length, DatagramItemSink& sink);

// Reads up to 126 comma-separated decimal levels into `levels` (low byte of each);
// channels beyond the last value keep their previous level.
void readChannelLevels(std::string_view listText, std::array<std::uint8_t, CHANNEL_COUNT>& levels);

// Radio level byte of a type 30 report for node `id` (0 for ids without a byte).
std::int8_t reportedLevelFor(const TNodeMessage& report, int id);

} // namespace velmaro
