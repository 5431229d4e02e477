#include "app/ImportPreview.h"

#include "app/ImportDryRun.h"
#include "core/Utf8.h"

#include "exchange/CsvColumns.h"
#include "exchange/ExchangeMessages.h"
#include "exchange/HomeBankReader.h"
#include "exchange/LedgerAmount.h"
#include "exchange/QifReader.h"
#include "exchange/TextEncoding.h"

#include <QFile>
#include <QTime>

#include <algorithm>

namespace kestrum {

namespace {

[[noreturn]] void Fail(const QString &message)
{
    throw EImportError(message.toStdString());
}

QString AmountText(const TForeignEntry &entry)
{
    std::string text;
    exchange::AppendLedgerAmount(text, entry.Exact ? *entry.Exact : double(entry.Cents) / 100.0);
    return QString::fromStdString(text);
}

TCsvEncoding CsvEncodingOf(exchange::TTextEncoding encoding)
{
    switch (encoding) {
    case exchange::teUtf8:
        return ceUtf8;
    case exchange::teGb18030:
        return ceGb18030;
    case exchange::teUtf16:
        return ceUtf16;
    }
    return ceAuto;
}

//! What the user should know of an encoding chosen by judging the text.
QString EncodingNote(const QByteArray &data)
{
    exchange::TEncodingGuess guess;
    try {
        guess = exchange::GuessEncoding(data);
    } catch (const EImportError &) {
        return QString(); // the reader says why
    }
    return exchange::EncodingGuessNote(guess);
}

//! What the user can pick instead of a file that is refused.
QString AcceptedFormats()
{
    return utf8("能导入的有：CSV文件（银行流水、支付宝和微信支付账单）、Excel表格（.xlsx）、QIF、OFX/QFX、"
                "HomeBank账本（.xhb）和旧版Access账本（.mdb）。");
}

} // namespace

TPreviewRow PreviewRowOf(const TForeignEntry &entry)
{
    TPreviewRow row;
    row.Line = entry.Line;
    row.Kind = entry.Kind == ekIncome ? utf8("收入") : utf8("支出");
    row.Date = entry.Date.toString(Qt::ISODate);
    if (entry.Seconds > 0)
        row.Date +=
            QLatin1Char(' ') + QTime(0, 0).addSecs(entry.Seconds).toString(QStringLiteral("HH:mm:ss"));
    row.Amount = entry.HasAmount ? AmountText(entry) : QString();
    row.Item = QString::fromStdString(entry.Item);
    row.Remark = QString::fromStdString(entry.Remark);
    return row;
}

TImportPreview::TImportPreview(const QString &path, int rowCount) : FPath(path), FRowCount(rowCount)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        Fail(utf8("无法打开文件“%1”：%2").arg(path, exchange::FileProblem(file, false)));
    const QByteArray head = file.read(4096);
    if (head.isEmpty())
        Fail(utf8("文件“%1”是空的，没有可以导入的纪录。").arg(path));
    FFormat = DetectForeignFormat(head, path);
    switch (FFormat) {
    case ffCsv:
    case ffQif:
    case ffHomeBank:
        FData = head + file.readAll();
        if (file.error() != QFileDevice::NoError)
            Fail(utf8("读取文件“%1”失败：%2").arg(path, exchange::FileProblem(file, false)));
        break;
    case ffAccess:
    case ffOfx:
    case ffXlsx:
        // An old Access ledger, a bank statement or a workbook: read through its own reader.
        break;
    case ffSqlite:
        Fail(utf8("“%1”是SQLite数据库文件，不是可以导入的文件。%2").arg(path, AcceptedFormats()));
    case ffUnknown:
        Fail(utf8("无法识别文件“%1”的格式。%2").arg(path, AcceptedFormats()));
    }
    if (FFormat == ffAccess || FFormat == ffOfx || FFormat == ffXlsx)
        MakeSource(); // a file that cannot be read is refused here, with its reason
    if (HasEncodingChoice())
        FEncodingNote = EncodingNote(FData);
    reload();
}

