#pragma once
// TSystemInterface: the node link. It owns the one UDP socket of the node network, greets
// the gateway, parses every datagram, keeps the node table, acknowledges and queues sensor
// hits in time order, runs the command resend schedules and the automatic start, and
// reports what happened through a system event sink.
//
// Threads: the link runs its own std::thread (start()/stop()). The main thread calls the
// consumer operations (tryPopHit, hitCount, nodes, channelLevels) and the
// command operations; both sides take the link lock. System events leave through the sink
// from the link thread, never while the lock is held: the UI adapts the sink to queued
// calls into the main window. The radio scoreboard link (onReply) and the scoreboard line
// handler are also called from the link thread outside the lock.
//
// Ownership: the link owns its environment and transport (unique_ptr). The radio board
// receiver is observed (raw pointer); its owner detaches it or outlives the link.
//
// Tests drive the link without the thread: runPass() and handleDatagram() with a fake
// transport and an injected clock and random source.
#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

#include "core/link/hits.h"
#include "core/link/node_protocol.h"

namespace velmaro {

// System event codes (what the node link tells the main window).
enum SystemEventCode : int {
    SE_NEW_HITS = 1,          // hits were queued: pop them (wParam 0)
    SE_START_GIVEN = 2,       // the start unit confirmed the start (type 11)
    SE_AUTOSTART_ABORTED = 3, // an automatic start countdown was aborted by the sensors
    SE_START_RESENT = 4,      // the pending start went out by schedule while the automatic start is not idle
    SE_START_LIGHTS = 5,      // start light report: wParam = lamp mask
    SE_CHANNEL_LEVELS = 6,    // a "CHANNELS:" list was read into channelLevels()
    SE_TAG_AT_START = 7,      // transponder tag: wParam = sender id | (tag << 8)
    SE_PORT_STATE = 8         // the node port was opened or lost: wParam = PortState; read portStatus()
};

// What opening the node port gave. The port has one owner: while another program (or a
// second console) holds it, the link cannot receive a single hit.
enum class PortState : int {
    Closed = 0, // not tried yet
    Open = 1,   // the link owns the port
    Taken = 2,  // another program holds the port (EADDRINUSE)
    Failed = 3  // the socket could not be made for another reason (error says which)
};

struct LinkPortStatus {
    PortState state = PortState::Closed;
    int error = 0; // errno of the last failed attempt; 0 when open
    std::uint16_t port = 0;
    bool operator==(const LinkPortStatus&) const = default;
};

// The line for the log window, e.g. "Порт узлов 1309 занят другой программой: отметки не
// принимаются, повторная попытка каждые 3 с."; empty for Closed.
std::string portStatusText(const LinkPortStatus& status, int retryMs);

// Called on the link thread, outside the link lock.
using SystemEventSink = std::function<void(int code, std::uint32_t wParam)>;

// An IPv4 address with port, both in host byte order. ip 0 = unknown.
struct NodeAddress {
    std::uint32_t ip = 0;
    std::uint16_t port = 0;
    bool known() const { return ip != 0; }
    bool operator==(const NodeAddress&) const = default;
    std::string toString() const;                                                                 // "a.b.c.d:port"
    static NodeAddress fromString(const std::string& dotted, std::uint16_t port = NODE_UDP_PORT); // ip 0 on error
};

class HitJournal;

// One node table entry.
struct TSystemNode {
    std::int32_t id = 0;
    std::int32_t synced = 0;              // status bit 6
    std::int32_t online = 0;              // 1 after a status, 0 after 3 s without one
    std::int32_t rssi = 0;                // own radio level, dB (never from node 1's own status)
    std::int32_t reportedRssi = 0;        // level reported for this node in a type 30 message
    std::int32_t echoRepeatTimeout = 0;   // 0 = none echoed yet
    std::int32_t echoDetectorTimeout = 0; // 0 = none echoed yet
    std::int32_t clockRequest = 0;        // status param & 0x4000
    // Status bits 0, 2, 1, 3, 4, 5 in this order (start unit: left start, right start,
    // left stage, right stage, left pre-stage, right pre-stage).
    std::array<std::int32_t, 6> sensors{};
    std::int64_t lastStatusTime = 0; // PC clock, seconds
    std::uint32_t nodeClock = 0;     // node clock, seconds since 1970
    bool operator==(const TSystemNode&) const = default;
};

// One broadcast-capable interface for the greeting.
struct BroadcastInterface {
    std::string name;
    std::uint32_t address = 0; // host order
    std::uint32_t netmask = 0; // host order
    bool up = false;
    bool broadcast = false;
    std::uint32_t broadcastAddress() const { return address | ~netmask; }
};

// Clock, random source and interface list of the link; tests inject their own.
class LinkEnvironment {
public:
    LinkEnvironment() = default;
    LinkEnvironment(const LinkEnvironment&) = delete;
    LinkEnvironment& operator=(const LinkEnvironment&) = delete;
    virtual ~LinkEnvironment() = default;
    // Local wall-clock time in ms since 1970 (time-zone offset added): "now" of the schedules.
    virtual std::uint64_t nowMs();
    // PC clock in whole seconds (local wall-clock); default nowMs() / 1000.
    virtual std::int64_t pcClockSeconds() { return static_cast<std::int64_t>(nowMs() / 1000); }
    // A whole number from 0 to maxInclusive, each equally likely.
    virtual int randomInt(int maxInclusive);
    // The IPv4 interfaces of the machine (getifaddrs).
    virtual std::vector<BroadcastInterface> interfaces();
};

// Whether a UDP port may be shared with other sockets.
enum class PortSharing {
    Exclusive, // no SO_REUSEADDR: the bind fails while any socket holds the port (the console)
    Shared     // SO_REUSEADDR: several sockets on one port (the node simulator's own pair)
};

// A non-blocking UDP socket bound to ip:port (host byte order), broadcast allowed and a
// receive buffer large enough for a burst of hits. Returns the descriptor, or minus the
// errno when it cannot be made (-EADDRINUSE: the port is held).
int openUdpSocket(std::uint32_t ip, std::uint16_t port, PortSharing sharing);

// The datagram transport (a UDP socket). Thread safe for send.
class LinkTransport {
public:
    LinkTransport() = default;
    LinkTransport(const LinkTransport&) = delete;
    LinkTransport& operator=(const LinkTransport&) = delete;
    virtual ~LinkTransport() = default;
    // Opens the socket on the port; error gets the errno when it does not open.
    virtual PortState open(std::uint16_t port, int& error) = 0;
    virtual void close() = 0;
    virtual bool send(const NodeAddress& to, const std::uint8_t* data, std::size_t length) = 0;
    // Takes one waiting datagram, without blocking; returns its length or -1 when none.
    virtual long receive(std::uint8_t* buffer, std::size_t capacity, NodeAddress& from) = 0;
    // Waits up to timeoutMs for a datagram; true when one is waiting.
    virtual bool waitReadable(int timeoutMs) = 0;
};

// The POSIX UDP socket: bound to 0.0.0.0:port exclusively, non-blocking, broadcast allowed.
std::unique_ptr<LinkTransport> makeUdpTransport();

// Receives every message from nodes 10 and 11 (the radio scoreboard link).
class RadioBoardReceiver {
public:
    virtual ~RadioBoardReceiver() = default;
    virtual void onReply(const TNodeMessage& message, const NodeAddress& from) = 0;
};

// Receives a whole "SCOREBOARD" line (decoded to UTF-8) with its sender; link thread.
using ScoreboardLineHandler = std::function<void(const std::string& line, const NodeAddress& from)>;
// Receives a line for the log window (a refused hit, a journal that cannot be written);
// link thread, outside the link lock.
using LinkLogHandler = std::function<void(const std::string& line)>;

struct LinkOptions {
    std::uint16_t port = NODE_UDP_PORT;
    // Interfaces that get the greeting; empty = every interface that is up and broadcast-capable.
    std::vector<std::string> interfaces;
    int passPeriodMs = 10;
    // While the port cannot be opened, the link tries again this often.
    int portRetryMs = 3000;
    // The hit journal (see hit_journal.h); empty = none.
    std::filesystem::path journal;
    // Hits the queue holds at most; a new hit beyond is not acknowledged (the node sends
    // it again) and the log is told once per run of refusals.
    std::size_t hitQueueCap = 20000;

