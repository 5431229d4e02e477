#pragma once
// A controller field bound to a record-set field by name, and the reader that
// copies the record set's current row into the storage.
#include "data/DataField.h"
#include "data/ValueDefs.h"
#include "db/DbTypes.h"

#include <QString>

namespace kestrum {

class TDbField;
class TDbQuery;

//! The value type that stores a record-set field type.
TkvValueTypeClass ValueTypeClassOfFieldType(TFieldType fieldType);
//! Whether the field's display text can differ from its value's plain text.
bool FieldNeedsStoredText(const TDbField *field);

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
    bool IsFieldDestroyed() const { return FFieldDestroyed; }
    void ClearFieldDestroyed() { FFieldDestroyed = false; }

private:
    void Unhook();

    QString FFieldName;
    TDbField *FField = nullptr;
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
