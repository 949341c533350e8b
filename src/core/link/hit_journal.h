#pragma once
// The hit journal: an append-only file in the program folder where the node link writes
// every new hit before it acknowledges it, so a hit the node has been told is safe
// survives a crash of the console before the main thread has logged it in hitlog.txt.
//
// One line per hit, "node,signal,time\n" (time = node time in ms since 1970). Each line
// goes out in one write() (it survives the process at once); the data is flushed to the
// disk by syncIfDue, at most every kSyncPeriodMs while lines arrive, never per line. A
// line cut short by a crash is not ended by '\n' and is skipped when read.
//
// Once the main thread has written the files of the timing mode for some hits, and
// before it writes hitlog.txt, it notes them as taken: "T,node,signal,time\n" (one write
// for the batch). After a crash between the two writes, those hits are only logged.
// Just before the timing mode's file is written for some hits, the main thread notes what
// it is about to write: "P,<file>,<offset>,<length>,<checksum>,node,signal,time\n" per
// hit. A crash can come once the bytes are written and before the hits are noted as
// taken; at the restart those hits count as taken when the file holds those bytes.
//
// Threads: the link writes and clears it under the link lock; read() opens the file on its
// own and may run on any thread.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "core/link/hits.h"

namespace velmaro {

class HitJournal {
public:
    static constexpr std::uint64_t kSyncPeriodMs = 50;

    explicit HitJournal(std::filesystem::path file);
    ~HitJournal();
    HitJournal(const HitJournal&) = delete;
    HitJournal& operator=(const HitJournal&) = delete;

    // Opens (creating) the file for appending; what it holds stays. False when it cannot.
    bool open();
    const std::filesystem::path& file() const { return file_; }
    // The reason of the last failure of open, append or clear.
    const std::string& error() const { return error_; }

    // Writes one line. False when the line did not go out whole.
    bool append(const TSignalHit& hit, std::uint64_t nowMs);
    // Notes hits as taken (see above), in one write. False when it did not go out whole.
    bool appendTaken(const std::vector<TSignalHit>& hits, std::uint64_t nowMs);
    // Notes hits as being written to an event file (see above), in one write.
    bool appendWriting(const std::vector<JournalWrite>& writes, std::uint64_t nowMs);
    // When the lines written since the last flush include one kSyncPeriodMs old (or
    // `force`): counts them as flushed and gives the descriptor to flush with
    // fdatasync, which the caller may run outside its lock; else -1.
    int takeDueSync(std::uint64_t nowMs, bool force = false);
    // Empties the file. False when it cannot.
    bool clear();
    // Lines written and not yet cleared since open (including what the file held).
    bool empty() const { return !holdsLines_; }

    // What a journal file holds, each kind of line in file order.
    struct Contents {
        std::vector<TSignalHit> hits;     // hit lines
        std::vector<TSignalHit> taken;    // "T" notes
        std::vector<JournalWrite> writes; // "P" notes
    };
    // Every complete line of `file`, read once; a missing file gives none.
    static Contents readAll(const std::filesystem::path& file);
    // Every complete hit line of `file`, in file order; a missing file gives none.
    static std::vector<TSignalHit> read(const std::filesystem::path& file);
    // The hits `file` notes as taken, in file order.
    static std::vector<TSignalHit> readTaken(const std::filesystem::path& file);
    // The hits `file` notes as being written to an event file, in file order.
    static std::vector<JournalWrite> readWriting(const std::filesystem::path& file);
    // The text of one journal line.
    static std::string line(const TSignalHit& hit);

private:
    bool write(const std::string& text, std::uint64_t nowMs);

    std::filesystem::path file_;
    int fd_ = -1;
    bool dirty_ = false; // written since the last flush
    std::uint64_t dirtySince_ = 0;
    bool holdsLines_ = false;
    std::string error_;
};

} // namespace velmaro
