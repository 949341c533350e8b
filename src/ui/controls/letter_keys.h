#pragma once
// The console's letter keys, in one table for every window that handles one.
//
// With the Russian layout on, the physical key of a Latin letter sends the Cyrillic letter
// printed beside it: Qt then reports that letter as the text and its capital's code as the
// key (P sends "з" and 0x0417, not Qt::Key_P). Each key of the table is matched by both
// letters of its physical key, in either case, so a command's key works in both layouts.
// A handler of a letter key asks letterKey() and never compares Qt::Key_<letter> itself.
#include <optional>

class QKeyEvent;

namespace velmaro::ui {

enum class LetterKey {
    Penalty,    // P / З: "Штраф" of the lap grid
    PenaltyLap, // L / Д: a lap becomes a penalty lap and back (lap grid)
};

// The letter key a key press stands for in the Latin or the Russian layout; nullopt for
// any other key.
std::optional<LetterKey> letterKey(const QKeyEvent& event);

} // namespace velmaro::ui
