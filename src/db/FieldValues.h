#pragma once
// How declared column types become field types, how stored cells become
// field values, and how field values are written back.
#include "core/Variant.h"
#include "db/DbTypes.h"
#include "db/RowStore.h"

#include <QString>

#include <string_view>

struct sqlite3_stmt;

namespace kestrum {

class TDbRowReader;
class TDbStatement;

//! The field type of a declared column type; size gets the length of
//! VARCHAR(n) and friends (0 otherwise). Unknown text gives ftUnknown.
TFieldType MapDeclaredType(std::string_view declared, int &size);
//! The field type for an expression column, from the kinds of its values.
TFieldType InferFieldType(const TDbRowStore &store, int column);

bool IsStringType(TFieldType type);  //!< string, wide string, fixed char, memo, GUID
bool IsNumericType(TFieldType type); //!< integers, float, currency, BCD
bool IsDateType(TFieldType type);    //!< date, time, date-time, time stamp

//! The value of a stored cell as a field of this type reads it. A cell that
//! does not fit the type (text in a number column written by another tool)
//! reads as its text rather than as nothing.
Variant CellValue(const TDbRowStore &store, int slot, int column, TFieldType type);
//! The same of a cell of a row as it is read.
Variant CellValue(const TDbRowReader &row, int column, TFieldType type);

//! Converts a value to the field's type (Null stays Null). Raises
//! EDatabaseError with a message naming the field when it does not fit.
Variant ConvertToField(const Variant &value, TFieldType type, int size, const QString &fieldName);

//! Binds a field value (already converted) in its stored form: dates as
//! ISO text, Booleans as 0/1, strings as UTF-8.
void BindFieldValue(sqlite3_stmt *statement, int parameter, const Variant &value, TFieldType type);
//! The same through a driver: dates as dates, a currency value as its exact
//! decimal, so that a server's exact numbers are written without rounding.
void BindFieldValue(TDbStatement &statement, int parameter, const Variant &value, TFieldType type);
//! A currency value as exact decimal text ("-12.3400").
std::string CurrencyText(Currency value);

} // namespace kestrum
