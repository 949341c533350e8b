#pragma once
// The values of a sensor hit, from the node link to hitlog.txt. A hit as the node sent it
// is a TSignalHit: the link queues and journals it, the hit intake takes it and notes it
// taken. What the intake logs of it is a THitRecord: the same hit with its node time split
// into seconds and milliseconds, the arrival time and the mark of a hit fed again.
// hitRecord() is the one way from the one to the other; THitRecord::time() gives back
// the node time. The link and the intake both include this header (the intake sits on
// the link).
#include <cstddef>
#include <cstdint>
#include <string>

namespace velmaro {

// One queued hit: node, signal, node time in ms since 1970.
struct TSignalHit {
    std::uint32_t node = 0;
    std::uint32_t signal = 0;
    std::uint64_t time = 0;
    bool operator==(const TSignalHit&) const = default;
};

// Time order, then node, then signal: the order a replay feeds hits in.
inline bool hitBefore(const TSignalHit& a, const TSignalHit& b) {
    if (a.time != b.time) return a.time < b.time;
    if (a.node != b.node) return a.node < b.node;
    return a.signal < b.signal;
}

struct TSignalHitHash {
    std::size_t operator()(const TSignalHit& h) const {
        std::uint64_t k = h.time * 0x9E3779B97F4A7C15ull ^ (std::uint64_t(h.node) << 32 | h.signal);
        k ^= k >> 29;
        return std::size_t(k * 0xBF58476D1CE4E5B9ull);
    }
};

// One logged hit.
struct THitRecord {
    std::int32_t node = 0;
    std::int32_t signal = 0;        // as the node sent it (before transponder decoding)
    std::uint32_t seconds = 0;      // node time, whole seconds since 1970
    std::uint16_t milliseconds = 0; // node time, 0..999
    std::uint8_t used = 0;          // 1 once fed again from the hit log window
    std::uint64_t arrival = 0;      // PC UTC ms since 1970; 0 = not recorded
    bool operator==(const THitRecord&) const = default;
    std::uint64_t time() const { return std::uint64_t(seconds) * 1000u + milliseconds; }
};

// The record of `hit`, arrived at `arrival` (PC UTC ms; 0 = not recorded), not used.
inline THitRecord hitRecord(const TSignalHit& hit, std::uint64_t arrival) {
    THitRecord r;
    r.node = static_cast<std::int32_t>(hit.node);
    r.signal = static_cast<std::int32_t>(hit.signal);
    r.seconds = static_cast<std::uint32_t>(hit.time / 1000);
    r.milliseconds = static_cast<std::uint16_t>(hit.time % 1000);
    r.arrival = arrival;
    return r;
}

// A hit whose batch was being written to an event file: the file's name in the event
// folder and the bytes written at `offset` (their length and contentChecksum).
struct JournalWrite {
    std::string file;
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
    std::uint64_t checksum = 0;
    TSignalHit hit;
    bool operator==(const JournalWrite&) const = default;
};

} // namespace velmaro
