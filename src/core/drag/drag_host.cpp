#include "core/drag/drag_host.h"

#include <stdexcept>

namespace velmaro {

namespace {
DragHost* gHost = nullptr;
} // namespace

DragHost& dragHost()
{
    if (!gHost)
        throw std::logic_error("drag host used before the console installed one (setDragHost)");
    return *gHost;
}

void setDragHost(DragHost* host)
{
    gHost = host;
}

} // namespace velmaro
