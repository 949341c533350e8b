// Racer names for the drawings, from the registry or from its snapshot.
#include "core/bracket/bracket_pages.h"
#include "core/registration/registry.h"

namespace velmaro {

TRacerNames racerNamesOf(std::shared_ptr<const TRegistrySnapshot> snapshot) {
    if (!snapshot) return {};
    return [snapshot = std::move(snapshot)](std::int32_t number) -> std::string {
        if (number <= 0) return {};
        const TRacerItem* racer = snapshot->findRacer(static_cast<std::uint32_t>(number));
        return racer ? racer->name : std::string();
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
