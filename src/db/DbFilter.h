#pragma once
// The record set's filter: an expression over field names such as
// "(本次进帐 > 100) AND ([进帐人] LIKE '工%')", with =, <>, <, <=, >, >=,
// LIKE (% and _), BETWEEN .. AND .., IN (..), IS [NOT] NULL, AND, OR, NOT
// and parentheses. A string compared with a number or date field is read as
// one; a trailing * in a string matches any ending unless partial compare is
// switched off.
#include "core/Variant.h"
#include "db/DbTypes.h"

#include <QString>

#include <functional>
#include <memory>

namespace kestrum {

class TDbQuery;

class TDbFilterExpression {
public:
    struct Node;
    //! Raises EDatabaseError naming the fault for text it cannot read or a
    //! field the record set does not have.
    static std::unique_ptr<TDbFilterExpression> Parse(const QString &text, const TDbQuery &dataSet);
    ~TDbFilterExpression();

    //! value(fieldIndex) gives the row's value of a field.
    bool Matches(const std::function<Variant(int)> &value, TFilterOptions options) const;

private:
    TDbFilterExpression() = default;
    std::unique_ptr<Node> FRoot;
};

} // namespace kestrum
