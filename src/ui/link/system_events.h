#pragma once
// The main window's handling of the node link's system events (TMainForm::onSystemEvent),
// run on the main thread from the queued calls of SystemEventAdapter:
//   SE_NEW_HITS          pop the queued hits, oldest first, into processHit; release
//                        Block ST or press START on the signals that ask for it. The
//                        hits are taken in slices of bounded time, each one batch of the
//                        intake (one write of each file it changes); what is left goes
//                        on in a queued call, so the window keeps answering in a burst.
//                        A replay of the link's journal at start-up (replayJournal) goes
//                        through the same slices, ahead of the link's hits.
//   SE_START_GIVEN       the start signal lamp turns green
//   SE_AUTOSTART_ABORTED ask whether to resume; No disarms the automatic start
//   SE_START_RESENT      release Block ST (shown up only)
//   SE_START_LIGHTS      paint the start light tree from the lamp mask
//   SE_CHANNEL_LEVELS    hand the link's channel levels to the channel scan window
//   SE_TAG_AT_START      a tag read at the start (sender 3) names the racer at the start
// Other codes are ignored.
//
// What it needs of the main window comes through SystemEventHost, of the link through
// SystemEventLink (LinkEvents adapts a TSystemInterface); the start light tree and the
// racer-at-start label are this area's widgets. The timing mode and the racer at the
// start are the console's, reached through the host.
#include <QObject>
#include <QString>

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

#include "core/intake/hit_intake.h"
#include "core/link/system_interface.h"
#include "core/platform/operator.h"

class QLabel;
class QWidget;

namespace velmaro::ui {

class StartLightTree;

// The node link as the event handler uses it.
class SystemEventLink {
public:
    virtual ~SystemEventLink() = default;
    virtual std::size_t hitCount() = 0;
    // Takes the oldest queued hit; false when the queue is empty.
    virtual bool tryPopHit(TSignalHit& hit) = 0;
    // Every hit taken so far is in hitlog.txt: the link may drop its journal copies.
    virtual void hitsLogged() = 0;
    virtual void disarmAutoStart() = 0;
    virtual std::array<std::uint8_t, CHANNEL_COUNT> channelLevels() = 0;
};

// SystemEventLink over the program's TSystemInterface (not owned).
class LinkEvents : public SystemEventLink {
public:
    explicit LinkEvents(TSystemInterface& link) : link_(link) {}
    std::size_t hitCount() override { return link_.hitCount(); }
    bool tryPopHit(TSignalHit& hit) override { return link_.tryPopHit(hit); }
    void hitsLogged() override { link_.hitsLogged(); }
    void disarmAutoStart() override { link_.disarmAutoStart(); }
    std::array<std::uint8_t, CHANNEL_COUNT> channelLevels() override { return link_.channelLevels(); }

private:
    TSystemInterface& link_;
};

// What the handler needs of the main window (the start sequence, the registry, the
// channel scan window, the console).
class SystemEventHost {
public:
    virtual ~SystemEventHost() = default;
    virtual bool startArmed() = 0; // gStartArmed
    virtual void setStartArmed(bool armed) = 0;
    virtual void releaseBlockSt() = 0; // bBlockSt shown up; its click handler does not run
    virtual void pressStart() = 0;     // START, as the button would
    virtual void showStartGiven() = 0; // StartSignalLed green, repainted at once
    virtual void
    setChannelLevels(const std::array<std::uint8_t, CHANNEL_COUNT>& levels) = 0; // TscanChannelsForm::setLevels
    virtual int racerNumberByTag(int tag) = 0;    // TRegForm::racerNumberByTag (the tag itself when unknown)
    virtual unsigned raceMode() = 0;              // Console::raceMode
    virtual void setRacerAtStart(int number) = 0; // Console::racerAtStart
};

// The text of the racer-at-start label: the number, "--" for 0.
QString racerAtStartText(int number);

// The question asked when the sensors abort an automatic start.
inline constexpr const char* kAutoStartAbortedText = "Процедура старта прервана.\nВозобновить?";
inline constexpr const char* kAutoStartAbortedCaption = "Внимание";

class SystemEventHandler {
public:
    // processHit of the hit intake (node, signal, node time ms, source).
    using HitProcessor = std::function<void(int node, int signal, std::uint64_t timeMs, int source)>;

    // `tree` and `numAtStart` may be null (their events then only change state).
    // `processHit` takes each popped hit (the console passes the hit intake's processHit);
    // an empty one throws std::invalid_argument. A slice is one batch of `intake`, and the
    // link hears that the hits are logged when its hitlog.txt is saved. The question after
    // an aborted automatic start goes to `op` (not owned).
    SystemEventHandler(SystemEventLink& link, SystemEventHost& host, Operator& op, StartLightTree* tree,
                       QLabel* numAtStart, HitIntake& intake, HitProcessor processHit);

    // TMainForm::onSystemEvent: `code` is the SE_ code (lParam), `wParam` its value.
    void onSystemEvent(int code, std::uint32_t wParam);

    // Time a slice of hits may take before it hands the rest to a queued call (the
    // files are written after it).
    void setSliceBudget(std::chrono::microseconds budget) { sliceBudget_ = budget; }

    // The hits of the link's journal from before this start, fed through the intake's
    // replay (HitIntake::queueReplay) in slices from the event loop, each slice taking them
    // before any hit of the link's queue. `replayed` runs once, after the slice that leaves
    // every one of them in hitlog.txt (the journal may then be emptied). A second call
    // starts the replay again in place of the first.
    void replayJournal(std::vector<TSignalHit> hits, const std::vector<TSignalHit>& taken,
                       std::function<void()> replayed);
    // The open event is about to be left: the rest of the replay is taken at once, and
    // `replayed` runs when hitlog.txt then holds it (else it never does).
    void finishReplay();
    // The window is closing: the rest of the replay is dropped, `replayed` never runs (the
    // journal keeps the hits for the next start).
    void dropReplay();

private:
    void takeNewHits();
    void runSlice();
    void queueSlice();
    void replayLogged();
    void tagAtStart(std::uint32_t wParam);

    SystemEventLink& link_;
    SystemEventHost& host_;
    Operator& op_;
    StartLightTree* tree_;
    QLabel* numAtStart_;
    HitIntake& intake_;
    HitProcessor processHit_;
    std::chrono::microseconds sliceBudget_{10000};
    bool inSlice_ = false;           // a slice is running (a nested event loop may deliver SE_NEW_HITS)
    bool sliceQueued_ = false;       // the rest of the queue waits for a queued call
    std::function<void()> replayed_; // set while a journal replay is not all in hitlog.txt
    QObject continuation_;           // context of the queued call: gone with the handler
};

} // namespace velmaro::ui
