#pragma once
// The data fields of a controller: one per item of the owner (a grid column),
// plus internal fields, each with its column in the storage.
#include "data/ValueTypes.h"

#include <memory>
#include <vector>

namespace kestrum {

class TkvCustomDataFieldList;
class TkvDataStorage;
class TkvValueDef;

//! The owner's object that a field serves (a grid column); opaque here.
using TkvDataItem = void *;

class TkvCustomDataField {
public:
    TkvCustomDataField(TkvCustomDataFieldList *fieldList, TkvDataItem item, bool isInternal);
    virtual ~TkvCustomDataField();
    TkvCustomDataField(const TkvCustomDataField &) = delete;
    TkvCustomDataField &operator=(const TkvCustomDataField &) = delete;

    TkvCustomDataFieldList *FieldList() const { return FFieldList; }
    TkvDataItem Item() const { return FItem; }
    bool IsInternal() const { return FIsInternal; }
    //! Position among the item fields (-1 for internal fields).
    int ItemIndex() const;
    //! Position in the whole list.
    int Index() const;

    //! The value type of the end of the reference chain.
    TkvValueTypeClass ValueTypeClass() const;
    void SetValueTypeClass(TkvValueTypeClass value);
    bool TextStored() const;
    void SetTextStored(bool value);

    //! A field whose values this one shares (two columns on one source field).
    TkvCustomDataField *ReferenceField() const { return FReferenceField; }
    void SetReferenceField(TkvCustomDataField *field);
    //! The end of the reference chain: the field that owns the storage column.
    const TkvCustomDataField *StorageField() const;
    TkvCustomDataField *StorageField();
    //! The storage column (of the end of the reference chain); null when none.
    TkvValueDef *ValueDef() const;

    //! Sorting compares this field's values as variants even for stored values.
    bool CompareByValue() const { return FCompareByValue; }
    void SetCompareByValue(bool value) { FCompareByValue = value; }

    //! Re-creates the storage column (after a type or text-storage change).
    void ReCreateValueDef();
    void BeginReCreate();
    void EndReCreate();

protected:
    friend class TkvCustomDataFieldList;
    void CreateValueDef();
    void FreeValueDef();

    TkvCustomDataFieldList *FFieldList;
    TkvDataItem FItem;
    bool FIsInternal;
    TkvValueTypeClass FValueTypeClass;
    bool FTextStored = false;
    TkvCustomDataField *FReferenceField = nullptr;
    TkvValueDef *FValueDef = nullptr;
    bool FCompareByValue = false;
    int FReCreateLock = 0;
    bool FReCreatePending = false;
};

//! The controller's fields: item fields first, in the owner's item order,
//! then internal fields.
class TkvCustomDataFieldList {
public:
    explicit TkvCustomDataFieldList(TkvDataStorage *storage);
    ~TkvCustomDataFieldList();
    TkvCustomDataFieldList(const TkvCustomDataFieldList &) = delete;
    TkvCustomDataFieldList &operator=(const TkvCustomDataFieldList &) = delete;

    TkvDataStorage *Storage() const { return FStorage; }
    int Count() const { return int(FItems.size()); }
    TkvCustomDataField *Items(int index) const { return FItems[std::size_t(index)].get(); }
    int ItemCount() const { return FItemCount; }
    //! The field of an item index (no range check).
    TkvCustomDataField *ItemFields(int itemIndex) const { return Items(itemIndex); }
    TkvCustomDataField *FieldByItem(TkvDataItem item) const;
    int IndexOf(const TkvCustomDataField *field) const;

    //! Adds a field made by the caller (item fields before internal ones).
    TkvCustomDataField *Add(std::unique_ptr<TkvCustomDataField> field);
    //! Destroys a field; fields that referenced it are re-pointed to the first
    //! of them, which takes over the storage column.
    void Remove(TkvCustomDataField *field);
    void Clear();
    //! Re-orders the item fields to follow `items`; unknown items are ignored.
    void ReorderItems(const std::vector<TkvDataItem> &items);

private:
    TkvDataStorage *FStorage;
    std::vector<std::unique_ptr<TkvCustomDataField>> FItems;
    int FItemCount = 0;
};

} // namespace kestrum
