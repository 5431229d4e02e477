#pragma once
// The ledger's main window: the page control with the income, expense and
// statistics pages (and a settings page whose tab stays hidden), the main
// menu, and the image list shared by tabs, menu and navigators. Showing it
// opens the maker's page and sets the month pickers to today; closing opens
// one of the maker's pages depending on the day of the month.
#include "ui/ImageList.h"

#include <QDate>
#include <QMainWindow>

#include <functional>
#include <memory>
#include <vector>

class QAction;
class QComboBox;
class QMenu;

namespace kestrum {

class TForm2;
class TLedgerData;
class TPqPageControl;
class TPqTabSheet;
class TShell;
class TStatisticsPage;
class TUndoCommands;

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    //! data: the data components the pages work on; shell: opens web pages.
    //! Neither is owned.
    TForm1(TLedgerData &data, TShell &shell, QWidget *parent = nullptr);
    ~TForm1() override;

    TLedgerData &Data() const { return FData; }
    //! One step per entry page that settles its pending entry (asks to save
    //! or discard it); a step answering false means the user stays with it.
    //! Run before anything closes or reloads the record sets.
    std::vector<std::function<bool()>> SettleSteps() const;

    //! Today's local date; tests pin it.
    void SetClock(std::function<QDate()> today) { FToday = std::move(today); }
    QDate Today() const { return FToday(); }
    //! The about box that the menu shows (created hidden at start-up).
    void SetAboutBox(TForm2 *aboutBox) { FAboutBox = aboutBox; }
    TForm2 *AboutBox() const { return FAboutBox; }

    TImageList ImageList1{16, 16};
    TPqPageControl *PqPageControl1;
    TPqTabSheet *TabSheet2; //!< income entry and list
    TPqTabSheet *TabSheet1; //!< expense entry and list
    TPqTabSheet *TabSheet3; //!< statistics
    TPqTabSheet *TabSheet4; //!< settings, tab hidden
    TStatisticsPage *StatisticsPage;

    // The entry pages fill TabSheet2 and TabSheet1; their month pickers are set
    // to the current month when the window is shown.
    QWidget *IncomePage = nullptr;
    QWidget *ExpensePage = nullptr;
    QComboBox *ComboBox5 = nullptr; //!< income page's month picker
    QComboBox *ComboBox4 = nullptr; //!< expense page's month picker

    QMenu *N1, *N4, *N6;
    QAction *N3, *N2, *N8, *N9, *N5, *N7;
    TUndoCommands *UndoCommands = nullptr; //!< "撤销" and "重做" in N1

    void FormShow();
    void FormClose();
    void N3Click();
    void N2Click();
    void N9Click();
    void N5Click();
    void N7Click();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void createPages();
    void createEntryPages();
    void createMenu();
    //! Runs a menu handler; an exception is shown in the error box.
    void guarded(const std::function<void()> &handler);
    //! Asks the shell to open page; returns false when it failed.
    bool openPage(const QString &page);

    TLedgerData &FData;
    TShell &FShell;
    TForm2 *FAboutBox = nullptr;
    std::function<QDate()> FToday;
    int FLedgerChangedListener = 0;
};

} // namespace kestrum
