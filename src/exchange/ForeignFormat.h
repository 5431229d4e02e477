#pragma once
// Telling what kind of file the user picked, and opening the right reader.
#include "exchange/ForeignEntry.h"

#include <QByteArray>
#include <QString>

#include <memory>

namespace kestrum {

enum TForeignFormat : std::uint8_t {
    ffUnknown,  //!< empty, binary or not a format this program reads
    ffCsv,      //!< text, read as CSV
    ffQif,      //!< starts with a "!Type:" or "!Account" line
    ffAccess,   //!< a Jet (Access) database file
    ffSqlite,   //!< an SQLite file (a ledger of this program)
    ffHomeBank, //!< a HomeBank ledger (XML with a "homebank" root)
    ffOfx,      //!< a bank's OFX or QFX statement
    ffXlsx,     //!< an Excel workbook (.xlsx, a zip archive)
};

//! Judges by the first bytes of the file (`head`, a few kilobytes), then by
//! the name's extension when the bytes leave it open.
TForeignFormat DetectForeignFormat(const QByteArray &head, const QString &fileName = QString());
TForeignFormat DetectForeignFormatOfFile(const QString &path);
QString ForeignFormatName(TForeignFormat format); //!< "CSV", "QIF", "Access", ...

//! A reader with detected settings for a CSV, QIF, HomeBank, OFX or xlsx file. Raises EImportError
//! for other formats (with a message saying what the file is) and for files
//! that cannot be read.
std::unique_ptr<TEntrySource> OpenEntrySource(const QString &path);

} // namespace kestrum
