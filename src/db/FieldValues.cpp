#include "db/FieldValues.h"

#include "core/Errors.h"
#include "db/DateText.h"
#include "db/DbDriver.h"
#include "db/DbErrors.h"
#include "db/DbRowReader.h"

#include <sqlite3.h>

#include <QByteArray>

#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace kestrum {

namespace {

std::string Upper(std::string_view text)
{
    std::string result(text);
    for (char &c : result)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return result;
}

// The numbers inside "(p,s)", or -1 when absent.
void TypeArguments(const std::string &text, int &first, int &second)
{
    first = second = -1;
    const auto open = text.find('(');
    if (open == std::string::npos)
        return;
    const char *p = text.c_str() + open + 1;
    const char *end = text.c_str() + text.size();
    while (p < end && *p == ' ')
        ++p;
    auto r = std::from_chars(p, end, first);
    if (r.ec != std::errc())
        first = -1;
    p = r.ptr;
    while (p < end && (*p == ' ' || *p == ','))
        ++p;
    if (std::from_chars(p, end, second).ec != std::errc())
        second = -1;
}

std::string TypeWord(const std::string &text)
{
    const auto stop = text.find_first_of("( ");
    return text.substr(0, stop);
}

[[noreturn]] void RaiseNotValid(const QString &text, const char *what, const QString &fieldName)
{
    throw EDatabaseError("“" + text.toStdString() + "”不是字段“" + fieldName.toStdString() + "”的有效" +
                         what + "。");
}

} // namespace

TFieldType MapDeclaredType(std::string_view declared, int &size)
{
    size = 0;
    const std::string text = Upper(declared);
    const std::string word = TypeWord(text);
    int first, second;
    TypeArguments(text, first, second);
    if (word.empty())
        return ftUnknown;
    if (word == "VARCHAR" || word == "CHAR" || word == "CHARACTER" || word == "VARYING" || word == "STRING") {
        size = first > 0 ? first : 255;
        return word == "CHAR" || word == "CHARACTER" ? ftFixedChar : ftString;
    }
    if (word == "NVARCHAR" || word == "NCHAR" || word == "NATIONAL") {
        size = first > 0 ? first : 255;
        return ftWideString;
    }
    if (word == "TEXT" && first > 0) { // Jet's TEXT(n) is a sized string
        size = first;
        return ftString;
    }
    if (word == "TEXT" || word == "MEMO" || word == "LONGTEXT" || word == "CLOB" || word == "NTEXT" ||
        word == "LONGCHAR" || word == "NOTE")
        return ftMemo;
    if (word == "INTEGER" || word == "INT" || word == "LONG" || word == "MEDIUMINT" || word == "INT4")
        return ftInteger;
    if (word == "SMALLINT" || word == "SHORT" || word == "INT2")
        return ftSmallint;
    if (word == "TINYINT" || word == "BYTE")
        return ftWord;
    if (word == "BIGINT" || word == "INT8" || word == "INT64")
        return ftLargeint;
    if (word == "COUNTER" || word == "AUTOINCREMENT" || word == "AUTOINC")
        return ftAutoInc;
    if (word == "REAL" || word == "DOUBLE" || word == "FLOAT" || word == "SINGLE" || word == "FLOAT8" ||
        word == "FLOAT4" || word == "NUMBER")
        return ftFloat;
    if (word == "CURRENCY" || word == "MONEY")
        return ftCurrency;
    if (word == "DECIMAL" || word == "NUMERIC" || word == "DEC") {
        size = std::max(second, 0);
        return second >= 0 && second <= 4 ? ftBCD : ftFMTBcd;
    }
    if (word == "DATETIME" || word == "SMALLDATETIME")
        return ftDateTime;
    if (word == "DATE")
        return ftDate;
    if (word == "TIME")
        return ftTime;
    if (word == "TIMESTAMP")
        return ftTimeStamp;
    if (word == "BIT" || word == "BOOLEAN" || word == "BOOL" || word == "YESNO" || word == "LOGICAL")
        return ftBoolean;
    if (word == "BLOB" || word == "BINARY" || word == "VARBINARY" || word == "LONGBINARY" ||
        word == "IMAGE" || word == "OLEOBJECT" || word == "GENERAL")
        return ftBlob;
    if (word == "GUID" || word == "UNIQUEIDENTIFIER") {
        size = 38;
        return ftGuid;
    }
    // SQLite's own affinity rules for anything else.
    if (text.find("INT") != std::string::npos)
        return ftInteger;
    if (text.find("CHAR") != std::string::npos || text.find("CLOB") != std::string::npos ||
        text.find("TEXT") != std::string::npos)
        return ftMemo;
    if (text.find("BLOB") != std::string::npos)
        return ftBlob;
    if (text.find("REAL") != std::string::npos || text.find("FLOA") != std::string::npos ||
        text.find("DOUB") != std::string::npos)
        return ftFloat;
    return ftFloat; // NUMERIC affinity
}