    // Reads VELMARO_LINK_INTERFACES (comma-separated names) into `interfaces` and
    // VELMARO_NODE_PORT (a port other than the node port, for tests) into `port`.
    static LinkOptions fromEnvironment();
};

// Automatic start states.
enum AutoStartState : int { AUTOSTART_IDLE = 0, AUTOSTART_ARMED = 1, AUTOSTART_COUNTDOWN = 2, AUTOSTART_ABORTED = 3 };

class TSystemInterface {
public:
    explicit TSystemInterface(SystemEventSink sink, LinkOptions options = LinkOptions::fromEnvironment(),
                              std::unique_ptr<LinkEnvironment> environment = nullptr,
                              std::unique_ptr<LinkTransport> transport = nullptr);
    ~TSystemInterface(); // stops and joins the thread
    TSystemInterface(const TSystemInterface&) = delete;
    TSystemInterface& operator=(const TSystemInterface&) = delete;

    // Opens the socket and runs the link loop on its own thread. False when the socket
    // could not be opened now: the thread runs all the same and tries again every
    // portRetryMs; every change of the port state is posted as SE_PORT_STATE.
    bool start();
    // Requests termination and joins the thread; idempotent.
    void stop();
    bool running() const { return thread_.joinable(); }

    // ---- consumers (main thread; each takes the link lock) ----
    std::size_t hitCount();
    // Takes the oldest queued hit into `hit`; false (hit untouched) when the queue is empty.
    bool tryPopHit(TSignalHit& hit);
    // The main thread has logged every hit it took: when the queue is empty as well, the
    // journal holds nothing unlogged and is emptied. Ignored until journalReplayed().
    void hitsLogged();
    // The journal's hits from before this start have been fed to the intake.
    void journalReplayed();
    // The main thread has written the event's files for these hits and is about to write
    // hitlog.txt: the journal notes them as taken (HitJournal::appendTaken).
    void hitsTaken(const std::vector<TSignalHit>& hits);
    // The main thread is about to write these hits' bytes to an event file: the journal
    // notes them (HitJournal::appendWriting).
    void hitsWriting(const std::vector<JournalWrite>& writes);
    std::vector<TSystemNode> nodes(); // snapshot of the whole node table
    std::array<std::uint8_t, CHANNEL_COUNT> channelLevels();
    NodeAddress gateway();
    // The state of the node port (any thread).
    LinkPortStatus portStatus();

