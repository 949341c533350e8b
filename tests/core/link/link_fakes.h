#pragma once
// Fakes for driving TSystemInterface without sockets or real time: a transport that
// records what is sent and hands out queued datagrams, and an environment with a
// settable clock, a scripted random source and a fixed interface list.
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "core/link/system_interface.h"

namespace velmaro::test {

struct SentDatagram {
    NodeAddress to;
    std::vector<std::uint8_t> bytes;
    std::uint64_t at = 0; // fake clock when sent
    // The node message of a 33-byte transmit frame.
    TNodeMessage message() const { return TNodeMessage::fromBytes(bytes.data() + 17); }
    bool isFrame() const { return bytes.size() == NODE_FRAME_SIZE && bytes[0] == 0x7E; }
};

class FakeTransport final : public LinkTransport {
public:
    PortState open(std::uint16_t, int&) override { return PortState::Open; }
    void close() override {}
    bool send(const NodeAddress& to, const std::uint8_t* data, std::size_t length) override {
        SentDatagram d{to, std::vector<std::uint8_t>(data, data + length), clock ? *clock : 0};
        if (onSend) onSend(d);
        std::lock_guard<std::mutex> g(m);
        sent.push_back(std::move(d));
        return true;
    }
    long receive(std::uint8_t* buffer, std::size_t capacity, NodeAddress& from) override {
        std::lock_guard<std::mutex> g(m);
        if (incoming.empty()) return -1;
        auto [addr, bytes] = incoming.front();
        incoming.pop_front();
        const std::size_t n = std::min(capacity, bytes.size());
        std::copy(bytes.begin(), bytes.begin() + long(n), buffer);
        from = addr;
        return long(n);
    }
    bool waitReadable(int) override {
        std::lock_guard<std::mutex> g(m);
        return !incoming.empty();
    }

    // Node messages sent (transmit frames only), in order.
    std::vector<TNodeMessage> messages() {
        std::lock_guard<std::mutex> g(m);
        std::vector<TNodeMessage> out;
        for (const auto& d : sent)
            if (d.isFrame()) out.push_back(d.message());
        return out;
    }
    std::vector<SentDatagram> takeSent() {
        std::lock_guard<std::mutex> g(m);
        std::vector<SentDatagram> out;
        out.swap(sent);
        return out;
    }

    // Times of the transmit frames of one message type, relative to `since`.
    std::vector<std::uint64_t> timesOf(int type, std::uint64_t since) {
        std::lock_guard<std::mutex> g(m);
        std::vector<std::uint64_t> out;
        for (const auto& d : sent)
            if (d.isFrame() && d.message().type == type) out.push_back(d.at - since);
        return out;
    }

    std::mutex m;
    std::function<void(const SentDatagram&)> onSend; // called as each datagram leaves
    const std::uint64_t* clock = nullptr;
    std::vector<SentDatagram> sent;
    std::deque<std::pair<NodeAddress, std::vector<std::uint8_t>>> incoming;
};

class FakeEnvironment final : public LinkEnvironment {
public:
    std::uint64_t nowMs() override { return now; }
    int randomInt(int maxInclusive) override {
        return random < 0 ? 0 : (random > maxInclusive ? maxInclusive : random);
    }
    std::vector<BroadcastInterface> interfaces() override { return list; }

    std::uint64_t now = 1'700'000'000'000ull;
    int random = 0;
    std::vector<BroadcastInterface> list;
};

// A link wired to the fakes, with the system events recorded.
struct LinkRig {
    FakeTransport* transport = nullptr;
    FakeEnvironment* env = nullptr;
    std::vector<std::pair<int, std::uint32_t>> events;
    std::unique_ptr<TSystemInterface> link;

    explicit LinkRig(LinkOptions options = LinkOptions{}) {
        auto t = std::make_unique<FakeTransport>();
        auto e = std::make_unique<FakeEnvironment>();
        transport = t.get();
        env = e.get();
        transport->clock = &env->now;
        link = std::make_unique<TSystemInterface>([this](int code, std::uint32_t w) { events.emplace_back(code, w); },
                                                  std::move(options), std::move(e), std::move(t));
    }

    // A datagram with one receive frame holding `m`, as the gateway forwards it.
    void receive(const TNodeMessage& m, NodeAddress from) {
        const NodeFrameBytes f = buildReceiveFrame(1, m);
        link->handleDatagram(f.data(), f.size(), from);
    }
    static TNodeMessage fromNode(int node, int type, std::uint16_t param = 0, std::uint32_t data = 0,
                                 std::uint16_t aux = 0) {
        TNodeMessage m = TNodeMessage::make(0, std::uint8_t(type), param, data, aux);
        m.from = std::uint8_t(node);
        return m;
    }
    void status(int node, std::uint16_t param, NodeAddress from, std::uint16_t aux = 0) {
        receive(fromNode(node, MSG_STATUS, param, 1'700'000'000u, aux), from);
    }
    // Advances the clock to `ms` after the start in steps of 10 ms, one pass per step.
    void runUntil(std::uint64_t startMs, std::uint64_t ms) {
        while (env->now < startMs + ms) {
            env->now += 10;
            link->runPass();
        }
    }
    int count(int code) const {
        int n = 0;
        for (auto& e : events) n += e.first == code;
        return n;
    }
};

// The oldest queued hit, taken as the main window takes it; all zero when the queue is empty.
inline TSignalHit popHit(TSystemInterface& link) {
    TSignalHit hit;
    (void)link.tryPopHit(hit);
    return hit;
}

// Entry `index` of the node table snapshot the node panels read; all zero when absent.
inline TSystemNode nodeAt(TSystemInterface& link, std::size_t index) {
    const std::vector<TSystemNode> nodes = link.nodes();
    return index < nodes.size() ? nodes[index] : TSystemNode{};
}

// Polls `pred` until it holds or `limit` passes (tests over real sockets and threads).
template <class Pred>
bool eventually(Pred pred, std::chrono::milliseconds limit = std::chrono::milliseconds(5000)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (pred()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return pred();
}

} // namespace velmaro::test