TFieldType InferFieldType(const TDbRowStore &store, int column)
{
    bool anyFloat = false, anyText = false, anyBlob = false, anyInteger = false;
    bool fits32 = true;
    for (int slot = 0; slot < store.SlotCount(); ++slot) {
        switch (store.Kind(slot, column)) {
        case TDbCellKind::Integer: {
            anyInteger = true;
            const auto v = store.Integer(slot, column);
            fits32 = fits32 && v >= std::numeric_limits<std::int32_t>::min() &&
                     v <= std::numeric_limits<std::int32_t>::max();
            break;
        }
        case TDbCellKind::Float:
            anyFloat = true;
            break;
        case TDbCellKind::Text:
            anyText = true;
            break;
        case TDbCellKind::Blob:
            anyBlob = true;
            break;
        case TDbCellKind::Null:
            break;
        }
    }
    if (anyText)
        return ftMemo;
    if (anyBlob)
        return ftBlob;
    if (anyFloat)
        return ftFloat;
    if (anyInteger)
        return fits32 ? ftInteger : ftLargeint;
    return ftFloat; // all NULL: most expression columns here are sums
}

bool IsStringType(TFieldType type)
{
    return type == ftString || type == ftWideString || type == ftFixedChar || type == ftMemo ||
           type == ftGuid;
}

bool IsNumericType(TFieldType type)
{
    switch (type) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc:
    case ftLargeint:
    case ftFloat:
    case ftCurrency:
    case ftBCD:
    case ftFMTBcd:
        return true;
    default:
        return false;
    }
}

bool IsDateType(TFieldType type)
{
    return type == ftDate || type == ftTime || type == ftDateTime || type == ftTimeStamp;
}

namespace {

Variant IntegerVariant(std::int64_t value, TFieldType type)
{
    switch (type) {
    case ftSmallint:
        if (value >= INT16_MIN && value <= INT16_MAX)
            return Variant::fromInt16(std::int16_t(value));
        break;
    case ftWord:
        if (value >= 0 && value <= UINT16_MAX)
            return Variant::fromUInt16(std::uint16_t(value));
        break;
    case ftInteger:
    case ftAutoInc:
        if (value >= INT32_MIN && value <= INT32_MAX)
            return Variant(int(value));
        break;
    default:
        break;
    }
    return Variant(value);
}

template <typename Cell> QString CellText(const Cell &cell)
{
    switch (cell.Kind()) {
    case TDbCellKind::Integer:
        return QString::number(cell.Integer());
    case TDbCellKind::Float:
        return QString::number(cell.Float(), 'g', 15);
    case TDbCellKind::Text:
    case TDbCellKind::Blob: {
        const auto bytes = cell.Bytes();
        return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
    }
    case TDbCellKind::Null:
        break;
    }
    return {};
}

template <typename Cell> Variant ValueOfCell(const Cell &cell, TFieldType type)
{
    const TDbCellKind kind = cell.Kind();
    if (kind == TDbCellKind::Null)
        return Variant::null();
    switch (type) {
    case ftString:
    case ftFixedChar:
    case ftMemo:
    case ftGuid:
        try {
            if (kind == TDbCellKind::Text)
                return Variant::fromUtf8(cell.Bytes());
            return Variant::fromUtf8(CellText(cell).toStdString());
        } catch (const Exception &) {
            // Bytes another tool stored that are no UTF-8: show what can be read.
            return Variant(CellText(cell));
        }
    case ftWideString:
        return Variant(CellText(cell));
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc:
    case ftLargeint:
        if (kind == TDbCellKind::Integer)
            return IntegerVariant(cell.Integer(), type);
        if (kind == TDbCellKind::Float) {
            const double v = cell.Float();
            if (v == std::trunc(v) && std::fabs(v) < 9.2e18)
                return IntegerVariant(std::int64_t(v), type);
            return Variant(v);
        }
        break;
    case ftFloat:
    case ftFMTBcd:
        if (kind == TDbCellKind::Integer)
            return Variant(double(cell.Integer()));
        if (kind == TDbCellKind::Float)
            return Variant(cell.Float());
        break;
    case ftCurrency:
    case ftBCD:
        if (kind == TDbCellKind::Integer || kind == TDbCellKind::Float) {
            const double v = kind == TDbCellKind::Integer ? double(cell.Integer()) : cell.Float();
            try {
                return Variant(Currency::fromDouble(v));
            } catch (const Exception &) {
                return Variant(v);
            }
        }
        break;
    case ftDate:
    case ftTime:
    case ftDateTime:
    case ftTimeStamp:
        if (kind == TDbCellKind::Text) {
            if (auto days = IsoTextToDays(cell.Bytes()))
                return Variant::fromDate(*days);
        } else if (kind == TDbCellKind::Integer) {
            return Variant::fromDate(double(cell.Integer()));
        } else if (kind == TDbCellKind::Float) {
            return Variant::fromDate(cell.Float());
        }
        break;
    case ftBoolean:
        if (kind == TDbCellKind::Integer)
            return Variant(cell.Integer() != 0);
        if (kind == TDbCellKind::Float)
            return Variant(cell.Float() != 0.0);
        break;
    case ftBlob:
    case ftBytes:
    case ftVarBytes:
        if (kind == TDbCellKind::Blob || kind == TDbCellKind::Text)
            return Variant::fromNarrow(NarrowString(cell.Bytes()));
        break;
    case ftUnknown:
        break;
    }
    // A value another tool stored in a form this type does not read: show it
    // as text rather than hide it.
    if (kind == TDbCellKind::Integer)
        return Variant(cell.Integer());
    if (kind == TDbCellKind::Float)
        return Variant(cell.Float());
    return Variant(CellText(cell));
}

//! A cell of a stored row.
struct TStoredCell {
    const TDbRowStore &store;
    int slot;
    int column;
    TDbCellKind Kind() const { return store.Kind(slot, column); }
    std::int64_t Integer() const { return store.Integer(slot, column); }
    double Float() const { return store.Float(slot, column); }
    std::string_view Bytes() const { return store.Bytes(slot, column); }
};

//! A cell of a row as it is read.
struct TReadCell {
    const TDbRowReader &row;
    int column;
    TDbCellKind Kind() const { return row.Kind(column); }
    std::int64_t Integer() const { return row.Integer(column); }
    double Float() const { return row.Float(column); }
    std::string_view Bytes() const { return row.Bytes(column); }
};

} // namespace

