#pragma once
// TNRFScoreboardController: the link to the two radio scoreboards, node 10 (left lane)
// and node 11 (right lane). It keeps one pending command per board and repeats it every
// 250 ms until the board acknowledges it, and re-sends the brightness every 5 s.
//
// Threads: the controller runs its own std::thread (start()/stop()). The main thread calls
// the command operations (resetBoards, showLogo, showResult, showText, setBrightness); the
// node link thread calls onReply for every message from nodes 10 and 11. One mutex guards
// the fields; messages leave outside it, through the sender (the link's one socket).
//
// Nothing is sent to a board that has never sent anything, and nothing at all before a
// status from a board has given the boards' address.
//
// Lifetime: stop() (or the destructor) ends and joins the thread. The owner detaches the
// controller from the link (setRadioBoards(nullptr)) and destroys it before the link
// object; attachTo() does the hand-over and the destructor undoes it.
//
// Tests drive it without the thread: runPass() with an injected clock and a recording
// sender.
#include <array>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "core/link/node_protocol.h"
#include "core/link/system_interface.h"

namespace velmaro {

// Sends one node message, wrapped in the link's transmit frame, to `to` (port 1309).
// Called from the controller's thread and from the caller of setBrightness.
using RadioSender = std::function<bool(const TNodeMessage& message, const NodeAddress& to)>;
// "Now" in milliseconds since 1970 (the PC clock); its whole seconds pace the brightness.
using RadioClock = std::function<std::uint64_t()>;

// Board command types.
constexpr int RADIO_CMD_RESET = MSG_BOARD_RESET;           // 40 "("
constexpr int RADIO_CMD_RESULT = MSG_BOARD_RESULT;         // 41 ")"
constexpr int RADIO_CMD_TEXT = MSG_BOARD_TEXT;             // 42 "*"
constexpr int RADIO_CMD_LOGO = MSG_BOARD_LOGO;             // 43 "+"
constexpr int RADIO_CMD_BRIGHTNESS = MSG_BOARD_BRIGHTNESS; // 44 ","

// A board status with this `param` selects layout A of the result command.
constexpr int RADIO_LAYOUT_A = 152;
constexpr std::uint64_t RADIO_REPEAT_MS = 250;
constexpr std::int64_t RADIO_BRIGHTNESS_PERIOD_S = 5;
constexpr int RADIO_PASS_SLEEP_MS = 20;

// The ten result values, the same block for both boards: values 0..4 left lane, 5..9
// right lane, each five as racer number, reaction ms, 60 ft ms, speed x 10, time ms.
using RadioResultValues = std::array<int, 10>;

// ---- message builders (from 0; every field not set is 0) ----
// `to` is 10 or 11; `sequence` is that board's sequence number.
TNodeMessage radioResetMessage(std::uint8_t to, int sequence);
TNodeMessage radioLogoMessage(std::uint8_t to, int sequence);
// Layout A when `layout` is RADIO_LAYOUT_A, else the plain layout. Board 10 takes values
// 0..4, board 11 values 5..9.
TNodeMessage radioResultMessage(std::uint8_t to, const RadioResultValues& values, int sequence, int layout);
// `text8` is already in the boards' code page (CP1251); its first six bytes are sent.
TNodeMessage radioTextMessage(std::uint8_t to, std::string_view text8, int first, int second);
TNodeMessage radioBrightnessMessage(std::uint8_t to, int brightness);

// UTF-8 to CP1251, the boards' code page; a character CP1251 lacks becomes '?'.
std::string utf8ToCp1251(std::string_view utf8);

class TNRFScoreboardController : public RadioBoardReceiver {
public:
    // Sends through `link` (TSystemInterface::sendToNode). Does not attach to the link:
    // call attachTo() for that.
    explicit TNRFScoreboardController(TSystemInterface& link, RadioClock clock = {});
    // Sends through `sender` (tests, or any other transport).
    explicit TNRFScoreboardController(RadioSender sender, RadioClock clock = {});
    // Stops and joins the thread; detaches from the link it was attached to.
    ~TNRFScoreboardController() override;
    TNRFScoreboardController(const TNRFScoreboardController&) = delete;
    TNRFScoreboardController& operator=(const TNRFScoreboardController&) = delete;

    // Hands this controller to the link (setRadioBoards(this)); the destructor hands back null.
    void attachTo(TSystemInterface& link);

    // Runs the send loop on its own thread (one pass every 20 ms). Idempotent.
    void start();
    // Ends the loop and joins the thread. Idempotent; commands may still be called after.
    void stop();
    bool running() const { return thread_.joinable(); }

    // ---- commands (main thread); a new command replaces a pending one ----
    void resetBoards(); // both boards: 40; both sequences + 1
    void showLogo();    // both boards: 43; both sequences + 1
    // 41 with the ten values to one board (0 left, else right); its sequence + 1.
    void showResult(const RadioResultValues& values, int board);
    // 42 with the text (UTF-8) and two values to one board (0 left, else right); sequence + 1.
    void showText(const std::string& text, int first, int second, int board);
    // Stores the brightness and sends 44 at once to every board that is present.
    void setBrightness(int brightness);

    // ---- from the link thread ----
    void onReply(const TNodeMessage& message, const NodeAddress& from) override;

    // One pass of the loop: resend what is due, the brightness every 5 s.
    void runPass();

    // ---- state (under the lock), for tests and diagnostics ----
    struct BoardState {
        int pending = 0; // 0 none, else 40..43
        int sequence = 0;
        std::uint64_t lastSend = 0; // 0 = send at once
    };
    BoardState board(int index); // 0 left, 1 right
    bool present(int node);
    NodeAddress boardsAddress();
    int layout();
    int brightness();
    std::int64_t lastBrightnessSend();

private:
    struct Board {
        int pending = 0;
        int sequence = 0;
        std::uint64_t lastSend = 0;
        RadioResultValues values{};
        std::string text; // CP1251
        int textFirst = 0;
        int textSecond = 0;
    };
    static TNodeMessage commandMessage(std::uint8_t to, const Board& b, const RadioResultValues& values, int layout);
    void loop();
    void sendBrightness(int brightness); // lock NOT held
    std::uint64_t now() const;

    RadioSender sender_;
    RadioClock clock_;
    TSystemInterface* attachedLink_ = nullptr;

    std::mutex lock_;
    std::array<Board, 2> boards_{};
    std::uint32_t presence_ = 0; // bit n: a message from node n has arrived
    int brightness_ = 16;
    NodeAddress address_;                 // unknown until a board's status
    std::int64_t lastBrightnessSend_ = 0; // seconds
    int layout_ = 0;

    std::thread thread_;
    std::mutex runLock_;
    std::condition_variable wake_;
    bool terminate_ = false;
};

} // namespace velmaro
