// The registration lists exchanged with the web service: the class and racer lists sent
// inside the race information, and the incoming racer lists and removal lists.
#include <limits>
#include <optional>

#include <nlohmann/json.hpp>

#include "core/platform/operator.h"
#include "core/registration/registry.h"
#include "core/json/json_builder.h"

namespace velmaro {

using nlohmann::json;

std::string racerClassesJson(const TRacerItem& racer) {
    MyJSONArray ids;
    for (std::int32_t id : racer.classIds) ids.add(id);
    return ids.toString();
}

std::string TRegistry::classesJson() const {
    MyJSONArray list;
    for (const auto& c : classes) {
        MyJSONObject obj;
        obj.add("classId", c->id);
        obj.add("className", c->name);
        list.addRaw(obj.toString());
    }
    return list.toString();
}

std::string TRegistry::racersJson() const {
    MyJSONArray list;
    for (const auto& r : racers) {
        MyJSONObject obj;
        obj.add("guid", r->guid);
        obj.add("num", static_cast<std::int32_t>(r->number));
        obj.add("pilotName", r->name);
        obj.add("pilotCity", r->city);
        obj.add("team", r->team);
        obj.add("carModel", r->carModel);
        obj.add("passedToRace", r->passedToRace != 0);
        obj.addRaw("classes", racerClassesJson(*r));
        list.addRaw(obj.toString());
    }
    return list.toString();
}

namespace {

// One incoming record, read and checked before it touches the registry.
struct IncomingRacer {
    std::string guid;
    std::int32_t num = 0;
    std::string name;
    std::string carModel;
    std::string city;
    std::optional<bool> passedToRace; // read only for a racer that exists
    std::vector<std::int32_t> classIds;
};

std::optional<std::int32_t> asInt32(const json& v) {
    if (v.is_number_integer()) {
        if (v.is_number_unsigned()) {
            const auto u = v.get<std::uint64_t>();
            if (u > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) return std::nullopt;
            return static_cast<std::int32_t>(u);
        }
        const auto s = v.get<std::int64_t>();
        if (s < std::numeric_limits<std::int32_t>::min() || s > std::numeric_limits<std::int32_t>::max())
            return std::nullopt;
        return static_cast<std::int32_t>(s);
    }
    return std::nullopt;
}

enum class ReadResult { Ok, Skip, Malformed };

// Reads one "racersData" element. Skip: no GUID or no positive number (silent).
// Malformed: `error` says which member is missing or of the wrong kind.
ReadResult readIncoming(const json& record, IncomingRacer& out, std::string& error) {
    if (!record.is_object()) {
        error = "запись не является объектом";
        return ReadResult::Malformed;
    }
    const auto member = [&](const char* key) -> const json* {
        const auto it = record.find(key);
        return it == record.end() ? nullptr : &*it;
    };
    const auto text = [&](const char* key, std::string& to) {
        const json* v = member(key);
        if (!v || !v->is_string()) {
            error = std::string("поле \"") + key + (v ? "\" не текст" : "\" отсутствует");
            return false;
        }
        to = v->get<std::string>();
        return true;
    };

    if (const json* g = member("guid"); g && !g->is_null()) {
        if (!g->is_string()) {
            error = "поле \"guid\" не текст";
            return ReadResult::Malformed;
        }
        out.guid = g->get<std::string>();
    }
    const json* num = member("num");
    const auto n = num ? asInt32(*num) : std::nullopt;
    if (!n) {
        error = num ? "поле \"num\" не 32-битное целое" : "поле \"num\" отсутствует";
        return ReadResult::Malformed;
    }
    out.num = *n;
    if (out.guid.empty() || out.num <= 0) return ReadResult::Skip;

    if (!text("pilotName", out.name) || !text("carModel", out.carModel) || !text("pilotCity", out.city))
        return ReadResult::Malformed;
    if (const json* p = member("passedToRace"); p && !p->is_null()) {
        if (!p->is_boolean()) {
            error = "поле \"passedToRace\" не логическое";
            return ReadResult::Malformed;
        }
        out.passedToRace = p->get<bool>();
    }
    const json* cls = member("classes");
    if (!cls || !cls->is_array()) {
        error = cls ? "поле \"classes\" не массив" : "поле \"classes\" отсутствует";
        return ReadResult::Malformed;
    }
    for (const json& e : *cls) {
        const auto id = asInt32(e);
        if (!id) {
            error = "в поле \"classes\" элемент не 32-битное целое";
            return ReadResult::Malformed;
        }
        out.classIds.push_back(*id);
    }
    return ReadResult::Ok;
}

TRacerItem* firstWhere(const RacerList& list, auto pred) {
    for (const auto& r : list)
        if (pred(*r)) return r.get();
    return nullptr;
}

// Merges one sound record into `list`: by GUID, else by number, else a new racer.
// False (and nothing changed) when an existing racer would need the missing "passedToRace".
bool applyIncoming(RacerList& list, const IncomingRacer& in, std::string& error) {
    TRacerItem* racer = firstWhere(list, [&](const TRacerItem& r) { return r.guid == in.guid; });
    if (!racer)
        racer = firstWhere(list, [&](const TRacerItem& r) { return r.number == static_cast<std::uint32_t>(in.num); });
    if (racer) {
        if (!in.passedToRace) {
            error = "поле \"passedToRace\" отсутствует";
            return false;
        }
        racer->number = static_cast<std::uint32_t>(in.num);
        racer->guid = in.guid;
        racer->name = in.name;
        racer->carModel = in.carModel;
        racer->city = in.city;
        racer->passedToRace = *in.passedToRace ? 1 : 0;
        racer->classIds = in.classIds;
        return true;
    }
    auto fresh = std::make_unique<TRacerItem>(static_cast<std::uint32_t>(in.num));
    fresh->name = in.name;
    fresh->carModel = in.carModel;
    fresh->city = in.city;
    fresh->classIds = in.classIds;
    fresh->guid = in.guid;
    fresh->passedToRace = 1; // a new racer is admitted whatever the record says
    list.push_back(std::move(fresh));
    return true;
}

std::string recordLabel(std::size_t index) { return "racersData[" + std::to_string(index) + "]"; }

} // namespace

Status TRegistry::importRacersJson(const json& records, bool save, bool overwriteAll) {
    // Only an array is a racer list: a missing one must not empty the registry.
    if (!records.is_array()) {
        theOperator().log("Список участников: racersData не массив, сообщение пропущено");
        return Status::Error("racersData is not an array");
    }
    const json& list = records;

    // The whole list or nothing: the records are merged into a copy first (an empty
    // list with overwriteAll), so one bad record leaves the registry as it was.
    RacerList merged;
    if (!overwriteAll) {
        merged.reserve(racers.size());
        for (const auto& r : racers) merged.push_back(std::make_unique<TRacerItem>(*r));
    }
    for (std::size_t i = 0; i < list.size(); ++i) {
        IncomingRacer in;
        std::string error;
        ReadResult rr = readIncoming(list[i], in, error);
        if (rr == ReadResult::Skip) continue;
        if (rr == ReadResult::Ok && applyIncoming(merged, in, error)) continue;
        const std::string message = recordLabel(i) + ": " + error + "; список участников не изменён";
        theOperator().log("Список участников: " + message);
        return Status::Error(message);
    }
    if (overwriteAll) {
        racers = std::move(merged);
        save = true;
    } else {
        // A merge only changes and appends: the racers that were there keep their records.
        for (std::size_t i = 0; i < merged.size(); ++i) {
            if (i < racers.size())
                *racers[i] = std::move(*merged[i]);
            else
                racers.push_back(std::move(merged[i]));
        }
    }

    if (save) (void)saveRacers();
    ClassPageSink& s = sink();
    s.sendRaceInfo();
    refreshClassCounts();
    s.repaintBrackets();
    s.racersChanged();
    return Status::Ok();
}

Status TRegistry::removeRacersJson(const json& guids) {
    if (!guids.is_array()) {
        theOperator().log("Список удаления: removeList не массив, сообщение пропущено");
        return Status::Error("removeList is not an array");
    }
    for (std::size_t i = 0; i < guids.size(); ++i) {
        const json& g = guids[i];
        if (!g.is_string()) {
            theOperator().log("Список удаления: removeList[" + std::to_string(i) + "] не текст; элемент пропущен");
            continue;
        }
        const std::string guid = g.get<std::string>();
        for (auto it = racers.begin(); it != racers.end(); ++it) {
            if ((*it)->guid == guid) {
                racers.erase(it);
                break;
            }
        }
    }
    (void)saveRacers();
    refreshClassCounts();
    sink().racersChanged();
    return Status::Ok();
}

} // namespace velmaro
