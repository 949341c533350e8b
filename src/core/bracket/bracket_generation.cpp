#include "core/bracket/bracket_generation.h"

#include <algorithm>
#include <utility>

#include "core/bracket/final_bracket_file.h"
#include "core/platform/operator.h"
#include "core/registration/registry.h"

namespace velmaro {

namespace {

constexpr std::uint64_t kMultiplier = 22695477;

bool entered(const TRacerItem& racer, std::int32_t classId) {
    return std::find(racer.classIds.begin(), racer.classIds.end(), classId) != racer.classIds.end();
}

// The file first, so that it holds what memory holds even without a results thread;
// the rebuild then advances the bracket and rewrites it again.
void publishChange(BracketPages& pages, TBracketGenerationPort& port, Operator& op) {
    port.bracketInstalled();
    const std::filesystem::path folder = port.eventFolder();
    if (!folder.empty()) {
        const Status st = saveFinalBracketFile(pages, folder);
        if (!st.ok()) op.log(st.message());
    }
    port.requestRebuild();
}

} // namespace

std::int32_t generatedBracketSize(std::int32_t requested, std::int32_t racerCount) {
    if (racerCount <= 0) return 0;
    std::int32_t size = requested;
    while (size >= 2 && size >= 2 * racerCount) size /= 2;
    return size;
}

TBracketRandom::TBracketRandom(std::int64_t seedSeconds) {
    state_ = (static_cast<std::uint32_t>(seedSeconds) * static_cast<std::uint32_t>(kMultiplier) + 1u) & 0xFFFFFFFFu;
}

std::uint32_t TBracketRandom::next() {
    state_ = state_ * kMultiplier + 1;
    return static_cast<std::uint32_t>(state_ >> 32) & 0x7FFFFFFFu;
}

void shuffleDrawOrder(std::vector<TRacerItem*>& racers, TBracketRandom& random) {
    const std::size_t n = racers.size();
    for (std::size_t i = 0; n >= 2 && i + 1 < n; ++i) {
        const std::size_t j = i + 1 + random.next() % (n - 1 - i);
        std::swap(racers[i], racers[j]);
    }
}

std::vector<TRacerItem*> previousBracketOrder(const TFinalBracket& bracket, const TRegistry& registry) {
    std::vector<TRacerItem*> order;
    const std::int32_t seeded = std::min<std::int32_t>(bracket.seededCount, std::int32_t(bracket.racers.size()));
    for (std::int32_t k = 0; k < seeded; ++k) {
        const std::int32_t number = bracket.racers[std::size_t(k)].number;
        if (number <= 0) continue;
        if (TRacerItem* racer = registry.findRacer(std::uint32_t(number))) order.push_back(racer);
    }
    return order;
}

std::vector<TRacerItem*> qualificationOrder(const TClassItem& cls, const TRegistry& registry) {
    const auto& source = cls.timedResults.empty() ? cls.results : cls.timedResults;
    std::vector<TRacerItem*> order;
    for (const TDragResult& entry : source) {
        if (entry.num <= 0) continue;
        if (TRacerItem* racer = registry.findRacer(std::uint32_t(entry.num))) order.push_back(racer);
    }
    return order;
}

std::vector<TRacerItem*> classRacers(const TClassItem& cls, const TRegistry& registry, std::size_t limit) {
    std::vector<TRacerItem*> order;
    for (const auto& racer : registry.racers) {
        if (order.size() >= limit) break;
        if (entered(*racer, cls.id)) order.push_back(racer.get());
    }
    return order;
}

std::vector<TRacerItem*> manualOrderList(const std::vector<TRacerItem*>& previous, const TClassItem& cls,
                                         const TRegistry& registry) {
    std::vector<TRacerItem*> order = previous;
    for (const auto& racer : registry.racers)
        if (entered(*racer, cls.id) && std::find(previous.begin(), previous.end(), racer.get()) == previous.end())
            order.push_back(racer.get());
    return order;
}

void placeRacers(TFinalBracket& bracket, const std::vector<TRacerItem*>& order, std::int32_t classId,
                 std::int32_t limit) {
    const std::size_t count = std::min({order.size(), std::size_t(std::max(0, limit)), std::size_t(bracket.size)});
    for (std::size_t k = 0; k < count; ++k)
        (void)bracket.setRacer(std::int32_t(order[k]->number), classId, std::int32_t(k));
}

TGenerationOutcome generateBracket(BracketPages& pages, const std::shared_ptr<TBracketPage>& page,
                                   const TGenerationRequest& request, TRegistry& registry, Operator& op,
                                   TBracketGenerationPort& port) {
    bool hasOld;
    TClassItem* cls;
    {
        auto lock = pages.lockBrackets();
        hasOld = page->bracket != nullptr;
        cls = page->classItem;
    }
    std::vector<TRacerItem*> previous;
    if (hasOld) {
        if (!op.askYesNo(kReplaceBracketText, "Подтверждение")) return TGenerationOutcome::Kept;
        std::shared_ptr<TFinalBracket> old;
        {
            auto lock = pages.lockBrackets();
            if (page->bracket) previous = previousBracketOrder(*page->bracket, registry);
            old = setPageBracket(*page, nullptr);
        }
    }
    if (!cls || cls->racerCount <= 0) {
        publishChange(pages, port, op);
        return TGenerationOutcome::NoRacers;
    }

    const std::int32_t size = generatedBracketSize(request.requestedSize, cls->racerCount);
    const std::int32_t participants =
        request.method == GENERATION_QUALIFICATION ? std::int32_t(cls->results.size()) : cls->racerCount;
    auto bracket = std::make_shared<TFinalBracket>(size, request.type, cls->id, participants, cls->name);
    {
        auto lock = pages.lockBrackets();
        (void)setPageBracket(*page, bracket);
    }
    port.bracketInstalled();

    std::vector<TRacerItem*> order;
    bool place = false;
    auto tooManyAccepted = [&] {
        return cls->racerCount <= size || op.askYesNo(kTooManyRacersText, "Ошибка", Operator::Icon::Error);
    };
    switch (request.method) {
    case GENERATION_QUALIFICATION:
        order = qualificationOrder(*cls, registry);
        place = port.editRacerOrder(order);
        break;
    case GENERATION_DRAW:
        if (tooManyAccepted()) {
            order = classRacers(*cls, registry, std::size_t(size));
            TBracketRandom random(request.nowSeconds);
            shuffleDrawOrder(order, random);
            place = true;
        }
        break;
    case GENERATION_MANUAL:
        if (tooManyAccepted()) {
            order = manualOrderList(previous, *cls, registry);
            place = port.editRacerOrder(order);
        }
        break;
    default: break;
    }

    if (place) {
        auto lock = pages.lockBrackets();
        // The page may have been given another bracket while a dialog was open.
        if (page->bracket == bracket)
            placeRacers(*bracket, order, cls->id, size);
        else
            place = false;
    }
    publishChange(pages, port, op);
    return place ? TGenerationOutcome::Generated : TGenerationOutcome::Empty;
}

} // namespace velmaro
