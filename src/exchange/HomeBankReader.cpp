#include "exchange/HomeBankReader.h"

#include "exchange/ExchangeMessages.h"
#include "exchange/ImportFile.h"
#include "exchange/PaymentBill.h"

#include <QXmlStreamReader>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

namespace kestrum {

using namespace exchange;

namespace {

//! HomeBank counts days as GLib does: day 1 is 1 January of the year 1. The
//! astronomical Julian day of that date.
constexpr qint64 GDateDayOne = 1721426;
//! The payment mode that older files give a transfer between their accounts.
constexpr int PaymodeInternalTransfer = 5;
//! The state of a transaction the user voided: it counts in no balance.
constexpr int StatusVoid = 4;
constexpr std::size_t MaxLinesListed = 20;

std::string Utf8(QStringView text)
{
    return text.toUtf8().toStdString();
}

int IntAttribute(const QXmlStreamAttributes &attributes, QLatin1StringView name)
{
    return attributes.value(name).toInt();
}

//! An amount as HomeBank writes it ("-5.4900000000000002") in cents; false
//! when it is none or past what the ledger holds.
bool AmountCents(QStringView text, std::int64_t &cents)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value) || std::fabs(value) >= 1e13)
        return false;
    cents = std::llround(value * 100.0);
    return true;
}

QString LineList(const std::vector<int> &lines, int count)
{
    QStringList listed;
    for (int line : lines)
        listed += QString::number(line);
    QString text = listed.join(QStringLiteral("、"));
    if (count > int(listed.size()))
        text += QStringLiteral("……");
    return text;
}

//! Lines of records left out, the first few of them kept for the notes.
struct TLeftOut {
    int Count = 0;
    std::vector<int> Lines;
    void Add(int line)
    {
        ++Count;
        if (Lines.size() < MaxLinesListed)
            Lines.push_back(line);
    }
};

struct TCategory {
    int Parent = 0;
    std::string Name;
};

struct TAccount {
    std::string Name;
    int Currency = 0;
    int ForeignEntries = 0; //!< entries read in a currency other than the file's
};

//! One part of the transaction being read: the whole of a plain one, or a part of a split.
struct TPart {
    std::int64_t Cents = 0;
    int Category = 0;
    std::string Memo;
};

std::vector<QStringView> SplitParts(QStringView text)
{
    std::vector<QStringView> parts;
    if (text.isEmpty())
        return parts;
    for (QStringView part : QStringTokenizer(text, u"||"))
        parts.push_back(part);
    return parts;
}

} // namespace

struct THomeBankEntrySource::TState {
    QByteArray Data;
    //! The second pass, over the same bytes as the first.
    std::unique_ptr<QXmlStreamReader> Xml;
    int BaseCurrency = 0;
    std::unordered_map<int, std::string> Payees;
    std::unordered_map<int, TCategory> Categories;
    std::unordered_map<int, std::string> Paths; //!< full category paths, as asked for
    std::map<int, TAccount> Accounts;
    QStringList OpeningBalances; //!< "“Cheque account” 50.00"
    TLeftOut Transfers, Voids;
    int Splits = 0, SplitEntries = 0, CutItems = 0;
    bool Ended = false;

    // The transaction being given out part by part.
    std::vector<TPart> Parts;
    std::size_t NextPart = 0;
    QDate Date;
    int Line = 0;
    std::string Payee, Memo;
    TQifItemSource Item = qiCategory;

    void ReadLists();
    [[noreturn]] void FailXml(const QXmlStreamReader &xml) const;
    const std::string &CategoryPath(int key);
    //! Takes in the transaction at the reader; esEnd when it is left out.
    TStep ReadTransaction(TBadRecord &bad);
    void GivePart(TForeignEntry &entry);
};

void THomeBankEntrySource::TState::FailXml(const QXmlStreamReader &xml) const
{
    throw EImportError(LineMessage(int(xml.lineNumber()),
                                   QStringLiteral("不是有效的 HomeBank 文件：%1").arg(xml.errorString())));
}

