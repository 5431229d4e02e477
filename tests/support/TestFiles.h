#pragma once
// Files a test hands to the program, and what the program wrote back.
#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kestrum::test {

//! Writes `bytes` as the file `name` in `dir` and gives its path; a file
//! that cannot be written fails the test.
inline QString WriteTestFile(const QTemporaryDir &dir, const char *name, const QByteArray &bytes)
{
    const QString path = dir.filePath(name);
    QFile out(path);
    EXPECT_TRUE(out.open(QIODevice::WriteOnly)) << path.toStdString();
    EXPECT_EQ(out.write(bytes), bytes.size()) << path.toStdString();
    return path;
}

//! The file's bytes, or "<missing>" when there is no such file.
inline QByteArray ReadTestFile(const QString &path)
{
    QFile in(path);
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray("<missing>");
}

} // namespace kestrum::test
