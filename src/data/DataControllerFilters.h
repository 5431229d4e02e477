#pragma once
// Which records make rows: the filter criteria (the caller's, or one the
// controller owns) and the find filter (rows whose item text begins with a
// prefix). A change of either filters the records again without reloading.
#include "data/FilterCriteriaInterface.h"

#include <QString>

#include <memory>

namespace kestrum {

class TkvCustomDataController;
class TkvCustomDataField;

class TkvDataControllerFilters {
public:
    explicit TkvDataControllerFilters(TkvCustomDataController &controller) : FController(controller) {}
    TkvDataControllerFilters(const TkvDataControllerFilters &) = delete;
    TkvDataControllerFilters &operator=(const TkvDataControllerFilters &) = delete;

    //! The filter criteria (one that keeps everything until one is assigned).
    IkvFilterCriteria &Criteria() const { return FCriteria ? *FCriteria : FEmptyCriteria; }
    //! Uses a criteria the caller keeps (null: none).
    void SetCriteria(IkvFilterCriteria *criteria);
    //! Takes a criteria over.
    void AdoptCriteria(std::unique_ptr<IkvFilterCriteria> criteria);
    //! Drops the criteria without filtering again (the controller is going).
    void ReleaseCriteria();

    //! The find filter: the item's display text must begin with the text
    //! (case ignored); item -1 or an empty text keep every record.
    void SetFindFilter(int itemIndex, const QString &text);
    int FindFilterItemIndex() const { return FFindFilterItemIndex; }
    const QString &FindFilterText() const { return FFindFilterText; }

    //! Whether the record passes the find filter and the criteria.
    bool IsRecordVisible(int recordIndex) const;
    //! A field goes away: a find filter on it ends, and the criteria drops
    //! its conditions on it.
    void FieldRemoving(TkvCustomDataField *field);

private:
    TkvCustomDataController &FController;
    IkvFilterCriteria *FCriteria = nullptr;
    std::unique_ptr<IkvFilterCriteria> FOwnedCriteria;
    mutable TkvEmptyFilterCriteria FEmptyCriteria;
    int FFindFilterItemIndex = -1;
    QString FFindFilterText;
};

} // namespace kestrum
