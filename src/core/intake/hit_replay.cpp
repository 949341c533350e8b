#include "core/intake/hit_replay.h"

#include <array>
#include <ctime>

namespace velmaro {

std::string hitLogColumnTitle(int column) {
    static const std::array<const char*, HITLOG_COLUMNS> titles = {"Блок", "Сигнал", "Время", "Статус",
                                                                   "Время прихода"};
    return column >= 0 && column < HITLOG_COLUMNS ? titles[static_cast<std::size_t>(column)] : "";
}

std::string hitLogTimeText(std::uint64_t seconds, unsigned milliseconds) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm utc{};
    gmtime_r(&t, &utc);
    char date[64];
    std::strftime(date, sizeof date, "%d.%m.%Y %H:%M:%S", &utc);
    char text[80];
    std::snprintf(text, sizeof text, "%s.%03u", date, milliseconds);
    return text;
}

namespace {

std::string nodeText(int node) {
    switch (node) {
    case NODE_START: return "СТАРТ";
    case NODE_FINISH: return "ФИНИШ";
    case NODE_SPEED_TRAP: return "СКОРОСТЬ";
    case NODE_60FT: return "60Ft";
    default: return std::to_string(node);
    }
}

std::string signalText(int signal) {
    switch (signal) {
    case SIG_LEFT: return "ЛЕВЫЙ";
    case SIG_STAGE_LEFT: return "STAGE ЛЕВЫЙ";
    case SIG_RIGHT: return "ПРАВЫЙ";
    case SIG_STAGE_RIGHT: return "STAGE ПРАВЫЙ";
    case SIG_PRESTAGE_LEFT: return "PRE-STAGE ЛЕВЫЙ";
    case SIG_PRESTAGE_RIGHT: return "PRE-STAGE ПРАВЫЙ";
    case SIG_GREEN: return "ЗЕЛ. СИГНАЛ";
    case SIG_COMB_START_LEFT: return "CombSTART L";
    case SIG_COMB_START_RIGHT: return "CombSTART R";
    case SIG_STAGE_OPEN_LEFT: return "Stage Open L";
    case SIG_STAGE_OPEN_RIGHT: return "Stage Open R";
    default: break;
    }
    // Above 200: a transponder signal, shown as its tag (bit 15 still in it).
    return std::to_string(signal > 200 ? signal / 4 : signal);
}

} // namespace

std::string hitLogCellText(const THitRecord& record, int column) {
    switch (column) {
    case HITLOG_NODE: return nodeText(record.node);
    case HITLOG_SIGNAL: return signalText(record.signal);
    case HITLOG_TIME: return hitLogTimeText(record.seconds, record.milliseconds);
    case HITLOG_USED: return record.used ? "1" : "0";
    case HITLOG_ARRIVAL:
        return record.arrival == 0
                   ? std::string()
                   : hitLogTimeText(record.arrival / 1000, static_cast<unsigned>(record.arrival % 1000));
    default: return {};
    }
}

TNodeMessage replayMessage(const THitRecord& record) {
    TNodeMessage m;
    m.from = static_cast<std::uint8_t>(record.node);
    m.to = NODE_PC;
    m.type = MSG_HIT;
    m.param = static_cast<std::uint16_t>(record.signal);
    m.data = record.seconds;
    m.aux = record.milliseconds;
    return m;
}

bool replayStep(std::vector<THitRecord>& records, std::size_t index, HitReplaySender& sender,
                const NodeAddress& target) {
    if (index >= records.size()) return false;
    (void)sender.sendAsReceivedPacket(replayMessage(records[index]), target);
    records[index].used = 1;
    return true;
}

std::size_t replayRun(std::vector<THitRecord>& records, std::size_t first, HitReplaySender& sender,
                      const NodeAddress& target) {
    std::size_t last = first;
    for (std::size_t i = first; i < records.size(); ++i) {
        if (i > first && records[i].signal == SIG_GREEN) break; // the next start begins here
        (void)replayStep(records, i, sender, target);
        last = i;
    }
    return last;
}

} // namespace velmaro
