#pragma once
// A hit intake host for tests that feed hits through the intake: a fixed timing mode
// and event folder, no transponder tags, the remote signals recorded, the system clock.
#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/intake/hit_intake.h"
#include "core/link/hit_journal.h"
#include "fakes/scripted_operator.h"

namespace velmaro::test {

class FakeHitIntakeHost : public HitIntakeHost {
public:
    int mode = -1;
    std::filesystem::path folder;
    std::vector<std::string> remote;              // "start", "block", "reset", in order
    std::function<void(std::size_t)> listChanged; // the hit log grid, when a test has one

    int timingMode() override { return mode; }
    std::filesystem::path eventFolder() override { return folder; }
    std::optional<TagRacer> findRacerByTag(int) override { return std::nullopt; }
    void remoteStart() override { remote.push_back("start"); }
    void remoteBlock() override { remote.push_back("block"); }
    void remoteReset() override { remote.push_back("reset"); }
    void hitListChanged(std::size_t records) override {
        if (listChanged) listChanged(records);
    }
    std::uint64_t utcNowMs() override { return systemUtcNowMs(); }
    void log(const std::string& line) override { logLines.push_back(line); }
    void hitsTaken(const std::vector<TSignalHit>& hits) override {
        taken.insert(taken.end(), hits.begin(), hits.end());
        if (journal) (void)journal->appendTaken(hits, utcNowMs());
    }
    void hitsWriting(const std::vector<JournalWrite>& writes) override {
        if (journal) (void)journal->appendWriting(writes, utcNowMs());
    }

    Operator& op() override { return script; }

    std::vector<TSignalHit> taken;     // every hit noted as taken, in order
    std::vector<std::string> logLines; // lines for the log window, in order
    ScriptedOperator script;           // the official (op())
    HitJournal* journal = nullptr;     // when set, the notes go to it as the link's would
};

} // namespace velmaro::test
