#include "filter/FilterValueList.h"

#include "core/RegionalSettings.h"
#include "core/VariantCompare.h"
#include "data/DataController.h"
#include "filter/DataFilterCriteria.h"

namespace kestrum {

int TkvFilterValueList::FirstValueIndex() const
{
    int index = 0;
    while (index < Count() && FItems[std::size_t(index)].Kind != vkValue)
        ++index;
    return index;
}

int TkvFilterValueList::CompareEntries(const TkvFilterValueItem &a, const TkvFilterValueItem &b) const
{
    if (FSortByDisplayText) {
        const RegionalSettings &settings = regionalSettings();
        if (FCriteria.Options().Contains(fcoCaseInsensitive))
            return settings.collate(settings.upper(a.DisplayText), settings.upper(b.DisplayText), false);
        return settings.collate(a.DisplayText, b.DisplayText, false);
    }
    return CompareVariants(FCriteria.PrepareValue(a.Value), FCriteria.PrepareValue(b.Value));
}

void TkvFilterValueList::Add(TkvFilterValueKind kind, const Variant &value, const QString &displayText)
{
    TkvFilterValueItem entry{kind, value, displayText};
    if (kind != vkValue) {
        FItems.insert(FItems.begin() + FirstValueIndex(), std::move(entry));
        return;
    }
    if (FCriteria.MaxValueListCount() > 0 && Count() >= FCriteria.MaxValueListCount())
        return;
    int low = FirstValueIndex();
    int high = Count() - 1;
    while (low <= high) {
        const int middle = (low + high) / 2;
        const int c = CompareEntries(FItems[std::size_t(middle)], entry);
        if (c == 0)
            return; // already listed
        if (c < 0)
            low = middle + 1;
        else
            high = middle - 1;
    }
    FItems.insert(FItems.begin() + low, std::move(entry));
}

int TkvFilterValueList::IndexOfKind(TkvFilterValueKind kind) const
{
    for (int i = 0; i < Count(); ++i)
        if (FItems[std::size_t(i)].Kind == kind)
            return i;
    return -1;
}

int TkvFilterValueList::GetIndexByCriteriaItem(const TkvFilterCriteriaItem *item) const
{
    if (!item)
        return -1;
    const TkvFilterOperatorCode code = item->OperatorKind();
    if (item->IsNull() && (code == ocEqual || code == ocNotEqual))
        return IndexOfKind(code == ocEqual ? vkBlanks : vkNonBlanks);
    if (item->Parent() != &FCriteria.Root() || code != ocEqual)
        return IndexOfKind(vkCustom);
    for (int i = FirstValueIndex(); i < Count(); ++i) {
        try {
            if (VariantsEqual(FItems[std::size_t(i)].Value, item->Value()))
                return i;
        } catch (const Exception &) {
            // a value of another kind is simply not this entry
        }
    }
    return IndexOfKind(vkAll);
}

TkvDataFilterValueList::TkvDataFilterValueList(TkvDataFilterCriteria &criteria)
    : TkvFilterValueList(criteria), FDataCriteria(criteria)
{
}

void TkvDataFilterValueList::Load(int itemIndex, bool sortByDisplayText)
{
    Clear();
    SetSortByDisplayText(sortByDisplayText);
    TkvCustomDataController &controller = FDataCriteria.DataController();
    Add(vkAll, Variant::null(), QString::fromUtf8("(全部)"));
    Add(vkCustom, Variant::null(), QString::fromUtf8("(用户定制搜索)"));
    const bool gridMode = controller.Provider().IsGridMode();
    bool blanks = false;
    if (!gridMode && itemIndex >= 0 && itemIndex < controller.ItemCount()) {
        const TkvCustomDataField *field = controller.GetItemField(itemIndex);
        for (int recordIndex = 0; recordIndex < controller.RecordCount(); ++recordIndex) {
            const Variant value = controller.GetFieldValue(recordIndex, field);
            if (FCriteria.IsNull(value)) {
                blanks = true;
                continue;
            }
            Add(vkValue, value, controller.GetFieldDisplayText(recordIndex, field));
        }
    }
    if (blanks || gridMode) {
        FItems.insert(FItems.begin() + 2,
                      TkvFilterValueItem{vkBlanks, Variant::null(), QString::fromUtf8("(为空)")});
        FItems.insert(FItems.begin() + 3,
                      TkvFilterValueItem{vkNonBlanks, Variant::null(), QString::fromUtf8("(不为空)")});
    }
    if (FDataCriteria.OnGetValueList)
        FDataCriteria.OnGetValueList(&FDataCriteria, itemIndex, *this);
}

} // namespace kestrum
