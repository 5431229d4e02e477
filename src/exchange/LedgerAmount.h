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

} // namespace kestrum::exchange
