#include "exchange/ForeignFormat.h"

#include "exchange/CsvReader.h"
#include "exchange/ExchangeMessages.h"
#include "exchange/HomeBankReader.h"
#include "exchange/ImportFile.h"
#include "exchange/JetLedgerSource.h"
#include "exchange/OfxReader.h"
#include "exchange/QifReader.h"
#include "exchange/XlsxReader.h"

#include <QFile>
#include <QFileInfo>

#include <cstring>

namespace kestrum {

namespace {

bool StartsWith(const QByteArray &bytes, qsizetype at, const char *text)
{
    return bytes.mid(at, qsizetype(std::strlen(text))) == text;
}

//! True when the first non-blank bytes (after a UTF-8 byte-order mark) begin a
//! QIF header line.
bool LooksLikeQif(const QByteArray &head)
{
    qsizetype at = head.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    while (at < head.size() && (head[at] == ' ' || head[at] == '\t' || head[at] == '\r' || head[at] == '\n'))
        ++at;
    if (at >= head.size() || head[at] != '!')
        return false;
    const QByteArray line = head.mid(at, 16).toLower();
    return line.startsWith("!type:") || line.startsWith("!account") || line.startsWith("!option:") ||
           line.startsWith("!clear:");
}

} // namespace

TForeignFormat DetectForeignFormat(const QByteArray &head, const QString &fileName)
{
    if (head.size() >= 19 &&
        (StartsWith(head, 4, "Standard Jet DB") || StartsWith(head, 4, "Standard ACE DB")))
        return ffAccess;
    if (head.startsWith(QByteArray("SQLite format 3\0", 16)))
        return ffSqlite;
    if (LooksLikeQif(head))
        return ffQif;
    if (LooksLikeHomeBank(head))
        return ffHomeBank;
    if (LooksLikeOfx(head))
        return ffOfx;
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    // A zip archive is taken for a workbook: its reader says when it is none.
    if (LooksLikeZip(head))
        return ffXlsx;
    if (head.isEmpty())
        return ffUnknown;
    if (suffix == QLatin1String("qif"))
        return ffQif;
    if (suffix == QLatin1String("xhb"))
        return ffHomeBank; // its reader says what is wrong with it
    if (suffix == QLatin1String("ofx") || suffix == QLatin1String("qfx"))
        return ffOfx;
    // UTF-16 text has NULs; anything else with a NUL is no text.
    const bool utf16 = head.startsWith("\xFF\xFE") || head.startsWith("\xFE\xFF");
    if (!utf16 && head.contains('\0'))
        return ffUnknown;
    return ffCsv;
}

TForeignFormat DetectForeignFormatOfFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return ffUnknown;
    return DetectForeignFormat(file.read(4096), path);
}

QString ForeignFormatName(TForeignFormat format)
{
    switch (format) {
    case ffCsv:
        return QStringLiteral("CSV");
    case ffQif:
        return QStringLiteral("QIF");
    case ffAccess:
        return QStringLiteral("Access");
    case ffSqlite:
        return QStringLiteral("SQLite");
    case ffHomeBank:
        return QStringLiteral("HomeBank");
    case ffOfx:
        return QStringLiteral("OFX");
    case ffXlsx:
        return QStringLiteral("xlsx");
    case ffUnknown:
        break;
    }
    return QStringLiteral("未知格式");
}

std::unique_ptr<TEntrySource> OpenEntrySource(const QString &path)
{
    const QByteArray data = ReadImportFile(path);
    switch (DetectForeignFormat(data.left(4096), path)) {
    case ffCsv:
        return std::make_unique<TCsvEntrySource>(data);
    case ffQif:
        return std::make_unique<TQifEntrySource>(data);
    case ffHomeBank:
        return std::make_unique<THomeBankEntrySource>(data);
    case ffOfx:
        return std::make_unique<TOfxEntrySource>(path);
    case ffXlsx:
        return TXlsxEntrySource::FromFile(path);
    case ffAccess:
        return OpenJetLedgerSource(path); // an old ledger of the Access program
    case ffSqlite:
        throw EImportError(QStringLiteral("%1是 SQLite 数据库，不是可以导入的文件")
                               .arg(exchange::QuotedValue(path))
                               .toStdString());
    case ffUnknown:
        break;
    }
    if (data.startsWith("\xD0\xCF\x11\xE0"))
        throw EImportError(QStringLiteral("%1是旧版 Excel（.xls）或其他 Office 文件，无法直接导入；"
                                          "请在 Excel 或 LibreOffice 中另存为 .xlsx 或 CSV 再导入")
                               .arg(exchange::QuotedValue(path))
                               .toStdString());
    if (data.isEmpty())
        throw EImportError(QStringLiteral("文件%1是空的").arg(exchange::QuotedValue(path)).toStdString());
    throw EImportError(QStringLiteral("%1不是文本文件，既不是 CSV 也不是 QIF 文件")
                           .arg(exchange::QuotedValue(path))
                           .toStdString());
}

} // namespace kestrum
