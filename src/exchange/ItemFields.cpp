#include "exchange/ItemFields.h"

namespace kestrum::exchange {

namespace {

//! Characters, not bytes, of UTF-8 text.
int Utf8Length(std::string_view text)
{
    int count = 0;
    for (const char c : text)
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    return count;
}

//! The byte offset after `characters` characters of UTF-8 text.
std::size_t Utf8Prefix(std::string_view text, int characters)
{
    std::size_t at = 0;
    for (int n = 0; at < text.size(); ++at)
        if ((static_cast<unsigned char>(text[at]) & 0xC0) != 0x80 && n++ == characters)
            break;
    return at;
}

} // namespace

std::string ShortenedItem(std::string_view item)
{
    static constexpr std::string_view Ellipsis = "…";
    std::string_view tail = item;
    for (std::size_t colon; Utf8Length(tail) + 2 > QifItemLimit && (colon = tail.find(':')) != tail.npos;)
        tail = tail.substr(colon + 1);
    if (tail.size() < item.size() && !tail.empty() && Utf8Length(tail) + 2 <= QifItemLimit)
        return std::string(Ellipsis) + ":" + std::string(tail);
    return std::string(item.substr(0, Utf8Prefix(item, QifItemLimit - 1))) + std::string(Ellipsis);
}

TItemArrangement ArrangeItem(const std::string_view (&fields)[3], TQifItemSource source, std::string &item,
                             std::string &remark)
{
    static constexpr int None = -1;
    static constexpr int Order[3][3] = {
        {qiCategory, qiPayee, None}, {qiPayee, qiCategory, None}, {qiMemo, qiPayee, qiCategory}};
    int from = None;
    for (const int field : Order[source])
        if (field != None && !fields[field].empty()) {
            from = field;
            break;
        }
    item.clear();
    remark.clear();
    TItemArrangement arrangement;
    arrangement.FellBack = from != None && from != source;
    arrangement.Shortened = from != None && Utf8Length(fields[from]) > QifItemLimit;
    if (from != None)
        item = arrangement.Shortened ? ShortenedItem(fields[from]) : std::string(fields[from]);
    for (const TQifItemSource field : {qiPayee, qiMemo, qiCategory}) {
        if (fields[field].empty() || (field == from && !arrangement.Shortened))
            continue;
        if (!remark.empty())
            remark += "；";
        remark += fields[field];
    }
    return arrangement;
}

QStringList ItemNotes(TQifItemSource source, int fallbacks, int shortened)
{
    static const QString FieldNames[3] = {QStringLiteral("类别"), QStringLiteral("收付款人"),
                                          QStringLiteral("商品说明")};
    QStringList notes;
    if (fallbacks > 0)
        notes += QStringLiteral("%1条纪录没有%2，项目取自其他栏目").arg(fallbacks).arg(FieldNames[source]);
    if (shortened > 0)
        notes += QStringLiteral("%1条纪录的项目超过%2个字，缩短了；全文写在备注里")
                     .arg(shortened)
                     .arg(QifItemLimit);
    return notes;
}

} // namespace kestrum::exchange
