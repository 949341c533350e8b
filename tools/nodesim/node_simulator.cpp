#include "nodesim/node_simulator.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>

namespace velmaro::nodesim {

namespace {

std::uint32_t parseIp(const std::string& s) {
    in_addr a{};
    if (s.empty() || inet_pton(AF_INET, s.c_str(), &a) != 1) return 0;
    return ntohl(a.s_addr);
}

bool isStartCode(int type) {
    return type == MSG_START_SINGLE || type == MSG_START_TWO_LANE || type == MSG_START_ARMED || type == MSG_START_153;
}

} // namespace

bool SimHit::operator<(const SimHit& o) const {
    if (time() != o.time()) return time() < o.time();
    if (node != o.node) return node < o.node;
    if (signal != o.signal) return signal < o.signal;
    return seconds < o.seconds; // same time, distinct split of seconds and ms
}

NodeSimulator::NodeSimulator(SimOptions options) : options_(std::move(options)) {
    online_.insert(options_.onlineNodes.begin(), options_.onlineNodes.end());
    radio_ = options_.radioLevels;
    sensors_[NODE_START] = options_.startUnitSensors;
    consoleIp_ = parseIp(options_.consoleAddress);
    channelLevels_.resize(CHANNEL_COUNT);
    for (int i = 0; i < CHANNEL_COUNT; ++i) channelLevels_[i] = 10 + (i * 37) % 80;
}

NodeSimulator::~NodeSimulator() { stop(); }

std::uint64_t NodeSimulator::nowMs() const {
    using namespace std::chrono;
    return static_cast<std::uint64_t>(duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count());
}

bool NodeSimulator::start() {
    if (thread_.joinable()) return true;
    const std::uint32_t ip = parseIp(options_.bindAddress);
    if (ip == 0) return false;
    // A socket belongs to the namespace it was made in: enter the simulator's for the
    // two sockets, then come back.
    int home = -1;
    if (!options_.networkNamespace.empty()) {
        home = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
        const int target = ::open(options_.networkNamespace.c_str(), O_RDONLY | O_CLOEXEC);
        const bool entered = home >= 0 && target >= 0 && ::setns(target, CLONE_NEWNET) == 0;
        if (target >= 0) ::close(target);
        if (!entered) {
            if (home >= 0) ::close(home);
            return false;
        }
    }
    // The simulator's unicast and greeting sockets share the port with each other.
    socket_ = openUdpSocket(ip, options_.port, PortSharing::Shared);
    if (const std::uint32_t g = parseIp(options_.greetingAddress); g && socket_ >= 0)
        greetingSocket_ = openUdpSocket(g, options_.port, PortSharing::Shared);
    if (home >= 0) {
        (void)::setns(home, CLONE_NEWNET);
        ::close(home);
    }
    if (socket_ < 0) return false;
    stop_ = false;
    thread_ = std::thread([this] { loop(); });
    return true;
}

void NodeSimulator::stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (socket_ >= 0) ::close(socket_);
    if (greetingSocket_ >= 0) ::close(greetingSocket_);
    socket_ = greetingSocket_ = -1;
}

std::string NodeSimulator::frameOf(const TNodeMessage& m) {
    const NodeFrameBytes f = buildReceiveFrame(++frameId_, m);
    return std::string(reinterpret_cast<const char*>(f.data()), f.size());
}

// Sends one datagram to the console, applying the failure mode. Caller holds the mutex.
void NodeSimulator::transmit(const std::string& datagram, bool applyFailure) {
    if (consoleIp_ == 0 || socket_ < 0) return;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(options_.port);
    a.sin_addr.s_addr = htonl(consoleIp_);
    auto sendOnce = [&](const std::string& bytes) {
        ::sendto(socket_, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&a), sizeof a);
    };
    const bool fault = applyFailure && options_.failure != Failure::None && options_.failureEvery > 0 &&
                       (++sendCount_ % options_.failureEvery) == 0;
    if (!fault) {
        sendOnce(datagram);
        return;
    }
    switch (options_.failure) {
    case Failure::Drop: ++counters_.dropped; break;
    case Failure::Duplicate:
        ++counters_.duplicated;
        sendOnce(datagram);
        sendOnce(datagram);
        break;
    case Failure::Garbage: {
        ++counters_.garbage;
        // Stray bytes, then a frame start whose checksum is wrong and whose length runs
        // over the real frame that follows.
        std::string junk = "\x01\x55\xAA";
        junk += std::string("\x7E\x00\x10\x90\x13\x37", 6);
        sendOnce(junk + datagram);
        break;
    }
    default: sendOnce(datagram); break;
    }
}

