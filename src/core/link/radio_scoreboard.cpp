#include "core/link/radio_scoreboard.h"

#include <chrono>
#include <map>
#include <vector>

#include "core/platform/text_codec.h"

namespace velmaro {

namespace {

constexpr std::uint8_t kBoardNodes[2] = {NODE_RADIO_BOARD_LEFT, NODE_RADIO_BOARD_RIGHT};

int boardIndex(int board) { return board == 0 ? 0 : 1; }

std::uint16_t sequenceParam(int sequence) { return static_cast<std::uint16_t>(sequence * 2); }

// The sequence bits a board echoes in `param` of its answer.
bool sequenceMatches(std::uint16_t param, int sequence) {
    return (param & 0x3E) == ((static_cast<unsigned>(sequence) * 2u) & 0x3Eu);
}

std::uint64_t systemNowMs() {
    using namespace std::chrono;
    return static_cast<std::uint64_t>(duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count());
}

} // namespace

// ---- message builders ----

TNodeMessage radioResetMessage(std::uint8_t to, int sequence) {
    return TNodeMessage::make(to, RADIO_CMD_RESET, sequenceParam(sequence));
}

TNodeMessage radioLogoMessage(std::uint8_t to, int sequence) {
    return TNodeMessage::make(to, RADIO_CMD_LOGO, sequenceParam(sequence));
}

TNodeMessage radioResultMessage(std::uint8_t to, const RadioResultValues& v, int sequence, int layout) {
    const int base = to == NODE_RADIO_BOARD_LEFT ? 0 : 5;
    const int a = v[base + 0]; // racer number
    const int b = v[base + 1]; // reaction time
    const int c = v[base + 2]; // 60 ft time
    const int e = v[base + 3]; // speed x 10
    const int d = v[base + 4]; // time
    if (layout == RADIO_LAYOUT_A) {
        // A time on either lane goes out for both boards; else the 60 ft time, flagged in bit 0.
        const bool carriesSixty = v[4] == 0 && v[9] == 0;
        const unsigned number = static_cast<unsigned>(a % 1000) & 0x3FFu;
        const unsigned seq = static_cast<unsigned>(sequence) & 31u;
        const std::uint16_t param = static_cast<std::uint16_t>((number << 6) | (seq << 1) | (carriesSixty ? 1u : 0u));
        const std::uint32_t high = static_cast<std::uint32_t>(carriesSixty ? c : d) & 0xFFFFu;
        const std::uint32_t data = (static_cast<std::uint32_t>(b) & 0xFFFFu) | (high << 16);
        return TNodeMessage::make(to, RADIO_CMD_RESULT, param, data, static_cast<std::uint16_t>(e));
    }
    return TNodeMessage::make(to, RADIO_CMD_RESULT, static_cast<std::uint16_t>(a), static_cast<std::uint32_t>(d),
                              static_cast<std::uint16_t>(e));
}

TNodeMessage radioTextMessage(std::uint8_t to, std::string_view text8, int first, int second) {
    std::uint8_t t[6] = {0, 0, 0, 0, 0, 0};
    for (std::size_t i = 0; i < 6 && i < text8.size(); ++i) t[i] = static_cast<std::uint8_t>(text8[i]);
    const std::uint16_t param = static_cast<std::uint16_t>((first & 0xFF) | ((second & 0xFF) << 8));
    const std::uint32_t data =
        std::uint32_t(t[0]) | (std::uint32_t(t[1]) << 8) | (std::uint32_t(t[2]) << 16) | (std::uint32_t(t[3]) << 24);
    const std::uint16_t aux = static_cast<std::uint16_t>(t[4] | (t[5] << 8));
    return TNodeMessage::make(to, RADIO_CMD_TEXT, param, data, aux);
}

TNodeMessage radioBrightnessMessage(std::uint8_t to, int brightness) {
    return TNodeMessage::make(to, RADIO_CMD_BRIGHTNESS, static_cast<std::uint16_t>(brightness));
}

std::string utf8ToCp1251(std::string_view utf8) {
    // The reverse of the platform's CP1251 table, built from it once.
    static const std::map<std::string, char> reverse = [] {
        std::map<std::string, char> m;
        for (int c = 0x80; c <= 0xFF; ++c) {
            const char byte = static_cast<char>(c);
            m.emplace(cp1251ToUtf8(std::string_view(&byte, 1)), byte);
        }
        return m;
    }();
    std::string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        if (lead < 0x80) {
            out += static_cast<char>(lead);
            ++i;
            continue;
        }
        std::size_t len = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        if (i + len > utf8.size()) len = utf8.size() - i;
        const auto it = reverse.find(std::string(utf8.substr(i, len)));
        out += it != reverse.end() ? it->second : '?';
        i += len;
    }
    return out;
}

