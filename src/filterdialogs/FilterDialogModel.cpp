#include "filterdialogs/FilterDialogModel.h"

#include "core/Utf8.h"
#include "core/VariantCompare.h"

#include <algorithm>
#include <string>

namespace kestrum {

namespace {

bool IsPatternOperator(std::optional<TkvFilterDialogOperator> op)
{
    return op == fdoLike || op == fdoNotLike;
}

bool IsStringType(TkvValueTypeClass valueType)
{
    return valueType && valueType->IsStringType();
}

//! A leaf the dialog can show: one of the operators equal through not like.
const TkvFilterCriteriaItem *SimpleLeaf(const TkvCustomFilterCriteriaItem *node)
{
    if (node->IsItemList())
        return nullptr;
    const auto *leaf = static_cast<const TkvFilterCriteriaItem *>(node);
    return leaf->OperatorKind() <= ocNotLike ? leaf : nullptr;
}

} // namespace

void CheckFilterDialogValue(Variant &value, TkvFilterDialogOperator op, TkvValueTypeClass valueType)
{
    if (!IsStringType(valueType) && value.isString() && IsNullOrEmptyText(value))
        value = Variant::null();
    if (value.isNull() || IsPatternOperator(op) || !valueType)
        return;
    if (!valueType->IsValueValid(value))
        throw EkvFilterValueError();
}

bool IsSimpleFilterCriteria(const TkvFilterCriteria &criteria)
{
    const TkvFilterCriteriaItemList &root = criteria.Root();
    if (root.BoolOperatorKind() != bcAnd)
        return false;
    std::vector<TkvFilterItemLink> seen;
    auto unseen = [&](TkvFilterItemLink link) {
        return std::find(seen.begin(), seen.end(), link) == seen.end();
    };
    for (int i = 0; i < root.Count(); ++i) {
        const TkvCustomFilterCriteriaItem *child = root.Items(i);
        TkvFilterItemLink link = nullptr;
        if (const TkvFilterCriteriaItem *leaf = SimpleLeaf(child)) {
            link = leaf->ItemLink();
        } else if (child->IsItemList()) {
            const auto *list = static_cast<const TkvFilterCriteriaItemList *>(child);
            if (list->Count() != 2 || (list->BoolOperatorKind() != bcAnd && list->BoolOperatorKind() != bcOr))
                return false;
            const TkvFilterCriteriaItem *first = SimpleLeaf(list->Items(0));
            const TkvFilterCriteriaItem *second = SimpleLeaf(list->Items(1));
            if (!first || !second || first->ItemLink() != second->ItemLink())
                return false;
            link = first->ItemLink();
        } else {
            return false;
        }
        if (!unseen(link))
            return false;
        seen.push_back(link);
    }
    return true;
}

// ---- TkvFilterDialogModel ----

TkvFilterDialogModel::TkvFilterDialogModel(TkvFilterCriteria &criteria, TkvFilterItemLink itemLink,
                                           TkvFilterDialogOperators operators, TkvValueTypeClass valueType,
                                           const QString &columnCaption)
    : FCriteria(criteria), FItemLink(criteria.ResolveItemLink(itemLink)), FValueType(valueType),
      FColumnCaption(columnCaption)
{
    for (int code = fdoEqual; code <= fdoNonBlanks; ++code)
        if (operators.Contains(TkvFilterDialogOperator(code)))
            FOperators.push_back(TkvFilterDialogOperator(code));
}

QString TkvFilterDialogModel::CaptionText()
{
    return utf8("定制搜索");
}

QString TkvFilterDialogModel::TitleText()
{
    return utf8("显示行：");
}

QString TkvFilterDialogModel::AndText()
{
    return utf8("与");
}

QString TkvFilterDialogModel::OrText()
{
    return utf8("或");
}

QString TkvFilterDialogModel::OKText()
{
    return utf8("确定");
}

QString TkvFilterDialogModel::CancelText()
{
    return utf8("退出");
}

QString TkvFilterDialogModel::ColumnCaptionText() const
{
    return FColumnCaption + QLatin1Char(' ');
}

QString TkvFilterDialogModel::SingleCharHintText() const
{
    return utf8("使用") + QLatin1Char(' ') + FCriteria.UnderscoreWildcard() + QLatin1Char(' ') +
           utf8("代表单一字符");
}

QString TkvFilterDialogModel::SeriesHintText() const
{
    return utf8("使用") + QLatin1Char(' ') + FCriteria.PercentWildcard() + QLatin1Char(' ') +
           utf8("代表任意连续字符");
}

std::optional<TkvFilterDialogOperator> TkvFilterDialogModel::OperatorAt(int slot) const
{
    const int index = FIndex[slot];
    if (index < 0 || index >= int(FOperators.size()))
        return std::nullopt;
    return FOperators[std::size_t(index)];
}

int TkvFilterDialogModel::IndexOfOperator(TkvFilterDialogOperator op) const
{
    const auto found = std::find(FOperators.begin(), FOperators.end(), op);
    return found == FOperators.end() ? -1 : int(found - FOperators.begin());
}

void TkvFilterDialogModel::SetOperatorIndex(int slot, int index)
{
    if (index < -1 || index >= int(FOperators.size()))
        index = -1;
    // The first list has no empty entry; it keeps what it had.
    if (slot == 0 && index < 0 && !FOperators.empty())
        return;
    if (FIndex[slot] == index)
        return;
    FIndex[slot] = index;
    ApplyWildcardRule(slot);
    Changed();
}

void TkvFilterDialogModel::SetOperatorIndex1(int index)
{
    SetOperatorIndex(0, index);
}

void TkvFilterDialogModel::SetOperatorIndex2(int index)
{
    SetOperatorIndex(1, index);
}

bool TkvFilterDialogModel::SelectOperator1(TkvFilterDialogOperator op)
{
    const int index = IndexOfOperator(op);
    if (index < 0)
        return false;
    SetOperatorIndex(0, index);
    return true;
}

bool TkvFilterDialogModel::SelectOperator2(std::optional<TkvFilterDialogOperator> op)
{
    const int index = op ? IndexOfOperator(*op) : -1;
    if (op && index < 0)
        return false;
    SetOperatorIndex(1, index);
    return true;
}

void TkvFilterDialogModel::SetOrChecked(bool value)
{
    if (FOr == value)
        return;
    FOr = value;
    Changed();
}

bool TkvFilterDialogModel::HintsVisible() const
{
    return IsPatternOperator(Operator1()) || IsPatternOperator(Operator2());
}

void TkvFilterDialogModel::SetValueEditors(TkvFilterDialogValueEditor *first,
                                           TkvFilterDialogValueEditor *second)
{
    FEditors[0] = first;
    FEditors[1] = second;
}

void TkvFilterDialogModel::ApplyWildcardRule(int slot)
{
    if (TkvFilterDialogValueEditor *editor = FEditors[slot])
        editor->SetWildcardsAccepted(IsPatternOperator(OperatorAt(slot)), FCriteria.PercentWildcard(),
                                     FCriteria.UnderscoreWildcard());
}

void TkvFilterDialogModel::Changed()
{
    if (OnChanged)
        OnChanged();
}

void TkvFilterDialogModel::Load()
{
    FIndex[0] = FOperators.empty() ? -1 : 0;
    if (IsStringType(FValueType) && IndexOfOperator(fdoLike) >= 0)
        FIndex[0] = IndexOfOperator(fdoLike);
    else if (IndexOfOperator(fdoEqual) >= 0)
        FIndex[0] = IndexOfOperator(fdoEqual);
    FIndex[1] = -1;
    FOr = false;

    if (const TkvFilterCriteriaItem *leaf = FItemLink ? FCriteria.FindConditionOf(FItemLink) : nullptr) {
        LoadCondition(0, *leaf);
        const TkvFilterCriteriaItemList *parent = leaf->Parent();
        if (parent && parent != &FCriteria.Root() && parent->Count() >= 2) {
            FOr = parent->BoolOperatorKind() != bcAnd;
            const TkvCustomFilterCriteriaItem *other =
                parent->Items(1) == leaf ? parent->Items(0) : parent->Items(1);
            if (!other->IsItemList())
                LoadCondition(1, *static_cast<const TkvFilterCriteriaItem *>(other));
        }
    }
    ApplyWildcardRule(0);
    ApplyWildcardRule(1);
    Changed();
}

void TkvFilterDialogModel::LoadCondition(int slot, const TkvFilterCriteriaItem &item)
{
    // An operator the column does not offer leaves the preselection.
    const int index = IndexOfOperator(FilterDialogOperatorOf(item.OperatorKind(), item.IsNull()));
    if (index >= 0)
        FIndex[slot] = index;
    if (FEditors[slot])
        FEditors[slot]->SetValue(item.Value());
}

bool TkvFilterDialogModel::PostPendingInput()
{
    for (TkvFilterDialogValueEditor *editor : FEditors)
        if (editor && !editor->PostPendingInput())
            return false;
    return true;
}

TkvFilterDialogModel::TCondition TkvFilterDialogModel::ReadCondition(int slot) const
{
    TCondition condition;
    condition.Operator = OperatorAt(slot);
    if (!condition.Operator)
        return condition;
    if (IsNullFilterDialogOperator(*condition.Operator))
        return condition; // the value goes unread: blank tests compare with no value
    if (TkvFilterDialogValueEditor *editor = FEditors[slot])
        editor->GetValue(condition.Value, condition.DisplayText);
    try {
        CheckFilterDialogValue(condition.Value, *condition.Operator, FValueType);
    } catch (const EkvFilterValueError &) {
        if (TkvFilterDialogValueEditor *editor = FEditors[slot])
            editor->FocusEditor();
        throw;
    }
    return condition;
}

void TkvFilterDialogModel::AddCondition(TkvFilterCriteriaItemList *list, const TCondition &condition)
{
    if (!condition.Operator)
        return;
    Variant value = condition.Value;
    QString displayText = condition.DisplayText;
    const QString blank = utf8("空");
    if (IsNullFilterDialogOperator(*condition.Operator)) {
        value = Variant::null();
        displayText = blank;
    } else if (IsNullOrEmptyText(value)) {
        displayText = blank;
    }
    FCriteria.AppendCondition(list, FItemLink, CriteriaOperatorOf(*condition.Operator), value, displayText);
}

void TkvFilterDialogModel::Apply()
{
    const TCondition first = ReadCondition(0);
    const TCondition second = ReadCondition(1);

    // Written as one change; should writing fail half way, the criteria gets
    // its old tree back so that no half-replaced filter remains.
    const std::string saved = FCriteria.SaveToBytes();
    FCriteria.BeginBatch();
    try {
        FCriteria.Root().SetBoolOperatorKind(bcAnd);
        FCriteria.RemoveConditionsOf(FItemLink);
        if (second.Operator) {
            TkvFilterCriteriaItemList *list = FCriteria.AppendSubList(nullptr, FOr ? bcOr : bcAnd);
            AddCondition(list, first);
            AddCondition(list, second);
        } else {
            AddCondition(nullptr, first);
        }
        if (OnApplying)
            OnApplying();
    } catch (...) {
        FCriteria.LoadFromBytes(saved);
        FCriteria.EndBatch();
        throw;
    }
    FCriteria.EndBatch();
}

bool TkvFilterDialogModel::Accept()
{
    if (!PostPendingInput())
        return false;
    Apply();
    return true;
}

} // namespace kestrum
