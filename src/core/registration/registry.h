#pragma once
// The registry of the open event: its classes and racers, and the racer database that
// outlives events. The composition root owns the one TRegistry of the console, built
// early, and hands it by reference to the registration window and every other area.
//
// Ownership: the three lists own their records (unique_ptr). Look-ups hand out raw
// observing pointers, valid until the record is removed from its list.
//
// Threads: a TRegistry is used on the main thread only. The drag results thread never
// reads it directly: the main thread takes snapshot() (a const copy of racers and
// classes) when it hands the runs over, and the worker looks racers and classes up in
// that copy. So a racer freed on the main thread can never be read by the worker.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "core/platform/random.h"
#include "core/platform/status.h"
#include "core/records/drag_result.h"

namespace velmaro {

class Operator;

// One registered racer; also the record of a racer database entry (only name,
// car model, city and team are used there).
struct TRacerItem {
    std::uint32_t number = 0;           // start number; 0 = no number
    std::string name;                   // "ФИО"
    std::string carModel;               // "Модель"
    std::uint8_t passedToRace = 1;      // admitted to the race
    std::vector<std::int32_t> classIds; // in order of entry; may name no existing class
    std::int32_t tag = 0;               // transponder tag; 0 = none
    std::string city;                   // "Город"
    std::string team;                   // "Команда"
    std::string guid = newGuid();       // made when the record is created; copies keep it

    TRacerItem() = default;
    explicit TRacerItem(std::uint32_t startNumber) : number(startNumber) {}
    bool operator==(const TRacerItem&) const = default;
};

// One racing class. Limits are tenths of a second (multiply by 100 for ms); 0 = none.
struct TClassItem {
    std::int32_t id = 0;
    std::string name;
    std::vector<TDragResult> results;      // all results of the class, in result order
    std::vector<TDragResult> timedResults; // results with a timed attempt, sorted
    std::int32_t racerCount = 0;           // racers entered in the class
    std::int32_t minTime = 0;              // lower limit, inclusive
    std::int32_t maxTime = 0;              // upper limit, exclusive
    std::int32_t breakoutLimit = 0;

    TClassItem() = default;
    TClassItem(std::int32_t classId, std::string className) : id(classId), name(std::move(className)) {}
    bool operator==(const TClassItem&) const = default;
};

using RacerList = std::vector<std::unique_ptr<TRacerItem>>;
using ClassList = std::vector<std::unique_ptr<TClassItem>>;

// Names compared letter by letter with the case of Latin and Cyrillic letters ignored
// (Ё right after Е); a text that is a prefix of the other first. Negative, 0 or positive.
int compareIgnoringCase(const std::string& a, const std::string& b);
// The order of class names in lists and exports: as compareIgnoringCase, and names
// differing only in case ordered lower case first; 0 only for equal texts.
int collateText(const std::string& a, const std::string& b);

// The order of the racer database: equal names (both empty too) are equal, an empty
// name first, else the names compared ignoring case (Latin and Cyrillic, Ё after Е).
// Negative, 0 or positive.
int compareDbRacersByName(const TRacerItem& a, const TRacerItem& b);

// The "classes" array of one racer, e.g. "[3,1]" or "[]".
std::string racerClassesJson(const TRacerItem& racer);

// What the registry asks of the windows: class pages on the main window, the
// registration window's lists and labels, and the notifications to the results and
// the web service. The window operations have do-nothing defaults (a registry no window
// shows changes nothing on screen); notifyResultsThread is pure. Called on the main thread.
class ClassPageSink {
public:
    virtual ~ClassPageSink() = default;
    ClassPageSink() = default;
    ClassPageSink(const ClassPageSink&) = delete;
    ClassPageSink& operator=(const ClassPageSink&) = delete;

