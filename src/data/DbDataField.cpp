#include "data/DbDataField.h"

#include "data/DataStorage.h"
#include "data/ValueTypesBcdTime.h"
#include "data/ValueTypesHeld.h"
#include "db/DbField.h"
#include "db/DbQuery.h"

#include <QStringList>

namespace kestrum {

TkvValueTypeClass ValueTypeClassOfFieldType(TFieldType fieldType)
{
    switch (fieldType) {
    case ftString:
        return TkvStringValueType::Instance();
    case ftSmallint:
        return TkvSmallintValueType::Instance();
    case ftInteger:
    case ftAutoInc:
        return TkvIntegerValueType::Instance();
    case ftWord:
        return TkvWordValueType::Instance();
    case ftBoolean:
        return TkvBooleanValueType::Instance();
    case ftFloat:
        return TkvFloatValueType::Instance();
    case ftCurrency:
    case ftBCD:
        return TkvCurrencyValueType::Instance();
    case ftDate:
    case ftTime:
    case ftDateTime:
        return TkvDateTimeValueType::Instance();
    case ftWideString:
        return TkvWideStringValueType::Instance();
    case ftLargeint:
        return TkvLargeIntValueType::Instance();
    case ftFMTBcd:
        return TkvFMTBcdValueType::Instance();
    default:
        return TkvVariantValueType::Instance();
    }
}

bool IsBlobLikeFieldType(TFieldType fieldType)
{
    switch (fieldType) {
    case ftBlob:
    case ftMemo:
    case ftBytes:
    case ftVarBytes:
        return true;
    default:
        return false;
    }
}

bool FieldNeedsStoredText(const TDbField *field, bool ownerWantsText)
{
    if (field && (IsBlobLikeFieldType(field->DataType()) || field->DataType() == ftBoolean) &&
        !field->HasGetTextHandler() && field->EditMask().isEmpty())
        return ownerWantsText;
    return FieldNeedsStoredText(field);
}

bool FieldNeedsStoredText(const TDbField *field)
{
    if (!field)
        return false;
    if (field->HasGetTextHandler() || !field->EditMask().isEmpty())
        return true;
    switch (field->DataType()) {
    case ftSmallint:
    case ftInteger:
    case ftAutoInc:
    case ftWord:
    case ftLargeint:
        return !field->DisplayFormat().isEmpty() || !field->EditFormat().isEmpty();
    case ftFloat:
    case ftCurrency:
    case ftBCD:
    case ftFMTBcd:
        return !field->DisplayFormat().isEmpty() || !field->EditFormat().isEmpty() || field->Currency();
    case ftDate:
    case ftTime:
    case ftDateTime:
        return !field->DisplayFormat().isEmpty();
    default:
        return false;
    }
}

TkvDBDataField::TkvDBDataField(TkvCustomDataFieldList *fieldList, TkvDataItem item, bool isInternal)
    : TkvCustomDataField(fieldList, item, isInternal)
{
    SetValueTypeClass(TkvStringValueType::Instance());
}

TkvDBDataField::~TkvDBDataField()
{
    Unhook();
    if (FParentField)
        FParentField->RemoveSubField(this);
    for (TkvDBDataField *sub : FSubFields)
        sub->FParentField = nullptr;
}

void TkvDBDataField::AddSubField(TkvDBDataField *field)
{
    if (!field || field->FParentField == this)
        return;
    if (field->FParentField)
        field->FParentField->RemoveSubField(field);
    field->FParentField = this;
    FSubFields.push_back(field);
}

void TkvDBDataField::RemoveSubField(TkvDBDataField *field)
{
    if (std::erase(FSubFields, field))
        field->FParentField = nullptr;
}

QString TkvDBDataField::SubFieldNames() const
{
    QStringList names;
    for (const TkvDBDataField *sub : FSubFields)
        names.append(sub->FieldName());
    return names.join(';');
}

void TkvDBDataField::Unhook()
{
    if (FField && FFreeNotificationId)
        FField->RemoveFreeNotification(FFreeNotificationId);
    FFreeNotificationId = 0;
}

void TkvDBDataField::SetField(TDbField *field)
{
    SetField(field, false);
}

void TkvDBDataField::SetField(TDbField *field, bool ownerWantsText)
{
    if (field != FField) {
        Unhook();
        FField = field;
        if (FField)
            FFreeNotificationId = FField->AddFreeNotification([this](TDbField *) {
                // The record set dropped its field objects: unbind, re-bind later.
                FField = nullptr;
                FFreeNotificationId = 0;
                FFieldDestroyed = true;
            });
    }
    BeginReCreate();
    SetValueTypeClass(FField ? ValueTypeClassOfFieldType(FField->DataType())
                             : TkvStringValueType::Instance());
    SetTextStored(FieldNeedsStoredText(FField, ownerWantsText));
    EndReCreate();
}

TkvDBDataField *TkvValueDefDBReader::FieldOf(TkvValueDef *valueDef)
{
    return static_cast<TkvDBDataField *>(valueDef->Owner());
}

QString TkvValueDefDBReader::GetDisplayText(TkvValueDef *valueDef)
{
    TkvDBDataField *field = FieldOf(valueDef);
    return field && field->Field() ? field->Field()->DisplayText() : QString();
}

Variant TkvValueDefDBReader::GetValue(TkvValueDef *valueDef)
{
    TkvDBDataField *field = FieldOf(valueDef);
    return field && field->Field() ? field->Field()->Value() : Variant::null();
}

bool TkvValueDefDBReader::IsInternal(TkvValueDef *valueDef)
{
    // Internal fields bound to the record set (key parts, lookup keys) are
    // read with the row; the others (the row number) are the provider's.
    TkvDBDataField *field = FieldOf(valueDef);
    return field && field->IsInternal() && !field->Field();
}

bool TkvValueDefDBReader::ReadValueInto(TkvValueDef *valueDef, std::byte *buffer, TkvValueHeap &heap)
{
    TkvDBDataField *field = FieldOf(valueDef);
    if (!field || !field->Field() || field->Field()->DataSet() != FDataSet) {
        valueDef->SetValue(buffer, Variant::null(), heap);
        return true;
    }
    if (field->Field()->IsLookup()) {
        valueDef->SetValue(buffer, field->Field()->Value(), heap);
        return true;
    }
    // The record set's own cell, without copying it into a new variant.
    SetLoadedValue(*valueDef, buffer, FDataSet->CurrentValue(field->Field()->Index()), heap);
    return true;
}

} // namespace kestrum
