#include "core/records/drag_result.h"

namespace velmaro {

namespace {

// Kept attempts A and B when ranking by one attempt (no sum): each is a copy of one
// attempt or empty, so the attempts are tracked by address and copied once at the end.
// The same rules as the general loop of selectBestAttempts.
void selectBestSingle(TDragResult& result, std::span<const TDragAttempt> attempts, std::int32_t breakoutLimitMs,
                      bool clean) {
    const TDragAttempt* A = nullptr; // null = the empty attempt (et 0, rt 0)
    const TDragAttempt* B = nullptr;
    std::int32_t bestRt = result.bestRt;
    float bestSpeed = result.bestSpeed;
    // Dirty time in 64 bits: two 32-bit times cannot overflow there.
    const auto dirty = [](const TDragAttempt* x) { return x ? std::int64_t(x->et) + x->rt : 0; };
    for (const TDragAttempt& a : attempts) {
        const bool valid = isValidTime(a, breakoutLimitMs);
        if (valid) {
            // A valid attempt has an et above 0: a kept attempt with et 0 is the empty one.
            if (!A) A = &a;
            if (!B) B = &a;
            if (A->rt < 0 && a.rt >= 0) A = &a;
            if (clean) {
                if (a.et < A->et && a.rt >= 0) A = &a;
                if (a.et < B->et) B = &a;
            } else {
                if (dirty(&a) < dirty(A) && a.rt >= 0) A = &a;
                if (dirty(&a) < dirty(B)) B = &a;
            }
        }
        if (a.runMode != 2 && a.rt > 0 && (a.rt < bestRt || bestRt == 0)) bestRt = a.rt;
        if (a.runMode != 2 && a.spd > bestSpeed) bestSpeed = a.spd;
    }
    result.bestLegalStart = A ? *A : kEmptyAttempt;
    result.bestAnyStart = B ? *B : kEmptyAttempt;
    result.bestRt = bestRt;
    result.bestSpeed = bestSpeed;
}

} // namespace

void selectBestAttempts(TDragResult& result, std::int32_t breakoutLimitMs, const TDragRankOptions& options) {
    selectBestAttempts(result, result.attempts, breakoutLimitMs, options);
}

void selectBestAttempts(TDragResult& result, std::span<const TDragAttempt> attempts, std::int32_t breakoutLimitMs,
                        const TDragRankOptions& options) {
    if (!options.sumTime) {
        selectBestSingle(result, attempts, breakoutLimitMs, options.clearTime);
        return;
    }
    TDragAttempt& A = result.bestLegalStart;
    TDragAttempt& B = result.bestAnyStart;
    A = kEmptyAttempt;
    B = kEmptyAttempt;
    const bool clean = options.clearTime;
    const bool sum = options.sumTime;
    for (const TDragAttempt& a : attempts) {
        const bool valid = isValidTime(a, breakoutLimitMs);
        if (!sum) {
            if (valid && A.et == 0) A = a;
            if (valid && B.et == 0) B = a;
            if (A.rt < 0 && a.rt >= 0 && valid) A = a;
        }
        if (clean && !sum) {
            if (a.et < A.et && a.rt >= 0 && valid) A = a;
            if (valid && a.et < B.et) B = a;
        } else if (clean && sum) {
            if (valid && a.rt >= 0) {
                A.runMode = 0;
                B.runMode = 0;
                A.et += a.et;
                B.et += a.et;
            }
        } else if (!clean && !sum) {
            // Sums in 64 bits: two 32-bit times cannot overflow there.
            const auto dirty = [](const TDragAttempt& x) { return std::int64_t(x.et) + x.rt; };
            if (dirty(a) < dirty(A) && a.rt >= 0 && valid) A = a;
            if (valid && dirty(a) < dirty(B)) B = a;
        } else {
            if (valid && a.rt >= 0) {
                A.et += a.et;
                A.rt += a.rt;
                B.et += a.et;
                B.rt += a.rt;
                A.runMode = 0;
                B.runMode = 0;
            }
        }
        if (a.runMode != 2 && a.rt > 0 && (a.rt < result.bestRt || result.bestRt == 0)) result.bestRt = a.rt;
        if (a.runMode != 2 && a.spd > result.bestSpeed) result.bestSpeed = a.spd;
    }
}

} // namespace velmaro
