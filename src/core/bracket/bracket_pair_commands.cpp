#include "core/bracket/bracket_pair_commands.h"

#include <algorithm>
#include <set>
#include <vector>

#include "core/bracket/bracket_pages.h"
#include "core/drag/drag_runs.h"
#include "core/drag/drag_selection.h"
#include "core/registration/registry.h"

namespace velmaro {

namespace {

void clearResult(TFinalPair& pair) {
    pair.forceWinner = -1;
    pair.winner = -1;
    pair.run = TDragRaceItem{};
}

void clearAll(TFinalPair& pair) {
    clearResult(pair);
    pair.comments[0].clear();
    pair.comments[1].clear();
}

// The chain of nextPair links from `pair`, each pair once.
void clearChain(TFinalPair* pair, std::set<TFinalPair*>& seen) {
    for (; pair && seen.insert(pair).second; pair = pair->nextPair) clearResult(*pair);
}

} // namespace

bool pairHasResult(const TFinalPair& pair) { return pair.run.runId != 0 || pair.forceWinner >= 0; }

void resetPair(TFinalPair* pair) {
    // Iterative walk with a visited set: a bracket whose links loop cannot recurse forever.
    std::set<TFinalPair*> seen;
    std::vector<TFinalPair*> todo{pair};
    while (!todo.empty()) {
        TFinalPair* p = todo.back();
        todo.pop_back();
        if (!p || !seen.insert(p).second) continue;
        clearAll(*p);
        todo.push_back(p->loserPair);
        todo.push_back(p->nextPair);
    }
}

void clearPairRunData(TFinalPair* pair) {
    if (!pair) return;
    std::set<TFinalPair*> seen;
    clearChain(pair, seen);
    clearChain(pair->loserPair, seen);
}

void clearPairForPrepare(TFinalPair* pair) {
    if (!pair) return;
    clearAll(*pair);
    if (pair->nextPair && pair->nextPair != pair) clearResult(*pair->nextPair);
    if (pair->loserPair && pair->loserPair != pair) clearResult(*pair->loserPair);
}

std::string pairSlotText(const TFinalPair& pair, int k, const TRegistry& registry) {
    const TFinalRacer* slot = (k == 0 || k == 1) ? pair.racers[k] : nullptr;
    const std::int32_t number = slot ? slot->number : 0;
    if (number > 0)
        if (const TRacerItem* racer = registry.findRacer(std::uint32_t(number)))
            return "№ " + std::to_string(racer->number) + " " + racer->name;
    if (number != 0) return "№ " + std::to_string(number);
    return "--Нет участника--";
}

void applyTechnicalResult(TFinalPair& pair, int chosen, bool win, const std::string& comment) {
    if (chosen != 0 && chosen != 1) return;
    const TDragRaceItem run = pair.run;
    resetPair(&pair);
    pair.run = run;
    pair.forceWinner = win ? chosen : 1 - chosen;
    pair.comments[chosen] = comment;
    pair.comments[1 - chosen].clear();
}

std::optional<TPairTarget> pairTarget(const std::shared_ptr<TFinalBracket>& bracket, const TFinalPair* pair) {
    if (!bracket || !pair) return std::nullopt;
    for (const bool lower : {false, true}) {
        const auto& rounds = lower ? bracket->lowerRounds : bracket->upperRounds;
        for (std::size_t r = 0; r < rounds.size(); ++r) {
            if (!rounds[r]) continue;
            const auto& pairs = rounds[r]->pairs;
            for (std::size_t k = 0; k < pairs.size(); ++k)
                if (pairs[k].get() == pair) return TPairTarget{bracket, lower, std::int32_t(r), std::int32_t(k)};
        }
    }
    return std::nullopt;
}

TFinalPair* findPairTarget(const BracketPages& brackets, const TPairTarget& target) {
    if (!target.bracket) return nullptr;
    const TBracketPageList& pages = brackets.bracketPages();
    if (std::none_of(pages.begin(), pages.end(), [&](const auto& page) { return page->bracket == target.bracket; }))
        return nullptr;
    const auto& rounds = target.lower ? target.bracket->lowerRounds : target.bracket->upperRounds;
    if (target.round < 0 || std::size_t(target.round) >= rounds.size() || !rounds[std::size_t(target.round)])
        return nullptr;
    return rounds[std::size_t(target.round)]->pair(target.index);
}

std::optional<TRunGridRows> selectRunForPair(DragRuns& runs, std::int32_t runId) {
    if (runId == 0) return std::nullopt;
    const auto it = std::find_if(runs.dragRuns().begin(), runs.dragRuns().end(),
                                 [runId](const TDragRaceItem& r) { return r.runId == runId; });
    if (it == runs.dragRuns().end()) return std::nullopt;
    runs.selectGridCell(0, 0, *it);
    return TRunGridRows{it->gridRow, it->gridRow + std::max(1, it->gridRows) - 1};
}

} // namespace velmaro
