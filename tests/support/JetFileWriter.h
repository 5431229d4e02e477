#pragma once
// Writes small Access (Jet 4) database files for tests: a table catalogue and
// plain tables of numbers, money, dates, texts and short memos, with no
// indexes. Enough for libmdb to read them as Access wrote them.
#include "core/DateTime.h"
#include "exchange/JetTableSource.h"

#include <QByteArray>
#include <QString>

#include <string>
#include <vector>

namespace kestrum::test {

enum TJetColumnType : std::uint8_t {
    jtLong = 0x04,     //!< 32-bit integer
    jtMoney = 0x05,    //!< currency, ten-thousandths
    jtDouble = 0x07,   //!< double
    jtDateTime = 0x08, //!< days since 30 Dec 1899
    jtText = 0x0a,     //!< text up to 255 characters
    jtMemo = 0x0c,     //!< long text (kept inline in the row)
};

struct TJetColumnDef {
    std::string Name; //!< UTF-8
    TJetColumnType Type;
};

struct TJetTableDef {
    std::string Name;
    std::vector<TJetColumnDef> Columns;
    //! Values per row in column order: jvNull, jvNumber for long and double,
    //! jvCurrency for money, jvDate for dates, jvText for texts and memos.
    std::vector<TJetRow> Rows;
};

//! Short names for the values of a test table's rows.
inline TJetValue Num(double value)
{
    return TJetValue::FromNumber(value);
}
inline TJetValue Text(const char *value)
{
    return TJetValue::FromText(value);
}
inline TJetValue Day(int year, int month, int day, int hour = 0, int minute = 0, int second = 0)
{
    return TJetValue::FromDate(
        ComposeDateTime(EncodeDate(year, month, day), EncodeTime(hour, minute, second)));
}

//! The bytes of a Jet 4 file holding the tables.
QByteArray Jet4FileBytes(const std::vector<TJetTableDef> &tables);
//! Writes them to `path`; false when the file cannot be written.
bool WriteJet4File(const QString &path, const std::vector<TJetTableDef> &tables);

//! The old program's two tables with an id column, `gain` and `expen`, with
//! the rows given (amount, date, item, remark after the id).
TJetTableDef OldLedgerTable(const std::string &name, std::vector<TJetRow> rows,
                            TJetColumnType amountType = jtDouble);

} // namespace kestrum::test
