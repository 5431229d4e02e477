#pragma once
// A field of an open record set: one result column, with its name and type
// taken from the result each time the record set opens. Values travel as
// Variants; the field converts them to its type when they are set.
#include "core/Variant.h"
#include "db/DbTypes.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <map>

namespace kestrum {

class TDbQuery;

class TDbField {
public:
    using TFieldGetTextEvent = std::function<void(TDbField *sender, QString &text, bool displayText)>;
    using TFieldSetTextEvent = std::function<void(TDbField *sender, const QString &text)>;
    using TFreeNotification = std::function<void(TDbField *field)>;

    TDbField(TDbQuery *dataSet, int index, const QString &fieldName, TFieldType dataType, int size);
    ~TDbField(); // tells every free-notification listener
    TDbField(const TDbField &) = delete;
    TDbField &operator=(const TDbField &) = delete;

    TDbQuery *DataSet() const { return FDataSet; }
    int Index() const { return FIndex; } //!< position in the field list
    int FieldNo() const { return FIndex + 1; }
    const QString &FieldName() const { return FFieldName; }
    TFieldType DataType() const { return FDataType; }
    int Size() const { return FSize; } //!< characters for string fields, else 0
    TFieldKind FieldKind() const { return FIsLookup ? fkLookup : fkData; }
    bool IsLookup() const { return FIsLookup; }
    //! Key field names of a lookup field (";" between names).
    const QString &KeyFields() const { return FKeyFields; }
    //! The record set a lookup field looks its value up in, the fields there
    //! that the key fields' values must equal, and the field that gives the value.
    TDbQuery *LookupDataSet() const { return FLookupDataSet; }
    const QString &LookupKeyFields() const { return FLookupKeyFields; }
    const QString &LookupResultField() const { return FLookupResultField; }
    //! Makes this a lookup field (set by the record set when it builds it).
    void SetLookup(const QString &keyFields, TDbQuery *lookupDataSet, const QString &lookupKeyFields,
                   const QString &lookupResultField);
    //! Name of the table column the field comes from (empty for expressions).
    const QString &Origin() const { return FOrigin; }
    bool IsKey() const { return FIsKey; } //!< the table's key column

    // Presentation.
    QString DisplayName() const; //!< DisplayLabel, or FieldName when it has none
    const QString &DisplayLabel() const { return FDisplayLabel; }
    void SetDisplayLabel(const QString &label);
    int DisplayWidth() const; //!< in characters; a default by type unless set
    void SetDisplayWidth(int width);
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment alignment);
    bool Visible() const { return FVisible; }
    void SetVisible(bool visible);
    const QString &DisplayFormat() const { return FDisplayFormat; }
    void SetDisplayFormat(const QString &format);
    const QString &EditFormat() const { return FEditFormat; }
    void SetEditFormat(const QString &format);
    const QString &EditMask() const { return FEditMask; }
    void SetEditMask(const QString &mask);
    bool Currency() const { return FCurrency; } //!< float/BCD shown as money
    void SetCurrency(bool currency);
    bool Required() const { return FRequired; }
    void SetRequired(bool required) { FRequired = required; }

    // Modification.
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool readOnly) { FReadOnly = readOnly; }
    //! Not read-only, and the record set can be modified.
    bool CanModify() const;

    // Text handlers (none by default).
    TFieldGetTextEvent OnGetText;
    TFieldSetTextEvent OnSetText;
    bool HasGetTextHandler() const { return bool(OnGetText); }
    bool HasSetTextHandler() const { return bool(OnSetText); }

    // Value of the current record (the edit buffer while editing).
    Variant Value() const; //!< Null for an SQL NULL; Null when the set is empty
    bool IsNull() const;
    //! Converts to the field's type; Null or Empty clears. Raises when the
    //! record set is not editing, the field is read-only or the value does
    //! not fit (too long, not a number, not a date).
    void SetValue(const Variant &value);
    void Clear() { SetValue(Variant::null()); }
    //! As shown: a date or number through DisplayFormat, a currency field as
    //! money, a string through EditMask.
    QString DisplayText() const;
    //! As edited: a number through EditFormat, else the plain text.
    QString Text() const;
    //! Parses text as the user typed it; empty text clears non-string fields.
    void SetText(const QString &text);

    // Typed accessors.
    QString AsString() const; //!< plain text of the value, "" for Null
    void SetAsString(const QString &text) { SetText(text); }
    double AsFloat() const;          //!< 0 for Null
    std::int32_t AsInteger() const;  //!< 0 for Null
    std::int64_t AsLargeInt() const; //!< 0 for Null
    double AsDateTime() const;       //!< days since 1899-12-30; 0 for Null
    bool AsBoolean() const;          //!< false for Null
    void SetAsFloat(double value) { SetValue(Variant(value)); }
    void SetAsInteger(std::int32_t value) { SetValue(Variant(int(value))); }
    void SetAsDateTime(double days) { SetValue(Variant::fromDate(days)); }

    //! Asks the control bound to this field to take the focus.
    void FocusControl();

    //! Called with this field when it is destroyed; returns an id for removal.
    int AddFreeNotification(TFreeNotification listener);
    void RemoveFreeNotification(int id);

    // Set by the record set when it builds the field list.
    void SetOrigin(const QString &origin, bool isKey);

private:
    void LayoutChanged();
    Variant ParseText(const QString &text) const;

    TDbQuery *FDataSet;
    int FIndex;
    QString FFieldName;
    TFieldType FDataType;
    int FSize;
    QString FOrigin;
    bool FIsKey = false;
    QString FDisplayLabel;
    int FDisplayWidth = -1; // -1: default by type
    TAlignment FAlignment;
    bool FVisible = true;
    QString FDisplayFormat;
    QString FEditFormat;
    QString FEditMask;
    bool FCurrency = false;
    bool FRequired = false;
    bool FReadOnly = false;
    bool FIsLookup = false;
    QString FKeyFields;
    TDbQuery *FLookupDataSet = nullptr;
    QString FLookupKeyFields;
    QString FLookupResultField;
    int FNextListenerId = 1;
    std::map<int, TFreeNotification> FFreeNotifications;
};

} // namespace kestrum
