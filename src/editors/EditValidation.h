#pragma once
// Validation and storing of an editor's text: the text is checked by the
// properties, read back into the edit value, and written to the field (or
// handed to an in-place host). A refused text focuses the editor, beeps and
// raises the validation message; a failed write keeps the value pending so
// leaving the editor retries it.
#include <QString>

namespace kestrum {

class TkvCustomEdit;

class TkvEditValidation {
public:
    explicit TkvEditValidation(TkvCustomEdit &edit) : FEdit(edit) {}

    //! True when nothing is pending or the text passes; a refused text is
    //! reported when raiseOnError is set.
    bool Validate(bool raiseOnError);
    //! Focuses the editor, beeps when BeepOnError is on, and raises
    //! EkvEditValidationError when errorText is not empty.
    void Refuse(const QString &errorText);
    void Store();
    void RevertToEntryValue();
    //! The properties validate a display value, so it can be stored.
    bool CanStore() const;

private:
    TkvCustomEdit &FEdit;
};

} // namespace kestrum
