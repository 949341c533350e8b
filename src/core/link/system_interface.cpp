#include "core/link/system_interface.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <utility>

#include "core/link/hit_journal.h"
#include "core/platform/text_codec.h"

namespace velmaro {

// What a handler decided while holding the link lock and that must happen after it:
// system events, messages for the radio boards, scoreboard lines.
struct TSystemInterface::Pending {
    std::vector<std::pair<int, std::uint32_t>> events;
    std::vector<std::pair<TNodeMessage, NodeAddress>> boardMessages;
    std::vector<std::pair<std::string, NodeAddress>> scoreboardLines;
    std::vector<std::string> logLines;
    bool newHitsPosted = false;

    void post(int code, std::uint32_t wParam) {
        if (code == SE_NEW_HITS) {
            if (newHitsPosted) return;
            newHitsPosted = true;
        }
        events.emplace_back(code, wParam);
    }
};

class TSystemInterface::ItemSink final : public DatagramItemSink {
public:
    ItemSink(TSystemInterface& link, const NodeAddress& from, Pending& out) : link_(link), from_(from), out_(out) {}
    void onChannelLevels(std::string_view text) override {
        readChannelLevels(text, link_.channelLevels_);
        out_.post(SE_CHANNEL_LEVELS, 0);
    }
    void onScoreboardLine(std::string_view line) override {
        if (link_.scoreboardLine_) out_.scoreboardLines.emplace_back(decodeLine(line), from_);
    }
    void onNodeMessage(const std::uint8_t* bytes) override {
        link_.handleNodeMessage(TNodeMessage::fromBytes(bytes), from_, out_);
    }

private:
    TSystemInterface& link_;
    NodeAddress from_;
    Pending& out_;
};

TSystemInterface::TSystemInterface(SystemEventSink sink, LinkOptions options,
                                   std::unique_ptr<LinkEnvironment> environment,
                                   std::unique_ptr<LinkTransport> transport)
    : sink_(std::move(sink)), options_(std::move(options)), env_(std::move(environment)),
      transport_(std::move(transport)) {
    if (!env_) env_ = std::make_unique<LinkEnvironment>();
    if (!transport_) transport_ = makeUdpTransport();
    if (options_.passPeriodMs < 1) options_.passPeriodMs = 1;
    if (options_.hitQueueCap < 1) options_.hitQueueCap = 1;
    if (!options_.journal.empty()) {
        journal_ = std::make_unique<HitJournal>(options_.journal);
        // A journal that cannot be opened is said on the first hit (the log handler is
        // not attached yet); the hits are then taken without it.
        (void)journal_->open();
    }
}

TSystemInterface::~TSystemInterface() {
    stop();
    transport_->close();
}

bool TSystemInterface::start() {
    if (thread_.joinable()) return socketOpen_;
    portWanted_ = true;
    if (!socketOpen_) openPort();
    const bool open = socketOpen_;
    terminate_ = false;
    thread_ = std::thread([this] { loop(); });
    return open;
}

bool TSystemInterface::openPort() {
    int error = 0;
    const PortState state = transport_->open(options_.port, error);
    socketOpen_ = state == PortState::Open;
    nextPortAttempt_ = env_->nowMs() + static_cast<std::uint64_t>(std::max(options_.portRetryMs, 1));
    const LinkPortStatus now{state, socketOpen_ ? 0 : error, options_.port};
    bool changed = false;
    {
        std::lock_guard<std::mutex> guard(lock_);
        changed = now.state != portStatus_.state || now.error != portStatus_.error;
        portStatus_ = now;
    }
    if (changed) post(SE_PORT_STATE, static_cast<std::uint32_t>(state));
    return socketOpen_;
}

void TSystemInterface::retryPortWhenDue() {
    if (portWanted_ && !socketOpen_ && env_->nowMs() >= nextPortAttempt_) openPort();
}

LinkPortStatus TSystemInterface::portStatus() {
    std::lock_guard<std::mutex> guard(lock_);
    return portStatus_;
}

void TSystemInterface::stop() {
    terminate_ = true;
    if (thread_.joinable()) thread_.join();
    syncJournal(true);
}

void TSystemInterface::loop() {
    using clock = std::chrono::steady_clock;
    const auto period = std::chrono::milliseconds(options_.passPeriodMs);
    auto nextService = clock::now() + period;
    bool passDue = true; // the greeting is checked once per pass, not on every datagram
    while (!terminate_) {
        if (passDue) {
            retryPortWhenDue();
            const std::int64_t now = env_->pcClockSeconds();
            if (!greeted_ || now - lastGreeting_ >= 10) sendDiscovery();
            passDue = false;
        }
        // Sleep until the next pass, the wait rounded up to whole ms: rounding down would
        // end in a run of zero-timeout polls during the last fraction of a millisecond.
        auto now = clock::now();
        if (now < nextService) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(nextService - now).count();
            if (transport_->waitReadable(int(left))) {
                std::uint8_t buffer[NODE_DATAGRAM_MAX + 1];
                NodeAddress from;
                // Drain what is waiting, a bounded number per turn so the schedules keep their pace.
                for (int taken = 0; taken < 512; ++taken) {
                    const long n = transport_->receive(buffer, NODE_DATAGRAM_MAX, from);
                    if (n < 0) break;
                    buffer[n] = 0;
                    handleDatagram(buffer, std::size_t(n), from);
                }
            }
            syncJournal(false);
            now = clock::now();
        }
        if (now >= nextService) {
            servicePass();
            nextService = now + period;
            passDue = true;
        }
    }
}

