#include "core/registration/registry.h"

#include <algorithm>
#include <cstdio>
#include <mutex>

#include "core/platform/program_folder.h"
#include "core/platform/timing_mode.h"

namespace velmaro {

namespace {

// Reads the next code point of a UTF-8 text (a broken sequence gives its first byte).
std::uint32_t nextCodePoint(const std::string& text, std::size_t& i) {
    const auto c = static_cast<unsigned char>(text[i]);
    std::size_t len = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    if (i + len > text.size()) len = 1;
    std::uint32_t cp = len == 1 ? c : len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
    for (std::size_t k = 1; k < len; ++k) cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    i += len;
    return cp;
}

// The sort key of one letter, case ignored: Latin and Cyrillic folded to upper case,
// Ё placed right after Е.
std::uint32_t letterKey(std::uint32_t cp) {
    if (cp >= 'a' && cp <= 'z')
        cp -= 32;
    else if (cp >= 0x0430 && cp <= 0x044F)
        cp -= 0x20; // а..я
    else if (cp >= 0x0450 && cp <= 0x045F)
        cp -= 0x50; // ѐ..џ
    return cp == 0x0401 ? 0x0415u * 2 + 1 : cp * 2;
}

} // namespace

int compareIgnoringCase(const std::string& a, const std::string& b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const std::uint32_t ka = letterKey(nextCodePoint(a, i));
        const std::uint32_t kb = letterKey(nextCodePoint(b, j));
        if (ka != kb) return ka < kb ? -1 : 1;
    }
    if (i < a.size()) return 1;
    if (j < b.size()) return -1;
    return 0;
}

int collateText(const std::string& a, const std::string& b) {
    if (const int c = compareIgnoringCase(a, b)) return c;
    if (a == b) return 0;
    // The same letters in another case: lower case first, letter by letter.
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const std::uint32_t ca = nextCodePoint(a, i);
        const std::uint32_t cb = nextCodePoint(b, j);
        if (ca != cb) return ca > cb ? -1 : 1;
    }
    return a < b ? -1 : 1;
}

int compareDbRacersByName(const TRacerItem& a, const TRacerItem& b) {
    if (a.name == b.name) return 0;
    if (a.name.empty()) return -1;
    if (b.name.empty()) return 1;
    if (const int c = compareIgnoringCase(a.name, b.name)) return c;
    // Same letters in another case: the order among them is not fixed; keep it total.
    return a.name < b.name ? -1 : 1;
}

// ---------------------------------------------------------------------------------------

const TRacerItem* TRegistrySnapshot::findRacer(std::uint32_t number) const {
    if (number == 0) return nullptr;
    for (const auto& r : racers)
        if (r.number == number) return &r;
    return nullptr;
}

const TClassItem* TRegistrySnapshot::findClass(std::int32_t id) const {
    for (const auto& c : classes)
        if (c.id == id) return &c;
    return nullptr;
}

// ---------------------------------------------------------------------------------------

TRegistry::TRegistry() = default;

TRegistry::~TRegistry() = default;

std::filesystem::path TRegistry::databaseFile() const {
    if (!databaseFile_.empty()) return databaseFile_;
    return programFolder() / "DB" / "racersdb.txt";
}

ClassPageSink& TRegistry::sink() const { return sink_ ? *sink_ : silentSink_; }

TRacerItem* TRegistry::findRacer(std::uint32_t number) const {
    if (number == 0) return nullptr;
    for (const auto& r : racers)
        if (r->number == number) return r.get();
    return nullptr;
}

TClassItem* TRegistry::findClass(std::int32_t id) const {
    for (const auto& c : classes)
        if (c->id == id) return c.get();
    return nullptr;
}

TRacerItem* TRegistry::findRacerByTag(std::int32_t tag) const {
    if (tag == 0) return nullptr;
    for (const auto& r : racers)
        if (r->tag == tag) return r.get();
    return nullptr;
}

std::uint32_t TRegistry::racerNumberByTag(std::int32_t tag) const {
    if (tag == 0) return 0;
    if (const TRacerItem* r = findRacerByTag(tag)) return r->number;
    return static_cast<std::uint32_t>(tag);
}

TRacerItem* TRegistry::findRacerByGuid(const std::string& guid) const {
    for (const auto& r : racers)
        if (r->guid == guid) return r.get();
    return nullptr;
}

int TRegistry::racerIndex(const TRacerItem* racer) const {
    for (std::size_t i = 0; i < racers.size(); ++i)
        if (racers[i].get() == racer) return static_cast<int>(i);
    return -1;
}

int TRegistry::classIndex(const TClassItem* cls) const {
    for (std::size_t i = 0; i < classes.size(); ++i)
        if (classes[i].get() == cls) return static_cast<int>(i);
    return -1;
}

TRacerItem* TRegistry::addRacer(std::uint32_t number) {
    racers.push_back(std::make_unique<TRacerItem>(number));
    TRacerItem* racer = racers.back().get();
    sink().racersChanged();
    (void)saveRacers();
    return racer;
}

std::string TRegistry::numberedRacerCount() const {
    const auto n = std::count_if(racers.begin(), racers.end(), [](const auto& r) { return r->number != 0; });
    return std::to_string(n);
}

void TRegistry::sortRacerDb() {
    std::stable_sort(racerDb.begin(), racerDb.end(),
                     [](const auto& a, const auto& b) { return compareDbRacersByName(*a, *b) < 0; });
}

