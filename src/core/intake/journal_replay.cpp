#include "core/intake/journal_replay.h"

#include <algorithm>
#include <map>
#include <string>
#include <tuple>

#include "core/link/hit_journal.h"
#include "core/platform/files.h"

namespace velmaro {

JournalReplay readJournalReplay(const std::filesystem::path& journal, const std::filesystem::path& eventFolder) {
    HitJournal::Contents contents = HitJournal::readAll(journal);
    JournalReplay out;
    out.hits = std::move(contents.hits);
    out.taken = std::move(contents.taken);
    if (eventFolder.empty()) return out;
    // Only a hit not noted as taken needs its write checked (a crash between the two
    // notes), and a write is noted once per hit it carries, every note alike: checked once.
    // A file read per note made the replay after whole rewrites cost the file's size per hit.
    std::vector<TSignalHit> noted = out.taken;
    std::sort(noted.begin(), noted.end(), hitBefore);
    using Write = std::tuple<std::string, std::uint64_t, std::uint64_t, std::uint64_t>;
    std::map<Write, bool> held;
    for (const JournalWrite& w : contents.writes) {
        if (std::binary_search(noted.begin(), noted.end(), w.hit, hitBefore)) continue;
        auto [it, added] = held.try_emplace(Write{w.file, w.offset, w.length, w.checksum}, false);
        if (added) it->second = fileHoldsAt(eventFolder / w.file, w.offset, w.length, w.checksum);
        if (it->second) out.taken.push_back(w.hit);
    }
    return out;
}

} // namespace velmaro