void TSystemInterface::runPass() {
    retryPortWhenDue();
    {
        const std::int64_t now = env_->pcClockSeconds();
        if (!greeted_ || now - lastGreeting_ >= 10) sendDiscovery();
    }
    std::uint8_t buffer[NODE_DATAGRAM_MAX + 1];
    NodeAddress from;
    for (;;) {
        const long n = transport_->receive(buffer, NODE_DATAGRAM_MAX, from);
        if (n < 0) break;
        buffer[n] = 0;
        handleDatagram(buffer, std::size_t(n), from);
    }
    syncJournal(false);
    servicePass();
}

void TSystemInterface::syncJournal(bool force) {
    if (!journal_) return;
    int fd;
    {
        std::lock_guard<std::mutex> guard(lock_);
        fd = journal_->takeDueSync(env_->nowMs(), force);
    }
    // The flush may take milliseconds: the main thread's pops do not wait for it. The
    // descriptor lives as long as the link.
    if (fd >= 0) ::fdatasync(fd);
}

void TSystemInterface::servicePass() {
    Pending out;
    {
        std::lock_guard<std::mutex> guard(lock_);
        serviceRetries(out);
        markOffline();
        if (scanRequested_ && lastSender_.known()) {
            scanRequested_ = 0;
            sendToNode(TNodeMessage::make(NODE_START, MSG_CHANNEL_SCAN), lastSender_);
        }
    }
    deliver(out);
}

void TSystemInterface::sendDiscovery() {
    greeted_ = true;
    lastGreeting_ = env_->pcClockSeconds();
    for (const BroadcastInterface& i : env_->interfaces()) {
        if (!i.up || !i.broadcast) continue;
        if (!options_.interfaces.empty() &&
            std::find(options_.interfaces.begin(), options_.interfaces.end(), i.name) == options_.interfaces.end())
            continue;
        sendRaw(reinterpret_cast<const std::uint8_t*>(NODE_GREETING.data()), NODE_GREETING.size(),
                NodeAddress{i.broadcastAddress(), options_.port});
    }
}

