#pragma once
// Budget against actual spending per item for one month, as horizontal bars:
// the budget as a pale bar, the spending over it, red where it went past the
// budget; under them the month's total left to spend. It draws what
// TBudgetBook read (the same exact sums as the statistics).
#include "ledger/Budget.h"

#include <QString>
#include <QWidget>

namespace kestrum {

class TBudgetChart : public QWidget {
    Q_OBJECT
public:
    //! At most this many items get a bar; the largest budgets come first.
    static constexpr int MaxBars = 12;

    explicit TBudgetChart(QWidget *parent = nullptr);

    //! Reads the month from the ledger and draws it; a failure shows as a hint.
    void ShowMonth(TDbDriver *db, const TBudgetMonth &month);
    void ShowOverview(const TBudgetOverview &overview);
    //! No bars, only a line of text (a picker that names no month).
    void ShowHint(const QString &hint);

    //! The items with a bar, in drawing order, each as "餐饮 135.5/120!" (the
    //! "!" marks an item over its budget).
    QString BarsText() const;
    //! "本月还可花 ￥1,925.00", "本月超支 ￥75.00" or the hint.
    const QString &FooterText() const { return FFooter; }
    bool FooterOver() const { return FFooterOver; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString FTitle;
    QString FFooter;
    bool FFooterOver = false;
    std::vector<TBudgetLine> FBars;
};

} // namespace kestrum