Variant CellValue(const TDbRowStore &store, int slot, int column, TFieldType type)
{
    return ValueOfCell(TStoredCell{store, slot, column}, type);
}

Variant CellValue(const TDbRowReader &row, int column, TFieldType type)
{
    return ValueOfCell(TReadCell{row, column}, type);
}

Variant ConvertToField(const Variant &value, TFieldType type, int size, const QString &fieldName)
{
    if (value.isNull() || value.isEmpty())
        return Variant::null();
    const QString text = value.isString() ? value.toString() : QString();
    try {
        switch (type) {
        case ftString:
        case ftFixedChar:
        case ftMemo:
        case ftGuid:
        case ftWideString: {
            const QString s = value.toString();
            // Size counts characters; a longer text is refused rather than cut,
            // so nothing the user typed is lost without a word.
            if (size > 0 && s.size() > size)
                throw EDatabaseError("字段“" + fieldName.toStdString() + "”的文字有 " +
                                     std::to_string(s.size()) + " 个字符，最多只能容纳 " +
                                     std::to_string(size) + " 个。");
            return type == ftWideString ? Variant(s) : Variant::fromNarrow(value.toNarrow());
        }
        case ftSmallint:
        case ftInteger:
        case ftWord:
        case ftAutoInc:
        case ftLargeint: {
            std::int64_t v;
            if (value.isString()) {
                const double d = Variant(text.trimmed()).toDouble();
                if (d != std::trunc(d) || std::fabs(d) > 9.2e18)
                    RaiseNotValid(text, "整数", fieldName);
                v = std::int64_t(d);
            } else {
                v = value.toInt64();
            }
            const Variant result = IntegerVariant(v, type);
            if (type != ftLargeint && result.type() == VarType::Int64)
                throw EDatabaseError("数值 " + std::to_string(v) + " 超出了字段“" + fieldName.toStdString() +
                                     "”的取值范围。");
            return result;
        }
        case ftFloat:
        case ftFMTBcd: {
            const double d = value.isString() ? Variant(text.trimmed()).toDouble() : value.toDouble();
            if (!std::isfinite(d))
                RaiseNotValid(value.toString(), "数值", fieldName);
            return Variant(d);
        }
        case ftCurrency:
        case ftBCD:
            return Variant(value.isString() ? Variant(text.trimmed()).toCurrency() : value.toCurrency());
        case ftDate:
        case ftTime:
        case ftDateTime:
        case ftTimeStamp: {
            const double days = value.isString() ? Variant(text.trimmed()).toDate() : value.toDate();
            DaysToIsoText(days); // refuses dates the file cannot hold
            return Variant::fromDate(days);
        }
        case ftBoolean:
            return Variant(value.toBool());
        case ftBlob:
        case ftBytes:
        case ftVarBytes:
            return Variant::fromNarrow(value.toNarrow());
        case ftUnknown:
            return value;
        }
    } catch (const EDatabaseError &) {
        throw;
    } catch (const Exception &) {
        const QString shown = value.isString() ? text : value.displayText();
        if (IsDateType(type))
            RaiseNotValid(shown, "日期和时间", fieldName);
        if (type == ftFloat || type == ftFMTBcd || type == ftCurrency || type == ftBCD)
            RaiseNotValid(shown, "数值", fieldName);
        if (type == ftBoolean)
            RaiseNotValid(shown, "逻辑值", fieldName);
        RaiseNotValid(shown, "整数", fieldName);
    }
    return value;
}

