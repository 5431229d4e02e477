#include "exchange/XlsxSheet.h"

#include "exchange/ForeignEntry.h"

#include <QDate>
#include <QIODevice>
#include <QXmlStreamReader>

#include <charconv>
#include <cmath>
#include <set>

namespace kestrum::exchange {

namespace {

//! Excel's limits: no sheet is wider or longer.
constexpr int MaxColumns = 16384;
constexpr int MaxRows = 1048576;
//! 9999-12-31 in the 1900 system: no later day has a serial number.
constexpr double MaxSerial = 2958466.0;

[[noreturn]] void XmlFailure(const QXmlStreamReader &xml, const QString &partName)
{
    throw EImportError(QStringLiteral("xlsx 文件中的%1在第%2行不是有效的 XML（%3）；文件可能已损坏")
                           .arg(partName)
                           .arg(xml.lineNumber())
                           .arg(xml.errorString())
                           .toStdString());
}

//! The text of a <t> element, or of the runs of a rich text, leaving out
//! phonetic guides (<rPh>), which are no part of the cell's text.
void ReadRichText(QXmlStreamReader &xml, std::string &text)
{
    int depth = 1; // inside the element that holds the text
    int phonetic = 0;
    while (depth > 0 && !xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement:
            ++depth;
            if (xml.name() == u"rPh")
                phonetic = depth;
            else if (xml.name() == u"t" && phonetic == 0) {
                text += xml.readElementText().toStdString();
                --depth;
            }
            break;
        case QXmlStreamReader::EndElement:
            if (depth == phonetic)
                phonetic = 0;
            --depth;
            break;
        default:
            break;
        }
    }
}

bool IsBuiltInDateFormat(int id)
{
    return (id >= 14 && id <= 22) || (id >= 27 && id <= 36) || (id >= 45 && id <= 47) ||
           (id >= 50 && id <= 58);
}

//! Whether a number format shows a day or a time: a y, m, d, h or s outside
//! quoted text, escaped characters and bracketed colours or currencies.
bool IsDateFormatCode(const QString &code)
{
    bool quoted = false;
    int bracket = 0;
    for (qsizetype i = 0; i < code.size(); ++i) {
        const QChar c = code[i];
        if (c == u'"')
            quoted = !quoted;
        else if (quoted)
            continue;
        else if (c == u'\\' || c == u'_' || c == u'*')
            ++i; // the next character is shown as it is (or only pads)
        else if (c == u'[')
            ++bracket;
        else if (c == u']')
            bracket = std::max(0, bracket - 1);
        else if (bracket == 0 && QStringLiteral("ymdhsYMDHS").contains(c))
            return true;
    }
    return false;
}

//! "F12" -> column 5, row 12; false for anything else.
bool ParseCellReference(QStringView text, int &column, int &row)
{
    qsizetype i = 0;
    column = 0;
    while (i < text.size() && i < 4 && text[i].isLetter() && text[i].unicode() < 128) {
        column = column * 26 + (text[i].toUpper().unicode() - 'A' + 1);
        ++i;
    }
    if (i == 0 || column > MaxColumns)
        return false;
    --column;
    bool ok = false;
    row = text.mid(i).toInt(&ok);
    return ok && row >= 1 && row <= MaxRows && text[i].isDigit();
}

QString CellName(int row, int column)
{
    return QStringLiteral("第%1行 %2列").arg(row).arg(XlsxColumnName(column));
}

//! A number as the CSV reader reads it. A spreadsheet's sums leave the
//! noise of binary fractions ("25.499999999999996"): where 15 significant
//! digits make it whole cents, that is the amount; any other number keeps
//! every digit it takes to read back the same value.
void AppendNumber(std::string &out, double value, std::string_view original)
{
    if (!std::isfinite(value)) {
        out += original;
        return;
    }
    char buffer[400];
    const double magnitude = std::fabs(value);
    if (magnitude >= 1e-4 && magnitude < 1e15) {
        const auto rounded =
            std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
        const std::string_view text(buffer, std::size_t(rounded.ptr - buffer));
        const std::size_t point = text.find('.');
        if (point == std::string_view::npos || text.size() - point <= 3) {
            out += text;
            return;
        }
    }
    out.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed).ptr);
}

