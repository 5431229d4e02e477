#include "exchange/XlsxWriter.h"

#include "core/Errors.h"
#include "exchange/ExchangeMessages.h"
#include "exchange/ExchangeText.h"
#include "exchange/LedgerAmount.h"

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>
#include <quazip/quazipnewinfo.h>

#include <QDate>
#include <QFileDevice>

#include <charconv>
#include <cstring>

namespace kestrum::exchange {

namespace {

// Cell styles of the workbook, by their index in styles.xml.
constexpr int DateStyle = 1;     //!< yyyy-mm-dd
constexpr int DateTimeStyle = 2; //!< yyyy-mm-dd hh:mm:ss
constexpr int AmountStyle = 3;   //!< 0.00

const char *const ContentTypes =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
    "\n"
    R"(<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">)"
    R"(<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>)"
    R"(<Default Extension="xml" ContentType="application/xml"/>)"
    R"(<Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/>)"
    R"(<Override PartName="/xl/worksheets/sheet1.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/>)"
    R"(<Override PartName="/xl/styles.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml"/>)"
    R"(</Types>)";

const char *const PackageRelations =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
    "\n"
    R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
    R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="xl/workbook.xml"/>)"
    R"(</Relationships>)";

const char *const Workbook =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
    "\n"
    R"(<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" )"
    R"(xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">)"
    R"(<sheets><sheet name="收支" sheetId="1" r:id="rId1"/></sheets></workbook>)";

const char *const WorkbookRelations =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
    "\n"
    R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
    R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet1.xml"/>)"
    R"(<Relationship Id="rId2" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles" Target="styles.xml"/>)"
    R"(</Relationships>)";

const char *const Styles =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
    "\n"
    R"(<styleSheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">)"
    R"(<numFmts count="2"><numFmt numFmtId="164" formatCode="yyyy\-mm\-dd"/>)"
    R"(<numFmt numFmtId="165" formatCode="yyyy\-mm\-dd\ hh:mm:ss"/></numFmts>)"
    R"(<fonts count="1"><font><sz val="11"/><name val="Calibri"/></font></fonts>)"
    R"(<fills count="2"><fill><patternFill patternType="none"/></fill><fill><patternFill patternType="gray125"/></fill></fills>)"
    R"(<borders count="1"><border><left/><right/><top/><bottom/><diagonal/></border></borders>)"
    R"(<cellStyleXfs count="1"><xf numFmtId="0" fontId="0" fillId="0" borderId="0"/></cellStyleXfs>)"
    R"(<cellXfs count="4"><xf numFmtId="0" fontId="0" fillId="0" borderId="0" xfId="0"/>)"
    R"(<xf numFmtId="164" fontId="0" fillId="0" borderId="0" xfId="0" applyNumberFormat="1"/>)"
    R"(<xf numFmtId="165" fontId="0" fillId="0" borderId="0" xfId="0" applyNumberFormat="1"/>)"
    R"(<xf numFmtId="2" fontId="0" fillId="0" borderId="0" xfId="0" applyNumberFormat="1"/></cellXfs>)"
    R"(<cellStyles count="1"><cellStyle name="Normal" xfId="0" builtinId="0"/></cellStyles>)"
    R"(</styleSheet>)";

//! Text as XML character data; characters XML cannot hold (control
//! characters other than tab and line ends) are left out.
void AppendXmlText(std::string &out, std::string_view text)
{
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '\r':
            out += "&#13;";
            break;
        default:
            if (static_cast<unsigned char>(c) >= 0x20 || c == '\t' || c == '\n')
                out += c;
            break;
        }
    }
}

void AppendReference(std::string &out, char column, int row)
{
    out += " r=\"";
    out += column;
    out += std::to_string(row);
    out += '"';
}

void AppendTextCell(std::string &out, char column, int row, std::string_view text)
{
    if (text.empty())
        return;
    out += "<c";
    AppendReference(out, column, row);
    out += R"( t="inlineStr"><is><t xml:space="preserve">)";
    AppendXmlText(out, text);
    out += "</t></is></c>";
}

//! The day and time as a serial number of the 1900 date system; false
//! before 1 March 1900 (where that system counts a day that never was).
bool SerialOf(const QDate &date, int seconds, double &serial)
{
    const qint64 days = QDate(1899, 12, 30).daysTo(date);
    if (days < 61)
        return false;
    serial = double(days) + double(seconds) / 86400.0;
    return true;
}

} // namespace

