#include "core/lap/lap_host.h"

#include <atomic>
#include <stdexcept>

namespace velmaro {

namespace {
std::atomic<LapHost*> gHost{nullptr}; // the lap results worker reads it too
} // namespace

LapHost& lapHost() {
    LapHost* h = gHost.load();
    if (!h) throw std::logic_error("lap host used before the console installed one (setLapHost)");
    return *h;
}
void setLapHost(LapHost* host) { gHost = host; }

} // namespace velmaro