TImportPreview::~TImportPreview() = default;

void TImportPreview::reload()
{
    if (FFormat == ffCsv) {
        try {
            FCsv = PreviewCsv(FData, FCsv.Options, FRowCount);
        } catch (const EImportError &error) {
            // Bytes the picked encoding cannot read: said once, as the file's problem.
            TCsvPreview unread;
            unread.Options = FCsv.Options;
            unread.Problems << QString::fromUtf8(error.what());
            FCsv = std::move(unread);
        }
    }
    readRows();
    SetScan(TImportScan());
}

void TImportPreview::SetScan(TImportScan scan)
{
    FScan = std::move(scan);
    // Another reading of the file numbers its entries anew.
    FOptions.KeptDuplicates.clear();
}

bool TImportPreview::IsDuplicateKept(std::int64_t ordinal) const
{
    if (ImportDuplicates())
        return true;
    const std::vector<std::int64_t> &kept = FOptions.KeptDuplicates;
    return std::binary_search(kept.begin(), kept.end(), ordinal);
}

void TImportPreview::SetDuplicateKept(std::int64_t ordinal, bool keep)
{
    const bool listed =
        std::any_of(FScan.DuplicateEntries.begin(), FScan.DuplicateEntries.end(),
                    [ordinal](const TFoundDuplicate &found) { return found.Ordinal == ordinal; });
    std::vector<std::int64_t> &kept = FOptions.KeptDuplicates;
    const auto at = std::lower_bound(kept.begin(), kept.end(), ordinal);
    const bool held = at != kept.end() && *at == ordinal;
    if (keep && listed && !held)
        kept.insert(at, ordinal);
    else if (!keep && held)
        kept.erase(at);
}

int TImportPreview::DuplicatesKept() const
{
    return ImportDuplicates() ? FScan.Duplicates : static_cast<int>(FOptions.KeptDuplicates.size());
}

std::unique_ptr<TEntrySource> TImportPreview::MakeSource() const
{
    switch (FFormat) {
    case ffCsv:
        return std::make_unique<TCsvEntrySource>(FData, FCsv.Options);
    case ffQif:
        return std::make_unique<TQifEntrySource>(FData, FQif);
    case ffHomeBank:
        return std::make_unique<THomeBankEntrySource>(FData, FQif.Item);
    case ffAccess:
        try {
            return OpenEntrySource(FPath);
        } catch (const std::exception &error) {
            Fail(utf8("无法读取Access文件“%1”：%2").arg(FPath, QString::fromUtf8(error.what())));
        }
        break;
    case ffOfx:
    case ffXlsx:
        try {
            return OpenEntrySource(FPath);
        } catch (const std::exception &error) {
            Fail(QString::fromUtf8(error.what()));
        }
        break;
    case ffSqlite:
    case ffUnknown:
        break;
    }
    Fail(utf8("无法读取文件“%1”。").arg(FPath));
}

void TImportPreview::readRows()
{
    FRows.clear();
    FReadNotes.clear();
    FProblems = FFormat == ffCsv ? FCsv.Problems : QStringList();
    FDescription = ForeignFormatName(FFormat);
    try {
        std::unique_ptr<TEntrySource> source = MakeSource();
        FDescription = source->Description();
        if (FFormat == ffQif) {
            readQifRows(static_cast<TQifEntrySource &>(*source));
            return;
        }
        TForeignEntry entry;
        TBadRecord bad;
        while (static_cast<int>(FRows.size()) < FRowCount) {
            const TEntrySource::TStep step = source->Next(entry, bad);
            if (step == TEntrySource::esEnd)
                break;
            if (step == TEntrySource::esEntry) {
                FRows.push_back(PreviewRowOf(entry));
            } else {
                TPreviewRow row;
                row.Line = bad.Line;
                row.Problem = bad.Reason;
                FRows.push_back(row);
            }
        }
    } catch (const std::exception &error) {
        const QString message = QString::fromUtf8(error.what());
        if (!FProblems.contains(message))
            FProblems << message;
    }
}