std::string XlsxSheetStart()
{
    std::string out = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
                      "\n"
                      R"(<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">)"
                      R"(<cols><col min="1" max="1" width="6" customWidth="1"/>)"
                      R"(<col min="2" max="2" width="12" customWidth="1"/>)"
                      R"(<col min="3" max="3" width="20" customWidth="1"/>)"
                      R"(<col min="4" max="5" width="24" customWidth="1"/></cols><sheetData><row r="1">)";
    const char *const headers[] = {"类型", "金额", "日期", "项目", "备注"};
    for (int i = 0; i < 5; ++i)
        AppendTextCell(out, char('A' + i), 1, headers[i]);
    out += "</row>";
    return out;
}

bool AppendXlsxRow(std::string &out, const TExportRow &row, TExportLosses &losses, int &line)
{
    out += "<row r=\"";
    out += std::to_string(line);
    out += "\">";
    AppendTextCell(out, 'A', line, row.Kind == ekIncome ? "收入" : "支出");
    const bool hasAmount = row.AmountType != TDbValueType::Null;
    std::string amount;
    if (AppendAmountCell(amount, row)) {
        out += "<c";
        AppendReference(out, 'B', line);
        out += " s=\"" + std::to_string(AmountStyle) + "\"><v>" + amount + "</v></c>";
    } else if (hasAmount) {
        // Text in the amount column is written as it is, not as the 0 it converts to.
        AppendTextCell(out, 'B', line, row.AmountText);
        ++losses.NonNumberAmounts;
        if (losses.NonNumberLines.size() < std::size_t(TExportLosses::MaxListed))
            losses.NonNumberLines.push_back(line);
    }
    QDate date;
    int seconds = 0;
    QString reason;
    double serial = 0;
    if (!row.Date.empty() && ParseDate(row.Date, date, seconds, reason) && SerialOf(date, seconds, serial)) {
        char number[32];
        const auto written = std::to_chars(number, number + sizeof number, serial); // exact, shortest
        out += "<c";
        AppendReference(out, 'C', line);
        out += " s=\"" + std::to_string(seconds != 0 ? DateTimeStyle : DateStyle) + "\"><v>";
        out.append(number, written.ptr);
        out += "</v></c>";
    } else {
        AppendTextCell(out, 'C', line, row.Date); // text that is no date, as it is
    }
    AppendTextCell(out, 'D', line, row.Item);
    AppendTextCell(out, 'E', line, row.Remark);
    out += "</row>";
    ++line;
    if (!hasAmount || row.Date.empty())
        ++losses.IncompleteRows;
    return true;
}

struct TXlsxPackage::TState {
    QString Path;
    QuaZip Zip;
    QuaZipFile Part{&Zip};
    explicit TState(QFileDevice &file) : Zip(&file) {}

    [[noreturn]] void Fail() const
    {
        throw Exception(QStringLiteral("无法写入文件%1（压缩出错）").arg(QuotedValue(Path)).toStdString());
    }
    void Open(const char *name)
    {
        if (!Part.open(QIODevice::WriteOnly, QuaZipNewInfo(QString::fromLatin1(name))))
            Fail();
    }
    void Close()
    {
        Part.close();
        if (Part.getZipError() != 0)
            Fail();
    }
    void Write(const char *name, const char *text)
    {
        Open(name);
        const qint64 size = qint64(std::strlen(text));
        if (Part.write(text, size) != size)
            Fail();
        Close();
    }
};

TXlsxPackage::TXlsxPackage(QFileDevice &file, const QString &path) : FState(new TState(file))
{
    FState->Path = path;
    FState->Zip.setAutoClose(false);
    if (!FState->Zip.open(QuaZip::mdCreate))
        FState->Fail();
    FState->Write("[Content_Types].xml", ContentTypes);
    FState->Write("_rels/.rels", PackageRelations);
    FState->Write("xl/workbook.xml", Workbook);
    FState->Write("xl/_rels/workbook.xml.rels", WorkbookRelations);
    FState->Write("xl/styles.xml", Styles);
    FState->Open("xl/worksheets/sheet1.xml");
}

TXlsxPackage::~TXlsxPackage() = default;

QIODevice &TXlsxPackage::Sheet()
{
    return FState->Part;
}

void TXlsxPackage::Finish()
{
    const char *const end = "</sheetData></worksheet>";
    if (FState->Part.write(end, qint64(std::strlen(end))) != qint64(std::strlen(end)))
        FState->Fail();
    FState->Close();
    FState->Zip.close();
    if (FState->Zip.getZipError() != 0)
        FState->Fail();
}

} // namespace kestrum::exchange
