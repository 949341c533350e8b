#pragma once
// Look-ups of registered racers and classes for the drag displays, printouts and reports.
// Main thread only: the registry is the drag host's, and the main thread's.
#include <cstdint>

namespace velmaro {

struct TRacerItem;  // core/registration/registry.h
struct TClassItem;

// The first registered racer with that start number; null for 0 or an unknown number.
TRacerItem* lookupRacer(int32_t number);
// The first class with that id; null for -1 or an unknown id.
TClassItem* lookupClass(int32_t classId);

} // namespace velmaro
