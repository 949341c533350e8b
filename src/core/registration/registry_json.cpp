// The registration lists exchanged with the web service: the class and racer lists sent
// inside the race information, and the incoming racer lists and removal lists.
#include <algorithm>
#include <limits>
#include <optional>
#include <string_view>
#include <unordered_map>

#include <nlohmann/json.hpp>

#include "core/json/json_builder.h"
#include "core/platform/operator.h"
#include "core/platform/text_codec.h"
#include "core/registration/registry.h"

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
        to = withoutControls(v->get_ref<const std::string&>());
        return true;
    };

    if (const json* g = member("guid"); g && !g->is_null()) {
        if (!g->is_string()) {
            error = "поле \"guid\" не текст";
            return ReadResult::Malformed;
        }
        out.guid = withoutControls(g->get_ref<const std::string&>());
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

// The racers of a merge list by GUID and by number. Each key keeps the positions of the
// racers that have it in ascending order, so the first racer in list order is found at
// once, and a racer whose GUID or number a record changes moves to its new key.
class RacerKeys {
public:
    explicit RacerKeys(const RacerList& list) {
        byGuid_.reserve(list.size());
        byNumber_.reserve(list.size());
        for (std::size_t i = 0; i < list.size(); ++i) add(i, *list[i]);
    }

    // The position of the racer a record names: the first with its GUID, else the first
    // with its number.
    std::optional<std::size_t> find(const IncomingRacer& in) const {
        if (const auto at = firstOf(byGuid_, in.guid)) return at;
        return firstOf(byNumber_, static_cast<std::uint32_t>(in.num));
    }
    void add(std::size_t at, const TRacerItem& r) {
        insert(byGuid_[r.guid], at);
        insert(byNumber_[r.number], at);
    }
    void remove(std::size_t at, const TRacerItem& r) {
        erase(byGuid_, r.guid, at);
        erase(byNumber_, r.number, at);
    }

private:
    using Positions = std::vector<std::size_t>;

    template <class Map, class Key>
    static std::optional<std::size_t> firstOf(const Map& map, const Key& key) {
        const auto it = map.find(key);
        if (it == map.end()) return std::nullopt;
        return it->second.front();
    }
    static void insert(Positions& positions, std::size_t at) {
        positions.insert(std::lower_bound(positions.begin(), positions.end(), at), at);
    }
    template <class Map, class Key>
    static void erase(Map& map, const Key& key, std::size_t at) {
        const auto it = map.find(key);
        Positions& positions = it->second;
        positions.erase(std::lower_bound(positions.begin(), positions.end(), at));
        if (positions.empty()) map.erase(it);
    }

    std::unordered_map<std::string, Positions> byGuid_;
    std::unordered_map<std::uint32_t, Positions> byNumber_;
};

// Merges one sound record into `list`: by GUID, else by number, else a new racer.
// False (and nothing changed) when an existing racer would need the missing "passedToRace".
bool applyIncoming(RacerList& list, RacerKeys& keys, const IncomingRacer& in, std::string& error) {
    if (const auto at = keys.find(in)) {
        if (!in.passedToRace) {
            error = "поле \"passedToRace\" отсутствует";
            return false;
        }
        TRacerItem* racer = list[*at].get();
        const bool rekeyed = racer->guid != in.guid || racer->number != static_cast<std::uint32_t>(in.num);
        if (rekeyed) keys.remove(*at, *racer);
        racer->number = static_cast<std::uint32_t>(in.num);
        racer->guid = in.guid;
        racer->name = in.name;
        racer->carModel = in.carModel;
        racer->city = in.city;
        racer->passedToRace = *in.passedToRace ? 1 : 0;
        racer->classIds = in.classIds;
        if (rekeyed) keys.add(*at, *racer);
        return true;
    }
    auto fresh = std::make_unique<TRacerItem>(static_cast<std::uint32_t>(in.num));
    fresh->name = in.name;
    fresh->carModel = in.carModel;
    fresh->city = in.city;
    fresh->classIds = in.classIds;
    fresh->guid = in.guid;
    fresh->passedToRace = 1; // a new racer is admitted whatever the record says
    keys.add(list.size(), *fresh);
    list.push_back(std::move(fresh));
    return true;
}

// A text of an incoming message as it is taken in, without control characters; copied
// into `storage` only when it has some.
std::string_view importedText(const std::string& text, std::string& storage) {
    const auto control = [](char ch) {
        const auto c = static_cast<unsigned char>(ch);
        return c < 0x20 || c == 0x7F || c == 0xC2; // 0xC2 may begin a C1 control
    };
    if (std::none_of(text.begin(), text.end(), control)) return text;
    storage = withoutControls(text);
    return storage;
}

std::string recordLabel(std::size_t index) { return "racersData[" + std::to_string(index) + "]"; }

} // namespace

Status TRegistry::importRacersJson(const json& records, bool save, bool overwriteAll, Operator& op) {
    // Only an array is a racer list: a missing one must not empty the registry.
    if (!records.is_array()) {
        op.log("Список участников: racersData не массив, сообщение пропущено");
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
    RacerKeys keys(merged);
    const std::size_t taken = std::min(list.size(), kMaxIncomingRacers);
    if (taken < list.size())
        op.log("Список участников: больше " + std::to_string(kMaxIncomingRacers) + " записей; взяты первые " +
               std::to_string(kMaxIncomingRacers) + ", остальные пропущены");
    for (std::size_t i = 0; i < taken; ++i) {
        IncomingRacer in;
        std::string error;
        ReadResult rr = readIncoming(list[i], in, error);
        if (rr == ReadResult::Skip) continue;
        if (rr == ReadResult::Ok && applyIncoming(merged, keys, in, error)) continue;
        const std::string message = recordLabel(i) + ": " + error + "; список участников не изменён";
        op.log("Список участников: " + message);
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

Status TRegistry::removeRacersJson(const json& guids, Operator& op) {
    if (!guids.is_array()) {
        op.log("Список удаления: removeList не массив, сообщение пропущено");
        return Status::Error("removeList is not an array");
    }
    // How many times the list names each racer's GUID: each time removes one more racer
    // with that GUID, the first ones in list order. A GUID no racer has costs one look-up.
    std::unordered_map<std::string_view, std::size_t> named;
    named.reserve(racers.size());
    for (const auto& r : racers) named.emplace(r->guid, 0);
    std::string cleaned;
    for (std::size_t i = 0; i < guids.size(); ++i) {
        const json& g = guids[i];
        if (!g.is_string()) {
            op.log("Список удаления: removeList[" + std::to_string(i) + "] не текст; элемент пропущен");
            continue;
        }
        if (const auto it = named.find(importedText(g.get_ref<const std::string&>(), cleaned)); it != named.end())
            ++it->second;
    }
    std::vector<char> removed(racers.size(), 0);
    for (std::size_t i = 0; i < racers.size(); ++i) {
        std::size_t& times = named.find(racers[i]->guid)->second;
        if (times > 0) {
            --times;
            removed[i] = 1;
        }
    }
    // One pass: the racers kept move up in order, the removed ones are freed.
    std::size_t kept = 0;
    for (std::size_t i = 0; i < racers.size(); ++i)
        if (!removed[i]) std::swap(racers[kept++], racers[i]);
    racers.resize(kept);
    (void)saveRacers();
    refreshClassCounts();
    sink().racersChanged();
    return Status::Ok();
}

} // namespace velmaro
