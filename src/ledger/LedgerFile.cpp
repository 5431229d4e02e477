#include "ledger/LedgerFile.h"

#include "core/Errors.h"
#include "db/JetFunctions.h"
#include "db/SqliteDriver.h"
#include "ledger/Budget.h"
#include "ledger/DateIndexes.h"
#include "ledger/Journal.h"
#include "ledger/Trash.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <sqlite3.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <random>
#include <string>

namespace kestrum {

const char *const LedgerSchemaSql = "CREATE TABLE gain ("
                                    "id INTEGER PRIMARY KEY AUTOINCREMENT, "
                                    "\"本次进帐\" REAL, "
                                    "\"进帐时间\" DATETIME, "
                                    "\"进帐人\" VARCHAR(50), "
                                    "\"备注\" TEXT);"
                                    "CREATE TABLE expen ("
                                    "id INTEGER PRIMARY KEY AUTOINCREMENT, "
                                    "\"消费金额\" REAL, "
                                    "\"消费日期\" DATETIME, "
                                    "\"消费者\" VARCHAR(50), "
                                    "\"备注\" TEXT);";

namespace {

using Database = std::unique_ptr<sqlite3, int (*)(sqlite3 *)>;

[[noreturn]] void Fail(sqlite3 *db, const std::string &what)
{
    throw Exception(what + ": " + (db ? sqlite3_errmsg(db) : "out of memory"));
}

void Exec(sqlite3 *db, const char *sql)
{
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        Fail(db, sql);
}

//! Makes a ledger at `path` from the schema and what `fill` adds. The file is
//! built under a temporary name beside it and renamed into place only when
//! complete, so a failure (a full disk, a fault while filling) leaves no
//! half-made file that a second attempt would then refuse.
void BuildLedgerFile(const QString &path, const std::function<void(sqlite3 *)> &fill)
{
    if (QFileInfo::exists(path))
        throw Exception("'" + path.toStdString() + "' exists already; it is left as it is");
    QString building;
    {
        QTemporaryFile temporary(path + QStringLiteral(".XXXXXX.part"));
        if (!temporary.open())
            throw Exception("Cannot create '" + path.toStdString() +
                            "': " + temporary.errorString().toStdString());
        temporary.setAutoRemove(false);
        building = temporary.fileName();
    }
    // A temporary file is private to its owner; the ledger gets the mode any
    // new file of this user gets, as it had when it was created directly.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    if (::chmod(QFile::encodeName(building).constData(), 0666 & ~mask) != 0) {
        QFile::remove(building);
        throw Exception("Cannot create '" + path.toStdString() + "': its permissions cannot be set");
    }
    auto discard = [&building] {
        QFile::remove(building);
        QFile::remove(building + QStringLiteral("-journal"));
    };
    try {
        {
            sqlite3 *raw = nullptr;
            const int rc =
                sqlite3_open_v2(building.toUtf8().constData(), &raw, SQLITE_OPEN_READWRITE, nullptr);
            Database db(raw, sqlite3_close);
            if (rc != SQLITE_OK)
                Fail(raw, "Cannot create '" + path.toStdString() + "'");
            Exec(raw, "BEGIN");
            if (sqlite3_exec(raw, LedgerSchemaSql, nullptr, nullptr, nullptr) != SQLITE_OK)
                Fail(raw, "Cannot create the tables");
            EnsureDateIndexes(raw);
            TSqliteDriver driver(raw);
            EnsureTrash(driver);
            EnsureBudgets(driver);
            if (fill)
                fill(raw);
            // After the sample rows: they are where the ledger starts, not
            // something its user did and could undo.
            EnsureJournal(driver);
            Exec(raw, "COMMIT");
            if (sqlite3_close(db.release()) != SQLITE_OK)
                throw Exception("Cannot finish '" + path.toStdString() + "'");
        }
        // Never over a file that appeared meanwhile.
        if (!QFile::rename(building, path))
            throw Exception("Cannot create '" + path.toStdString() + "'" +
                            (QFileInfo::exists(path) ? ": it exists already; it is left as it is" : ""));
    } catch (...) {
        discard();
        throw;
    }
}

class Inserter {
public:
    //! Rows dated after `lastDay` (yyyymmdd; 0 for none) are left out.
    Inserter(sqlite3 *db, const char *table, const char *amount, const char *date, const char *item,
             int lastDay)
        : FDb(db), FLastDay(lastDay), FStatement(nullptr, sqlite3_finalize)
    {
        const std::string sql = std::string("INSERT INTO ") + table + " (\"" + amount + "\", \"" + date +
                                "\", \"" + item + "\", \"备注\") VALUES (?1, ?2, ?3, ?4)";
        sqlite3_stmt *statement = nullptr;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK)
            Fail(db, "Cannot prepare the sample rows");
        FStatement.reset(statement);
    }
    void Add(double amount, int year, int month, int day, const char *item, const char *remark)
    {
        if (FLastDay > 0 && year * 10000 + month * 100 + day > FLastDay)
            return;
        char date[32];
        std::snprintf(date, sizeof date, "%04d-%02d-%02d 00:00:00", year, month, day);
        sqlite3_stmt *s = FStatement.get();
        sqlite3_bind_double(s, 1, std::round(amount * 100.0) / 100.0);
        sqlite3_bind_text(s, 2, date, -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(s, 3, item, -1, SQLITE_TRANSIENT);
        if (remark && *remark)
            sqlite3_bind_text(s, 4, remark, -1, SQLITE_TRANSIENT);
        else
            sqlite3_bind_null(s, 4);
        if (sqlite3_step(s) != SQLITE_DONE)
            Fail(FDb, "Cannot add a sample row");
        sqlite3_reset(s);
    }

private:
    sqlite3 *FDb;
    int FLastDay;
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)> FStatement;
};

