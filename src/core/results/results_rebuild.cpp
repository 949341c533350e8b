// One rebuild of the drag results: attempts, best values, qualification places, the
// brackets of the class pages, the four result documents and the standings.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <unordered_map>

#include "core/bracket/bracket_pages.h"
#include "core/registration/registry.h"
#include "core/results/drag_results.h"
#include "core/json/json_builder.h"
#include "core/results/lane_json_internal.h"
#include "core/results/result_json.h"

namespace velmaro {

namespace {

std::string classKey(const char* format, std::int32_t classId) {
    char buf[32];
    std::snprintf(buf, sizeof buf, format, classId);
    return buf;
}

// Racers and classes of the snapshot by number and id (first in list order, as the
// registry's own linear look-ups answer).
class RegistryIndex {
public:
    explicit RegistryIndex(const TRegistrySnapshot* registry) {
        if (!registry) return;
        m_racers.reserve(registry->racers.size());
        for (const TRacerItem& r : registry->racers)
            if (r.number != 0) m_racers.emplace(static_cast<std::int32_t>(r.number), &r);
        for (const TClassItem& c : registry->classes) m_classes.emplace(c.id, &c);
    }
    const TRacerItem* racer(std::int32_t number) const {
        auto it = m_racers.find(number);
        return it == m_racers.end() ? nullptr : it->second;
    }
    // Breakout limit of a class in ms; 0 when no class has the id.
    std::int32_t breakoutLimitMs(std::int32_t classId) const {
        auto it = m_classes.find(classId);
        return it == m_classes.end() ? 0 : it->second->breakoutLimit * 100;
    }

private:
    std::unordered_map<std::int32_t, const TRacerItem*> m_racers;
    std::unordered_map<std::int32_t, const TClassItem*> m_classes;
};

// The results list and the qualification list of one class while the attempts are
// filed: a racer's result stands at the same position in both, found by the racer's
// index (RacerLanes::index).
struct ClassLists {
    std::vector<TDragResult>* results = nullptr;
    std::vector<TDragResult>* qual = nullptr;
    std::vector<std::int32_t> position; // by racer index; -1 = no result yet

