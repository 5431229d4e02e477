#include "filterdialogs/FilterEditHelper.h"

#include "editors/CustomEdit.h"
#include "filterdialogs/FilterEditHelpers.h"

namespace kestrum {

std::unique_ptr<TkvCustomEdit>
TkvCustomFilterEditHelper::CreateValueEdit(const TkvCustomEditProperties &columnProperties,
                                           QWidget *parent) const
{
    std::unique_ptr<TkvCustomEdit> edit = CreateEdit(parent);
    InitializeProperties(edit->Properties(), columnProperties);
    edit->PropertiesChanged();
    edit->SetEditValue(Variant::null());
    return edit;
}

void TkvCustomFilterEditHelper::InitializeProperties(TkvCustomEditProperties &target,
                                                     const TkvCustomEditProperties &source) const
{
    target.SetClearKey(source.ClearKey());
    target.SetUseLeftAlignmentOnEditing(source.UseLeftAlignmentOnEditing());
    // A filter value is typed into a small box of a dialog: its text starts
    // at the top left whatever the column shows, wrong input does not beep,
    // Enter takes the value, and a read-only column still takes a filter.
    target.SetAlignment({taLeftJustify, taTopJustify});
    target.SetBeepOnError(false);
    target.SetReadOnly(false);
    target.SetValidateOnEnter(true);
    target.SetImmediatePost(false);
    // Buttons a column adds are for editing records; the editor keeps only
    // the drop-down of its own kind, which its properties made when created.
}

void TkvCustomFilterEditHelper::SetEditValue(TkvCustomEdit &edit, const Variant &value) const
{
    edit.SetEditValue(value);
}

void TkvCustomFilterEditHelper::GetEditValue(const TkvCustomEdit &edit, Variant &value,
                                             QString &displayText) const
{
    value = edit.EditValue();
    displayText = edit.DisplayText();
}

void TkvCustomFilterEditHelper::SetWildcardsAccepted(TkvCustomEdit &edit, bool accepted,
                                                     const QString &percent, const QString &underscore) const
{
    if (!EditsText())
        return;
    const QString wildcards = percent + underscore;
    if (auto *wildcardEdit = dynamic_cast<IkvFilterWildcardEdit *>(&edit))
        wildcardEdit->SetRefusedChars(accepted ? QString() : wildcards);
    if (accepted || wildcards.isEmpty())
        return;
    const QString text = edit.DisplayText();
    QString stripped = text;
    for (QChar ch : wildcards)
        stripped.remove(ch);
    if (stripped == text)
        return;
    // The shortened text becomes the value, as if it had been typed.
    edit.SetInternalDisplayValue(stripped);
    edit.TakeValueFromDisplay();
}

bool TkvFilterHelperValueEditor::PostPendingInput()
{
    return FEdit.ValidateEditText(true);
}

void TkvFilterHelperValueEditor::FocusEditor()
{
    if (QWidget *inner = FEdit.InnerWidget())
        inner->setFocus();
    else
        FEdit.setFocus();
}

} // namespace kestrum