//! As readRows, with the opening balances and transfers between accounts
//! listed where they stand, marked as left out or as coming in.
void TImportPreview::readQifRows(TQifEntrySource &source)
{
    FQifEncoding = source.Encoding().Encoding;
    FQifFields.clear();
    for (const TQifItemSource field : {qiCategory, qiPayee, qiMemo})
        if (source.HasField(field))
            FQifFields.push_back(field);
    if (const QString note = source.DateNote(); !note.isEmpty())
        FReadNotes << note;
    const auto transferRow = [](const TQifTransfer &transfer, bool imported) {
        TPreviewRow row = PreviewRowOf(transfer.Entry);
        row.Note = QifTransferText(transfer) + (imported ? utf8("，仍将导入") : utf8("，不导入"));
        row.LeftOut = !imported;
        return row;
    };
    const bool importing = ImportTransfers();
    std::size_t listed = 0; // the transfers already in the rows
    TForeignEntry entry;
    TBadRecord bad;
    while (static_cast<int>(FRows.size()) < FRowCount) {
        const TEntrySource::TStep step = source.Next(entry, bad);
        const std::vector<TQifTransfer> &transfers = source.Transfers();
        // Left-out transfers were passed on the way to this record.
        if (!importing)
            for (; listed < transfers.size(); ++listed)
                FRows.push_back(transferRow(transfers[listed], false));
        if (step == TEntrySource::esEnd)
            break;
        if (step == TEntrySource::esEntry) {
            if (importing && listed < transfers.size() && transfers.back().Entry.Line == entry.Line) {
                FRows.push_back(transferRow(transfers.back(), true));
                listed = transfers.size();
            } else {
                FRows.push_back(PreviewRowOf(entry));
            }
        } else {
            TPreviewRow row;
            row.Line = bad.Line;
            row.Problem = bad.Reason;
            FRows.push_back(row);
        }
    }
}

QStringList TImportPreview::Notes() const
{
    QStringList notes;
    if (!FEncodingNote.isEmpty() && Encoding() != ceUtf16)
        notes << FEncodingNote;
    for (const QString &note : FScan.Done ? FScan.Notes : FReadNotes)
        if (!notes.contains(note))
            notes << note;
    return notes;
}

TCsvEncoding TImportPreview::Encoding() const
{
    if (FFormat == ffQif)
        return FQif.Encoding ? CsvEncodingOf(*FQif.Encoding) : CsvEncodingOf(FQifEncoding);
    return FCsv.Options.Encoding;
}

void TImportPreview::SetDateOrder(TQifDateOrder order)
{
    if (FFormat != ffQif || order == FQif.DateOrder)
        return;
    FQif.DateOrder = order;
    reload();
}

bool TImportPreview::HasTransferChoice() const
{
    return FFormat == ffQif || (FFormat == ffCsv && exchange::AccountColumnOf(FCsv.Headers) >= 0);
}

bool TImportPreview::ImportTransfers() const
{
    return (FFormat == ffCsv ? FCsv.Options.Transfers : FQif.Transfers) == qtImport;
}

void TImportPreview::SetImportTransfers(bool import)
{
    if (!HasTransferChoice() || import == ImportTransfers())
        return;
    (FFormat == ffCsv ? FCsv.Options.Transfers : FQif.Transfers) = import ? qtImport : qtSkip;
    reload();
}

bool TImportPreview::HasItemChoice() const
{
    if (FFormat == ffCsv) {
        // A category or payee column beside no item column: the fields are arranged as QIF's.
        const QList<TCsvColumnRole> &mapping = FCsv.Options.Mapping;
        return !mapping.contains(crItem) && (mapping.contains(crCategory) || mapping.contains(crPayee));
    }
    return FFormat == ffQif || FFormat == ffHomeBank;
}

