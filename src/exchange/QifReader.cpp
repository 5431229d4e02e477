#include "exchange/QifReader.h"

#include "exchange/ExchangeText.h"
#include "exchange/ImportFile.h"
#include "exchange/QifDateScan.h"
#include "exchange/QifSyntax.h"
#include "exchange/QifTransferPairs.h"

#include <array>

namespace kestrum {

using namespace exchange;

namespace {

//! The account a category in brackets names ("[Savings]", "[Savings]/Class"); false for a category.
bool BracketedAccount(std::string_view category, std::string_view &account)
{
    if (category.empty() || category.front() != '[')
        return false;
    const std::size_t close = category.find(']');
    if (close == std::string_view::npos)
        return false;
    account = Trimmed(category.substr(1, close - 1));
    return true;
}

//! The payees that programs give an account's first balance.
bool IsOpeningBalancePayee(std::string_view payee)
{
    static constexpr std::array<std::string_view, 5> Names = {"opening balance", "initial balance",
                                                              "期初余额", "初始余额", "期初"};
    const std::string lower = QifLower(Trimmed(payee));
    for (std::string_view name : Names)
        if (lower == name)
            return true;
    return false;
}

QString LineList(const std::vector<int> &lines, int count)
{
    QStringList listed;
    for (std::size_t i = 0; i < lines.size() && i < 20; ++i)
        listed += QString::number(lines[i]);
    QString text = listed.join(QStringLiteral("、"));
    if (count > int(listed.size()))
        text += QStringLiteral("……");
    return text;
}

//! The first non-blank line must be a "!" header.
void CheckQifStart(const QByteArray &text)
{
    const char *at = text.constData();
    const char *end = at + text.size();
    int line = 1;
    for (; at < end; ++at) {
        if (*at == '\n')
            ++line;
        else if (*at != ' ' && *at != '\t' && *at != '\r')
            break;
    }
    if (at == end)
        throw EImportError("文件是空的");
    if (*at != '!')
        throw EImportError(LineMessage(line, QStringLiteral("不是 QIF 文件：文件不是以 !Type 行开头的")));
}

} // namespace

struct TQifEntrySource::TState {
    QByteArray Text;
    std::unique_ptr<TQifRecordReader> Reader;
    TQifRecord Record;
    TQifDateScan Dates;
    TQifTransferPairs Pairs;
    TQifTransfers TransferPolicy = qtSkip;
    TEncodingGuess Encoding;
    TQifItemSource ItemSource = qiCategory;
    std::array<bool, 3> Fields{};
    int ItemFallbacks = 0;
    int ItemsShortened = 0;
    bool ItemFellBack = false; //!< of the record just read
    bool ItemShortened = false;
    int Splits = 0;
    int Passed = 0;
    std::vector<TQifTransfer> Transfers;
    std::array<int, 2> TransferCounts{};
    std::array<std::vector<int>, 2> TransferLines;

