#pragma once
// A filter link over a controller without a record set: the amount (a
// calculator edit over reals), the date (a date edit) and the item (a mask
// edit over text), with the column IDs a grid would give them, and a few
// records to filter.
#include "editors/CalcEdit.h"
#include "editors/DateEditProperties.h"
#include "editors/MaskEditProperties.h"
#include "filter/FilterFixture.h"
#include "filterdialogs/FilterLink.h"

namespace kestrum::testing_filter {

class TestFilterLink : public TkvFilterLink {
public:
    explicit TestFilterLink(TkvDataFilterCriteria &criteria) : FCriteria(criteria) {}
    int ItemCount() const override { return FItemCount; }
    QString ItemCaption(int index) const override { return FCriteria.ItemCaption(ItemLink(index)); }
    QString ItemFieldName(int index) const override { return FCriteria.ItemFieldName(ItemLink(index)); }
    TkvCustomEditProperties *ItemProperties(int index) const override
    {
        return index == 0   ? static_cast<TkvCustomEditProperties *>(&FAmount)
               : index == 1 ? static_cast<TkvCustomEditProperties *>(&FDate)
                            : &FItem;
    }
    TkvValueTypeClass ItemValueTypeClass(int index) const override
    {
        return FCriteria.ItemField(index)->ValueTypeClass();
    }
    int ItemID(int index) const override { return FCriteria.ItemIDByItemLink(ItemLink(index)); }
    TkvFilterItemLink ItemLink(int index) const override { return FCriteria.ItemField(index); }
    TkvFilterCriteria &Criteria() override { return FCriteria; }

    int FItemCount = 3;

private:
    TkvDataFilterCriteria &FCriteria;
    mutable TkvCalcEditProperties FAmount;
    mutable TkvDateEditProperties FDate;
    mutable TkvMaskEditProperties FItem;
};

} // namespace kestrum::testing_filter