namespace {

TRacerItem* findDbEntry(const RacerList& db, const TRacerItem& racer) {
    for (const auto& e : db)
        if (e->name == racer.name && e->city == racer.city) return e.get();
    return nullptr;
}

std::unique_ptr<TRacerItem> dbEntryOf(const TRacerItem& racer) {
    auto entry = std::make_unique<TRacerItem>();
    entry->name = racer.name;
    entry->carModel = racer.carModel;
    entry->city = racer.city;
    entry->team = racer.team;
    return entry;
}

// The database is kept sorted: a new entry goes after every entry that does not sort
// after it, where a re-sort of the list with the entry appended would put it.
void insertDbEntry(RacerList& db, std::unique_ptr<TRacerItem> entry) {
    const auto at = std::upper_bound(db.begin(), db.end(), entry,
                                     [](const auto& e, const auto& x) { return compareDbRacersByName(*e, *x) < 0; });
    db.insert(at, std::move(entry));
}

} // namespace

void TRegistry::mergeLoadedRacer(const TRacerItem& racer) {
    if (TRacerItem* entry = findDbEntry(racerDb, racer)) {
        entry->team = racer.team;
        return;
    }
    insertDbEntry(racerDb, dbEntryOf(racer));
    sink().racerDbChanged();
}

void TRegistry::mergeEditedRacer(const TRacerItem& racer) {
    if (TRacerItem* entry = findDbEntry(racerDb, racer)) {
        entry->carModel = racer.carModel;
        sink().racerDbChanged();
        return;
    }
    insertDbEntry(racerDb, dbEntryOf(racer));
    sink().racerDbChanged();
}

void TRegistry::refreshClassCounts() {
    for (auto& c : classes) c->racerCount = 0;
    for (const auto& r : racers)
        for (std::int32_t id : r->classIds)
            if (TClassItem* c = findClass(id)) ++c->racerCount;
    ClassPageSink& s = sink();
    s.classCountsChanged();
    s.rebuildBracketDrawings();
    if (timingModeFrom(s.raceMode()) == TimingMode::DragRacing) s.notifyResultsThread();
}

TClassItem* TRegistry::addClass(const std::string& name, std::int32_t minTime, std::int32_t maxTime,
                                std::int32_t breakoutLimit) {
    std::int32_t id = nextClassId;
    if (findClass(id)) {
        // Only once the ids have reached INT32_MAX: the lowest id no class has.
        id = 0;
        while (findClass(id)) ++id;
    }
    if (id == nextClassId && nextClassId < INT32_MAX) ++nextClassId;
    auto cls = std::make_unique<TClassItem>(id, name);
    cls->minTime = minTime;
    cls->maxTime = maxTime;
    cls->breakoutLimit = breakoutLimit;
    classes.push_back(std::move(cls));
    sink().classesChanged();
    return classes.back().get();
}

void TRegistry::removeClass(int index) {
    if (index < 0 || index >= static_cast<int>(classes.size())) return;
    const std::int32_t id = classes[index]->id;
    removedClasses_.push_back(std::move(classes[index]));
    classes.erase(classes.begin() + index);
    for (auto& r : racers) std::erase(r->classIds, id);
    sink().classesChanged();
}

void TRegistry::removeRacer(int index) {
    if (index < 0 || index >= static_cast<int>(racers.size())) return;
    for (std::int32_t id : racers[index]->classIds)
        for (auto& c : classes)
            if (c->id == id) --c->racerCount;
    racers.erase(racers.begin() + index);
    sink().classCountsChanged();
    sink().racersChanged();
}

void TRegistry::clearClasses() {
    sink().clearClassPages();
    classes.clear();
    removedClasses_.clear();
    nextClassId = 0;
    sink().classesChanged();
}

void TRegistry::clearRacers() {
    racers.clear();
    sink().racersChanged();
}

void TRegistry::clear() {
    clearClasses();
    clearRacers();
    racerDb.clear();
    sink().racerDbChanged();
}

namespace {

// A class as the snapshot holds it: everything but the result lists.
TClassItem classWithoutResults(const TClassItem& c) {
    TClassItem k(c.id, c.name);
    k.racerCount = c.racerCount;
    k.minTime = c.minTime;
    k.maxTime = c.maxTime;
    k.breakoutLimit = c.breakoutLimit;
    return k;
}

bool sameWithoutResults(const TClassItem& live, const TClassItem& kept) {
    return live.id == kept.id && live.name == kept.name && live.racerCount == kept.racerCount &&
           live.minTime == kept.minTime && live.maxTime == kept.maxTime && live.breakoutLimit == kept.breakoutLimit;
}

} // namespace

std::shared_ptr<const TRegistrySnapshot> TRegistry::snapshot() const {
    // Racers and classes are edited in place from many places, so the kept snapshot is
    // compared with them (no copy, no allocation) rather than trusted.
    if (snapshot_ && snapshot_->racers.size() == racers.size() && snapshot_->classes.size() == classes.size()) {
        bool same = true;
        for (std::size_t i = 0; same && i < racers.size(); ++i) same = *racers[i] == snapshot_->racers[i];
        for (std::size_t i = 0; same && i < classes.size(); ++i)
            same = sameWithoutResults(*classes[i], snapshot_->classes[i]);
        if (same) return snapshot_;
    }
    auto snap = std::make_shared<TRegistrySnapshot>();
    snap->racers.reserve(racers.size());
    for (const auto& r : racers) snap->racers.push_back(*r);
    snap->classes.reserve(classes.size());
    for (const auto& c : classes) snap->classes.push_back(classWithoutResults(*c));
    snapshot_ = snap;
    return snap;
}

} // namespace velmaro