void NodeSimulator::transmitMessages(const std::vector<TNodeMessage>& messages) {
    const int per = options_.framesPerDatagram > 0 ? options_.framesPerDatagram : 1;
    std::string datagram;
    int inDatagram = 0;
    for (const TNodeMessage& m : messages) {
        ++counters_.sentByType[m.type];
        datagram += frameOf(m);
        if (++inDatagram == per) {
            transmit(datagram);
            datagram.clear();
            inDatagram = 0;
        }
    }
    if (!datagram.empty()) transmit(datagram);
}

void NodeSimulator::sendStatuses(std::uint64_t now) {
    std::vector<TNodeMessage> out;
    const std::uint32_t clock = static_cast<std::uint32_t>(static_cast<std::int64_t>(now / 1000) + clockOffset_);
    for (int id : online_) {
        if (id == NODE_DISPLAY_LEFT || id == NODE_DISPLAY_RIGHT) continue; // displays only answer
        TNodeMessage m;
        m.from = std::uint8_t(id);
        m.type = MSG_STATUS;
        if (id == NODE_RADIO_BOARD_LEFT || id == NODE_RADIO_BOARD_RIGHT) {
            m.param = options_.boardLayout;
        } else {
            const auto s = sensors_.find(id);
            m.param = s != sensors_.end() ? s->second : options_.otherSensors;
            if (clockSynced_) m.param |= STATUS_SYNCED;
            if (id == NODE_START && options_.clockRequest && !clockSynced_) m.param |= STATUS_CLOCK_REQUEST;
            m.data = clock;
            const auto r = radio_.find(id);
            m.aux = static_cast<std::uint16_t>(static_cast<std::int16_t>(r != radio_.end() ? r->second : -40 - 3 * id));
        }
        out.push_back(m);
    }
    // Node 1 first: the console learns the gateway from it.
    std::stable_partition(out.begin(), out.end(), [](const TNodeMessage& m) { return m.from == NODE_START; });
    for (const TNodeMessage& m : out) {
        ++counters_.sentByType[m.type];
        transmit(frameOf(m));
    }
}

void NodeSimulator::loop() {
    std::uint64_t nextStatus = 0;
    std::uint64_t nextRadio = 0;
    int lampStep = 0;
    std::uint8_t buffer[NODE_DATAGRAM_MAX + 1];
    while (!stop_) {
        pollfd fds[2] = {{socket_, POLLIN, 0}, {greetingSocket_, POLLIN, 0}};
        ::poll(fds, greetingSocket_ >= 0 ? 2 : 1, 5);
        std::lock_guard<std::mutex> guard(mutex_);
        for (int k = 0; k < 2; ++k) {
            const int s = k == 0 ? socket_ : greetingSocket_;
            if (s < 0) continue;
            for (;;) {
                sockaddr_in from{};
                socklen_t len = sizeof from;
                const ssize_t n = ::recvfrom(s, buffer, NODE_DATAGRAM_MAX, 0, reinterpret_cast<sockaddr*>(&from), &len);
                if (n < 0) break;
                buffer[n] = 0;
                handleDatagram(buffer, std::size_t(n), ntohl(from.sin_addr.s_addr));
            }
        }
        const std::uint64_t now = nowMs();
        if (now >= nextStatus) {
            sendStatuses(now);
            nextStatus = now + std::uint64_t(options_.statusPeriodMs);
            if (options_.animateLamps && online_.count(NODE_START)) {
                // Walk the tree: pre-stage, stage, three ambers, green; flicker some sensors.
                static const std::uint8_t steps[] = {0x01, 0x03, 0x07, 0x0B, 0x13, 0x23, 0x00};
                const std::uint8_t lane = steps[lampStep++ % 7];
                transmitMessages({TNodeMessage{NODE_MESSAGE_MARKER, NODE_START, 0, MSG_START_LIGHTS,
                                               std::uint16_t(lane | (lane << 8)), 0, 0, NODE_MESSAGE_END_MARKER}});
                sensors_[NODE_START] = std::uint16_t(options_.startUnitSensors ^ (lampStep & 0x3F));
            }
        }
        if (options_.radioReportPeriodMs > 0 && online_.count(NODE_START) && now >= nextRadio) {
            std::array<std::uint8_t, NODE_MESSAGE_SIZE> b =
                TNodeMessage{NODE_MESSAGE_MARKER, NODE_START, 0, MSG_RADIO_LEVELS, 0, 0, 0, NODE_MESSAGE_END_MARKER}
                    .toBytes();
            auto level = [&](int id) {
                const auto r = radio_.find(id);
                return std::uint8_t(std::int8_t(r != radio_.end() ? r->second - 5 : -45 - 3 * id));
            };
            b[7] = level(2);
            b[8] = level(3);
            b[9] = level(4);
            b[10] = level(5);
            b[11] = level(6);
            b[12] = level(7);
            transmitMessages({TNodeMessage::fromBytes(b.data())});
            nextRadio = now + std::uint64_t(options_.radioReportPeriodMs);
        }
        // Repeat what the console has not acknowledged yet.
        std::vector<TNodeMessage> resend;
        for (auto& [hit, last] : pending_) {
            if (now - last < std::uint64_t(options_.hitResendMs)) continue;
            last = now;
            ++counters_.hitResends;
            resend.push_back(TNodeMessage{NODE_MESSAGE_MARKER, hit.node, 0, MSG_HIT, hit.signal, hit.seconds,
                                          hit.milliseconds, NODE_MESSAGE_END_MARKER});
        }
        if (!resend.empty() && consoleIp_ != 0) transmitMessages(resend);
    }
}