    // ---- commands (main thread) ----
    void sendStartCommand(std::uint8_t code, std::uint16_t param, std::uint16_t aux);
    void sendStartSignalMode(std::uint16_t value);
    void armCommand37();
    void armAutoStart(int leftLane, int rightLane, int code, int param, int aux);
    void disarmAutoStart();
    void sendStartUnitMode(std::uint16_t value);
    void sendWinner(std::uint16_t lane);
    void sendDisplayBrightness(std::uint16_t brightness, std::uint8_t node);
    void sendDisplay(const std::array<std::uint8_t, 9>& content, int lane);
    void clearDisplay(int lane);
    void sendCommand37();
    void sendLightBrightness(std::uint16_t value);
    void sendCommand53();
    void setTimeouts(int repeat, int detector);
    void requestTimeoutsPush();
    void requestChannelScan();

    // ---- sending (any thread) ----
    // Wraps `message` in a transmit frame and sends it to `to` (port = the link's port).
    // Nothing is sent to an unknown address. Returns true when the datagram left.
    bool sendToNode(const TNodeMessage& message, const NodeAddress& to);
    // Wraps `message` in a forged receive frame (own counter) and sends it (hit replay).
    bool sendAsReceivedPacket(const TNodeMessage& message, const NodeAddress& to);
    // Sends raw bytes through the link's socket (port = the link's port).
    bool sendRaw(const std::uint8_t* data, std::size_t length, const NodeAddress& to);

    // ---- attachments (set before start(), or while running: guarded) ----
    // After setRadioBoards returns, the previous receiver is no longer being called. Do
    // not call it from inside onReply.
    void setRadioBoards(RadioBoardReceiver* boards);
    void setScoreboardLineHandler(ScoreboardLineHandler handler);
    void setLogHandler(LinkLogHandler handler);

