#pragma once
// Binding parameter values the way the Jet engine compares them: a text
// value compared with a number (a numeric column, year(), a literal) is
// converted to a number before the statement runs, and one compared with a
// date column to a date. A text that is no number fails the statement at
// once, also when there are no rows to compare with.
#include "db/DbParameters.h"
#include "db/SqlStatement.h"

struct sqlite3;
struct sqlite3_stmt;

namespace kestrum {

class TDbDriver;
class TDbStatement;

enum class TDbParamContext : std::uint8_t { Unknown, Numeric, Date, Text };

//! What the statement compares parameter index with (schema looked up in db).
TDbParamContext ResolveParamContext(sqlite3 *db, const TDbStatementPlan &plan, std::size_t index);

//! Binds every parameter of the plan; raises EDatabaseError for a value that
//! its comparison cannot take.
void BindParameters(sqlite3 *db, sqlite3_stmt *statement, const TDbStatementPlan &plan,
                    const TDbParameters &parameters);
//! The same on another engine's statement, the schema asked of its driver.
TDbParamContext ResolveParamContext(TDbDriver &driver, const TDbStatementPlan &plan, std::size_t index);
void BindParameters(TDbDriver &driver, TDbStatement &statement, const TDbStatementPlan &plan,
                    const TDbParameters &parameters);

} // namespace kestrum
