#include "editors/DbEditDataBinding.h"

#include "db/DbDataSource.h"
#include "db/DbField.h"
#include "db/DbQuery.h"
#include "editors/CustomEdit.h"

namespace kestrum {

// ---- provider ----

bool TkvCustomDBEditDefaultValuesProvider::CanSetEditMode() const
{
    return FField && FField->CanModify();
}

bool TkvCustomDBEditDefaultValuesProvider::IsDataAvailable() const
{
    return FField && FBinding.IsFieldActive();
}

bool TkvCustomDBEditDefaultValuesProvider::DefaultReadOnly() const
{
    return !IsDataAvailable() || FField->ReadOnly() || FBinding.DataLink().ReadOnly();
}

QString TkvCustomDBEditDefaultValuesProvider::DefaultDisplayFormat() const
{
    return FField ? FField->DisplayFormat() : QString();
}

QString TkvCustomDBEditDefaultValuesProvider::DefaultEditFormat() const
{
    return FField ? FField->EditFormat() : QString();
}

bool TkvCustomDBEditDefaultValuesProvider::IsDisplayFormatDefined() const
{
    return FField && !FField->DisplayFormat().isEmpty();
}

std::optional<TkvEditAlignmentHorz> TkvCustomDBEditDefaultValuesProvider::DefaultAlignment() const
{
    if (!FField)
        return std::nullopt;
    return FField->Alignment();
}

int TkvCustomDBEditDefaultValuesProvider::DefaultMaxLength() const
{
    if (!FField)
        return 0;
    switch (FField->DataType()) {
    case ftString:
    case ftFixedChar:
    case ftWideString:
        return FField->Size();
    default:
        return 0;
    }
}

// ---- field data link ----

TkvEditFieldDataLink::TkvEditFieldDataLink(TkvDBEditDataBinding &binding) : FBinding(binding)
{
}

TkvEditFieldDataLink::~TkvEditFieldDataLink()
{
    if (FField && FFreeNotificationId)
        FField->RemoveFreeNotification(FFreeNotificationId);
}

void TkvEditFieldDataLink::SetFieldName(const QString &name)
{
    if (FFieldName == name)
        return;
    FFieldName = name;
    UpdateField();
}

bool TkvEditFieldDataLink::CanModifyField() const
{
    return !ReadOnly() && FField && FField->CanModify();
}

bool TkvEditFieldDataLink::EditField()
{
    if (!FField || !CanModifyField())
        return false;
    Edit();
    UpdateEditingFlag();
    return FFieldEditing;
}

void TkvEditFieldDataLink::SetField(TDbField *field)
{
    if (FField == field)
        return;
    if (FField && FFreeNotificationId)
        FField->RemoveFreeNotification(FFreeNotificationId);
    FFreeNotificationId = 0;
    FField = field;
    if (FField)
        FFreeNotificationId = FField->AddFreeNotification([this](TDbField *) {
            FField = nullptr;
            FFreeNotificationId = 0;
        });
}

void TkvEditFieldDataLink::UpdateField()
{
    TDbField *field = nullptr;
    if (Active() && !FFieldName.isEmpty() && DataSet()) {
        try {
            field = DataSet()->FieldByName(FFieldName);
        } catch (const std::exception &error) {
            // A missing field is the user's to see, but raising it out of the
            // record set's own notification would leave the record set half
            // way through opening.
            TkvCustomEdit::HandleException(error);
        }
    }
    SetField(field);
    FBinding.FieldChanged(FField);
    UpdateEditingFlag();
    FBinding.ReloadFromField();
}

void TkvEditFieldDataLink::UpdateEditingFlag()
{
    bool editing = Active() && DataSet() && IsEditMode(DataSet()->State()) && CanModifyField();
    if (editing == FFieldEditing)
        return;
    FFieldEditing = editing;
    if (FBinding.RefreshCount() == 0)
        FModified = false;
}

void TkvEditFieldDataLink::ActiveChanged()
{
    UpdateField();
}

void TkvEditFieldDataLink::DataSetChanged()
{
    UpdateField();
}

void TkvEditFieldDataLink::LayoutChanged()
{
    UpdateField();
}

void TkvEditFieldDataLink::RecordChanged(TDbField *field)
{
    if (field && field != FField)
        return;
    FBinding.ReloadFromField();
    if (FBinding.RefreshCount() == 0)
        FModified = false;
}

void TkvEditFieldDataLink::EditingChanged()
{
    UpdateEditingFlag();
}

void TkvEditFieldDataLink::UpdateData()
{
    if (!FModified || !FField)
        return;
    TkvCustomEdit &edit = FBinding.Edit();
    if (!edit.ValidateEditText(false)) {
        // The record set is about to post: a pending text that does not
        // validate must stop it with the editor's error. Skipping it would
        // post the old value and the reload would then drop what was typed.
        // The link stays modified, so the next post asks again.
        if (!edit.ValidateEditText(true))
            throw EkvEditValidationError(
                edit.Properties().GetValidationErrorText(vekInvalidInput).toStdString());
        return;
    }
    FBinding.WriteToField(edit.EditValue());
    if (FBinding.RefreshCount() == 0)
        FModified = false;
}

void TkvEditFieldDataLink::FocusControl(TDbField *&field)
{
    if (!field || field != FField)
        return;
    TkvCustomEdit &edit = FBinding.Edit();
    QWidget *target = edit.InnerWidget() ? edit.InnerWidget() : &edit;
    if (target->isEnabled() && target->isVisible()) {
        target->setFocus();
        field = nullptr;
    }
}

// ---- binding ----

TkvDBEditDataBinding::TkvDBEditDataBinding(TkvCustomEdit &edit) : TkvEditDataBinding(edit), FDataLink(*this)
{
    SetDefaultValuesProvider(std::make_unique<TkvCustomDBEditDefaultValuesProvider>(*this));
}

TkvDBEditDataBinding::~TkvDBEditDataBinding() = default;

TkvCustomDBEditDefaultValuesProvider &TkvDBEditDataBinding::Provider() const
{
    return static_cast<TkvCustomDBEditDefaultValuesProvider &>(DefaultValuesProvider());
}

void TkvDBEditDataBinding::SetDataSource(TDbDataSource *source)
{
    FDataLink.SetDataSource(source);
    // Attaching may not change Active (no record set yet), so resolve anyway.
    FieldChanged(FDataLink.Field());
    ReloadFromField();
}

bool TkvDBEditDataBinding::IsFieldActive() const
{
    return FDataLink.Field() && FDataLink.Active();
}

void TkvDBEditDataBinding::FieldChanged(TDbField *field)
{
    Provider().SetField(field);
    Edit().PropertiesChanged();
}

bool TkvDBEditDataBinding::IsRecordEditing() const
{
    return IsFieldActive() && FDataLink.FieldEditing() && FDataLink.Modified();
}

bool TkvDBEditDataBinding::CanAutoEdit() const
{
    TDbDataSource *source = DataSource();
    return source && (source->AutoEdit() || IsEditMode(source->State()));
}

bool TkvDBEditDataBinding::EnterEditing()
{
    if (!Provider().CanSetEditMode())
        return false;
    bool editing = FDataLink.EditField();
    if (editing)
        FDataLink.SetModified(true);
    return editing;
}

Variant TkvDBEditDataBinding::ReadFieldValue() const
{
    TDbField *field = FDataLink.Field();
    if (!field || !FDataLink.Active())
        return Variant::null();
    TkvCustomEdit &edit = Edit();
    TkvBindingValueKind kind = edit.Properties().GetBindingValueKind(edit.Focused());
    switch (kind) {
    case bvkText:
        if (edit.Focused() && FDataLink.CanModifyField())
            return Variant(field->Text());
        return Variant(field->DisplayText());
    case bvkLookupKey:
        if (field->IsLookup() && !field->KeyFields().isEmpty())
            return field->DataSet()->FieldValues(field->KeyFields());
        [[fallthrough]];
    case bvkValue:
    default:
        return field->IsNull() ? Variant::null() : field->Value();
    }
}

void TkvDBEditDataBinding::WriteToField(const Variant &value)
{
    TDbField *field = FDataLink.Field();
    if (!field || !FDataLink.Active())
        return;
    ++FRefreshCount;
    try {
        FDataLink.Edit();
        if (FDataLink.Editing()) {
            TkvCustomEdit &edit = Edit();
            TkvBindingValueKind kind = edit.Properties().GetBindingValueKind(edit.Focused());
            if (kind == bvkText) {
                field->SetText(value.isNull() || value.isEmpty() ? QString() : value.toString());
            } else if (kind == bvkLookupKey && field->IsLookup() && !field->KeyFields().isEmpty()) {
                QStringList names = field->KeyFields().split(u';');
                TDbQuery *dataSet = field->DataSet();
                if (names.size() == 1) {
                    dataSet->FieldByName(names[0])->SetValue(value);
                } else {
                    for (int i = 0; i < names.size(); ++i)
                        dataSet->FieldByName(names[i])->SetValue(value.isArray() ? value.at(i)
                                                                                 : Variant::null());
                }
            } else {
                Variant stored = value;
                bool stringField = field->DataType() == ftString || field->DataType() == ftWideString ||
                                   field->DataType() == ftFixedChar || field->DataType() == ftMemo;
                if (stored.isString() && stored.displayText().isEmpty() && !stringField)
                    stored = Variant::null();
                field->SetValue(stored);
            }
        }
    } catch (...) {
        --FRefreshCount;
        throw;
    }
    --FRefreshCount;
}

void TkvDBEditDataBinding::ReloadFromField()
{
    if (FRefreshCount > 0)
        return;
    TkvCustomEdit &edit = Edit();
    if (!IsFieldActive()) {
        edit.SetEditValue(Variant::null());
        return;
    }
    TDbField *field = FDataLink.Field();
    if (edit.Properties().UsesFieldDisplayFormat() && !edit.Focused()) {
        edit.InternalSetEditValue(field->IsNull() ? Variant::null() : field->Value());
        edit.SetDisplayValue(ReadFieldValue().displayText());
        return;
    }
    edit.SetEditValue(ReadFieldValue());
}

void TkvDBEditDataBinding::FocusReload()
{
    // The same path as a record change of the bound field.
    ReloadFromField();
    if (FRefreshCount == 0)
        FDataLink.SetModified(false);
}

} // namespace kestrum
