#include "core/drag/drag_lookup.h"

#include "core/drag/drag_host.h"
#include "core/registration/registry.h"

namespace velmaro {

TRacerItem* lookupRacer(int32_t number)
{
    if (number <= 0)
        return nullptr;  // 0 is no racer; negative lane markers name no registered racer
    return dragHost().registry().findRacer(static_cast<std::uint32_t>(number));
}

TClassItem* lookupClass(int32_t classId)
{
    if (classId == -1)
        return nullptr;
    return dragHost().registry().findClass(classId);
}

} // namespace velmaro