void NodeSimulator::handleDatagram(const std::uint8_t* data, std::size_t length, std::uint32_t fromIp) {
    if (length == NODE_GREETING.size() && std::memcmp(data, NODE_GREETING.data(), length) == 0) {
        ++counters_.greetings;
        if (consoleIp_ == 0) consoleIp_ = fromIp;
        changed_.notify_all();
        return;
    }
    // The console sends transmit frames (0x10); the console's parser takes only receive
    // frames, so walk the frames here.
    std::vector<TNodeMessage> messages;
    std::size_t i = 0;
    bool any = false;
    while (i + 4 <= length) {
        if (data[i] != 0x7E) {
            ++i;
            continue;
        }
        const std::size_t n = (std::size_t(data[i + 1]) << 8) | data[i + 2];
        if (i + 3 + n >= length || frameChecksum(data + i + 3, n) != data[i + 3 + n]) {
            ++i;
            continue;
        }
        if (n == 29 && data[i + 3] == FRAME_TYPE_TRANSMIT) {
            messages.push_back(TNodeMessage::fromBytes(data + i + 17));
            any = true;
        }
        i += n + 4;
    }
    if (!any) {
        ++counters_.badFrames;
        return;
    }
    if (consoleIp_ == 0) consoleIp_ = fromIp;
    for (const TNodeMessage& m : messages) handleConsoleMessage(m);
    changed_.notify_all();
}

void NodeSimulator::handleConsoleMessage(const TNodeMessage& m) {
    if (m.marker != NODE_MESSAGE_MARKER || m.endMarker != NODE_MESSAGE_END_MARKER || m.from != 0) return;
    received_.push_back(m);
    ++counters_.receivedByType[m.type];
    auto reply = [&](std::uint8_t from, std::uint8_t type, std::uint16_t param = 0, std::uint32_t d = 0,
                     std::uint16_t aux = 0) {
        transmitMessages({TNodeMessage{NODE_MESSAGE_MARKER, from, 0, type, param, d, aux, NODE_MESSAGE_END_MARKER}});
    };
    if (m.to == NODE_DISPLAY_LEFT || m.to == NODE_DISPLAY_RIGHT) {
        if (online_.count(m.to)) reply(m.to, m.type == MSG_DISPLAY_BRIGHTNESS ? MSG_DISPLAY_BRIGHTNESS : 0);
        return;
    }
    if (m.to == NODE_RADIO_BOARD_LEFT || m.to == NODE_RADIO_BOARD_RIGHT) {
        if (online_.count(m.to)) reply(m.to, m.type, m.param);
        return;
    }
    switch (m.type) {
    case MSG_HIT: {
        const SimHit hit{m.to, m.param, m.data, m.aux};
        if (pending_.erase(hit)) {
            acked_.insert(hit);
            ++counters_.acks;
        } else if (acked_.count(hit)) {
            ++counters_.duplicateAcks;
        } else {
            ++counters_.unmatchedAcks;
        }
        break;
    }
    case MSG_TIMEOUTS:
        if (online_.count(m.to)) reply(m.to, MSG_TIMEOUTS, m.param, 0, m.aux);
        break;
    case MSG_TIMEOUTS_PUSH:
        repeatTimeout_ = m.param;
        detectorTimeout_ = m.aux;
        reply(NODE_START, MSG_TIMEOUTS, m.param, 0, m.aux);
        break;
    case MSG_SET_CLOCK:
        clockSynced_ = true;
        clockOffset_ = static_cast<std::int64_t>(m.data) - static_cast<std::int64_t>(nowMs() / 1000);
        break;
    case MSG_COMMAND37: reply(NODE_START, MSG_COMMAND37); break;
    case MSG_START_SIGNAL_MODE: reply(NODE_START, MSG_START_SIGNAL_MODE, m.param); break;
    case MSG_CHANNEL_SCAN: {
        std::string text = "CHANNELS:";
        for (std::size_t k = 0; k < channelLevels_.size(); ++k) {
            if (k) text += ',';
            text += std::to_string(channelLevels_[k]);
        }
        text += '\0';
        transmit(text, false);
        break;
    }
    default:
        if (isStartCode(m.type) && options_.answerStart) {
            reply(NODE_START, MSG_START_GIVEN);
            reply(NODE_START, MSG_START_LIGHTS, 0x2020);
        }
        break;
    }
}

