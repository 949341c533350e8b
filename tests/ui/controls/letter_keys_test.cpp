// The console's letter keys in the Latin and the Russian layout.
#include "ui/controls/letter_keys.h"

#include <gtest/gtest.h>

#include <QKeyEvent>

namespace velmaro::ui {
namespace {

TEST(LetterKeys, EachKeyMatchesBothLettersOfItsPhysicalKey) {
    using L = std::optional<LetterKey>;
    const struct {
        int key;
        const char* text;
        Qt::KeyboardModifiers mods;
        L expected;
    } cases[] = {
        {Qt::Key_P, "p", Qt::NoModifier, LetterKey::Penalty},
        {Qt::Key_P, "P", Qt::ShiftModifier, LetterKey::Penalty},
        {0x0417, "з", Qt::NoModifier, LetterKey::Penalty}, // Russian layout: the key code is the capital З
        {0x0417, "З", Qt::ShiftModifier, LetterKey::Penalty},
        {0, "з", Qt::NoModifier, LetterKey::Penalty}, // a platform that gives no key code
        {Qt::Key_L, "l", Qt::NoModifier, LetterKey::PenaltyLap},
        {0x0414, "д", Qt::NoModifier, LetterKey::PenaltyLap},
        {Qt::Key_P, "\x10", Qt::ControlModifier, LetterKey::Penalty},
        {Qt::Key_Z, "z", Qt::NoModifier, std::nullopt},
        {0x042F, "я", Qt::NoModifier, std::nullopt}, // the Russian letter on Z
        {0x0425, "х", Qt::NoModifier, std::nullopt}, // the Russian letter on [, not on P
        {Qt::Key_Delete, "", Qt::NoModifier, std::nullopt},
        {Qt::Key_F1, "", Qt::NoModifier, std::nullopt},
    };
    for (const auto& c : cases) {
        const QKeyEvent event(QEvent::KeyPress, c.key, c.mods, QString::fromUtf8(c.text));
        EXPECT_EQ(letterKey(event), c.expected) << std::hex << c.key << " " << c.text;
    }
}

} // namespace
} // namespace velmaro::ui