void BindFieldValue(sqlite3_stmt *statement, int parameter, const Variant &value, TFieldType type)
{
    if (value.isNull() || value.isEmpty()) {
        sqlite3_bind_null(statement, parameter);
        return;
    }
    if (IsDateType(type) || value.type() == VarType::Date) {
        const std::string text = DaysToIsoText(value.toDate());
        sqlite3_bind_text64(statement, parameter, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
        return;
    }
    switch (value.type()) {
    case VarType::Boolean:
        sqlite3_bind_int64(statement, parameter, value.toBool() ? 1 : 0);
        return;
    case VarType::Int8:
    case VarType::Int16:
    case VarType::Int32:
    case VarType::Int64:
    case VarType::UInt8:
    case VarType::UInt16:
    case VarType::UInt32:
        sqlite3_bind_int64(statement, parameter, value.toInt64());
        return;
    case VarType::Float32:
    case VarType::Float64:
    case VarType::Currency:
        sqlite3_bind_double(statement, parameter, value.toDouble());
        return;
    default:
        break;
    }
    if (type == ftBlob || type == ftBytes || type == ftVarBytes) {
        const NarrowString bytes = value.toNarrow();
        sqlite3_bind_blob64(statement, parameter, bytes.data(), bytes.size(), SQLITE_TRANSIENT);
        return;
    }
    const QByteArray utf8 = value.toString().toUtf8();
    sqlite3_bind_text64(statement, parameter, utf8.constData(), std::uint64_t(utf8.size()), SQLITE_TRANSIENT,
                        SQLITE_UTF8);
}

} // namespace kestrum

namespace kestrum {

std::string CurrencyText(Currency value)
{
    const bool negative = value.scaled < 0;
    // Magnitude as unsigned, so that the smallest value has one too.
    const std::uint64_t magnitude =
        negative ? std::uint64_t(0) - std::uint64_t(value.scaled) : std::uint64_t(value.scaled);
    std::string fraction = std::to_string(magnitude % 10000);
    fraction.insert(0, 4 - fraction.size(), '0');
    return (negative ? "-" : "") + std::to_string(magnitude / 10000) + "." + fraction;
}

void BindFieldValue(TDbStatement &statement, int parameter, const Variant &value, TFieldType type)
{
    if (value.isNull() || value.isEmpty()) {
        statement.BindNull(parameter);
        return;
    }
    if (IsDateType(type) || value.type() == VarType::Date) {
        statement.BindDateTime(parameter, value.toDate());
        return;
    }
    switch (value.type()) {
    case VarType::Boolean:
        statement.BindBool(parameter, value.toBool());
        return;
    case VarType::Int8:
    case VarType::Int16:
    case VarType::Int32:
    case VarType::Int64:
    case VarType::UInt8:
    case VarType::UInt16:
    case VarType::UInt32:
        statement.BindInt64(parameter, value.toInt64());
        return;
    case VarType::Float32:
    case VarType::Float64:
        statement.BindDouble(parameter, value.toDouble());
        return;
    case VarType::Currency:
        statement.BindText(parameter, CurrencyText(value.toCurrency()));
        return;
    default:
        break;
    }
    if (type == ftBlob || type == ftBytes || type == ftVarBytes) {
        const NarrowString bytes = value.toNarrow();
        statement.BindBlob(parameter, std::string_view(bytes.data(), bytes.size()));
        return;
    }
    const QByteArray utf8 = value.toString().toUtf8();
    statement.BindText(parameter, std::string_view(utf8.constData(), std::size_t(utf8.size())));
}

} // namespace kestrum