    void Prescan(TQifDateOrder order);
    TStep Close(TForeignEntry &entry, TBadRecord &bad);
    bool IsTransfer(const TQifRecord &r, const TForeignEntry &entry);
    void ItemAndRemark(const TQifRecord &r, TForeignEntry &entry);
};

TQifEntrySource::TQifEntrySource(const QByteArray &data, const TQifOptions &options) : FState(new TState)
{
    TState &s = *FState;
    if (options.Encoding) {
        s.Encoding.Encoding = *options.Encoding;
        s.Encoding.ByteOrderMark = *options.Encoding != teGb18030 && data.startsWith("\xEF\xBB\xBF");
        s.Text = DecodeToUtf8(data, *options.Encoding);
    } else {
        s.Encoding = GuessEncoding(data);
        s.Text = DecodeToUtf8(data, s.Encoding.Encoding, !s.Encoding.ByteOrderMark);
    }
    s.TransferPolicy = options.Transfers;
    s.ItemSource = options.Item;
    CheckQifStart(s.Text);
    s.Prescan(options.DateOrder);
    s.Reader = std::make_unique<TQifRecordReader>(s.Text);
}

//! One pass over the whole file before the first entry: the order of its
//! dates, and the transfers it wrote as two plain records.
void TQifEntrySource::TState::Prescan(TQifDateOrder order)
{
    TQifRecordReader reader(Text);
    TQifDateTally dates;
    TQifRecord record;
    TAmount amount;
    QString reason;
    for (;;) {
        const TQifRecordReader::TRead read = reader.Next(record);
        if (read == TQifRecordReader::qrEnd)
            break;
        if (record.Section != qsTransactions)
            continue;
        dates.Add(record.Date, record.Line);
        Fields[qiCategory] = Fields[qiCategory] || !record.Category.empty();
        Fields[qiPayee] = Fields[qiPayee] || !record.Payee.empty();
        Fields[qiMemo] = Fields[qiMemo] || !record.Memo.empty();
        std::string_view account;
        // Records of a file that names no account (a single bank export) pair with nothing.
        if (read == TQifRecordReader::qrRecord && !record.Account.empty() &&
            !BracketedAccount(record.Category, account) &&
            ParseAmount(!record.Total.empty() ? record.Total : record.Amount, amount, reason))
            Pairs.Add(record, amount.Negative ? -amount.Cents : amount.Cents);
    }
    Dates = dates.Finish(order);
    Pairs.Finish();
}

std::unique_ptr<TQifEntrySource> TQifEntrySource::FromFile(const QString &path, const TQifOptions &options)
{
    return std::make_unique<TQifEntrySource>(ReadImportFile(path), options);
}

TQifEntrySource::~TQifEntrySource() = default;

TEntrySource::TStep TQifEntrySource::Next(TForeignEntry &entry, TBadRecord &bad)
{
    TState &s = *FState;
    for (;;) {
        switch (s.Reader->Next(s.Record)) {
        case TQifRecordReader::qrEnd:
            return esEnd;
        case TQifRecordReader::qrCut:
            if (s.Record.Section != qsTransactions)
                continue;
            bad.Line = s.Record.Line;
            bad.Reason = s.Reader->CutAt() > 0
                             ? QStringLiteral("这条纪录在第%1行之前没有用 ^ 结束").arg(s.Reader->CutAt())
                             : QStringLiteral("文件在这条纪录中间结束（没有用 ^ 结束）");
            return esBad;
        case TQifRecordReader::qrRecord:
            if (const TStep step = s.Close(entry, bad); step != esEnd)
                return step;
            continue;
        }
    }
}

//! The record that a "^" line ends.
TEntrySource::TStep TQifEntrySource::TState::Close(TForeignEntry &entry, TBadRecord &bad)
{
    const TQifRecord &r = Record;
    bad.Line = entry.Line = r.Line;
    switch (r.Section) {
    case qsTransactions:
        break;
    case qsAccounts:
    case qsList:
        ++Passed;
        return esEnd;
    case qsInvestment:
        bad.Reason = QStringLiteral("不读取投资交易");
        return esBad;
    case qsNone:
    case qsUnknown:
    case qsKeep:
        bad.Reason = QStringLiteral("不读取 %1 部分的纪录").arg(QString::fromStdString(r.SectionName));
        return esBad;
    }
    const std::string &amountText = !r.Total.empty() ? r.Total : r.Amount;
    TAmount amount;
    QString reason;
    if (!ParseAmount(amountText, amount, reason)) {
        bad.Reason = reason;
        return esBad;
    }
    if (!ParseNumericDate(r.Date, Dates.Order, entry.Date, entry.Seconds, reason)) {
        bad.Reason = reason;
        return esBad;
    }
    // "-0.00" is an expense of nothing (Kestrum writes one so), not an income.
    const bool minus = amount.Negative || (amount.Cents == 0 && Trimmed(amountText).starts_with('-'));
    entry.Kind = minus ? ekExpense : ekIncome;
    entry.Cents = amount.Cents;
    entry.HasAmount = entry.HasDate = true;
    ItemAndRemark(r, entry);
    if (IsTransfer(r, entry) && TransferPolicy == qtSkip)
        return esEnd;
    ItemFallbacks += ItemFellBack ? 1 : 0;
    ItemsShortened += ItemShortened ? 1 : 0;
    if (r.Split)
        ++Splits;
    return esEntry;
}

//! The chosen field gives the item (else the category or the payee, whichever
//! the record has); the remaining fields, in the order payee, memo, category,
//! go to the remark, so that none is lost. An item longer than the ledger's column is
//! shortened, and then it stands whole in the remark as well.
void TQifEntrySource::TState::ItemAndRemark(const TQifRecord &r, TForeignEntry &entry)
{
    // "Food:Groceries/Business", "[Savings]/Business": what follows the
    // category (or the account of a transfer, which comes in only when asked
    // for) is the class.
    std::string_view category = r.Category;
    std::string_view account;
    category = BracketedAccount(category, account) ? category.substr(0, category.find(']') + 1)
                                                   : Trimmed(category.substr(0, category.find('/')));
    const std::string_view fields[3] = {category, r.Payee, r.Memo};
    const TItemArrangement arrangement = ArrangeItem(fields, ItemSource, entry.Item, entry.Remark);
    ItemFellBack = arrangement.FellBack;
    ItemShortened = arrangement.Shortened;
}

//! Records an opening balance or a transfer between accounts; false for income or expense.
bool TQifEntrySource::TState::IsTransfer(const TQifRecord &r, const TForeignEntry &entry)
{
    std::string_view other;
    const bool bracketed = BracketedAccount(r.Category, other);
    const bool blank = r.Payee.empty() && r.Category.empty() && r.Memo.empty();
    TQifTransfer transfer;
    // Quicken gives an account's first record the account itself as
    // category; Skrooge writes it as a blank first record of the account.
    if ((bracketed && !r.Account.empty() && other == r.Account) ||
        (IsOpeningBalancePayee(r.Payee) && (bracketed || r.Category.empty())) ||
        (r.FirstOfList && blank && !r.Account.empty()))
        transfer.Kind = TQifTransfer::tkOpeningBalance;
    else if (bracketed || Pairs.Contains(r.Line))
        transfer.Kind = TQifTransfer::tkTransfer;
    else
        return false;
    const int kind = transfer.Kind;
    ++TransferCounts[kind];
    if (TransferLines[kind].size() < 20)
        TransferLines[kind].push_back(r.Line);
    if (Transfers.size() < std::size_t(MaxListed)) {
        transfer.Entry = entry;
        transfer.Account = QString::fromStdString(r.Account);
        if (transfer.Kind == TQifTransfer::tkTransfer)
            transfer.OtherAccount = QString::fromUtf8(other.data(), qsizetype(other.size()));
        Transfers.push_back(std::move(transfer));
    }
    return true;
}

double TQifEntrySource::Progress() const
{
    return FState->Reader->Progress();
}

QString TQifEntrySource::Description() const
{
    return QStringLiteral("QIF（%1）").arg(EncodingName(FState->Encoding.Encoding));
}

QStringList TQifEntrySource::Notes() const
{
    const TState &s = *FState;
    QStringList notes;
    if (const QString encoding = EncodingGuessNote(s.Encoding); !encoding.isEmpty())
        notes += encoding;
    if (const QString dates = DateNote(); !dates.isEmpty())
        notes += dates;
    const int openings = s.TransferCounts[TQifTransfer::tkOpeningBalance];
    const int transfers = s.TransferCounts[TQifTransfer::tkTransfer];
    if (s.TransferPolicy == qtSkip) {
        if (openings > 0)
            notes += QStringLiteral("没有导入%1条期初余额（第%2行）：那是账户里原有的钱，不是收入")
                         .arg(openings)
                         .arg(LineList(s.TransferLines[TQifTransfer::tkOpeningBalance], openings));
        if (transfers > 0)
            notes += QStringLiteral("没有导入%1条账户之间的转账（第%2行）：钱只是换了账户，不是收入或支出")
                         .arg(transfers)
                         .arg(LineList(s.TransferLines[TQifTransfer::tkTransfer], transfers));
    } else if (openings + transfers > 0) {
        notes +=
            QStringLiteral("%1条期初余额和%2条账户之间的转账按收入或支出导入了").arg(openings).arg(transfers);
    }
    // A file without the field at all needs no word on each record.
    notes += ItemNotes(s.ItemSource, s.Fields[s.ItemSource] ? s.ItemFallbacks : 0, s.ItemsShortened);
    if (s.Splits > 0)
        notes += QStringLiteral("%1条拆分纪录各按一条整体导入，没有保留拆分").arg(s.Splits);
    if (s.Passed > 0)
        notes += QStringLiteral("跳过了%1条账户或列表纪录").arg(s.Passed);
    return notes;
}

bool TQifEntrySource::HasField(TQifItemSource field) const
{
    return FState->Fields[field];
}

const TEncodingGuess &TQifEntrySource::Encoding() const
{
    return FState->Encoding;
}

TDayMonthOrder TQifEntrySource::DateOrder() const
{
    return FState->Dates.Order;
}

TQifDateEvidence TQifEntrySource::DateEvidence() const
{
    return FState->Dates.Evidence;
}

QString TQifEntrySource::DateNote() const
{
    return QifDateNote(FState->Dates);
}

const std::vector<TQifTransfer> &TQifEntrySource::Transfers() const
{
    return FState->Transfers;
}

int TQifEntrySource::TransferCount(TQifTransfer::TKind kind) const
{
    return FState->TransferCounts[kind];
}

QString QifTransferText(const TQifTransfer &transfer)
{
    if (transfer.Kind == TQifTransfer::tkOpeningBalance)
        return QStringLiteral("期初余额");
    const QString other = QuotedValue(transfer.OtherAccount);
    return transfer.Entry.Kind == ekExpense ? QStringLiteral("转到%1").arg(other)
                                            : QStringLiteral("从%1转入").arg(other);
}

} // namespace kestrum
