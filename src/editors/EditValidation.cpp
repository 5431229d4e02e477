#include "editors/EditValidation.h"

#include "editors/CustomEdit.h"

namespace kestrum {

bool TkvEditValidation::Validate(bool raiseOnError)
{
    TkvEditChangeFlags &changes = FEdit.FChanges;
    if (!changes.HasPendingChange() || changes.IsValidated())
        return true;
    QString displayValue = FEdit.DisplayText();
    bool error = false;
    QString errorText;
    TkvCustomEditProperties &properties = FEdit.Properties();
    if (properties.ValidatesDisplayValue())
        properties.CheckDisplayValue(displayValue, errorText, &FEdit, error);
    if (!error) {
        changes.SetValidated(true);
        if (!IsUserChange(FEdit.FInputState) || FEdit.RequestEditing()) {
            FEdit.SetDisplayValue(displayValue);
            FEdit.TakeValueFromDisplay();
        }
        if (!FEdit.IsInplace() && !FEdit.Focused())
            changes.SetHasPendingChange(false);
        return true;
    }
    if (raiseOnError)
        Refuse(errorText);
    return false;
}

void TkvEditValidation::Refuse(const QString &errorText)
{
    if (!FEdit.Focused() && FEdit.isVisible()) {
        FEdit.FFocus.Pull();
        FEdit.FFocus.Change(TkvEditFocusEvent::Enter);
        FEdit.SelectAll();
    }
    if (FEdit.Properties().BeepOnError())
        TkvCustomEdit::Beep();
    if (!errorText.isEmpty())
        throw EkvEditValidationError(errorText.toStdString());
}

void TkvEditValidation::Store()
{
    try {
        if (FEdit.IsInplace()) {
            if (FEdit.OnHostPostValue)
                FEdit.OnHostPostValue(&FEdit);
            FEdit.ClearChangeFlags();
        } else {
            FEdit.DataBinding().WriteToField(FEdit.EditValue());
        }
    } catch (...) {
        if (!FEdit.IsInplace()) {
            // The value is not in the field: keep it pending so leaving retries.
            FEdit.FChanges.SetHasPendingChange(true);
            FEdit.FChanges.SetChangedSinceEntry(true);
            Refuse(QString());
        }
        throw;
    }
}

void TkvEditValidation::RevertToEntryValue()
{
    TkvCustomEditProperties &properties = FEdit.Properties();
    if (!FEdit.HasPendingChange() || !properties.CanRevertToEntryValue())
        return;
    FEdit.BeginChangeEvents();
    try {
        FEdit.FChanges.SetHasPendingChange(false);
        FEdit.SetEditValue(FEdit.EntryValue());
        FEdit.FChanges.SetChangedSinceEntry(true);
        FEdit.SelectAll();
        if (properties.ImmediatePost() && CanStore() && Validate(true))
            FEdit.StoreEditValue();
    } catch (...) {
        FEdit.EndChangeEvents();
        throw;
    }
    FEdit.EndChangeEvents();
}

bool TkvEditValidation::CanStore() const
{
    return FEdit.Properties().ValidatesDisplayValue();
}

} // namespace kestrum
