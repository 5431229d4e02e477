#include "data/DataControllerFilters.h"

#include "core/RegionalSettings.h"
#include "data/DataController.h"

namespace kestrum {

void TkvDataControllerFilters::SetCriteria(IkvFilterCriteria *criteria)
{
    FCriteria = criteria;
    if (FOwnedCriteria && FOwnedCriteria.get() != criteria)
        FOwnedCriteria.reset();
    FController.FilterChanged();
}

void TkvDataControllerFilters::AdoptCriteria(std::unique_ptr<IkvFilterCriteria> criteria)
{
    IkvFilterCriteria *filter = criteria.get();
    // The old criteria goes only once the new one is in place: while it is
    // destroyed it may still reach the controller.
    std::unique_ptr<IkvFilterCriteria> old = std::move(FOwnedCriteria);
    FOwnedCriteria = std::move(criteria);
    FCriteria = filter;
    old.reset();
    FController.FilterChanged();
}

void TkvDataControllerFilters::ReleaseCriteria()
{
    FCriteria = nullptr;
    FOwnedCriteria.reset();
}

void TkvDataControllerFilters::SetFindFilter(int itemIndex, const QString &text)
{
    if (itemIndex >= 0)
        FController.GetItemField(itemIndex);
    if (FFindFilterItemIndex == itemIndex && FFindFilterText == text)
        return;
    FFindFilterItemIndex = itemIndex;
    FFindFilterText = text;
    FController.FilterChanged();
}

bool TkvDataControllerFilters::IsRecordVisible(int recordIndex) const
{
    if (FFindFilterItemIndex >= 0 && !FFindFilterText.isEmpty() &&
        FFindFilterItemIndex < FController.ItemCount()) {
        const RegionalSettings &settings = regionalSettings();
        const QString text = FController.GetDisplayText(recordIndex, FFindFilterItemIndex);
        if (!settings.upper(text).startsWith(settings.upper(FFindFilterText)))
            return false;
    }
    IkvFilterCriteria &criteria = Criteria();
    return criteria.IsEmpty() || criteria.DoFilterRecord(recordIndex);
}

void TkvDataControllerFilters::FieldRemoving(TkvCustomDataField *field)
{
    if (FFindFilterItemIndex >= 0 && FController.GetItemField(FFindFilterItemIndex) == field)
        SetFindFilter(-1, QString());
    Criteria().FieldRemoving(field);
}

} // namespace kestrum
