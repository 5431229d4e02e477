#include "db/DbDriver.h"

#include "db/PgDriver.h"
#include "db/SqliteDriver.h"

#include <cctype>

namespace kestrum {

namespace {

std::string SavepointName(std::string_view name)
{
    bool plain = !name.empty() && !std::isdigit(static_cast<unsigned char>(name.front()));
    for (char c : name)
        plain = plain && (std::isalnum(static_cast<unsigned char>(c)) || c == '_');
    if (!plain)
        throw EDbDriverError(TDbErrorKind::Other, "保存点的名称“" + std::string(name) + "”不可用。");
    // Quoted, so that a word the engine reserves is a name like any other.
    return "\"" + std::string(name) + "\"";
}

} // namespace

void TDbDriver::Savepoint(std::string_view name)
{
    Exec("SAVEPOINT " + SavepointName(name));
}

void TDbDriver::ReleaseSavepoint(std::string_view name)
{
    Exec("RELEASE SAVEPOINT " + SavepointName(name));
}

void TDbDriver::RollbackToSavepoint(std::string_view name)
{
    Exec("ROLLBACK TO SAVEPOINT " + SavepointName(name));
}

bool IsServerTarget(std::string_view target)
{
    if (target.starts_with("postgresql://") || target.starts_with("postgres://"))
        return true;
    // libpq's keyword form: the first word already is one of its keywords.
    const std::string_view first = target.substr(0, target.find(' '));
    for (const std::string_view keyword : {"host=", "hostaddr=", "dbname=", "service=", "user=", "port="})
        if (first.starts_with(keyword))
            return true;
    return false;
}

std::unique_ptr<TDbDriver> OpenDbDriver(const std::string &target)
{
    if (IsServerTarget(target))
        return std::make_unique<TPgDriver>(target);
    return std::make_unique<TSqliteDriver>(target);
}

std::string NumberedParameters(std::string_view sql)
{
    std::string out;
    out.reserve(sql.size() + 8);
    int next = 1;
    std::size_t i = 0;
    while (i < sql.size()) {
        const char c = sql[i];
        if (c == '\'' || c == '"') { // a literal or a quoted name, doubled quotes inside
            const std::size_t start = i++;
            while (i < sql.size() && !(sql[i] == c && (i + 1 >= sql.size() || sql[i + 1] != c)))
                i += sql[i] == c ? 2 : 1;
            i = std::min(i + 1, sql.size());
            out.append(sql.substr(start, i - start));
        } else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
            const std::size_t end = sql.find('\n', i);
            const std::size_t stop = end == std::string_view::npos ? sql.size() : end;
            out.append(sql.substr(i, stop - i));
            i = stop;
        } else if (c == '?') {
            std::size_t j = i + 1;
            while (j < sql.size() && std::isdigit(static_cast<unsigned char>(sql[j])))
                ++j;
            int number = next;
            if (j > i + 1)
                number = std::stoi(std::string(sql.substr(i + 1, j - i - 1)));
            next = number + 1;
            out += '$' + std::to_string(number);
            i = j;
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

} // namespace kestrum
