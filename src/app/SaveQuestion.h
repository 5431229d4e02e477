#pragma once
// The question asked before something would drop an entry that is being
// added or edited and has changes (reopening a page on another month,
// closing the window): save it, discard it, or stay.
#include <QObject>

#include <functional>
#include <vector>

class QWidget;

namespace kestrum {

class TDbQuery;

//! The record set is adding or editing an entry with changes. The bound
//! editors' pending text counts: it is collected into the record first.
bool HasPendingChanges(TDbQuery &query);

//! Asks about an entry with changes. Yes posts it (a refused post is shown
//! in the error box and the entry stays), No cancels it, Cancel leaves it.
//! Answers whether the caller may go on; without changes it goes on at once.
bool SettlePendingEntry(QWidget *parent, TDbQuery *query);

//! Watches a window's close: each settle step runs in turn, and the first
//! that answers "stay" keeps the window open.
class TPendingEntryCloseGuard : public QObject {
public:
    using TSettleStep = std::function<bool()>;
    TPendingEntryCloseGuard(QWidget *window, std::vector<TSettleStep> steps);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *FWindow;
    std::vector<TSettleStep> FSteps;
};

} // namespace kestrum
