// Bracket standings: a final place for every racer slot, by the round in which the
// racer went out and the racer's time in that race.
//
// The placeholder racer is never ranked: it stands for nobody, so even when a forced
// winner moves it on it takes no place number from a real racer.
#include <algorithm>

#include "core/bracket/final_bracket.h"

namespace velmaro {

bool compareTimes(const TFinalRacer* a, const TFinalRacer* b) {
    if ((a->timeKey != 0) != (b->timeKey != 0)) return a->timeKey != 0;
    if (a->timeKey != 0) return a->timeKey < b->timeKey;
    return a->seedIndex < b->seedIndex;
}

bool compareTimesDescending(const TFinalRacer* a, const TFinalRacer* b) { return compareTimes(b, a); }

bool comparePlaces(const TFinalRacer* a, const TFinalRacer* b) {
    if ((a->place != 0) != (b->place != 0)) return a->place != 0;
    if (a->place != 0) return a->place < b->place;
    return a->seedIndex < b->seedIndex;
}

namespace {

bool rankable(const TFinalRacer* r) { return r && r->number != -1 && r->place == 0; }

// Places without a race: the remaining slots by seed index, after `size`.
void numberTheRest(std::vector<TFinalRacer>& racers, std::int32_t size, bool excludeMinusOne) {
    std::vector<TFinalRacer*> order;
    order.reserve(racers.size());
    for (auto& r : racers) order.push_back(&r);
    std::sort(order.begin(), order.end(), comparePlaces);
    std::int32_t counter = size + 1;
    for (auto* r : order) {
        if (r->place == 0)
            r->place = counter++;
        else if (excludeMinusOne && r->place == -1)
            r->place = 0;
    }
}

// The rankable losers of a round, each with its time key taken, slowest first.
std::vector<TFinalRacer*> losersSlowestFirst(const TFinalRound& round, std::int32_t raceMode) {
    std::vector<TFinalRacer*> losers;
    for (const auto& p : round.pairs) {
        TFinalRacer* l = p->losingRacer();
        if (!rankable(l)) continue;
        l->timeKey = p->racerTime(l->number, raceMode);
        losers.push_back(l);
    }
    std::sort(losers.begin(), losers.end(), compareTimesDescending);
    return losers;
}

} // namespace

void TFinalBracket::placeRound(std::int32_t r, std::int32_t& place, bool& laterDecided) {
    TFinalRound* round = upperRound(r);
    if (!round) return;
    auto passedOver = [](const TFinalPair& p) {
        if (!p.racers[0] && !p.racers[1]) return true;
        return p.racers[0] && p.racers[1] && p.racers[0]->number == 0 && p.racers[1]->number == 0;
    };
    for (const auto& p : round->pairs) {
        if (passedOver(*p)) continue;
        p->winner = p->computeWinner();
        if (!p->winningRacer()) {
            laterDecided = false;
            return;
        }
    }
    std::vector<TFinalRacer*> front, back;
    for (const auto& p : round->pairs) {
        p->winner = p->computeWinner();
        TFinalRacer* w = p->winningRacer();
        TFinalRacer* l = p->losingRacer();
        if (rankable(w)) {
            w->timeKey = p->racerTime(w->number, raceMode);
            (laterDecided ? front : back).push_back(w);
        }
        if (rankable(l)) {
            if (r == 0 && l->seedIndex >= size) {
                l->place = -1;
            } else {
                l->timeKey = p->racerTime(l->number, raceMode);
                if (l->timeKey == 0)
                    l->place = -1;
                else
                    back.push_back(l);
            }
        }
    }
    std::sort(front.begin(), front.end(), compareTimes);
    std::sort(back.begin(), back.end(), compareTimes);
    for (auto* x : front) x->place = place++;
    for (auto* x : back) x->place = place++;
}

void TFinalBracket::computePlaces() {
    for (auto& r : racers) r.place = 0;
    placeholder->place = 0;
    std::int32_t place = 1;
    bool decided = true;
    const std::int32_t n = upperRoundCount;
    switch (type) {
    case BRACKET_SINGLE_THIRD:
    case BRACKET_FIA_THIRD:
    case BRACKET_FIA_HANDICAP_THIRD:
        placeRound(n - 2, place, decided);
        if (decided) placeRound(n - 1, place, decided);
        for (std::int32_t r = n - 3; r >= 0; --r) placeRound(r, place, decided);
        break;
    case BRACKET_SINGLE_FINAL_BEST_OF_3_THIRD:
    case BRACKET_SINGLE_ALL_BEST_OF_3:
        for (std::int32_t r : {n - 4, n - 5, n - 6, n - 1, n - 2, n - 3}) placeRound(r, place, decided);
        for (std::int32_t r = n - 7; r >= 0; --r) placeRound(r, place, decided);
        break;
    default:
        for (std::int32_t r = n - 1; r >= 0; --r) placeRound(r, place, decided);
        break;
    }
    numberTheRest(racers, size, true);
}

void TFinalBracket::computePlacesDouble() {
    for (auto& r : racers) r.place = 0;
    placeholder->place = 0;
    std::int32_t last = size;
    for (std::int32_t j = 0; j < lowerRoundCount; ++j) {
        TFinalRound* round = lowerRound(j);
        if (!round) continue;
        for (auto* l : losersSlowestFirst(*round, raceMode)) l->place = last--;
    }
    std::int32_t first = 1;
    const std::int32_t n = upperRoundCount;
    for (std::int32_t r = n - 1; r >= 0; --r) {
        TFinalRound* round = upperRound(r);
        if (!round) continue;
        std::vector<TFinalRacer*> winners;
        for (const auto& p : round->pairs) {
            p->winner = p->computeWinner();
            TFinalRacer* w = p->winningRacer();
            if (!rankable(w)) continue;
            w->timeKey = p->racerTime(w->number, raceMode);
            winners.push_back(w);
        }
        std::sort(winners.begin(), winners.end(), compareTimes);
        for (auto* w : winners) w->place = first++;
        if (r == n - 1 || r == n - 2)
            for (auto* l : losersSlowestFirst(*round, raceMode)) l->place = first++;
    }
    numberTheRest(racers, size, false);
}

} // namespace velmaro