    // ---- driving the loop (the thread calls these; tests call them directly) ----
    // One pass: a new try at the port when it is not open and the retry is due, greeting
    // when due, drain every waiting datagram, schedules, offline marks, channel scan request.
    void runPass();
    // Parses one received datagram (`data` need not be zero-terminated).
    void handleDatagram(const std::uint8_t* data, std::size_t length, const NodeAddress& from);
    // Sends the greeting now to every chosen interface.
    void sendDiscovery();

    // ---- state for tests and panels (under the lock) ----
    int autoStartState();

    const LinkOptions& options() const { return options_; }

private:
    class ItemSink;
    struct Pending; // events and calls collected under the lock, delivered after it
    void loop();
    void handleNodeMessage(const TNodeMessage& m, const NodeAddress& from, Pending& out);
    void updateNodeStatus(TSystemNode& node, const NodeAddress& from, Pending& out);
    // Queues a new hit (journal first); false when it does not fit and must not be acknowledged.
    bool handleSignalHit(const TSignalHit& hit, const NodeAddress& from, Pending& out);
    void syncJournal(bool force);
    void advanceAutoStart(const TSystemNode& startUnit, Pending& out);
    void serviceRetries(Pending& out);
    void markOffline();
    // Resends due, nodes gone silent, a channel scan asked for; then the events to post.
    void servicePass();
    void deliver(Pending& out);
    void post(int code, std::uint32_t wParam);
    // Opens the port now; posts SE_PORT_STATE when its state changed. True when open.
    bool openPort();
    void retryPortWhenDue();

    SystemEventSink sink_;
    LinkOptions options_;
    std::unique_ptr<LinkEnvironment> env_;
    std::unique_ptr<LinkTransport> transport_;
    std::thread thread_;
    std::atomic<bool> terminate_{false};
    std::atomic<bool> socketOpen_{false}; // written by start() before the thread, then by the thread
    bool portWanted_ = false;             // start() was called: the port is retried until it opens
    std::uint64_t nextPortAttempt_ = 0;   // environment clock, ms
    LinkPortStatus portStatus_;           // under the link lock

    std::mutex boardsLock_; // held while the radio boards are called (never with the link lock inside a call)
    std::mutex lock_;       // the link lock
    std::uint32_t timeoutsEnabled_ = 0;
    std::uint16_t repeatTimeout_ = 0;
    std::uint16_t detectorTimeout_ = 0;
    std::vector<TSystemNode> nodes_;
    std::deque<TSignalHit> hits_;
    std::unordered_set<TSignalHit, TSignalHitHash> queued_; // the hits of hits_, for the repeat check
    std::unique_ptr<HitJournal> journal_;
    bool journalReplayed_ = false;
    bool journalFailing_ = false;
    bool refusing_ = false; // the queue was full at the last new hit
    LinkLogHandler logHandler_;
    std::uint64_t startDue_ = 0;
    int startRetries_ = 0;
    TNodeMessage startMessage_;
    std::uint64_t signalModeDue_ = 0;
    int signalModeRetries_ = 0;
    TNodeMessage signalModeMessage_;
    int command37Active_ = 0;
    std::array<int, 2> displayRetries_{};
    std::array<TNodeMessage, 2> displayMessage_{};
    std::array<std::uint64_t, 2> displayDue_{};
    std::uint64_t command37Last_ = 0;
    int command37Left_ = 0;
    int autoStartState_ = AUTOSTART_IDLE;
    int timeoutsPushRequested_ = 0;
    // Expected sensor states in the order left stage, left pre-stage, left start,
    // right stage, right pre-stage, right start; 2 = not watched.
    std::array<int, 6> expected_{2, 2, 2, 2, 2, 2};
    int autoStartCode_ = 0;
    int autoStartParam_ = 0;
    int autoStartAux_ = 0;
    int scanRequested_ = 0;
    NodeAddress gateway_;
    NodeAddress lastSender_;
    RadioBoardReceiver* radioBoards_ = nullptr;
    ScoreboardLineHandler scoreboardLine_;
    std::array<std::uint8_t, CHANNEL_COUNT> channelLevels_{};
    std::int64_t lastGreeting_ = 0;
    bool greeted_ = false;

    TFrameCounter transmitCounter_;
    TFrameCounter receiveCounter_;
};

} // namespace velmaro