// ---- the controller ----

TNRFScoreboardController::TNRFScoreboardController(TSystemInterface& link, RadioClock clock)
    : TNRFScoreboardController([&link](const TNodeMessage& m, const NodeAddress& to) { return link.sendToNode(m, to); },
                               std::move(clock)) {}

TNRFScoreboardController::TNRFScoreboardController(RadioSender sender, RadioClock clock)
    : sender_(std::move(sender)), clock_(std::move(clock)) {}

TNRFScoreboardController::~TNRFScoreboardController() {
    stop();
    if (attachedLink_) attachedLink_->setRadioBoards(nullptr);
}

void TNRFScoreboardController::attachTo(TSystemInterface& link) {
    attachedLink_ = &link;
    link.setRadioBoards(this);
}

std::uint64_t TNRFScoreboardController::now() const { return clock_ ? clock_() : systemNowMs(); }

void TNRFScoreboardController::start() {
    if (thread_.joinable()) return;
    {
        std::lock_guard<std::mutex> g(runLock_);
        terminate_ = false;
    }
    thread_ = std::thread([this] { loop(); });
}

void TNRFScoreboardController::stop() {
    if (!thread_.joinable()) return;
    {
        std::lock_guard<std::mutex> g(runLock_);
        terminate_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void TNRFScoreboardController::loop() {
    for (;;) {
        runPass();
        std::unique_lock<std::mutex> g(runLock_);
        if (wake_.wait_for(g, std::chrono::milliseconds(RADIO_PASS_SLEEP_MS), [this] { return terminate_; })) return;
    }
}

void TNRFScoreboardController::resetBoards() {
    std::lock_guard<std::mutex> g(lock_);
    for (Board& b : boards_) {
        b.pending = RADIO_CMD_RESET;
        ++b.sequence;
    }
}

void TNRFScoreboardController::showLogo() {
    std::lock_guard<std::mutex> g(lock_);
    for (Board& b : boards_) {
        b.pending = RADIO_CMD_LOGO;
        ++b.sequence;
    }
}

void TNRFScoreboardController::showResult(const RadioResultValues& values, int board) {
    std::lock_guard<std::mutex> g(lock_);
    Board& b = boards_[boardIndex(board)];
    b.pending = RADIO_CMD_RESULT;
    b.values = values;
    ++b.sequence;
}

void TNRFScoreboardController::showText(const std::string& text, int first, int second, int board) {
    std::string text8 = utf8ToCp1251(text);
    std::lock_guard<std::mutex> g(lock_);
    Board& b = boards_[boardIndex(board)];
    b.pending = RADIO_CMD_TEXT;
    b.text = std::move(text8);
    b.textFirst = first;
    b.textSecond = second;
    ++b.sequence;
}

void TNRFScoreboardController::setBrightness(int brightness) {
    {
        std::lock_guard<std::mutex> g(lock_);
        brightness_ = brightness;
    }
    sendBrightness(brightness);
}

void TNRFScoreboardController::sendBrightness(int brightness) {
    std::uint32_t presence;
    NodeAddress address;
    {
        std::lock_guard<std::mutex> g(lock_);
        presence = presence_;
        address = address_;
        // Recorded as sent also when no board is there to receive it.
        lastBrightnessSend_ = static_cast<std::int64_t>(now() / 1000);
    }
    if (!address.known() || !sender_) return;
    for (std::uint8_t node : kBoardNodes)
        if (presence & (1u << node)) sender_(radioBrightnessMessage(node, brightness), address);
}

void TNRFScoreboardController::onReply(const TNodeMessage& message, const NodeAddress& from) {
    std::lock_guard<std::mutex> g(lock_);
    const int node = message.from;
    if (node != NODE_RADIO_BOARD_LEFT && node != NODE_RADIO_BOARD_RIGHT) return;
    if (message.type == MSG_STATUS) {
        address_ = from;
        layout_ = message.param;
    } else {
        Board& b = boards_[node == NODE_RADIO_BOARD_LEFT ? 0 : 1];
        if (b.pending != 0 && message.type == b.pending && sequenceMatches(message.param, b.sequence)) {
            b.pending = 0;
            b.lastSend = 0;
        }
    }
    presence_ |= 1u << node;
}

TNodeMessage TNRFScoreboardController::commandMessage(std::uint8_t to, const Board& b, const RadioResultValues& values,
                                                      int layout) {
    switch (b.pending) {
    case RADIO_CMD_RESET: return radioResetMessage(to, b.sequence);
    case RADIO_CMD_LOGO: return radioLogoMessage(to, b.sequence);
    case RADIO_CMD_RESULT: return radioResultMessage(to, values, b.sequence, layout);
    default: return radioTextMessage(to, b.text, b.textFirst, b.textSecond);
    }
}

void TNRFScoreboardController::runPass() {
    const std::uint64_t t = now();
    std::vector<TNodeMessage> out;
    NodeAddress address;
    bool brightnessDue = false;
    int brightness = 0;
    {
        std::lock_guard<std::mutex> g(lock_);
        address = address_;
        for (int i = 0; i < 2; ++i) {
            Board& b = boards_[i];
            const std::uint8_t node = kBoardNodes[i];
            if (b.pending == 0 || !(presence_ & (1u << node)) || !address_.known()) continue;
            if (b.lastSend != 0 && t - b.lastSend < RADIO_REPEAT_MS) continue;
            b.lastSend = t;
            out.push_back(commandMessage(node, b, b.values, layout_));
        }
        brightnessDue = static_cast<std::int64_t>(t / 1000) - lastBrightnessSend_ >= RADIO_BRIGHTNESS_PERIOD_S;
        brightness = brightness_;
    }
    if (sender_)
        for (const TNodeMessage& m : out) sender_(m, address);
    if (brightnessDue) setBrightness(brightness);
}

TNRFScoreboardController::BoardState TNRFScoreboardController::board(int index) {
    std::lock_guard<std::mutex> g(lock_);
    const Board& b = boards_[boardIndex(index)];
    return {b.pending, b.sequence, b.lastSend};
}

bool TNRFScoreboardController::present(int node) {
    std::lock_guard<std::mutex> g(lock_);
    return node >= 0 && node < 32 && (presence_ & (1u << node));
}

NodeAddress TNRFScoreboardController::boardsAddress() {
    std::lock_guard<std::mutex> g(lock_);
    return address_;
}

int TNRFScoreboardController::layout() {
    std::lock_guard<std::mutex> g(lock_);
    return layout_;
}

int TNRFScoreboardController::brightness() {
    std::lock_guard<std::mutex> g(lock_);
    return brightness_;
}

std::int64_t TNRFScoreboardController::lastBrightnessSend() {
    std::lock_guard<std::mutex> g(lock_);
    return lastBrightnessSend_;
}

} // namespace velmaro
