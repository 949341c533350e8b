#pragma once
// Look-ups of registered racers and classes for the drag displays, printouts and reports.
// Main thread only, like the registry they read.
#include <cstdint>

namespace velmaro {

struct TRacerItem; // core/registration/registry.h
struct TClassItem;
class TRegistry;

// The first registered racer with that start number; null for 0 or an unknown number.
TRacerItem* lookupRacer(const TRegistry& registry, int32_t number);
// The first class with that id; null for -1 or an unknown id.
TClassItem* lookupClass(const TRegistry& registry, int32_t classId);

} // namespace velmaro
