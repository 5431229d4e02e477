#pragma once
// The navigator buttons bound to a record set through a data source: the
// enabling rule of each button follows the record set's state, and a click
// runs the record-set operation.
#include "db/Bookmark.h"
#include "db/DbDataLink.h"
#include "navigator/NavigatorButtons.h"
#include "navigator/NavigatorFilterDialog.h"

#include <QByteArray>
#include <QString>

class QWidget;

namespace kestrum {

class TDbDataSource;
class TDbQuery;
class TkvDBNavigatorButtons;

//! The navigator's link to its data source; it passes the notifications that
//! change the buttons' state to the buttons.
class TkvDBNavigatorDataLink : public TDbDataLink {
public:
    explicit TkvDBNavigatorDataLink(TkvDBNavigatorButtons &buttons) : FButtons(buttons) {}

protected:
    void ActiveChanged() override;
    void DataSetChanged() override;
    void EditingChanged() override;
    void RecordChanged(TDbField *) override {}
    void DataSetScrolled(int distance) override;

private:
    TkvDBNavigatorButtons &FButtons;
};

class TkvDBNavigatorButtons : public TkvCustomNavigatorButtons {
public:
    TkvDBNavigatorButtons();

    TDbDataSource *DataSource() const { return FDataLink.DataSource(); }
    void SetDataSource(TDbDataSource *source);
    TkvDBNavigatorDataLink &DataLink() { return FDataLink; }
    //! The record set when the link is active, else none.
    TDbQuery *ActiveDataSet() const;

    bool ConfirmDelete() const { return FConfirmDelete; }
    void SetConfirmDelete(bool value) { FConfirmDelete = value; }
    //! Rows moved by the page buttons; 0 uses the record set's buffer rows.
    int PageSize() const { return FPageSize; }
    void SetPageSize(int value);
    //! The page the page buttons move by.
    int EffectivePageSize() const;

    bool HasBookmark() const { return !FBookmark.IsNull(); }
    const TBookmark &Bookmark() const { return FBookmark; }
    const QByteArray &FilterCriteria() const { return FFilterCriteria; }

    //! Parent of the confirmation box and the filter builder.
    void SetDialogParent(QWidget *parent) { FDialogParent = parent; }

    //! Runs before the builder; set done to replace it.
    std::function<void(TkvDBNavigatorButtons *sender, bool &done)> OnShowFilterDialog;
    //! Applies the builder's filter text in place of the record-set filter.
    std::function<void(TkvDBNavigatorButtons *sender, const QString &filterText)> OnApplyFilter;
    //! The state of the buttons may have changed (the navigator repaints).
    std::function<void()> OnStateChanged;

    //! The filter builder the Filter button runs, for every navigator. None
    //! is installed at first: without one the button only runs
    //! OnShowFilterDialog.
    static void SetFilterDialog(TkvNavigatorFilterDialog dialog);

    // Called by the data link.
    void LinkActiveChanged();
    void LinkDataSetChanged();
    void LinkEditingChanged();

protected:
    bool IsActionEnabled(int index) const override;
    void DoButtonAction(int index) override;

private:
    void DeleteRecord(TDbQuery &dataSet);
    void ShowFilter(TDbQuery &dataSet);
    void ApplyFilterText(TDbQuery &dataSet, const QString &filterText);
    void NotifyStateChanged();

    TkvDBNavigatorDataLink FDataLink;
    bool FConfirmDelete = true;
    int FPageSize = 0;
    TBookmark FBookmark;
    QByteArray FFilterCriteria;
    QWidget *FDialogParent = nullptr;
};

} // namespace kestrum
