// The xlsx reader over workbooks in the layouts that payment apps, banks and
// people write: shared and inline strings, numbers, dates as serial numbers
// with date styles, cells left out, damaged parts.
#include "exchange/XlsxReader.h"
#include "exchange/CsvRecords.h"
#include "exchange/ForeignFormat.h"

#include "ExchangeTestSupport.h"

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>
#include <quazip/quazipnewinfo.h>

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kestrum {
namespace {

using exchange::XlsxSerialDateText;

const QByteArray WorkbookXml =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"><workbookPr/><sheets><sheet name="Sheet1" sheetId="1" r:id="rId3"/><sheet name="Sheet2" sheetId="2" r:id="rId4"/></sheets></workbook>)";
const QByteArray RelationsXml =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId4" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet2.xml"/><Relationship Id="rId3" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="/xl/worksheets/first.xml"/></Relationships>)";
const QByteArray SheetStart =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData>)";
const QByteArray SheetEnd = "</sheetData></worksheet>";

QByteArray Escaped(const QString &text)
{
    return text.toHtmlEscaped().toUtf8();
}

class XlsxReader : public ::testing::Test {
protected:
    QTemporaryDir Dir;

    //! Writes a workbook whose first sheet is `sheet`; empty parts are left out.
    QString Write(const QByteArray &sheet, const QByteArray &strings = {}, const QByteArray &styles = {},
                  const QByteArray &workbook = WorkbookXml)
    {
        const QString path = Dir.filePath(QStringLiteral("book.xlsx"));
        QFile::remove(path);
        QuaZip zip(path);
        EXPECT_TRUE(zip.open(QuaZip::mdCreate));
        QuaZipFile part(&zip);
        auto add = [&](const char *name, const QByteArray &bytes) {
            if (bytes.isEmpty())
                return;
            EXPECT_TRUE(part.open(QIODevice::WriteOnly, QuaZipNewInfo(QString::fromLatin1(name))));
            part.write(bytes);
            part.close();
        };
        add("xl/workbook.xml", workbook);
        add("xl/_rels/workbook.xml.rels", RelationsXml);
        add("xl/sharedStrings.xml", strings);
        add("xl/styles.xml", styles);
        add("xl/worksheets/first.xml", sheet);
        add("xl/worksheets/sheet2.xml",
            SheetStart + "<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>" + SheetEnd);
        zip.close();
        return path;
    }
    static std::string Read(const QString &path, QStringList *notes = nullptr)
    {
        try {
            std::unique_ptr<TXlsxEntrySource> source = TXlsxEntrySource::FromFile(path);
            std::string out = ReadAll(*source);
            if (notes)
                *notes = source->Notes();
            return out;
        } catch (const EImportError &e) {
            return std::string("error: ") + e.what();
        }
    }
};

// A payment app's bill as its xlsx export writes it: every cell a shared
// string, the same rows as its CSV export.
TEST_F(XlsxReader, WechatBillAsWorkbookReadsAsItsCsvDoes)
{
    QFile csvFile(QStringLiteral(KESTRUM_BILLS_DIR "/wechat.csv"));
    ASSERT_TRUE(csvFile.open(QIODevice::ReadOnly));
    const QByteArray csv = csvFile.readAll();
    const std::string_view text(csv.constData() + 3,
                                std::size_t(csv.size() - 3)); // after the byte-order mark
    exchange::TCsvRecordReader records(text, ',');
    std::vector<std::string> cells;
    std::size_t count = 0;
    int line = 0;
    QByteArray sheet = SheetStart, strings;
    int stringCount = 0;
    while (records.Next(cells, count, line)) {
        sheet += "<row r=\"" + QByteArray::number(line) + "\">";
        for (std::size_t c = 0; c < count; ++c) {
            if (cells[c].empty())
                continue;
            sheet += "<c r=\"" + exchange::XlsxColumnName(int(c)).toLatin1() + QByteArray::number(line) +
                     "\" t=\"s\"><v>" + QByteArray::number(stringCount++) + "</v></c>";
            strings +=
                "<si><t xml:space=\"preserve\">" + Escaped(QString::fromStdString(cells[c])) + "</t></si>";
        }
        sheet += "</row>";
    }
    const QString path = Write(sheet + SheetEnd, "<sst>" + strings + "</sst>");
    EXPECT_EQ(DetectForeignFormatOfFile(path), ffXlsx);

    TCsvEntrySource fromCsv(csv);
    const std::string expected = ReadAll(fromCsv);
    QStringList notes;
    EXPECT_EQ(Read(path, &notes), expected);
    EXPECT_EQ(notes, fromCsv.Notes());
    EXPECT_EQ(OpenEntrySource(path)->Description(), QStringLiteral("微信支付账单（工作表“Sheet1”）"));
    const TCsvPreview preview = PreviewXlsxFile(path);
    EXPECT_TRUE(preview.Problems.isEmpty()) << preview.Problems.join('|').toStdString();
    EXPECT_EQ(preview.Rows.size(), 13);
}

