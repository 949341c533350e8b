#pragma once
// The lap timing's host joined to the console it is built with (not owned), the registry
// it is built with (the root's) and the hit intake (its transponder flag), and the registration of the
// three lap hit handlers of one lap timing in the intake's mode dispatch table.
//
// Header only: it is compiled by the program that joins the areas, so the lap library
// itself needs neither the console nor the registry to build.
//
// The root's MainFormLapHost (console_root.cpp) derives from ConsoleLapHost to add what
// only the windows have (Block ST, the lap grid, the on-course list, the results window,
// the lap results worker); the root builds its LapTiming on it at start-up.
#include <algorithm>
#include <cstdint>
#include <utility>

#include "core/app/console.h"
#include "core/intake/hit_intake.h"
#include "core/lap/lap_host.h"
#include "core/lap/lap_timing.h"
#include "core/registration/registry.h"

namespace velmaro {

// LapRegistry over a TRegistry (the registration window's racers and classes).
class RegistryLapAdapter : public LapRegistry {
public:
    // `registry` outlives the adapter.
    explicit RegistryLapAdapter(TRegistry& registry) : registry_(registry) {}

    std::vector<LapRacerInfo> racers() const override;
    std::optional<LapRacerInfo> findRacer(uint32_t number) const override;
    std::vector<LapClassInfo> classes() const override;
    void moveClass(int from, int to) override;
    void setRacerClasses(uint32_t number, const std::vector<int32_t>& classIds) override;
    void saveRacers() override;
    void clearClassResults() override;
    void appendClassResult(int32_t classId, uint32_t racerNumber) override;

private:
    TRegistry& reg() const { return registry_; }
    TRegistry& registry_;
};

class ConsoleLapHost : public LapHost {
public:
    // `console`, `intake` (whether transponders are in use) and `registry` outlive this host.
    ConsoleLapHost(const Console& console, const HitIntake& intake, TRegistry& registry)
        : console_(console), registry_(registry), intake_(intake) {}
    int raceMode() const override;
    std::filesystem::path eventFolder() const override;
    bool editingNumber() const override;
    bool transpondersInUse() const override;
    bool showDirtyTime() const override;
    TScoreboardController* scoreboard() override;
    LapRegistry* registry() override { return &registry_; }

private:
    const Console& console_;
    RegistryLapAdapter registry_;
    const HitIntake& intake_;
};

// Puts lap's processHitLapSingle, processHitStartFinish and processHitGymkhana into the
// mode dispatch table of its intake for modes 1, 4 and 6; lap must stay until
// clearLapHitHandlers.
void registerLapHitHandlers(LapTiming& lap);
// Takes the three handlers out of the table of lap's intake again.
void clearLapHitHandlers(LapTiming& lap);

// ---- implementation

namespace lap_detail {
inline LapRacerInfo racerInfo(const TRacerItem& r) {
    return LapRacerInfo{r.number, r.name, r.carModel, r.city, r.team, r.classIds};
}
} // namespace lap_detail

inline std::vector<LapRacerInfo> RegistryLapAdapter::racers() const {
    std::vector<LapRacerInfo> out;
    for (const auto& r : reg().racers) out.push_back(lap_detail::racerInfo(*r));
    return out;
}

inline std::optional<LapRacerInfo> RegistryLapAdapter::findRacer(uint32_t number) const {
    if (const TRacerItem* r = reg().findRacer(number)) return lap_detail::racerInfo(*r);
    return std::nullopt;
}

inline std::vector<LapClassInfo> RegistryLapAdapter::classes() const {
    std::vector<LapClassInfo> out;
    for (const auto& c : reg().classes) out.push_back(LapClassInfo{c->id, c->name, c->minTime, c->maxTime});
    return out;
}

inline void RegistryLapAdapter::moveClass(int from, int to) {
    ClassList& list = reg().classes;
    if (from < 0 || to < 0 || from >= static_cast<int>(list.size()) || to >= from) return;
    for (int k = from; k > to; --k) std::swap(list[static_cast<size_t>(k)], list[static_cast<size_t>(k - 1)]);
}

inline void RegistryLapAdapter::setRacerClasses(uint32_t number, const std::vector<int32_t>& classIds) {
    if (TRacerItem* r = reg().findRacer(number)) r->classIds = classIds;
}

inline void RegistryLapAdapter::saveRacers() { (void)reg().saveRacers(); }

inline void RegistryLapAdapter::clearClassResults() {
    for (auto& c : reg().classes) {
        c->results.clear();
        c->timedResults.clear();
    }
}

inline void RegistryLapAdapter::appendClassResult(int32_t classId, uint32_t racerNumber) {
    if (TClassItem* c = reg().findClass(classId)) {
        TDragResult r;
        r.num = static_cast<int32_t>(racerNumber); // the bracket generation reads only the number
        r.clsId = 0;
        c->results.push_back(std::move(r));
    }
}

inline int ConsoleLapHost::raceMode() const { return static_cast<int>(console_.raceMode); }
inline std::filesystem::path ConsoleLapHost::eventFolder() const { return console_.eventFolder; }
inline bool ConsoleLapHost::editingNumber() const { return console_.editingNumber; }
inline bool ConsoleLapHost::transpondersInUse() const { return intake_.transpondersInUse() != 0; }
inline bool ConsoleLapHost::showDirtyTime() const { return console_.showDirtyTimeSB == 1; }
inline TScoreboardController* ConsoleLapHost::scoreboard() { return console_.scoreboard; }

inline void registerLapHitHandlers(LapTiming& lap) {
    ModeHitHandlers& table = lap.intake().handlers();
    table.setLapHandler(TimingMode::LapOneGate, [&lap](int node, int signal, std::uint64_t t, int racer, int cls) {
        (void)lap.processHitLapSingle(node, signal, t, racer, cls);
    });
    table.setLapHandler(TimingMode::StartFinish, [&lap](int node, int signal, std::uint64_t t, int racer, int cls) {
        (void)lap.processHitStartFinish(node, signal, t, racer, cls);
    });
    table.setLapHandler(TimingMode::Gymkhana, [&lap](int node, int signal, std::uint64_t t, int racer, int cls) {
        (void)lap.processHitGymkhana(node, signal, t, racer, cls);
    });
}

inline void clearLapHitHandlers(LapTiming& lap) {
    for (TimingMode mode : {TimingMode::LapOneGate, TimingMode::StartFinish, TimingMode::Gymkhana})
        lap.intake().handlers().clear(mode);
}

} // namespace velmaro
