#include "db/ParameterBinding.h"

#include "core/Errors.h"
#include "db/DateText.h"
#include "db/DbDriver.h"
#include "db/DbErrors.h"
#include "db/FieldValues.h"

#include <sqlite3.h>

#include <cmath>

namespace kestrum {

namespace {

bool IsNumericFunction(const QString &name)
{
    static const char *const names[] = {"year",  "month",  "day", "hour", "minute", "second", "weekday",
                                        "len",   "length", "abs", "int",  "fix",    "round",  "sgn",
                                        "count", "sum",    "avg", "val",  "instr",  "total"};
    for (const char *n : names)
        if (name.compare(QLatin1String(n), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

TDbParamContext ContextOfType(TFieldType type)
{
    if (IsNumericType(type) || type == ftBoolean)
        return TDbParamContext::Numeric;
    if (IsDateType(type))
        return TDbParamContext::Date;
    if (IsStringType(type))
        return TDbParamContext::Text;
    return TDbParamContext::Unknown;
}

// The context of a column named in the statement: from the declared types
// of the statement's tables (every table when it names none). Columns of the
// same name that disagree give no context.
TDbParamContext ColumnContext(sqlite3 *db, const TDbStatementPlan &plan, const QString &column)
{
    QStringList tables = plan.tables;
    if (tables.isEmpty()) {
        sqlite3_stmt *list = nullptr;
        if (sqlite3_prepare_v2(db, "SELECT name FROM sqlite_master WHERE type IN ('table','view')", -1, &list,
                               nullptr) == SQLITE_OK)
            while (sqlite3_step(list) == SQLITE_ROW)
                tables.append(
                    QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(list, 0))));
        sqlite3_finalize(list);
    }
    bool found = false;
    TDbParamContext result = TDbParamContext::Unknown;
    sqlite3_stmt *info = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT type FROM pragma_table_info(?1) WHERE name = ?2 COLLATE NOCASE", -1,
                           &info, nullptr) != SQLITE_OK)
        return TDbParamContext::Unknown;
    const QByteArray columnUtf8 = column.toUtf8();
    for (const QString &table : tables) {
        const QByteArray tableUtf8 = table.toUtf8();
        sqlite3_bind_text(info, 1, tableUtf8.constData(), int(tableUtf8.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(info, 2, columnUtf8.constData(), int(columnUtf8.size()), SQLITE_TRANSIENT);
        while (sqlite3_step(info) == SQLITE_ROW) {
            const char *declared = reinterpret_cast<const char *>(sqlite3_column_text(info, 0));
            int size;
            const TDbParamContext context = ContextOfType(MapDeclaredType(declared ? declared : "", size));
            if (!found)
                result = context;
            else if (result != context)
                result = TDbParamContext::Unknown;
            found = true;
        }
        sqlite3_reset(info);
    }
    sqlite3_finalize(info);
    return result;
}

[[noreturn]] void RaiseMismatch(const QString &name, const QString &text, const char *expected)
{
    throw EDatabaseError("条件表达式中的数据类型不匹配：参数“" + name.toStdString() + "”的值“" +
                         text.toStdString() + "”不是" + expected + "。");
}

bool IsIntegerKind(const Variant &value)
{
    switch (value.type()) {
    case VarType::Int8:
    case VarType::Int16:
    case VarType::Int32:
    case VarType::Int64:
    case VarType::UInt8:
    case VarType::UInt16:
    case VarType::UInt32:
        return true;
    default:
        return false;
    }
}

//! Binds to an SQLite statement: dates as the ISO text the file keeps.
struct TSqliteSink {
    sqlite3_stmt *statement;
    void Null(int index) { sqlite3_bind_null(statement, index); }
    void Int64(int index, std::int64_t value) { sqlite3_bind_int64(statement, index, value); }
    void Double(int index, double value) { sqlite3_bind_double(statement, index, value); }
    void Text(int index, const QString &text)
    {
        const QByteArray utf8 = text.toUtf8();
        sqlite3_bind_text64(statement, index, utf8.constData(), std::uint64_t(utf8.size()), SQLITE_TRANSIENT,
                            SQLITE_UTF8);
    }
    void Days(int index, double days)
    {
        const std::string text = DaysToIsoText(days);
        sqlite3_bind_text64(statement, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
    }
};

//! Binds through a driver: dates as the engine's dates.
struct TDriverSink {
    TDbStatement &statement;
    void Null(int index) { statement.BindNull(index); }
    void Int64(int index, std::int64_t value) { statement.BindInt64(index, value); }
    void Double(int index, double value) { statement.BindDouble(index, value); }
    void Text(int index, const QString &text)
    {
        const QByteArray utf8 = text.toUtf8();
        statement.BindText(index, std::string_view(utf8.constData(), std::size_t(utf8.size())));
    }
    void Days(int index, double days) { statement.BindDateTime(index, days); }
};

template <typename Sink> void BindNumber(Sink &sink, int index, double value)
{
    if (value == std::trunc(value) && std::fabs(value) < 9007199254740992.0)
        sink.Int64(index, std::int64_t(value));
    else
        sink.Double(index, value);
}

//! The context of a column named in the statement, from the declared types
//! of the columns of that name in the tables; columns that disagree give none.
template <typename DeclaredTypes> TDbParamContext ContextOfDeclared(DeclaredTypes &&forEachDeclared)
{
    bool found = false;
    TDbParamContext result = TDbParamContext::Unknown;
    forEachDeclared([&](const char *declared) {
        int size;
        const TDbParamContext context = ContextOfType(MapDeclaredType(declared ? declared : "", size));
        if (!found)
            result = context;
        else if (result != context)
            result = TDbParamContext::Unknown;
        found = true;
    });
    return result;
}

TDbParamContext ColumnContext(TDbDriver &driver, const TDbStatementPlan &plan, const QString &column)
{
    std::vector<std::string> tables;
    for (const QString &table : plan.tables)
        tables.push_back(table.toStdString());
    if (tables.empty())
        tables = driver.TableNames();
    return ContextOfDeclared([&](const auto &take) {
        for (const std::string &table : tables)
            for (const TDbTableColumn &info : driver.TableColumns(table))
                if (QString::fromStdString(info.Name).compare(column, Qt::CaseInsensitive) == 0)
                    take(info.DeclaredType.c_str());
    });
}

template <typename ContextOf>
TDbParamContext ResolveContext(const TDbStatementPlan &plan, std::size_t index, ContextOf &&columnContext)
{
    bool found = false;
    TDbParamContext result = TDbParamContext::Unknown;
    for (const TDbOperand &operand : plan.operands.at(index)) {
        TDbParamContext context = TDbParamContext::Unknown;
        switch (operand.kind) {
        case TDbOperand::Function:
            context = IsNumericFunction(operand.name) ? TDbParamContext::Numeric : TDbParamContext::Unknown;
            break;
        case TDbOperand::Column:
            context = columnContext(operand.name);
            break;
        case TDbOperand::Number:
            context = TDbParamContext::Numeric;
            break;
        case TDbOperand::String:
            context = TDbParamContext::Text;
            break;
        case TDbOperand::None:
            continue;
        }
        if (!found)
            result = context;
        else if (result != context)
            result = TDbParamContext::Unknown;
        found = true;
    }
    return result;
}

template <typename Sink, typename ContextOf>
void BindAll(Sink &sink, const TDbStatementPlan &plan, const TDbParameters &parameters, ContextOf &&contextOf)
{
    for (std::size_t i = 0; i < plan.names.size(); ++i) {
        const int index = int(i) + 1;
        const TDbParameter *parameter = parameters.FindParam(plan.names[i]);
        const Variant value = parameter ? parameter->Value() : Variant();
        if (value.isNull() || value.isEmpty()) {
            sink.Null(index);
            continue;
        }
        const TDbParamContext context = contextOf(i);
        const bool isText = value.isString();
        const QString text = isText ? value.toString() : QString();
        try {
            switch (context) {
            case TDbParamContext::Numeric:
                if (isText) {
                    // Jet reads the text as a number by the regional settings,
                    // ignoring blanks around it: " 2024 " and "07" match.
                    const QString trimmed = text.trimmed();
                    if (trimmed.isEmpty())
                        RaiseMismatch(plan.names[i], text, "数字");
                    double number;
                    try {
                        number = Variant(trimmed).toDouble();
                    } catch (const Exception &) {
                        RaiseMismatch(plan.names[i], text, "数字");
                    }
                    if (!std::isfinite(number))
                        RaiseMismatch(plan.names[i], text, "数字");
                    BindNumber(sink, index, number);
                } else if (value.type() == VarType::Boolean) {
                    sink.Int64(index, value.toBool() ? 1 : 0);
                } else if (IsIntegerKind(value)) {
                    sink.Int64(index, value.toInt64());
                } else {
                    BindNumber(sink, index, value.toDouble());
                }
                break;
            case TDbParamContext::Date:
                if (isText) {
                    double days;
                    try {
                        days = Variant(text.trimmed()).toDate();
                    } catch (const Exception &) {
                        RaiseMismatch(plan.names[i], text, "日期");
                    }
                    sink.Days(index, days);
                } else {
                    sink.Days(index, value.toDate());
                }
                break;
            case TDbParamContext::Text:
            case TDbParamContext::Unknown:
                if (isText)
                    sink.Text(index, text);
                else if (value.type() == VarType::Date)
                    sink.Days(index, value.toDate());
                else if (value.type() == VarType::Boolean)
                    sink.Int64(index, value.toBool() ? 1 : 0);
                else if (IsIntegerKind(value))
                    sink.Int64(index, value.toInt64());
                else if (value.isNumeric())
                    BindNumber(sink, index, value.toDouble());
                else
                    sink.Text(index, value.toString());
                break;
            }
        } catch (const EDatabaseError &) {
            throw;
        } catch (const Exception &e) {
            throw EDatabaseError("参数“" + plan.names[i].toStdString() + "”无法使用：" + e.message());
        }
    }
}

} // namespace

TDbParamContext ResolveParamContext(sqlite3 *db, const TDbStatementPlan &plan, std::size_t index)
{
    return ResolveContext(plan, index,
                          [&](const QString &column) { return ColumnContext(db, plan, column); });
}

TDbParamContext ResolveParamContext(TDbDriver &driver, const TDbStatementPlan &plan, std::size_t index)
{
    return ResolveContext(plan, index,
                          [&](const QString &column) { return ColumnContext(driver, plan, column); });
}

void BindParameters(sqlite3 *db, sqlite3_stmt *statement, const TDbStatementPlan &plan,
                    const TDbParameters &parameters)
{
    TSqliteSink sink{statement};
    BindAll(sink, plan, parameters, [&](std::size_t i) { return ResolveParamContext(db, plan, i); });
}

void BindParameters(TDbDriver &driver, TDbStatement &statement, const TDbStatementPlan &plan,
                    const TDbParameters &parameters)
{
    TDriverSink sink{statement};
    BindAll(sink, plan, parameters, [&](std::size_t i) { return ResolveParamContext(driver, plan, i); });
}

} // namespace kestrum
