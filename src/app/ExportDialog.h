#pragma once
// The export dialog: which entries go into the file, and in which layout. The choice lives in
// a TExportRange; the widgets only show it and pass the user's picks on.
#include "app/ExportRange.h"

#include <QDialog>

class QComboBox;
class QDateEdit;
class QLabel;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace kestrum {

class TExportDialog : public QDialog {
    Q_OBJECT
public:
    TExportDialog(const TExportRange &range, QWidget *parent = nullptr);

    const TExportRange &Range() const { return FRange; }

    QRadioButton *AllButton;
    QRadioButton *ThisMonthButton;
    QRadioButton *MonthButton;
    QRadioButton *RangeButton;
    QSpinBox *YearSpin;
    QComboBox *MonthCombo;
    QDateEdit *FromEdit;
    QDateEdit *ToEdit;
    QComboBox *FormatCombo; //!< the layout: the Chinese CSV, the English CSV or QIF
    QLabel *ProblemLabel;
    QPushButton *ExportButton;
    QPushButton *CancelButton;

private:
    //! Brings the widgets in line with the range.
    void sync();

    TExportRange FRange;
};

} // namespace kestrum
