#pragma once
// The income page's grid over a ledger file: a query on `gain` behind a data
// source, a record-set table view with the amount, item and date columns,
// and the helpers the grid tests over a real file share.
#include "data/DbDataController.h"
#include "db/DbDataSource.h"
#include "db/DbField.h"
#include "db/DbQuery.h"
#include "support/DbTestSupport.h"
#include "grid/Grid.h"
#include "grid/GridColumn.h"
#include "grid/GridEditingController.h"
#include "grid/GridTableController.h"
#include "grid/GridTableView.h"
#include "grid/GridTableViewInfo.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QTest>

#include <string>

namespace kestrum::test {

class IncomeGridFixture : public LedgerFixture {
protected:
    void TearDown() override
    {
        if (Query.Active())
            Query.Close();
    }

    //! Builds the view over "select * from gain" and opens the query. The
    //! setup runs between loading and opening, for options a test wants set.
    template <typename Setup> void OpenGrid(QSize size, Setup &&setup)
    {
        Query.SetConnection(&FConnection);
        Query.AddSQL("select * from gain");
        Source.SetDataSet(&Query);
        View = Grid.CreateView<TkvGridDBTableView>();
        View->BeginLoading();
        Amount = View->CreateColumn("amount");
        Amount->DataBinding()->SetFieldName(QString::fromUtf8("本次进帐"));
        Item = View->CreateColumn("item");
        Item->DataBinding()->SetFieldName(QString::fromUtf8("进帐人"));
        Date = View->CreateColumn("date");
        Date->DataBinding()->SetFieldName(QString::fromUtf8("进帐时间"));
        setup();
        View->DBDataController()->SetDataSource(&Source);
        View->EndLoading();
        Grid.RootLevel().Add()->SetGridView(View);
        Grid.resize(size);
        View->SetBounds(QRect(QPoint(0, 0), size));
        Query.Open();
    }
    void OpenGrid(QSize size = QSize(800, 400))
    {
        OpenGrid(size, [] {});
    }

    //! Three incomes of July 2006, in this order: 100 工资 on the 5th, 20.5
    //! 红包 on the 6th and 7 奖金 on the 9th.
    void AddThreeIncomes()
    {
        AddGain(100, "2006-07-05", "工资");
        AddGain(20.5, "2006-07-06", "红包");
        AddGain(7, "2006-07-09", "奖金");
    }

    TkvGridTableController &Controller() const { return View->Controller(); }
    TkvGridEditingController &Editing() const { return View->Controller().EditingController(); }
    TkvCustomEdit *Editor() const { return Editing().Edit(); }
    //! The open editor's text, "<closed>" without one.
    std::string EditorText() const { return Editor() ? Editor()->DisplayText().toStdString() : "<closed>"; }
    int FocusedRow() const { return View->DataController().FocusedRowIndex(); }

    //! Types into the open editor as the keyboard does (non-ASCII as an input method delivers it).
    void Type(const QString &text)
    {
        for (QChar ch : text) {
            if (ch.unicode() < 128) {
                QTest::keyClick(Editor()->InnerWidget(), ch.toLatin1());
            } else {
                QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(ch));
                QCoreApplication::sendEvent(Editor()->InnerWidget(), &press);
            }
        }
    }
    void Press(Qt::Key key) { QTest::keyClick(Editor()->InnerWidget(), key); }

    //! A field of the record set's current row, as text.
    std::string FieldText(const char *name)
    {
        return Query.FieldByName(QString::fromUtf8(name))->AsString().toStdString();
    }
    //! The table's items (or another column) in id order, joined by ",".
    std::string StoredColumn(const char *column = "进帐人")
    {
        return RawValue(FPath, std::string("select group_concat(") + column + ", ',') from (select " +
                                   column + " from gain order by id)");
    }
    //! The laid-out text of a cell, "<none>" when the row is not laid out.
    std::string CellText(int rowIndex, TkvGridColumn *column) const
    {
        const TkvGridRowViewInfo *row = View->ViewInfo().FindRow(rowIndex);
        if (row)
            for (const TkvGridCellViewInfo &cell : View->ViewInfo().Cells(*row))
                if (cell.Item == column)
                    return cell.Text.toStdString();
        return "<none>";
    }

    TDbQuery Query;
    TDbDataSource Source;
    TkvGrid Grid;
    TkvGridDBTableView *View = nullptr;
    TkvGridDBColumn *Amount = nullptr;
    TkvGridDBColumn *Item = nullptr;
    TkvGridDBColumn *Date = nullptr;
};

} // namespace kestrum::test
