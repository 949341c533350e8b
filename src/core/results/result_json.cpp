#include "core/results/result_json.h"

#include "core/json/json_builder.h"

namespace velmaro {

namespace {

enum class Session { Practice, Qualification, Finals };

// Whether an attempt belongs to the session's object (a template: the rebuild runs
// this for every attempt of every list, three times over).
template <Session session>
bool takes(const TDragAttempt& a, std::int32_t breakoutLimitMs) {
    if constexpr (session == Session::Practice)
        return a.runMode == 2;
    else if constexpr (session == Session::Qualification)
        return a.runMode == 0 && isValidTime(a, breakoutLimitMs);
    else
        return a.runMode == 1;
}

// Appends the racer's object of a session with its best attempt (null: none, which
// only finals write). Members in key byte order. The general form, through the object
// writer: for speeds the fixed-layout writer below does not take.
template <Session session>
void appendSessionObjectGeneral(JsonTextBuffer& out, const TDragResult& result, std::span<const TDragAttempt> attempts,
                                std::int32_t breakoutLimitMs, const TDragAttempt* best) {
    constexpr bool finals = session == Session::Finals;
    JsonObjectWriter racer(out);
    if (best) racer.add("_60ft", best->_60ft);
    racer.key("attempts");
    racer.raw("[");
    bool first = true;
    for (const TDragAttempt& a : attempts) {
        if (!takes<session>(a, breakoutLimitMs)) continue;
        if (!first) racer.raw(",");
        first = false;
        JsonObjectWriter item(racer);
        item.add("_60ft", a._60ft);
        item.add("et", a.et);
        item.add("rt", a.rt);
        item.add("spd", a.spd);
        if (finals) item.add("win", a.win);
        item.finish();
    }
    racer.raw("]");
    if (best) racer.add("et", best->et);
    if (finals) racer.add("finalPoints", result.finalPoints);
    racer.add("num", result.num);
    if (finals) racer.add("qualPos", result.qualPos);
    if (best) {
        racer.add("rt", best->rt);
        racer.add("spd", best->spd);
    }
    racer.finish();
}

// The same text written piece by piece into the buffer, every piece's room claimed at
// once: the rebuild writes tens of thousands of these attempts.
template <Session session>
void appendSessionObject(JsonTextBuffer& out, const TDragResult& result, std::span<const TDragAttempt> attempts,
                         std::int32_t breakoutLimitMs, const TDragAttempt* best) {
    using namespace json_detail;
    constexpr bool finals = session == Session::Finals;
    const auto fits = [&] {
        if (best && !fitsFloat3(best->spd)) return false;
        for (const TDragAttempt& a : attempts)
            if (takes<session>(a, breakoutLimitMs) && !fitsFloat3(a.spd)) return false;
        return true;
    };
    if (!fits()) {
        appendSessionObjectGeneral<session>(out, result, attempts, breakoutLimitMs, best);
        return;
    }
    // Keys and values of the longest piece: 4 integers of at most 11 characters, a speed
    // of at most 24 and some 40 characters of keys and punctuation.
    constexpr std::size_t kPiece = 128;
    static_assert(kPiece <= JsonTextBuffer::kSize);
    char* p = out.room(kPiece);
    *p++ = '{';
    if (best) {
        p = putInt32(p, "\"_60ft\":", best->_60ft);
        *p++ = ',';
    }
    p = putLiteral(p, "\"attempts\":[");
    bool first = true;
    for (const TDragAttempt& a : attempts) {
        if (!takes<session>(a, breakoutLimitMs)) continue;
        out.wrote(p);
        p = out.room(kPiece);
        if (!first) *p++ = ',';
        first = false;
        p = putInt32(p, "{\"_60ft\":", a._60ft);
        p = putInt32(p, ",\"et\":", a.et);
        p = putInt32(p, ",\"rt\":", a.rt);
        p = putLiteral(p, ",\"spd\":");
        p = writeFloat3(p, a.spd);
        if (finals) p = putInt32(p, ",\"win\":", a.win);
        *p++ = '}';
    }
    out.wrote(p);
    p = out.room(kPiece);
    *p++ = ']';
    if (best) p = putInt32(p, ",\"et\":", best->et);
    if (finals) p = putInt32(p, ",\"finalPoints\":", result.finalPoints);
    p = putInt32(p, ",\"num\":", result.num);
    if (finals) p = putInt32(p, ",\"qualPos\":", result.qualPos);
    out.wrote(p);
    if (best) {
        p = out.room(kPiece);
        p = putInt32(p, ",\"rt\":", best->rt);
        p = putLiteral(p, ",\"spd\":");
        p = writeFloat3(p, best->spd);
        out.wrote(p);
    }
    out.put('}');
}

template <Session session>
std::string sessionObject(const TDragResult& result, std::int32_t breakoutLimitMs, const TDragAttempt* best) {
    if (!best && session != Session::Finals) return kNoSessionResult;
    std::string text;
    JsonTextBuffer buffer(text);
    appendSessionObject<session>(buffer, result, result.attempts, breakoutLimitMs, best);
    buffer.flush();
    return text;
}

} // namespace

TSessionBests sessionBests(std::span<const TDragAttempt> attempts, std::int32_t breakoutLimitMs) {
    // The first of the smallest et wins (as a stable sort by lessAttemptEt would put it first).
    TSessionBests bests;
    const auto keep = [](const TDragAttempt*& best, const TDragAttempt& a) {
        if (!best || lessAttemptEt(a, *best)) best = &a;
    };
    for (const TDragAttempt& a : attempts) {
        if (takes<Session::Practice>(a, 0))
            keep(bests.practice, a);
        else if (takes<Session::Qualification>(a, breakoutLimitMs))
            keep(bests.qualification, a);
        else if (takes<Session::Finals>(a, 0))
            keep(bests.finals, a);
    }
    return bests;
}

std::string practiceResultJson(const TDragResult& result) {
    return sessionObject<Session::Practice>(result, 0, sessionBests(result, 0).practice);
}

std::string qualResultJson(const TDragResult& result, std::int32_t breakoutLimitMs) {
    return sessionObject<Session::Qualification>(result, breakoutLimitMs,
                                                 sessionBests(result, breakoutLimitMs).qualification);
}

std::string raceResultJson(const TDragResult& result) {
    return sessionObject<Session::Finals>(result, 0, sessionBests(result, 0).finals);
}

void appendPracticeResultJson(JsonTextBuffer& out, const TDragResult& result, std::span<const TDragAttempt> attempts,
                              const TDragAttempt& best) {
    appendSessionObject<Session::Practice>(out, result, attempts, 0, &best);
}

void appendQualResultJson(JsonTextBuffer& out, const TDragResult& result, std::span<const TDragAttempt> attempts,
                          std::int32_t breakoutLimitMs, const TDragAttempt& best) {
    appendSessionObject<Session::Qualification>(out, result, attempts, breakoutLimitMs, &best);
}

void appendRaceResultJson(JsonTextBuffer& out, const TDragResult& result, std::span<const TDragAttempt> attempts,
                          const TDragAttempt* best) {
    appendSessionObject<Session::Finals>(out, result, attempts, 0, best);
}

} // namespace velmaro