    // Frees every class page of the main window but the run page ("Заезды").
    virtual void clearClassPages() {}
    // Appends a page captioned "ТОП - " + name holding the class's bracket window,
    // whose classItem is `cls` (valid until clearClassPages).
    virtual void createClassPage(TClassItem& /*cls*/) {}
    // Rebuilds the SVG of the bracket of every class page that has one (makeSVG).
    virtual void rebuildBracketDrawings() {}
    // Repaints the bracket view of every class page.
    virtual void repaintBrackets() {}
    // The racer list changed: item count of lvRacers, repaint, total label.
    virtual void racersChanged() {}
    // The class list changed (added, removed, renamed): lvClasses, name labels.
    virtual void classesChanged() {}
    // Racer counts of the classes changed: the count labels.
    virtual void classCountsChanged() {}
    // The racer database changed: lvRacersDB of the personal data dialog.
    virtual void racerDbChanged() {}
    // The timing mode of the open event (TMainForm::raceMode).
    virtual int raceMode() const { return 0; }
    // Hands the runs to the drag results thread (notifyResultsThread). Every sink says
    // what it does here: a class change in drag mode must reach the results.
    virtual void notifyResultsThread() = 0;
    // Sends the race information with the class and racer lists to the web service.
    virtual void sendRaceInfo() {}
};

// A const copy of the racers and classes, for the drag results thread.
struct TRegistrySnapshot {
    std::vector<TRacerItem> racers;
    std::vector<TClassItem> classes;

    // The same rules as TRegistry::findRacer / findClass.
    const TRacerItem* findRacer(std::uint32_t number) const;
    const TClassItem* findClass(std::int32_t id) const;
};

class TRegistry {
public:
    TRegistry();
    ~TRegistry();
    TRegistry(const TRegistry&) = delete;
    TRegistry& operator=(const TRegistry&) = delete;

    // --- the registry lists -----------------------------------------------------
    ClassList classes;            // display order (classes.txt order, new ones appended)
    std::int32_t nextClassId = 0; // id of the next class created by hand
    RacerList racers;             // list order (racers.txt order)
    RacerList racerDb;            // the racer database, sorted by compareDbRacersByName

    // --- where the lists live -----------------------------------------------------
    // Folder of the open event (classes.txt, racers.txt). Empty = no event: writers skip.
    void setEventFolder(const std::filesystem::path& folder) { eventFolder_ = folder; }
    const std::filesystem::path& eventFolder() const { return eventFolder_; }
    // The database file; programFolder()/DB/racersdb.txt unless set.
    void setDatabaseFile(const std::filesystem::path& file) { databaseFile_ = file; }
    std::filesystem::path databaseFile() const;

    // The windows' side (not owned; null = nobody listens).
    void setSink(ClassPageSink* sink) { sink_ = sink; }
    ClassPageSink& sink() const;

    // --- look-ups (linear, first in list order) ---------------------------------
    TRacerItem* findRacer(std::uint32_t number) const;      // null for 0 or unknown
    TClassItem* findClass(std::int32_t id) const;           // null when unknown
    TRacerItem* findRacerByTag(std::int32_t tag) const;     // null for 0 or unknown
    std::uint32_t racerNumberByTag(std::int32_t tag) const; // 0 for 0; the tag itself when unknown
    TRacerItem* findRacerByGuid(const std::string& guid) const;
    int racerIndex(const TRacerItem* racer) const; // -1 when not in racers
    int classIndex(const TClassItem* cls) const;   // -1 when not in classes

    // --- changes ----------------------------------------------------------------
    // Appends a new racer with that number (defaults otherwise), tells the windows and saves.
    TRacerItem* addRacer(std::uint32_t number);
    // The number of racers whose number is not 0, in decimal.
    std::string numberedRacerCount() const;
    // Merges a racer read from racers.txt into the database: a same name+city entry
    // takes its team; otherwise a new entry is appended and the database re-sorted.
    void mergeLoadedRacer(const TRacerItem& racer);
    // The same after an entry by hand, but an existing entry takes the car model.
    void mergeEditedRacer(const TRacerItem& racer);
    void sortRacerDb();
    // Recounts racers per class, rebuilds the bracket drawings and, in mode 0,
    // notifies the drag results.
    void refreshClassCounts();
    // Appends a class with id nextClassId (which then rises by 1).
    TClassItem* addClass(const std::string& name, std::int32_t minTime = 0, std::int32_t maxTime = 0,
                         std::int32_t breakoutLimit = 0);
    // Removes the class at `index` and every occurrence of its id from every racer.
    // The class page made for the class holds the record until the event is reloaded,
    // so the record is kept (out of `classes`) until clearClasses() drops the pages.
    void removeClass(int index);
    // Removes the racer at `index`, lowering the counts of its classes.
    void removeRacer(int index);
    // Frees every class and its class page; nextClassId becomes 0 (event load).
    void clearClasses();
    void clearRacers();
    // Empties everything, database included (tests, shut-down).
    void clear();

