#include "app/ServerOpenModel.h"

#include "db/PgDriver.h"
#include "ledger/ServerSchema.h"

namespace kestrum {

QStringList TServerOpenModel::SslModes()
{
    return {QStringLiteral("disable"), QStringLiteral("allow"),     QStringLiteral("prefer"),
            QStringLiteral("require"), QStringLiteral("verify-ca"), QStringLiteral("verify-full")};
}

QString TServerOpenModel::PasswordNote()
{
    return QStringLiteral("密码只交给数据库连接使用，Kestrum 不会把它写进任何文件。"
                          "要记住密码，请写在 ~/.pgpass 或 PostgreSQL 的服务文件（pg_service.conf）中，"
                          "这里就可以不填。");
}

void TServerOpenModel::SetFrom(const TServerAddress &address)
{
    Host = address.Host();
    Port = address.Port().isEmpty() ? QStringLiteral("5432") : address.Port();
    Database = address.Database();
    User = address.User();
    SslMode = address.SslMode().isEmpty() ? QStringLiteral("prefer") : address.SslMode();
    Password.clear();
    FOutcome = TOutcome::Untried;
    FOutcomeText.clear();
}

QString TServerOpenModel::Problem() const
{
    if (Database.trimmed().isEmpty())
        return QStringLiteral("请填写数据库的名称。");
    bool number = false;
    const int port = Port.trimmed().toInt(&number);
    if (!Port.trimmed().isEmpty() && (!number || port < 1 || port > 65535))
        return QStringLiteral("端口应是 1 到 65535 之间的数字。");
    if (!SslModes().contains(SslMode))
        return QStringLiteral("加密方式（sslmode）只能是 %1 之一。")
            .arg(SslModes().join(QStringLiteral("、")));
    return QString();
}

TServerAddress TServerOpenModel::Address() const
{
    TServerAddress address;
    address.Set("host", Host);
    address.Set("port", Port);
    address.Set("dbname", Database);
    address.Set("user", User);
    // libpq's own default needs no word.
    address.Set("sslmode", SslMode == QStringLiteral("prefer") ? QString() : SslMode);
    return address;
}

QString TServerOpenModel::ConnectTarget() const
{
    return Address().TargetWithPassword(Password);
}

TServerOpenModel::TOutcome TServerOpenModel::Test()
{
    const QString problem = Problem();
    if (!problem.isEmpty()) {
        FOutcomeText = problem;
        return FOutcome = TOutcome::Failed;
    }
    try {
        // A dialog waits for its answer: a server that does not answer is
        // given up on after a while, not forever.
        TPgDriver server(ConnectTarget().toStdString() + " connect_timeout=10");
        CheckServerLedger(server);
        auto count = server.Prepare("SELECT (SELECT count(*) FROM gain), (SELECT count(*) FROM expen)");
        count->Step();
        const bool writable = ServerLedgerWritable(server);
        FOutcomeText = QStringLiteral("连接成功：账本中有 %1 笔进帐、%2 笔消费。")
                           .arg(count->ColumnInt64(0))
                           .arg(count->ColumnInt64(1));
        if (!writable)
            FOutcomeText += QStringLiteral("这个用户只能查看账本，不能录入或修改。");
        return FOutcome = writable ? TOutcome::Ready : TOutcome::ReadOnly;
    } catch (const std::exception &error) {
        FOutcomeText = QString::fromUtf8(error.what());
        return FOutcome = TOutcome::Failed;
    }
}

} // namespace kestrum
