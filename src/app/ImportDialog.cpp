#include "app/ImportDialog.h"

#include "app/ImportPreview.h"
#include "core/Utf8.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTableWidget>
#include <QVBoxLayout>

namespace kestrum {

namespace {

QTableWidget *MakeTable(QWidget *parent, const QStringList &headers)
{
    auto *table = new QTableWidget(0, static_cast<int>(headers.size()), parent);
    table->setHorizontalHeaderLabels(headers);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionMode(QAbstractItemView::NoSelection);
    table->verticalHeader()->hide();
    table->verticalHeader()->setDefaultSectionSize(20);
    table->horizontalHeader()->setStretchLastSection(true);
    return table;
}

QTableWidgetItem *Cell(const QString &text)
{
    return new QTableWidgetItem(text);
}

} // namespace

TImportDialog::TImportDialog(TImportPreview &preview, QWidget *parent) : QDialog(parent), FPreview(preview)
{
    setWindowTitle(utf8("导入"));
    resize(820, 680); // room for the preview beside the list of likely duplicates

    FileLabel = new QLabel(QFileInfo(preview.Path()).fileName(), this);
    FileLabel->setToolTip(preview.Path());
    FormatLabel = new QLabel(this);

    EncodingCombo = new QComboBox(this);
    EncodingCombo->addItem(QStringLiteral("UTF-8"), int(ceUtf8));
    EncodingCombo->addItem(QStringLiteral("GB18030"), int(ceGb18030));
    EncodingCombo->addItem(QStringLiteral("UTF-16"), int(ceUtf16));
    SeparatorCombo = new QComboBox(this);
    SeparatorCombo->addItem(utf8("逗号"), int(','));
    SeparatorCombo->addItem(utf8("分号"), int(';'));
    SeparatorCombo->addItem(utf8("制表符"), int('\t'));
    KindRuleCombo = new QComboBox(this);
    KindRuleCombo->addItem(utf8("负数为支出"), int(ckBySign));
    KindRuleCombo->addItem(utf8("全部为收入"), int(ckAllIncome));
    KindRuleCombo->addItem(utf8("全部为支出"), int(ckAllExpense));
    DateOrderCombo = new QComboBox(this);
    DateOrderCombo->addItem(utf8("自动"), int(qdAuto));
    DateOrderCombo->addItem(utf8("月/日/年"), int(qdMonthFirst));
    DateOrderCombo->addItem(utf8("日/月/年"), int(qdDayFirst));
    NotesLabel = new QLabel(this);
    NotesLabel->setWordWrap(true);
    NotesLabel->setStyleSheet(QStringLiteral("color: #805000"));

    MappingTable = new QTableWidget(1, 0, this);
    MappingTable->verticalHeader()->hide();
    MappingTable->setSelectionMode(QAbstractItemView::NoSelection);
    MappingTable->verticalHeader()->setDefaultSectionSize(QComboBox().sizeHint().height() + 6);
    fitMappingTable();

    PreviewTable = MakeTable(this, {utf8("行"), utf8("收支"), utf8("日期"), utf8("金额"), utf8("项目"),
                                    utf8("备注"), utf8("问题")});
    SummaryLabel = new QLabel(this);
    SummaryLabel->setWordWrap(true);
    ProblemLabel = new QLabel(this);
    ProblemLabel->setWordWrap(true);
    ProblemLabel->setStyleSheet(QStringLiteral("color: #b00000"));
    SkippedTable = MakeTable(this, {utf8("行"), utf8("无法读取的原因")});
    SkippedTable->setMaximumHeight(110);
    DuplicatesLabel = new QLabel(utf8("账本中可能已有的纪录（默认跳过；勾选的仍将导入）:"), this);
    DuplicatesTable = MakeTable(this, {utf8("导入"), utf8("行"), utf8("收支"), utf8("日期"), utf8("金额"),
                                       utf8("项目"), utf8("备注")});
    DuplicatesTable->setMaximumHeight(150);

    ItemSourceLabel = new QLabel(utf8("项目取自:"), this);
    ItemSourceCombo = new QComboBox(this);

    SkipBadRowsCheck = new QCheckBox(utf8("跳过错误的行"), this);
    ImportDuplicatesCheck = new QCheckBox(utf8("导入重复的纪录"), this);
    ImportTransfersCheck = new QCheckBox(utf8("导入期初余额和账户间转账"), this);
    ImportButton = new QPushButton(utf8("导入"), this);
    ImportButton->setDefault(true);
    CancelButton = new QPushButton(utf8("取消"), this);

    auto *settings = new QHBoxLayout;
    settings->addWidget(new QLabel(utf8("编码:"), this));
    settings->addWidget(EncodingCombo);
    settings->addWidget(new QLabel(utf8("分隔符:"), this));
    settings->addWidget(SeparatorCombo);
    settings->addWidget(new QLabel(utf8("收支:"), this));
    settings->addWidget(KindRuleCombo);
    settings->addWidget(new QLabel(utf8("日期顺序:"), this));
    settings->addWidget(DateOrderCombo);
    settings->addWidget(ItemSourceLabel);
    settings->addWidget(ItemSourceCombo);
    settings->addStretch();
    auto *file = new QFormLayout;
    file->addRow(utf8("文件:"), FileLabel);
    file->addRow(utf8("格式:"), FormatLabel);
    auto *choices = new QHBoxLayout;
    choices->addWidget(SkipBadRowsCheck);
    choices->addWidget(ImportDuplicatesCheck);
    choices->addWidget(ImportTransfersCheck);
    choices->addStretch();
    choices->addWidget(ImportButton);
    choices->addWidget(CancelButton);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(file);
    layout->addLayout(settings);
    layout->addWidget(NotesLabel);
    MappingLabel = new QLabel(utf8("各列的内容:"), this);
    layout->addWidget(MappingLabel);
    layout->addWidget(MappingTable);
    layout->addWidget(new QLabel(utf8("将导入的纪录:"), this));
    layout->addWidget(PreviewTable, 1);
    layout->addWidget(SummaryLabel);
    layout->addWidget(ProblemLabel);
    layout->addWidget(SkippedTable);
    layout->addWidget(DuplicatesLabel);
    layout->addWidget(DuplicatesTable);
    layout->addLayout(choices);

    const auto picked = [this](QComboBox *combo, auto apply) {
        connect(combo, &QComboBox::currentIndexChanged, this, [this, combo, apply] {
            if (FShowing)
                return;
            apply(combo->currentData().toInt());
            changed();
        });
    };
    picked(EncodingCombo, [this](int value) { FPreview.SetEncoding(static_cast<TCsvEncoding>(value)); });
    picked(SeparatorCombo, [this](int value) { FPreview.SetSeparator(static_cast<char>(value)); });
    picked(KindRuleCombo, [this](int value) { FPreview.SetKindRule(static_cast<TCsvKindRule>(value)); });
    picked(DateOrderCombo, [this](int value) { FPreview.SetDateOrder(static_cast<TQifDateOrder>(value)); });
    picked(ItemSourceCombo,
           [this](int value) { FPreview.SetItemSource(static_cast<TQifItemSource>(value)); });
    connect(SkipBadRowsCheck, &QCheckBox::toggled, this, [this](bool on) {
        FPreview.SetSkipBadRows(on);
        showScan();
    });
    connect(ImportDuplicatesCheck, &QCheckBox::toggled, this, [this](bool on) {
        FPreview.SetImportDuplicates(on);
        showRows();
        showScan();
    });
    connect(DuplicatesTable, &QTableWidget::itemChanged, this, [this](QTableWidgetItem *item) {
        if (FShowing || item->column() != 0)
            return;
        FPreview.SetDuplicateKept(item->data(Qt::UserRole).toLongLong(), item->checkState() == Qt::Checked);
        showRows();
        showScan();
    });
    connect(ImportTransfersCheck, &QCheckBox::toggled, this, [this](bool on) {
        if (FShowing)
            return;
        FPreview.SetImportTransfers(on);
        changed();
    });
    connect(ImportButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);

    RunScan = [this](TImportPreview &scanned) {
        TImportScan scan;
        const auto makeSource = [&scanned] { return scanned.MakeSource(); };
        const QString ledger = scanned.LedgerPath();
        // The source is made on the worker from the preview's settings; the
        // dialog is blocked meanwhile, so nothing changes them under it.
        RunWithProgress(this, utf8("正在检查文件..."), [&](TJobProgress &progress) {
            scan = TImportPreview::ScanAll(makeSource, ledger, progress);
        });
        scanned.SetScan(std::move(scan));
    };

    SkipBadRowsCheck->setChecked(FPreview.SkipBadRows());
    ImportDuplicatesCheck->setChecked(FPreview.ImportDuplicates());
    showSettings();
    showMapping();
    showRows();
    showScan();
}

QComboBox *TImportDialog::MappingCombo(int column) const
{
    return qobject_cast<QComboBox *>(MappingTable->cellWidget(0, column));
}

void TImportDialog::Rescan()
{
    if (RunScan)
        RunScan(FPreview);
    showRows(); // rows the ledger holds already are marked
    showScan();
}

void TImportDialog::changed()
{
    showSettings();
    showMapping();
    showRows();
    showScan();
    Rescan();
}

void TImportDialog::showSettings()
{
    FShowing = true;
    FormatLabel->setText(FPreview.SourceDescription());
    const bool csv = FPreview.HasCsvSettings();
    const bool qif = FPreview.HasQifSettings();
    for (QComboBox *combo : {SeparatorCombo, KindRuleCombo})
        combo->setEnabled(csv);
    EncodingCombo->setEnabled(FPreview.HasEncodingChoice());
    DateOrderCombo->setEnabled(qif);
    ImportTransfersCheck->setVisible(FPreview.HasTransferChoice());
    MappingTable->setVisible(csv);
    MappingLabel->setVisible(csv);
    if (FPreview.HasEncodingChoice())
        EncodingCombo->setCurrentIndex(EncodingCombo->findData(int(FPreview.Encoding())));
    if (csv) {
        SeparatorCombo->setCurrentIndex(SeparatorCombo->findData(int(FPreview.Separator())));
        KindRuleCombo->setCurrentIndex(KindRuleCombo->findData(int(FPreview.KindRule())));
        KindRuleCombo->setEnabled(FPreview.KindRuleApplies());
    }
    if (qif) {
        DateOrderCombo->setCurrentIndex(DateOrderCombo->findData(int(FPreview.DateOrder())));
    }
    if (FPreview.HasTransferChoice())
        ImportTransfersCheck->setChecked(FPreview.ImportTransfers());
    if (FPreview.HasItemChoice()) {
        ItemSourceCombo->clear();
        for (const TQifItemSource source : FPreview.ItemChoices())
            ItemSourceCombo->addItem(TImportPreview::ItemSourceName(source, FPreview.Format()), int(source));
        ItemSourceCombo->setCurrentIndex(ItemSourceCombo->findData(int(FPreview.ItemSource())));
    }
    ItemSourceLabel->setVisible(FPreview.HasItemChoice());
    ItemSourceCombo->setVisible(FPreview.HasItemChoice());
    FShowing = false;
}

void TImportDialog::showMapping()
{
    FShowing = true;
    const int columns = FPreview.ColumnCount();
    MappingTable->setColumnCount(columns);
    QStringList headers;
    for (int column = 0; column < columns; ++column) {
        headers << FPreview.ColumnHeader(column);
        QComboBox *combo = MappingCombo(column);
        if (!combo) {
            combo = new QComboBox(MappingTable);
            for (TCsvColumnRole role : TImportPreview::RoleChoices())
                combo->addItem(CsvRoleCaption(role), int(role));
            MappingTable->setCellWidget(0, column, combo);
            connect(combo, &QComboBox::currentIndexChanged, this, [this, combo, column] {
                if (FShowing)
                    return;
                FPreview.SetColumnRole(column, static_cast<TCsvColumnRole>(combo->currentData().toInt()));
                changed();
            });
        }
        combo->setCurrentIndex(combo->findData(int(FPreview.ColumnRole(column))));
    }
    MappingTable->setHorizontalHeaderLabels(headers);
    fitMappingTable();
    FShowing = false;
}

//! One row of combo boxes, and room for the scroll bar that many columns need. Measured again once the
//! header holds names: without any its height is next to nothing, and the scroll bar took the row's place.
void TImportDialog::fitMappingTable()
{
    MappingTable->setFixedHeight(MappingTable->horizontalHeader()->sizeHint().height() +
                                 MappingTable->verticalHeader()->defaultSectionSize() +
                                 MappingTable->style()->pixelMetric(QStyle::PM_ScrollBarExtent) +
                                 2 * MappingTable->frameWidth() + 2);
}

void TImportDialog::showRows()
{
    const std::vector<TPreviewRow> &rows = FPreview.Rows();
    PreviewTable->setRowCount(static_cast<int>(rows.size()));
    for (int index = 0; index < static_cast<int>(rows.size()); ++index) {
        const TPreviewRow &row = rows[static_cast<std::size_t>(index)];
        const QStringList cells = {row.Line > 0 ? QString::number(row.Line) : QString(),
                                   row.Kind,
                                   row.Date,
                                   row.Amount,
                                   row.Item,
                                   row.Remark,
                                   FPreview.RowNote(row)};
        const bool grey = FPreview.IsDuplicate(row) || row.LeftOut;
        for (int column = 0; column < cells.size(); ++column) {
            QTableWidgetItem *item = Cell(cells[column]);
            if (column == 3)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            if (!row.Problem.isEmpty())
                item->setForeground(QColor(0xb0, 0, 0));
            else if (grey)
                item->setForeground(QColor(0x80, 0x80, 0x80));
            PreviewTable->setItem(index, column, item);
        }
    }
    PreviewTable->resizeColumnsToContents();
    // Sizing to the contents stops the last column from filling the rest.
    PreviewTable->horizontalHeader()->setStretchLastSection(false);
    PreviewTable->horizontalHeader()->setStretchLastSection(true);
}

void TImportDialog::showScan()
{
    const QStringList notes = FPreview.Notes();
    NotesLabel->setText(notes.join(QLatin1Char('\n')));
    NotesLabel->setVisible(!notes.isEmpty());
    SummaryLabel->setText(FPreview.Summary());
    const QString blocker = FPreview.ImportBlocker();
    ProblemLabel->setText(blocker);
    ProblemLabel->setVisible(!blocker.isEmpty());
    ImportButton->setEnabled(blocker.isEmpty());

    const TImportScan &scan = FPreview.Scan();
    SkippedTable->setRowCount(static_cast<int>(scan.BadRecords.size()));
    for (int index = 0; index < static_cast<int>(scan.BadRecords.size()); ++index) {
        const TBadRecord &bad = scan.BadRecords[static_cast<std::size_t>(index)];
        SkippedTable->setItem(index, 0, Cell(QString::number(bad.Line)));
        SkippedTable->setItem(index, 1, Cell(bad.Reason));
    }
    SkippedTable->setVisible(!scan.BadRecords.empty());
    showDuplicates();
}

void TImportDialog::showDuplicates()
{
    FShowing = true;
    const std::vector<TFoundDuplicate> &found = FPreview.DuplicateEntries();
    DuplicatesTable->setRowCount(static_cast<int>(found.size()));
    const bool all = FPreview.ImportDuplicates();
    for (int index = 0; index < static_cast<int>(found.size()); ++index) {
        const TFoundDuplicate &duplicate = found[static_cast<std::size_t>(index)];
        const TPreviewRow row = PreviewRowOf(duplicate.Entry);
        auto *check = new QTableWidgetItem;
        check->setData(Qt::UserRole, QVariant::fromValue<qlonglong>(duplicate.Ordinal));
        // "导入重复的纪录" takes them all; one by one only without it.
        check->setFlags(all ? Qt::ItemIsUserCheckable : Qt::ItemIsUserCheckable | Qt::ItemIsEnabled);
        check->setCheckState(FPreview.IsDuplicateKept(duplicate.Ordinal) ? Qt::Checked : Qt::Unchecked);
        DuplicatesTable->setItem(index, 0, check);
        const QStringList cells = {row.Line > 0 ? QString::number(row.Line) : QString(),
                                   row.Kind,
                                   row.Date,
                                   row.Amount,
                                   row.Item,
                                   row.Remark};
        for (int column = 0; column < cells.size(); ++column) {
            QTableWidgetItem *item = Cell(cells[column]);
            if (column == 3)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            DuplicatesTable->setItem(index, column + 1, item);
        }
    }
    DuplicatesTable->resizeColumnsToContents();
    DuplicatesTable->horizontalHeader()->setStretchLastSection(false);
    DuplicatesTable->horizontalHeader()->setStretchLastSection(true);
    DuplicatesLabel->setVisible(!found.empty());
    DuplicatesTable->setVisible(!found.empty());
    FShowing = false;
}

} // namespace kestrum
