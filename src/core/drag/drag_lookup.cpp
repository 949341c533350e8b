#include "core/drag/drag_lookup.h"

#include "core/registration/registry.h"

namespace velmaro {

TRacerItem* lookupRacer(const TRegistry& registry, int32_t number) {
    if (number <= 0) return nullptr; // 0 is no racer; negative lane markers name no registered racer
    return registry.findRacer(static_cast<std::uint32_t>(number));
}

TClassItem* lookupClass(const TRegistry& registry, int32_t classId) {
    if (classId == -1) return nullptr;
    return registry.findClass(classId);
}

} // namespace velmaro