//! The first pass: the whole document must be well-formed, and its accounts,
//! payees and categories are known before any transaction is read.
void THomeBankEntrySource::TState::ReadLists()
{
    QXmlStreamReader xml(Data);
    if (!xml.readNextStartElement())
        xml.hasError() ? FailXml(xml) : throw EImportError("文件里没有 HomeBank 数据");
    if (xml.name() != QLatin1StringView("homebank"))
        throw EImportError(LineMessage(int(xml.lineNumber()),
                                       QStringLiteral("不是 HomeBank 文件：文件的根元素是%1，不是 homebank")
                                           .arg(QuotedValue(xml.name().toString()))));
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QStringView name = xml.name();
        const QXmlStreamAttributes a = xml.attributes();
        if (name == QLatin1StringView("properties")) {
            BaseCurrency = IntAttribute(a, QLatin1StringView("curr"));
        } else if (name == QLatin1StringView("pay")) {
            Payees[IntAttribute(a, QLatin1StringView("key"))] = Utf8(a.value(QLatin1StringView("name")));
        } else if (name == QLatin1StringView("cat")) {
            TCategory &category = Categories[IntAttribute(a, QLatin1StringView("key"))];
            category.Parent = IntAttribute(a, QLatin1StringView("parent"));
            category.Name = Utf8(a.value(QLatin1StringView("name")));
        } else if (name == QLatin1StringView("account")) {
            TAccount &account = Accounts[IntAttribute(a, QLatin1StringView("key"))];
            account.Name = Utf8(a.value(QLatin1StringView("name")));
            account.Currency = IntAttribute(a, QLatin1StringView("curr"));
            std::int64_t initial = 0;
            if (AmountCents(a.value(QLatin1StringView("initial")), initial) && initial != 0)
                OpeningBalances += QStringLiteral("%1 %2").arg(QuotedValue(account.Name),
                                                               QString::fromStdString(AmountText(initial)));
        }
    }
    if (xml.hasError())
        FailXml(xml);
}

//! "Bills:Electricity": the names from the top category down. A damaged
//! file's parent chain that loops is cut where it comes back.
const std::string &THomeBankEntrySource::TState::CategoryPath(int key)
{
    if (const auto known = Paths.find(key); known != Paths.end())
        return known->second;
    std::vector<int> chain;
    std::vector<const std::string *> names;
    for (int at = key; at != 0 && chain.size() < 16;) {
        const auto category = Categories.find(at);
        if (category == Categories.end() || std::find(chain.begin(), chain.end(), at) != chain.end())
            break;
        chain.push_back(at);
        names.push_back(&category->second.Name);
        at = category->second.Parent;
    }
    std::string path;
    for (auto name = names.rbegin(); name != names.rend(); ++name) {
        if (!path.empty())
            path += ':';
        path += **name;
    }
    return Paths[key] = std::move(path);
}

THomeBankEntrySource::THomeBankEntrySource(const QByteArray &data, TQifItemSource item) : FState(new TState)
{
    TState &s = *FState;
    s.Data = data;
    s.Item = item;
    if (s.Data.trimmed().isEmpty())
        throw EImportError("文件是空的");
    s.ReadLists();
    s.Xml = std::make_unique<QXmlStreamReader>(s.Data);
}

std::unique_ptr<THomeBankEntrySource> THomeBankEntrySource::FromFile(const QString &path, TQifItemSource item)
{
    return std::make_unique<THomeBankEntrySource>(ReadImportFile(path), item);
}

THomeBankEntrySource::~THomeBankEntrySource() = default;

TEntrySource::TStep THomeBankEntrySource::Next(TForeignEntry &entry, TBadRecord &bad)
{
    TState &s = *FState;
    for (;;) {
        if (s.NextPart < s.Parts.size()) {
            s.GivePart(entry);
            return esEntry;
        }
        if (s.Ended)
            return esEnd;
        if (s.Xml->atEnd()) {
            s.Ended = true;
            continue;
        }
        if (s.Xml->readNext() == QXmlStreamReader::Invalid)
            s.FailXml(*s.Xml);
        if (s.Xml->tokenType() != QXmlStreamReader::StartElement || s.Xml->name() != QLatin1StringView("ope"))
            continue;
        if (const TStep step = s.ReadTransaction(bad); step == esBad)
            return step;
    }
}

