#include "db/MoneySumFunctions.h"

#include "core/MoneySum.h"
#include "db/DbErrors.h"

#include <sqlite3.h>

#include <cstdint>
#include <new>
#include <string>

namespace kestrum {

namespace {

enum class TSumKind { Sum, Total };

//! The state of one sum() or total() in the aggregate context SQLite keeps.
struct TSumState {
    TMoneySum Money;             // every non-integer value
    std::int64_t IntegerSum = 0; // every integer value
    std::int64_t Count = 0;      // non-Null values in the frame
    bool AnyFloating = false;
    bool Overflowed = false;
};

TSumState *StateOf(sqlite3_context *context, bool create)
{
    void *memory = sqlite3_aggregate_context(context, create ? int(sizeof(TSumState)) : 0);
    // SQLite hands out zeroed memory, which is a valid empty state.
    return static_cast<TSumState *>(memory);
}

void Step(sqlite3_context *context, int, sqlite3_value **arguments, int sign)
{
    TSumState *state = StateOf(context, true);
    if (!state) {
        sqlite3_result_error_nomem(context);
        return;
    }
    const int type = sqlite3_value_numeric_type(arguments[0]);
    if (type == SQLITE_NULL)
        return;
    state->Count += sign;
    if (type == SQLITE_INTEGER) {
        const std::int64_t value = sqlite3_value_int64(arguments[0]);
        const bool overflow = sign > 0 ? __builtin_add_overflow(state->IntegerSum, value, &state->IntegerSum)
                                       : __builtin_sub_overflow(state->IntegerSum, value, &state->IntegerSum);
        state->Overflowed = state->Overflowed || overflow;
        return;
    }
    state->AnyFloating = true;
    const double value = sqlite3_value_double(arguments[0]);
    if (sign > 0)
        state->Money.Add(value);
    else
        state->Money.Subtract(value);
}

void AddStep(sqlite3_context *context, int count, sqlite3_value **arguments)
{
    Step(context, count, arguments, 1);
}

void InverseStep(sqlite3_context *context, int count, sqlite3_value **arguments)
{
    Step(context, count, arguments, -1);
}

void Result(sqlite3_context *context, TSumKind kind)
{
    const TSumState *state = StateOf(context, false);
    if (!state || state->Count == 0) {
        if (kind == TSumKind::Total)
            sqlite3_result_double(context, 0.0);
        else
            sqlite3_result_null(context);
        return;
    }
    if (!state->AnyFloating && kind == TSumKind::Sum) {
        if (state->Overflowed)
            sqlite3_result_error(context, "integer overflow", -1);
        else
            sqlite3_result_int64(context, state->IntegerSum);
        return;
    }
    TMoneySum total = state->Money;
    total.Add(double(state->IntegerSum));
    sqlite3_result_double(context, total.Value());
}

void SumValue(sqlite3_context *context)
{
    Result(context, TSumKind::Sum);
}
void TotalValue(sqlite3_context *context)
{
    Result(context, TSumKind::Total);
}

} // namespace

void RegisterMoneySumFunctions(sqlite3 *db)
{
    static const struct {
        const char *name;
        void (*value)(sqlite3_context *);
    } functions[] = {{"sum", SumValue}, {"total", TotalValue}};
    for (const auto &f : functions) {
        const int rc =
            sqlite3_create_window_function(db, f.name, 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                                           AddStep, f.value, f.value, InverseStep, nullptr);
        if (rc != SQLITE_OK)
            throw EDatabaseError(std::string("无法注册 SQL 函数 ") + f.name + "：" + sqlite3_errmsg(db) +
                                 "。");
    }
}

} // namespace kestrum
