#include "core/drag/drag_host.h"

namespace velmaro {

namespace {
DragHost gDefaultHost;
DragHost* gHost = nullptr;
} // namespace

DragHost& dragHost()
{
    return gHost ? *gHost : gDefaultHost;
}

void setDragHost(DragHost* host)
{
    gHost = host;
}

} // namespace velmaro