TEntrySource::TStep THomeBankEntrySource::TState::ReadTransaction(TBadRecord &bad)
{
    const QXmlStreamAttributes a = Xml->attributes();
    Line = bad.Line = int(Xml->lineNumber());
    Parts.clear();
    NextPart = 0;
    const QStringView dateText = a.value(QLatin1StringView("date"));
    bool ok = false;
    const qint64 day = dateText.toLongLong(&ok);
    Date = ok && day > 0 && day < 4000000 ? QDate::fromJulianDay(GDateDayOne - 1 + day) : QDate();
    if (!Date.isValid()) {
        bad.Reason = QStringLiteral("日期无效：%1").arg(QuotedValue(dateText.toString()));
        return esBad;
    }
    std::int64_t total = 0;
    const QStringView amountText = a.value(QLatin1StringView("amount"));
    if (!AmountCents(amountText, total)) {
        bad.Reason = QStringLiteral("金额无效：%1").arg(QuotedValue(amountText.toString()));
        return esBad;
    }
    if (IntAttribute(a, QLatin1StringView("st")) == StatusVoid) {
        Voids.Add(Line);
        return esEnd;
    }
    if (a.hasAttribute(QLatin1StringView("dst_account")) ||
        IntAttribute(a, QLatin1StringView("kxfer")) != 0 ||
        IntAttribute(a, QLatin1StringView("paymode")) == PaymodeInternalTransfer) {
        Transfers.Add(Line);
        return esEnd;
    }
    const auto payee = Payees.find(IntAttribute(a, QLatin1StringView("payee")));
    Payee = payee != Payees.end() ? payee->second : std::string();
    Memo = Utf8(a.value(QLatin1StringView("wording")));

    const std::vector<QStringView> amounts = SplitParts(a.value(QLatin1StringView("samt")));
    if (amounts.empty()) {
        Parts.push_back({total, IntAttribute(a, QLatin1StringView("category")), std::string()});
    } else {
        const std::vector<QStringView> categories = SplitParts(a.value(QLatin1StringView("scat")));
        const std::vector<QStringView> memos = SplitParts(a.value(QLatin1StringView("smem")));
        for (std::size_t i = 0; i < amounts.size(); ++i) {
            TPart part;
            if (!AmountCents(amounts[i], part.Cents)) {
                Parts.clear();
                bad.Reason = QStringLiteral("拆分的第%1部分金额无效：%2")
                                 .arg(i + 1)
                                 .arg(QuotedValue(amounts[i].toString()));
                return esBad;
            }
            if (i < categories.size())
                part.Category = categories[i].toInt();
            if (i < memos.size())
                part.Memo = Utf8(memos[i]);
            Parts.push_back(std::move(part));
        }
        ++Splits;
        SplitEntries += int(Parts.size());
    }
    if (const auto account = Accounts.find(IntAttribute(a, QLatin1StringView("account")));
        account != Accounts.end() && BaseCurrency != 0 && account->second.Currency != 0 &&
        account->second.Currency != BaseCurrency)
        account->second.ForeignEntries += int(Parts.size());
    return esEnd;
}

