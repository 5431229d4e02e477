#include "exchange/QifSyntax.h"

#include "exchange/ExchangeText.h"

namespace kestrum {

using exchange::Trimmed;

std::string QifLower(std::string_view text)
{
    std::string lower(text);
    for (char &c : lower)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return lower;
}

TQifSection QifSectionOf(std::string_view header)
{
    const std::string name = QifLower(Trimmed(header));
    if (name.rfind("!option:", 0) == 0 || name.rfind("!clear:", 0) == 0)
        return qsKeep;
    if (name == "!account")
        return qsAccounts;
    if (name.rfind("!type:", 0) != 0)
        return qsUnknown;
    std::string type = name.substr(6);
    while (!type.empty() && type.back() == ' ')
        type.pop_back();
    if (type == "bank" || type == "cash" || type == "ccard" || type == "oth a" || type == "oth l")
        return qsTransactions;
    if (type == "invst")
        return qsInvestment;
    if (type == "cat" || type == "class" || type == "memorized" || type == "prices" || type == "security" ||
        type == "template")
        return qsList;
    return qsUnknown;
}

TQifRecordReader::TQifRecordReader(const QByteArray &text) : FText(text.constData(), std::size_t(text.size()))
{
}

bool TQifRecordReader::nextLine(std::string_view &line)
{
    if (FAt >= FText.size())
        return false;
    std::size_t end = FText.find('\n', FAt);
    if (end == std::string_view::npos)
        end = FText.size();
    line = FText.substr(FAt, end - FAt);
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    FAt = end + 1;
    ++FLine;
    return true;
}

void TQifRecordReader::enterSection(std::string_view header)
{
    const std::string name = QifLower(header);
    if (name.rfind("!option:autoswitch", 0) == 0) {
        FAccountList = true;
        return;
    }
    if (name.rfind("!clear:autoswitch", 0) == 0) {
        FAccountList = false;
        return;
    }
    const TQifSection section = QifSectionOf(header);
    if (section == qsKeep)
        return;
    FSection = section;
    FSectionName = std::string(header);
    FListStarts = section == qsTransactions;
}

TQifRecordReader::TRead TQifRecordReader::Next(TQifRecord &record)
{
    bool open = false;
    const auto start = [&] {
        record.Line = FLine;
        record.Section = FSection;
        record.SectionName = FSectionName;
        record.Account = FAccount;
        record.FirstOfList = FListStarts && FSection == qsTransactions;
        record.Date.clear();
        record.Total.clear();
        record.Amount.clear();
        record.Payee.clear();
        record.Memo.clear();
        record.Category.clear();
        record.Name.clear();
        record.Split = false;
        open = true;
    };
    std::string_view line;
    while (nextLine(line)) {
        const std::string_view trimmed = Trimmed(line);
        if (trimmed.empty())
            continue;
        if (trimmed.front() == '!') {
            enterSection(trimmed);
            if (open) {
                FCutAt = FLine;
                return qrCut;
            }
            continue;
        }
        if (trimmed.front() == '^') {
            if (!open)
                continue;
            if (record.Section == qsAccounts && !FAccountList)
                FAccount = record.Name;
            if (record.Section == qsTransactions)
                FListStarts = false;
            return qrRecord;
        }
        if (!open)
            start();
        const std::string_view value = trimmed.substr(1);
        switch (trimmed.front()) {
        case 'D':
            record.Date.assign(value);
            break;
        case 'T':
            record.Total.assign(value);
            break;
        case 'U':
            record.Amount.assign(value);
            break;
        case 'P':
            record.Payee.assign(Trimmed(value));
            break;
        case 'M':
            record.Memo.assign(Trimmed(value));
            break;
        case 'L':
            record.Category.assign(Trimmed(value));
            break;
        case 'N': // an account's or a category's name; a check number in a transaction
            record.Name.assign(Trimmed(value));
            break;
        case 'S':
        case 'E':
        case '$':
            record.Split = true;
            break;
        default: // cleared flag, address: nothing the ledger keeps
            break;
        }
    }
    if (open) {
        FCutAt = 0;
        return qrCut;
    }
    return qrEnd;
}

} // namespace kestrum
