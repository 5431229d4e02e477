#pragma once
// A value editor of the filter dialogs as their logic sees it: a value goes
// in, a value and its display text come out, pending typing is posted, and
// the wildcard characters are accepted or refused. The dialogs put a real
// editor behind it (through its filter edit helper); tests put a plain one.
#include "core/Variant.h"

#include <QString>

namespace kestrum {

class TkvFilterDialogValueEditor {
public:
    virtual ~TkvFilterDialogValueEditor() = default;

    //! Shows a condition's value.
    virtual void SetValue(const Variant &value) = 0;
    //! Validates and takes over what was typed but not yet taken. Invalid
    //! input raises the editor's own validation error; false means the
    //! editor refused without a message (the dialog stays open either way).
    virtual bool PostPendingInput() = 0;
    //! The value and the text the editor shows for it.
    virtual void GetValue(Variant &value, QString &displayText) const = 0;
    //! For like and not like the wildcard characters may be typed; for every
    //! other operator they are refused and removed from the current text.
    //! Editors that do not edit text ignore it.
    virtual void SetWildcardsAccepted(bool accepted, const QString &percent, const QString &underscore) = 0;
    //! Takes the keyboard focus (the value was wrong).
    virtual void FocusEditor() = 0;
};

} // namespace kestrum
