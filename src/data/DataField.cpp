#include "data/DataField.h"

#include "data/DataStorage.h"
#include "data/ValueTypesHeld.h"

#include <algorithm>

namespace kestrum {

// ---------------------------------------------------------------------------
// TkvCustomDataField

TkvCustomDataField::TkvCustomDataField(TkvCustomDataFieldList *fieldList, TkvDataItem item, bool isInternal)
    : FFieldList(fieldList), FItem(item), FIsInternal(isInternal),
      FValueTypeClass(TkvVariantValueType::Instance())
{
    CreateValueDef();
}

TkvCustomDataField::~TkvCustomDataField()
{
    FreeValueDef();
}

int TkvCustomDataField::ItemIndex() const
{
    if (FIsInternal)
        return -1;
    return FFieldList->IndexOf(this);
}

int TkvCustomDataField::Index() const
{
    return FFieldList->IndexOf(this);
}

const TkvCustomDataField *TkvCustomDataField::StorageField() const
{
    const TkvCustomDataField *field = this;
    // A chain never loops: SetReferenceField refuses a reference back to itself.
    while (field->FReferenceField)
        field = field->FReferenceField;
    return field;
}

TkvCustomDataField *TkvCustomDataField::StorageField()
{
    return const_cast<TkvCustomDataField *>(std::as_const(*this).StorageField());
}

TkvValueTypeClass TkvCustomDataField::ValueTypeClass() const
{
    return StorageField()->FValueTypeClass;
}

void TkvCustomDataField::SetValueTypeClass(TkvValueTypeClass value)
{
    if (!value)
        value = TkvVariantValueType::Instance();
    if (FValueTypeClass == value)
        return;
    FValueTypeClass = value;
    if (!FReferenceField)
        ReCreateValueDef();
}

bool TkvCustomDataField::TextStored() const
{
    return StorageField()->FTextStored;
}

void TkvCustomDataField::SetTextStored(bool value)
{
    if (FTextStored == value)
        return;
    FTextStored = value;
    if (!FReferenceField)
        ReCreateValueDef();
}

void TkvCustomDataField::SetReferenceField(TkvCustomDataField *field)
{
    if (field == this || FReferenceField == field)
        return;
    if (field && field->StorageField() == this)
        return; // would close a loop
    FReferenceField = field;
    if (field)
        FreeValueDef();
    else
        CreateValueDef();
}

TkvValueDef *TkvCustomDataField::ValueDef() const
{
    return StorageField()->FValueDef;
}

void TkvCustomDataField::BeginReCreate()
{
    ++FReCreateLock;
}

void TkvCustomDataField::EndReCreate()
{
    if (--FReCreateLock == 0 && FReCreatePending) {
        FReCreatePending = false;
        ReCreateValueDef();
    }
}

void TkvCustomDataField::ReCreateValueDef()
{
    if (FReCreateLock > 0) {
        FReCreatePending = true;
        return;
    }
    if (FReferenceField)
        return;
    FreeValueDef();
    CreateValueDef();
}

void TkvCustomDataField::CreateValueDef()
{
    if (FValueDef || FReferenceField || !FFieldList || !FFieldList->Storage())
        return;
    FValueDef = FFieldList->Storage()->ValueDefs().Add(FValueTypeClass, FIsInternal, this, FTextStored);
}

void TkvCustomDataField::FreeValueDef()
{
    if (!FValueDef)
        return;
    TkvValueDef *def = FValueDef;
    FValueDef = nullptr;
    if (FFieldList && FFieldList->Storage())
        FFieldList->Storage()->ValueDefs().Remove(def);
}

// ---------------------------------------------------------------------------
// TkvCustomDataFieldList

TkvCustomDataFieldList::TkvCustomDataFieldList(TkvDataStorage *storage) : FStorage(storage)
{
}

TkvCustomDataFieldList::~TkvCustomDataFieldList()
{
    Clear();
}

TkvCustomDataField *TkvCustomDataFieldList::FieldByItem(TkvDataItem item) const
{
    if (!item)
        return nullptr;
    for (int i = 0; i < FItemCount; ++i)
        if (Items(i)->Item() == item)
            return Items(i);
    return nullptr;
}

int TkvCustomDataFieldList::IndexOf(const TkvCustomDataField *field) const
{
    for (int i = 0; i < Count(); ++i)
        if (Items(i) == field)
            return i;
    return -1;
}

TkvCustomDataField *TkvCustomDataFieldList::Add(std::unique_ptr<TkvCustomDataField> field)
{
    TkvCustomDataField *result = field.get();
    if (field->IsInternal()) {
        FItems.push_back(std::move(field));
    } else {
        FItems.insert(FItems.begin() + FItemCount, std::move(field));
        ++FItemCount;
    }
    return result;
}

void TkvCustomDataFieldList::Remove(TkvCustomDataField *field)
{
    const int index = IndexOf(field);
    if (index < 0)
        return;
    // Fields that shared this one's column: the first takes the column over.
    TkvCustomDataField *heir = nullptr;
    for (auto &item : FItems) {
        if (item.get() == field || item->FReferenceField != field)
            continue;
        if (!heir) {
            heir = item.get();
            heir->FReferenceField = field->FReferenceField;
            if (!heir->FReferenceField) {
                heir->FValueTypeClass = field->FValueTypeClass;
                heir->FTextStored = field->FTextStored;
                heir->FValueDef = field->FValueDef;
                if (heir->FValueDef)
                    heir->FValueDef->SetLinkObject(heir);
                field->FValueDef = nullptr;
            }
        } else {
            item->FReferenceField = heir;
        }
    }
    std::unique_ptr<TkvCustomDataField> owned = std::move(FItems[std::size_t(index)]);
    FItems.erase(FItems.begin() + index);
    if (!owned->IsInternal())
        --FItemCount;
    owned.reset();
}

void TkvCustomDataFieldList::Clear()
{
    // Referencing fields first, so that no column changes hands on the way.
    for (auto &item : FItems)
        item->FReferenceField = nullptr;
    while (!FItems.empty()) {
        FItems.pop_back();
    }
    FItemCount = 0;
}

void TkvCustomDataFieldList::ReorderItems(const std::vector<TkvDataItem> &items)
{
    std::vector<std::unique_ptr<TkvCustomDataField>> ordered;
    ordered.reserve(FItems.size());
    for (TkvDataItem item : items) {
        for (int i = 0; i < FItemCount; ++i) {
            if (FItems[std::size_t(i)] && FItems[std::size_t(i)]->Item() == item) {
                ordered.push_back(std::move(FItems[std::size_t(i)]));
                break;
            }
        }
    }
    for (int i = 0; i < FItemCount; ++i)
        if (FItems[std::size_t(i)])
            ordered.push_back(std::move(FItems[std::size_t(i)]));
    for (std::size_t i = std::size_t(FItemCount); i < FItems.size(); ++i)
        ordered.push_back(std::move(FItems[i]));
    FItems = std::move(ordered);
}

} // namespace kestrum
