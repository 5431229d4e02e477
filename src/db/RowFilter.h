#pragma once
// A record set's filter: the expression text over its field names
// ("[本次进帐] > 100 and [进帐人] = '工资'"), whether it applies, its options,
// and the parsed expression that decides which loaded rows are shown.
#include "db/DbTypes.h"

#include <QString>

#include <memory>
#include <vector>

namespace kestrum {

class TDbFilterExpression;
class TDbQuery;
class TDbRowStore;

class TDbRowFilter {
public:
    TDbRowFilter();
    ~TDbRowFilter();
    TDbRowFilter(const TDbRowFilter &) = delete;
    TDbRowFilter &operator=(const TDbRowFilter &) = delete;

    const QString &Text() const { return FText; }
    void SetText(const QString &text) { FText = text; }
    bool Enabled() const { return FEnabled; }
    TFilterOptions Options() const { return FOptions; }
    void SetOptions(TFilterOptions options) { FOptions = options; }

    //! The text parsed for the data set's fields when enabled and not blank,
    //! else no expression. Raises EDatabaseError for text it cannot read; the
    //! filter itself is not changed.
    std::unique_ptr<TDbFilterExpression> Parse(bool enabled, const TDbQuery &dataSet) const;
    //! Switches the filter on or off together with its parsed expression.
    void Use(bool enabled, std::unique_ptr<TDbFilterExpression> expression);
    void SetEnabled(bool enabled) { FEnabled = enabled; }
    //! Drops the parsed expression (the record set closed).
    void Forget();

    //! Whether some rows may be left out.
    bool Narrows() const { return FEnabled && FExpression; }
    //! Whether a stored row passes; types gives each column's field type.
    bool Keeps(const TDbRowStore &store, int slot, const std::vector<TFieldType> &types) const;

private:
    QString FText;
    bool FEnabled = false;
    TFilterOptions FOptions = 0;
    std::unique_ptr<TDbFilterExpression> FExpression;
};

} // namespace kestrum
