#pragma once
// The statistics page: income, expense and surplus over all time, one month of
// a year, or one year, summed straight from the database through the
// statistics record set. The value labels are the only store of the totals.
// Beside the three boxes (under them on a narrow page), charts of the year and month the pickers name; they
// are summed through the same TLedgerTotals as the labels, on a record set of
// their own, and drawn again whenever the pickers or the ledger change.
#include "app/LedgerTotals.h"
#include "db/DbQuery.h"

#include <QString>
#include <QWidget>

#include <array>
#include <vector>

class QComboBox;
class QGridLayout;
class QLabel;
class QPushButton;
class QScrollArea;
class QTimer;

namespace kestrum {

class TBudgetChart;
class TPqGroupBox;
class TStatisticsCharts;

class TStatisticsPage : public QWidget {
    Q_OBJECT
public:
    //! query: the statistics record set (ADOQuery3); it may be closed and stays
    //! open on the last statement after each press.
    TStatisticsPage(TDbQuery *query, QWidget *parent = nullptr);
    ~TStatisticsPage() override;

    // All time
    TPqGroupBox *PqGroupBox6;
    QPushButton *Button3;
    QLabel *Label9, *l1, *Label10, *l2, *Label11, *l3;
    // One month
    TPqGroupBox *PqGroupBox7;
    QLabel *Label12, *Label13, *Label14;
    QComboBox *ComboBox1, *ComboBox2;
    QPushButton *Button1;
    QLabel *Label15, *m1, *Label16, *m2, *Label17, *m3;
    // One year
    TPqGroupBox *PqGroupBox5;
    QLabel *Label18, *Label19, *Label20;
    QComboBox *ComboBox3;
    QPushButton *Button2;
    QLabel *Label21, *y1, *Label22, *y2, *Label23, *y3;

    // The buttons' handlers; an error ends the handler at its step and is shown
    // in the error box, leaving labels not yet reached unchanged.
    void Button3Click();
    void Button1Click();
    void Button2Click();

    QScrollArea *ScrollArea;   //!< holds the boxes and the charts; scrolls when the page is short
    TStatisticsCharts *Charts; //!< bars of ComboBox3's year, donut of ComboBox1/ComboBox2's month
    TBudgetChart *BudgetChart; //!< budget against spending of ComboBox1/ComboBox2's month

    //! Entries were saved, deleted or otherwise written: the charts are summed
    //! again, soon when the page is on screen, else when it is next shown.
    //! Whatever writes to the ledger calls this (through the ledger data), and
    //! so does opening another ledger: then the value labels, which hold the
    //! totals of the ledger left behind, are emptied as at start.
    void LedgerChanged();
    //! Sums and draws the charts for the pickers' texts now. Never raises: a
    //! failure shows as a hint in the charts.
    void RefreshCharts();
    //! The charts wait for a refresh (the page is hidden, or a picker text is
    //! still being typed).
    bool ChartRefreshPending() const { return FChartsStale; }

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    //! Where the charts stand: beside the boxes or, on a narrow page, under them.
    enum class ChartPlace { Beside, Below };
    void placeCharts(ChartPlace place);

    //! What one button sums: two statements, the pickers bound in order to
    //! their parameters ("a", "b" for income, "c", "d" for expense) and the
    //! labels that receive income, expense and surplus.
    struct TSumBox {
        const char *IncomeStatement;
        const char *ExpenseStatement;
        std::vector<QComboBox *> Pickers;
        QLabel *Income, *Expense, *Surplus;
    };
    void calculate(const TSumBox &box);
    void runSum(const char *statement, const TSumBox &box, const char *const *names,
                const QString &resultField, QLabel *label);
    void scheduleChartRefresh();
    const TYearTotals &yearTotals(const QString &yearText);
    void chartMonthClicked(int month);

    //! The ledger (its connection string) the value labels were summed from.
    QString FLabelsLedger;
    QGridLayout *FContentLayout;
    ChartPlace FChartPlace = ChartPlace::Beside;
    TDbQuery *FQuery;
    TLedgerTotals FLabelTotals;
    std::array<TSumBox, 3> FBoxes; // Button3, Button1, Button2

    TDbQuery FChartQuery;
    TLedgerTotals FChartTotals{FChartQuery};
    std::vector<TYearTotals> FYearCache; // newest last; dropped when the ledger changes
    QTimer *FChartTimer;
    bool FChartsStale = true;
};

} // namespace kestrum
