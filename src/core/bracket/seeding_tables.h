#pragma once
// The fixed seeding tables of the FIA, FIA Handicap and fixed double-elimination
// brackets: 16 rows (row i = i+1 seeded racers) of 8 pairs (racer slot of the upper
// and the lower line; -1 = empty). Entries past the pairs a row defines hold 0,0.
#include <array>
#include <cstdint>

namespace velmaro {

using SeedingEntry = std::array<std::int32_t, 2>;
using SeedingTable = std::array<std::array<SeedingEntry, 8>, 16>;

// The table of a bracket type: 6 and 7 FIA, 8 and 9 FIA Handicap, 10 fixed double
// elimination; any other type gets the FIA table.
const SeedingTable& seedingTable(std::int32_t type);

} // namespace velmaro