// A bank's statement as a spreadsheet keeps it: numbers, dates as serial
// numbers shown by built-in and custom date formats, rich text, cells left
// out, empty rows, and rows that are no entries.
TEST_F(XlsxReader, BankStatementWithNumbersAndDateStylesGivesEntriesByTheSheetsRows)
{
    const QByteArray styles =
        R"(<styleSheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">
<numFmts count="1"><numFmt numFmtId="176" formatCode="yyyy&quot;年&quot;m&quot;月&quot;d&quot;日&quot;"/></numFmts>
<cellStyleXfs count="1"><xf numFmtId="14"/></cellStyleXfs>
<cellXfs count="5"><xf numFmtId="0"/><xf numFmtId="14"/><xf numFmtId="176"/><xf numFmtId="4"/><xf numFmtId="22"/></cellXfs>
</styleSheet>)";
    const QByteArray strings = R"(<sst count="6" uniqueCount="6">
<si><t>招商银行交易流水</t></si><si><t>交易日期</t></si><si><t>摘要</t></si><si><t>交易金额</t></si>
<si><r><rPr><b/></rPr><t>代发</t></r><r><t>工资</t></r><rPh sb="0" eb="2"><t>ダイハツ</t></rPh></si>
<si><t>备注</t></si></sst>)";
    const QByteArray sheet = SheetStart + R"(
<row r="1"><c r="A1" t="s"><v>0</v></c></row>
<row r="2"><c r="A2" t="inlineStr"><is><t>账号：6225 8802 1234 5678</t></is></c></row>
<row r="4"><c r="A4" t="s"><v>1</v></c><c r="B4" t="s"><v>2</v></c><c r="C4" t="s"><v>3</v></c><c r="D4" t="s"><v>5</v></c></row>
<row r="5"><c r="A5" s="1"><v>45658</v></c><c r="B5" t="inlineStr"><is><t>超市, 华联</t></is></c><c r="C5" s="3"><v>-12.5</v></c></row>
<row r="6"><c r="A6" s="2"><v>45659</v></c><c r="B6" t="s"><v>4</v></c><c r="C6" s="3"><v>8000</v></c><c r="D6" t="inlineStr"><is><t>一月
奖金另发</t></is></c></row>
<row r="7" spans="1:4"><c r="A7" s="1"/></row>
<row r="8"><c r="A8" s="4"><v>45660.75</v></c><c r="B8" t="str"><f>"转"&amp;"账"</f><v>转账</v></c><c r="C8"><v>-25.499999999999996</v></c><c r="D8" t="b"><v>1</v></c></row>
<row r="9"><c r="A9" s="1"><v>60</v></c><c r="B9" t="inlineStr"><is><t>闰日</t></is></c><c r="C9"><v>1</v></c></row>
<row r="10"><c r="A10" s="1"><v>45661</v></c><c r="C10" t="inlineStr"><is><t>十二元</t></is></c></row>
<row r="11"><c r="A11" s="1"><v>45662</v></c><c r="C11"><v>33.333333333333336</v></c></row>
)" + SheetEnd;
    EXPECT_EQ(Read(Write(sheet, strings, styles)), "E1250 2025-01-01 超市, 华联|@5; "
                                                   "I800000 2025-01-02 代发工资|一月\n奖金另发@6; "
                                                   "E2550 2025-01-03+64800 转账|TRUE@8; "
                                                   "!9 日期无法识别：“60”（A列）; "
                                                   "!10 金额无法识别：“十二元”（C列）; "
                                                   "!11 金额的小数超过两位：“33.333333333333336”（C列）");
}

