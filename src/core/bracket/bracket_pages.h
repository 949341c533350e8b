#pragma once
// The class pages' brackets, as every thread sees them, and the one lock that keeps
// the drag results thread and the main thread apart.
//
// Each class page of the main window holds a bracket window (TformFinal); the window
// registers one TBracketPage in the console's BracketPages when it is created and
// removes it when it is destroyed, so the list is in page order. The composition root
// owns the one BracketPages of the console and hands it by reference to the bracket
// windows, the start controls, the drag results and the bracket file; tests build
// their own. The page record holds what the window
// shows and what the bracket file saves: the class, the bracket and the size choice.
//
// The bracket lock (BracketPages::lockBrackets) guards, for every bracket at once:
//   - the page list and every field of every TBracketPage,
//   - every field of every TFinalBracket reachable from a page, its rounds, pairs and
//     racer slots.
// Rules:
//   - The drag results thread holds it around the whole bracket step of a rebuild
//     (seed indexes, update, reading the places) and releases it before it hands
//     anything to the main thread. It never waits for the main thread while holding it.
//   - The main thread holds it around painting, selecting, pair commands, generation,
//     saving and loading the bracket file. It must not hold it across a modal dialog:
//     take what the dialog needs and the pair's place (pairTarget, bracket_pair_commands.h),
//     release, show the dialog, take the lock again and find the pair again
//     (findPairTarget: the bracket still a page's, a pair at that place), because an
//     update may have removed a decider or reset round meanwhile.
//   - The lock is not recursive: functions below that say "REQUIRES: lock held" must be
//     called with it held; the others take it themselves.
// Ownership: pages hold their brackets by std::shared_ptr. Replacing a page's bracket
// drops the page's reference only; whoever still holds a copy (a worker that took the
// list, a window in the middle of a command) keeps the old bracket alive until it lets
// go, so a replaced bracket is never freed under another thread.
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "core/bracket/final_bracket.h"

namespace velmaro {

struct TClassItem;
struct TRegistrySnapshot;
class TRegistry;

struct TBracketPage {
    TClassItem* classItem = nullptr;        // the page's class (registry's record, main thread)
    std::int32_t classId = -1;              // its id, copied when the class is set (any thread)
    std::shared_ptr<TFinalBracket> bracket; // null until generated or loaded
    std::int32_t sizeChoice = 1;            // item index of cbFinalCount: 0 "4" .. 4 "64"
};

using TBracketPageList = std::vector<std::shared_ptr<TBracketPage>>;

class BracketPages {
public:
    BracketPages() = default;
    BracketPages(const BracketPages&) = delete;
    BracketPages& operator=(const BracketPages&) = delete;

    // Formerly the function-static mutex behind the free lockBrackets(): the bracket
    // lock. Hold the returned lock for the whole access. Any thread.
    std::unique_lock<std::mutex> lockBrackets();

    // Formerly the function-static list of the free bracketPages(). REQUIRES: lock held.
    // The pages in page order.
    TBracketPageList& bracketPages() { return pages_; }
    const TBracketPageList& bracketPages() const { return pages_; }
    // REQUIRES: lock held. Appends a page for a new bracket window.
    std::shared_ptr<TBracketPage> addBracketPage(TClassItem* classItem);
    // REQUIRES: lock held. Removes a page (its bracket lives on while others hold it).
    void removeBracketPage(const TBracketPage* page);
    // REQUIRES: lock held. The first page whose class has that id, or null.
    std::shared_ptr<TBracketPage> findBracketPage(std::int32_t classId) const;

    // Main thread. Takes the bracket lock itself. For every page with a bracket: takes the
    // class's id and name into it and rebuilds its SVG and JSON object from the last layout
    // (the registration window's class recount does this after a rename or recount).
    void rebuildAllBracketDrawings();

private:
    std::mutex mutex_;
    TBracketPageList pages_;
};

// REQUIRES: lock held. Sets a page's class (and classId); keeps its bracket.
void setPageClass(TBracketPage& page, TClassItem* classItem);
// REQUIRES: lock held. Installs a bracket on a page and sets its class from the page.
// Returns the bracket the page held before (may be null); the caller lets it go.
[[nodiscard]] std::shared_ptr<TFinalBracket> setPageBracket(TBracketPage& page, std::shared_ptr<TFinalBracket> bracket);

// Racer names for drawings and the SVG.
// From a snapshot of the registry (any thread; the snapshot is kept alive by the lookup).
TRacerNames racerNamesOf(std::shared_ptr<const TRegistrySnapshot> snapshot);
// From the live registry (main thread only; the lookup must not outlive the registry).
TRacerNames racerNamesOf(const TRegistry& registry);

// Main thread, REQUIRES: lock held. Copies the class's id and name into the bracket
// (classId, title) so that an SVG made on the drag results thread names the class as
// registered, without reading the registry there.
void syncBracketClass(TFinalBracket& bracket);

} // namespace velmaro
