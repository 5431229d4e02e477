#include "exchange/CsvReader.h"

#include "exchange/CsvColumns.h"
#include "exchange/CsvDecimalMarks.h"
#include "exchange/CsvLayout.h"
#include "exchange/CsvRecords.h"
#include "exchange/ExchangeText.h"
#include "exchange/ImportFile.h"
#include "exchange/LedgerAmount.h"
#include "exchange/PaymentBill.h"
#include "exchange/QifTransferPairs.h"

#include <array>
#include <cmath>

namespace kestrum {

using namespace exchange;

namespace {

//! The most characters an item of a bill keeps (a counterparty may be a long shop name).
constexpr int BillItemLength = 50;

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

} // namespace

struct TCsvEntrySource::TState {
    TCsvOptions Options;
    QByteArray Text;
    QString Description;
    QStringList Notes;
    std::array<int, 10> Column{}; //!< the column of each role, -1 for none
    TCsvRecordReader Reader{{}, ','};
    std::vector<std::string> Cells;
    std::size_t Count = 0;
    int RecordsToPass = 0; //!< non-blank records before the first data record
    TMarkEvidence Marks;
    //! A payment app's bill read by its own rules (Kind pbNone: any other CSV).
    TPaymentBillLayout Bill;
    TPaymentBillTally Tally;
    TBillRowClass RowClass = brExpense;
    std::string Category; //!< the category cell, its path written as QIF writes it
    int ItemFallbacks = 0;
    int ItemsShortened = 0;
    int AccountColumn = -1;
    TQifTransferPairs Pairs;
    int TransfersLeftOut = 0;
    std::vector<int> TransferLines; //!< the first few

    std::string_view At(int column) const
    {
        if (column < 0 || std::size_t(column) >= Count)
            return {};
        return Trimmed(Cells[std::size_t(column)]);
    }

