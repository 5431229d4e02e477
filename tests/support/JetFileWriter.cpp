#include "support/JetFileWriter.h"

#include <QFile>

#include <cstring>
#include <stdexcept>

namespace kestrum::test {

namespace {

constexpr int PageSize = 4096;
constexpr int CatalogPage = 2;
constexpr int DataRowCountOffset = 0x0c;

class TPage {
public:
    TPage() : FBytes(PageSize, '\0') {}
    void Put8(int at, int value) { FBytes[at] = char(value & 0xff); }
    void Put16(int at, int value)
    {
        Put8(at, value);
        Put8(at + 1, value >> 8);
    }
    void Put32(int at, std::uint32_t value)
    {
        Put16(at, int(value & 0xffff));
        Put16(at + 2, int(value >> 16));
    }
    void PutBytes(int at, const QByteArray &bytes) { std::memcpy(FBytes.data() + at, bytes.constData(), bytes.size()); }
    const QByteArray &Bytes() const { return FBytes; }

private:
    QByteArray FBytes;
};

QByteArray Ucs2(const std::string &utf8)
{
    const QString text = QString::fromStdString(utf8);
    return QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
}

void Append16(QByteArray &bytes, int value)
{
    bytes.append(char(value & 0xff));
    bytes.append(char((value >> 8) & 0xff));
}

template <typename T> QByteArray Raw(T value)
{
    return QByteArray(reinterpret_cast<const char *>(&value), sizeof value);
}

bool IsFixed(TJetColumnType type)
{
    return type != jtText && type != jtMemo;
}

int FixedSize(TJetColumnType type)
{
    return type == jtLong ? 4 : (type == 0x03 ? 2 : 8);
}

struct TLayout {
    std::vector<int> FixedOffset; //!< per column, -1 for variable ones
    std::vector<int> VarIndex;    //!< per column, -1 for fixed ones
    int FixedBytes = 0;
    int VarCount = 0;
};

TLayout LayOut(const TJetTableDef &table)
{
    TLayout layout;
    for (const TJetColumnDef &column : table.Columns) {
        if (IsFixed(column.Type)) {
            layout.FixedOffset.push_back(layout.FixedBytes);
            layout.VarIndex.push_back(-1);
            layout.FixedBytes += FixedSize(column.Type);
        } else {
            layout.FixedOffset.push_back(-1);
            layout.VarIndex.push_back(layout.VarCount++);
        }
    }
    return layout;
}

QByteArray FixedValue(TJetColumnType type, const TJetValue &value)
{
    switch (type) {
    case jtLong:
        return Raw(std::int32_t(value.Number));
    case jtMoney:
        return Raw(std::int64_t(value.Currency));
    case jtDouble:
    case jtDateTime:
        return Raw(double(value.Number));
    default:
        if (type == 0x03)
            return Raw(std::int16_t(value.Number));
        throw std::logic_error("no fixed column type");
    }
}

QByteArray VarValue(TJetColumnType type, const TJetValue &value)
{
    const QByteArray text = Ucs2(value.Text);
    if (type == jtText)
        return text;
    // A memo kept in the row: its length with the inline flag, two unused
    // words, then the text.
    QByteArray memo = Raw(std::uint32_t(text.size()) | 0x80000000u);
    memo += Raw(std::uint32_t(0));
    memo += Raw(std::uint32_t(0));
    return memo + text;
}

//! A row in Jet 4 form: column count, fixed area, variable data, then from
//! the end backwards the null mask, the variable column count and the
//! variable columns' offsets, the last of them marking the data's end.
QByteArray RowBytes(const TJetTableDef &table, const TLayout &layout, const TJetRow &row)
{
    const int columns = int(table.Columns.size());
    QByteArray bytes;
    Append16(bytes, columns);
    QByteArray fixed(layout.FixedBytes, '\0');
    QByteArray nullMask((columns + 7) / 8, '\0');
    std::vector<int> varOffsets;
    QByteArray var;
    for (int i = 0; i < columns; ++i) {
        const TJetValue &value = row.at(std::size_t(i));
        const TJetColumnType type = table.Columns[std::size_t(i)].Type;
        if (value.Kind != TJetValue::jvNull)
            nullMask[i / 8] = char(nullMask[i / 8] | (1 << (i % 8)));
        if (IsFixed(type)) {
            if (value.Kind != TJetValue::jvNull) {
                const QByteArray data = FixedValue(type, value);
                std::memcpy(fixed.data() + layout.FixedOffset[std::size_t(i)], data.constData(), data.size());
            }
        } else {
            varOffsets.push_back(2 + layout.FixedBytes + int(var.size()));
            if (value.Kind != TJetValue::jvNull)
                var += VarValue(type, value);
        }
    }
    bytes += fixed;
    bytes += var;
    const int end = int(bytes.size());
    Append16(bytes, end);
    for (auto it = varOffsets.rbegin(); it != varOffsets.rend(); ++it)
        Append16(bytes, *it);
    Append16(bytes, layout.VarCount);
    bytes += nullMask;
    return bytes;
}

//! Data pages for rows, filled from the page's end backwards.
std::vector<TPage> DataPages(int ownerPage, const std::vector<QByteArray> &rows)
{
    std::vector<TPage> pages;
    std::size_t next = 0;
    do {
        TPage page;
        page.Put8(0, 0x01);
        page.Put8(1, 0x01);
        page.Put32(4, std::uint32_t(ownerPage));
        int count = 0;
        int top = PageSize;
        while (next < rows.size()) {
            const int size = int(rows[next].size());
            const int tableEnd = DataRowCountOffset + 2 + (count + 1) * 2;
            if (top - size < tableEnd)
                break;
            top -= size;
            page.PutBytes(top, rows[next]);
            page.Put16(DataRowCountOffset + 2 + count * 2, top);
            ++count;
            ++next;
        }
        if (count == 0 && next < rows.size())
            throw std::length_error("a row does not fit a page");
        page.Put16(DataRowCountOffset, count);
        page.Put16(2, top - (DataRowCountOffset + 2 + count * 2)); // free space
        pages.push_back(page);
    } while (next < rows.size());
    return pages;
}

TPage TableDefinition(const TJetTableDef &table, const TLayout &layout, bool system, int usageRow, int freeRow)
{
    TPage page;
    page.Put8(0, 0x02);
    page.Put8(1, 0x01);
    page.Put8(2, 'V');
    page.Put8(3, 'C');
    page.Put32(16, std::uint32_t(table.Rows.size()));
    page.Put32(20, std::uint32_t(table.Rows.size() + 1));
    page.Put8(40, system ? 0x53 : 0x4e);
    const int columns = int(table.Columns.size());
    page.Put16(41, columns);
    page.Put16(43, layout.VarCount);
    page.Put16(45, columns);
    page.Put32(55, std::uint32_t(1 << 8 | usageRow)); // usage map: page 1, that row
    page.Put32(59, std::uint32_t(1 << 8 | freeRow));
    int at = 63;
    for (int i = 0; i < columns; ++i, at += 25) {
        const TJetColumnType type = table.Columns[std::size_t(i)].Type;
        page.Put8(at, type);
        page.Put16(at + 5, i);
        page.Put16(at + 7, std::max(0, layout.VarIndex[std::size_t(i)]));
        page.Put16(at + 9, i);
        page.Put8(at + 15, IsFixed(type) ? 0x03 : 0x02);
        page.Put16(at + 21, std::max(0, layout.FixedOffset[std::size_t(i)]));
        page.Put16(at + 23, IsFixed(type) ? FixedSize(type) : (type == jtText ? 510 : 0));
    }
    for (const TJetColumnDef &column : table.Columns) {
        const QByteArray name = Ucs2(column.Name);
        page.Put16(at, int(name.size()));
        page.PutBytes(at + 2, name);
        at += 2 + int(name.size());
    }
    page.Put32(8, std::uint32_t(at - 8));
    return page;
}

//! An inline usage map: type 0, the first page it counts, a bit per page.
QByteArray UsageMap(const std::vector<int> &pages)
{
    QByteArray map(5 + 64, '\0');
    for (int pageNumber : pages)
        map[5 + pageNumber / 8] = char(map[5 + pageNumber / 8] | (1 << (pageNumber % 8)));
    return map;
}

//! The header page's bytes from 0x18 on are RC4-scrambled with a fixed key;
//! the scrambled zeros read back as zero code page, key and flags.
void ScrambleHeader(TPage &page)
{
    const unsigned char key[4] = {0xc7, 0xda, 0x39, 0x6b};
    unsigned char state[256];
    for (int i = 0; i < 256; ++i)
        state[i] = static_cast<unsigned char>(i);
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + state[i] + key[i % 4]) & 0xff;
        std::swap(state[i], state[j]);
    }
    QByteArray bytes = page.Bytes();
    for (int n = 0, i = 0, j = 0; n < 128; ++n) {
        i = (i + 1) & 0xff;
        j = (j + state[i]) & 0xff;
        std::swap(state[i], state[j]);
        bytes[0x18 + n] = char(bytes[0x18 + n] ^ state[(state[i] + state[j]) & 0xff]);
    }
    page.PutBytes(0, bytes);
}

} // namespace

