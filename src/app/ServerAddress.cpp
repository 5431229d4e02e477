#include "app/ServerAddress.h"

#include "db/DbDriver.h"

#include <libpq-fe.h>

#include <algorithm>

namespace kestrum {

namespace {

//! A value as libpq's keyword form reads it back: quoted, with \ and ' escaped.
std::string Quoted(const std::string &value)
{
    std::string quoted = "'";
    for (char c : value) {
        if (c == '\'' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    return quoted + "'";
}

// Given to libpq by the driver itself; an address never needs to name them.
bool SetByDriver(const std::string &keyword)
{
    return keyword == "fallback_application_name" || keyword == "client_encoding";
}

//! The keywords that name the server and the ledger, in the order written.
const char *const Leading[] = {"host", "hostaddr", "port", "dbname", "user", "service"};

std::size_t Rank(const std::string &keyword)
{
    return std::size_t(std::find(std::begin(Leading), std::end(Leading), keyword) - std::begin(Leading));
}

} // namespace

std::optional<TServerAddress> TServerAddress::Parse(const QString &target, QString *error)
{
    char *message = nullptr;
    PQconninfoOption *options = PQconninfoParse(target.toUtf8().constData(), &message);
    if (!options) {
        if (error)
            *error = QStringLiteral("无法读懂服务器地址：%1")
                         .arg(message ? QString::fromUtf8(message).trimmed() : QStringLiteral("内存不足"));
        PQfreemem(message);
        return std::nullopt;
    }
    TServerAddress address;
    for (PQconninfoOption *option = options; option->keyword; ++option) {
        if (!option->val || !*option->val)
            continue;
        const std::string keyword = option->keyword;
        if (keyword == "password")
            address.FHadPassword = true;
        else if (!SetByDriver(keyword))
            address.FOptions.emplace_back(keyword, option->val);
    }
    PQconninfoFree(options);
    return address;
}

QString TServerAddress::Value(const char *keyword) const
{
    for (const auto &[name, value] : FOptions)
        if (name == keyword)
            return QString::fromStdString(value);
    return QString();
}

void TServerAddress::Set(const std::string &keyword, const QString &value)
{
    if (keyword == "password")
        return;
    const auto found = std::find_if(FOptions.begin(), FOptions.end(),
                                    [&](const auto &option) { return option.first == keyword; });
    const std::string text = value.trimmed().toStdString();
    if (text.empty()) {
        if (found != FOptions.end())
            FOptions.erase(found);
    } else if (found != FOptions.end()) {
        found->second = text;
    } else {
        FOptions.emplace_back(keyword, text);
    }
}

QString TServerAddress::Target() const
{
    // The naming keywords first, so that the text reads as a server address
    // (its first word tells a server from a file) and the same address is
    // always written the same way.
    std::vector<std::pair<std::string, std::string>> options = FOptions;
    std::stable_sort(options.begin(), options.end(),
                     [](const auto &a, const auto &b) { return Rank(a.first) < Rank(b.first); });
    std::string target;
    if (options.empty() || Rank(options.front().first) == std::size(Leading))
        target = "dbname=''"; // the user's own database, said so that it reads as an address
    for (const auto &[keyword, value] : options)
        target += (target.empty() ? "" : " ") + keyword + "=" + Quoted(value);
    return QString::fromStdString(target);
}

QString TServerAddress::TargetWithPassword(const QString &password) const
{
    if (password.isEmpty())
        return Target();
    return Target() + QStringLiteral(" password=") + QString::fromStdString(Quoted(password.toStdString()));
}

QString TServerAddress::Shown() const
{
    if (!Service().isEmpty() && Host().isEmpty() && Database().isEmpty())
        return QStringLiteral("service=") + Service();
    QString shown;
    if (!User().isEmpty())
        shown = User() + '@';
    // A socket folder is no name a user knows the server by.
    const QString host = Host();
    shown += host.isEmpty() || host.startsWith('/') ? QStringLiteral("localhost") : host;
    if (!Port().isEmpty() && Port() != QStringLiteral("5432"))
        shown += ':' + Port();
    return shown + '/' + Database();
}

QString WithoutPassword(const QString &target)
{
    if (!IsServerTarget(target.toStdString()))
        return target;
    const std::optional<TServerAddress> address = TServerAddress::Parse(target);
    // What libpq cannot read is kept by nobody.
    return address ? address->Target() : QString();
}

} // namespace kestrum