TEST_F(XlsxReader, SerialNumbersCountTheLeapDayOf1900ThatNeverWas)
{
    EXPECT_EQ(XlsxSerialDateText(1, false), "1900-01-01");
    EXPECT_EQ(XlsxSerialDateText(59, false), "1900-02-28");
    EXPECT_EQ(XlsxSerialDateText(60, false), "");
    EXPECT_EQ(XlsxSerialDateText(61, false), "1900-03-01");
    EXPECT_EQ(XlsxSerialDateText(45658.5, false), "2025-01-01 12:00:00");
    EXPECT_EQ(XlsxSerialDateText(45658.9999999, false), "2025-01-02");
    EXPECT_EQ(XlsxSerialDateText(0, true), "1904-01-01");
    EXPECT_EQ(XlsxSerialDateText(44196, true), "2025-01-01");
    EXPECT_EQ(XlsxSerialDateText(0, false), "");
    EXPECT_EQ(XlsxSerialDateText(-3, false), "");
    EXPECT_EQ(XlsxSerialDateText(1e300, false), "");
}

TEST_F(XlsxReader, DamagedWorkbooksAreRefusedWithTheirPlace)
{
    const QByteArray header =
        R"(<row r="1"><c r="A1" t="inlineStr"><is><t>日期</t></is></c><c r="B1" t="inlineStr"><is><t>金额</t></is></c></row>)";
    // A shared string that is not there names its cell.
    std::string read = Read(
        Write(SheetStart + header +
                  R"(<row r="3"><c r="A3"><v>45658</v></c><c r="B3" t="s"><v>7</v></c></row>)" + SheetEnd,
              "<sst><si><t>x</t></si></sst>"));
    EXPECT_NE(read.find("第3行 B列：共享字符串编号7不存在"), std::string::npos) << read;
    // XML cut short names the part and its line.
    read = Read(Write(SheetStart + header + "\n<row r=\"2\"><c r=\"A2\"><v>4"));
    EXPECT_NE(read.find("工作表“Sheet1”在第3行不是有效的 XML"), std::string::npos) << read;
    // Cells out of order.
    read = Read(Write(SheetStart + header +
                      R"(<row r="2"><c r="B2"><v>1</v></c><c r="A2"><v>45662</v></c></row>)" + SheetEnd));
    EXPECT_NE(read.find("第2行 A列：单元格重复或顺序颠倒"), std::string::npos) << read;
    // Rows out of order.
    read = Read(Write(SheetStart + header + R"(<row r="1"><c r="A1"><v>1</v></c></row>)" + SheetEnd));
    EXPECT_NE(read.find("行号1不对"), std::string::npos) << read;
    // A zip archive that holds no workbook, and a file that is no zip at all.
    const QString other = Dir.filePath(QStringLiteral("other.xlsx"));
    {
        QuaZip zip(other);
        ASSERT_TRUE(zip.open(QuaZip::mdCreate));
        QuaZipFile part(&zip);
        ASSERT_TRUE(part.open(QIODevice::WriteOnly, QuaZipNewInfo(QStringLiteral("readme.txt"))));
        part.write("hello");
        part.close();
    }
    EXPECT_NE(Read(other).find("不是 xlsx 工作簿"), std::string::npos);
    QFile broken(Dir.filePath(QStringLiteral("broken.xlsx")));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write(QByteArray("PK\x03\x04", 4) + QByteArray(200, 'x'));
    broken.close();
    EXPECT_NE(Read(broken.fileName()).find("无法作为 zip 压缩包打开"), std::string::npos);
    EXPECT_EQ(DetectForeignFormatOfFile(broken.fileName()), ffXlsx);
}

} // namespace
} // namespace kestrum