void TImportPreview::SetItemSource(TQifItemSource source)
{
    if (!HasItemChoice() || source == ItemSource())
        return;
    (FFormat == ffCsv ? FCsv.Options.Item : FQif.Item) = source;
    reload();
}

std::vector<TQifItemSource> TImportPreview::ItemChoices() const
{
    std::vector<TQifItemSource> choices;
    if (FFormat == ffCsv) {
        static constexpr TCsvColumnRole Roles[3] = {crCategory, crPayee, crRemark};
        for (const TQifItemSource field : {qiCategory, qiPayee, qiMemo})
            if (field == ItemSource() || FCsv.Options.Mapping.contains(Roles[field]))
                choices.push_back(field);
        return choices;
    }
    for (const TQifItemSource field : {qiCategory, qiPayee, qiMemo})
        if (FFormat == ffHomeBank || field == FQif.Item ||
            std::find(FQifFields.begin(), FQifFields.end(), field) != FQifFields.end())
            choices.push_back(field);
    return choices;
}

QString TImportPreview::ItemSourceName(TQifItemSource source, TForeignFormat format)
{
    if (source == qiMemo && format == ffHomeBank)
        return utf8("备注"); // HomeBank's memo is a note, not a description of goods
    switch (source) {
    case qiCategory:
        return utf8("类别");
    case qiPayee:
        return utf8("收付款人");
    case qiMemo:
        return utf8("商品说明");
    }
    return {};
}

QString TImportPreview::EncodingText() const
{
    switch (FCsv.Options.Encoding) {
    case ceUtf8:
        return FCsv.HasByteOrderMark ? utf8("UTF-8 (带BOM)") : QStringLiteral("UTF-8");
    case ceGb18030:
        return QStringLiteral("GB18030");
    case ceUtf16:
        return QStringLiteral("UTF-16");
    case ceAuto:
        break;
    }
    return utf8("自动");
}

QString TImportPreview::SeparatorText() const
{
    switch (FCsv.Options.Separator) {
    case ',':
        return utf8("逗号");
    case ';':
        return utf8("分号");
    case '\t':
        return utf8("制表符");
    default:
        return utf8("自动");
    }
}

void TImportPreview::SetEncoding(TCsvEncoding encoding)
{
    if (FFormat == ffQif && encoding != Encoding()) {
        switch (encoding) {
        case ceUtf8:
            FQif.Encoding = exchange::teUtf8;
            break;
        case ceGb18030:
            FQif.Encoding = exchange::teGb18030;
            break;
        case ceUtf16:
            FQif.Encoding = exchange::teUtf16;
            break;
        case ceAuto:
            FQif.Encoding.reset();
            break;
        }
        reload();
        return;
    }
    if (FFormat != ffCsv || encoding == FCsv.Options.Encoding)
        return;
    // Other bytes give other header names: the columns are mapped anew.
    FCsv.Options.Encoding = encoding;
    FCsv.Options.Mapping.clear();
    reload();
}

void TImportPreview::SetSeparator(char separator)
{
    if (FFormat != ffCsv || separator == FCsv.Options.Separator)
        return;
    FCsv.Options.Separator = separator;
    FCsv.Options.Mapping.clear();
    reload();
}

void TImportPreview::SetKindRule(TCsvKindRule rule)
{
    if (FFormat != ffCsv || rule == FCsv.Options.KindRule)
        return;
    FCsv.Options.KindRule = rule;
    reload();
}

bool TImportPreview::KindRuleApplies() const
{
    if (FFormat != ffCsv)
        return false;
    const QList<TCsvColumnRole> &mapping = FCsv.Options.Mapping;
    return !mapping.contains(crType) && !mapping.contains(crIncomeAmount) &&
           !mapping.contains(crExpenseAmount);
}

