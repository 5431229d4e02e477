#pragma once
// Errors of the regular-expression mask compiler. Compilation collects every
// error it finds and raises them together in one EkvRegExprError.
#include "core/Errors.h"

#include <QString>

#include <vector>

namespace kestrum {

//! One compile error; line and column are 0 when the error has no position
//! (it was found before any text was read).
struct TkvRegExprError {
    int Line = 0;
    int Column = 0;
    QString Message;
};

using TkvRegExprErrors = std::vector<TkvRegExprError>;

class EkvRegExprError : public Exception {
public:
    explicit EkvRegExprError(TkvRegExprErrors errors);
    const TkvRegExprErrors &Errors() const { return FErrors; }

private:
    TkvRegExprErrors FErrors;
};

//! Raised by every operation of an expression that did not compile.
class EkvRegExprNotCompiled : public Exception {
public:
    EkvRegExprNotCompiled() : Exception("Regular expression is not compiled") {}
};

//! The message a mask editor shows for a mask that does not compile:
//! "Regular expression errors:" and one line per error.
QString RegExprErrorsText(const TkvRegExprErrors &errors);

} // namespace kestrum
