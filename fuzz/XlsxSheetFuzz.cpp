// Feeds random bytes to the readers of a workbook's parts: as shared strings,
// as styles and as a worksheet, whose rows then go through the CSV
// recognisers. Only EImportError may leave them, and every entry they give
// must be whole.
#include "EntrySourceFuzz.h"
#include "exchange/XlsxReader.h"
#include "exchange/XlsxSheet.h"

#include <QBuffer>

#include <cstddef>
#include <cstdint>

using namespace kestrum;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    exchange::TXlsxBook book;
    try {
        QBuffer strings(&bytes);
        strings.open(QIODevice::ReadOnly);
        exchange::ReadXlsxSharedStrings(strings, QStringLiteral("strings"), book);
    } catch (const EImportError &) {
    }
    try {
        QBuffer styles(&bytes);
        styles.open(QIODevice::ReadOnly);
        exchange::ReadXlsxStyles(styles, QStringLiteral("styles"), book);
    } catch (const EImportError &) {
    }
    // A book of its own, so that a sheet's cells meet strings and date styles.
    book.Strings = {"日期", "金额", "收/支", "支出", "¥12.50"};
    book.DateStyles = {false, true, false};
    book.Date1904 = size > 0 && data[0] % 2 == 1;
    try {
        QBuffer sheet(&bytes);
        sheet.open(QIODevice::ReadOnly);
        exchange::TXlsxTable table = exchange::ReadXlsxSheet(sheet, QStringLiteral("sheet"), book);
        fuzz::Check(!table.RowOfLine.empty());
        TXlsxEntrySource source(std::move(table), QStringLiteral("Sheet1"));
        fuzz::DrainEntrySource(source);
    } catch (const EImportError &) {
    }
    return 0;
}