int TImportPreview::ColumnCount() const
{
    if (FFormat != ffCsv)
        return 0;
    qsizetype count = std::max(FCsv.Headers.size(), FCsv.Options.Mapping.size());
    for (const QStringList &row : FCsv.Rows)
        count = std::max(count, row.size());
    return static_cast<int>(count);
}

QString TImportPreview::ColumnHeader(int column) const
{
    if (column >= 0 && column < FCsv.Headers.size() && !FCsv.Headers[column].trimmed().isEmpty())
        return FCsv.Headers[column];
    return utf8("第%1列").arg(column + 1);
}

TCsvColumnRole TImportPreview::ColumnRole(int column) const
{
    const QList<TCsvColumnRole> &mapping = FCsv.Options.Mapping;
    return column >= 0 && column < mapping.size() ? mapping[column] : crIgnore;
}

void TImportPreview::SetColumnRole(int column, TCsvColumnRole role)
{
    if (FFormat != ffCsv || column < 0 || column >= ColumnCount() || ColumnRole(column) == role)
        return;
    QList<TCsvColumnRole> &mapping = FCsv.Options.Mapping;
    if (mapping.size() <= column)
        mapping.resize(column + 1, crIgnore);
    // A role that says what the one column of its kind is moves to the new
    // column: two date columns would leave the reader to pick one silently.
    if (role != crIgnore && role != crRemark)
        std::replace(mapping.begin(), mapping.end(), role, crIgnore);
    mapping[column] = role;
    reload();
}

const std::vector<TCsvColumnRole> &TImportPreview::RoleChoices()
{
    static const std::vector<TCsvColumnRole> choices = {crIgnore,       crDate,         crAmount,   crItem,
                                                        crRemark,       crType,         crCategory, crPayee,
                                                        crIncomeAmount, crExpenseAmount};
    return choices;
}

TImportScan TImportPreview::ScanAll(const std::function<std::unique_ptr<TEntrySource>()> &makeSource,
                                    const QString &ledgerPath, TJobProgress &progress)
{
    TImportScan scan;
    try {
        std::unique_ptr<TEntrySource> source = makeSource();
        if (!ledgerPath.isEmpty()) {
            const TImportResult result =
                DryRunImport(ledgerPath, *source, [&](double fraction) { return progress.Report(fraction); });
            if (result.Outcome == ioCancelled)
                return TImportScan();
            scan.Income = result.IncomeAdded;
            scan.Expense = result.ExpenseAdded;
            scan.DuplicatesKnown = true;
            scan.Duplicates = result.DuplicatesSkipped;
            scan.DuplicateLines = result.DuplicateLines;
            scan.DuplicateEntries = result.Duplicates;
            std::sort(scan.DuplicateLines.begin(), scan.DuplicateLines.end());
            scan.BadCount = result.BadCount;
            const std::size_t listed =
                std::min<std::size_t>(result.BadRecords.size(), TImportScan::MaxListed);
            scan.BadRecords.assign(result.BadRecords.begin(),
                                   result.BadRecords.begin() + std::ptrdiff_t(listed));
            scan.Notes = result.Notes;
            scan.Done = true;
            return scan;
        }
        TForeignEntry entry;
        TBadRecord bad;
        for (int count = 1;; ++count) {
            const TEntrySource::TStep step = source->Next(entry, bad);
            if (step == TEntrySource::esEnd)
                break;
            if (step == TEntrySource::esEntry) {
                ++(entry.Kind == ekIncome ? scan.Income : scan.Expense);
            } else {
                ++scan.BadCount;
                if (static_cast<int>(scan.BadRecords.size()) < TImportScan::MaxListed)
                    scan.BadRecords.push_back(bad);
            }
            if (count % 4096 == 0 && !progress.Report(source->Progress()))
                return TImportScan(); // not done: the dialog says so
        }
        scan.Notes = source->Notes();
        scan.Done = true;
    } catch (const std::exception &error) {
        scan = TImportScan();
        scan.Failure = QString::fromUtf8(error.what());
        scan.Done = true;
    }
    return scan;
}

