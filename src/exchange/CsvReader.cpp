#include "exchange/CsvReader.h"

#include "exchange/CsvBillRows.h"
#include "exchange/CsvColumns.h"
#include "exchange/CsvDecimalMarks.h"
#include "exchange/CsvLayout.h"
#include "exchange/CsvRow.h"
#include "exchange/ExchangeText.h"
#include "exchange/ImportFile.h"
#include "exchange/LedgerAmount.h"
#include "exchange/PaymentBill.h"
#include "exchange/QifTransferPairs.h"

#include <cmath>

namespace kestrum {

using namespace exchange;

namespace {

QString SeparatorName(char separator)
{
    switch (separator) {
    case ',':
        return QStringLiteral("逗号分隔");
    case ';':
        return QStringLiteral("分号分隔");
    case '\t':
        return QStringLiteral("制表符分隔");
    }
    return QStringLiteral("以%1分隔").arg(QuotedValue(QString(QLatin1Char(separator))));
}

//! Takes off the apostrophe that the export writes before text a
//! spreadsheet would run as a formula.
std::string_view WithoutFormulaGuard(std::string_view text)
{
    if (text.size() >= 2 && text[0] == '\'' && (StartsFormula(text[1]) || text[1] == '\''))
        return text.substr(1);
    return text;
}

//! A date of zeros ("0000-00-00"): no day at all. Skrooge writes an
//! account's opening balance with it, the money the account held before its
//! first entry.
bool IsZeroDate(std::string_view cell)
{
    cell = Trimmed(cell);
    return cell.find('0') != std::string_view::npos &&
           cell.find_first_not_of("0-/. :") == std::string_view::npos;
}

} // namespace

struct TCsvEntrySource::TState {
    TCsvOptions Options;
    QByteArray Text;
    QString Description;
    QStringList Notes;
    TCsvRow Row{{}, ','};  //!< the record being read
    int RecordsToPass = 0; //!< non-blank records before the first data record
    TMarkEvidence Marks;
    //! A payment app's bill read by its own rules (Layout.Kind pbNone: any other CSV).
    TCsvBillRows Bill;
    std::string Category; //!< the category cell, its path written as QIF writes it
    int ItemFallbacks = 0;
    int ItemsShortened = 0;
    int AccountColumn = -1;
    TQifTransferPairs Pairs;
    int TransfersLeftOut = 0;
    std::vector<int> TransferLines; //!< the first few
    //! Accounts' balances when they were set up, left out as transfers are:
    //! "“Cheque account” 50.00".
    QStringList Openings;