void TSystemInterface::handleDatagram(const std::uint8_t* data, std::size_t length, const NodeAddress& from) {
    Pending out;
    {
        std::lock_guard<std::mutex> guard(lock_);
        // Our own greeting comes back to the socket that broadcast it: it names no node.
        const bool ownGreeting =
            length == NODE_GREETING.size() && std::equal(data, data + length, NODE_GREETING.begin());
        if (!ownGreeting) lastSender_ = from;
        ItemSink sink(*this, from, out);
        parseDatagramItems(data, std::min(length, NODE_DATAGRAM_MAX), sink);
    }
    deliver(out);
}

void TSystemInterface::deliver(Pending& out) {
    if (!out.boardMessages.empty()) {
        // The delivery lock (not the link lock) keeps the receiver alive while it is
        // called: setRadioBoards(nullptr) waits for a call in progress.
        std::lock_guard<std::mutex> delivering(boardsLock_);
        RadioBoardReceiver* boards = nullptr;
        {
            std::lock_guard<std::mutex> guard(lock_);
            boards = radioBoards_;
        }
        if (boards)
            for (const auto& [m, from] : out.boardMessages) boards->onReply(m, from);
    }
    ScoreboardLineHandler lineHandler;
    if (!out.scoreboardLines.empty()) {
        std::lock_guard<std::mutex> guard(lock_);
        lineHandler = scoreboardLine_;
    }
    if (lineHandler)
        for (const auto& [line, from] : out.scoreboardLines) lineHandler(line, from);
    LinkLogHandler logHandler;
    if (!out.logLines.empty()) {
        std::lock_guard<std::mutex> guard(lock_);
        logHandler = logHandler_;
    }
    if (logHandler)
        for (const std::string& line : out.logLines) logHandler(line);
    for (const auto& [code, wParam] : out.events) post(code, wParam);
}

void TSystemInterface::post(int code, std::uint32_t wParam) {
    if (sink_) sink_(code, wParam);
}

void TSystemInterface::handleNodeMessage(const TNodeMessage& m, const NodeAddress& from, Pending& out) {
    if (!m.acceptedByConsole()) return;
    switch (m.from) {
    case NODE_DISPLAY_LEFT:
    case NODE_DISPLAY_RIGHT: {
        const int lane = m.from == NODE_DISPLAY_LEFT ? 0 : 1;
        displayRetries_[lane] = 0;
        displayDue_[lane] = 0;
        return;
    }
    case NODE_RADIO_BOARD_LEFT:
    case NODE_RADIO_BOARD_RIGHT:
        if (radioBoards_) out.boardMessages.emplace_back(m, from);
        return;
    default: break;
    }

    switch (m.type) {
    case MSG_STATUS: {
        auto it = std::find_if(nodes_.begin(), nodes_.end(), [&](const TSystemNode& n) { return n.id == m.from; });
        if (it == nodes_.end()) {
            TSystemNode fresh;
            fresh.id = m.from;
            nodes_.push_back(fresh);
            it = nodes_.end() - 1;
        }
        TSystemNode& node = *it;
        node.synced = (m.param & STATUS_SYNCED) ? 1 : 0;
        node.nodeClock = m.data;
        if (m.from != NODE_START) {
            node.rssi = static_cast<std::int16_t>(m.aux);
            if (m.from == NODE_START_READER) nodes_.front().rssi = node.rssi;
        }
        static constexpr int bits[6] = {0, 2, 1, 3, 4, 5};
        for (int k = 0; k < 6; ++k) node.sensors[k] = (m.param >> bits[k]) & 1;
        node.clockRequest = m.param & STATUS_CLOCK_REQUEST;
        updateNodeStatus(node, from, out);
        break;
    }
    case MSG_HIT: {
        TSignalHit hit;
        hit.node = m.from;
        hit.signal = m.param;
        hit.time = std::uint64_t(m.data) * 1000u + m.aux;
        // Acknowledged only once it is in the journal (or was queued before); the
        // acknowledgement repeats signal, seconds and milliseconds exactly as received.
        if (handleSignalHit(hit, from, out))
            sendToNode(TNodeMessage::make(m.from, MSG_HIT, m.param, m.data, m.aux), from);
        break;
    }
    case MSG_TIMEOUTS:
        for (TSystemNode& n : nodes_) {
            if (m.from == NODE_START && n.id == NODE_START_READER && n.online) {
                n.echoRepeatTimeout = m.param;
                n.echoDetectorTimeout = m.aux;
            }
            if (n.id == m.from) {
                n.echoRepeatTimeout = m.param;
                n.echoDetectorTimeout = m.aux;
                if (m.from != NODE_START) break;
            }
        }
        break;
    case MSG_START_GIVEN:
        startDue_ = 0;
        startRetries_ = 0;
        autoStartState_ = AUTOSTART_IDLE;
        out.post(SE_START_GIVEN, 0);
        break;
    case MSG_START_LIGHTS: out.post(SE_START_LIGHTS, m.param); break;
    case MSG_RADIO_LEVELS:
        for (TSystemNode& n : nodes_) n.reportedRssi = reportedLevelFor(m, n.id);
        break;
    case MSG_COMMAND37: command37Active_ = 0; break;
    case MSG_START_SIGNAL_MODE:
        signalModeDue_ = 0;
        signalModeRetries_ = 0;
        break;
    case MSG_TAG_AT_START: out.post(SE_TAG_AT_START, std::uint32_t(m.from) | (std::uint32_t(m.param) << 8)); break;
    default: break;
    }
}

