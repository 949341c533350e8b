// libFuzzer entry of one target, chosen when built (VELMARO_FUZZ_TARGET).
#include <cstdlib>

#include "fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const velmaro::fuzz::TargetFunction run = velmaro::fuzz::findTarget(VELMARO_FUZZ_TARGET);
    if (!run) std::abort();
    return run(data, size);
}
