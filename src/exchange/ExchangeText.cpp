#include "exchange/ExchangeText.h"

#include <cctype>

namespace kestrum::exchange {

namespace {

bool StartsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

bool EndsWith(std::string_view text, std::string_view suffix)
{
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i])
            return false;
    return true;
}

//! Length of a blank at the start of text: ASCII blanks, U+00A0, U+3000.
std::size_t LeadingBlank(std::string_view text)
{
    if (text.empty())
        return 0;
    const char c = text.front();
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v')
        return 1;
    if (StartsWith(text, "\xC2\xA0"))
        return 2;
    if (StartsWith(text, "\xE3\x80\x80"))
        return 3;
    return 0;
}

std::size_t TrailingBlank(std::string_view text)
{
    if (text.empty())
        return 0;
    const char c = text.back();
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v')
        return 1;
    if (EndsWith(text, "\xC2\xA0"))
        return 2;
    if (EndsWith(text, "\xE3\x80\x80"))
        return 3;
    return 0;
}

} // namespace

std::string_view Trimmed(std::string_view text)
{
    while (std::size_t n = LeadingBlank(text))
        text.remove_prefix(n);
    while (std::size_t n = TrailingBlank(text))
        text.remove_suffix(n);
    return text;
}

namespace {

//! "1.500": a dot that a thousands separator could have written as well as a
//! decimal point, with no other mark beside it to tell which.
bool AmbiguousDot(std::string_view body)
{
    const std::size_t dot = body.find('.');
    if (dot == std::string_view::npos || dot == 0 || dot > 3 || body[0] == '0' || body.size() != dot + 4)
        return false;
    for (std::size_t i = 0; i < body.size(); ++i)
        if (i != dot && (body[i] < '0' || body[i] > '9'))
            return false;
    return true;
}

} // namespace

bool ParseAmount(std::string_view text, TAmount &amount, QString &reason, TDecimalMark mark)
{
    std::string_view s = Trimmed(text);
    auto fail = [&](const QString &why) {
        reason = why;
        return false;
    };
    auto bad = [&] { return fail(QStringLiteral("金额无法识别：%1").arg(QuotedValue(Trimmed(text)))); };
    if (s.empty())
        return fail(QStringLiteral("没有金额"));
    bool negative = false;
    bool parentheses = false;
    if (s.front() == '(' && s.back() == ')') {
        parentheses = negative = true;
        s = Trimmed(s.substr(1, s.size() - 2));
    }
    // Signs and currency marks, in either order, before the digits.
    bool signSeen = false;
    for (;;) {
        if (StartsWith(s, "-") || StartsWith(s, "+") || StartsWith(s, "\xE2\x88\x92")) {
            if (signSeen || parentheses)
                return bad();
            signSeen = true;
            negative = s.front() != '+';
            s.remove_prefix(s.front() == '-' || s.front() == '+' ? 1 : 3);
        } else if (StartsWith(s, "\xEF\xBF\xA5")) { // fullwidth yen sign
            s.remove_prefix(3);
        } else if (StartsWith(s, "\xC2\xA5")) { // yen sign
            s.remove_prefix(2);
        } else if (StartsWith(s, "$")) {
            s.remove_prefix(1);
        } else if (StartsWithNoCase(s, "rmb") || StartsWithNoCase(s, "cny")) {
            s.remove_prefix(3);
        } else {
            break;
        }
        s = Trimmed(s);
    }
    if (EndsWith(s, "\xE5\x85\x83")) // 元
        s = Trimmed(s.substr(0, s.size() - 3));
    // Some banks put the minus after the number.
    if (!s.empty() && s.back() == '-' && !signSeen && !parentheses) {
        negative = true;
        s = Trimmed(s.substr(0, s.size() - 1));
    }
    // Read "1.500" as 1.50 and a European file's 1500 becomes a thousandth of itself.
    if (mark == dmUnsettled && AmbiguousDot(s))
        return fail(AmbiguousAmount(Trimmed(text)));
    const char group = mark == dmComma ? '.' : ',';
    const char point = mark == dmComma ? ',' : '.';

    std::size_t at = 0;
    auto digits = [&] {
        const std::size_t start = at;
        while (at < s.size() && s[at] >= '0' && s[at] <= '9')
            ++at;
        return s.substr(start, at - start);
    };
    std::string whole(digits());
    if (at < s.size() && s[at] == group) {
        // Thousands: a first group of one to three digits, then groups of three.
        if (whole.empty() || whole.size() > 3)
            return bad();
        while (at < s.size() && s[at] == group) {
            ++at;
            const std::string_view thousands = digits();
            if (thousands.size() != 3)
                return bad();
            whole += thousands;
        }
    }
    std::string_view fraction;
    if (at < s.size() && s[at] == point) {
        ++at;
        fraction = digits();
    }
    if (at != s.size() || (whole.empty() && fraction.empty()))
        return bad();
    const std::size_t firstDigit = whole.find_first_not_of('0');
    const std::string_view significant =
        firstDigit == std::string::npos ? std::string_view() : std::string_view(whole).substr(firstDigit);
    if (significant.size() > 13)
        return fail(QStringLiteral("金额太大：%1").arg(QuotedValue(Trimmed(text))));
    if (fraction.size() > 2 && fraction.substr(2).find_first_not_of('0') != std::string_view::npos)
        return fail(QStringLiteral("金额的小数超过两位：%1").arg(QuotedValue(Trimmed(text))));
    std::int64_t cents = 0;
    for (char c : significant)
        cents = cents * 10 + (c - '0');
    cents *= 100;
    if (!fraction.empty())
        cents += (fraction[0] - '0') * 10;
    if (fraction.size() > 1)
        cents += fraction[1] - '0';
    amount.Cents = cents;
    amount.Negative = negative && cents != 0;
    return true;
}

