#pragma once
// The two text forms of a criteria: the caption shown to the user and the
// filter expression a record set understands.
#include "core/Variant.h"
#include "filter/FilterCriteriaItems.h"

#include <QString>

namespace kestrum {

class TkvFilterCriteria;

class TkvFilterCriteriaText {
public:
    explicit TkvFilterCriteriaText(const TkvFilterCriteria &criteria) : FCriteria(criteria) {}

    //! The whole tree: the caption when display is set, else the expression.
    QString FilterText(bool display) const;
    QString ListText(const TkvFilterCriteriaItemList &list, bool display) const;
    QString ItemText(const TkvFilterCriteriaItem &item, bool display) const;
    //! A value as an expression: NULL, quoted strings and dates (formatted by
    //! the criteria), plain numbers. Never fails: undecodable bytes show as
    //! U+FFFD, other failures as nothing.
    QString ValueExpression(const Variant &value) const;
    //! A date-time in the format given, or the default text when it is empty.
    static QString DateTimeText(const QString &format, double dateTime);

private:
    QString ValueExpressionText(const Variant &value) const;

    const TkvFilterCriteria &FCriteria;
};

} // namespace kestrum
