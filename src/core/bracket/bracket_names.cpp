// Racer names for the drawings, from the registry or from its snapshot.
#include <unordered_map>

#include "core/bracket/bracket_pages.h"
#include "core/registration/registry.h"

namespace velmaro {

TRacerNames racerNamesOf(std::shared_ptr<const TRegistrySnapshot> snapshot) {
    if (!snapshot) return {};
    // The snapshot never changes: its racers are indexed once (the first of a number
    // wins, as findRacer answers).
    auto index = std::make_shared<std::unordered_map<std::int32_t, const TRacerItem*>>();
    index->reserve(snapshot->racers.size());
    for (const TRacerItem& r : snapshot->racers)
        if (r.number != 0) index->emplace(static_cast<std::int32_t>(r.number), &r);
    return [snapshot = std::move(snapshot), index = std::move(index)](std::int32_t number) -> std::string {
        if (number <= 0) return {};
        const auto it = index->find(number);
        return it != index->end() ? it->second->name : std::string();
    };
}

TRacerNames racerNamesOf(const TRegistry& registry) {
    return [&registry](std::int32_t number) -> std::string {
        if (number <= 0) return {};
        const TRacerItem* racer = registry.findRacer(static_cast<std::uint32_t>(number));
        return racer ? racer->name : std::string();
    };
}

} // namespace velmaro
