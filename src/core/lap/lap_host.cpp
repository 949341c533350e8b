#include "core/lap/lap_host.h"

#include <atomic>

namespace velmaro {

namespace {
LapHost& defaultHost() {
    static LapHost host;
    return host;
}
std::atomic<LapHost*> gHost{nullptr}; // the lap results worker reads it too
} // namespace

LapHost& lapHost() {
    LapHost* h = gHost.load();
    return h ? *h : defaultHost();
}
void setLapHost(LapHost* host) { gHost = host; }

} // namespace velmaro
