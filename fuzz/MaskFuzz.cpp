// Feeds random expressions to the mask compiler and random keystrokes to the
// automaton and to the mask modes. Input: the expression (UTF-8) up to the
// first zero byte, then one keystroke per byte.
#include "core/RegionalSettings.h"
#include "editors/MaskEditRegExprMode.h"
#include "editors/MaskEditStandardMode.h"
#include "editors/RegExpr.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

using namespace kestrum;

namespace {

//! Stops the run when a mode breaks its own promises.
void Check(bool condition)
{
    if (!condition)
        std::abort();
}

void CheckState(const TkvMaskEditText &state)
{
    Check(state.SelStart >= 0 && state.SelLength >= 0);
    Check(state.SelStart + state.SelLength <= state.Text.size());
}

QChar KeyChar(std::uint8_t byte)
{
    static const char16_t pool[] = u"0123456789-/:.aAzZ _'今天星期一bomeow+";
    return QChar(pool[byte % (sizeof pool / sizeof pool[0] - 1)]);
}

void DriveMode(TkvMaskEditCustomMode &mode, const std::uint8_t *keys, std::size_t count, bool regExpr,
               TkvRegExpr *checker)
{
    TkvMaskEditText state;
    mode.SetText(state, mode.EmptyText());
    for (std::size_t i = 0; i < count; ++i) {
        std::uint8_t key = keys[i];
        switch (key >> 5) {
        case 0:
            mode.Backspace(state);
            break;
        case 1:
            mode.Delete(state);
            break;
        case 2:
            (key & 1) ? mode.Left(state, key & 2) : mode.Right(state, key & 2);
            break;
        case 3:
            (key & 1) ? mode.Home(state, key & 2) : mode.End(state, key & 2);
            break;
        case 4:
            state.SelStart = int(key & 31) % int(state.Text.size() + 1);
            state.SelLength = 0;
            mode.SyncCaret(state);
            break;
        case 5:
            mode.Paste(state, QString(KeyChar(key)) + KeyChar(key + 7));
            break;
        default:
            mode.PressChar(state, KeyChar(key));
            break;
        }
        CheckState(state);
        // The text before the caret is always accepted by the expression.
        if (regExpr && checker) {
            checker->Reset();
            for (int j = 0; j < state.SelStart; ++j) {
                QChar ch = state.Text[j];
                Check(checker->Next(ch));
            }
        }
    }
    mode.IsValid(state.Text, false);
    mode.FormatDisplay(state.Text);
    mode.TextToValueText(state.Text);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static bool initialised = [] {
        setRegionalSettings(RegionalSettings::simplifiedChinese());
        return true;
    }();
    (void)initialised;
    const std::uint8_t *zero = static_cast<const std::uint8_t *>(std::memchr(data, 0, size));
    std::size_t expressionSize = zero ? std::size_t(zero - data) : size;
    if (expressionSize > 512)
        return 0;
    const QString expression =
        QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(expressionSize));
    const std::uint8_t *keys = zero ? zero + 1 : data + size;
    std::size_t keyCount = std::size_t(data + size - keys);

    TkvRegExpr expr;
    expr.SetCaseInsensitive(keyCount % 2 == 0);
    try {
        expr.Compile(expression);
    } catch (const EkvRegExprError &error) {
        Check(!error.Errors().empty());
        Check(!expr.Compiled());
    }
    if (expr.Compiled()) {
        expr.SetUpdateOn(keyCount % 3 == 0);
        int depth = 0;
        for (std::size_t i = 0; i < keyCount; ++i) {
            if (keys[i] < 40) {
                if (expr.Prev())
                    --depth;
            } else {
                QChar ch = KeyChar(keys[i]);
                if (expr.Next(ch))
                    ++depth;
            }
            expr.AtFinalState();
        }
        (void)depth;

        TkvMaskEditRegExprMode plain;
        plain.SetMask(expression);
        TkvRegExpr checker;
        checker.SetCaseInsensitive(true);
        checker.Compile(expression);
        DriveMode(plain, keys, keyCount, true, &checker);
        TkvMaskEditRegExprExMode extended;
        extended.SetCaseInsensitive(true);
        extended.SetMask(expression);
        DriveMode(extended, keys, keyCount, true, &checker);
    }
    TkvMaskEditStandardMode standard;
    standard.SetMask(expression);
    DriveMode(standard, keys, keyCount, false, nullptr);
    return 0;
}
