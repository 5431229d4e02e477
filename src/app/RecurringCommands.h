#pragma once
// The window's part in recurring entries: the menu's "定期收支..." and the
// offer of what fell due, made when the window is first shown and again
// whenever the date changes (or another ledger is opened) while the program
// runs. "以后再说" waits for the next day; posting settles what the pages are
// editing first, writes the ticked entries as one action that one 撤销
// takes back, and the pages read their entries again.
#include <QDate>
#include <QObject>

#include <functional>

class QAction;
class QTimer;

namespace kestrum {

class TForm1;
class TRecurringDialog;
class TRecurringOfferList;

class TRecurringCommands : public QObject {
    Q_OBJECT
public:
    //! Adds "定期收支..." before the window's "退出" and starts watching the date.
    explicit TRecurringCommands(TForm1 &window);

    QAction *MenuAction;
    QTimer *DateTimer;  //!< looks at the date once a minute
    QTimer *RetryTimer; //!< looks again soon when another box was open

    void MenuClick();
    //! Offers what fell due unless it was offered today for this ledger.
    void CheckDate();
    //! Offers what fell due now; returns the number of entries posted.
    int OfferDue();

    // Where the user is asked; tests answer in the user's place.
    //! Shows the offer; answers whether the user pressed "入账".
    std::function<bool(TRecurringOfferList &offer)> ConfirmOffer;
    //! Shows the dialog of schedules until the user closes it.
    std::function<void(TRecurringDialog &dialog)> ShowDialog;
    //! Today's local date; the window's clock unless a test pins it.
    std::function<QDate()> Today;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    TForm1 &FWindow;
    QDate FCheckedOn;
    QString FCheckedLedger;
};

} // namespace kestrum
