#pragma once
// The table view's columns as the filter dialogs see them: captions, field
// names, editor properties and value types of the columns, and the data
// controller's criteria with the columns' fields as its item links.
#include "filterdialogs/FilterLink.h"

namespace kestrum {

class TkvCustomEditProperties;
class TkvDataFilterCriteria;
class TkvGridColumn;
class TkvGridTableView;

class TkvGridFilterLink : public TkvFilterLink {
public:
    //! The view must have a data controller with a criteria (see HasCriteria).
    explicit TkvGridFilterLink(TkvGridTableView &view);
    ~TkvGridFilterLink() override;

    //! Whether the view's data controller owns a criteria to edit.
    static bool HasCriteria(const TkvGridTableView &view);

    int ItemCount() const override;
    QString ItemCaption(int index) const override;
    QString ItemFieldName(int index) const override;
    TkvCustomEditProperties *ItemProperties(int index) const override;
    TkvValueTypeClass ItemValueTypeClass(int index) const override;
    int ItemID(int index) const override;
    TkvFilterItemLink ItemLink(int index) const override;
    TkvFilterCriteria &Criteria() override;
    //! Shown columns whose editor kind and options allow filtering.
    bool IsItemOffered(int index) const override;
    //! The focused column.
    int CurrentItem() const override;

    TkvGridColumn *Column(int index) const;

private:
    TkvGridTableView &FView;
    TkvDataFilterCriteria &FCriteria;
};

} // namespace kestrum