void TSystemInterface::updateNodeStatus(TSystemNode& node, const NodeAddress& from, Pending& out) {
    if (node.id == NODE_START) {
        gateway_ = from;
        if (node.clockRequest)
            sendToNode(TNodeMessage::make(NODE_START, MSG_SET_CLOCK, 1, std::uint32_t(env_->pcClockSeconds())), from);
        if (timeoutsPushRequested_) {
            sendToNode(TNodeMessage::make(NODE_START, MSG_TIMEOUTS_PUSH, repeatTimeout_, 0, detectorTimeout_), from);
            timeoutsPushRequested_ = 0;
        }
        advanceAutoStart(node, out);
    }
    if (timeoutsEnabled_ && (node.echoRepeatTimeout == 0 || node.echoDetectorTimeout == 0 || !node.online))
        sendToNode(TNodeMessage::make(std::uint8_t(node.id), MSG_TIMEOUTS, repeatTimeout_, 0, detectorTimeout_), from);
    node.online = 1;
    node.lastStatusTime = env_->pcClockSeconds();
}

bool TSystemInterface::handleSignalHit(const TSignalHit& hit, const NodeAddress&, Pending& out) {
    // A repeat sent by the node before the main thread took the first copy: already safe.
    if (queued_.count(hit)) return true;
    if (hits_.size() >= options_.hitQueueCap) {
        if (!refusing_)
            out.logLines.push_back("Очередь отметок заполнена (" + std::to_string(hits_.size()) +
                                   "): новые отметки не подтверждаются, узлы пришлют их снова");
        refusing_ = true;
        return false;
    }
    if (refusing_) {
        refusing_ = false;
        out.logLines.push_back("Очередь отметок снова принимает отметки");
    }
    if (journal_) {
        const bool written = journal_->append(hit, env_->nowMs());
        if (written == journalFailing_) {
            journalFailing_ = !written;
            out.logLines.push_back(written ? "Журнал отметок снова записывается"
                                           : "Журнал отметок не записывается (" + journal_->error() +
                                                 "): при сбое программы неучтённые отметки пропадут");
        }
    }
    const auto at = std::upper_bound(hits_.begin(), hits_.end(), hit.time,
                                     [](std::uint64_t t, const TSignalHit& h) { return t < h.time; });
    hits_.insert(at, hit);
    queued_.insert(hit);
    out.post(SE_NEW_HITS, 0);
    return true;
}