    //! A reader of the file's records from its start, with the columns' roles.
    TCsvRow FreshRows() const
    {
        TCsvRow rows(std::string_view(Text.constData(), std::size_t(Text.size())), Options.Separator);
        rows.Map(Options.Mapping);
        return rows;
    }
    TStep Parse(TForeignEntry &entry, TBadRecord &bad, int line);
    void ItemAndRemark(TForeignEntry &entry);
    TStep ParseLedgerExport(TForeignEntry &entry, TBadRecord &bad);
    void FindTransfers();
    //! The record being read as an account's opening balance, for the note.
    QString OpeningText() const;
    //! The amount of `row` with its sign (money out negative); false when it
    //! cannot be read.
    static bool SignedCents(const TCsvRow &row, std::int64_t &cents);
    bool ReadAmount(std::string_view cell, int line, TAmount &amount, QString &reason);
    void ScanMarks();
};

bool TCsvEntrySource::TState::ReadAmount(std::string_view cell, int line, TAmount &amount, QString &reason)
{
    Marks.Observe(cell, line);
    const TDecimalMark own = DecimalMarkOf(cell);
    const TDecimalMark mark = Marks.Mark();
    if (mark != dmUnsettled) {
        if (own == dmUnsettled && Trimmed(cell).find_first_of(".,") != std::string_view::npos &&
            Marks.Settled++ == 0) {
            Marks.SettledLine = line;
            Marks.SettledText.assign(Trimmed(cell));
        }
        return ParseAmount(cell, amount, reason, mark);
    }
    // Nothing settled, or a file that writes both ways: an amount whose own
    // separators tell is read so.
    if (ParseAmount(cell, amount, reason, own))
        return true;
    TAmount asPoint, asComma;
    QString unused;
    if (own != dmUnsettled || !ParseAmount(cell, asPoint, unused, dmPoint) ||
        !ParseAmount(cell, asComma, unused, dmComma))
        return false; // no amount either way
    // Either reading fits this amount: the file's other amounts may tell.
    if (!Marks.Scanned) {
        ScanMarks();
        if (Marks.Mark() != dmUnsettled)
            return ReadAmount(cell, line, amount, reason);
    }
    if (Marks.Mixed())
        reason += QStringLiteral("；") +
                  MixedDecimalMarks(Marks.PointLine, Marks.PointText, Marks.CommaLine, Marks.CommaText);
    return false;
}

void TCsvEntrySource::TState::ScanMarks()
{
    Marks.Scanned = true;
    TCsvRow rows = FreshRows();
    int line = 0;
    int toPass = Options.HeaderRow + 1;
    while (!Marks.Mixed() && rows.Next(line)) {
        if (rows.IsBlank())
            continue;
        if (toPass > 0) {
            --toPass;
            continue;
        }
        for (const TCsvColumnRole role : {crAmount, crIncomeAmount, crExpenseAmount})
            Marks.Observe(rows.RawCell(role), line);
    }
}

TCsvEntrySource::TCsvEntrySource(const QByteArray &data, const TCsvOptions &options) : FState(new TState)
{
    TCsvLayout resolved = ResolveCsvLayout(data, options, 0);
    if (!resolved.Problems.isEmpty())
        throw EImportError(resolved.Problems.join(QStringLiteral("；")).toStdString());
    TState &s = *FState;
    s.Options = resolved.Options;
    s.Text = std::move(resolved.Text);
    s.Row = s.FreshRows();
    s.RecordsToPass = s.Options.HeaderRow + 1;
    QStringList unread;
    for (qsizetype c = 0; c < resolved.Headers.size(); ++c)
        if ((c >= s.Options.Mapping.size() || s.Options.Mapping[c] == crIgnore) &&
            !resolved.Headers[c].isEmpty())
            unread += resolved.Headers[c];
    if (!resolved.Headers.isEmpty() && s.Options.AmountRule != caLedger && s.Row.Has(crType) &&
        s.Row.Has(crAmount))
        s.Bill.Layout = resolved.Bill;
    const TPaymentBillLayout &bill = s.Bill.Layout;
    if (bill.Kind != pbNone) {
        for (const int used :
             {bill.Counterparty, bill.Goods, bill.TradeType, bill.State, bill.Note, bill.TradeNumber})
            if (used >= 0 && used < resolved.Headers.size())
                unread.removeAll(resolved.Headers[used]);
        s.Bill.FindClosedTrades(s.FreshRows(), s.Options.HeaderRow + 1);
    }
    if (bill.Kind == pbNone && s.Options.AmountRule != caLedger && s.Options.Transfers == qtSkip) {
        s.AccountColumn = AccountColumnOf(resolved.Headers);
        if (s.AccountColumn >= 0) {
            unread.removeAll(resolved.Headers[s.AccountColumn]);
            s.FindTransfers();
        }
    }
    if (!unread.isEmpty())
        s.Notes += QStringLiteral("没有读取的列：%1").arg(unread.join(QStringLiteral("、")));
    s.Description = QStringLiteral("%1（%2，%3）")
                        .arg(PaymentBillName(bill.Kind), EncodingName(ToTextEncoding(s.Options.Encoding)),
                             SeparatorName(s.Options.Separator));
}

std::unique_ptr<TCsvEntrySource> TCsvEntrySource::FromFile(const QString &path, const TCsvOptions &options)
{
    return std::make_unique<TCsvEntrySource>(ReadImportFile(path), options);
}

TCsvEntrySource::~TCsvEntrySource() = default;

TEntrySource::TStep TCsvEntrySource::Next(TForeignEntry &entry, TBadRecord &bad)
{
    TState &s = *FState;
    int line = 0;
    while (s.Row.Next(line)) {
        if (s.Row.IsBlank())
            continue;
        if (s.RecordsToPass > 0) {
            --s.RecordsToPass;
            continue;
        }
        if (s.Bill.Layout.Kind != pbNone) {
            if (IsBillEndLine(s.Row.RawAt(0))) {
                s.Row.SkipToEnd();
                break;
            }
            if (!s.Bill.IsEntry(s.Row, line))
                continue;
            entry.Line = bad.Line = line;
            return s.Bill.Parse(s.Row, entry, bad, line);
        }
        entry.Line = bad.Line = line;
        if (s.Options.AmountRule == caLedger)
            return s.ParseLedgerExport(entry, bad);
        if (s.AccountColumn >= 0 && IsZeroDate(s.Row.Cell(crDate))) {
            s.Openings += s.OpeningText();
            continue;
        }
        const TStep step = s.Parse(entry, bad, line);
        if (step == esEntry && s.Pairs.Contains(line)) {
            if (s.TransfersLeftOut++ < 20)
                s.TransferLines.push_back(line);
            continue;
        }
        return step;
    }
    if (s.Marks.Settled > 0) {
        const bool point = s.Marks.Mark() == dmPoint;
        s.Notes += DecimalMarkNote(point ? '.' : ',', s.Marks.Settled, s.Marks.SettledLine,
                                   s.Marks.SettledText, point ? s.Marks.PointLine : s.Marks.CommaLine,
                                   point ? s.Marks.PointText : s.Marks.CommaText);
        s.Marks.Settled = 0;
    }
    return esEnd;
}

TEntrySource::TStep TCsvEntrySource::TState::ParseLedgerExport(TForeignEntry &entry, TBadRecord &bad)
{
    auto reject = [&](const QString &reason) {
        bad.Reason = reason;
        return esBad;
    };
    entry.Exact.reset();
    const std::string_view type = Row.Cell(crType);
    if (!ParseKindWord(type, entry.Kind))
        return reject(type.empty()
                          ? QStringLiteral("没有类型（应为“收入”或“支出”）")
                          : QStringLiteral("类型无法识别：%1（应为“收入”或“支出”）").arg(QuotedValue(type)));
    // The amount as the ledger held it: exact text first, then as a person
    // may have retyped it in a spreadsheet.
    const std::string_view amountText = Row.Cell(crAmount);
    entry.HasAmount = !amountText.empty();
    entry.Cents = 0;
    double exact = 0;
    QString reason;
    if (entry.HasAmount && ParseLedgerAmount(amountText, exact)) {
        if (!WholeCents(exact, entry.Cents)) {
            entry.Exact = exact;
            entry.Cents = std::fabs(exact) < 9e16 ? std::llround(exact * 100.0) : 0;
        }
    } else if (entry.HasAmount) {
        TAmount amount;
        if (!ParseAmount(amountText, amount, reason, dmPoint))
            return reject(reason);
        entry.Cents = amount.Negative ? -amount.Cents : amount.Cents;
    }
    const std::string_view date = Row.Cell(crDate);
    entry.HasDate = !date.empty();
    entry.Date = QDate();
    entry.Seconds = 0;
    if (entry.HasDate && !ParseDate(date, entry.Date, entry.Seconds, reason))
        return reject(reason);
    entry.Item.assign(WithoutFormulaGuard(Row.Cell(crItem)));
    entry.Remark.assign(WithoutFormulaGuard(Row.Cell(crRemark)));
    // The export writes an empty text as "" and no text as an empty cell;
    // files it wrote before never quoted an empty cell.
    entry.EmptyItemIsText = Row.Quoted(crItem);
    entry.EmptyRemarkIsText = Row.Quoted(crRemark);
    return esEntry;
}

TEntrySource::TStep TCsvEntrySource::TState::Parse(TForeignEntry &entry, TBadRecord &bad, int line)
{
    auto reject = [&](const QString &reason) {
        bad.Reason = reason;
        return esBad;
    };
    entry.Exact.reset();
    entry.HasAmount = entry.HasDate = true;
    entry.EmptyItemIsText = entry.EmptyRemarkIsText = false;
    TAmount amount;
    QString reason;
    bool kindFromColumn = false;
    if (Row.Has(crAmount)) {
        if (!ReadAmount(Row.Cell(crAmount), line, amount, reason))
            return reject(reason);
    } else {
        const std::string_view income = Row.Cell(crIncomeAmount);
        const std::string_view expense = Row.Cell(crExpenseAmount);
        TAmount incomeAmount, expenseAmount;
        if (!income.empty() && !ReadAmount(income, line, incomeAmount, reason))
            return reject(reason);
        if (!expense.empty() && !ReadAmount(expense, line, expenseAmount, reason))
            return reject(reason);
        if (income.empty() && expense.empty())
            return reject(QStringLiteral("没有金额"));
        if (incomeAmount.Cents != 0 && expenseAmount.Cents != 0)
            return reject(QStringLiteral("收入金额和支出金额都填了"));
        if (incomeAmount.Negative || expenseAmount.Negative)
            return reject(QStringLiteral("收入金额或支出金额列中的金额是负数"));
        const bool isIncome = incomeAmount.Cents != 0 || (expenseAmount.Cents == 0 && !income.empty());
        entry.Kind = isIncome ? ekIncome : ekExpense;
        amount = isIncome ? incomeAmount : expenseAmount;
        kindFromColumn = true;
    }
    const std::string_view type = Row.Cell(crType);
    if (!type.empty()) {
        TEntryKind kind = ekIncome;
        if (!ParseKindWord(type, kind))
            return reject(QStringLiteral("类型无法识别：%1（应为“收入”或“支出”）").arg(QuotedValue(type)));
        if (kindFromColumn && kind != entry.Kind)
            return reject(QStringLiteral("类型与金额所在的列相反"));
        entry.Kind = kind;
        // A negative expense is the bank's way of writing money out; a
        // negative income is money given back from an income, kept as such.
        if (kind == ekIncome && amount.Negative)
            amount.Cents = -amount.Cents;
    } else if (!kindFromColumn) {
        switch (Options.KindRule) {
        case ckBySign:
            // "-0.00" is an expense of nothing (as signed-amount exports write one).
            entry.Kind =
                amount.Negative || (amount.Cents == 0 && Trimmed(Row.Cell(crAmount)).starts_with('-'))
                    ? ekExpense
                    : ekIncome;
            break;
        case ckAllIncome:
            entry.Kind = ekIncome;
            break;
        case ckAllExpense:
            entry.Kind = ekExpense;
            break;
        }
    }
    entry.Cents = amount.Cents;
    if (!ParseDate(Row.Cell(crDate), entry.Date, entry.Seconds, reason))
        return reject(reason);
    ItemAndRemark(entry);
    return esEntry;
}

//! Beside a category or a payee column the item and the remark are arranged
//! as a QIF file's are, so that the same account read from either file gives
//! the same entries; an item column, where the user mapped one, stays the item.
void TCsvEntrySource::TState::ItemAndRemark(TForeignEntry &entry)
{
    const std::string_view remark = WithoutFormulaGuard(Row.Cell(crRemark));
    if (!Row.Has(crCategory) && !Row.Has(crPayee)) {
        entry.Item.assign(WithoutFormulaGuard(Row.Cell(crItem)));
        entry.Remark.assign(remark);
        return;
    }
    // Skrooge writes a category's path as "Food > Groceries", QIF and
    // HomeBank as "Food:Groceries".
    Category.assign(WithoutFormulaGuard(Row.Cell(crCategory)));
    for (std::size_t at = 0; (at = Category.find(" > ", at)) != std::string::npos;)
        Category.replace(at, 3, ":");
    const std::string_view fields[3] = {Category, WithoutFormulaGuard(Row.Cell(crPayee)), remark};
    if (Row.Has(crItem)) {
        entry.Item.assign(WithoutFormulaGuard(Row.Cell(crItem)));
        entry.Remark.clear();
        for (const TQifItemSource field : {qiPayee, qiMemo, qiCategory})
            if (!fields[field].empty()) {
                if (!entry.Remark.empty())
                    entry.Remark += "；";
                entry.Remark += fields[field];
            }
        return;
    }
    const TItemArrangement arrangement = ArrangeItem(fields, Options.Item, entry.Item, entry.Remark);
    ItemFallbacks += arrangement.FellBack ? 1 : 0;
    ItemsShortened += arrangement.Shortened ? 1 : 0;
}

bool TCsvEntrySource::TState::SignedCents(const TCsvRow &row, std::int64_t &cents)
{
    auto read = [](std::string_view cell, TAmount &amount) {
        QString reason;
        const TDecimalMark own = DecimalMarkOf(cell);
        return ParseAmount(cell, amount, reason, own == dmUnsettled ? dmPoint : own);
    };
    TAmount amount;
    bool negative = false;
    if (row.Has(crAmount)) {
        if (!read(row.Cell(crAmount), amount))
            return false;
        negative = amount.Negative;
    } else if (!row.Cell(crIncomeAmount).empty()) {
        if (!read(row.Cell(crIncomeAmount), amount))
            return false;
    } else if (!read(row.Cell(crExpenseAmount), amount)) {
        return false;
    } else {
        negative = true;
    }
    TEntryKind kind = ekIncome;
    if (row.Has(crType) && ParseKindWord(row.Cell(crType), kind))
        negative = kind == ekExpense;
    cents = negative ? -amount.Cents : amount.Cents;
    return true;
}

QString TCsvEntrySource::TState::OpeningText() const
{
    std::string_view amount = Row.Cell(crAmount);
    for (const TCsvColumnRole split : {crIncomeAmount, crExpenseAmount})
        if (amount.empty())
            amount = Row.Cell(split);
    return QStringLiteral("“%1” %2").arg(QString::fromUtf8(Row.At(AccountColumn)),
                                         QString::fromUtf8(Trimmed(amount)));
}

//! Before the first entry: the records that are two sides of a transfer
//! between the file's accounts, paired as a QIF file's are.
void TCsvEntrySource::TState::FindTransfers()
{
    TCsvRow rows = FreshRows();
    int line = 0;
    int toPass = Options.HeaderRow + 1;
    const TCsvColumnRole payee = rows.Has(crPayee) ? crPayee : crItem;
    while (rows.Next(line)) {
        if (rows.IsBlank() || toPass-- > 0)
            continue;
        std::int64_t cents = 0;
        if (!rows.At(AccountColumn).empty() && SignedCents(rows, cents))
            Pairs.Add(line, rows.At(AccountColumn), rows.Cell(crDate), rows.Cell(payee), rows.Cell(crRemark),
                      cents);
    }
    Pairs.Finish();
}

double TCsvEntrySource::Progress() const
{
    const std::size_t size = FState->Row.Size();
    return size == 0 ? 1.0 : double(FState->Row.Position()) / double(size);
}

QString TCsvEntrySource::Description() const
{
    return FState->Description;
}

QStringList TCsvEntrySource::Notes() const
{
    const TState &s = *FState;
    static constexpr TCsvColumnRole FieldRoles[3] = {crCategory, crPayee, crRemark};
    const bool hasField = s.Row.Has(FieldRoles[s.Options.Item]);
    QStringList notes = s.Notes + s.Bill.Notes() +
                        ItemNotes(s.Options.Item, hasField ? s.ItemFallbacks : 0, s.ItemsShortened);
    if (!s.Openings.isEmpty())
        notes += QStringLiteral("没有导入%1个账户的期初余额（%2）：那是账户里原有的钱，不是收入")
                     .arg(s.Openings.size())
                     .arg(s.Openings.join(QStringLiteral("、")));
    if (s.TransfersLeftOut > 0) {
        QStringList lines;
        for (const int line : s.TransferLines)
            lines += QString::number(line);
        notes += QStringLiteral("没有导入%1条账户之间的转账（第%2%3行）：钱只是换了账户，不是收入或支出")
                     .arg(s.TransfersLeftOut)
                     .arg(lines.join(QStringLiteral("、")),
                          s.TransfersLeftOut > 20 ? QStringLiteral("……") : QString());
    }
    return notes;
}

const TCsvOptions &TCsvEntrySource::Options() const
{
    return FState->Options;
}

} // namespace kestrum
