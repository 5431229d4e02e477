#pragma once
// Writing the ledger's entries as an .xlsx workbook for spreadsheet users:
// one sheet with the columns of the Chinese CSV export (类型, 金额, 日期,
// 项目, 备注), amounts as numbers and dates as dates (serial numbers with a
// date format), so that a spreadsheet sums and sorts them at once. The
// workbook reads back through the xlsx reader as the same entries.
#include "exchange/ExportLayout.h"

#include <QString>

#include <memory>
#include <string>

class QFileDevice;
class QIODevice;

namespace kestrum::exchange {

//! The sheet's XML up to and including its header row.
std::string XlsxSheetStart();
//! Appends one entry as a row of the sheet; `row` is the sheet's row (from 2), advanced past it.
bool AppendXlsxRow(std::string &out, const TExportRow &row, TExportLosses &losses, int &line);

//! The zip container of a workbook written into `file` (opened for writing,
//! left open): the fixed parts first, then the sheet, streamed through
//! Sheet(), which Finish() completes. Raises Exception when a part cannot be written.
class TXlsxPackage {
public:
    TXlsxPackage(QFileDevice &file, const QString &path);
    ~TXlsxPackage();
    QIODevice &Sheet();
    void Finish();

private:
    struct TState;
    std::unique_ptr<TState> FState;
};

} // namespace kestrum::exchange