int DaysIn(int year, int month)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
    return month == 2 && leap ? 29 : days[month - 1];
}

void AddDemoRows(sqlite3 *raw, int firstYear, int lastYear, unsigned seed, const QDate &lastDay)
{
    std::mt19937 random(seed);
    auto between = [&](double low, double high) {
        return std::uniform_real_distribution<double>(low, high)(random);
    };
    auto chance = [&](double p) { return std::bernoulli_distribution(p)(random); };

    // The draws do not depend on the last day, so an earlier end gives the
    // same rows up to it.
    const int last = lastDay.isValid() ? lastDay.year() * 10000 + lastDay.month() * 100 + lastDay.day() : 0;
    Inserter gain(raw, "gain", "本次进帐", "进帐时间", "进帐人", last);
    Inserter expen(raw, "expen", "消费金额", "消费日期", "消费者", last);
    for (int year = firstYear; year <= lastYear; ++year) {
        const double raise = 1.0 + 0.05 * (year - firstYear); // a yearly raise
        for (int month = 1; month <= 12; ++month) {
            const int days = DaysIn(year, month);
            gain.Add(8600.0 * raise, year, month, 10, "工资", "");
            gain.Add(5200.0 * raise, year, month, 15, "工资", "爱人");
            if (month % 3 == 0)
                gain.Add(between(1500, 3000), year, month, 28, "奖金", "季度奖");
            if (month == 1)
                gain.Add(between(12000, 20000), year, month, 20, "奖金", "年终奖");
            if (chance(0.3))
                gain.Add(between(300, 1200), year, month, int(between(1, days)), "兼职", "周末家教");
            if (month == 6 || month == 12)
                gain.Add(between(200, 400), year, month, 21, "利息", "定期存款");

            expen.Add(2800, year, month, 1, "房租", "");
            expen.Add(between(150, 320), year, month, 18, "水电", "水电燃气");
            expen.Add(between(99, 160), year, month, 8, "电话费", "两部手机");
            expen.Add(between(100, 300), year, month, 25, "交通", "公交地铁");
            for (int day = 2; day <= days; day += int(between(2, 5)))
                expen.Add(between(35, 180), year, month, day, "伙食", chance(0.2) ? "超市" : "");
            if (chance(0.5))
                expen.Add(between(200, 900), year, month, int(between(1, days)), "衣服", "");
            if (chance(0.2))
                expen.Add(between(50, 600), year, month, int(between(1, days)), "医药", "");
            if (chance(0.4))
                expen.Add(between(80, 400), year, month, int(between(1, days)), "娱乐", "电影聚餐");
            if (month == 2)
                expen.Add(between(2000, 4000), year, month, 5, "礼金", "春节红包");
        }
    }
}

} // namespace

void CreateLedgerDatabase(const QString &path)
{
    BuildLedgerFile(path, nullptr);
}

void CreateDemoDatabase(const QString &path, int firstYear, int lastYear, unsigned seed, const QDate &lastDay)
{
    BuildLedgerFile(path, [&](sqlite3 *raw) { AddDemoRows(raw, firstYear, lastYear, seed, lastDay); });
}

