#pragma once
// The logic of the custom filter dialog, without widgets: one column
// filtered by one condition, or by two joined by and or or. It fills and
// preselects the operator lists, loads the column's present conditions,
// keeps the wildcard and hint rules, checks the values on OK and replaces the
// column's conditions in the criteria as one change.
#include "core/Errors.h"
#include "core/Variant.h"
#include "data/ValueTypes.h"
#include "filter/FilterCriteriaTree.h"
#include "filterdialogs/FilterDialogOperators.h"
#include "filterdialogs/FilterDialogValueEditor.h"

#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace kestrum {

//! A filter value that the column cannot hold.
class EkvFilterValueError : public Exception {
public:
    EkvFilterValueError() : Exception("错误值") {}
};

//! The check of a value entered for a filter condition: an empty text means
//! no value for a column that holds no text, and apart from the patterns of
//! like and not like a value must convert to the column's type. Raises
//! EkvFilterValueError otherwise. A null value type accepts everything.
void CheckFilterDialogValue(Variant &value, TkvFilterDialogOperator op, TkvValueTypeClass valueType);

//! Whether the custom filter dialog can show the criteria: the root joins
//! with and, and each of its children is either a condition (equal through
//! not like) or a list of exactly two such conditions joined by and or or,
//! on a column that no earlier child used. Otherwise the filter builder is
//! the dialog to open.
bool IsSimpleFilterCriteria(const TkvFilterCriteria &criteria);

class TkvFilterDialogModel {
public:
    //! itemLink: the column as the criteria's conditions name it;
    //! operators: what the column's editor kind offers (only the dialog's
    //! own operators, equal through not blank, are listed).
    TkvFilterDialogModel(TkvFilterCriteria &criteria, TkvFilterItemLink itemLink,
                         TkvFilterDialogOperators operators, TkvValueTypeClass valueType,
                         const QString &columnCaption);

    // Texts.
    static QString CaptionText();
    static QString TitleText();
    static QString AndText();
    static QString OrText();
    static QString OKText();
    static QString CancelText();
    //! The column caption followed by one space.
    QString ColumnCaptionText() const;
    QString SingleCharHintText() const;
    QString SeriesHintText() const;

    // The operator lists: the first holds Operators(), the second an empty
    // entry followed by Operators(). Index -1 stands for the empty entry.
    const std::vector<TkvFilterDialogOperator> &Operators() const { return FOperators; }
    int OperatorIndex1() const { return FIndex[0]; }
    int OperatorIndex2() const { return FIndex[1]; }
    void SetOperatorIndex1(int index);
    void SetOperatorIndex2(int index);
    std::optional<TkvFilterDialogOperator> Operator1() const { return OperatorAt(0); }
    std::optional<TkvFilterDialogOperator> Operator2() const { return OperatorAt(1); }
    //! Selects an operator by code; false (and no change) when it is not offered.
    bool SelectOperator1(TkvFilterDialogOperator op);
    bool SelectOperator2(std::optional<TkvFilterDialogOperator> op);
    bool OrChecked() const { return FOr; }
    void SetOrChecked(bool value);
    //! The wildcard hints show while either list has like or not like.
    bool HintsVisible() const;

    //! The editors beside the two lists (either may be null in tests).
    void SetValueEditors(TkvFilterDialogValueEditor *first, TkvFilterDialogValueEditor *second);
    //! Preselects the operators, loads the column's conditions and applies
    //! the wildcard rule to both editors.
    void Load();

    //! OK, before the dialog may close: posts pending input, reads and
    //! checks the values and replaces the column's conditions. Raises the
    //! editors' validation errors and EkvFilterValueError, leaving the
    //! criteria untouched; false when an editor refused silently.
    bool Accept();
    bool PostPendingInput();
    //! Reads, checks and writes (the part of Accept after posting).
    void Apply();

    //! A selection or the and/or choice changed (the dialog shows it).
    std::function<void()> OnChanged;
    //! Runs inside the criteria's update after the conditions were written,
    //! so that what it changes reaches the rows in the same refresh.
    std::function<void()> OnApplying;

private:
    struct TCondition {
        std::optional<TkvFilterDialogOperator> Operator;
        Variant Value = Variant::null();
        QString DisplayText;
    };

    std::optional<TkvFilterDialogOperator> OperatorAt(int slot) const;
    int IndexOfOperator(TkvFilterDialogOperator op) const;
    void SetOperatorIndex(int slot, int index);
    void ApplyWildcardRule(int slot);
    void LoadCondition(int slot, const TkvFilterCriteriaItem &item);
    TCondition ReadCondition(int slot) const;
    void AddCondition(TkvFilterCriteriaItemList *list, const TCondition &condition);
    void Changed();

    TkvFilterCriteria &FCriteria;
    TkvFilterItemLink FItemLink;
    TkvValueTypeClass FValueType;
    QString FColumnCaption;
    std::vector<TkvFilterDialogOperator> FOperators;
    int FIndex[2] = {-1, -1};
    bool FOr = false;
    TkvFilterDialogValueEditor *FEditors[2] = {nullptr, nullptr};
};

} // namespace kestrum
