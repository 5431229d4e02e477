#pragma once
// The income and the expense page: one class, built from a description that
// holds what differs between the two (component names, captions, fields, tab
// order, the month statement). From top to bottom: the entry box with the
// four bound editors, the month picker and the navigator; a splitter; the
// list box with the grid of all entries, its footer total and group totals.
#include <QString>
#include <QWidget>

#include <array>

class QComboBox;
class QDate;
class QLabel;
class QLineEdit;
class QPushButton;
class QSplitter;

namespace kestrum {

class TDbDataSource;
class TDbQuery;
class TImageList;
class TPqGroupBox;
class TkvDBCalcEdit;
class TkvDBDateEdit;
class TkvDBMemo;
class TkvDBNavigator;
class TkvDBTextEdit;
class TkvGrid;
class TkvGridDBColumn;
class TkvGridDBTableView;
class TkvGridLevel;

//! Which editor comes first in the entry box's tab order.
enum class TEntryTabOrder { DateFirst, AmountFirst };

//! The component names of one page, as the window names them.
struct TEntryPageNames {
    const char *EntryBox, *AmountLabel, *AmountEdit, *DateLabel, *DateEdit, *ItemLabel, *ItemEdit,
        *RemarkLabel, *RemarkMemo, *ShowButton, *YearEdit, *YearLabel, *MonthCombo, *MonthLabel, *NoteLabel,
        *Navigator, *ListBox, *Grid, *Level, *View;
    std::array<const char *, 4> Columns; //!< amount, item, date, remark
};

struct TEntryPageDescription {
    TEntryPageNames Names;
    const char *EntryCaption, *ListCaption;
    const char *DateCaption, *ItemCaption; //!< the date and item labels
    const char *AmountField, *DateField, *ItemField, *RemarkField;
    const char *ItemColumnCaption;
    int ItemColumnWidth;
    int NoteLabelLeft;
    int NavigatorWidth;
    TEntryTabOrder TabOrder;
    //! The month statement: year in ":b", month in ":c".
    const char *MonthStatement;
};

const TEntryPageDescription &IncomePageDescription();
const TEntryPageDescription &ExpensePageDescription();

class TEntryPage : public QWidget {
    Q_OBJECT
public:
    //! source: the page's data source (its record set is the page's);
    //! images: the window's image list, for the navigator's cancel button.
    TEntryPage(const TEntryPageDescription &description, TDbDataSource &source, TImageList *images,
               QWidget *parent = nullptr);
    ~TEntryPage() override;

    const TEntryPageDescription &Description() const { return FDescription; }
    TDbDataSource &DataSource() const { return FSource; }
    TDbQuery *DataSet() const;

    //! Shows the month picked in the year edit and month list: asks first
    //! about an entry with changes, then reopens the record set on the month
    //! statement; a failure is shown in the error box and leaves it closed.
    void ShowMonth();
    //! The line "本月已花 ... / 预算 ..." of today's month: shown while the
    //! month has an expense budget, red once it is exceeded; hidden otherwise.
    void ShowBudgetLine(const QDate &today);
    //! Before something drops the entry being added or edited: when it has
    //! changes, asks whether to save it. Answers whether to go on.
    bool SettlePendingEntry();

    TPqGroupBox *EntryBox;
    QLabel *AmountLabel;
    TkvDBCalcEdit *AmountEdit;
    QLabel *DateLabel;
    TkvDBDateEdit *DateEdit;
    QLabel *ItemLabel;
    TkvDBTextEdit *ItemEdit;
    QLabel *RemarkLabel;
    TkvDBMemo *RemarkMemo;
    QPushButton *ShowButton;
    QLineEdit *YearEdit;
    QLabel *YearLabel;
    QComboBox *MonthCombo;
    QLabel *MonthLabel;
    QLabel *NoteLabel;
    QLabel *BudgetLabel; //!< this month's spent / budget
    TkvDBNavigator *Navigator;
    QSplitter *Splitter;
    TPqGroupBox *ListBox;
    TkvGrid *Grid;
    TkvGridLevel *Level;
    TkvGridDBTableView *View;
    std::array<TkvGridDBColumn *, 4> Columns; //!< amount, item, date, remark

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createEntryBox(TImageList *images);
    void createNavigator(TImageList *images);
    void createListBox();
    void arrangeTabOrder();
    //! After a post: the list follows the saved entry.
    void EntrySaved(TDbQuery &dataSet);
    //! The editors and the navigator act on the grid's focused row: when the
    //! filter hides the record set's current entry (no row is focused), the
    //! editors let go of it (they show nothing and take no input) and it
    //! cannot be deleted; they take it again once a row is focused.
    void FollowGridFocus();
    bool IsEntryHiddenByGrid() const;

    const TEntryPageDescription &FDescription;
    QWidget *FGridWidget = nullptr;
    TDbDataSource &FSource;
    bool FEntryHidden = false;
};

} // namespace kestrum
