#include "exchange/XlsxReader.h"

#include "exchange/ExchangeMessages.h"

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>
#include <quazip/quazipfileinfo.h>

#include <QBuffer>
#include <QFile>
#include <QRegularExpression>
#include <QXmlStreamReader>

namespace kestrum {

using namespace exchange;

namespace {

//! No part of a workbook a household imports comes near this; a larger one
//! is refused before it is unpacked (a zip can claim gigabytes in kilobytes).
constexpr quint64 MaxPartSize = quint64(1) << 30;

[[noreturn]] void Damaged(const QString &what)
{
    throw EImportError(QStringLiteral("xlsx 文件已损坏：%1").arg(what).toStdString());
}

//! Opens one part of the archive for reading; false when the archive has no such part.
bool OpenPart(QuaZip &zip, QuaZipFile &file, const QString &name)
{
    if (!zip.setCurrentFile(name))
        return false;
    QuaZipFileInfo64 info;
    if (!zip.getCurrentFileInfo(&info))
        Damaged(QStringLiteral("无法读取%1的目录项").arg(name));
    if (info.uncompressedSize > MaxPartSize)
        throw EImportError(QStringLiteral("xlsx 文件中的%1解压后有 %2 MB，太大，无法导入")
                               .arg(name)
                               .arg(info.uncompressedSize >> 20)
                               .toStdString());
    if (!file.open(QIODevice::ReadOnly))
        Damaged(QStringLiteral("无法解压%1").arg(name));
    return true;
}

//! After a part was read: a checksum that does not match, or data cut short, is damage.
void ClosePart(QuaZipFile &file, const QString &name)
{
    file.close();
    if (file.getZipError() != 0)
        Damaged(QStringLiteral("%1解压出错（错误码 %2）").arg(name).arg(file.getZipError()));
}

struct TFirstSheet {
    QString Name, RelationId;
    bool Date1904 = false;
};

TFirstSheet ReadWorkbook(QIODevice &part)
{
    TFirstSheet sheet;
    QXmlStreamReader xml(&part);
    while (!xml.atEnd() && sheet.RelationId.isEmpty()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QXmlStreamAttributes attributes = xml.attributes();
        if (xml.name() == u"workbookPr") {
            const QStringView value = attributes.value(QLatin1String("date1904"));
            sheet.Date1904 = value == u"1" || value == u"true";
        } else if (xml.name() == u"sheet") {
            sheet.Name = attributes.value(QLatin1String("name")).toString();
            for (const QXmlStreamAttribute &attribute : attributes)
                if (attribute.name() == u"id")
                    sheet.RelationId = attribute.value().toString();
        }
    }
    if (xml.hasError() && sheet.RelationId.isEmpty())
        Damaged(QStringLiteral("xl/workbook.xml 在第%1行不是有效的 XML（%2）")
                    .arg(xml.lineNumber())
                    .arg(xml.errorString()));
    return sheet;
}

//! The part a relation of the workbook points to ("xl/worksheets/sheet1.xml").
QString RelationTarget(QIODevice &part, const QString &id)
{
    QXmlStreamReader xml(&part);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement || xml.name() != u"Relationship")
            continue;
        const QXmlStreamAttributes attributes = xml.attributes();
        if (attributes.value(QLatin1String("Id")) == id) {
            const QString target = attributes.value(QLatin1String("Target")).toString();
            return target.startsWith(u'/') ? target.mid(1) : QStringLiteral("xl/") + target;
        }
    }
    return {};
}

QString DescriptionOf(const QString &inner, const QString &sheetName)
{
    // The CSV reader's description tells the encoding and separator, which
    // are the conversion's own, not the workbook's.
    const qsizetype cut = inner.indexOf(QStringLiteral("（"));
    const QString kind = cut > 0 ? inner.left(cut) : inner;
    return QStringLiteral("%1（工作表%2）")
        .arg(kind == QLatin1String("CSV") ? QStringLiteral("xlsx 工作簿") : kind, QuotedValue(sheetName));
}

TCsvOptions SheetOptions(TCsvOptions options)
{
    options.Encoding = ceUtf8;
    options.Separator = ',';
    return options;
}

} // namespace

bool LooksLikeZip(const QByteArray &head)
{
    return head.startsWith("PK\x03\x04");
}

