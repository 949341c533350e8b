#pragma once
// The fuzz targets: one entry function per reader of outside input. Each takes any bytes,
// must never crash, and checks that what the matching writer makes of the result reads
// back to the same text. libFuzzer drives them (fuzz_<name>, built with VELMARO_FUZZ=ON
// and clang); fuzz_replay feeds them the kept corpus in every build.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace velmaro::fuzz {

using TargetFunction = int (*)(const std::uint8_t* data, std::size_t size);

struct Target {
    std::string_view name; // also the folder of its corpus: fuzz/corpus/<name>
    TargetFunction run;
};

const std::vector<Target>& targets();
// Null when no target has that name.
TargetFunction findTarget(std::string_view name);

} // namespace velmaro::fuzz
