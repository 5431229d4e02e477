#pragma once
// A controller field bound to a record-set field by name, and the reader that
// copies the record set's current row into the storage.
#include "data/DataField.h"
#include "data/ValueDefs.h"
#include "db/DbTypes.h"

#include <QString>

#include <vector>

namespace kestrum {

class TDbField;
class TDbQuery;

//! The value type that stores a record-set field type.
TkvValueTypeClass ValueTypeClassOfFieldType(TFieldType fieldType);
//! Whether the field's display text can differ from its value's plain text.
bool FieldNeedsStoredText(const TDbField *field);
//! As above; for blob-like and Boolean fields the owner's wish to show the
//! display text decides.
bool FieldNeedsStoredText(const TDbField *field, bool ownerWantsText);
//! Memo, blob and byte fields.
bool IsBlobLikeFieldType(TFieldType fieldType);

class TkvDBDataField : public TkvCustomDataField {
public:
    TkvDBDataField(TkvCustomDataFieldList *fieldList, TkvDataItem item, bool isInternal);
    ~TkvDBDataField() override;

    const QString &FieldName() const { return FFieldName; }
    void SetFieldName(const QString &name) { FFieldName = name; }
    //! The bound record-set field; null when the name matches none.
    TDbField *Field() const { return FField; }
    //! Binds (or unbinds with null) and takes the field's value type and text storage.
    void SetField(TDbField *field);
    //! As above, with the owner's wish for blob-like and Boolean fields.
    void SetField(TDbField *field, bool ownerWantsText);
    bool IsFieldDestroyed() const { return FFieldDestroyed; }
    void ClearFieldDestroyed() { FFieldDestroyed = false; }

    //! The field this one is a sub-field of (a key part, a lookup key), or null.
    TkvDBDataField *ParentField() const { return FParentField; }
    const std::vector<TkvDBDataField *> &SubFields() const { return FSubFields; }
    bool HasSubFields() const { return !FSubFields.empty(); }
    //! Registers a sub-field (an internal field of the same list); the list
    //! owns it, the parent only names it.
    void AddSubField(TkvDBDataField *field);
    void RemoveSubField(TkvDBDataField *field);
    //! The field names of the sub-fields, ";" between them.
    QString SubFieldNames() const;

private:
    void Unhook();

    QString FFieldName;
    TDbField *FField = nullptr;
    TkvDBDataField *FParentField = nullptr;
    std::vector<TkvDBDataField *> FSubFields;
    int FFreeNotificationId = 0;
    bool FFieldDestroyed = false;
};

//! Reads the record set's current row: the value of the field that owns a
//! column (Null when unbound or null) and its display text.
class TkvValueDefDBReader : public TkvValueDefReader {
public:
    explicit TkvValueDefDBReader(TDbQuery *dataSet) : FDataSet(dataSet) {}
    QString GetDisplayText(TkvValueDef *valueDef) override;
    Variant GetValue(TkvValueDef *valueDef) override;
    bool IsInternal(TkvValueDef *valueDef) override;
    bool ReadValueInto(TkvValueDef *valueDef, std::byte *buffer, TkvValueHeap &heap) override;

private:
    static TkvDBDataField *FieldOf(TkvValueDef *valueDef);
    TDbQuery *FDataSet;
};

} // namespace kestrum
