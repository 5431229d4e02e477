#pragma once
// Reading entries from the first sheet of an .xlsx workbook (a payment
// app's or a bank's statement, or a sheet a person kept): the sheet is read
// through QuaZip and Qt's XML stream reader and then goes through the same
// header search and recognisers as a CSV file. Lines in messages are the
// sheet's rows; a cell that cannot be read is named by its row and column.
#include "exchange/CsvReader.h"
#include "exchange/XlsxSheet.h"

#include <QByteArray>
#include <QString>

#include <memory>

class QIODevice;

namespace kestrum {

//! The first sheet of the workbook in `device` (or in the file at `path`),
//! with its name; raises EImportError when the file is no readable workbook.
exchange::TXlsxTable ReadXlsxFirstSheet(QIODevice &device, QString &sheetName);
exchange::TXlsxTable ReadXlsxFile(const QString &path, QString &sheetName);

//! The preview of the first sheet, as PreviewCsv gives it for a CSV file.
TCsvPreview PreviewXlsxFile(const QString &path, const TCsvOptions &given = {}, int rowCount = 20);

class TXlsxEntrySource : public TEntrySource {
public:
    //! Reads a sheet already turned into text; the options' encoding and separator are its own.
    TXlsxEntrySource(exchange::TXlsxTable table, const QString &sheetName, const TCsvOptions &options = {});
    static std::unique_ptr<TXlsxEntrySource> FromFile(const QString &path, const TCsvOptions &options = {});
    ~TXlsxEntrySource() override;

    TStep Next(TForeignEntry &entry, TBadRecord &bad) override;
    double Progress() const override;
    QString Description() const override;
    QStringList Notes() const override;

    const TCsvOptions &Options() const;

private:
    struct TState;
    std::unique_ptr<TState> FState;
};

//! True when `head` begins a zip archive (an .xlsx is one).
bool LooksLikeZip(const QByteArray &head);

} // namespace kestrum
