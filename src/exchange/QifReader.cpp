#include "exchange/QifReader.h"

#include "exchange/ExchangeText.h"
#include "exchange/ImportFile.h"

namespace kestrum {

using namespace exchange;

namespace {

enum TSection : std::uint8_t {
    qsNone,
    qsTransactions, //!< bank, cash, credit card, other asset or liability
    qsAccounts,     //!< the account list after "!Account"
    qsList,         //!< categories, classes, memorized transactions and other lists
    qsInvestment,
    qsUnknown,
};

//! The fields of one record, between two "^" lines.
struct TQifRecord {
    int Line = 0;
    bool Open = false;
    std::string Date, Total, Amount, Payee, Memo, Category;
    bool Split = false;

    void Clear()
    {
        Line = 0;
        Open = false;
        Date.clear();
        Total.clear();
        Amount.clear();
        Payee.clear();
        Memo.clear();
        Category.clear();
        Split = false;
    }
};

std::string Lower(std::string_view text)
{
    std::string lower(text);
    for (char &c : lower)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return lower;
}

} // namespace

struct TQifEntrySource::TState {
    QByteArray Text;
    std::size_t At = 0;
    int Line = 0;
    TDayMonthOrder Order = dmMonthFirst;
    TSection Section = qsNone;
    std::string SectionName;
    TQifRecord Record;
    QString Encoding;
    bool DayFirstGuessed = false;
    int CategoryAsItem = 0;
    int CategoryDropped = 0;
    int Splits = 0;
    int Passed = 0;

