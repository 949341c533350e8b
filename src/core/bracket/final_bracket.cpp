// Bracket model: construction of the rounds per type, the links that carry winners
// and losers, seeding of the first round, geometry and racer slots.
#include "core/bracket/final_bracket.h"

#include <algorithm>
#include <array>
#include <span>

#include "core/bracket/seeding_tables.h"
#include "core/platform/timing_mode.h"

namespace velmaro {

namespace {

bool isDoubleType(std::int32_t type) { return type == BRACKET_DOUBLE || type == BRACKET_DOUBLE_FIXED; }

// One link of the fixed type-10 tables: from (round, pair) to (round, pair, slot).
struct FixedLink {
    std::int8_t fromRound, fromPair, toRound, toPair, toSlot;
};

// Upper-bracket losers into the lower bracket (from = upper, to = lower).
constexpr FixedLink kLosers4[] = {{0, 0, 0, 0, 0}, {0, 1, 0, 0, 1}, {1, 0, 1, 0, 0}};
constexpr FixedLink kLosers8[] = {{0, 0, 0, 0, 0}, {0, 1, 0, 1, 0}, {0, 2, 0, 0, 1}, {0, 3, 0, 1, 1},
                                  {1, 0, 1, 1, 0}, {1, 1, 1, 0, 0}, {2, 0, 3, 0, 0}};
constexpr FixedLink kLosers16[] = {{0, 0, 0, 0, 0}, {0, 1, 0, 1, 0}, {0, 2, 0, 2, 0}, {0, 3, 0, 3, 0}, {0, 4, 0, 0, 1},
                                   {0, 5, 0, 1, 1}, {0, 6, 0, 2, 1}, {0, 7, 0, 3, 1}, {1, 0, 1, 0, 0}, {1, 1, 1, 1, 0},
                                   {1, 2, 1, 2, 0}, {1, 3, 1, 3, 0}, {2, 0, 2, 1, 0}, {2, 1, 2, 2, 0}, {3, 0, 3, 0, 0}};
// Lower-bracket winners (from = lower, to = lower; toRound -1 = the grand final).
constexpr FixedLink kLower4[] = {{0, 0, 1, 0, 1}, {1, 0, -1, 0, 1}};
constexpr FixedLink kLower8[] = {{0, 0, 1, 0, 1}, {0, 1, 1, 1, 1}, {1, 0, 2, 0, 0},
                                 {1, 1, 2, 0, 1}, {2, 0, 3, 0, 1}, {3, 0, -1, 0, 1}};
constexpr FixedLink kLower16[] = {{0, 0, 1, 0, 1}, {0, 1, 1, 1, 1}, {0, 2, 1, 2, 1}, {0, 3, 1, 3, 1}, {1, 0, 2, 0, 0},
                                  {1, 1, 2, 0, 1}, {1, 2, 2, 1, 1}, {1, 3, 2, 2, 1}, {2, 0, 3, 0, 1}, {2, 1, 3, 1, 0},
                                  {2, 2, 3, 1, 1}, {3, 0, 4, 0, 0}, {3, 1, 4, 0, 1}, {4, 0, -1, 0, 1}};

template <std::size_t N>
constexpr std::span<const FixedLink> spanOf(const FixedLink (&a)[N]) {
    return std::span<const FixedLink>(a, N);
}

void linkWinner(TFinalPair* from, TFinalPair* to, std::int32_t slot) {
    if (!from || !to) return;
    from->nextPair = to;
    to->sourcePairs[slot] = from;
}

void linkLoser(TFinalPair* from, TFinalPair* to, std::int32_t slot) {
    if (!from || !to) return;
    from->loserPair = to;
    from->loserSlot = slot;
}

// A race followed by the next race of its series: winner and loser both go on.
void linkSeries(TFinalPair* from, TFinalPair* to, std::int32_t loserSlot) {
    if (!from || !to) return;
    from->nextPair = to;
    from->loserPair = to;
    from->loserSlot = loserSlot;
    to->sourcePairs[0] = from;
    to->sourcePairs[1] = from;
}

} // namespace

const std::vector<std::string>& bracketTypeCaptions() {
    static const std::vector<std::string> captions = {
        "Олимпийская, финал до 1 победы",
        "Олимпийская, финал до 1 победы+заезд за 3 место",
        "Олимпийская, финал до 2 побед",
        "Олимпийская, финал до 2 побед+заезд за 3 место",
        "До двух поражений (Double Elimination), правильная",
        "Олимпийская, до 2х побед",
        "FIA",
        "FIA + заезд 3-4",
        "FIA Handicap",
        "FIA Handicap+заезд 3-4",
        "До двух поражений (Kestrel-GT-club)",
    };
    return captions;
}

bool isValidBracketSize(std::int32_t size) { return size >= 2 && size <= kMaxBracketSize && (size & (size - 1)) == 0; }

bool isValidBracketType(std::int32_t type) { return type >= 0 && type < kBracketTypeCount; }

std::string racerName(std::int32_t number, const TRacerNames& names) {
    if (number <= 0 || !names) return {};
    return names(number);
}

// ---------------------------------------------------------------------------------

TFinalRound::TFinalRound(std::int32_t pairCount, TFinalRacer* placeholder) : count(std::max(0, pairCount)) {
    pairs.reserve(count);
    for (std::int32_t k = 0; k < count; ++k) pairs.push_back(std::make_unique<TFinalPair>(placeholder));
}

// ---------------------------------------------------------------------------------

TFinalBracket::TFinalBracket(std::int32_t size_, std::int32_t type_, std::int32_t classId_, std::int32_t participants,
                             std::string title_)
    : title(std::move(title_)), classId(classId_) {
    size = std::clamp(size_, 2, kMaxBracketSize);
    placeholder = std::make_unique<TFinalRacer>();
    placeholder->number = -1;
    seededCount = std::clamp(participants, 0, size);
    type = isValidBracketType(type_) ? type_ : BRACKET_SINGLE;
    racers.assign(size, TFinalRacer{});
    if (isDoubleType(type) && size <= 2) type = BRACKET_SINGLE_FINAL_BEST_OF_3;

    r_ = 0;
    for (std::int32_t v = size; v > 1; v /= 2) ++r_;

    buildRounds();
    makeLinks();
    seedFirstRound();
    setGeometry();
    for (std::int32_t r = 0; r < upperRoundCount; ++r)
        if (auto* round = upperRound(r))
            for (std::int32_t k = 0; k < round->count; ++k) drawPair(nullptr, r, k, {}, 0, 1.0, 0, 0, true);
    for (std::int32_t j = 0; j < lowerRoundCount; ++j)
        if (auto* round = lowerRound(j))
            for (std::int32_t k = 0; k < round->count; ++k) drawPair(nullptr, j, k, {}, 1, 1.0, 0, 0, true);
}

TFinalBracket::~TFinalBracket() = default;

void TFinalBracket::buildRounds() {
    const std::int32_t R = r_;
    const std::int32_t reach = 1 << R; // only the first 2^R slots take part
    auto elimPairs = [&](std::int32_t r) { return std::max(1, reach >> (r + 1)); };

    switch (type) {
    case BRACKET_SINGLE_THIRD:
    case BRACKET_FIA_THIRD:
    case BRACKET_FIA_HANDICAP_THIRD: upperRoundCount = R + 1; break;
    case BRACKET_SINGLE_FINAL_BEST_OF_3: upperRoundCount = R + 2; break;
    case BRACKET_SINGLE_FINAL_BEST_OF_3_THIRD: upperRoundCount = R + 5; break;
    case BRACKET_DOUBLE:
    case BRACKET_DOUBLE_FIXED: upperRoundCount = R + 2; break;
    case BRACKET_SINGLE_ALL_BEST_OF_3: upperRoundCount = 3 * R + 3; break;
    default: upperRoundCount = R; break;
    }
    lowerRoundCount = 0;
    if (isDoubleType(type)) {
        lowerRoundCount = std::max(2 * R - 2, 1);
        if (type == BRACKET_DOUBLE_FIXED && size == 16) lowerRoundCount = 5;
    }

    upperRounds.clear();
    upperRounds.resize(upperRoundCount);
    auto make = [&](std::int32_t r, std::int32_t pairs) {
        upperRounds[r] = std::make_unique<TFinalRound>(pairs, placeholder.get());
    };
    if (type == BRACKET_SINGLE_ALL_BEST_OF_3) {
        for (std::int32_t s = 0; s <= R; ++s) {
            std::int32_t pairs = s < R ? elimPairs(s) : 1;
            for (std::int32_t i = 0; i < 3; ++i) make(3 * s + i, pairs);
        }
    } else {
        for (std::int32_t r = 0; r < R; ++r) make(r, elimPairs(r));
        switch (type) {
        case BRACKET_SINGLE_THIRD:
        case BRACKET_FIA_THIRD:
        case BRACKET_FIA_HANDICAP_THIRD: make(R, 1); break;
        case BRACKET_SINGLE_FINAL_BEST_OF_3: make(R, 1); break; // R+1: decider, on demand
        case BRACKET_SINGLE_FINAL_BEST_OF_3_THIRD:
            make(R, 1);     // final race 2; R+1 decider on demand
            make(R + 2, 1); // 3rd-place race 1
            make(R + 3, 1); // 3rd-place race 2; R+4 decider on demand
            break;
        case BRACKET_DOUBLE:
        case BRACKET_DOUBLE_FIXED: make(R, 1); break; // grand final; R+1 reset on demand
        default: break;
        }
    }

    lowerRounds.clear();
    lowerRounds.resize(lowerRoundCount);
    static constexpr std::int32_t kFixed16[] = {4, 4, 3, 2, 1};
    for (std::int32_t j = 0; j < lowerRoundCount; ++j) {
        std::int32_t pairs =
            (type == BRACKET_DOUBLE_FIXED && size == 16) ? kFixed16[j] : (1 << ((lowerRoundCount - j - 1) / 2));
        lowerRounds[j] = std::make_unique<TFinalRound>(pairs, placeholder.get());
    }
}

void TFinalBracket::makeFixedLinks() {
    std::span<const FixedLink> losers, lower;
    if (size == 4)
        losers = spanOf(kLosers4), lower = spanOf(kLower4);
    else if (size == 8)
        losers = spanOf(kLosers8), lower = spanOf(kLower8);
    else if (size == 16)
        losers = spanOf(kLosers16), lower = spanOf(kLower16);
    else
        return; // larger fixed brackets have no tables
    TFinalRound* gf = upperRound(r_);
    for (const auto& l : losers) {
        TFinalRound* from = upperRound(l.fromRound);
        TFinalRound* to = lowerRound(l.toRound);
        if (from && to) linkLoser(from->pair(l.fromPair), to->pair(l.toPair), l.toSlot);
    }
    for (const auto& l : lower) {
        TFinalRound* from = lowerRound(l.fromRound);
        TFinalRound* to = l.toRound < 0 ? gf : lowerRound(l.toRound);
        if (!from || !to) continue;
        TFinalPair* a = from->pair(l.fromPair);
        TFinalPair* b = to->pair(l.toPair);
        if (!a || !b) continue;
        linkWinner(a, b, l.toSlot);
        a->nextSlot = l.toSlot;
    }
}

void TFinalBracket::makeLinks() {
    const std::int32_t R = r_;
    auto elimLink = [&](std::int32_t from, std::int32_t to) {
        TFinalRound* a = upperRound(from);
        TFinalRound* b = upperRound(to);
        if (!a || !b) return;
        for (std::int32_t k = 0; k < a->count; ++k) linkWinner(a->pair(k), b->pair(k / 2), k % 2);
    };

    if (type == BRACKET_DOUBLE_FIXED) makeFixedLinks();
    if (type == BRACKET_DOUBLE) {
        const std::int32_t L = lowerRoundCount;
        TFinalRound* gf = upperRound(R);
        for (std::int32_t j = 0; j < L; ++j) {
            TFinalRound* a = lowerRound(j);
            for (std::int32_t k = 0; k < a->count; ++k) {
                if (j == L - 1)
                    linkWinner(a->pair(k), gf ? gf->pair(0) : nullptr, 1);
                else if (j % 2 == 0)
                    linkWinner(a->pair(k), lowerRound(j + 1)->pair(k), 1);
                else
                    linkWinner(a->pair(k), lowerRound(j + 1)->pair(k / 2), k % 2);
            }
        }
    }

    switch (type) {
    case BRACKET_SINGLE_ALL_BEST_OF_3: {
        for (std::int32_t s = 0; s <= R; ++s) {
            TFinalRound* r1 = upperRound(3 * s);
            TFinalRound* r2 = upperRound(3 * s + 1);
            TFinalRound* r3 = upperRound(3 * s + 2);
            for (std::int32_t k = 0; k < r1->count; ++k) {
                linkSeries(r1->pair(k), r2->pair(k), k % 2);
                linkSeries(r2->pair(k), r3->pair(k), k % 2);
            }
            if (s < R - 1) elimLink(3 * s + 2, 3 * (s + 1));
            if (s == R - 2) {
                TFinalRound* third = upperRound(3 * R);
                for (std::int32_t k = 0; k < r3->count; ++k) linkLoser(r3->pair(k), third->pair(0), k % 2);
            }
        }
        break;
    }
    default: {
        for (std::int32_t r = 0; r + 1 < R; ++r) elimLink(r, r + 1);
        auto semifinalLosersTo = [&](std::int32_t round) {
            if (R < 2) return;
            TFinalRound* semi = upperRound(R - 2);
            TFinalRound* third = upperRound(round);
            for (std::int32_t k = 0; k < semi->count; ++k) linkLoser(semi->pair(k), third->pair(0), k % 2);
        };
        switch (type) {
        case BRACKET_SINGLE_THIRD:
        case BRACKET_FIA_THIRD:
        case BRACKET_FIA_HANDICAP_THIRD: semifinalLosersTo(R); break;
        case BRACKET_SINGLE_FINAL_BEST_OF_3: linkSeries(upperRound(R - 1)->pair(0), upperRound(R)->pair(0), 0); break;
        case BRACKET_SINGLE_FINAL_BEST_OF_3_THIRD:
            semifinalLosersTo(R + 2);
            linkSeries(upperRound(R - 1)->pair(0), upperRound(R)->pair(0), 0);
            linkSeries(upperRound(R + 2)->pair(0), upperRound(R + 3)->pair(0), 0);
            break;
        case BRACKET_DOUBLE:
        case BRACKET_DOUBLE_FIXED: {
            TFinalRound* gf = upperRound(R);
            linkWinner(upperRound(R - 1)->pair(0), gf->pair(0), 0);
            if (type == BRACKET_DOUBLE_FIXED) break; // losers from the tables
            const std::int32_t L = lowerRoundCount;
            TFinalRound* r0 = upperRound(0);
            for (std::int32_t k = 0; k < r0->count && R > 1; ++k)
                linkLoser(r0->pair(k), lowerRound(0)->pair(k / 2), k % 2);
            for (std::int32_t u = 1; u <= R - 2; ++u) {
                TFinalRound* round = upperRound(u);
                TFinalRound* to = lowerRound(2 * u - 1);
                const std::int32_t h = std::max(1, round->count / 2);
                for (std::int32_t k = 0; k < round->count; ++k) {
                    std::int32_t target = (u % 2 == 0) ? k : (((k / h) ^ 1) * h + k % h);
                    linkLoser(round->pair(k), to->pair(target), 0);
                }
            }
            if (R > 1) linkLoser(upperRound(R - 1)->pair(0), lowerRound(L - 1)->pair(0), 0);
            break;
        }
        default: break;
        }
        break;
    }
    }
}

TFinalRacer* TFinalBracket::emptySeedSlot() { return &racers[size - 1]; }

void TFinalBracket::seedFirstRound() {
    TFinalRound* first = upperRound(0);
    if (!first) return;
    const bool tableType = type >= BRACKET_FIA && type <= BRACKET_DOUBLE_FIXED;
    if (tableType && size <= 16) {
        const SeedingTable& table = seedingTable(type);
        // A racer slot goes into one pair at most: the 0,0 fill of a row past its
        // defined pairs (and any other repeat) counts as an empty slot.
        std::vector<bool> used(size, false);
        for (std::int32_t i = 0; i < first->count; ++i) {
            TFinalPair* p = first->pair(i);
            std::array<std::int32_t, 2> entry = {-1, -1};
            if (seededCount >= 1 && seededCount <= 16 && i < 8) entry = table[seededCount - 1][i];
            for (int s = 0; s < 2; ++s) {
                std::int32_t slot = entry[s];
                if (slot >= 0 && slot < size && !used[slot]) {
                    used[slot] = true;
                    p->racers[s] = &racers[slot];
                    p->seedPos[s] = slot + 1;
                } else {
                    p->racers[s] = emptySeedSlot();
                    p->seedPos[s] = 0;
                }
            }
        }
        return;
    }
    for (std::int32_t i = 0; i < first->count; ++i) {
        TFinalPair* p = first->pair(i);
        for (int s = 0; s < 2; ++s) {
            std::int32_t seed = 0;
            p->racers[s] = firstRoundSlot(2 * i + s, seed);
            p->seedPos[s] = seed;
        }
    }
}

TFinalRacer* TFinalBracket::firstRoundSlot(std::int32_t position, std::int32_t& seedPosition) {
    std::int32_t s = 0;
    std::int32_t block = size / 2;
    std::int32_t span = 2;
    for (std::int32_t i = 0; i < r_ && block > 0; ++i) {
        std::int32_t q = (position / block) % 2;
        if (q != s % 2) s = span - 1 - s;
        block /= 2;
        span *= 2;
    }
    s = std::clamp(s, 0, size - 1);
    seedPosition = s + 1;
    return &racers[s];
}

void TFinalBracket::setGeometry() {
    boxWidth = 200;
    boxHeight = 34;
    columnWidth = boxWidth + 64;
    upperHeight = boxHeight * (size / 2) * 3;
    lowerHeight = isDoubleType(type) ? boxHeight * ((size / 2) / 2) * 3 : 0;
    totalWidth = std::max(upperRoundCount, lowerRoundCount) * columnWidth;
    if (isDoubleType(type)) totalWidth += 3 * columnWidth;
    if (type == BRACKET_SINGLE_FINAL_BEST_OF_3_THIRD || type == BRACKET_SINGLE_ALL_BEST_OF_3)
        totalWidth -= 3 * columnWidth;
}

std::int32_t TFinalBracket::setRacer(std::int32_t number, std::int32_t classId_, std::int32_t slot) {
    if (slot < 0 || slot >= size) return -1;
    for (const auto& r : racers)
        if (r.number == number && r.classId == classId_) return -1;
    racers[slot].number = number;
    racers[slot].classId = classId_;
    racers[slot].seedIndex = slot;
    return 0;
}

TFinalRound* TFinalBracket::upperRound(std::int32_t r) const {
    return r >= 0 && r < static_cast<std::int32_t>(upperRounds.size()) ? upperRounds[r].get() : nullptr;
}

TFinalRound* TFinalBracket::lowerRound(std::int32_t j) const {
    return j >= 0 && j < static_cast<std::int32_t>(lowerRounds.size()) ? lowerRounds[j].get() : nullptr;
}

TFinalRound* TFinalBracket::ensureUpperRound(std::int32_t r, std::int32_t pairCount) {
    if (r < 0 || r >= static_cast<std::int32_t>(upperRounds.size())) return nullptr;
    if (!upperRounds[r]) upperRounds[r] = std::make_unique<TFinalRound>(pairCount, placeholder.get());
    return upperRounds[r].get();
}

void TFinalBracket::destroyUpperRound(std::int32_t r) {
    TFinalRound* round = upperRound(r);
    if (!round) return;
    for (const auto& p : round->pairs) {
        if (selectedPair == p.get()) selectedPair = nullptr;
        // Nothing else may keep pointing at a pair that goes away.
        auto unlink = [&](const std::vector<std::unique_ptr<TFinalRound>>& rounds) {
            for (const auto& other : rounds) {
                if (!other || other.get() == round) continue;
                for (const auto& q : other->pairs) {
                    if (q->nextPair == p.get()) q->nextPair = nullptr;
                    if (q->loserPair == p.get()) {
                        q->loserPair = nullptr;
                        q->loserSlot = -1;
                    }
                    for (auto& src : q->sourcePairs)
                        if (src == p.get()) src = nullptr;
                }
            }
        };
        unlink(upperRounds);
        unlink(lowerRounds);
    }
    upperRounds[r].reset();
}

bool TFinalBracket::ownsPair(const TFinalPair* pair) const {
    if (!pair) return false;
    for (const auto* rounds : {&upperRounds, &lowerRounds})
        for (const auto& round : *rounds)
            if (round)
                for (const auto& p : round->pairs)
                    if (p.get() == pair) return true;
    return false;
}

// ---------------------------------------------------------------------------------

bool TFinalPair::hasRacers(std::int32_t r) const {
    if (!racers[0] && !racers[1]) return false;
    if (r > 0 && racers[0] && racers[1] && racers[0]->number == -1 && racers[1]->number == -1) return true;
    for (const auto* racer : racers)
        if (racer && racer->number > 0) return true;
    return false;
}

std::int32_t TFinalPair::computeWinner() const {
    if (forceWinner == 0 || forceWinner == 1) return forceWinner;
    const TFinalRacer* a = racers[0];
    const TFinalRacer* b = racers[1];
    if (!a) return (b && b->number > 0) ? 1 : -1;
    if (!b) return a->number > 0 ? 0 : -1;
    if (a->number == 0 && b->number > 0) return 1;
    if (b->number == 0 && a->number > 0) return 0;
    if (run.runId != 0) {
        if (run.winner == 0) return a->number == run.racer[0] ? 0 : 1;
        if (run.winner == 1) return a->number == run.racer[1] ? 0 : 1;
    }
    return -1;
}

TFinalRacer* TFinalPair::winningRacer() const { return (winner == 0 || winner == 1) ? racers[winner] : nullptr; }

TFinalRacer* TFinalPair::losingRacer() const { return (winner == 0 || winner == 1) ? racers[1 - winner] : nullptr; }

std::int32_t TFinalPair::racerTime(std::int32_t number, std::int32_t raceMode) const {
    if (run.runId == 0) return 0;
    int lane = -1;
    if (number == run.racer[0])
        lane = 0;
    else if (number == run.racer[1])
        lane = 1;
    if (lane < 0) return 0;
    return timingModeFrom(raceMode) == TimingMode::LapCrossover ? run.et[lane] : run.dirtyTime[lane];
}

} // namespace velmaro