    std::string_view Cell(TCsvColumnRole role) const
    {
        const int column = Column[role];
        if (column < 0 || std::size_t(column) >= Count)
            return {};
        const std::string &cell = Cells[std::size_t(column)];
        return Reader.Quoted(std::size_t(column)) ? std::string_view(cell) : Trimmed(cell);
    }
    bool Has(TCsvColumnRole role) const { return Column[role] >= 0; }
    //! Whether the role's cell of the current record was quoted.
    bool Quoted(TCsvColumnRole role) const
    {
        const int column = Column[role];
        return column >= 0 && std::size_t(column) < Count && Reader.Quoted(std::size_t(column));
    }
    TStep Parse(TForeignEntry &entry, TBadRecord &bad, int line);
    void ItemAndRemark(TForeignEntry &entry);
    TStep ParseLedgerExport(TForeignEntry &entry, TBadRecord &bad);
    bool BillRowIsEntry(int line);
    TStep ParseBillRow(TForeignEntry &entry, TBadRecord &bad, int line);
    void FindClosedTrades();
    void FindTransfers();
    bool SignedCents(std::int64_t &cents) const;
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
    TCsvRecordReader reader(std::string_view(Text.constData(), std::size_t(Text.size())), Options.Separator);
    std::vector<std::string> cells;
    std::size_t count = 0;
    int line = 0;
    int toPass = Options.HeaderRow + 1;
    while (!Marks.Mixed() && reader.Next(cells, count, line)) {
        if (IsBlankRecord(cells, count))
            continue;
        if (toPass > 0) {
            --toPass;
            continue;
        }
        for (const TCsvColumnRole role : {crAmount, crIncomeAmount, crExpenseAmount})
            if (Column[role] >= 0 && std::size_t(Column[role]) < count)
                Marks.Observe(cells[std::size_t(Column[role])], line);
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
    s.Reader = TCsvRecordReader(std::string_view(s.Text.constData(), std::size_t(s.Text.size())),
                                s.Options.Separator);
    s.RecordsToPass = s.Options.HeaderRow + 1;
    s.Column.fill(-1);
    QStringList unread;
    for (qsizetype c = 0; c < s.Options.Mapping.size(); ++c)
        if (s.Options.Mapping[c] != crIgnore)
            s.Column[s.Options.Mapping[c]] = int(c);
    for (qsizetype c = 0; c < resolved.Headers.size(); ++c)
        if ((c >= s.Options.Mapping.size() || s.Options.Mapping[c] == crIgnore) &&
            !resolved.Headers[c].isEmpty())
            unread += resolved.Headers[c];
    if (!resolved.Headers.isEmpty() && s.Options.AmountRule != caLedger && s.Column[crType] >= 0 &&
        s.Column[crAmount] >= 0)
        s.Bill = resolved.Bill;
    if (s.Bill.Kind != pbNone) {
        for (const int used : {s.Bill.Counterparty, s.Bill.Goods, s.Bill.TradeType, s.Bill.State, s.Bill.Note,
                               s.Bill.TradeNumber})
            if (used >= 0 && used < resolved.Headers.size())
                unread.removeAll(resolved.Headers[used]);
        s.FindClosedTrades();
    }
    if (s.Bill.Kind == pbNone && s.Options.AmountRule != caLedger && s.Options.Transfers == qtSkip) {
        s.AccountColumn = AccountColumnOf(resolved.Headers);
        if (s.AccountColumn >= 0) {
            unread.removeAll(resolved.Headers[s.AccountColumn]);
            s.FindTransfers();
        }
    }
    if (!unread.isEmpty())
        s.Notes += QStringLiteral("没有读取的列：%1").arg(unread.join(QStringLiteral("、")));
    s.Description = QStringLiteral("%1（%2，%3）")
                        .arg(PaymentBillName(s.Bill.Kind), EncodingName(ToTextEncoding(s.Options.Encoding)),
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
    while (s.Reader.Next(s.Cells, s.Count, line)) {
        if (IsBlankRecord(s.Cells, s.Count))
            continue;
        if (s.RecordsToPass > 0) {
            --s.RecordsToPass;
            continue;
        }
        if (s.Bill.Kind != pbNone) {
            if (IsBillEndLine(s.Cells[0])) {
                while (s.Reader.Next(s.Cells, s.Count, line)) {
                }
                break;
            }
            if (!s.BillRowIsEntry(line))
                continue;
            entry.Line = bad.Line = line;
            return s.ParseBillRow(entry, bad, line);
        }
        entry.Line = bad.Line = line;
        if (s.Options.AmountRule == caLedger)
            return s.ParseLedgerExport(entry, bad);
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
    const std::string_view type = Cell(crType);
    if (!ParseKindWord(type, entry.Kind))
        return reject(type.empty()
                          ? QStringLiteral("没有类型（应为“收入”或“支出”）")
                          : QStringLiteral("类型无法识别：%1（应为“收入”或“支出”）").arg(QuotedValue(type)));
    // The amount as the ledger held it: exact text first, then as a person
    // may have retyped it in a spreadsheet.
    const std::string_view amountText = Cell(crAmount);
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
    const std::string_view date = Cell(crDate);
    entry.HasDate = !date.empty();
    entry.Date = QDate();
    entry.Seconds = 0;
    if (entry.HasDate && !ParseDate(date, entry.Date, entry.Seconds, reason))
        return reject(reason);
    entry.Item.assign(WithoutFormulaGuard(Cell(crItem)));
    entry.Remark.assign(WithoutFormulaGuard(Cell(crRemark)));
    // The export writes an empty text as "" and no text as an empty cell;
    // files it wrote before never quoted an empty cell.
    entry.EmptyItemIsText = Quoted(crItem);
    entry.EmptyRemarkIsText = Quoted(crRemark);
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
    if (Has(crAmount)) {
        if (!ReadAmount(Cell(crAmount), line, amount, reason))
            return reject(reason);
    } else {
        const std::string_view income = Cell(crIncomeAmount);
        const std::string_view expense = Cell(crExpenseAmount);
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
    const std::string_view type = Cell(crType);
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
            entry.Kind = amount.Negative || (amount.Cents == 0 && Trimmed(Cell(crAmount)).starts_with('-'))
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
    if (!ParseDate(Cell(crDate), entry.Date, entry.Seconds, reason))
        return reject(reason);
    ItemAndRemark(entry);
    return esEntry;
}

//! Beside a category or a payee column the item and the remark are arranged
//! as a QIF file's are, so that the same account read from either file gives
//! the same entries; an item column, where the user mapped one, stays the item.
void TCsvEntrySource::TState::ItemAndRemark(TForeignEntry &entry)
{
    const std::string_view remark = WithoutFormulaGuard(Cell(crRemark));
    if (!Has(crCategory) && !Has(crPayee)) {
        entry.Item.assign(WithoutFormulaGuard(Cell(crItem)));
        entry.Remark.assign(remark);
        return;
    }
    // Skrooge writes a category's path as "Food > Groceries", QIF and
    // HomeBank as "Food:Groceries".
    Category.assign(WithoutFormulaGuard(Cell(crCategory)));
    for (std::size_t at = 0; (at = Category.find(" > ", at)) != std::string::npos;)
        Category.replace(at, 3, ":");
    const std::string_view fields[3] = {Category, WithoutFormulaGuard(Cell(crPayee)), remark};
    if (Has(crItem)) {
        entry.Item.assign(WithoutFormulaGuard(Cell(crItem)));
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

//! Before the first entry: the trades the bill shows as closed, so that a
//! refund of one, which may stand above it, is left out with it.
void TCsvEntrySource::TState::FindClosedTrades()
{
    TCsvRecordReader reader(std::string_view(Text.constData(), std::size_t(Text.size())), Options.Separator);
    std::swap(reader, Reader);
    int line = 0;
    int toPass = Options.HeaderRow + 1;
    while (Reader.Next(Cells, Count, line)) {
        if (IsBlankRecord(Cells, Count) || toPass-- > 0)
            continue;
        TAmount amount;
        QString reason;
        if (ClassifyBillRow(Cell(crType), At(Bill.State), At(Bill.TradeType), At(Bill.Goods)) == brClosed &&
            ParseAmount(Cell(crAmount), amount, reason, dmPoint))
            Tally.AddClosedTrade(At(Bill.Counterparty), amount.Cents, line);
    }
    std::swap(reader, Reader);
    Count = 0;
}

//! The amount of the current record with its sign (money out negative);
//! false when it cannot be read.
bool TCsvEntrySource::TState::SignedCents(std::int64_t &cents) const
{
    auto read = [](std::string_view cell, TAmount &amount) {
        QString reason;
        const TDecimalMark own = DecimalMarkOf(cell);
        return ParseAmount(cell, amount, reason, own == dmUnsettled ? dmPoint : own);
    };
    TAmount amount;
    bool negative = false;
    if (Has(crAmount)) {
        if (!read(Cell(crAmount), amount))
            return false;
        negative = amount.Negative;
    } else if (!Cell(crIncomeAmount).empty()) {
        if (!read(Cell(crIncomeAmount), amount))
            return false;
    } else if (!read(Cell(crExpenseAmount), amount)) {
        return false;
    } else {
        negative = true;
    }
    TEntryKind kind = ekIncome;
    if (Has(crType) && ParseKindWord(Cell(crType), kind))
        negative = kind == ekExpense;
    cents = negative ? -amount.Cents : amount.Cents;
    return true;
}

//! Before the first entry: the records that are two sides of a transfer
//! between the file's accounts, paired as a QIF file's are.
void TCsvEntrySource::TState::FindTransfers()
{
    TCsvRecordReader reader(std::string_view(Text.constData(), std::size_t(Text.size())), Options.Separator);
    std::swap(reader, Reader);
    int line = 0;
    int toPass = Options.HeaderRow + 1;
    const TCsvColumnRole payee = Has(crPayee) ? crPayee : crItem;
    while (Reader.Next(Cells, Count, line)) {
        if (IsBlankRecord(Cells, Count) || toPass-- > 0)
            continue;
        std::int64_t cents = 0;
        if (!At(AccountColumn).empty() && SignedCents(cents))
            Pairs.Add(line, At(AccountColumn), Cell(crDate), Cell(payee), Cell(crRemark), cents);
    }
    Pairs.Finish();
    std::swap(reader, Reader);
    Count = 0;
}

//! Sorts a bill's row; false, with the row counted or listed, for one that is no entry.
bool TCsvEntrySource::TState::BillRowIsEntry(int line)
{
    RowClass = ClassifyBillRow(Cell(crType), At(Bill.State), At(Bill.TradeType), At(Bill.Goods));
    const std::string_view amountText = Cell(crAmount);
    TAmount amount;
    QString reason;
    const bool amountRead = ParseAmount(amountText, amount, reason, dmPoint);
    const std::string shown = amountRead ? std::string(AmountText(amount.Cents)) : std::string(amountText);
    switch (RowClass) {
    case brNeutral:
        Tally.CountNeutral(line);
        return false;
    case brClosed:
        Tally.ListClosed(line, At(Bill.Counterparty), shown, At(Bill.State));
        return false;
    case brRefund:
        if (amountRead)
            if (const int tradeLine = Tally.TakeClosedTrade(At(Bill.Counterparty), amount.Cents)) {
                Tally.ListRefundOfClosed(line, At(Bill.Counterparty), shown, At(Bill.State), tradeLine);
                return false;
            }
        return true;
    case brIncome:
    case brExpense:
        break;
    }
    return true;
}

TEntrySource::TStep TCsvEntrySource::TState::ParseBillRow(TForeignEntry &entry, TBadRecord &bad, int line)
{
    entry.Exact.reset();
    entry.HasAmount = entry.HasDate = true;
    entry.EmptyItemIsText = entry.EmptyRemarkIsText = false;
    TAmount amount;
    QString reason;
    // The direction column says the kind; a minus in the amount only repeats it.
    if (!ParseAmount(Cell(crAmount), amount, reason, dmPoint) ||
        !ParseDate(Cell(crDate), entry.Date, entry.Seconds, reason)) {
        bad.Reason = reason;
        return esBad;
    }
    entry.Kind = RowClass == brIncome ? ekIncome : ekExpense;
    entry.Cents = RowClass == brRefund ? -amount.Cents : amount.Cents;
    // The app's number of the trade tells a bill read again from another
    // export of it, whatever the export calls its category now.
    entry.TransactionId.assign(At(Bill.TradeNumber));
    if (RowClass == brRefund)
        Tally.CountRefund(line);
    auto given = [](std::string_view text) { return !text.empty() && text != "/"; };
    const std::string_view counterparty = At(Bill.Counterparty);
    std::string_view goods = Cell(crRemark);
    if (!given(goods) && Bill.Kind == pbWechat)
        goods = At(Bill.TradeType); // "微信红包", "转账": what the row was, where no goods are named
    std::string_view item = Cell(crItem);
    if (!given(item))
        item = given(counterparty) ? counterparty : goods;
    entry.Item.assign(given(item) ? item : std::string_view());
    CutToCharacters(entry.Item, BillItemLength);
    entry.Remark.clear();
    for (const std::string_view part : {goods, counterparty, At(Bill.Note)})
        if (given(part)) {
            if (!entry.Remark.empty())
                entry.Remark += "；";
            entry.Remark += part;
        }
    return esEntry;
}

double TCsvEntrySource::Progress() const
{
    const std::size_t size = FState->Reader.Size();
    return size == 0 ? 1.0 : double(FState->Reader.Position()) / double(size);
}

QString TCsvEntrySource::Description() const
{
    return FState->Description;
}

QStringList TCsvEntrySource::Notes() const
{
    const TState &s = *FState;
    static constexpr TCsvColumnRole FieldRoles[3] = {crCategory, crPayee, crRemark};
    const bool hasField = s.Has(FieldRoles[s.Options.Item]);
    QStringList notes = s.Notes + s.Tally.Notes() +
                        ItemNotes(s.Options.Item, hasField ? s.ItemFallbacks : 0, s.ItemsShortened);
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
