#pragma once
// The operator of a leaf condition: its test over the prepared record and
// leaf values, and its words in the caption and in the filter expression.
#include "core/Variant.h"
#include "filter/FilterDateRanges.h"
#include "filter/FilterTypes.h"

#include <QString>

#include <memory>

namespace kestrum {

class TkvFilterCriteria;
class TkvFilterCriteriaItem;

class TkvFilterOperator {
public:
    explicit TkvFilterOperator(TkvFilterCriteriaItem &criteriaItem) : FCriteriaItem(criteriaItem) {}
    virtual ~TkvFilterOperator() = default;
    TkvFilterOperator(const TkvFilterOperator &) = delete;
    TkvFilterOperator &operator=(const TkvFilterOperator &) = delete;

    TkvFilterCriteriaItem &CriteriaItem() const { return FCriteriaItem; }
    TkvFilterCriteria *Criteria() const;

    //! The whole leaf as one expression (date ranges), replacing field, operator and value.
    virtual bool HasWholeItemExpression() const { return false; }
    virtual QString WholeItemExpressionText() const { return {}; }
    //! The leaf value as an expression.
    virtual QString ValueExpressionText() const;
    //! The display value as the caption shows it after the operator word.
    virtual QString AdjustDisplayText(const QString &displayValue) const { return displayValue; }
    //! Computes what depends on the moment (date ranges).
    virtual void Prepare() {}
    //! The test: v is the prepared record value, k the prepared leaf value.
    //! Unconvertible values raise the variant errors.
    virtual bool Evaluate(const Variant &v, const Variant &k) const = 0;
    virtual QString CaptionWord() const = 0;
    virtual QString ExpressionOperator() const = 0;
    virtual bool AlwaysUseCaptionWord() const { return false; }
    virtual const char *ClassName() const = 0;

protected:
    TkvFilterCriteriaItem &FCriteriaItem;
};

//! The six comparisons, equal to greater or equal: they differ only in their
//! test and their words, which a table gives by the operator code.
class TkvFilterComparisonOperator : public TkvFilterOperator {
public:
    //! code: ocEqual to ocGreaterEqual.
    TkvFilterComparisonOperator(TkvFilterCriteriaItem &criteriaItem, TkvFilterOperatorCode code);
    bool Evaluate(const Variant &v, const Variant &k) const override;
    QString CaptionWord() const override;
    QString ExpressionOperator() const override;
    const char *ClassName() const override;
    TkvFilterOperatorCode Code() const { return FCode; }

private:
    TkvFilterOperatorCode FCode;
};

class TkvFilterLikeOperator : public TkvFilterOperator {
public:
    using TkvFilterOperator::TkvFilterOperator;
    bool Evaluate(const Variant &v, const Variant &k) const override;
    QString CaptionWord() const override;
    QString ExpressionOperator() const override;
    QString AdjustDisplayText(const QString &displayValue) const override;
    //! The caption names the pattern's kind ("开始于", "包含", ...) with or without descriptions.
    bool AlwaysUseCaptionWord() const override { return true; }
    const char *ClassName() const override { return "TkvFilterLikeOperator"; }
};

class TkvFilterNotLikeOperator : public TkvFilterOperator {
public:
    using TkvFilterOperator::TkvFilterOperator;
    bool Evaluate(const Variant &v, const Variant &k) const override;
    QString CaptionWord() const override;
    QString ExpressionOperator() const override;
    QString AdjustDisplayText(const QString &displayValue) const override;
    //! The caption names the pattern's kind ("开始于", "包含", ...) with or without descriptions.
    bool AlwaysUseCaptionWord() const override { return true; }
    const char *ClassName() const override { return "TkvFilterNotLikeOperator"; }
};

class TkvFilterBetweenOperator : public TkvFilterOperator {
public:
    using TkvFilterOperator::TkvFilterOperator;
    bool Evaluate(const Variant &v, const Variant &k) const override;
    QString CaptionWord() const override;
    QString ExpressionOperator() const override;
    QString AdjustDisplayText(const QString &displayValue) const override;
    QString ValueExpressionText() const override;
    bool AlwaysUseCaptionWord() const override { return true; }
    const char *ClassName() const override { return "TkvFilterBetweenOperator"; }
};

class TkvFilterNotBetweenOperator : public TkvFilterOperator {
public:
    using TkvFilterOperator::TkvFilterOperator;
    bool Evaluate(const Variant &v, const Variant &k) const override;
    QString CaptionWord() const override;
    QString ExpressionOperator() const override;
    QString AdjustDisplayText(const QString &displayValue) const override;
    QString ValueExpressionText() const override;
    bool AlwaysUseCaptionWord() const override { return true; }
    const char *ClassName() const override { return "TkvFilterNotBetweenOperator"; }
};

class TkvFilterInListOperator : public TkvFilterOperator {
public:
    using TkvFilterOperator::TkvFilterOperator;
    bool Evaluate(const Variant &v, const Variant &k) const override;
    QString CaptionWord() const override;
    QString ExpressionOperator() const override;
    QString AdjustDisplayText(const QString &displayValue) const override;
    QString ValueExpressionText() const override;
    bool AlwaysUseCaptionWord() const override { return true; }
    const char *ClassName() const override { return "TkvFilterInListOperator"; }
};

class TkvFilterNotInListOperator : public TkvFilterOperator {
public:
    using TkvFilterOperator::TkvFilterOperator;
    bool Evaluate(const Variant &v, const Variant &k) const override;
    QString CaptionWord() const override;
    QString ExpressionOperator() const override;
    QString AdjustDisplayText(const QString &displayValue) const override;
    QString ValueExpressionText() const override;
    bool AlwaysUseCaptionWord() const override { return true; }
    const char *ClassName() const override { return "TkvFilterNotInListOperator"; }
};

class TkvFilterNullOperator : public TkvFilterOperator {
public:
    using TkvFilterOperator::TkvFilterOperator;
    bool Evaluate(const Variant &v, const Variant &k) const override;
    QString CaptionWord() const override;
    QString ExpressionOperator() const override;
    QString AdjustDisplayText(const QString &displayValue) const override;
    const char *ClassName() const override { return "TkvFilterNullOperator"; }
};

class TkvFilterNotNullOperator : public TkvFilterOperator {
public:
    using TkvFilterOperator::TkvFilterOperator;
    bool Evaluate(const Variant &v, const Variant &k) const override;
    QString CaptionWord() const override;
    QString ExpressionOperator() const override;
    QString AdjustDisplayText(const QString &displayValue) const override;
    const char *ClassName() const override { return "TkvFilterNotNullOperator"; }
};

//! The base of the twelve date operators: a day range computed by Prepare.
class TkvFilterDateOperator : public TkvFilterOperator {
public:
    TkvFilterDateOperator(TkvFilterCriteriaItem &criteriaItem, TkvFilterOperatorCode code)
        : TkvFilterOperator(criteriaItem), FCode(code)
    {
    }
    bool HasWholeItemExpression() const override { return true; }
    QString WholeItemExpressionText() const override;
    QString AdjustDisplayText(const QString &) const override { return {}; }
    void Prepare() override;
    bool Evaluate(const Variant &v, const Variant &k) const override;
    QString CaptionWord() const override;
    QString ExpressionOperator() const override { return CaptionWord(); }
    bool AlwaysUseCaptionWord() const override { return true; }
    const char *ClassName() const override;
    TkvFilterOperatorCode Code() const { return FCode; }
    double Start() const { return FRange.Start; }
    double End() const { return FRange.End; }

private:
    TkvFilterOperatorCode FCode;
    TkvFilterDateRange FRange;
};

//! The operator a leaf gets: Null / not-Null for equal, not equal, like and
//! not like with a Null value, otherwise the class of the code.
std::unique_ptr<TkvFilterOperator> CreateFilterOperator(TkvFilterCriteriaItem &criteriaItem,
                                                        TkvFilterOperatorCode code, bool valueIsNull);

//! The caption word of an operator code (like and not like: the plain word).
QString FilterOperatorCaptionWord(TkvFilterOperatorCode code);

} // namespace kestrum