    std::int32_t& positionOf(std::int32_t racerIndex, std::size_t racerCount) {
        if (position.size() < racerCount) position.resize(racerCount, -1);
        return position[static_cast<std::size_t>(racerIndex)];
    }
};

// The timed lanes of one racer number in the heat list.
struct RacerLanes {
    std::int32_t index = 0;             // 0, 1, ... in order of the first lane
    std::uint32_t all = 0;              // every timed lane
    std::uint32_t qualification = 0;    // the qualification ones
    const TRacerItem* racer = nullptr;  // the registered racer; null = nobody has the number
};

TDragAttempt laneAttempt(const TDragRaceItem& run, int lane) {
    TDragAttempt a;
    a.et = run.et[lane];
    a.rt = run.rt[lane];
    a._60ft = run.sixtyFeet[lane];
    a.foul = run.foul[lane];
    a.runMode = run.runMode;
    a.breakout = 0;
    // A speed that is not a finite number ranks and prints as none.
    a.spd = std::isfinite(run.speed[lane]) ? static_cast<float>(run.speed[lane]) : 0.0f;
    if (run.winner == lane)
        a.win = 1;
    else if (run.winner == 1 - lane)
        a.win = 0;
    else
        a.win = -1;
    return a;
}

// Starts the text of a MyJSONObject holding the one raw member `key`, whose value the
// caller appends and closes with '}'. The documents run to hundreds of kilobytes, so
// they are written in place.
std::string singleKeyDocumentStart(const char* key, std::size_t expectedSize) {
    std::string doc;
    doc.reserve(expectedSize);
    doc += "{\"";
    doc += key;
    doc += "\":";
    return doc;
}

// Writes `"key":` into an object's text, after a comma unless it is the first member.
void appendMemberKey(std::string& doc, bool& first, const std::string& key) {
    if (!first) doc += ',';
    first = false;
    doc += '"';
    doc += key;
    doc += "\":";
}
void appendMemberKey(JsonTextBuffer& doc, bool& first, const std::string& key) {
    if (!first) doc.put(',');
    first = false;
    doc.put('"');
    doc.raw(key);
    doc.raw("\":");
}

// Sorts members by key in byte order, the order MyJSONObject writes them in.
template <class T>
void sortByKey(std::vector<std::pair<std::string, T>>& members) {
    std::sort(members.begin(), members.end(), [](const auto& a, const auto& b) {
        return std::string_view(a.first) < std::string_view(b.first);
    });
}

std::size_t findResult(const std::vector<TDragResult>& list, std::int32_t number) {
    for (std::size_t i = 0; i < list.size(); ++i)
        if (list[i].num == number) return i;
    return list.size();
}

} // namespace

std::shared_ptr<TDragResultsView> TDragResultsCntr::buildResults(std::vector<TDragRaceItem>& runs,
                                                                 const TDragResultsOptions& options) {
    auto view = std::make_shared<TDragResultsView>();
    view->rank = options.rank;
    TDragResultsMap& resultsByClass = view->resultsByClass;
    TDragResultsMap& qualByClass = view->qualByClass;
    const TDragRankOptions& rank = options.rank;
    const RegistryIndex registry(options.registry.get());
    const auto lookupRacer = [&registry](std::int32_t number) { return registry.racer(number); };

    // Step 2: attempts.
    // The run table the brackets read: the last run of each id, with the lane breakout
    // flags it had before this step rewrote them. Only runs a bracket pair refers to are
    // copied (step 5); a pair never looks up any other id.
    std::vector<std::pair<std::int32_t, std::size_t>> runIndexById; // sorted below
    runIndexById.reserve(runs.size());
    std::vector<std::array<std::int32_t, 2>> originalBreakout(runs.size());

    // Every racer number with a timed lane gets an index (the lists find a racer's
    // result by it) and its lane counts, so that each attempt list is sized once: the
    // most it can take in any list.
    std::unordered_map<std::int32_t, RacerLanes> racerLanes;
    racerLanes.reserve(options.registry ? options.registry->racers.size() : 64);
    for (const TDragRaceItem& run : runs)
        for (int lane : {LANE_LEFT, LANE_RIGHT}) {
            if (run.racer[lane] == 0 || run.et[lane] == 0 || run.dirtyTime[lane] == 0) continue;
            auto [it, added] = racerLanes.try_emplace(run.racer[lane]);
            if (added) {
                it->second.index = static_cast<std::int32_t>(racerLanes.size() - 1);
                it->second.racer = registry.racer(run.racer[lane]);
            }
            ++it->second.all;
            if (run.runMode == RUN_MODE_QUALIFICATION) ++it->second.qualification;
        }
    const std::size_t racerCount = racerLanes.size();
    // A new result of a racer with room for its attempts.
    const auto newResult = [](const RacerLanes& lanes, std::int32_t number, std::int32_t classId,
                              bool qualificationList) {
        TDragResult r(number, classId);
        r.attempts.reserve(qualificationList ? lanes.qualification : lanes.all);
        return r;
    };
    // allDragResults: the lane objects of every run, written as they come.
    std::string& allDragResults = view->allDragResults;
    allDragResults = singleKeyDocumentStart("allDragResults", runs.size() * 2 * 96 + 64);
    JsonTextBuffer lanesText(allDragResults);
    lanesText.put('[');
    bool firstLane = true;
    const TRacerLookup laneLookup = lookupRacer;
    std::unordered_map<std::int32_t, ClassLists> lists;
    const auto listsOf = [&](std::int32_t classId) -> ClassLists& {
        ClassLists& l = lists[classId];
        if (!l.results) {
            l.results = &resultsByClass[classId];
            l.qual = &qualByClass[classId];
        }
        return l;
    };
    ClassLists* overallLists = nullptr; // made with the first attempt

    for (std::size_t runIndex = 0; runIndex < runs.size(); ++runIndex) {
        TDragRaceItem& run = runs[runIndex];
        if (run.runId != 0) runIndexById.emplace_back(run.runId, runIndex);
        originalBreakout[runIndex] = run.breakout;
        for (int lane : {LANE_LEFT, LANE_RIGHT})
            if (run.et[lane] != 0 || run.dirtyTime[lane] != 0) {
                if (!firstLane) lanesText.put(',');
                firstLane = false;
                appendLaneJson(lanesText, run, lane, true, options.proStart, laneLookup);
            }

        const bool qualification = run.runMode == RUN_MODE_QUALIFICATION;
        for (int lane : {LANE_LEFT, LANE_RIGHT}) {
            const std::int32_t number = run.racer[lane];
            if (number == 0 || run.et[lane] == 0 || run.dirtyTime[lane] == 0) continue;
            const TDragAttempt attempt = laneAttempt(run, lane);

            const RacerLanes& lanes = racerLanes.find(number)->second;
            const TRacerItem* racer = lanes.racer;

            // Overall lists: every attempt of any racer, registered or not.
            {
                if (!overallLists) overallLists = &listsOf(-1);
                ClassLists& overall = *overallLists;
                std::int32_t& pos = overall.positionOf(lanes.index, racerCount);
                if (pos >= 0) {
                    (*overall.results)[pos].attempts.push_back(attempt);
                    if (qualification) (*overall.qual)[pos].attempts.push_back(attempt);
                } else {
                    pos = static_cast<std::int32_t>(overall.results->size());
                    TDragResult q = newResult(lanes, number, -1, true);
                    if (qualification) q.attempts.push_back(attempt);
                    overall.qual->push_back(std::move(q));
                    TDragResult r = newResult(lanes, number, -1, false);
                    r.attempts.push_back(attempt);
                    overall.results->push_back(std::move(r));
                }
            }
            if (!racer) continue;

            // Class lists of every class of the racer.
            for (std::size_t k = 0; k < racer->classIds.size(); ++k) {
                const std::int32_t c = racer->classIds[k];
                if (qualification && k == 0)
                    run.breakout[lane] = run.et[lane] < registry.breakoutLimitMs(c) ? 1 : 0;
                // The overall lists' key is not a class, and a class named twice is one
                // class: either would count the attempt twice in one list.
                if (c == -1 || std::find(racer->classIds.begin(), racer->classIds.begin() + k, c) !=
                                   racer->classIds.begin() + k)
                    continue;
                const std::int32_t flag = run.breakout[lane];
                const bool counts = run.classId[lane] == c || run.runMode != RUN_MODE_FINAL;

                ClassLists& cl = listsOf(c);
                std::int32_t& pos = cl.positionOf(lanes.index, racerCount);
                if (pos >= 0) {
                    TDragAttempt a = attempt;
                    a.breakout = flag;
                    if (counts) (*cl.results)[pos].attempts.push_back(a);
                    if (qualification) (*cl.qual)[pos].attempts.push_back(a);
                } else {
                    pos = static_cast<std::int32_t>(cl.results->size());
                    TDragResult q = newResult(lanes, number, c, true);
                    if (flag == 0 && qualification) q.attempts.push_back(attempt);
                    cl.qual->push_back(std::move(q));
                    TDragResult r = newResult(lanes, number, c, false);
                    if (counts) {
                        TDragAttempt a = attempt;
                        a.breakout = flag;
                        r.attempts.push_back(a);
                    }
                    cl.results->push_back(std::move(r));
                }
            }
        }
    }

    lanesText.raw("]}");
    lanesText.flush();

    // The last run of each id: the last entry of its id after a stable sort (the list
    // is mostly in id order already).
    const auto byId = [](const auto& a, const auto& b) { return a.first < b.first; };
    if (!std::is_sorted(runIndexById.begin(), runIndexById.end(), byId))
        std::stable_sort(runIndexById.begin(), runIndexById.end(), byId);
    const auto lastRunIndex = [&](std::int32_t id) -> std::size_t {
        auto it = std::upper_bound(runIndexById.begin(), runIndexById.end(), id,
                                   [](std::int32_t v, const auto& e) { return v < e.first; });
        if (it == runIndexById.begin() || std::prev(it)->first != id) return runs.size();
        return std::prev(it)->second;
    };

    // Step 3: best values.
    // A list's results share one class id: its limit is looked up once.
    const auto selectBest = [&registry, &rank](std::vector<TDragResult>& list) {
        std::int32_t classId = 0, limit = 0;
        bool known = false;
        for (TDragResult& r : list) {
            if (!known || r.clsId != classId) {
                classId = r.clsId;
                limit = registry.breakoutLimitMs(classId);
                known = true;
            }
            selectBestAttempts(r, limit, rank);
        }
    };
    for (auto& [classId, list] : resultsByClass) selectBest(list);
    for (auto& [classId, list] : qualByClass) selectBest(list);

    // Step 4: qualification places.
    for (auto& [c, results] : resultsByClass) {
        std::vector<TDragResult>& qual = qualByClass[c];
        std::sort(qual.begin(), qual.end(),
                  [&rank](const TDragResult& a, const TDragResult& b) { return lessForQualification(a, b, rank); });
        const auto lit = lists.find(c);
        for (std::size_t i = 0; i < qual.size(); ++i) {
            qual[i].qualPos = static_cast<std::int32_t>(i + 1);
            if (lit != lists.end()) {
                const auto racer = racerLanes.find(qual[i].num);
                if (racer == racerLanes.end()) continue;
                const std::vector<std::int32_t>& position = lit->second.position;
                const auto index = static_cast<std::size_t>(racer->second.index);
                if (index < position.size() && position[index] >= 0) results[position[index]].qualPos = qual[i].qualPos;
            } else {
                for (TDragResult& r : results)
                    if (r.num == qual[i].num) r.qualPos = qual[i].qualPos;
            }
        }
    }

    // Sizes to reserve for the session documents (written in place, a few hundred
    // kilobytes each): about 48 bytes an attempt and 120 a racer.
    std::size_t sessionAttempts[3] = {0, 0, 0}; // by run mode
    std::size_t resultCount = 0;
    for (const auto& [c, results] : resultsByClass)
        for (const TDragResult& r : results) {
            ++resultCount;
            for (const TDragAttempt& a : r.attempts)
                if (a.runMode >= 0 && a.runMode < 3) ++sessionAttempts[a.runMode];
        }
    const auto expectedSize = [resultCount](std::size_t attempts) { return attempts * 48 + resultCount * 120 + 64; };

    // Step 5: brackets, under the bracket lock.
    std::string& raceResults = view->raceResults;
    bool firstRaceMember = true;
    {
        auto lock = lockBrackets();
        std::vector<std::shared_ptr<TFinalBracket>> brackets;
        for (const auto& page : bracketPages())
            if (page && page->bracket) brackets.push_back(page->bracket);

        for (const auto& b : brackets) {
            const std::int32_t c = b->classId;
            std::vector<TDragResult>& qual = qualByClass[c];
            std::vector<TDragResult>& results = resultsByClass[c];
            const std::size_t slots = std::min<std::size_t>(b->racers.size(), std::max(b->size, 0));
            for (std::size_t i = 0; i < slots; ++i) {
                TFinalRacer& slot = b->racers[i];
                if (slot.number == 0) continue;
                const std::size_t pos = findResult(qual, slot.number);
                if (pos < qual.size()) slot.seedIndex = static_cast<std::int32_t>(pos);
                if (findResult(results, slot.number) == results.size()) {
                    TDragResult seeded(slot.number, slot.classId);
                    TDragAttempt empty;
                    empty.runMode = RUN_MODE_FINAL;
                    seeded.attempts.push_back(empty);
                    results.push_back(std::move(seeded));
                }
            }
        }

        TDragRunMap runTable;
        for (const auto& b : brackets)
            for (const auto* rounds : {&b->upperRounds, &b->lowerRounds})
                for (const auto& round : *rounds) {
                    if (!round) continue;
                    for (const auto& pair : round->pairs) {
                        const std::int32_t id = pair->run.runId;
                        if (id == 0 || runTable.count(id)) continue;
                        const std::size_t index = lastRunIndex(id);
                        if (index == runs.size()) continue;
                        TDragRaceItem copy = runs[index];
                        copy.breakout = originalBreakout[index];
                        runTable.emplace(id, std::move(copy));
                    }
                }

        const TRacerNames names = racerNamesOf(options.registry);
        for (const auto& b : brackets) b->update(runTable, names, rank.raceMode);

        // Final places: the first slot of a racer in the class's bracket, a later page
        // overriding an earlier one. The overall list never gets one.
        std::map<std::int32_t, std::unordered_map<std::int32_t, std::int32_t>> placesByClass;
        for (const auto& b : brackets) {
            std::unordered_map<std::int32_t, std::int32_t> places;
            const std::size_t slots = std::min<std::size_t>(b->racers.size(), std::max(b->size, 0));
            for (std::size_t i = 0; i < slots; ++i) places.emplace(b->racers[i].number, b->racers[i].place);
            auto& merged = placesByClass[b->classId];
            for (const auto& [number, place] : places) merged[number] = place;
        }

        // raceResults holds the bracket object of each class's last page. Every
        // "bracket_<id>" key comes before every "clsId_<id>" in byte order, so these
        // members open the document, written here straight from the brackets.
        std::map<std::int32_t, const TFinalBracket*> lastBracket;
        for (const auto& b : brackets) lastBracket[b->classId] = b.get();
        std::vector<std::pair<std::string, const TFinalBracket*>> bracketMembers;
        std::size_t bracketBytes = 0;
        for (const auto& [c, b] : lastBracket) {
            if (c == -1) continue; // the overall list has no finals member
            bracketMembers.emplace_back(classKey("bracket_%d", c), b);
            bracketBytes += b->svg.size() * 5 / 4 + b->title.size() + 64;
        }
        sortByKey(bracketMembers);
        raceResults = singleKeyDocumentStart("raceResults", bracketBytes + expectedSize(sessionAttempts[RUN_MODE_FINAL]));
        raceResults += '{';
        for (const auto& [key, b] : bracketMembers) {
            appendMemberKey(raceResults, firstRaceMember, key);
            b->json.appendTo(raceResults);
        }
        for (auto& [c, results] : resultsByClass) {
            if (c == -1) continue;
            auto pit = placesByClass.find(c);
            if (pit == placesByClass.end()) continue;
            for (TDragResult& r : results) {
                auto it = pit->second.find(r.num);
                if (it != pit->second.end()) r.finalPoints = it->second;
            }
        }
    }

    // Step 6: documents, written in place: one member per class, keys in byte order.
    std::int32_t maxAttempts = 0;
    for (const auto& [c, results] : resultsByClass)
        for (const TDragResult& r : results)
            maxAttempts = std::max(maxAttempts, static_cast<std::int32_t>(r.attempts.size()));
    view->maxAttempts = maxAttempts;

    std::vector<std::pair<std::string, std::int32_t>> classMembers;
    for (const auto& [c, results] : resultsByClass) classMembers.emplace_back(classKey("clsId_%d", c), c);
    sortByKey(classMembers);

    std::string& practiceResults = view->practiceResults;
    std::string& qualResults = view->qualResults;
    practiceResults = singleKeyDocumentStart("practiceResults", expectedSize(sessionAttempts[RUN_MODE_PRACTICE]));
    qualResults = singleKeyDocumentStart("qualResults", expectedSize(sessionAttempts[RUN_MODE_QUALIFICATION]));
    {
        JsonTextBuffer practiceText(practiceResults), qualText(qualResults), raceText(raceResults);
        practiceText.put('{');
        qualText.put('{');
        bool firstPractice = true, firstQual = true;
        for (const auto& [key, c] : classMembers) {
            const std::vector<TDragResult>& results = resultsByClass[c];
            const std::int32_t limit = registry.breakoutLimitMs(c);
            const bool finals = c != -1; // the overall list has no finals member
            appendMemberKey(practiceText, firstPractice, key);
            appendMemberKey(qualText, firstQual, key);
            if (finals) appendMemberKey(raceText, firstRaceMember, key);
            practiceText.put('[');
            qualText.put('[');
            if (finals) raceText.put('[');
            bool firstInPractice = true, firstInQual = true, firstInRace = true;
            const auto separate = [](JsonTextBuffer& text, bool& first) {
                if (!first) text.put(',');
                first = false;
            };
            for (const TDragResult& r : results) {
                // A racer without an attempt of a session is left out of its document.
                const TSessionBests bests = sessionBests(r, limit);
                if (bests.practice) {
                    separate(practiceText, firstInPractice);
                    appendPracticeResultJson(practiceText, r, *bests.practice);
                }
                if (bests.qualification) {
                    separate(qualText, firstInQual);
                    appendQualResultJson(qualText, r, limit, *bests.qualification);
                }
                if (finals) {
                    separate(raceText, firstInRace);
                    appendRaceResultJson(raceText, r, bests.finals);
                }
            }
            practiceText.put(']');
            qualText.put(']');
            if (finals) raceText.put(']');
        }
        practiceText.raw("}}");
        qualText.raw("}}");
        raceText.raw("}}");
    } // the buffers empty into the documents here

    // Step 7: standings.
    for (auto& [c, results] : resultsByClass)
        std::sort(results.begin(), results.end(),
                  [&rank](const TDragResult& a, const TDragResult& b) { return lessForStandings(a, b, rank); });
    return view;
}

} // namespace velmaro