void TSystemInterface::advanceAutoStart(const TSystemNode& unit, Pending& out) {
    // Sensor states in the order of the expected states: left stage, left pre-stage,
    // left start, right stage, right pre-stage, right start.
    const std::array<int, 6> actual = {unit.sensors[2], unit.sensors[4], unit.sensors[0],
                                       unit.sensors[3], unit.sensors[5], unit.sensors[1]};
    auto allMatch = [&] {
        for (int k = 0; k < 6; ++k)
            if (expected_[k] != 2 && expected_[k] != actual[k]) return false;
        return true;
    };
    switch (autoStartState_) {
    case AUTOSTART_ARMED:
        if (allMatch()) {
            autoStartState_ = AUTOSTART_COUNTDOWN;
            startMessage_ = TNodeMessage::make(NODE_START, std::uint8_t(autoStartCode_), std::uint16_t(autoStartParam_),
                                               0, std::uint16_t(autoStartAux_));
            startDue_ = env_->nowMs() + 2600 + 100u * std::uint64_t(env_->randomInt(16));
            startRetries_ = 5;
        }
        break;
    case AUTOSTART_COUNTDOWN:
        if (!allMatch()) {
            autoStartState_ = AUTOSTART_ABORTED;
            startRetries_ = 0;
            out.post(SE_AUTOSTART_ABORTED, 0);
        }
        break;
    case AUTOSTART_ABORTED: {
        bool allOne = true;
        for (int k = 0; k < 6; ++k)
            if (expected_[k] != 2 && actual[k] != 1) allOne = false;
        if (allOne) autoStartState_ = AUTOSTART_ARMED;
        break;
    }
    default: break;
    }
}

void TSystemInterface::serviceRetries(Pending& out) {
    const std::uint64_t now = env_->nowMs();
    if (startDue_ && now >= startDue_ && startRetries_ > 0) {
        --startRetries_;
        if (autoStartState_ != AUTOSTART_IDLE) out.events.emplace_back(SE_START_RESENT, 0);
        sendToNode(startMessage_, gateway_);
        startDue_ = now + 500;
        if (startRetries_ == 0) autoStartState_ = AUTOSTART_IDLE;
    }
    if (signalModeDue_ && now >= signalModeDue_ && signalModeRetries_ > 0) {
        --signalModeRetries_;
        sendToNode(signalModeMessage_, gateway_);
        signalModeDue_ = now + 500;
    }
    for (int lane = 0; lane < 2; ++lane) {
        if (displayRetries_[lane] > 0 && now >= displayDue_[lane]) {
            sendToNode(displayMessage_[lane], gateway_);
            displayDue_[lane] = now + 250;
            --displayRetries_[lane];
        }
    }
    if (command37Active_ && now - command37Last_ > 300) {
        sendToNode(TNodeMessage::make(NODE_START, MSG_COMMAND37, 0, 0, 1), gateway_);
        command37Last_ = now;
        if (--command37Left_ <= 0) command37Active_ = 0;
    }
}

void TSystemInterface::markOffline() {
    const std::int64_t now = env_->pcClockSeconds();
    for (TSystemNode& n : nodes_)
        if (now - n.lastStatusTime >= 3) n.online = 0;
}

// ---- sending ----

bool TSystemInterface::sendRaw(const std::uint8_t* data, std::size_t length, const NodeAddress& to) {
    if (!to.known()) return false; // never to 0.0.0.0
    return transport_->send(NodeAddress{to.ip, options_.port}, data, length);
}

bool TSystemInterface::sendToNode(const TNodeMessage& message, const NodeAddress& to) {
    if (!to.known()) return false;
    const NodeFrameBytes frame = buildTransmitFrame(transmitCounter_.next(), message);
    return sendRaw(frame.data(), frame.size(), to);
}

