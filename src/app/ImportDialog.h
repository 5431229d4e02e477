#pragma once
// The import dialog: the picked file as it will be read, with a combo box
// per column for what the column holds, the encoding and separator, the
// first records, what will be passed over, and the choices for records
// that do not come in; for a QIF file the order of day and month and whether
// opening balances and transfers between accounts come in. The logic is TImportPreview's; the dialog shows it
// and passes the user's picks on.
#include <QDialog>

#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace kestrum {

class TImportPreview;

class TImportDialog : public QDialog {
    Q_OBJECT
public:
    //! preview: not owned; changed as the user picks.
    explicit TImportDialog(TImportPreview &preview, QWidget *parent = nullptr);

    //! Reads the whole file again with the current choices, under a
    //! progress dialog, and shows what it found. Runs after every change.
    void Rescan();
    //! Test seam: how Rescan runs its scan (by default under a progress dialog).
    std::function<void(TImportPreview &preview)> RunScan;

    QLabel *FileLabel;
    QLabel *FormatLabel;
    QComboBox *EncodingCombo;
    QComboBox *SeparatorCombo;
    QComboBox *KindRuleCombo;
    QComboBox *DateOrderCombo; //!< QIF: automatic, month first, day first
    QLabel *ItemSourceLabel;
    QComboBox *ItemSourceCombo; //!< QIF: the field that gives the item (of those the file has)
    QLabel *NotesLabel; //!< how the file is read: encoding judged, dates either way, transfers left out
    QLabel *MappingLabel;
    QTableWidget *MappingTable; //!< one row: a role combo box under each column's name
    QTableWidget *PreviewTable;
    QLabel *SummaryLabel;
    QLabel *ProblemLabel;
    QTableWidget *SkippedTable; //!< the records that cannot be read: line and reason
    QLabel *DuplicatesLabel;
    //! The entries the ledger seems to hold: a check box each (unchecked: skipped), then line, kind,
    //! date, amount, item and remark.
    QTableWidget *DuplicatesTable;
    QCheckBox *SkipBadRowsCheck;
    QCheckBox *ImportDuplicatesCheck;
    QCheckBox *ImportTransfersCheck; //!< QIF: opening balances and transfers between accounts come in
    QPushButton *ImportButton;
    QPushButton *CancelButton;

    //! The role combo box of a column.
    QComboBox *MappingCombo(int column) const;

private:
    void fitMappingTable();
    void changed();
    void showSettings();
    void showMapping();
    void showRows();
    void showScan();
    void showDuplicates();

    TImportPreview &FPreview;
    bool FShowing = false;
};

} // namespace kestrum
