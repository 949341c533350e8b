#include "core/app/scoreboard_controller.h"

namespace velmaro {
namespace {

// The library's object behind the C++ interface. One mutex serialises every call, so
// the main thread and the node link thread never meet inside the library.
class LibraryScoreboardController final : public TScoreboardController {
public:
    explicit LibraryScoreboardController(vlm_scoreboard* object) : object_(object) {}

    void showResult(int one, int lane, int racer, int timeMs, int a5, int a6, int a7, int a8) override {
        call(&vlm_scoreboard_ops::showResult, one, lane, racer, timeMs, a5, a6, a7, a8);
    }
    void reset(int full) override { call(&vlm_scoreboard_ops::reset, full); }
    void setDisplayState(int a, int b) override { call(&vlm_scoreboard_ops::setDisplayState, a, b); }
    void showClock(const std::string& hhnnss, int a, int b, int c) override {
        call(&vlm_scoreboard_ops::showClock, hhnnss.c_str(), a, b, c);
    }
    void startTiming() override { call(&vlm_scoreboard_ops::startTiming); }
    void stopTiming() override { call(&vlm_scoreboard_ops::stopTiming); }
    void setBrightness(int level) override { call(&vlm_scoreboard_ops::setBrightness, level); }
    void setWaitTimeout(int seconds) override { call(&vlm_scoreboard_ops::setWaitTimeout, seconds); }
    int getType() override {
        std::lock_guard lock(mutex_);
        if (!object_->ops || !object_->ops->getType) return 0;
        return object_->ops->getType(object_);
    }
    void showText(const std::string& text, int a, int b, int c, int d, int e) override {
        call(&vlm_scoreboard_ops::showText, text.c_str(), a, b, c, d, e);
    }
    void handleLine(const std::string& line, const sockaddr_in& sender) override {
        call(&vlm_scoreboard_ops::handleLine, line.c_str(), &sender);
    }
    void showLogo() override { call(&vlm_scoreboard_ops::showLogo); }
    void showLane(int one, int lane, int racer, int time, int speedX10, int sixtyFeet, int zero, int reaction,
                  int laneWon, const std::string& name, const std::string& city) override {
        call(&vlm_scoreboard_ops::showLane, one, lane, racer, time, speedX10, sixtyFeet, zero, reaction, laneWon,
             name.c_str(), city.c_str());
    }
    void showRacerAtStart(int racer) override { call(&vlm_scoreboard_ops::showRacerAtStart, racer); }

private:
    template <class Fn, class... Args>
    void call(Fn vlm_scoreboard_ops::*slot, Args... args) {
        std::lock_guard lock(mutex_);
        if (!object_->ops) return;
        if (auto fn = object_->ops->*slot) fn(object_, args...);
    }

    std::mutex mutex_;
    vlm_scoreboard* object_;
};

} // namespace

ScoreboardLibrary::~ScoreboardLibrary() { destroyController(); }

TScoreboardController* ScoreboardLibrary::load(const std::filesystem::path& file, const vlm_window* window) {
    if (!library_.loaded() && !library_.load(file)) return nullptr;
    create_ = reinterpret_cast<vlm_create_scoreboard_controller_fn>(library_.symbol(VLM_CREATE_SCOREBOARD_CONTROLLER));
    delete_ = reinterpret_cast<vlm_delete_scoreboard_controller_fn>(library_.symbol(VLM_DELETE_SCOREBOARD_CONTROLLER));
    if (!create_ || controller_) return controller_.get();
    object_ = nullptr;
    create_(&object_, window);
    if (object_) controller_ = std::make_unique<LibraryScoreboardController>(object_);
    return controller_.get();
}

void ScoreboardLibrary::destroyController() {
    if (!controller_) return;
    // The wrapper goes first: nobody can reach the object through it any more.
    controller_.reset();
    if (delete_ && object_) delete_(&object_);
    object_ = nullptr;
}

void ScoreboardLibrary::unloadForTests() {
    destroyController();
    create_ = nullptr;
    delete_ = nullptr;
    library_.unload();
}

} // namespace velmaro
