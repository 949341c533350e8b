#pragma once
// A simulated timing network: the radio-modem gateway with nodes 1 to 11, speaking the
// node protocol over UDP. It sends node statuses (sensor states, radio levels, clock
// request), answers clock sync, timeouts, start commands, type 37/38, channel scans,
// lane displays and radio boards, and sends sensor hits that it repeats until the
// console acknowledges them. Failure modes (drop, duplicate, garbage) are applied to
// what it sends, with counters that tests read.
//
// Only for loopback or a private network namespace: it binds the address it is given.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "core/link/node_protocol.h"
#include "core/link/system_interface.h"

namespace velmaro::nodesim {

// What may go wrong with the datagrams the simulator sends.
enum class Failure {
    None,
    Drop,      // every `failureEvery`-th datagram is not sent
    Duplicate, // every `failureEvery`-th datagram is sent twice
    Garbage    // every `failureEvery`-th datagram is preceded by garbage bytes and a bad-checksum frame
};

struct SimOptions {
    std::string bindAddress = "127.0.0.1"; // the gateway's own address
    std::uint16_t port = NODE_UDP_PORT;    // the node network port (the console's too)
    std::string consoleAddress;            // where to send; empty = learned from the greeting or first datagram
    std::string greetingAddress;           // broadcast address to listen on for the greeting; empty = none
    // A network namespace file (/proc/<pid>/ns/net, /run/netns/<name>) whose sockets the
    // simulator uses; empty = the caller's. The console owns the node port alone, so a
    // simulator beside it on one machine lives in a namespace of its own.
    std::string networkNamespace;
    std::vector<int> onlineNodes = {1, 2, 4, 5};
    std::map<int, int> radioLevels; // own radio level (dB) per node; default -40 - 3 * id
    int statusPeriodMs = 500;
    int radioReportPeriodMs = 1000; // node 1's type 30 report; 0 = none
    int hitResendMs = 100;          // repeat an unacknowledged hit after this long
    bool clockRequest = true;       // node 1 asks for the clock until it gets it
    bool answerStart = true;        // answer start commands with type 11
    int framesPerDatagram = 1;      // hits packed back to back in one datagram
    Failure failure = Failure::None;
    int failureEvery = 10;
    std::uint16_t startUnitSensors = 0x0000; // status bits 0..5 of node 1
    std::uint16_t otherSensors = 0x0000;     // status bits of the other nodes
    std::uint16_t boardLayout = 152;         // param of the radio boards' status
    bool animateLamps = false;               // walk the start light tree and flicker sensors (for a demo)
};

struct SimCounters {
    std::map<int, int> receivedByType; // console messages by type
    std::map<int, int> sentByType;     // simulator messages by type (hits counted once per send)
    int greetings = 0;
    int hitsSent = 0; // distinct hits
    int hitResends = 0;
    int acks = 0;          // acknowledgements that matched a pending hit
    int duplicateAcks = 0; // acknowledgements of a hit already acknowledged
    int unmatchedAcks = 0; // acknowledgements that match no hit sent
    int dropped = 0;
    int duplicated = 0;
    int garbage = 0;
    int badFrames = 0; // datagrams from the console that held no good frame
};

// One hit with its identity exactly as it went on the wire.
struct SimHit {
    std::uint8_t node = 0;
    std::uint16_t signal = 0;
    std::uint32_t seconds = 0;
    std::uint16_t milliseconds = 0;
    bool operator<(const SimHit& o) const;
    bool operator==(const SimHit&) const = default;
    std::uint64_t time() const { return std::uint64_t(seconds) * 1000 + milliseconds; }
};

class NodeSimulator {
public:
    explicit NodeSimulator(SimOptions options);
    ~NodeSimulator();
    NodeSimulator(const NodeSimulator&) = delete;
    NodeSimulator& operator=(const NodeSimulator&) = delete;

    bool start(); // binds and runs its thread; false when the socket cannot be bound
    void stop();

    // Queues a sensor hit (sent at once, repeated until acknowledged).
    void sendHit(int node, int signal, std::uint64_t timeMs);
    // `count` hits spread over `nodes` in turn, times from `firstTimeMs` `stepMs` apart,
    // signals cycling 0..3. Returns the hits queued.
    std::vector<SimHit> burst(int count, const std::vector<int>& nodes, std::uint64_t firstTimeMs, int stepMs);

    // Sends one node message from a node to the console at once (wrapped in a receive frame).
    void sendMessage(const TNodeMessage& message);
    void sendRawDatagram(const std::string& bytes);
    void setSensors(int node, std::uint16_t bits);
    void setOnline(int node, bool online);
    void setRadioLevel(int node, int level);
    void setChannelLevels(const std::vector<int>& levels);

    // Waits until every hit was acknowledged (or the time-out passed).
    bool waitAllAcked(int timeoutMs);
    // Waits until `count` console messages of `type` arrived.
    bool waitForType(int type, int count, int timeoutMs);
    std::size_t pendingHits();
    std::set<SimHit> acknowledged();
    std::vector<TNodeMessage> received(); // every console message, in order
    SimCounters counters();
    std::string consoleAddress();

private:
    void loop();
    void handleDatagram(const std::uint8_t* data, std::size_t length, std::uint32_t fromIp);
    void handleConsoleMessage(const TNodeMessage& m);
    void sendStatuses(std::uint64_t nowMs);
    void transmit(const std::string& datagram, bool applyFailure = true);
    void transmitMessages(const std::vector<TNodeMessage>& messages);
    std::string frameOf(const TNodeMessage& m);
    std::uint64_t nowMs() const;

    SimOptions options_;
    int socket_ = -1;
    int greetingSocket_ = -1;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::condition_variable changed_;
    std::uint32_t consoleIp_ = 0;
    std::set<int> online_;
    std::map<int, std::uint16_t> sensors_;
    std::map<int, int> radio_;
    std::map<SimHit, std::uint64_t> pending_; // hit -> time of its last send
    std::set<SimHit> acked_;
    std::vector<TNodeMessage> received_;
    SimCounters counters_;
    std::vector<int> channelLevels_;
    bool clockSynced_ = false;
    std::int64_t clockOffset_ = 0;
    int sendCount_ = 0;
    std::uint8_t frameId_ = 0;
    std::uint16_t repeatTimeout_ = 0;
    std::uint16_t detectorTimeout_ = 0;
};

} // namespace velmaro::nodesim