    //! The next line without its line end; false at the end of the text.
    bool NextLine(std::string_view &line)
    {
        if (At >= std::size_t(Text.size()))
            return false;
        const std::string_view text(Text.constData(), std::size_t(Text.size()));
        std::size_t end = text.find('\n', At);
        if (end == std::string_view::npos)
            end = text.size();
        line = text.substr(At, end - At);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        At = end + 1;
        ++Line;
        return true;
    }
    void EnterSection(std::string_view header);
    TStep Close(TForeignEntry &entry, TBadRecord &bad);
};

TQifEntrySource::TQifEntrySource(const QByteArray &data, const TQifOptions &options) : FState(new TState)
{
    TState &s = *FState;
    bool byteOrderMark = false;
    const TTextEncoding encoding = DetectEncoding(data, byteOrderMark);
    s.Text = DecodeToUtf8(data, encoding, !byteOrderMark);
    s.Encoding = EncodingName(encoding);

    std::string_view line;
    int firstLine = 0;
    int monthFirst = 0, dayFirst = 0, dates = 0;
    bool headerFirst = false;
    while (s.NextLine(line)) {
        const std::string_view trimmed = Trimmed(line);
        if (trimmed.empty())
            continue;
        if (firstLine == 0) {
            firstLine = s.Line;
            headerFirst = trimmed.front() == '!';
        }
        if (trimmed.front() == 'D') {
            const int orders = NumericDateOrders(trimmed.substr(1));
            ++dates;
            monthFirst += orders & 1;
            dayFirst += (orders & 2) >> 1;
        }
    }
    if (firstLine == 0)
        throw EImportError("文件是空的");
    if (!headerFirst)
        throw EImportError(
            LineMessage(firstLine, QStringLiteral("不是 QIF 文件：文件不是以 !Type 行开头的")));
    switch (options.DateOrder) {
    case qdMonthFirst:
        s.Order = dmMonthFirst;
        break;
    case qdDayFirst:
        s.Order = dmDayFirst;
        break;
    case qdAuto:
        // Month first, as Quicken writes, unless only day first reads them all.
        s.DayFirstGuessed = monthFirst < dates && dayFirst == dates;
        s.Order = s.DayFirstGuessed ? dmDayFirst : dmMonthFirst;
        break;
    }
    s.At = 0;
    s.Line = 0;
}

std::unique_ptr<TQifEntrySource> TQifEntrySource::FromFile(const QString &path, const TQifOptions &options)
{
    return std::make_unique<TQifEntrySource>(ReadImportFile(path), options);
}

TQifEntrySource::~TQifEntrySource() = default;

void TQifEntrySource::TState::EnterSection(std::string_view header)
{
    const std::string name = Lower(Trimmed(header));
    if (name.rfind("!option:", 0) == 0 || name.rfind("!clear:", 0) == 0)
        return;
    SectionName = std::string(Trimmed(header));
    if (name == "!account") {
        Section = qsAccounts;
        return;
    }
    if (name.rfind("!type:", 0) != 0) {
        Section = qsUnknown;
        return;
    }
    std::string type = name.substr(6);
    while (!type.empty() && type.back() == ' ')
        type.pop_back();
    if (type == "bank" || type == "cash" || type == "ccard" || type == "oth a" || type == "oth l")
        Section = qsTransactions;
    else if (type == "invst")
        Section = qsInvestment;
    else if (type == "cat" || type == "class" || type == "memorized" || type == "prices" ||
             type == "security" || type == "template")
        Section = qsList;
    else
        Section = qsUnknown;
}

TEntrySource::TStep TQifEntrySource::Next(TForeignEntry &entry, TBadRecord &bad)
{
    TState &s = *FState;
    std::string_view line;
    while (s.NextLine(line)) {
        const std::string_view trimmed = Trimmed(line);
        if (trimmed.empty())
            continue;
        if (trimmed.front() == '!') {
            // A header in the middle of a record: that record was cut short.
            const bool cut = s.Record.Open && s.Section == qsTransactions;
            const int cutLine = s.Record.Line;
            s.Record.Clear();
            s.EnterSection(trimmed);
            if (cut) {
                bad.Line = cutLine;
                bad.Reason = QStringLiteral("这条纪录在第%1行之前没有用 ^ 结束").arg(s.Line);
                return esBad;
            }
            continue;
        }
        if (trimmed.front() == '^') {
            if (!s.Record.Open)
                continue;
            const TStep step = s.Close(entry, bad);
            s.Record.Clear();
            if (step != esEnd)
                return step;
            continue;
        }
        TQifRecord &r = s.Record;
        if (!r.Open) {
            r.Open = true;
            r.Line = s.Line;
        }
        const std::string_view value = trimmed.substr(1);
        switch (trimmed.front()) {
        case 'D':
            r.Date.assign(value);
            break;
        case 'T':
            r.Total.assign(value);
            break;
        case 'U':
            r.Amount.assign(value);
            break;
        case 'P':
            r.Payee.assign(Trimmed(value));
            break;
        case 'M':
            r.Memo.assign(Trimmed(value));
            break;
        case 'L':
            r.Category.assign(Trimmed(value));
            break;
        case 'S':
        case 'E':
        case '$':
            r.Split = true;
            break;
        default: // check number, cleared flag, address: nothing the ledger keeps
            break;
        }
    }
    if (s.Record.Open && s.Section == qsTransactions) {
        bad.Line = s.Record.Line;
        bad.Reason = QStringLiteral("文件在这条纪录中间结束（没有用 ^ 结束）");
        s.Record.Clear();
        return esBad;
    }
    s.Record.Clear();
    return esEnd;
}

//! The record that a "^" line ends.
TEntrySource::TStep TQifEntrySource::TState::Close(TForeignEntry &entry, TBadRecord &bad)
{
    const TQifRecord &r = Record;
    bad.Line = entry.Line = r.Line;
    switch (Section) {
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
        bad.Reason = QStringLiteral("不读取 %1 部分的纪录").arg(QString::fromStdString(SectionName));
        return esBad;
    }
    const std::string &amountText = !r.Total.empty() ? r.Total : r.Amount;
    TAmount amount;
    QString reason;
    if (!ParseAmount(amountText, amount, reason)) {
        bad.Reason = reason;
        return esBad;
    }
    if (!ParseNumericDate(r.Date, Order, entry.Date, entry.Seconds, reason)) {
        bad.Reason = reason;
        return esBad;
    }
    entry.Kind = amount.Negative ? ekExpense : ekIncome;
    entry.Cents = amount.Cents;
    if (!r.Payee.empty()) {
        entry.Item = r.Payee;
        if (!r.Category.empty())
            ++CategoryDropped;
    } else {
        entry.Item = r.Category;
        if (!r.Category.empty())
            ++CategoryAsItem;
    }
    entry.Remark = r.Memo;
    if (r.Split)
        ++Splits;
    return esEntry;
}

double TQifEntrySource::Progress() const
{
    const auto size = std::size_t(FState->Text.size());
    return size == 0 ? 1.0 : double(std::min(FState->At, size)) / double(size);
}

QString TQifEntrySource::Description() const
{
    return QStringLiteral("QIF（%1）").arg(FState->Encoding);
}

QStringList TQifEntrySource::Notes() const
{
    const TState &s = *FState;
    QStringList notes;
    if (s.DayFirstGuessed)
        notes += QStringLiteral("日期按“日/月/年”读取（如 31/1/2024），因为只有这样才能读出全部日期");
    if (s.CategoryAsItem > 0)
        notes += QStringLiteral("%1条没有收付款人的纪录以类别作为项目").arg(s.CategoryAsItem);
    if (s.CategoryDropped > 0)
        notes +=
            QStringLiteral("%1条有收付款人的纪录以收付款人作为项目，没有保留类别").arg(s.CategoryDropped);
    if (s.Splits > 0)
        notes += QStringLiteral("%1条拆分纪录各按一条整体导入，没有保留拆分").arg(s.Splits);
    if (s.Passed > 0)
        notes += QStringLiteral("跳过了%1条账户或列表纪录").arg(s.Passed);
    return notes;
}

} // namespace kestrum
