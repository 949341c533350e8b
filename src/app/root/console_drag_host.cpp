#include "app/root/console_drag_host.h"

#include "core/app/console.h"
#include "core/bracket/bracket_pages.h"
#include "core/bracket/final_bracket_file.h"
#include "core/drag/drag_hits.h"
#include "core/drag/drag_runs.h"
#include "core/link/node_link.h"
#include "core/registration/registry.h"
#include "core/results/drag_results.h"

namespace velmaro {

int ConsoleDragHost::raceMode() const { return static_cast<int>(console_.raceMode); }
std::filesystem::path ConsoleDragHost::eventFolder() const { return console_.eventFolder; }
bool ConsoleDragHost::proStartSignal() const { return console_.proStart; }
float ConsoleDragHost::speedTrapDistance() const { return console_.speedTrapDistance; }
int ConsoleDragHost::blockFinishTimeout() const { return console_.blockFinishTimeout; }
bool ConsoleDragHost::blockStDown() const { return view_ && view_->blockStDown(); }
bool ConsoleDragHost::showDirtyTime() const { return console_.showDirtyTimeSB == 1; }
int ConsoleDragHost::invertScoreboard() const { return console_.invertScoreboard != 0 ? 1 : 0; }

std::optional<DragRacerInfo> ConsoleDragHost::findRacer(int32_t number) const {
    if (number <= 0) return std::nullopt;
    const TRacerItem* racer = registry_.findRacer(static_cast<std::uint32_t>(number));
    if (!racer) return std::nullopt;
    return DragRacerInfo{racer->name, racer->city, racer->classIds};
}

std::optional<int32_t> ConsoleDragHost::classBreakoutLimit(int32_t classId) const {
    const TClassItem* cls = registry_.findClass(classId);
    if (!cls) return std::nullopt;
    return cls->breakoutLimit;
}

std::vector<int32_t> ConsoleDragHost::bracketClassIds() const {
    std::vector<int32_t> ids;
    auto lock = brackets_.lockBrackets();
    for (const auto& page : brackets_.bracketPages())
        if (page && page->bracket) ids.push_back(page->bracket->classId);
    return ids;
}

void ConsoleDragHost::sendWinner(int lane) { link_.sendWinner(static_cast<std::uint16_t>(lane)); }

void ConsoleDragHost::sendDisplay(const std::array<uint8_t, 9>& buffer, int lane) { link_.sendDisplay(buffer, lane); }

void ConsoleDragHost::showRadioResult(const std::array<int32_t, 10>& values, int lane) {
    RadioResultValues v{};
    for (size_t i = 0; i < v.size(); ++i) v[i] = values[i];
    link_.radioShowResult(v, lane);
}

TScoreboardController* ConsoleDragHost::scoreboard() { return console_.scoreboard; }

int ConsoleDragHost::gridRowCount() const { return view_ ? view_->gridRowCount() : 0; }
void ConsoleDragHost::setGridRowCount(int rows) {
    if (view_) view_->setGridRowCount(rows);
}
void ConsoleDragHost::gridCursorToLastRow() {
    if (view_) view_->gridCursorToLastRow();
}
void ConsoleDragHost::repaintGrid() {
    if (view_) view_->repaintGrid();
}
void ConsoleDragHost::refreshActivePage() {
    if (view_) view_->refreshActivePage();
}

void ConsoleDragHost::notifyResultsThread(DragRuns& runs) { results_.notifyResultsThread(runs); }
void ConsoleDragHost::notifyRunChanged(DragRuns& runs, std::size_t index) { results_.notifyRunChanged(runs, index); }

void ConsoleDragHost::loadFinalBracketFile(const DragRuns& runs) {
    velmaro::loadFinalBracketFile(brackets_, console_.eventFolder, registry_, runs.dragRuns());
}

} // namespace velmaro
