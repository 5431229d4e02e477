#pragma once
// An amount as the ledger holds it (a double) written as text that reads
// back to the very same double: two decimals when the amount is a whole
// number of cents, else as many digits as it takes (10/3 from the
// calculator, an amount past what cents hold).
#include <cstdint>
#include <string>
#include <string_view>

namespace kestrum::exchange {

//! Appends "-50.00", "3.3333333333333335" or "100000000000000000" for a
//! finite amount; false (nothing appended) for an infinite or NaN one.
bool AppendLedgerAmount(std::string &out, double amount);
//! Reads what AppendLedgerAmount writes: an optional "-", digits, and an
//! optional "." with digits; nothing else. False for any other text.
bool ParseLedgerAmount(std::string_view text, double &amount);
//! Whether `amount` is the double that a whole number of cents reads as,
//! and which number (within about ±1e11, where cents compare exactly).
bool WholeCents(double amount, std::int64_t &cents);
//! Appends a key under which two amounts are the same entry's: the cents
//! for an amount that is a whole number of cents up to float noise
//! (0.1 + 0.2 is 0.30), else the exact amount.
void AppendAmountKey(std::string &key, double amount);
//! Appends "-1234.56" for a whole number of cents.
void AppendCents(std::string &out, std::int64_t cents);

//! The decimals a server's ledger keeps of an amount.
inline constexpr int ServerDecimals = 4;
//! Appends an exact decimal as a server holds it ("12.5000",
//! "123456789012.3456") the way AppendLedgerAmount writes the same amount
//! held in a file ("12.50"), or with all of its digits (none of the zeros
//! that end them) where no double holds it; false for text that is no
//! such decimal.
bool AppendDecimalAmount(std::string &out, std::string_view decimal);
//! The amount a server's ledger keeps of `amount`: its decimal, as a
//! file would write it, rounded to ServerDecimals as the server rounds.
double ServerAmount(double amount);

} // namespace kestrum::exchange