    // --- files ------------------------------------------------------------------
    // Writers: the whole file, atomically. Texts that would break a record are
    // blanked (commas where the format has no room, TAB, CR, LF).
    Status saveClasses() const;
    // racers.txt, then the database file (the database is written even when
    // racers.txt could not be).
    Status saveRacers() const;
    Status saveRacerDb() const;
    // The database reader run when the registration window is created.
    Status loadRacerDb();
    // Reads classes.txt and racers.txt of the event folder, building one class page per
    // class; clears the classes and racers first. A missing file leaves its list empty.
    void loadClassesAndRacers();
    void loadClassesAndRacers(const std::filesystem::path& eventFolder) {
        setEventFolder(eventFolder);
        loadClassesAndRacers();
    }
    // Line parsers of the two event files (used by the readers; exposed for tests).
    // Null when the line does not begin with an unsigned decimal number.
    static std::unique_ptr<TClassItem> parseClassLine(const std::string& line);
    static std::unique_ptr<TRacerItem> parseRacerLine(const std::string& line);
    static std::unique_ptr<TRacerItem> parseRacerDbLine(const std::string& line);
    static std::string classLine(const TClassItem& cls); // without line feed
    static std::string racerLine(const TRacerItem& racer);
    static std::string racerDbLine(const TRacerItem& entry);

    // --- web service lists --------------------------------------------------------
    std::string classesJson() const;
    std::string racersJson() const;
    // The most records of one incoming racer list that are merged; the rest are skipped
    // with one log line. The largest events register a few hundred racers, so no real
    // list comes near it; a list beyond it is a fault of the sender, and every racer it
    // adds costs the main thread again in each save, results rebuild and list sent back.
    static constexpr std::size_t kMaxIncomingRacers = 10'000;
    // Merges an incoming "racersData" array (match by GUID, else by number, else a new
    // admitted racer; the first such racer in list order). A record with an empty/missing
    // "guid" or a "num" of 0 or less is skipped silently. Texts are taken without their
    // control characters (withoutControls). All or nothing: a record with a member
    // missing or of the wrong kind (or `records` not an array) is logged, and the import
    // changes, saves and sends nothing. With overwriteAll the list is replaced; otherwise
    // the racers that were there keep their records (changed in place) and new ones are
    // appended. After a merge: saveRacers (when `save` or overwriteAll), sendRaceInfo,
    // refreshClassCounts, repaintBrackets, racersChanged. Look-ups are built once per
    // list, so the cost grows with the records and racers, not with their product.
    // What is skipped is logged to `op`.
    Status importRacersJson(const nlohmann::json& records, bool save, bool overwriteAll, Operator& op);
    // Removes the racers whose GUIDs an incoming "removeList" array names (a GUID named n
    // times removes the first n racers that have it), in one pass, then saves and
    // refreshes. Elements that are not texts are skipped with a log line to `op`.
    Status removeRacersJson(const nlohmann::json& guids, Operator& op);

    // --- the drag results thread's view ---------------------------------------------
    // Racers and classes as they stand, without the classes' result lists (the results
    // are what the snapshot is taken for). While nothing changes, the same snapshot is
    // given again, so a hit does not copy every racer.
    std::shared_ptr<const TRegistrySnapshot> snapshot() const;

private:
    std::filesystem::path eventFolder_;
    std::filesystem::path databaseFile_;
    ClassPageSink* sink_ = nullptr;
    // The sink while no window shows the registry (before the console joins its areas,
    // in tests and tools): no pages, and no results thread to tell.
    class SilentSink final : public ClassPageSink {
    public:
        void notifyResultsThread() override {}
    };
    mutable SilentSink silentSink_;
    ClassList removedClasses_;                                  // removed by hand, still named by a class page
    mutable std::shared_ptr<const TRegistrySnapshot> snapshot_; // the last one given
};

} // namespace velmaro