TXlsxTable ReadXlsxFirstSheet(QIODevice &device, QString &sheetName)
{
    QuaZip zip(&device);
    if (!zip.open(QuaZip::mdUnzip))
        throw EImportError("文件不是有效的 xlsx 工作簿（无法作为 zip 压缩包打开）");
    QuaZipFile file(&zip);
    TXlsxBook book;
    const QString workbookName = QStringLiteral("xl/workbook.xml");
    if (!OpenPart(zip, file, workbookName))
        throw EImportError("文件是 zip 压缩包，但不是 xlsx 工作簿（其中没有 xl/workbook.xml）");
    const TFirstSheet first = ReadWorkbook(file);
    ClosePart(file, workbookName);
    book.Date1904 = first.Date1904;
    sheetName = first.Name;

    QString sheetPart;
    const QString relationsName = QStringLiteral("xl/_rels/workbook.xml.rels");
    if (!first.RelationId.isEmpty() && OpenPart(zip, file, relationsName)) {
        sheetPart = RelationTarget(file, first.RelationId);
        ClosePart(file, relationsName);
    }
    if (sheetPart.isEmpty())
        sheetPart = QStringLiteral("xl/worksheets/sheet1.xml");

    const QString stringsName = QStringLiteral("xl/sharedStrings.xml");
    if (OpenPart(zip, file, stringsName)) {
        ReadXlsxSharedStrings(file, stringsName, book);
        ClosePart(file, stringsName);
    }
    const QString stylesName = QStringLiteral("xl/styles.xml");
    if (OpenPart(zip, file, stylesName)) {
        ReadXlsxStyles(file, stylesName, book);
        ClosePart(file, stylesName);
    }
    if (!OpenPart(zip, file, sheetPart))
        Damaged(QStringLiteral("工作表%1（%2）不在文件中").arg(QuotedValue(sheetName), sheetPart));
    TXlsxTable table = ReadXlsxSheet(file, QStringLiteral("工作表%1").arg(QuotedValue(sheetName)), book);
    ClosePart(file, sheetPart);
    return table;
}

TXlsxTable ReadXlsxFile(const QString &path, QString &sheetName)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw EImportError(CannotOpen(path, file));
    try {
        return ReadXlsxFirstSheet(file, sheetName);
    } catch (const EImportError &e) {
        throw EImportError(
            QStringLiteral("%1：%2").arg(QuotedValue(path), QString::fromUtf8(e.what())).toStdString());
    }
}

TCsvPreview PreviewXlsxFile(const QString &path, const TCsvOptions &given, int rowCount)
{
    QString sheetName;
    const TXlsxTable table = ReadXlsxFile(path, sheetName);
    return PreviewCsv(table.Csv, SheetOptions(given), rowCount);
}

struct TXlsxEntrySource::TState {
    TXlsxTable Table;
    QString SheetName;
    std::unique_ptr<TCsvEntrySource> Rows;

    int RowOf(int line) const
    {
        return line > 0 && std::size_t(line) < Table.RowOfLine.size() &&
                       Table.RowOfLine[std::size_t(line)] > 0
                   ? Table.RowOfLine[std::size_t(line)]
                   : line;
    }
    //! The column a reason speaks of, by what it is about.
    int ColumnOf(const QString &reason) const
    {
        const QList<TCsvColumnRole> &mapping = Rows->Options().Mapping;
        QList<TCsvColumnRole> roles;
        if (reason.contains(QStringLiteral("日期")) || reason.contains(QStringLiteral("时间")))
            roles = {crDate};
        else if (reason.contains(QStringLiteral("类型")))
            roles = {crType};
        else if (reason.contains(QStringLiteral("金额")))
            roles = {crAmount, crIncomeAmount, crExpenseAmount};
        for (const TCsvColumnRole role : roles)
            if (const qsizetype at = mapping.indexOf(role); at >= 0)
                return int(at);
        return -1;
    }
};

TXlsxEntrySource::TXlsxEntrySource(TXlsxTable table, const QString &sheetName, const TCsvOptions &options)
    : FState(new TState)
{
    FState->Table = std::move(table);
    FState->SheetName = sheetName;
    try {
        FState->Rows = std::make_unique<TCsvEntrySource>(FState->Table.Csv, SheetOptions(options));
    } catch (const EImportError &e) {
        // The CSV reader names the text's line; here that is the sheet's row.
        QString message = QString::fromUtf8(e.what());
        static const QRegularExpression line(QStringLiteral("^第(\\d+)行"));
        if (const QRegularExpressionMatch match = line.match(message); match.hasMatch())
            message.replace(0, match.capturedLength(),
                            QStringLiteral("第%1行").arg(FState->RowOf(match.captured(1).toInt())));
        throw EImportError(QStringLiteral("工作表%1：%2").arg(QuotedValue(sheetName), message).toStdString());
    }
}

std::unique_ptr<TXlsxEntrySource> TXlsxEntrySource::FromFile(const QString &path, const TCsvOptions &options)
{
    QString sheetName;
    TXlsxTable table = ReadXlsxFile(path, sheetName);
    return std::make_unique<TXlsxEntrySource>(std::move(table), sheetName, options);
}

TXlsxEntrySource::~TXlsxEntrySource() = default;

TEntrySource::TStep TXlsxEntrySource::Next(TForeignEntry &entry, TBadRecord &bad)
{
    const TStep step = FState->Rows->Next(entry, bad);
    if (step == esEntry) {
        entry.Line = FState->RowOf(entry.Line);
    } else if (step == esBad) {
        bad.Line = FState->RowOf(bad.Line);
        if (const int column = FState->ColumnOf(bad.Reason); column >= 0)
            bad.Reason += QStringLiteral("（%1列）").arg(XlsxColumnName(column));
    }
    return step;
}

double TXlsxEntrySource::Progress() const
{
    return FState->Rows->Progress();
}

QString TXlsxEntrySource::Description() const
{
    return DescriptionOf(FState->Rows->Description(), FState->SheetName);
}

QStringList TXlsxEntrySource::Notes() const
{
    return FState->Rows->Notes();
}

const TCsvOptions &TXlsxEntrySource::Options() const
{
    return FState->Rows->Options();
}

} // namespace kestrum