bool TSystemInterface::sendAsReceivedPacket(const TNodeMessage& message, const NodeAddress& to) {
    if (!to.known()) return false;
    const NodeFrameBytes frame = buildReceiveFrame(receiveCounter_.next(), message);
    return sendRaw(frame.data(), frame.size(), to);
}

// ---- consumers ----

std::size_t TSystemInterface::hitCount() {
    std::lock_guard<std::mutex> guard(lock_);
    return hits_.size();
}

bool TSystemInterface::tryPopHit(TSignalHit& hit) {
    std::lock_guard<std::mutex> guard(lock_);
    if (hits_.empty()) return false;
    hit = hits_.front();
    hits_.pop_front();
    queued_.erase(hit);
    return true;
}

void TSystemInterface::hitsLogged() {
    Pending out;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (!journal_ || !journalReplayed_ || !hits_.empty() || journal_->empty()) return;
        if (!journal_->clear() && !journalFailing_) {
            journalFailing_ = true;
            out.logLines.push_back("Журнал отметок не очищается (" + journal_->error() + ")");
        }
    }
    deliver(out);
}

void TSystemInterface::hitsTaken(const std::vector<TSignalHit>& hits) {
    std::lock_guard<std::mutex> guard(lock_);
    // A failing journal has been told when hits were written to it.
    if (journal_) (void)journal_->appendTaken(hits, env_->nowMs());
}

void TSystemInterface::hitsWriting(const std::vector<JournalWrite>& writes) {
    std::lock_guard<std::mutex> guard(lock_);
    if (journal_) (void)journal_->appendWriting(writes, env_->nowMs());
}

void TSystemInterface::journalReplayed() {
    std::lock_guard<std::mutex> guard(lock_);
    journalReplayed_ = true;
}

std::vector<TSystemNode> TSystemInterface::nodes() {
    std::lock_guard<std::mutex> guard(lock_);
    return nodes_;
}

std::array<std::uint8_t, CHANNEL_COUNT> TSystemInterface::channelLevels() {
    std::lock_guard<std::mutex> guard(lock_);
    return channelLevels_;
}

NodeAddress TSystemInterface::gateway() {
    std::lock_guard<std::mutex> guard(lock_);
    return gateway_;
}

int TSystemInterface::autoStartState() {
    std::lock_guard<std::mutex> guard(lock_);
    return autoStartState_;
}

void TSystemInterface::setRadioBoards(RadioBoardReceiver* boards) {
    std::lock_guard<std::mutex> delivering(boardsLock_);
    std::lock_guard<std::mutex> guard(lock_);
    radioBoards_ = boards;
}

void TSystemInterface::setScoreboardLineHandler(ScoreboardLineHandler handler) {
    std::lock_guard<std::mutex> guard(lock_);
    scoreboardLine_ = std::move(handler);
}

void TSystemInterface::setLogHandler(LinkLogHandler handler) {
    std::lock_guard<std::mutex> guard(lock_);
    logHandler_ = std::move(handler);
}

// ---- commands ----

void TSystemInterface::sendStartCommand(std::uint8_t code, std::uint16_t param, std::uint16_t aux) {
    std::lock_guard<std::mutex> guard(lock_);
    autoStartState_ = AUTOSTART_IDLE;
    startMessage_ = TNodeMessage::make(NODE_START, code, param, 0, aux);
    sendToNode(startMessage_, gateway_);
    startDue_ = env_->nowMs() + 500;
    startRetries_ = 5;
}

void TSystemInterface::sendStartSignalMode(std::uint16_t value) {
    std::lock_guard<std::mutex> guard(lock_);
    signalModeMessage_ = TNodeMessage::make(NODE_START, MSG_START_SIGNAL_MODE, value, 0, 1);
    sendToNode(signalModeMessage_, gateway_);
    signalModeDue_ = env_->nowMs() + 500;
    signalModeRetries_ = 5;
}

void TSystemInterface::armCommand37() {
    std::lock_guard<std::mutex> guard(lock_);
    autoStartState_ = AUTOSTART_IDLE;
    command37Active_ = 1;
    command37Last_ = 0;
    command37Left_ = 50;
}

