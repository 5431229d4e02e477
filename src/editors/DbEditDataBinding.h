#pragma once
// Binding of an editor to one field of a data source: the field data link
// that hears the record set, the provider that answers questions about the
// field, and the binding that reads and writes the field's value or text.
#include "db/DbDataLink.h"
#include "editors/EditDataBinding.h"

#include <QString>

namespace kestrum {

class TDbDataSource;
class TDbField;
class TkvDBEditDataBinding;

//! Answers the editor's questions from the bound field.
class TkvCustomDBEditDefaultValuesProvider : public TkvCustomEditDefaultValuesProvider {
public:
    explicit TkvCustomDBEditDefaultValuesProvider(const TkvDBEditDataBinding &binding) : FBinding(binding) {}

    TDbField *Field() const { return FField; }
    void SetField(TDbField *field) { FField = field; }

    bool CanSetEditMode() const override;
    bool IsDataAvailable() const override;
    bool DefaultReadOnly() const override;
    QString DefaultDisplayFormat() const override;
    QString DefaultEditFormat() const override;
    bool IsDisplayFormatDefined() const override;
    std::optional<TkvEditAlignmentHorz> DefaultAlignment() const override;
    int DefaultMaxLength() const override;

private:
    const TkvDBEditDataBinding &FBinding;
    TDbField *FField = nullptr;
};

class TkvEditFieldDataLink : public TDbDataLink {
public:
    explicit TkvEditFieldDataLink(TkvDBEditDataBinding &binding);
    ~TkvEditFieldDataLink() override;

    const QString &FieldName() const { return FFieldName; }
    void SetFieldName(const QString &name);
    //! The resolved field, or none.
    TDbField *Field() const { return FField; }
    //! The record is in edit or insert state and this link may modify the field.
    bool FieldEditing() const { return FFieldEditing; }
    //! The editor changed the value since the record last changed under it.
    bool Modified() const { return FModified; }
    void SetModified(bool value) { FModified = value; }
    //! Not read-only, and the field can be modified.
    bool CanModifyField() const;
    //! Asks the data source to edit; answers whether the field is editable now.
    bool EditField();

protected:
    void ActiveChanged() override;
    void DataSetChanged() override;
    void LayoutChanged() override;
    void RecordChanged(TDbField *field) override;
    void EditingChanged() override;
    void UpdateData() override;
    void FocusControl(TDbField *&field) override;

private:
    void UpdateField();
    void SetField(TDbField *field);
    void UpdateEditingFlag();

    TkvDBEditDataBinding &FBinding;
    QString FFieldName;
    TDbField *FField = nullptr;
    int FFreeNotificationId = 0;
    bool FFieldEditing = false;
    bool FModified = false;
};

class TkvDBEditDataBinding : public TkvEditDataBinding {
public:
    explicit TkvDBEditDataBinding(TkvCustomEdit &edit);
    ~TkvDBEditDataBinding() override;

    TDbDataSource *DataSource() const { return FDataLink.DataSource(); }
    void SetDataSource(TDbDataSource *source);
    const QString &DataField() const { return FDataLink.FieldName(); }
    void SetDataField(const QString &name) { FDataLink.SetFieldName(name); }
    TDbField *Field() const { return FDataLink.Field(); }
    TkvEditFieldDataLink &DataLink() { return FDataLink; }
    const TkvEditFieldDataLink &DataLink() const { return FDataLink; }
    //! A field is bound and its data source is active.
    bool IsFieldActive() const;
    //! Above zero while the binding writes to the field, so the echo of that
    //! change does not reload the editor.
    int RefreshCount() const { return FRefreshCount; }

    bool IsRecordEditing() const override;
    bool CanAutoEdit() const override;
    bool EnterEditing() override;
    Variant ReadFieldValue() const override;
    void WriteToField(const Variant &value) override;
    void ReloadFromField() override;
    void FocusReload() override;
    bool IsDataBound() const override { return true; }

    //! The link found a new field (or lost it).
    void FieldChanged(TDbField *field);

private:
    TkvCustomDBEditDefaultValuesProvider &Provider() const;

    TkvEditFieldDataLink FDataLink;
    int FRefreshCount = 0;
};

//! The binding of the text edit and the memo (they always exchange text).
class TkvDBTextEditDataBinding : public TkvDBEditDataBinding {
public:
    using TkvDBEditDataBinding::TkvDBEditDataBinding;
};

} // namespace kestrum