bool TImportPreview::IsDuplicate(const TPreviewRow &row) const
{
    return row.Problem.isEmpty() && !row.LeftOut && row.Line > 0 &&
           std::binary_search(FScan.DuplicateLines.begin(), FScan.DuplicateLines.end(), row.Line);
}

QString TImportPreview::RowNote(const TPreviewRow &row) const
{
    if (!row.Problem.isEmpty())
        return row.Problem;
    if (!row.Note.isEmpty())
        return row.Note;
    if (IsDuplicate(row)) {
        const auto found = std::find_if(
            FScan.DuplicateEntries.begin(), FScan.DuplicateEntries.end(),
            [&row](const TFoundDuplicate &duplicate) { return duplicate.Entry.Line == row.Line; });
        const bool kept =
            found != FScan.DuplicateEntries.end() ? IsDuplicateKept(found->Ordinal) : ImportDuplicates();
        return kept ? utf8("账本中已有，仍将导入") : utf8("账本中已有，将跳过");
    }
    return QString();
}

QString TImportPreview::ImportBlocker() const
{
    if (!FProblems.isEmpty())
        return FProblems.join(QLatin1Char('\n'));
    if (FScan.Done && !FScan.Failure.isEmpty())
        return FScan.Failure;
    if (FScan.Done && FScan.Income + FScan.Expense + FScan.Duplicates == 0)
        return utf8("文件中没有可以导入的纪录。");
    if (FScan.Done && FScan.Income + FScan.Expense + DuplicatesKept() == 0)
        return utf8("文件中的纪录账本里都已经有了：在下面勾选仍要导入的纪录，或勾选“导入重复的纪录”。");
    if (FScan.Done && FScan.BadCount > 0 && !SkipBadRows())
        return utf8("有%1行无法读取：勾选“跳过错误的行”，或改变各列的对应。").arg(FScan.BadCount);
    if (!FScan.Done) {
        const bool badSeen = std::any_of(FRows.begin(), FRows.end(),
                                         [](const TPreviewRow &row) { return !row.Problem.isEmpty(); });
        if (badSeen && !SkipBadRows())
            return utf8("有无法读取的行：勾选“跳过错误的行”，或改变各列的对应。");
        if (FRows.empty())
            return utf8("文件中没有可以导入的纪录。");
    }
    return QString();
}

QString TImportPreview::Summary() const
{
    if (!FScan.Done)
        return utf8("显示前%1条纪录。").arg(FRows.size());
    if (!FScan.Failure.isEmpty())
        return FProblems.contains(FScan.Failure) ? QString() : FScan.Failure; // shown as the problem already
    QString text = utf8("全文件：收入%1条，支出%2条").arg(FScan.Income).arg(FScan.Expense);
    if (FScan.DuplicatesKnown && FScan.Duplicates > 0)
        text += DuplicatesKept() == 0 ? utf8("；另有%1条账本中已有，将跳过").arg(FScan.Duplicates)
                : DuplicatesSkipped() == 0 ? utf8("；另有%1条账本中已有，也将导入").arg(FScan.Duplicates)
                                           : utf8("；另有%1条账本中已有：%2条仍将导入，%3条将跳过")
                                                 .arg(FScan.Duplicates)
                                                 .arg(DuplicatesKept())
                                                 .arg(DuplicatesSkipped());
    if (FScan.BadCount > 0)
        text += SkipBadRows() ? utf8("；%1行无法读取，将跳过").arg(FScan.BadCount)
                              : utf8("；%1行无法读取").arg(FScan.BadCount);
    return text + utf8("。");
}

} // namespace kestrum
