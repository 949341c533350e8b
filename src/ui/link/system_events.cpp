#include "ui/link/system_events.h"

#include <QLabel>

#include <stdexcept>

#include "core/app/console.h"
#include "core/intake/hit_intake.h"
#include "core/platform/operator.h"
#include "core/platform/timing_mode.h"
#include "ui/link/start_light_tree.h"

namespace velmaro::ui {

QString racerAtStartText(int number) { return number == 0 ? QStringLiteral("--") : QString::number(number); }

SystemEventHandler::SystemEventHandler(SystemEventLink& link, SystemEventHost& host, Operator& op, StartLightTree* tree,
                                       QLabel* numAtStart, HitIntake& intake, HitProcessor processHit)
    : link_(link), host_(host), op_(op), tree_(tree), numAtStart_(numAtStart), intake_(intake),
      processHit_(std::move(processHit)) {
    if (!processHit_) throw std::invalid_argument("SystemEventHandler needs the hit intake's processHit");
}

void SystemEventHandler::onSystemEvent(int code, std::uint32_t wParam) {
    switch (code) {
    case SE_NEW_HITS: takeNewHits(); break;
    case SE_START_GIVEN: host_.showStartGiven(); break;
    case SE_AUTOSTART_ABORTED:
        if (!op_.askYesNo(kAutoStartAbortedText, kAutoStartAbortedCaption, Operator::Icon::Warning)) {
            host_.setStartArmed(false);
            link_.disarmAutoStart();
        }
        // Yes: the automatic start re-arms itself once the lanes are clear.
        break;
    case SE_START_RESENT: host_.releaseBlockSt(); break;
    case SE_START_LIGHTS:
        if (tree_) tree_->showStartLights(static_cast<std::uint16_t>(wParam & 0xFFFFu));
        break;
    case SE_CHANNEL_LEVELS: host_.setChannelLevels(link_.channelLevels()); break;
    case SE_TAG_AT_START: tagAtStart(wParam); break;
    default: break;
    }
}

void SystemEventHandler::takeNewHits() {
    // A slice running further up the stack (a dialog's event loop) or a queued one takes
    // these hits too.
    if (inSlice_ || sliceQueued_) return;
    runSlice();
}

void SystemEventHandler::replayJournal(std::vector<TSignalHit> hits, const std::vector<TSignalHit>& taken,
                                       std::function<void()> replayed) {
    intake_.queueReplay(std::move(hits), taken);
    replayed_ = std::move(replayed);
    queueSlice();
}

void SystemEventHandler::finishReplay() {
    if (!replayed_) return;
    intake_.replayRest();
    if (intake_.hitLogSaved()) replayLogged();
    replayed_ = nullptr;
}

void SystemEventHandler::dropReplay() {
    intake_.dropReplay();
    replayed_ = nullptr;
}

void SystemEventHandler::replayLogged() {
    if (!replayed_ || intake_.replayPending()) return;
    const std::function<void()> replayed = std::move(replayed_);
    replayed_ = nullptr;
    replayed();
}

void SystemEventHandler::runSlice() {
    using clock = std::chrono::steady_clock;
    inSlice_ = true;
    const auto deadline = clock::now() + sliceBudget_;
    {
        HitBatch batch(intake_); // hitlog.txt and the mode's event file once, after the last hit
        // The journal's hits first: they are older than any the link has queued since.
        bool more = true;
        while (more && intake_.replayNextHit()) more = clock::now() < deadline;
        TSignalHit hit;
        // Until the queue is empty: a nested event loop may already have emptied it.
        while (more && link_.tryPopHit(hit)) {
            const int signal = static_cast<int>(hit.signal);
            processHit_(static_cast<int>(hit.node), signal, hit.time, HIT_FROM_DEVICE);
            if (signal == SIG_STAGE_LEFT || signal == SIG_STAGE_RIGHT || signal == SIG_STAGE_RELEASE) {
                if (host_.startArmed() || timingModeFrom(host_.raceMode()) == TimingMode::LapOneGate)
                    host_.releaseBlockSt();
            } else if (signal == SIG_START_REQUEST && host_.startArmed()) {
                host_.pressStart();
            }
            more = clock::now() < deadline;
        }
    }
    inSlice_ = false;
    if (intake_.hitLogSaved()) {
        replayLogged(); // before the link hears it: its journal may go only once the replay is logged
        link_.hitsLogged();
    }
    if (intake_.replayPending() || link_.hitCount() > 0) queueSlice();
}

void SystemEventHandler::queueSlice() {
    if (sliceQueued_) return;
    sliceQueued_ = true;
    QMetaObject::invokeMethod(
        &continuation_,
        [this] {
            sliceQueued_ = false;
            if (!inSlice_) runSlice();
        },
        Qt::QueuedConnection);
}

void SystemEventHandler::tagAtStart(std::uint32_t wParam) {
    if ((wParam & 0xFFu) != NODE_START_READER) return;
    const int tag = static_cast<int>(wParam >> 8);
    const int number = host_.racerNumberByTag(tag);
    host_.setRacerAtStart(number);
    if (numAtStart_) numAtStart_->setText(racerAtStartText(number));
}

} // namespace velmaro::ui
