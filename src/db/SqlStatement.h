#pragma once
// Reading a statement's text: the ":name" parameter markers (outside quotes
// and comments), the text with the markers replaced by numbered placeholders,
// and for each parameter what the statement compares it with. The last lets
// the record set convert a text parameter the way the Jet engine does when
// it meets a number or a date, before the statement runs.
#include <QString>
#include <QStringList>

#include <string>
#include <vector>

namespace kestrum {

//! What a parameter is compared with at one place in a statement.
struct TDbOperand {
    enum Kind : std::uint8_t { None, Function, Column, Number, String };
    Kind kind = None;
    QString name; //!< function or column name (unquoted, without qualifier)
    friend bool operator==(const TDbOperand &, const TDbOperand &) = default;
};

struct TDbStatementPlan {
    std::string sql;                               //!< UTF-8, markers replaced by ?1, ?2, ...
    std::vector<QString> names;                    //!< distinct names (case ignored), first use first
    std::vector<std::vector<TDbOperand>> operands; //!< per name: every comparison partner found
    QStringList tables;                            //!< table names after FROM and JOIN
};

//! Never fails: text it cannot read is passed to SQLite unchanged, which
//! reports real syntax errors when the statement runs.
TDbStatementPlan ParseStatement(const QString &sql);

} // namespace kestrum
