#include "db/DbField.h"

#include "core/DateTime.h"
#include "core/Errors.h"
#include "core/MoneyFormat.h"
#include "core/NumberText.h"
#include "core/RegionalSettings.h"
#include "db/DbErrors.h"
#include "db/DbQuery.h"
#include "db/FieldValues.h"
#include "db/NumberPattern.h"
#include "db/StandardMask.h"

#include <cmath>

namespace kestrum {

namespace {

TAlignment DefaultAlignment(TFieldType type)
{
    return IsNumericType(type) ? taRightJustify : taLeftJustify;
}

int DefaultDisplayWidth(TFieldType type, int size)
{
    switch (type) {
    case ftString:
    case ftWideString:
    case ftFixedChar:
    case ftGuid:
        return size > 0 ? size : 20;
    case ftSmallint:
        return 6;
    case ftInteger:
    case ftAutoInc:
        return 11;
    case ftWord:
        return 5;
    case ftLargeint:
        return 15;
    case ftBoolean:
        return 5;
    case ftDate:
        return 10;
    case ftTime:
        return 8;
    case ftDateTime:
    case ftTimeStamp:
        return 18;
    default:
        return 10;
    }
}

} // namespace

TDbField::TDbField(TDbQuery *dataSet, int index, const QString &fieldName, TFieldType dataType, int size)
    : FDataSet(dataSet), FIndex(index), FFieldName(fieldName), FDataType(dataType), FSize(size),
      FAlignment(DefaultAlignment(dataType)), FCurrency(dataType == ftCurrency)
{
}

TDbField::~TDbField()
{
    const auto listeners = FFreeNotifications;
    for (const auto &entry : listeners)
        entry.second(this);
}

void TDbField::SetOrigin(const QString &origin, bool isKey)
{
    FOrigin = origin;
    FIsKey = isKey;
}

QString TDbField::DisplayName() const
{
    return FDisplayLabel.isEmpty() ? FFieldName : FDisplayLabel;
}

int TDbField::DisplayWidth() const
{
    return FDisplayWidth >= 0 ? FDisplayWidth : DefaultDisplayWidth(FDataType, FSize);
}

void TDbField::LayoutChanged()
{
    if (FDataSet && FDataSet->Active())
        FDataSet->DataEvent(TDataEvent::LayoutChange, 0);
}

void TDbField::SetDisplayLabel(const QString &label)
{
    if (FDisplayLabel != label) {
        FDisplayLabel = label;
        LayoutChanged();
    }
}

void TDbField::SetDisplayWidth(int width)
{
    if (DisplayWidth() != width) {
        FDisplayWidth = width;
        LayoutChanged();
    }
}

void TDbField::SetAlignment(TAlignment alignment)
{
    if (FAlignment != alignment) {
        FAlignment = alignment;
        LayoutChanged();
    }
}

void TDbField::SetVisible(bool visible)
{
    if (FVisible != visible) {
        FVisible = visible;
        LayoutChanged();
    }
}

void TDbField::SetDisplayFormat(const QString &format)
{
    if (FDisplayFormat != format) {
        FDisplayFormat = format;
        LayoutChanged();
    }
}

void TDbField::SetEditFormat(const QString &format)
{
    FEditFormat = format;
}

void TDbField::SetEditMask(const QString &mask)
{
    if (FEditMask != mask) {
        FEditMask = mask;
        LayoutChanged(); // the display text of a string field follows the mask
    }
}

void TDbField::SetCurrency(bool currency)
{
    if (FCurrency != currency) {
        FCurrency = currency;
        LayoutChanged();
    }
}

bool TDbField::CanModify() const
{
    return !FReadOnly && !IsLookup() && FDataSet && FDataSet->CanModify();
}

void TDbField::SetLookup(const QString &keyFields, TDbQuery *lookupDataSet, const QString &lookupKeyFields,
                         const QString &lookupResultField)
{
    FIsLookup = true;
    FKeyFields = keyFields;
    FLookupDataSet = lookupDataSet;
    FLookupKeyFields = lookupKeyFields;
    FLookupResultField = lookupResultField;
}

Variant TDbField::Value() const
{
    if (IsLookup()) {
        // The key fields' values of this row, found in the lookup record set
        // without moving it; Null when a key is null or no row matches.
        if (!FDataSet || !FDataSet->Active() || !FLookupDataSet || !FLookupDataSet->Active())
            return Variant::null();
        const Variant keys = FDataSet->FieldValues(FKeyFields);
        if (keys.isNull())
            return Variant::null();
        if (keys.isArray())
            for (const Variant &key : keys.elements())
                if (key.isNull())
                    return Variant::null();
        return FLookupDataSet->Lookup(FLookupKeyFields, keys, FLookupResultField);
    }
    if (!FDataSet || !FDataSet->Active() || FDataSet->FieldCount() <= FIndex ||
        FDataSet->Fields(FIndex) != this)
        return Variant::null();
    return FDataSet->CurrentValue(FIndex);
}

bool TDbField::IsNull() const
{
    return Value().isNull();
}

void TDbField::SetValue(const Variant &value)
{
    if (!FDataSet)
        throw EDatabaseError("字段“" + FFieldName.toStdString() + "”没有所属的数据集。");
    if (!IsEditMode(FDataSet->State()))
        throw EDatabaseError("数据集不在编辑或插入状态。");
    if (FReadOnly || IsLookup())
        throw EDatabaseError("字段“" + FFieldName.toStdString() + "”不能修改。");
    FDataSet->SetCurrentValue(this, ConvertToField(value, FDataType, FSize, FFieldName));
}

QString TDbField::AsString() const
{
    const Variant value = Value();
    if (value.isNull())
        return {};
    if (FDataType == ftFloat || FDataType == ftFMTBcd)
        // Fifteen significant digits, as numbers are shown everywhere else: an
        // amount worked out as 316.76 + 0.03 reads "316.79", not its binary
        // remainder "316.78999999999996". Exports write exact values their own way.
        return FloatToText(value.toDouble(), 15);
    return value.toString();
}

QString TDbField::DisplayText() const
{
    QString text;
    const Variant value = Value();
    if (!value.isNull()) {
        if (IsDateType(FDataType) && !FDisplayFormat.isEmpty() && value.type() == VarType::Date)
            text = FormatDateTime(FDisplayFormat, value.toDate());
        else if (IsNumericType(FDataType) && !FDisplayFormat.isEmpty())
            text = FormatNumberPattern(FDisplayFormat, value.toDouble());
        else if (FCurrency && IsNumericType(FDataType))
            text = formatMoney(value.toDouble(), regionalSettings());
        else if (IsStringType(FDataType))
            text = FormatMaskText(FEditMask, AsString());
        else
            text = AsString();
    }
    if (OnGetText)
        OnGetText(const_cast<TDbField *>(this), text, true);
    return text;
}

QString TDbField::Text() const
{
    // The edit format shapes a number for editing; the text reads back to
    // the same value (SetText accepts the thousands separators it adds).
    QString text;
    if (IsNumericType(FDataType) && !FEditFormat.isEmpty() && !IsNull())
        text = FormatNumberPattern(FEditFormat, Value().toDouble());
    else
        text = AsString();
    if (OnGetText)
        OnGetText(const_cast<TDbField *>(this), text, false);
    return text;
}

Variant TDbField::ParseText(const QString &text) const
{
    if (IsStringType(FDataType))
        return Variant(text);
    // Empty text clears a number or a date: there is nothing to read.
    if (text.trimmed().isEmpty())
        return Variant::null();
    return Variant(text.trimmed());
}

void TDbField::SetText(const QString &text)
{
    if (OnSetText) {
        OnSetText(this, text);
        return;
    }
    SetValue(ParseText(text));
}

double TDbField::AsFloat() const
{
    const Variant value = Value();
    return value.isNull() ? 0.0 : value.toDouble();
}

std::int32_t TDbField::AsInteger() const
{
    const Variant value = Value();
    return value.isNull() ? 0 : value.toInt32();
}

std::int64_t TDbField::AsLargeInt() const
{
    const Variant value = Value();
    return value.isNull() ? 0 : value.toInt64();
}

double TDbField::AsDateTime() const
{
    const Variant value = Value();
    return value.isNull() ? 0.0 : value.toDate();
}

bool TDbField::AsBoolean() const
{
    const Variant value = Value();
    return value.isNull() ? false : value.toBool();
}

void TDbField::FocusControl()
{
    if (!FDataSet)
        return;
    TDbField *field = this;
    FDataSet->DataEvent(TDataEvent::FocusControl, reinterpret_cast<std::intptr_t>(&field));
}

int TDbField::AddFreeNotification(TFreeNotification listener)
{
    const int id = FNextListenerId++;
    FFreeNotifications.emplace(id, std::move(listener));
    return id;
}

void TDbField::RemoveFreeNotification(int id)
{
    FFreeNotifications.erase(id);
}

} // namespace kestrum
