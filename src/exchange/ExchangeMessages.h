#pragma once
// The wording every message of the exchange module shares: how a value from
// the file is quoted, how a line is named, and what went wrong with a file or
// with the ledger. The program shows these texts to its user as they are, so
// they are written in the user's language here and nowhere else.
#include <QString>

#include <string>
#include <string_view>

class QFileDevice;
struct sqlite3;

namespace kestrum::exchange {

//! A value from the file in Chinese quotation marks: “12..5”.
QString QuotedValue(std::string_view text);
QString QuotedValue(const QString &text);

//! Names the line a message is about: "第12行：...". A line of 0 or less names none.
QString LineText(int line, const QString &text);
std::string LineMessage(int line, const QString &text);

//! An amount like "1.500", whose dot may be a decimal point or a thousands
//! separator; the file's other amounts did not tell which.
QString AmbiguousAmount(std::string_view text);
//! The file writes amounts both ways: "." before the cents on one line, ","
//! on another; `pointLine` and `commaLine` name the first of each.
QString MixedDecimalMarks(int pointLine, std::string_view pointText, int commaLine,
                          std::string_view commaText);
//! How `count` amounts like "1.500" (the first on `line`) were read, and
//! which line of the file settled it.
QString DecimalMarkNote(char decimal, int count, int line, std::string_view text, int evidenceLine,
                        std::string_view evidence);

//! Why a file could not be opened, read or written, from the file's error and
//! what is on the disk: "文件不存在", "没有读取的权限", ...
QString FileProblem(const QFileDevice &file, bool writing);

//! "无法打开“x.csv”：文件不存在" and its kin for reading and writing.
std::string CannotOpen(const QString &path, const QFileDevice &file);
std::string CannotRead(const QString &path, const QFileDevice &file);
std::string CannotWrite(const QString &path, const QFileDevice &file);

//! What the database's last error means to the user ("账本正被其他程序使用").
std::string LedgerProblem(sqlite3 *db);

//! "无法打开账本“Vantorel.mdb”：..." for a ledger that sqlite3_open_v2 refused.
std::string CannotOpenLedger(const QString &path, sqlite3 *db);

} // namespace kestrum::exchange
