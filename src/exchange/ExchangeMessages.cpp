#include "exchange/ExchangeMessages.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

namespace kestrum::exchange {

QString QuotedValue(std::string_view text)
{
    return QuotedValue(QString::fromUtf8(text.data(), qsizetype(text.size())));
}

QString QuotedValue(const QString &text)
{
    return QStringLiteral("“") + text + QStringLiteral("”");
}

QString LineText(int line, const QString &text)
{
    if (line <= 0)
        return text;
    return QStringLiteral("第%1行：%2").arg(line).arg(text);
}

std::string LineMessage(int line, const QString &text)
{
    return LineText(line, text).toStdString();
}

QString AmbiguousAmount(std::string_view text)
{
    return QStringLiteral(
               "金额%1无法确定：其中的“.”可能是小数点，也可能是千位分隔符，文件中的其他金额也看不出是哪一种")
        .arg(QuotedValue(text));
}

QString MixedDecimalMarks(int pointLine, std::string_view pointText, int commaLine,
                          std::string_view commaText)
{
    return QStringLiteral("文件中的金额有两种写法：第%1行的%2以“.”为小数点，第%3行的%4以“,”为小数点")
        .arg(pointLine)
        .arg(QuotedValue(pointText))
        .arg(commaLine)
        .arg(QuotedValue(commaText));
}

QString DecimalMarkNote(char decimal, int count, int line, std::string_view text, int evidenceLine,
                        std::string_view evidence)
{
    return QStringLiteral(
               "有%1条金额（第一条在第%2行：%3）的分隔符本身有两种读法，按第%4行%5的写法，以“%6”为小数点读取")
        .arg(count)
        .arg(line)
        .arg(QuotedValue(text))
        .arg(evidenceLine)
        .arg(QuotedValue(evidence))
        .arg(QLatin1Char(decimal));
}

QString FileProblem(const QFileDevice &file, bool writing)
{
    const QFileInfo info(file.fileName());
    switch (file.error()) {
    case QFileDevice::OpenError:
    case QFileDevice::PermissionsError:
        if (info.isDir())
            return QStringLiteral("这是一个文件夹，不是文件");
        if (writing && !info.absoluteDir().exists())
            return QStringLiteral("所在的文件夹不存在");
        if (!writing && !info.exists())
            return QStringLiteral("文件不存在");
        if (writing ? info.exists() && !info.isWritable() : !info.isReadable())
            return writing ? QStringLiteral("没有写入的权限") : QStringLiteral("没有读取的权限");
        return writing ? QStringLiteral("无法写入这个位置") : QStringLiteral("无法打开这个文件");
    case QFileDevice::ReadError:
        return QStringLiteral("读取时出错");
    case QFileDevice::WriteError:
        return QStringLiteral("写入时出错，磁盘可能已满");
    case QFileDevice::ResourceError:
        return QStringLiteral("系统资源不足，磁盘可能已满");
    case QFileDevice::AbortError:
    case QFileDevice::TimeOutError:
        return QStringLiteral("操作被中断");
    default:
        return writing ? QStringLiteral("写入时出错") : QStringLiteral("读取时出错");
    }
}

std::string CannotOpen(const QString &path, const QFileDevice &file)
{
    return QStringLiteral("无法打开%1：%2").arg(QuotedValue(path), FileProblem(file, false)).toStdString();
}

std::string CannotRead(const QString &path, const QFileDevice &file)
{
    return QStringLiteral("无法读取%1：%2").arg(QuotedValue(path), FileProblem(file, false)).toStdString();
}

std::string CannotWrite(const QString &path, const QFileDevice &file)
{
    return QStringLiteral("无法写入%1：%2").arg(QuotedValue(path), FileProblem(file, true)).toStdString();
}

std::string LedgerProblem(sqlite3 *db)
{
    if (!db)
        return "内存不足";
    switch (sqlite3_errcode(db) & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return "账本正被其他程序使用，请稍后再试";
    case SQLITE_READONLY:
        return "账本是只读的";
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return "没有访问账本的权限";
    case SQLITE_FULL:
        return "磁盘已满";
    case SQLITE_CANTOPEN:
        return "账本文件不存在或无法打开";
    case SQLITE_NOTADB:
        return "文件不是数据库";
    case SQLITE_CORRUPT:
        return "账本文件已损坏";
    case SQLITE_IOERR:
        return "读写磁盘时出错";
    case SQLITE_NOMEM:
        return "内存不足";
    default:
        // Anything else is a fault inside the ledger (a missing table, say);
        // the database's own words are the only ones that name it.
        return std::string("数据库出错（") + sqlite3_errmsg(db) + "）";
    }
}

std::string CannotOpenLedger(const QString &path, sqlite3 *db)
{
    return "无法打开账本" + QuotedValue(path).toStdString() + "：" + LedgerProblem(db);
}

} // namespace kestrum::exchange
