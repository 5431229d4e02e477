#pragma once
// Writing the ledger's entries to one CSV file that a spreadsheet opens and
// the CSV reader reads back: UTF-8 with a byte-order mark, comma-separated,
// the columns 类型 (收入 or 支出), 金额 (as the ledger holds it, sign and
// all: two decimals for whole cents, else every digit it takes to read back
// the same amount), 日期 (yyyy-MM-dd, with " HH:mm:ss" when the entry has a
// time of day), 项目 and 备注 (an empty text quoted as "", no text as an
// empty cell); income first, then expenses, each in date
// order. Read back, the file gives the same entries again. The same rows
// go out as QIF or as a CSV with English headers for other programs.
#include "exchange/ExportLayout.h"
#include "exchange/ForeignEntry.h"

#include <QDate>
#include <QString>

#include <vector>

struct sqlite3;

namespace kestrum {

class TDbDriver;

struct TExportOptions {
    QDate From; //!< first day written; invalid for no lower bound
    QDate To;   //!< last day written; invalid for no upper bound
    bool Income = true;
    bool Expense = true;
    //! Replace a file that exists; otherwise such a file is an error and is
    //! left untouched.
    bool Overwrite = false;
    TExportFormat Format = xfCsv;
};

//! What was written, and what the layout could not carry (TExportLosses).
struct TExportResult : TExportLosses {
    bool Cancelled = false; //!< the progress callback said stop; no file was written
    int IncomeRows = 0;     //!< written; rows the layout cannot hold are counted in the losses
    int ExpenseRows = 0;
};

//! The CSV header line, without the line end.
extern const char *const CsvExportHeader;

//! Writes the file under a temporary name beside `csvPath` and renames it
//! into place when complete, so a failure never leaves a half-written file
//! or harms one that was there. Raises Exception on failure (a missing
//! ledger, an unwritable folder, an existing file without Overwrite, From
//! after To).
//! `ledger` is a file or a server's address; a server's amounts are
//! written with every digit of its exact decimals.
TExportResult ExportCsv(const QString &ledger, const QString &csvPath, const TExportOptions &options = {},
                        const TProgressCallback &progress = {});
TExportResult ExportCsv(TDbDriver &db, const QString &csvPath, const TExportOptions &options = {},
                        const TProgressCallback &progress = {});
TExportResult ExportCsv(sqlite3 *db, const QString &csvPath, const TExportOptions &options = {},
                        const TProgressCallback &progress = {});

} // namespace kestrum
