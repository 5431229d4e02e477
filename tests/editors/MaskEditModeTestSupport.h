#pragma once
// Drives a mask mode with a key script and renders the result in one string:
// the text with "|" at the caret, or the selection in brackets, and "!" for
// every refused keystroke. Script: characters are typed; "<" starts a named
// key: <BS> <DEL> <L> <R> <SL> <SR> <HOME> <END> <ALL>.
#include "editors/MaskEditMode.h"

#include <string>

namespace kestrum::test {

inline std::string RenderMaskState(const TkvMaskEditText &state)
{
    QString text = state.Text;
    if (state.SelLength > 0) {
        text.insert(state.SelStart + state.SelLength, u']');
        text.insert(state.SelStart, u'[');
    } else {
        text.insert(state.SelStart, u'|');
    }
    return text.toStdString();
}

inline std::string TypeKeys(TkvMaskEditCustomMode &mode, TkvMaskEditText &state, const QString &script)
{
    std::string refused;
    for (qsizetype i = 0; i < script.size(); ++i) {
        state.Accepted = true;
        if (script[i] == u'<' && i + 1 < script.size() && script[i + 1].isUpper()) {
            qsizetype close = script.indexOf(u'>', i);
            QString key = script.mid(i + 1, close - i - 1);
            i = close;
            if (key == "BS")
                mode.Backspace(state);
            else if (key == "DEL")
                mode.Delete(state);
            else if (key == "L")
                state.Accepted = mode.Left(state, false);
            else if (key == "R")
                state.Accepted = mode.Right(state, false);
            else if (key == "SL")
                mode.Left(state, true);
            else if (key == "SR")
                mode.Right(state, true);
            else if (key == "HOME")
                mode.Home(state, false);
            else if (key == "END")
                mode.End(state, false);
            else if (key == "ALL")
                mode.SelectAll(state);
        } else {
            mode.PressChar(state, script[i]);
        }
        if (!state.Accepted)
            refused += "!";
    }
    return RenderMaskState(state) + refused;
}

} // namespace kestrum::test
