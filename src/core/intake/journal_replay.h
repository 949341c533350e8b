#pragma once
// What a restart feeds to the hit intake from the node link's hit journal: every hit line,
// and those of them the event's files already hold (HitIntake::queueReplay).
#include <filesystem>
#include <vector>

#include "core/link/hits.h"

namespace velmaro {

struct JournalReplay {
    std::vector<TSignalHit> hits;
    // Taken before the stop: noted so, or noted as being written to a file of `eventFolder`
    // that holds what was being written.
    std::vector<TSignalHit> taken;
};

// The journal read once; each noted write is checked in its file once, however many hits
// it was noted for. An empty `eventFolder` checks none.
JournalReplay readJournalReplay(const std::filesystem::path& journal, const std::filesystem::path& eventFolder);

} // namespace velmaro
