#include "exchange/OfxReader.h"

#include "exchange/ExchangeMessages.h"
#include "exchange/ExchangeText.h"
#include "exchange/ImportFile.h"
#include "exchange/PaymentBill.h"

#include <libofx/libofx.h>

#include <QFile>

#include <cmath>
#include <cstdlib>
#include <mutex>
#include <string_view>
#include <vector>

namespace kestrum {

using namespace exchange;

namespace {

//! What the file itself writes in one <STMTTRN> element. libofx turns the
//! posting date into a time in the reader's own time zone (so the day can
//! move) and takes an amount it cannot read as zero; the entry takes both
//! from the file's text instead.
struct TRawTransaction {
    int Line = 0;
    std::string_view Posted, Amount, Id, Name, Memo;
};

//! One transaction as libofx delivers it.
struct TLibTransaction {
    bool Investment = false; //!< a trade of securities, no money of the household's accounts
    std::string Id, Name, Memo;
};

//! Finds `tag` (upper case, with its angle brackets) from `at` on, ignoring the file's case.
std::size_t FindTag(std::string_view text, std::string_view tag, std::size_t at, std::size_t end)
{
    while (at < end) {
        const std::size_t open = text.find('<', at);
        if (open == std::string_view::npos || open + tag.size() > end)
            return std::string_view::npos;
        bool same = true;
        for (std::size_t i = 0; i < tag.size() && same; ++i) {
            const char c = text[open + i];
            same = (c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c) == tag[i];
        }
        if (same)
            return open;
        at = open + 1;
    }
    return std::string_view::npos;
}

//! The text after `tag` up to the next element or line end, trimmed.
std::string_view ElementValue(std::string_view text, std::string_view tag, std::size_t begin, std::size_t end)
{
    const std::size_t at = FindTag(text, tag, begin, end);
    if (at == std::string_view::npos)
        return {};
    const std::size_t from = at + tag.size();
    std::size_t to = from;
    while (to < end && text[to] != '<' && text[to] != '\n' && text[to] != '\r')
        ++to;
    return Trimmed(text.substr(from, to - from));
}

std::vector<TRawTransaction> ScanTransactions(std::string_view text)
{
    std::vector<TRawTransaction> found;
    int line = 1;
    std::size_t counted = 0; // text before this offset has been counted into `line`
    std::size_t at = 0;
    for (;;) {
        const std::size_t open = FindTag(text, "<STMTTRN>", at, text.size());
        if (open == std::string_view::npos)
            break;
        for (; counted < open; ++counted)
            line += text[counted] == '\n';
        std::size_t end = FindTag(text, "</STMTTRN>", open + 1, text.size());
        const std::size_t next = FindTag(text, "<STMTTRN>", open + 1, text.size());
        if (end == std::string_view::npos || (next != std::string_view::npos && next < end))
            end = next == std::string_view::npos ? text.size() : next;
        TRawTransaction raw;
        raw.Line = line;
        raw.Posted = ElementValue(text, "<DTPOSTED>", open, end);
        raw.Amount = ElementValue(text, "<TRNAMT>", open, end);
        raw.Id = ElementValue(text, "<FITID>", open, end);
        raw.Name = ElementValue(text, "<NAME>", open, end);
        raw.Memo = ElementValue(text, "<MEMO>", open, end);
        found.push_back(raw);
        at = open + 1;
    }
    return found;
}

bool AllDigits(std::string_view text)
{
    for (const char c : text)
        if (c < '0' || c > '9')
            return false;
    return !text.empty();
}

int Number(std::string_view digits)
{
    int value = 0;
    for (const char c : digits)
        value = value * 10 + (c - '0');
    return value;
}

//! "20261105", "20261110120000[+8:CST]", "20261110120000.000": the day and
//! time as the bank wrote them (the zone is the bank's, as on its statement).
bool ParsePosted(std::string_view text, QDate &date, int &seconds, QString &reason)
{
    seconds = 0;
    if (text.empty()) {
        reason = QStringLiteral("没有记账日期（DTPOSTED）");
        return false;
    }
    std::size_t digits = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9')
        ++digits;
    if (digits < 8 || !AllDigits(text.substr(0, 8))) {
        reason = QStringLiteral("记账日期%1无法识别").arg(QuotedValue(text));
        return false;
    }
    date = QDate(Number(text.substr(0, 4)), Number(text.substr(4, 2)), Number(text.substr(6, 2)));
    if (!date.isValid()) {
        reason = QStringLiteral("记账日期%1不是有效的日期").arg(QuotedValue(text));
        return false;
    }
    if (digits >= 14) {
        const int hour = Number(text.substr(8, 2)), minute = Number(text.substr(10, 2)),
                  second = Number(text.substr(12, 2));
        if (hour < 24 && minute < 60 && second < 60)
            seconds = hour * 3600 + minute * 60 + second;
    }
    return true;
}

//! An OFX amount: a sign, digits and "." or "," before the cents. Some
//! banks group thousands ("-1,099.00"), which libofx reads as -1.099.
bool ParseOfxAmount(std::string_view text, TAmount &amount, QString &reason)
{
    if (text.empty()) {
        reason = QStringLiteral("没有金额（TRNAMT）");
        return false;
    }
    std::string point(text);
    const std::size_t comma = point.find(',');
    // A lone comma with one or two digits after it is the decimal mark.
    if (point.find('.') == std::string::npos && comma != std::string::npos && point.rfind(',') == comma &&
        point.size() - comma <= 3)
        point[comma] = '.';
    if (!ParseAmount(point, amount, reason, dmPoint)) {
        reason = QStringLiteral("金额%1无法识别").arg(QuotedValue(text));
        return false;
    }
    return true;
}

//! Whether an OFX 1 header names a Chinese code page (CHARSET:936, GBK,
//! GB2312, GB18030). libofx does not know it and hands the text over as
//! Latin-1 characters, so the reader decodes such text itself.
bool ChineseCodePage(const QByteArray &data)
{
    const qsizetype body = data.indexOf('<');
    const QByteArray header = data.left(body < 0 ? 4096 : body).toUpper();
    const qsizetype at = header.indexOf("CHARSET:");
    if (at < 0)
        return false;
    const QByteArray value = header.mid(at + 8, 16).split('\n').value(0).trimmed();
    return value == "936" || value.startsWith("GB");
}

//! A NAME or MEMO as the file writes it, from GB18030, with SGML's entities.
std::string DecodeChinese(std::string_view text)
{
    QString decoded =
        QString::fromUtf8(DecodeToUtf8(QByteArray(text.data(), qsizetype(text.size())), teGb18030));
    decoded.replace(QLatin1String("&lt;"), QLatin1String("<"))
        .replace(QLatin1String("&gt;"), QLatin1String(">"))
        .replace(QLatin1String("&quot;"), QLatin1String("\""))
        .replace(QLatin1String("&apos;"), QLatin1String("'"))
        .replace(QLatin1String("&nbsp;"), QLatin1String(" "))
        .replace(QLatin1String("&amp;"), QLatin1String("&"));
    return decoded.trimmed().toStdString();
}

//! Valid UTF-8 of a libofx text field (which may cut a character at its
//! field's length).
std::string CleanText(const char *text, int valid)
{
    if (!valid)
        return {};
    return QString::fromUtf8(text).trimmed().toStdString();
}

int ReceiveTransaction(const OfxTransactionData data, void *target)
{
    TLibTransaction t;
    t.Investment = data.invtransactiontype_valid && data.invtransactiontype != OFX_INVBANKTRAN;
    t.Id = CleanText(data.fi_id, data.fi_id_valid);
    t.Name = CleanText(data.name, data.name_valid);
    t.Memo = CleanText(data.memo, data.memo_valid);
    static_cast<std::vector<TLibTransaction> *>(target)->push_back(std::move(t));
    return 0;
}

//! libofx keeps its settings in globals and prints to stderr unless told not to.
std::mutex LibOfxLock;

std::vector<TLibTransaction> ReadWithLibOfx(const QString &path, int &result)
{
    const std::lock_guard<std::mutex> hold(LibOfxLock);
    for (int *flag :
         {&ofx_PARSER_msg, &ofx_DEBUG_msg, &ofx_DEBUG1_msg, &ofx_DEBUG2_msg, &ofx_DEBUG3_msg, &ofx_DEBUG4_msg,
          &ofx_DEBUG5_msg, &ofx_STATUS_msg, &ofx_INFO_msg, &ofx_WARNING_msg, &ofx_ERROR_msg})
        *flag = 0;
    std::vector<TLibTransaction> transactions;
    LibofxContextPtr context = libofx_get_new_context();
    ofx_set_transaction_cb(context, ReceiveTransaction, &transactions);
    result = libofx_proc_file(context, QFile::encodeName(path).constData(), OFX);
    libofx_free_context(context);
    return transactions;
}

} // namespace

bool LooksLikeOfx(const QByteArray &head)
{
    qsizetype at = head.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    while (at < head.size() && (head[at] == ' ' || head[at] == '\t' || head[at] == '\r' || head[at] == '\n'))
        ++at;
    const QByteArray start = head.mid(at, 10).toUpper();
    if (start.startsWith("OFXHEADER"))
        return true;
    // OFX 2: an XML declaration, then the OFX processing instruction.
    return start.startsWith("<?XML") && head.left(512).toUpper().contains("<?OFX");
}

struct TOfxEntrySource::TState {
    struct TReady {
        TForeignEntry Entry;
        QString Problem; //!< set for a transaction that cannot become an entry
    };
    std::vector<TReady> Ready;
    std::size_t Next = 0;
    QStringList Notes;
};

TOfxEntrySource::TOfxEntrySource(const QString &path) : FState(new TState)
{
    const QByteArray data = ReadImportFile(path);
    const QString name = QuotedValue(path);
    if (!LooksLikeOfx(data.left(4096)))
        throw EImportError(QStringLiteral("%1不是 OFX 文件：开头没有 OFX 文件头（OFXHEADER 或 <?OFX ...?>）")
                               .arg(name)
                               .toStdString());
    int result = 0;
    const std::vector<TLibTransaction> all = ReadWithLibOfx(path, result);
    if (result != 0)
        throw EImportError(
            QStringLiteral("OFX 文件%1已损坏或格式不对，无法读取；没有导入任何内容").arg(name).toStdString());
    const std::vector<TRawTransaction> raw =
        ScanTransactions(std::string_view(data.constData(), std::size_t(data.size())));
    const bool chinese = ChineseCodePage(data);
    int investments = 0;
    std::size_t k = 0;
    for (const TLibTransaction &t : all) {
        if (t.Investment) {
            ++investments;
            continue;
        }
        if (k >= raw.size())
            break;
        const TRawTransaction &r = raw[k++];
        // libofx and the text must tell of the same transaction, else this
        // reader has paired them wrongly and reads nothing rather than nonsense.
        if (!t.Id.empty() && !r.Id.empty() && t.Id != r.Id)
            throw EImportError(LineMessage(
                r.Line, QStringLiteral("OFX 文件%1中交易号%2的交易无法与文件中的文字对应；没有导入任何内容")
                            .arg(name, QuotedValue(r.Id))));
        TState::TReady ready;
        TForeignEntry &e = ready.Entry;
        e.Line = r.Line;
        TAmount amount;
        QString reason;
        if (!ParseOfxAmount(r.Amount, amount, reason) || !ParsePosted(r.Posted, e.Date, e.Seconds, reason)) {
            ready.Problem = reason;
            FState->Ready.push_back(std::move(ready));
            continue;
        }
        e.Kind = amount.Negative ? ekExpense : ekIncome;
        e.Cents = amount.Cents;
        const std::string name = chinese ? DecodeChinese(r.Name) : t.Name;
        const std::string memo = chinese ? DecodeChinese(r.Memo) : t.Memo;
        e.Item = !name.empty() ? name : memo;
        CutToCharacters(e.Item, ItemLength);
        e.Remark = !name.empty() ? memo : std::string();
        e.TransactionId = t.Id;
        FState->Ready.push_back(std::move(ready));
    }
    if (k != raw.size() || FState->Ready.size() != raw.size())
        throw EImportError(
            QStringLiteral("OFX 文件%1中有 %2 笔交易，只读出了 %3 笔；文件可能已损坏，没有导入任何内容")
                .arg(name)
                .arg(raw.size())
                .arg(k)
                .toStdString());
    if (investments > 0)
        FState->Notes += QStringLiteral("%1 笔证券买卖没有导入（只导入账户中的收支）").arg(investments);
}

TOfxEntrySource::~TOfxEntrySource() = default;

TEntrySource::TStep TOfxEntrySource::Next(TForeignEntry &entry, TBadRecord &bad)
{
    if (FState->Next >= FState->Ready.size())
        return esEnd;
    TState::TReady &ready = FState->Ready[FState->Next++];
    if (!ready.Problem.isEmpty()) {
        bad.Line = ready.Entry.Line;
        bad.Reason = ready.Problem;
        return esBad;
    }
    entry = std::move(ready.Entry);
    return esEntry;
}

double TOfxEntrySource::Progress() const
{
    return FState->Ready.empty() ? 1.0 : double(FState->Next) / double(FState->Ready.size());
}

QString TOfxEntrySource::Description() const
{
    return QStringLiteral("OFX银行对账单");
}

QStringList TOfxEntrySource::Notes() const
{
    return FState->Notes;
}

} // namespace kestrum
