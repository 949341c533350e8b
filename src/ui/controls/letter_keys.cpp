#include "ui/controls/letter_keys.h"

#include <QKeyEvent>

namespace velmaro::ui {

namespace {

// A key and the two capitals of its physical key: the Latin one (also its Qt key code)
// and the Cyrillic one of the Russian layout (also the key code Qt gives it there).
struct LetterKeyEntry {
    LetterKey key;
    char16_t latin;
    char16_t cyrillic;
};

constexpr LetterKeyEntry kLetterKeys[] = {
    {LetterKey::Penalty, u'P', u'\u0417'},    // З
    {LetterKey::PenaltyLap, u'L', u'\u0414'}, // Д
};

} // namespace

std::optional<LetterKey> letterKey(const QKeyEvent& event) {
    // The key code is the capital's code in both layouts; the text covers a platform that
    // reports the key code of the other layout, or none.
    const QString text = event.text();
    const char16_t typed = text.size() == 1 ? text.at(0).toUpper().unicode() : u'\0';
    for (const LetterKeyEntry& e : kLetterKeys) {
        for (const char16_t letter : {e.latin, e.cyrillic})
            if (event.key() == letter || typed == letter) return e.key;
    }
    return std::nullopt;
}

} // namespace velmaro::ui