void NodeSimulator::sendHit(int node, int signal, std::uint64_t timeMs) {
    std::lock_guard<std::mutex> guard(mutex_);
    const SimHit hit{std::uint8_t(node), std::uint16_t(signal), std::uint32_t(timeMs / 1000),
                     std::uint16_t(timeMs % 1000)};
    if (pending_.count(hit) || acked_.count(hit)) return;
    ++counters_.hitsSent;
    pending_[hit] = nowMs();
    transmitMessages({TNodeMessage{NODE_MESSAGE_MARKER, hit.node, 0, MSG_HIT, hit.signal, hit.seconds, hit.milliseconds,
                                   NODE_MESSAGE_END_MARKER}});
}

std::vector<SimHit> NodeSimulator::burst(int count, const std::vector<int>& nodes, std::uint64_t firstTimeMs,
                                         int stepMs) {
    std::vector<SimHit> hits;
    std::vector<TNodeMessage> messages;
    std::lock_guard<std::mutex> guard(mutex_);
    const std::uint64_t now = nowMs();
    for (int k = 0; k < count && !nodes.empty(); ++k) {
        const std::uint64_t t = firstTimeMs + std::uint64_t(k) * std::uint64_t(stepMs);
        const SimHit hit{std::uint8_t(nodes[std::size_t(k) % nodes.size()]), std::uint16_t(k % 4),
                         std::uint32_t(t / 1000), std::uint16_t(t % 1000)};
        if (pending_.count(hit) || acked_.count(hit)) continue;
        ++counters_.hitsSent;
        pending_[hit] = now;
        hits.push_back(hit);
        messages.push_back(TNodeMessage{NODE_MESSAGE_MARKER, hit.node, 0, MSG_HIT, hit.signal, hit.seconds,
                                        hit.milliseconds, NODE_MESSAGE_END_MARKER});
    }
    transmitMessages(messages);
    return hits;
}

void NodeSimulator::sendMessage(const TNodeMessage& message) {
    std::lock_guard<std::mutex> guard(mutex_);
    transmitMessages({message});
}

void NodeSimulator::sendRawDatagram(const std::string& bytes) {
    std::lock_guard<std::mutex> guard(mutex_);
    transmit(bytes, false);
}

void NodeSimulator::setSensors(int node, std::uint16_t bits) {
    std::lock_guard<std::mutex> guard(mutex_);
    sensors_[node] = bits;
}

void NodeSimulator::setOnline(int node, bool online) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (online)
        online_.insert(node);
    else
        online_.erase(node);
}

void NodeSimulator::setRadioLevel(int node, int level) {
    std::lock_guard<std::mutex> guard(mutex_);
    radio_[node] = level;
}

void NodeSimulator::setChannelLevels(const std::vector<int>& levels) {
    std::lock_guard<std::mutex> guard(mutex_);
    channelLevels_ = levels;
}

bool NodeSimulator::waitAllAcked(int timeoutMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return pending_.empty(); });
}

bool NodeSimulator::waitForType(int type, int count, int timeoutMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return counters_.receivedByType[type] >= count; });
}

std::size_t NodeSimulator::pendingHits() {
    std::lock_guard<std::mutex> guard(mutex_);
    return pending_.size();
}

std::set<SimHit> NodeSimulator::acknowledged() {
    std::lock_guard<std::mutex> guard(mutex_);
    return acked_;
}

std::vector<TNodeMessage> NodeSimulator::received() {
    std::lock_guard<std::mutex> guard(mutex_);
    return received_;
}

SimCounters NodeSimulator::counters() {
    std::lock_guard<std::mutex> guard(mutex_);
    return counters_;
}

std::string NodeSimulator::consoleAddress() {
    std::lock_guard<std::mutex> guard(mutex_);
    in_addr a{htonl(consoleIp_)};
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &a, text, sizeof text);
    return consoleIp_ ? text : "";
}

} // namespace velmaro::nodesim