TLedgerCheck CheckLedgerDatabase(const QString &path)
{
    TLedgerCheck check;
    if (!QFileInfo::exists(path)) {
        check.Problems.append("'" + path + "' does not exist");
        return check;
    }
    sqlite3 *raw = nullptr;
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &raw, SQLITE_OPEN_READONLY, nullptr);
    Database db(raw, sqlite3_close);
    if (rc != SQLITE_OK) {
        check.Problems.append(QString::fromUtf8(sqlite3_errmsg(raw)));
        return check;
    }
    try {
        RegisterJetFunctions(raw);
    } catch (const Exception &e) {
        check.Problems.append(QString::fromStdString(e.message()));
        return check;
    }
    auto query = [&](const QString &sql, const std::function<void(sqlite3_stmt *)> &row) {
        sqlite3_stmt *statement = nullptr;
        if (sqlite3_prepare_v2(raw, sql.toUtf8().constData(), -1, &statement, nullptr) != SQLITE_OK) {
            check.Problems.append(QString::fromUtf8(sqlite3_errmsg(raw)));
            return false;
        }
        int step;
        while ((step = sqlite3_step(statement)) == SQLITE_ROW)
            row(statement);
        sqlite3_finalize(statement);
        if (step != SQLITE_DONE) {
            check.Problems.append(QString::fromUtf8(sqlite3_errmsg(raw)));
            return false;
        }
        return true;
    };
    auto text = [](sqlite3_stmt *s, int i) {
        return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(s, i)));
    };
    QString integrity;
    if (!query(QStringLiteral("PRAGMA quick_check"), [&](sqlite3_stmt *s) { integrity += text(s, 0); }))
        return check;
    if (integrity != QStringLiteral("ok")) {
        check.Problems.append("the file is damaged: " + integrity);
        return check;
    }
    struct Table {
        const char *name, *amount, *date, *item;
        int *rows;
    } tables[] = {{"gain", "本次进帐", "进帐时间", "进帐人", &check.GainRows},
                  {"expen", "消费金额", "消费日期", "消费者", &check.ExpenRows}};
    bool usable = true;
    for (const Table &table : tables) {
        const QString name = QString::fromUtf8(table.name);
        bool tableUsable = true;
        QStringList columns;
        bool hasKey = false;
        query("SELECT name, type, pk FROM pragma_table_info('" + name + "')", [&](sqlite3_stmt *s) {
            columns.append(text(s, 0));
            if (sqlite3_column_int(s, 2) == 1 && text(s, 1).compare("INTEGER", Qt::CaseInsensitive) == 0)
                hasKey = true;
        });
        if (columns.isEmpty()) {
            check.Problems.append("table " + name + " is missing");
            usable = tableUsable = false;
            continue;
        }
        for (const char *column : {table.amount, table.date, table.item, "备注"})
            if (!columns.contains(QString::fromUtf8(column))) {
                check.Problems.append("table " + name + " has no column " + QString::fromUtf8(column));
                usable = tableUsable = false;
            }
        if (!hasKey) {
            check.Problems.append("table " + name +
                                  " has no INTEGER PRIMARY KEY, so its rows cannot be changed");
            usable = tableUsable = false;
        }
        if (!tableUsable)
            continue;
        const QString amount = QString::fromUtf8(table.amount), date = QString::fromUtf8(table.date);
        query("SELECT count(*) FROM " + name,
              [&](sqlite3_stmt *s) { *table.rows = sqlite3_column_int(s, 0); });
        int badDates = 0, badAmounts = 0;
        query("SELECT count(*) FROM " + name + " WHERE \"" + date + "\" IS NOT NULL AND year(\"" + date +
                  "\") IS NULL",
              [&](sqlite3_stmt *s) { badDates = sqlite3_column_int(s, 0); });
        query("SELECT count(*) FROM " + name + " WHERE \"" + amount + "\" IS NOT NULL AND typeof(\"" +
                  amount + "\") NOT IN ('real','integer')",
              [&](sqlite3_stmt *s) { badAmounts = sqlite3_column_int(s, 0); });
        if (badDates > 0)
            check.Problems.append(QString::number(badDates) + " rows of " + name +
                                  " hold a date that is not ISO text (YYYY-MM-DD HH:MM:SS)");
        if (badAmounts > 0)
            check.Problems.append(QString::number(badAmounts) + " rows of " + name +
                                  " hold an amount that is no number");
    }
    check.Usable = usable;
    return check;
}

namespace {

//! How many of the two ledger tables the database holds; SQLite's result code.
int CountLedgerTables(sqlite3 *db, int &count)
{
    count = 0;
    sqlite3_stmt *raw = nullptr;
    int rc =
        sqlite3_prepare_v2(db,
                           "SELECT count(*) FROM main.sqlite_master WHERE type = 'table' AND lower(name) IN "
                           "('gain', 'expen')",
                           -1, &raw, nullptr);
    if (rc != SQLITE_OK)
        return rc;
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)> statement(raw, sqlite3_finalize);
    rc = sqlite3_step(raw);
    if (rc != SQLITE_ROW)
        return rc;
    count = sqlite3_column_int(raw, 0);
    return SQLITE_OK;
}

} // namespace

bool HoldsLedgerTables(sqlite3 *db)
{
    int count = 0;
    return CountLedgerTables(db, count) == SQLITE_OK && count == 2;
}