QByteArray Jet4FileBytes(const std::vector<TJetTableDef> &tables)
{
    // Pages: 0 header, 1 usage maps, 2 catalogue definition, then its data,
    // then each table's definition followed by its data pages.
    std::vector<std::vector<TPage>> tableData;
    std::vector<int> definitionPage;
    const TJetTableDef catalogShape{"MSysObjects",
                                    {{"Id", jtLong},
                                     {"ParentId", jtLong},
                                     {"Name", jtText},
                                     {"Type", TJetColumnType(0x03)},
                                     {"Flags", jtLong},
                                     {"LvProp", TJetColumnType(0x0b)}},
                                    {}};
    const TLayout catalogLayout = LayOut(catalogShape);

    // The catalogue's size depends only on the table count and names, so the
    // page numbers can be fixed before its rows are written.
    TJetTableDef catalog = catalogShape;
    for (std::size_t t = 0; t < tables.size(); ++t)
        catalog.Rows.push_back({TJetValue::FromNumber(0), TJetValue::FromNumber(0),
                                TJetValue::FromText(tables[t].Name), TJetValue::FromNumber(1),
                                TJetValue::FromNumber(0), TJetValue::Null()});
    std::vector<QByteArray> catalogRows;
    for (const TJetRow &row : catalog.Rows)
        catalogRows.push_back(RowBytes(catalog, catalogLayout, row));
    int next = CatalogPage + 1 + int(DataPages(CatalogPage, catalogRows).size());

    std::vector<TLayout> layouts;
    std::vector<std::vector<int>> dataPageNumbers;
    for (const TJetTableDef &table : tables) {
        layouts.push_back(LayOut(table));
        definitionPage.push_back(next++);
        std::vector<QByteArray> rows;
        for (const TJetRow &row : table.Rows)
            rows.push_back(RowBytes(table, layouts.back(), row));
        tableData.push_back(rows.empty() ? std::vector<TPage>{} : DataPages(definitionPage.back(), rows));
        dataPageNumbers.emplace_back();
        for (std::size_t p = 0; p < tableData.back().size(); ++p)
            dataPageNumbers.back().push_back(next++);
    }
    if (next > 64 * 8)
        throw std::length_error("too many pages for one usage map");

    for (std::size_t t = 0; t < tables.size(); ++t)
        catalog.Rows[t][0] = TJetValue::FromNumber(definitionPage[t]);
    catalogRows.clear();
    for (const TJetRow &row : catalog.Rows)
        catalogRows.push_back(RowBytes(catalog, catalogLayout, row));
    const std::vector<TPage> catalogData = DataPages(CatalogPage, catalogRows);

    // Usage maps: rows 0 and 1 for the catalogue, 2t+2 and 2t+3 for table t.
    std::vector<QByteArray> mapRows;
    std::vector<int> catalogPages;
    for (std::size_t p = 0; p < catalogData.size(); ++p)
        catalogPages.push_back(CatalogPage + 1 + int(p));
    mapRows.push_back(UsageMap(catalogPages));
    mapRows.push_back(UsageMap({}));
    for (const std::vector<int> &pages : dataPageNumbers) {
        mapRows.push_back(UsageMap(pages));
        mapRows.push_back(UsageMap({}));
    }
    std::vector<TPage> mapPage = DataPages(0, mapRows);
    if (mapPage.size() != 1)
        throw std::length_error("too many tables for one usage map page");

    TPage header;
    header.Put8(1, 0x01);
    header.PutBytes(4, QByteArray("Standard Jet DB", 16));
    header.Put32(0x14, 1); // Jet 4
    ScrambleHeader(header);

    QByteArray file = header.Bytes() + mapPage[0].Bytes();
    file += TableDefinition(catalog, catalogLayout, true, 0, 1).Bytes();
    for (const TPage &page : catalogData)
        file += page.Bytes();
    for (std::size_t t = 0; t < tables.size(); ++t) {
        file += TableDefinition(tables[t], layouts[t], false, int(2 * t + 2), int(2 * t + 3)).Bytes();
        for (const TPage &page : tableData[t])
            file += page.Bytes();
    }
    return file;
}

bool WriteJet4File(const QString &path, const std::vector<TJetTableDef> &tables)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const QByteArray bytes = Jet4FileBytes(tables);
    return file.write(bytes) == bytes.size() && file.flush();
}

TJetTableDef OldLedgerTable(const std::string &name, std::vector<TJetRow> rows, TJetColumnType amountType)
{
    const bool income = name == "gain";
    TJetTableDef table{name,
                       {{"id", jtLong},
                        {income ? "本次进帐" : "消费金额", amountType},
                        {income ? "进帐时间" : "消费日期", jtDateTime},
                        {income ? "进帐人" : "消费者", jtText},
                        {"备注", jtMemo}},
                       {}};
    for (std::size_t i = 0; i < rows.size(); ++i) {
        rows[i].insert(rows[i].begin(), TJetValue::FromNumber(double(i + 1)));
        table.Rows.push_back(std::move(rows[i]));
    }
    return table;
}

} // namespace kestrum::test
