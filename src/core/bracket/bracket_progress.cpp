// Bracket progression: run copies, winners, winners and losers moved along the
// links, deciders of best-of-three finals and the reset round of double elimination.
#include "core/bracket/final_bracket.h"

namespace velmaro {

namespace {

bool isDoubleType(std::int32_t type) { return type == BRACKET_DOUBLE || type == BRACKET_DOUBLE_FIXED; }

void setWinnerFromRule(TFinalPair& p) { p.winner = p.computeWinner(); }

} // namespace

void TFinalBracket::update(const TDragRunMap& runs, const TRacerNames& names, std::int32_t raceMode_) {
    if (upperRoundCount <= 0) return;
    raceMode = raceMode_;

    // Fresh run copies, by run id; a run that has gone is forgotten for good.
    for (const auto* rounds : {&upperRounds, &lowerRounds}) {
        for (const auto& round : *rounds) {
            if (!round) continue;
            for (const auto& p : round->pairs) {
                if (p->run.runId < 0) continue;
                auto it = runs.find(p->run.runId);
                if (p->run.runId != 0 && it != runs.end())
                    p->run = it->second;
                else
                    p->run = TDragRaceItem{};
            }
        }
    }

    progressUpper();
    if (isDoubleType(type)) progressLower();
    progressOnDemand();

    if (isDoubleType(type))
        computePlacesDouble();
    else if (isValidBracketType(type))
        computePlaces();

    draw(nullptr, names, 1.0);
    makeSVG();
}

void TFinalBracket::progressUpper() {
    const std::int32_t n = upperRoundCount;
    for (std::int32_t r = 0; r < n; ++r) {
        TFinalRound* round = upperRound(r);
        if (!round) continue;
        for (std::int32_t k = 0; k < round->count; ++k) {
            TFinalPair& p = *round->pairs[k];
            setWinnerFromRule(p);
            TFinalRacer* w = p.winningRacer();
            TFinalRacer* l = p.losingRacer();
            const std::int32_t kSlot = k % 2;

            // The slot of the loser pair that the loser (or, undecided, the placeholder) takes.
            auto loserTarget = [&](bool decided) -> std::int32_t {
                switch (type) {
                case BRACKET_SINGLE_FINAL_BEST_OF_3:
                    if (decided) return 1 - kSlot;
                    return (r > 0 && round->count == 1) ? 1 - kSlot : kSlot;
                case BRACKET_SINGLE_FINAL_BEST_OF_3_THIRD:
                    if (decided) return r < n - 6 ? kSlot : 1 - kSlot;
                    return (r > 0 && round->count == 1) ? 1 - kSlot : kSlot;
                case BRACKET_DOUBLE:
                    if (r == n - 2) return 1;
                    return r >= 1 ? 0 : kSlot;
                case BRACKET_SINGLE_ALL_BEST_OF_3:
                    if (!decided) return 1 - kSlot;
                    if (r == n - 7) return k;
                    return p.winner; // the slot the winner leaves
                case BRACKET_DOUBLE_FIXED: return p.loserSlot;
                default: return kSlot;
                }
            };

            if (!w) {
                p.winner = -1;
                if (p.nextPair) p.nextPair->racers[kSlot] = p.hasRacers(r) ? p.placeholder : nullptr;
                if (p.loserPair) {
                    p.loserPair->run = TDragRaceItem{};
                    std::int32_t s = loserTarget(false);
                    if (type == BRACKET_DOUBLE) p.loserSlot = s;
                    if (s == 0 || s == 1) p.loserPair->racers[s] = p.placeholder;
                }
                continue;
            }

            if (p.nextPair) {
                std::int32_t s = kSlot;
                if (type == BRACKET_SINGLE_ALL_BEST_OF_3 && r % 3 != 2) s = 1 - p.winner;
                p.nextPair->racers[s] = w;
                setWinnerFromRule(*p.nextPair);
            }
            if (p.loserPair) {
                std::int32_t s = loserTarget(true);
                if (type == BRACKET_DOUBLE) p.loserSlot = s;
                if (s >= 0 && s <= 1) {
                    p.loserPair->racers[s] = l;
                    setWinnerFromRule(*p.loserPair);
                }
                // Race 2 of a series won by the winner of race 1: the series is won
                // two to nothing, race 3 goes to that racer.
                if (type == BRACKET_SINGLE_ALL_BEST_OF_3 && r % 3 == 1 && p.nextPair && p.sourcePairs[0]) {
                    TFinalRacer* first = p.sourcePairs[0]->winningRacer();
                    if (first && first == w) {
                        p.nextPair->forceWinner = 1 - p.winner;
                        setWinnerFromRule(*p.nextPair);
                    }
                }
            }
        }
    }
}

void TFinalBracket::progressLower() {
    const std::int32_t L = lowerRoundCount;
    for (std::int32_t j = 0; j < L; ++j) {
        TFinalRound* round = lowerRound(j);
        if (!round) continue;
        for (std::int32_t k = 0; k < round->count; ++k) {
            TFinalPair& p = *round->pairs[k];
            setWinnerFromRule(p);
            TFinalRacer* w = p.winningRacer();
            if (!w) p.winner = -1;
            TFinalPair* next = p.nextPair;
            if (!next) continue;
            TFinalRacer* ph = p.placeholder;
            if (type == BRACKET_DOUBLE_FIXED) {
                const std::int32_t s = p.nextSlot;
                if (s != 0 && s != 1) continue;
                if (w) {
                    next->racers[s] = w;
                    if (!next->racers[1 - s]) next->racers[1 - s] = ph;
                } else if (p.hasRacers(j)) {
                    next->racers[s] = ph;
                    if (!next->racers[1 - s]) next->racers[1 - s] = ph;
                } else {
                    next->racers[s] = nullptr;
                }
            } else if (j == L - 1) {
                next->racers[1] = w ? w : ph;
            } else if (j % 2 == 0) {
                if (w) {
                    next->racers[1] = w;
                    if (!next->racers[0]) next->racers[0] = ph;
                } else if (p.hasRacers(j)) {
                    next->racers[1] = ph;
                    if (!next->racers[0]) next->racers[0] = ph;
                } else {
                    next->racers[1] = nullptr;
                }
            } else {
                next->racers[k % 2] = w ? w : (p.hasRacers(j) ? ph : nullptr);
            }
            setWinnerFromRule(*next);
        }
    }
}

void TFinalBracket::onDemandDecider(std::int32_t f1Index, std::int32_t f2Index, std::int32_t dIndex) {
    TFinalRound* r1 = upperRound(f1Index);
    TFinalRound* r2 = upperRound(f2Index);
    if (!r1 || !r2 || dIndex < 0 || dIndex >= upperRoundCount) return;
    TFinalPair* f1 = r1->pair(0);
    TFinalPair* f2 = r2->pair(0);
    if (!f1 || !f2) return;
    TFinalRacer* w1 = f1->winningRacer();
    TFinalRacer* w2 = f2->winningRacer();
    const bool needed = w2 && w2 != w1;

    auto linkAndFill = [&](TFinalPair* d) {
        f2->nextPair = d;
        f2->loserPair = d;
        f2->loserSlot = 1;
        d->sourcePairs[0] = f2;
        d->sourcePairs[1] = f2;
        d->racers[0] = f2->racers[1];
        d->racers[1] = f2->racers[0];
        setWinnerFromRule(*d);
    };

    if (!upperRound(dIndex)) {
        if (needed) linkAndFill(ensureUpperRound(dIndex, 1)->pair(0));
    } else if (!needed) {
        f2->nextPair = nullptr;
        f2->loserPair = nullptr;
        f2->loserSlot = -1;
        destroyUpperRound(dIndex);
    } else if (TFinalPair* d = upperRound(dIndex)->pair(0)) {
        linkAndFill(d);
    }
}

void TFinalBracket::onDemandReset() {
    const std::int32_t n = upperRoundCount;
    TFinalRound* gfRound = upperRound(n - 2);
    if (!gfRound) return;
    TFinalPair* gf = gfRound->pair(0);
    if (!gf) return;

    auto linkAndFill = [&](TFinalPair* rp) {
        gf->nextPair = rp;
        gf->loserPair = rp;
        gf->loserSlot = 1;
        rp->sourcePairs[0] = gf;
        rp->sourcePairs[1] = gf;
        rp->racers[0] = gf->racers[1];
        rp->racers[1] = gf->racers[0];
        setWinnerFromRule(*rp);
    };

    if (!upperRound(n - 1)) {
        if (gf->winner == 1) linkAndFill(ensureUpperRound(n - 1, 1)->pair(0));
    } else if (gf->winner < 1) {
        gf->nextPair = nullptr;
        gf->loserPair = nullptr;
        gf->loserSlot = -1;
        destroyUpperRound(n - 1);
    } else if (TFinalPair* rp = upperRound(n - 1)->pair(0)) {
        linkAndFill(rp);
    }
}

void TFinalBracket::progressOnDemand() {
    const std::int32_t n = upperRoundCount;
    switch (type) {
    case BRACKET_SINGLE_FINAL_BEST_OF_3: onDemandDecider(n - 3, n - 2, n - 1); break;
    case BRACKET_SINGLE_FINAL_BEST_OF_3_THIRD:
        onDemandDecider(n - 6, n - 5, n - 4);
        onDemandDecider(n - 3, n - 2, n - 1);
        break;
    case BRACKET_DOUBLE:
    case BRACKET_DOUBLE_FIXED: onDemandReset(); break;
    default: break;
    }
}

} // namespace velmaro
