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
#include "core/results/json/json_builder.h"
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
// filed: a racer's result stands at the same position in both, found by number.
struct ClassLists {
    std::vector<TDragResult>* results = nullptr;
    std::vector<TDragResult>* qual = nullptr;
    std::unordered_map<std::int32_t, std::size_t> position;
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

// The text of a MyJSONObject holding the one raw member key:content, written in one
// allocation (the documents run to hundreds of kilobytes).
std::string singleKeyDocument(const char* key, const std::string& content) {
    std::string doc;
    doc.reserve(content.size() + std::char_traits<char>::length(key) + 5);
    doc += "{\"";
    doc += key;
    doc += "\":";
    doc += content;
    doc += '}';
    return doc;
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
    std::unordered_map<std::int32_t, std::size_t> lastRunById;
    std::vector<std::array<std::int32_t, 2>> originalBreakout(runs.size());
    MyJSONArray laneArray;
    std::unordered_map<std::int32_t, ClassLists> lists;
    const auto listsOf = [&](std::int32_t classId) -> ClassLists& {
        ClassLists& l = lists[classId];
        if (!l.results) {
            l.results = &resultsByClass[classId];
            l.qual = &qualByClass[classId];
        }
        return l;
    };

    for (std::size_t runIndex = 0; runIndex < runs.size(); ++runIndex) {
        TDragRaceItem& run = runs[runIndex];
        if (run.runId != 0) lastRunById[run.runId] = runIndex;
        originalBreakout[runIndex] = run.breakout;
        for (int lane : {LANE_LEFT, LANE_RIGHT})
            if (run.et[lane] != 0 || run.dirtyTime[lane] != 0)
                laneArray.addRaw(laneJsonWith(run, lane, true, options.proStart, lookupRacer));

        const bool qualification = run.runMode == RUN_MODE_QUALIFICATION;
        for (int lane : {LANE_LEFT, LANE_RIGHT}) {
            const std::int32_t number = run.racer[lane];
            if (number == 0 || run.et[lane] == 0 || run.dirtyTime[lane] == 0) continue;
            const TDragAttempt attempt = laneAttempt(run, lane);
            const TRacerItem* racer = registry.racer(number);

            // Overall lists: every attempt of any racer, registered or not.
            {
                ClassLists& all = listsOf(-1);
                auto it = all.position.find(number);
                if (it != all.position.end()) {
                    (*all.results)[it->second].attempts.push_back(attempt);
                    if (qualification) (*all.qual)[it->second].attempts.push_back(attempt);
                } else {
                    all.position.emplace(number, all.results->size());
                    TDragResult q(number, -1);
                    if (qualification) q.attempts.push_back(attempt);
                    all.qual->push_back(std::move(q));
                    TDragResult r(number, -1);
                    r.attempts.push_back(attempt);
                    all.results->push_back(std::move(r));
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
                auto it = cl.position.find(number);
                if (it != cl.position.end()) {
                    TDragAttempt a = attempt;
                    a.breakout = flag;
                    if (counts) (*cl.results)[it->second].attempts.push_back(a);
                    if (qualification) (*cl.qual)[it->second].attempts.push_back(a);
                } else {
                    cl.position.emplace(number, cl.results->size());
                    TDragResult q(number, c);
                    if (flag == 0 && qualification) q.attempts.push_back(attempt);
                    cl.qual->push_back(std::move(q));
                    TDragResult r(number, c);
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

    // Step 3: best values.
    for (auto& [classId, list] : resultsByClass)
        for (TDragResult& r : list) selectBestAttempts(r, registry.breakoutLimitMs(r.clsId), rank);
    for (auto& [classId, list] : qualByClass)
        for (TDragResult& r : list) selectBestAttempts(r, registry.breakoutLimitMs(r.clsId), rank);

    // Step 4: qualification places.
    for (auto& [c, results] : resultsByClass) {
        std::vector<TDragResult>& qual = qualByClass[c];
        std::sort(qual.begin(), qual.end(),
                  [&rank](const TDragResult& a, const TDragResult& b) { return lessForQualification(a, b, rank); });
        const auto lit = lists.find(c);
        for (std::size_t i = 0; i < qual.size(); ++i) {
            qual[i].qualPos = static_cast<std::int32_t>(i + 1);
            if (lit != lists.end()) {
                auto p = lit->second.position.find(qual[i].num);
                if (p != lit->second.position.end()) results[p->second].qualPos = qual[i].qualPos;
            } else {
                for (TDragResult& r : results)
                    if (r.num == qual[i].num) r.qualPos = qual[i].qualPos;
            }
        }
    }

    // Step 5: brackets, under the bracket lock.
    std::map<std::int32_t, std::string> bracketJson; // class id -> the last page's bracket object
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
                        auto it = lastRunById.find(id);
                        if (id == 0 || it == lastRunById.end() || runTable.count(id)) continue;
                        TDragRaceItem copy = runs[it->second];
                        copy.breakout = originalBreakout[it->second];
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
            bracketJson[b->classId] = b->json.toString();
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

    // Step 6: documents.
    std::int32_t maxAttempts = 0;
    MyJSONObject practiceObj, qualObj, finalsObj;
    for (const auto& [c, results] : resultsByClass) {
        MyJSONArray practice, qual, finals;
        const std::int32_t limit = registry.breakoutLimitMs(c);
        for (const TDragResult& r : results) {
            maxAttempts = std::max(maxAttempts, static_cast<std::int32_t>(r.attempts.size()));
            std::string text = practiceResultJson(r);
            if (text != kNoSessionResult) practice.addRaw(text);
            text = qualResultJson(r, limit);
            if (text != kNoSessionResult) qual.addRaw(text);
            if (c != -1) {
                text = raceResultJson(r);
                if (text != kNoSessionResult) finals.addRaw(text);
            }
        }
        const std::string key = classKey("clsId_%d", c);
        practiceObj.addRaw(key, practice.toString());
        qualObj.addRaw(key, qual.toString());
        if (c != -1) {
            finalsObj.addRaw(key, finals.toString());
            auto bit = bracketJson.find(c);
            if (bit != bracketJson.end()) finalsObj.addRaw(classKey("bracket_%d", c), bit->second);
        }
    }
    view->maxAttempts = maxAttempts;

    // Step 7: standings.
    for (auto& [c, results] : resultsByClass)
        std::sort(results.begin(), results.end(),
                  [&rank](const TDragResult& a, const TDragResult& b) { return lessForStandings(a, b, rank); });

    // Step 8 (documents of the hand-over).
    view->allDragResults = singleKeyDocument("allDragResults", laneArray.toString());
    view->practiceResults = singleKeyDocument("practiceResults", practiceObj.toString());
    view->qualResults = singleKeyDocument("qualResults", qualObj.toString());
    view->raceResults = singleKeyDocument("raceResults", finalsObj.toString());
    return view;
}

} // namespace velmaro
