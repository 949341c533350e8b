#pragma once
// The hit log as the hit log window shows it, and the replay of logged hits onto the node
// network as if nodes had sent them: RUN sends the hits from a row down to the next start
// signal, STEP one hit. Main thread only.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/intake/hit_intake.h"
#include "core/link/node_protocol.h"
#include "core/link/system_interface.h"

namespace velmaro {

// Columns of the hit log grid.
enum HitLogColumn : int { HITLOG_NODE = 0, HITLOG_SIGNAL, HITLOG_TIME, HITLOG_USED, HITLOG_ARRIVAL, HITLOG_COLUMNS };

// "Блок", "Сигнал", "Время", "Статус", "Время прихода".
std::string hitLogColumnTitle(int column);
// The text of one cell of a record.
std::string hitLogCellText(const THitRecord& record, int column);
// "dd.mm.yyyy HH:MM:SS.mmm" of a UTC time given as seconds and milliseconds.
std::string hitLogTimeText(std::uint64_t seconds, unsigned milliseconds);

// Where the replayed hits go: the console's settings ReplayRunTarget and ReplayStepTarget
// (dotted IPv4 addresses); the port is always the node network's.
struct HitReplayTargets {
    std::string run;
    std::string step;
    bool operator==(const HitReplayTargets&) const = default;
};

// Sends a node message wrapped in a forged receive frame, through the node link's socket.
class HitReplaySender {
public:
    HitReplaySender() = default;
    HitReplaySender(const HitReplaySender&) = delete;
    HitReplaySender& operator=(const HitReplaySender&) = delete;
    virtual ~HitReplaySender() = default;
    // False when the datagram did not leave (failures of a replay are not reported).
    virtual bool sendAsReceivedPacket(const TNodeMessage& message, const NodeAddress& to) = 0;
};

// The message a node sends for a logged hit: from = the node, to = the console, type hit,
// param = signal, data = seconds, aux = milliseconds.
TNodeMessage replayMessage(const THitRecord& record);

// RUN: sends record `first` and the records after it, stopping after the last record or
// before a record whose signal is the green start signal; each sent record is marked used.
// Returns the index of the last record sent; nothing is sent when `first` is no record
// (then `first` is returned).
std::size_t replayRun(std::vector<THitRecord>& records, std::size_t first, HitReplaySender& sender,
                      const NodeAddress& target);
// STEP: sends record `index` alone and marks it used; false when it is no record.
bool replayStep(std::vector<THitRecord>& records, std::size_t index, HitReplaySender& sender,
                const NodeAddress& target);

} // namespace velmaro
