#pragma once
// The parts of an Office Open XML workbook (.xlsx) that a ledger import
// needs: the shared strings, which cell styles show a date, and the cells
// of one worksheet, read with Qt's XML stream reader. A sheet becomes CSV
// text (UTF-8, commas) so that the CSV reader's header search and
// recognisers read a spreadsheet exactly as they read a CSV file.
#include <QByteArray>
#include <QString>

#include <string>
#include <vector>

class QIODevice;

namespace kestrum::exchange {

//! What the cells of any sheet of one workbook refer to.
struct TXlsxBook {
    std::vector<std::string> Strings; //!< the shared strings, UTF-8
    std::vector<bool> DateStyles;     //!< by cell style index: the style shows a date or a time
    bool Date1904 = false;            //!< serial numbers count days from 1904-01-01 (old Mac workbooks)
};

//! A sheet as CSV text, and for each line of that text the sheet's row it belongs to.
struct TXlsxTable {
    QByteArray Csv;
    std::vector<int> RowOfLine; //!< index: the CSV line (1-based); 0 where none
    int Columns = 0;            //!< the widest row's cells
};

//! Reads `xl/sharedStrings.xml` into `book`; raises EImportError naming the
//! part and the XML line when it is no well-formed XML.
void ReadXlsxSharedStrings(QIODevice &part, const QString &partName, TXlsxBook &book);
//! Reads the cell styles of `xl/styles.xml` into `book`.
void ReadXlsxStyles(QIODevice &part, const QString &partName, TXlsxBook &book);
//! Converts a worksheet part; raises EImportError (naming the cell, "第12行
//! F列") for a cell that cannot be read, and for XML that is not well-formed.
TXlsxTable ReadXlsxSheet(QIODevice &part, const QString &partName, const TXlsxBook &book);

//! "A" for column 0, "AB" for column 27.
QString XlsxColumnName(int column);
//! The day and time of a serial number in the workbook's date system, as
//! "yyyy-MM-dd" or "yyyy-MM-dd hh:mm:ss"; empty when it is no day (the
//! 1900 system's 29 February 1900, which never was, or out of range).
std::string XlsxSerialDateText(double serial, bool date1904);

} // namespace kestrum::exchange