//! Appends a cell to a CSV record, quoted when it must be; every line end
//! becomes "\n" so that the lines of the text can be counted.
void AppendCsvCell(std::string &out, std::string_view cell, int &line)
{
    bool quote = !cell.empty() && (cell.front() == ' ' || cell.back() == ' ');
    for (const char c : cell)
        if (c == ',' || c == '"' || c == '\n' || c == '\r')
            quote = true;
    if (!quote) {
        out += cell;
        return;
    }
    out += '"';
    for (std::size_t i = 0; i < cell.size(); ++i) {
        const char c = cell[i];
        if (c == '"')
            out += "\"\"";
        else if (c == '\r') {
            out += '\n';
            ++line;
            if (i + 1 < cell.size() && cell[i + 1] == '\n')
                ++i;
        } else {
            out += c;
            line += c == '\n';
        }
    }
    out += '"';
}

} // namespace

QString XlsxColumnName(int column)
{
    QString name;
    for (int n = column + 1; n > 0; n = (n - 1) / 26)
        name.prepend(QChar(u'A' + (n - 1) % 26));
    return name;
}

std::string XlsxSerialDateText(double serial, bool date1904)
{
    if (!std::isfinite(serial) || serial < (date1904 ? 0.0 : 1.0) || serial >= MaxSerial)
        return {};
    auto day = static_cast<std::int64_t>(std::floor(serial));
    int seconds = static_cast<int>(std::llround((serial - double(day)) * 86400.0));
    if (seconds >= 86400) {
        ++day;
        seconds -= 86400;
    }
    QDate date;
    if (date1904)
        date = QDate(1904, 1, 1).addDays(day);
    else if (day == 60)
        return {}; // 1900-02-29: the 1900 system counts a leap day that never was
    else
        date = QDate(1899, 12, day < 60 ? 31 : 30).addDays(day);
    std::string text = date.toString(QStringLiteral("yyyy-MM-dd")).toStdString();
    if (seconds > 0) {
        char time[16];
        std::snprintf(time, sizeof time, " %02d:%02d:%02d", seconds / 3600, seconds / 60 % 60, seconds % 60);
        text += time;
    }
    return text;
}

void ReadXlsxSharedStrings(QIODevice &part, const QString &partName, TXlsxBook &book)
{
    QXmlStreamReader xml(&part);
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == u"si") {
            std::string text;
            ReadRichText(xml, text);
            book.Strings.push_back(std::move(text));
        }
    }
    if (xml.hasError())
        XmlFailure(xml, partName);
}

void ReadXlsxStyles(QIODevice &part, const QString &partName, TXlsxBook &book)
{
    QXmlStreamReader xml(&part);
    std::set<int> dateFormats;
    bool inCellFormats = false;
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            const QXmlStreamAttributes attributes = xml.attributes();
            if (xml.name() == u"numFmt") {
                if (IsDateFormatCode(attributes.value(QLatin1String("formatCode")).toString()))
                    dateFormats.insert(attributes.value(QLatin1String("numFmtId")).toInt());
            } else if (xml.name() == u"cellXfs") {
                inCellFormats = true;
            } else if (xml.name() == u"xf" && inCellFormats) {
                const int id = attributes.value(QLatin1String("numFmtId")).toInt();
                book.DateStyles.push_back(IsBuiltInDateFormat(id) || dateFormats.count(id) > 0);
            }
        } else if (token == QXmlStreamReader::EndElement && xml.name() == u"cellXfs") {
            inCellFormats = false;
        }
    }
    if (xml.hasError())
        XmlFailure(xml, partName);
}

