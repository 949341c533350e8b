#include "core/results/result_json.h"

#include "core/results/json/json_builder.h"

namespace velmaro {

namespace {

enum class Session { Practice, Qualification, Finals };

bool takes(const TDragAttempt& a, Session session, std::int32_t breakoutLimitMs) {
    switch (session) {
    case Session::Practice:
        return a.runMode == 2;
    case Session::Qualification:
        return a.runMode == 0 && isValidTime(a, breakoutLimitMs);
    case Session::Finals:
        return a.runMode == 1;
    }
    return false;
}

std::string sessionObject(const TDragResult& result, Session session, std::int32_t breakoutLimitMs) {
    const bool finals = session == Session::Finals;
    MyJSONArray attempts;
    // The best attempt: the smallest et, the earlier of equal ones (as a stable sort by
    // lessAttemptEt would put first).
    const TDragAttempt* best = nullptr;
    for (const TDragAttempt& a : result.attempts) {
        if (!takes(a, session, breakoutLimitMs)) continue;
        MyJSONObject item;
        item.add("_60ft", a._60ft);
        item.add("et", a.et);
        item.add("rt", a.rt);
        item.add("spd", a.spd);
        if (finals) item.add("win", a.win);
        attempts.addRaw(item.toString());
        if (!best || lessAttemptEt(a, *best)) best = &a;
    }
    if (!best && !finals) return kNoSessionResult;

    MyJSONObject racer;
    racer.add("num", result.num);
    if (best) {
        racer.add("et", best->et);
        racer.add("rt", best->rt);
        racer.add("spd", best->spd);
        racer.add("_60ft", best->_60ft);
    }
    racer.addRaw("attempts", attempts.toString());
    if (finals) {
        racer.add("finalPoints", result.finalPoints);
        racer.add("qualPos", result.qualPos);
    }
    return racer.toString();
}

} // namespace

std::string practiceResultJson(const TDragResult& result) {
    return sessionObject(result, Session::Practice, 0);
}

std::string qualResultJson(const TDragResult& result, std::int32_t breakoutLimitMs) {
    return sessionObject(result, Session::Qualification, breakoutLimitMs);
}

std::string raceResultJson(const TDragResult& result) { return sessionObject(result, Session::Finals, 0); }

} // namespace velmaro
