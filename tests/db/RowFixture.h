#pragma once
// A small table in a fresh SQLite file, and its rows read into a row store
// the way a record set reads them.
#include "support/DbTestSupport.h"

#include "db/ColumnInfo.h"
#include "db/QueryStatement.h"
#include "db/RowStore.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace kestrum::test {

class RowFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FDir.isValid());
        FPath = FDir.filePath(QStringLiteral("rows.db"));
        RawExec(FPath, "CREATE TABLE t (id INTEGER PRIMARY KEY, name TEXT, n INTEGER DEFAULT 5);"
                       "INSERT INTO t (name, n) VALUES ('a', 1), ('b', 2), ('c', 3), ('d', 4), ('e', 5);");
        FConnection.SetConnectionString(ConnectionStringFor(FPath));
    }

    //! The rows of a statement; columns receives what each column is.
    std::unique_ptr<TDbRowStore> Read(const QString &sql, std::vector<TDbColumnInfo> &columns)
    {
        TDbQueryStatement statement;
        statement.SetLines({sql});
        return statement.Run(&FConnection, QStringLiteral("test"), columns);
    }
    std::unique_ptr<TDbRowStore> Read(const QString &sql)
    {
        std::vector<TDbColumnInfo> columns;
        return Read(sql, columns);
    }

    QTemporaryDir FDir;
    QString FPath;
    TDbConnection FConnection;
};

} // namespace kestrum::test