TDecimalMark DecimalMarkOf(std::string_view text)
{
    const std::string_view s = Trimmed(text);
    const std::size_t first = s.find_first_of(".,");
    if (first == std::string_view::npos)
        return dmUnsettled;
    const std::size_t last = s.find_last_of(".,");
    auto markOf = [](char decimal) { return decimal == '.' ? dmPoint : dmComma; };
    if (s.find(s[first] == '.' ? ',' : '.') != std::string_view::npos)
        return markOf(s[last]); // both kinds: the last one is before the cents
    if (first != last)
        return markOf(s[first] == '.' ? ',' : '.'); // one kind, repeated: thousands
    std::size_t before = first;
    while (before > 0 && s[before - 1] >= '0' && s[before - 1] <= '9')
        --before;
    std::size_t after = first + 1;
    while (after < s.size() && s[after] >= '0' && s[after] <= '9')
        ++after;
    const std::size_t wholeDigits = first - before;
    if (after - first - 1 == 3 && wholeDigits >= 1 && wholeDigits <= 3 && s[before] != '0')
        return dmUnsettled; // "1.500", "1,500": a group or three decimals
    return markOf(s[first]);
}

bool ParseKindWord(std::string_view text, TEntryKind &kind)
{
    const std::string_view trimmed = Trimmed(text);
    // The two words that nearly every typed file uses, before any folding.
    if (trimmed == "支出" || trimmed == "收入") {
        kind = trimmed == "收入" ? ekIncome : ekExpense;
        return true;
    }
    std::string word(trimmed);
    for (char &c : word)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    static constexpr std::string_view income[] = {
        "收入", "收",     "进帐", "进账",    "入账", "入帐", "存入", "收款", "转入",    "income",
        "in",   "credit", "cr",   "deposit", "gain", "+",    "收益", "进",   "received"};
    static constexpr std::string_view expense[] = {
        "支出",  "支",      "消费",     "出账", "出帐",  "支付", "付款",       "取出",
        "转出",  "expense", "expenses", "out",  "debit", "dr",   "withdrawal", "payment",
        "expen", "-",       "花费",     "出",   "paid",  "spent"};
    for (std::string_view w : income)
        if (word == w) {
            kind = ekIncome;
            return true;
        }
    for (std::string_view w : expense)
        if (word == w) {
            kind = ekExpense;
            return true;
        }
    return false;
}

std::string LedgerDateText(const QDate &date, int seconds)
{
    int year = 0, month = 0, day = 0;
    date.getDate(&year, &month, &day);
    // By hand: this runs once per row of a million-row import or export.
    std::string text = "0000-00-00 00:00:00";
    auto put = [&text](std::size_t at, int value, int digits) {
        for (int i = digits - 1; i >= 0; --i, value /= 10)
            text[at + std::size_t(i)] = char('0' + value % 10);
    };
    put(0, year, 4);
    put(5, month, 2);
    put(8, day, 2);
    put(11, seconds / 3600, 2);
    put(14, seconds / 60 % 60, 2);
    put(17, seconds % 60, 2);
    return text;
}

} // namespace kestrum::exchange