TLedgerExamination ExamineLedgerFile(const QString &path, std::chrono::milliseconds busyWait)
{
    TLedgerFileLook look(path, busyWait);
    return look.Pages();
}

namespace {

TLedgerExamination Found(TLedgerCondition condition, const QString &detail = QString())
{
    TLedgerExamination examination;
    examination.Condition = condition;
    examination.Detail = detail;
    return examination;
}

} // namespace

TLedgerExamination TLedgerFileLook::Failure(int rc) const
{
    const QString detail = QString::fromUtf8(sqlite3_errmsg(FDb));
    // Locks that the file system refused say nothing about the pages.
    if (rc == SQLITE_IOERR_LOCK || rc == SQLITE_IOERR_RDLOCK || rc == SQLITE_IOERR_UNLOCK ||
        rc == SQLITE_IOERR_CHECKRESERVEDLOCK)
        return Found(TLedgerCondition::NotAccessible, detail);
    switch (rc & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return Found(TLedgerCondition::InUse, detail);
    case SQLITE_NOTADB:
        return Found(TLedgerCondition::NotADatabase, detail);
    case SQLITE_CORRUPT:
    case SQLITE_IOERR:
    case SQLITE_FORMAT:
        return Found(TLedgerCondition::Damaged, detail);
    default: // permissions, a read-only folder with a journal to roll back, memory
        return Found(TLedgerCondition::NotAccessible, detail);
    }
}

TLedgerFileLook::TLedgerFileLook(const QString &path, std::chrono::milliseconds busyWait) : FPath(path)
{
    const QFileInfo file(path);
    if (!file.exists()) {
        FSchema = Found(TLedgerCondition::Missing);
        return;
    }
    if (!file.isFile()) {
        FSchema = Found(TLedgerCondition::NotAccessible, QStringLiteral("不是文件"));
        return;
    }
    // Read-write like the program's own connection, so that a journal a
    // crash left is rolled back rather than read past; never created.
    const int opened =
        sqlite3_open_v2(QFile::encodeName(path).constData(), &FDb, SQLITE_OPEN_READWRITE, nullptr);
    if (opened != SQLITE_OK) {
        FSchema = Found(TLedgerCondition::NotAccessible,
                        QString::fromUtf8(FDb ? sqlite3_errmsg(FDb) : sqlite3_errstr(opened)));
        sqlite3_close(FDb);
        FDb = nullptr;
        return;
    }
    sqlite3_extended_result_codes(FDb, 1);
    sqlite3_busy_timeout(FDb, int(busyWait.count()));
    // One read from here to the end of the pages' check: its lock keeps
    // every writer out until the answer is in.
    int rc = sqlite3_exec(FDb, "BEGIN", nullptr, nullptr, nullptr);
    // Reading the schema also reads the header: a file that is no database,
    // or whose first page is damaged, fails here.
    int tables = 0;
    if (rc == SQLITE_OK)
        rc = CountLedgerTables(FDb, tables);
    if (rc != SQLITE_OK)
        FSchema = Failure(rc);
    else if (tables != 2)
        FSchema = Found(TLedgerCondition::NotALedger, QStringLiteral("文件中没有账本的表 gain 和 expen"));
}

TLedgerFileLook::~TLedgerFileLook()
{
    sqlite3_close(FDb); // ends the read
}

TLedgerExamination TLedgerFileLook::Pages()
{
    // A file that is locked, no database or out of reach has no pages to look at.
    const TLedgerCondition schema = FSchema.Condition;
    if (!FDb || (schema != TLedgerCondition::Sound && schema != TLedgerCondition::NotALedger &&
                 schema != TLedgerCondition::Damaged)) {
        sqlite3_close(FDb);
        FDb = nullptr;
        return FSchema;
    }
    TLedgerExamination examination = FSchema;
    sqlite3_stmt *rawStatement = nullptr;
    int rc = sqlite3_prepare_v2(FDb, "PRAGMA quick_check", -1, &rawStatement, nullptr);
    if (rc != SQLITE_OK) {
        examination = Failure(rc);
    } else {
        std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)> statement(rawStatement, sqlite3_finalize);
        QStringList answers;
        while ((rc = sqlite3_step(rawStatement)) == SQLITE_ROW)
            answers.append(
                QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(rawStatement, 0))));
        // Damaged pages outweigh what the schema showed; a failure to read
        // them is only news when the schema read well.
        if (rc != SQLITE_DONE) {
            if (examination.Condition == TLedgerCondition::Sound)
                examination = Failure(rc);
        } else if (answers != QStringList{QStringLiteral("ok")}) {
            examination = Found(TLedgerCondition::Damaged, answers.join('\n'));
        }
    }
    sqlite3_close(FDb);
    FDb = nullptr;
    return examination;
}

} // namespace kestrum
