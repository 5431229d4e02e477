// What a keystroke means to an editor, decided from the key alone.
#include "editors/EditKeys.h"

#include <gtest/gtest.h>

namespace kestrum {
namespace {

TEST(EditKeys, KeystrokesTypeTheControlCharactersOfTheirKeys)
{
    const struct {
        int key;
        Qt::KeyboardModifiers shift;
        const char *text;
        char16_t expected;
    } cases[] = {
        {Qt::Key_A, Qt::NoModifier, "a", u'a'},
        {Qt::Key_V, Qt::ControlModifier, "", 22},
        {Qt::Key_X, Qt::ControlModifier, "\x18", 24},
        {Qt::Key_Return, Qt::NoModifier, "", u'\r'},
        {Qt::Key_Enter, Qt::KeypadModifier, "\r", u'\r'},
        {Qt::Key_Tab, Qt::NoModifier, "", u'\t'},
        {Qt::Key_Backspace, Qt::NoModifier, "", 8},
        {Qt::Key_Escape, Qt::NoModifier, "", 27},
        {Qt::Key_F2, Qt::NoModifier, "", 0},
        {Qt::Key_1, Qt::ControlModifier, "1", 0},
        {Qt::Key_A, Qt::ControlModifier | Qt::AltModifier, "a", u'a'},
    };
    for (const auto &c : cases)
        EXPECT_EQ(CharOfKey(c.key, c.shift, QString::fromUtf8(c.text)).unicode(), c.expected) << c.key;
}

TEST(EditKeys, ClipboardAndNativeEditingShortcutsAreRecognised)
{
    EXPECT_TRUE(IsPasteKey(Qt::Key_V, Qt::ControlModifier));
    EXPECT_TRUE(IsPasteKey(Qt::Key_Insert, Qt::ShiftModifier | Qt::KeypadModifier));
    EXPECT_FALSE(IsPasteKey(Qt::Key_V, Qt::NoModifier));
    EXPECT_TRUE(IsCutKey(Qt::Key_X, Qt::ControlModifier));
    EXPECT_TRUE(IsCutKey(Qt::Key_Delete, Qt::ShiftModifier));
    EXPECT_FALSE(IsCutKey(Qt::Key_Delete, Qt::NoModifier));
    EXPECT_TRUE(IsNativeEditKey(Qt::Key_Z, Qt::ControlModifier)) << "undo";
    EXPECT_FALSE(IsNativeEditKey(Qt::Key_A, Qt::NoModifier));
    EXPECT_TRUE(IsEnterKey(Qt::Key_Enter));
    EXPECT_TRUE(IsNavigationKey(Qt::Key_PageDown));
    EXPECT_FALSE(IsNavigationKey(Qt::Key_Tab));
}

} // namespace
} // namespace kestrum