void TSystemInterface::armAutoStart(int leftLane, int rightLane, int code, int param, int aux) {
    if (!leftLane && !rightLane) return;
    std::lock_guard<std::mutex> guard(lock_);
    // Per lane: stage, pre-stage, start.
    const std::array<int, 3> taken = {0, 0, 1};
    const std::array<int, 3> free = {2, 2, 2};
    const auto& l = leftLane ? taken : free;
    const auto& r = rightLane ? taken : free;
    expected_ = {l[0], l[1], l[2], r[0], r[1], r[2]};
    autoStartCode_ = code;
    autoStartParam_ = param;
    autoStartAux_ = aux;
    autoStartState_ = AUTOSTART_ARMED;
}

void TSystemInterface::disarmAutoStart() {
    std::lock_guard<std::mutex> guard(lock_);
    autoStartState_ = AUTOSTART_IDLE;
}

void TSystemInterface::sendStartUnitMode(std::uint16_t value) {
    std::lock_guard<std::mutex> guard(lock_);
    sendToNode(TNodeMessage::make(NODE_START, MSG_START_UNIT_MODE, value), gateway_);
}

void TSystemInterface::sendWinner(std::uint16_t lane) {
    std::lock_guard<std::mutex> guard(lock_);
    sendToNode(TNodeMessage::make(NODE_START, MSG_WINNER, lane), gateway_);
}

void TSystemInterface::sendDisplayBrightness(std::uint16_t brightness, std::uint8_t node) {
    std::lock_guard<std::mutex> guard(lock_);
    sendToNode(TNodeMessage::make(node, MSG_DISPLAY_BRIGHTNESS, brightness, 0x55555555u, 0x5555), gateway_);
}

void TSystemInterface::sendDisplay(const std::array<std::uint8_t, 9>& content, int lane) {
    const int k = lane == 0 ? 0 : 1;
    std::lock_guard<std::mutex> guard(lock_);
    displayMessage_[k] = TNodeMessage::displayContent(k == 0 ? NODE_DISPLAY_LEFT : NODE_DISPLAY_RIGHT, content);
    displayRetries_[k] = 25;
    displayDue_[k] = env_->nowMs() + 250;
}

void TSystemInterface::clearDisplay(int lane) { sendDisplay({}, lane); }

void TSystemInterface::sendCommand37() {
    std::lock_guard<std::mutex> guard(lock_);
    sendToNode(TNodeMessage::make(NODE_START, MSG_COMMAND37, 0, 0, 1), gateway_);
}

void TSystemInterface::sendLightBrightness(std::uint16_t value) {
    std::lock_guard<std::mutex> guard(lock_);
    sendToNode(TNodeMessage::make(NODE_START, MSG_LIGHT_BRIGHTNESS, value), gateway_);
}

void TSystemInterface::sendCommand53() {
    std::lock_guard<std::mutex> guard(lock_);
    sendToNode(TNodeMessage::make(NODE_START, MSG_COMMAND53), gateway_);
}

void TSystemInterface::setTimeouts(int repeat, int detector) {
    std::lock_guard<std::mutex> guard(lock_);
    timeoutsEnabled_ = 0;
    repeatTimeout_ = std::uint16_t(repeat);
    detectorTimeout_ = std::uint16_t(detector);
    for (TSystemNode& n : nodes_) {
        n.echoRepeatTimeout = 0;
        n.echoDetectorTimeout = 0;
    }
    timeoutsEnabled_ = 1;
}

void TSystemInterface::requestTimeoutsPush() {
    std::lock_guard<std::mutex> guard(lock_);
    timeoutsPushRequested_ = 1;
}

void TSystemInterface::requestChannelScan() {
    std::lock_guard<std::mutex> guard(lock_);
    scanRequested_ = 1;
}

} // namespace velmaro
