#pragma once
// The drag host of the running console: settings and the scoreboard from the Console it
// is built with (not owned), the node link and the radio scoreboards through the root's
// NodeLink, racers and classes from the root's registry, brackets from the class pages,
// the drag results thread, and the main window's run grid and Block ST button through a
// small view interface that the window implements.
//
// The composition root owns it, built on the console, the hit intake, the drag results,
// the class pages' brackets, the registry, the question desk and the node link, and
// gives it the main window's view (main thread).
#include "core/drag/drag_host.h"

namespace velmaro {

class Console;
class BracketPages;
class NodeLink;
class DragResults;

// What the drag core needs of the main window itself.
class DragGridView {
public:
    DragGridView() = default;
    DragGridView(const DragGridView&) = delete;
    DragGridView& operator=(const DragGridView&) = delete;
    virtual ~DragGridView() = default;

    virtual bool blockStDown() const = 0; // "Block ST" button down
    virtual int gridRowCount() const = 0; // DragStringGrid row count
    virtual void setGridRowCount(int rows) = 0;
    virtual void gridCursorToLastRow() = 0; // current row := last row
    virtual void repaintGrid() = 0;
    virtual void refreshActivePage() = 0; // the active page of DragPageControl
};

class ConsoleDragHost : public DragHost {
public:
    // None is owned; all outlive the host.
    ConsoleDragHost(const Console& console, HitIntake& intake, DragResults& results, BracketPages& brackets,
                    TRegistry& registry, Operator& op, NodeLink& link)
        : console_(console), intake_(intake), results_(results), brackets_(brackets), registry_(registry), op_(op),
          link_(link) {}

    // The view may be null (no window yet): grid calls are then dropped.
    void setView(DragGridView* view) { view_ = view; }

    int raceMode() const override;
    std::filesystem::path eventFolder() const override;
    bool proStartSignal() const override;
    float speedTrapDistance() const override;
    int blockFinishTimeout() const override;
    bool blockStDown() const override;
    bool showDirtyTime() const override;
    int invertScoreboard() const override;

    std::optional<DragRacerInfo> findRacer(int32_t number) const override;
    std::optional<int32_t> classBreakoutLimit(int32_t classId) const override;
    std::vector<int32_t> bracketClassIds() const override;

    void sendWinner(int lane) override;
    void sendDisplay(const std::array<uint8_t, 9>& buffer, int lane) override;
    void showRadioResult(const std::array<int32_t, 10>& values, int lane) override;
    TScoreboardController* scoreboard() override;

    int gridRowCount() const override;
    void setGridRowCount(int rows) override;
    void gridCursorToLastRow() override;
    void repaintGrid() override;
    void refreshActivePage() override;

    void notifyResultsThread(DragRuns& runs) override;
    void notifyRunChanged(DragRuns& runs, std::size_t index) override;
    void loadFinalBracketFile(const DragRuns& runs) override;
    HitIntake& hitIntake() override { return intake_; }
    TRegistry& registry() override { return registry_; }

    Operator& op() override { return op_; }

private:
    const Console& console_;
    HitIntake& intake_;
    DragResults& results_;
    BracketPages& brackets_;
    TRegistry& registry_;
    DragGridView* view_ = nullptr;
    Operator& op_; // the console's question desk
    NodeLink& link_;
};

} // namespace velmaro