TXlsxTable ReadXlsxSheet(QIODevice &part, const QString &partName, const TXlsxBook &book)
{
    TXlsxTable table;
    std::string out;
    std::vector<std::string> cells;
    std::size_t used = 0; // cells of the current row
    int row = 0, lastRow = 0, line = 1;
    int nextColumn = 0;
    table.RowOfLine.push_back(0);
    QXmlStreamReader xml(&part);
    auto fail = [&](int column, const QString &what) {
        throw EImportError(QStringLiteral("xlsx 文件%1：%2").arg(CellName(row, column), what).toStdString());
    };
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::StartElement && xml.name() == u"row") {
            const QXmlStreamAttributes attributes = xml.attributes();
            const QStringView r = attributes.value(QLatin1String("r"));
            bool ok = true;
            row = r.isEmpty() ? lastRow + 1 : r.toInt(&ok);
            if (!ok || row <= lastRow || row > MaxRows)
                throw EImportError(QStringLiteral("xlsx 文件的%1中，第%2行之后的行号%3不对；文件可能已损坏")
                                       .arg(partName)
                                       .arg(lastRow)
                                       .arg(r.toString())
                                       .toStdString());
            used = 0;
            nextColumn = 0;
        } else if (token == QXmlStreamReader::StartElement && xml.name() == u"c" && row > 0) {
            const QXmlStreamAttributes attributes = xml.attributes();
            int column = nextColumn, cellRow = row;
            const QStringView reference = attributes.value(QLatin1String("r"));
            if (!reference.isEmpty() && !ParseCellReference(reference, column, cellRow))
                fail(nextColumn, QStringLiteral("单元格位置%1无法识别").arg(reference.toString()));
            if (column < nextColumn)
                fail(column, QStringLiteral("单元格重复或顺序颠倒"));
            nextColumn = column + 1;
            const QStringView type = attributes.value(QLatin1String("t"));
            const int style = attributes.value(QLatin1String("s")).toInt();
            std::string value;
            bool hasValue = false;
            // The value is in <v>, or for an inline string in <is>; a formula (<f>) is passed over.
            int depth = 1;
            while (depth > 0 && !xml.atEnd()) {
                const QXmlStreamReader::TokenType inner = xml.readNext();
                if (inner == QXmlStreamReader::StartElement) {
                    if (xml.name() == u"v") {
                        value = xml.readElementText().toStdString();
                        hasValue = true;
                    } else if (xml.name() == u"is") {
                        ReadRichText(xml, value);
                        hasValue = true;
                    } else {
                        ++depth;
                    }
                } else if (inner == QXmlStreamReader::EndElement) {
                    --depth;
                }
            }
            if (xml.hasError())
                break;
            if (!hasValue)
                continue; // an empty cell that only carries a style
            if (used <= std::size_t(column)) {
                if (cells.size() <= std::size_t(column))
                    cells.resize(std::size_t(column) + 1);
                for (std::size_t i = used; i < std::size_t(column); ++i)
                    cells[i].clear();
                used = std::size_t(column) + 1;
            }
            std::string &cell = cells[std::size_t(column)];
            cell.clear();
            if (type == u"s") {
                std::size_t index = 0;
                const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), index);
                if (error != std::errc() || end != value.data() + value.size() ||
                    index >= book.Strings.size())
                    fail(column, QStringLiteral("共享字符串编号%1不存在；文件可能已损坏")
                                     .arg(QString::fromStdString(value)));
                cell = book.Strings[index];
            } else if (type == u"b") {
                cell = value == "1" ? "TRUE" : "FALSE";
            } else if (type == u"d") {
                for (char &c : value)
                    if (c == 'T')
                        c = ' ';
                cell = std::move(value);
            } else if (type.isEmpty() || type == u"n") {
                double number = 0;
                const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
                const bool numeric = error == std::errc() && end == value.data() + value.size();
                std::string date;
                if (numeric && style >= 0 && std::size_t(style) < book.DateStyles.size() &&
                    book.DateStyles[std::size_t(style)])
                    date = XlsxSerialDateText(number, book.Date1904);
                if (!date.empty())
                    cell = std::move(date);
                else if (numeric)
                    AppendNumber(cell, number, value);
                else
                    cell = std::move(value);
            } else {
                cell = std::move(value); // "str" (a formula's text), "inlineStr", "e" (#N/A, ...)
            }
        } else if (token == QXmlStreamReader::EndElement && xml.name() == u"row") {
            if (used > 0) {
                // Blank lines for the rows left out keep the text's lines the
                // sheet's rows (unless a cell above held a line break), so
                // that what the CSV reader notes by line is right as it is.
                for (; line < row; ++line)
                    out += '\n';
                if (table.RowOfLine.size() <= std::size_t(line))
                    table.RowOfLine.resize(std::size_t(line) + 1, 0);
                table.RowOfLine[std::size_t(line)] = row;
                for (std::size_t i = 0; i < used; ++i) {
                    if (i > 0)
                        out += ',';
                    AppendCsvCell(out, cells[i], line);
                }
                out += '\n';
                ++line;
                table.Columns = std::max(table.Columns, int(used));
            }
            lastRow = row;
            row = 0;
        }
    }
    if (xml.hasError())
        XmlFailure(xml, partName);
    table.Csv = QByteArray(out.data(), qsizetype(out.size()));
    return table;
}

} // namespace kestrum::exchange