void THomeBankEntrySource::TState::GivePart(TForeignEntry &entry)
{
    const TPart &part = Parts[NextPart++];
    entry.Kind = part.Cents < 0 ? ekExpense : ekIncome;
    entry.Cents = part.Cents < 0 ? -part.Cents : part.Cents;
    entry.Exact.reset();
    entry.Date = Date;
    entry.Seconds = 0;
    entry.Line = Line;
    entry.HasAmount = entry.HasDate = true;
    const std::string &memo = part.Memo.empty() ? Memo : part.Memo;
    const std::string &category = part.Category != 0 ? CategoryPath(part.Category) : std::string();
    if (Item == qiCategory) {
        entry.Item = category.empty() ? Payee : category;
        entry.Remark = Payee;
        if (!memo.empty() && memo != Payee) {
            if (!entry.Remark.empty())
                entry.Remark += "；";
            entry.Remark += memo;
        }
    } else {
        // The chosen field, else the category, the payee, the memo; the
        // others go to the remark in the order payee, memo, category.
        const std::string *fields[3] = {&Payee, &memo, &category};
        const std::string *from = Item == qiPayee ? &Payee : &memo;
        const std::string *payee = &Payee;
        for (const std::string *field : {from, &category, payee, &memo})
            if (!field->empty()) {
                from = field;
                break;
            }
        entry.Item = *from;
        entry.Remark.clear();
        for (const std::string *field : fields) {
            if (field == from || field->empty() || *field == entry.Item)
                continue;
            if (!entry.Remark.empty())
                entry.Remark += "；";
            entry.Remark += *field;
        }
    }
    const std::size_t length = entry.Item.size();
    CutToCharacters(entry.Item, ItemLength);
    if (entry.Item.size() < length)
        ++CutItems;
}

double THomeBankEntrySource::Progress() const
{
    const TState &s = *FState;
    if (s.Ended)
        return 1.0;
    const double done = double(s.Xml->characterOffset()) / double(std::max<qsizetype>(s.Data.size(), 1));
    return std::clamp(done, 0.0, 1.0);
}

QString THomeBankEntrySource::Description() const
{
    return QStringLiteral("HomeBank");
}

QStringList THomeBankEntrySource::Notes() const
{
    const TState &s = *FState;
    QStringList notes;
    if (!s.OpeningBalances.isEmpty())
        notes += QStringLiteral("没有导入%1个账户的期初余额（%2）：那是账户里原有的钱，不是收入")
                     .arg(s.OpeningBalances.size())
                     .arg(s.OpeningBalances.join(QStringLiteral("、")));
    if (s.Transfers.Count > 0)
        notes += QStringLiteral("没有导入%1条账户之间的转账（第%2行）：钱只是换了账户，不是收入或支出")
                     .arg(s.Transfers.Count)
                     .arg(LineList(s.Transfers.Lines, s.Transfers.Count));
    if (s.Voids.Count > 0)
        notes += QStringLiteral("没有导入%1条已作废的纪录（第%2行）")
                     .arg(s.Voids.Count)
                     .arg(LineList(s.Voids.Lines, s.Voids.Count));
    if (s.Splits > 0)
        notes += QStringLiteral("%1条拆分纪录按各部分导入为%2条纪录").arg(s.Splits).arg(s.SplitEntries);
    if (s.CutItems > 0)
        notes += (s.Item == qiCategory ? QStringLiteral("%1条纪录的类别超过%2个字，作为项目时截短了")
                                       : QStringLiteral("%1条纪录作为项目的文字超过%2个字，截短了"))
                     .arg(s.CutItems)
                     .arg(ItemLength);
    for (const auto &[key, account] : s.Accounts)
        if (account.ForeignEntries > 0)
            notes += QStringLiteral("账户%1的%2条纪录不是以文件的主货币计的，按原金额导入，没有换算")
                         .arg(QuotedValue(account.Name))
                         .arg(account.ForeignEntries);
    return notes;
}

int THomeBankEntrySource::TransferCount() const
{
    return FState->Transfers.Count;
}

int THomeBankEntrySource::OpeningBalanceCount() const
{
    return int(FState->OpeningBalances.size());
}

int THomeBankEntrySource::VoidCount() const
{
    return FState->Voids.Count;
}

bool LooksLikeHomeBank(const QByteArray &head)
{
    qsizetype at = head.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    while (at < head.size() && (head[at] == ' ' || head[at] == '\t' || head[at] == '\r' || head[at] == '\n'))
        ++at;
    if (at >= head.size() || head[at] != '<')
        return false;
    // The root element follows the XML declaration and any comments.
    const qsizetype root = head.indexOf("<homebank", at);
    return root >= 0 && (root == at || head.mid(at, 5) == "<?xml" || head.mid(at, 4) == "<!--");
}

} // namespace kestrum
