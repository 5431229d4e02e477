#include "exchange/CsvLayout.h"

#include "exchange/CsvColumns.h"
#include "exchange/CsvExporter.h"
#include "exchange/CsvRecords.h"
#include "exchange/ExchangeMessages.h"

#include <QFile>

#include <algorithm>

namespace kestrum {

namespace exchange {

namespace {

// Payment apps write some twenty lines of account and export details above
// their header row.
constexpr int HeaderSearchRows = 40;
constexpr int GuessRows = 30;

TCsvEncoding ToCsvEncoding(TTextEncoding encoding)
{
    switch (encoding) {
    case teGb18030:
        return ceGb18030;
    case teUtf16:
        return ceUtf16;
    case teUtf8:
        break;
    }
    return ceUtf8;
}

} // namespace

bool IsBlankRecord(const std::vector<std::string> &cells, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i)
        if (!Trimmed(cells[i]).empty())
            return false;
    return true;
}

TTextEncoding ToTextEncoding(TCsvEncoding encoding)
{
    switch (encoding) {
    case ceGb18030:
        return teGb18030;
    case ceUtf16:
        return teUtf16;
    default:
        return teUtf8;
    }
}

TCsvLayout ResolveCsvLayout(const QByteArray &data, const TCsvOptions &given, int rowCount)
{
    TCsvLayout r;
    r.Options = given;
    TTextEncoding encoding = ToTextEncoding(given.Encoding);
    if (given.Encoding == ceAuto)
        encoding = DetectEncoding(data, r.ByteOrderMark);
    else
        r.ByteOrderMark =
            data.startsWith("\xEF\xBB\xBF") || data.startsWith("\xFF\xFE") || data.startsWith("\xFE\xFF");
    r.Options.Encoding = ToCsvEncoding(encoding);
    r.Text = DecodeToUtf8(data, encoding, given.Encoding == ceAuto && !r.ByteOrderMark);
    const std::string_view text(r.Text.constData(), std::size_t(r.Text.size()));
    if (r.Options.Separator == 0)
        r.Options.Separator = DetectSeparator(text);

    TCsvRecordReader reader(text, r.Options.Separator);
    std::vector<std::string> cells;
    std::size_t count = 0;
    int line = 0;
    QList<int> lines;
    const int wanted = std::max(0, given.HeaderRow) + std::max(rowCount, GuessRows) + HeaderSearchRows + 1;
    try {
        while (r.Sample.size() < wanted && reader.Next(cells, count, line)) {
            if (IsBlankRecord(cells, count))
                continue;
            QStringList row;
            for (std::size_t i = 0; i < count; ++i)
                row += QString::fromStdString(std::string(Trimmed(cells[i])));
            r.Sample += row;
            lines += line;
        }
    } catch (const EImportError &e) {
        r.Problems += QString::fromStdString(e.what());
    }
    if (r.Sample.isEmpty()) {
        r.Problems += QStringLiteral("文件中没有任何纪录");
        if (r.Options.HeaderRow == TCsvOptions::DetectHeaderRow)
            r.Options.HeaderRow = 0;
        return r;
    }

    QList<TCsvColumnRole> mapping = given.Mapping;
    if (r.Options.HeaderRow == TCsvOptions::DetectHeaderRow) {
        for (int i = 0; i < std::min<int>(HeaderSearchRows, int(r.Sample.size())); ++i)
            if (MappingProblems(MapHeaders(r.Sample[i]), {}).isEmpty()) {
                r.Options.HeaderRow = i;
                break;
            }
        if (r.Options.HeaderRow == TCsvOptions::DetectHeaderRow) {
            const QList<QStringList> rows = r.Sample.mid(0, GuessRows);
            const QList<TCsvColumnRole> guessed = GuessRolesFromData(rows);
            r.Options.HeaderRow = guessed.isEmpty() ? 0 : TCsvOptions::NoHeaderRow;
            if (mapping.isEmpty() && !guessed.isEmpty())
                mapping = guessed;
        }
    }
    if (r.Options.HeaderRow >= 0) {
        if (r.Options.HeaderRow >= r.Sample.size()) {
            r.Problems += QStringLiteral("文件没有第%1条纪录，无法从中取列名").arg(r.Options.HeaderRow + 1);
            return r;
        }
        r.Headers = r.Sample[r.Options.HeaderRow];
        r.HeaderLine = lines[r.Options.HeaderRow];
        if (r.Options.AmountRule == caDetect &&
            r.Headers.join(QLatin1Char(',')) == QString::fromUtf8(CsvExportHeader))
            r.Options.AmountRule = caLedger;
        r.Bill = PaymentBillLayoutOf(r.Headers);
        if (mapping.isEmpty())
            mapping = r.Bill.Kind != pbNone ? PaymentBillMapping(r.Bill, r.Headers) : MapHeaders(r.Headers);
    } else if (mapping.isEmpty()) {
        mapping = GuessRolesFromData(r.Sample.mid(0, GuessRows));
    }
    r.Options.Mapping = mapping;
    if (r.Options.AmountRule == caDetect)
        r.Options.AmountRule = caDirection;
    for (const QString &problem : MappingProblems(mapping, r.Headers))
        r.Problems += LineText(r.HeaderLine, problem);
    return r;
}

} // namespace exchange

using namespace exchange;

TCsvPreview PreviewCsv(const QByteArray &data, const TCsvOptions &given, int rowCount)
{
    TCsvLayout resolved = ResolveCsvLayout(data, given, rowCount);
    TCsvPreview preview;
    preview.Options = resolved.Options;
    preview.HasByteOrderMark = resolved.ByteOrderMark;
    preview.Headers = resolved.Headers;
    const int first = std::max(0, resolved.Options.HeaderRow + 1);
    preview.Rows = resolved.Sample.mid(first, rowCount);
    preview.Problems = resolved.Problems;
    return preview;
}

TCsvPreview PreviewCsvFile(const QString &path, const TCsvOptions &given, int rowCount)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw EImportError(CannotOpen(path, file));
    constexpr qint64 PreviewBytes = 1 << 20;
    QByteArray head = file.read(PreviewBytes);
    // Only whole lines, so that no character is cut in two.
    if (!file.atEnd()) {
        const qsizetype end = head.lastIndexOf('\n');
        if (end > 0)
            head.truncate(end + 1);
    }
    return PreviewCsv(head, given, rowCount);
}

} // namespace kestrum
