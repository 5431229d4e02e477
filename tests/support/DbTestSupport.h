#pragma once
// Real ledger files in a temporary folder, and a data link that writes down
// every notification it hears as one string.
#include "core/RegionalSettings.h"
#include "db/DbConnection.h"
#include "db/DbDataLink.h"
#include "db/DbDataSource.h"
#include "db/DbField.h"
#include "db/DbQuery.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fcntl.h>
#include <sys/fsuid.h>
#include <unistd.h>

#include <memory>
#include <string>

namespace kestrum::test {

inline QString ConnectionStringFor(const QString &path)
{
    return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path + ";Persist Security Info=True";
}

//! Runs SQL on a file with a plain SQLite connection (what another program does).
void RawExec(const QString &path, const std::string &sql);

//! One value of a query run with a plain SQLite connection, as text ("NULL"
//! for Null, "<none>" without a row, "<error>" when the query fails).
std::string RawValue(const QString &path, const std::string &sql);

//! A new ledger file with the program's tables, empty.
void CreateLedgerFile(const QString &path);

//! While it lives, the file can only be opened for reading, as a file
//! without write permission is for an ordinary user. Root ignores permission
//! bits, so for root the thread's file-system identity (user and group)
//! becomes nobody's until the object dies. Works() says whether the file really
//! refuses writing here; a test skips when it cannot.
class ReadOnlyFile {
public:
    explicit ReadOnlyFile(const QString &path) : FPath(path)
    {
        const QString folder = QFileInfo(path).absolutePath();
        FFolderPermissions = QFile::permissions(folder);
        QFile::setPermissions(folder, FFolderPermissions | QFile::ReadOther | QFile::ExeOther);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
        if (geteuid() == 0) {
            // Group first: as root's group the folder's group bits would apply.
            setfsgid(65534);
            setfsuid(65534);
            FSwitched = setfsuid(-1) == 65534 && setfsgid(-1) == 65534;
        }
    }
    ~ReadOnlyFile()
    {
        if (geteuid() == 0) {
            setfsuid(0);
            setfsgid(0);
        }
        QFile::setPermissions(FPath, QFile::ReadOwner | QFile::WriteOwner);
        QFile::setPermissions(QFileInfo(FPath).absolutePath(), FFolderPermissions);
    }
    ReadOnlyFile(const ReadOnlyFile &) = delete;
    ReadOnlyFile &operator=(const ReadOnlyFile &) = delete;

    bool Works() const
    {
        if (geteuid() == 0 && !FSwitched)
            return false;
        const QByteArray name = QFile::encodeName(FPath);
        const int writable = ::open(name.constData(), O_RDWR);
        if (writable >= 0)
            ::close(writable);
        const int readable = ::open(name.constData(), O_RDONLY);
        if (readable >= 0)
            ::close(readable);
        return writable < 0 && readable >= 0;
    }

private:
    QString FPath;
    QFile::Permissions FFolderPermissions;
    bool FSwitched = false;
};

//! The query's rows as "a,b|c,d" (field texts), from the first row on.
inline std::string RowsText(TDbQuery &query, const QStringList &fields)
{
    std::string result;
    query.First();
    while (!query.Eof()) {
        if (!result.empty())
            result += '|';
        QStringList texts;
        for (const QString &field : fields)
            texts.append(query.FieldByName(field)->AsString());
        result += texts.join(',').toStdString();
        query.Next();
    }
    return result;
}

//! A ledger file in a fresh temporary folder.
class LedgerFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        setRegionalSettings(RegionalSettings::simplifiedChinese());
        ASSERT_TRUE(FDir.isValid());
        FPath = FDir.filePath(QStringLiteral("Vantorel.mdb"));
        CreateLedgerFile(FPath);
        FConnection.SetConnectionString(ConnectionStringFor(FPath));
    }

    void AddGain(double amount, const char *date, const char *item, const char *remark = nullptr)
    {
        RawExec(FPath, std::string("INSERT INTO gain (本次进帐, 进帐时间, 进帐人, 备注) VALUES (") +
                           std::to_string(amount) + ", '" + date + "', '" + item + "', " +
                           (remark ? "'" + std::string(remark) + "'" : std::string("NULL")) + ")");
    }

    void AddExpen(double amount, const char *date, const char *item)
    {
        RawExec(FPath, std::string("INSERT INTO expen (消费金额, 消费日期, 消费者) VALUES (") +
                           std::to_string(amount) + ", '" + date + "', '" + item + "')");
    }

    //! A query on the fixture's connection, opened on the statement.
    std::unique_ptr<TDbQuery> OpenQuery(const QString &sql)
    {
        auto query = std::make_unique<TDbQuery>();
        query->SetConnection(&FConnection);
        query->SetSQL({sql});
        query->Open();
        return query;
    }

    //! The query's rows as "a,b|c,d" (field texts), from the first row on.
    static std::string Rows(TDbQuery &query, const QStringList &fields) { return RowsText(query, fields); }

    QTemporaryDir FDir;
    QString FPath;
    TDbConnection FConnection;
};

//! Writes every notification as a word: "active", "editing", "changed",
//! "scroll(d)", "record(field)", "layout", "update", "check", "focus(field)".
class RecordingLink : public TDbDataLink {
public:
    explicit RecordingLink(std::string *log, std::string name = "") : FLog(log), FName(std::move(name)) {}
    std::function<void()> OnUpdateData;
    bool ConsumeFocus = false;

protected:
    void ActiveChanged() override { Write(std::string("active:") + (Active() ? "1" : "0")); }
    void EditingChanged() override { Write(std::string("editing:") + (Editing() ? "1" : "0")); }
    void DataSetChanged() override { Write("changed"); }
    void DataSetScrolled(int distance) override { Write("scroll(" + std::to_string(distance) + ")"); }
    void RecordChanged(TDbField *field) override
    {
        Write("record(" + (field ? field->FieldName().toStdString() : std::string()) + ")");
    }
    void LayoutChanged() override { Write("layout"); }
    void UpdateData() override
    {
        Write("update");
        if (OnUpdateData)
            OnUpdateData();
    }
    void CheckBrowseMode() override { Write("check"); }
    void FocusControl(TDbField *&field) override
    {
        Write("focus(" + field->FieldName().toStdString() + ")");
        if (ConsumeFocus)
            field = nullptr;
    }

private:
    void Write(const std::string &word)
    {
        if (!FLog->empty())
            *FLog += ' ';
        *FLog += FName + word;
    }
    std::string *FLog;
    std::string FName;
};

} // namespace kestrum::test
