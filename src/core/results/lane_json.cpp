// The lane object and the current-run document.
#include <cmath>

#include "core/drag/drag_runs.h"
#include "core/json/json_builder.h"
#include "core/registration/registry.h"
#include "core/results/drag_results.h"
#include "core/results/lane_json_internal.h"

namespace velmaro {

void appendLaneJson(JsonTextBuffer& out, const TDragRaceItem& run, int lane, bool omitNames, bool proStart,
                    const TRacerLookup& lookup) {
    const int l = lane == 0 ? LANE_LEFT : LANE_RIGHT;
    const std::int32_t number = run.racer[l];
    // Only the names come from the registry.
    const TRacerItem* racer = number != 0 && !omitNames ? lookup(number) : nullptr;

    const std::int32_t voidRt = proStart ? -PRO_LAUNCH_WINDOW_MS : -COMMON_LAUNCH_WINDOW_MS;
    const bool voidLane = number != 0 && run.rt[l] == voidRt;
    // The results' lane objects (no names), thousands a rebuild: written in one piece.
    if (omitNames && number != 0 && std::isfinite(run.speed[l]) && std::fabs(run.speed[l]) < 0x1p53) {
        using namespace json_detail;
        char* p = out.room(96); // 4 integers of at most 11 characters, a speed of at most 22, 32 of keys
        p = putInt32(p, "{\"_60ft\":", voidLane ? 0 : run.sixtyFeet[l]);
        p = putInt32(p, ",\"et\":", voidLane ? 0 : run.et[l]);
        p = putInt32(p, ",\"num\":", number);
        p = putInt32(p, ",\"rt\":", voidLane ? 0 : run.rt[l]);
        p = putLiteral(p, ",\"spd\":");
        p = writeFixed3(p, run.speed[l]);
        *p++ = '}';
        out.wrote(p);
        return;
    }

    // Members in key byte order: _60ft, city, et, model, name, num, rt, spd.
    JsonObjectWriter obj(out);
    if (number == 0) {
        obj.add("_60ft", 0);
        obj.add("city", "");
        obj.add("et", 0);
        obj.add("model", "");
        obj.add("name", "");
        obj.add("num", "");
        obj.add("rt", 0);
        obj.add("spd", 0);
        obj.finish();
        return;
    }
    obj.add("_60ft", voidLane ? 0 : run.sixtyFeet[l]);
    if (!omitNames) obj.add("city", racer ? std::string_view(racer->city) : std::string_view());
    obj.add("et", voidLane ? 0 : run.et[l]);
    if (!omitNames) {
        obj.add("model", racer ? std::string_view(racer->carModel) : std::string_view());
        obj.add("name", racer ? std::string_view(racer->name) : std::string_view());
    }
    obj.add("num", number);
    obj.add("rt", voidLane ? 0 : run.rt[l]);
    obj.add("spd", run.speed[l]);
    obj.finish();
}

std::string laneJsonWith(const TDragRaceItem& run, int lane, bool omitNames, bool proStart,
                         const TRacerLookup& lookup) {
    std::string out;
    JsonTextBuffer buffer(out);
    appendLaneJson(buffer, run, lane, omitNames, proStart, lookup);
    buffer.flush();
    return out;
}

namespace {

const char* runModeCaption(std::int32_t runMode) {
    switch (runMode) {
    case RUN_MODE_QUALIFICATION: return "Квалификация";
    case RUN_MODE_FINAL: return "Финалы";
    case RUN_MODE_PRACTICE: return "Тренировки";
    default: return "";
    }
}

} // namespace

std::string laneJson(const TDragRaceItem& run, int lane, bool omitNames, bool proStart,
                     const TRegistrySnapshot* registry) {
    return laneJsonWith(run, lane, omitNames, proStart, [registry](std::int32_t number) -> const TRacerItem* {
        return registry ? registry->findRacer(static_cast<std::uint32_t>(number)) : nullptr;
    });
}

std::string laneJson(const TDragRaceItem& run, int lane, bool omitNames, bool proStart, const TRegistry& registry) {
    return laneJsonWith(run, lane, omitNames, proStart, [&registry](std::int32_t number) -> const TRacerItem* {
        return registry.findRacer(static_cast<std::uint32_t>(number));
    });
}

std::string currentRunJson(const TDragRaceItem& run, const std::string& eventName, bool proStart,
                           const TRegistry& registry) {
    const std::string left = laneJson(run, 0, false, proStart, registry);
    const std::string right = laneJson(run, 1, false, proStart, registry);
    MyJSONObject doc;
    doc.add("raceName", eventName);
    doc.add("runMode", runModeCaption(run.runMode));
    doc.add("item", "drag");
    doc.add("winner", run.winner);
    doc.add("runId", run.runId);
    doc.addRaw("left", left);
    doc.addRaw("right", right);
    return doc.toString();
}

void DragResults::publishCurrentRun(DragRuns& runs) {
    owner_.assertOwner();
    const TDragRaceItem* run = runs.currentRun();
    if (!run) return;
    port_.sendData(currentRunJson(*run, port_.eventName(), port_.proStartSignal(), registry_), "online");
}

} // namespace velmaro
