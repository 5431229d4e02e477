#pragma once
// Errors of the record-set layer. The message is what the user reads in the
// error box, so it says what failed and, where it helps, what to do.
#include "core/Errors.h"

namespace kestrum {

//! A failure of the database or of a record-set operation.
class EDatabaseError : public Exception {
public:
    explicit EDatabaseError(const std::string &message) : Exception(message) {}
};

//! An update or delete whose row another process changed or deleted since
//! it was read; nothing was written.
class EDbRowConflict : public EDatabaseError {
public:
    explicit EDbRowConflict(const std::string &message) : EDatabaseError(message) {}
};

} // namespace kestrum
