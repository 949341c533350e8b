#pragma once
// The hit intake and the node link joined to the console (theConsole()) and the
// registry (theRegistry()).
//
// Header only: it is compiled by the program that joins the areas, so the link library
// itself needs neither the console nor the registry to build.
//
// Start-up, in the main window:
//   connectHitIntakeToConsole(pressStart, pressBlockSt, hitLogChanged);
//   auto link = std::make_unique<TSystemInterface>(sink);   // sink re-posts to the main thread
//   theConsole().systemInterface = link.get();
//   link->start();
#include <functional>
#include <optional>
#include <utility>

#include "core/app/console.h"
#include "core/intake/hit_intake.h"
#include "core/link/system_interface.h"
#include "core/registration/registry.h"

namespace velmaro {

// Fills the hit intake's hooks from the console and the registry. `pressStart` is
// TMainForm::startbuttonClick; `pressBlockSt` sets the Block ST button down and runs its
// click handler; `hitListChanged` sets the hit log grid's rows (count + 1) and repaints.
inline void connectHitIntakeToConsole(std::function<void()> pressStart, std::function<void()> pressBlockSt,
                                      std::function<void(std::size_t)> hitListChanged) {
    HitIntakeHooks h;
    h.timingMode = [] { return static_cast<int>(theConsole().raceMode); };
    h.eventFolder = [] { return theConsole().eventFolder; };
    h.findRacerByTag = [](int tag) -> std::optional<TagRacer> {
        const TRacerItem* racer = theRegistry().findRacerByTag(tag);
        if (!racer) return std::nullopt;
        return TagRacer{static_cast<int>(racer->number), racer->classIds.empty() ? -1 : racer->classIds.front()};
    };
    h.remoteStart = std::move(pressStart);
    h.remoteBlock = [block = std::move(pressBlockSt)] {
        if (TScoreboardController* sb = theConsole().scoreboard) sb->stopTiming();
        if (block) block();
    };
    h.remoteReset = [] {
        if (TScoreboardController* sb = theConsole().scoreboard) sb->reset(1);
    };
    h.hitListChanged = std::move(hitListChanged);
    setHitIntakeHooks(std::move(h));
}

} // namespace velmaro
