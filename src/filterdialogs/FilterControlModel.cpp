// The rows of the builder and the two directions between rows and a criteria.
#include "filterdialogs/FilterControlModel.h"

#include "core/VariantCompare.h"
#include "filterdialogs/FilterControlEditors.h"
#include "filterdialogs/FilterControlFiles.h"
#include "filterdialogs/FilterControlInteraction.h"
#include "filterdialogs/FilterControlValueCheck.h"
#include "filterdialogs/FilterLink.h"

#include <QStringList>

namespace kestrum {

namespace {

const char *const EmptyDisplayText = "空";

//! Null and Empty are both "no value" in a slot.
bool IsNoValue(const Variant &value)
{
    return value.isNull() || value.isEmpty();
}

//! A value's text; one that cannot be shown (bytes that are no text in the
//! code page, an array) shows as nothing rather than failing.
QString SafeDisplayText(const Variant &value)
{
    try {
        return value.displayText();
    } catch (const Exception &) {
        return QString();
    }
}

TkvFilterControlValue EmptyValue()
{
    return TkvFilterControlValue{};
}

} // namespace

TkvFilterControlModel::TkvFilterControlModel(TkvFilterLink *link)
    : FLink(link), FCriteria(std::make_unique<TkvFilterControlCriteria>(link))
{
    FFocus = {FRoot.get(), TkvFilterControlPartKind::Button, -1};
}

TkvFilterControlModel::~TkvFilterControlModel() = default;

void TkvFilterControlModel::SetLink(TkvFilterLink *link)
{
    FLink = link;
    FCriteria = std::make_unique<TkvFilterControlCriteria>(link);
    ClearRows();
    if (FLink && FLink->ItemCount() > 0) {
        TakeLinkCriteria();
        BuildRowsFromCriteria(*FCriteria);
    }
}

void TkvFilterControlModel::TakeLinkCriteria()
{
    // Everything Assign copies except the change handler: the link's
    // listeners must not hear the builder's own edits.
    const TkvFilterCriteria &source = FLink->Criteria();
    FCriteria->BeginBatch();
    FCriteria->SetDateTimeFormat(source.DateTimeFormat());
    FCriteria->SetMaxValueListCount(source.MaxValueListCount());
    FCriteria->SetOptions(source.Options());
    FCriteria->SetPercentWildcard(source.PercentWildcard());
    FCriteria->SetUnderscoreWildcard(source.UnderscoreWildcard());
    FCriteria->LoadFromBytes(source.SaveToBytes());
    FCriteria->EndBatch();
}

void TkvFilterControlModel::Changed()
{
    if (OnChanged)
        OnChanged();
}

// ---------------------------------------------------------------------------
// Rows

std::vector<TkvFilterControlRow *> TkvFilterControlModel::Rows() const
{
    std::vector<TkvFilterControlRow *> rows;
    std::function<void(TkvFilterControlRow *)> walk = [&](TkvFilterControlRow *row) {
        rows.push_back(row);
        if (row->IsGroup()) {
            auto *group = static_cast<TkvFilterControlGroupRow *>(row);
            for (int i = 0; i < group->Count(); ++i)
                walk(group->Rows(i));
        }
    };
    walk(FRoot.get());
    return rows;
}

QString TkvFilterControlModel::FieldText(const TkvFilterControlConditionRow &condition) const
{
    if (!FLink || condition.ItemIndex < 0 || condition.ItemIndex >= FLink->ItemCount())
        return QString();
    return FLink->ItemCaption(condition.ItemIndex);
}

QString TkvFilterControlModel::ValueText(const TkvFilterControlConditionRow &condition, int valueIndex) const
{
    if (valueIndex < 0 || valueIndex >= int(condition.Values.size()))
        return QString();
    const TkvFilterControlValue &value = condition.Values[std::size_t(valueIndex)];
    if (IsNoValue(value.Value))
        return FNullString;
    const QString text = value.DisplayText.isEmpty() ? SafeDisplayText(value.Value) : value.DisplayText;
    // An empty text shows as no value does: a part with nothing to show
    // would be too narrow to click.
    return text.isEmpty() ? FNullString : text;
}

QString TkvFilterControlModel::RowsText() const
{
    QStringList lines;
    for (TkvFilterControlRow *row : Rows()) {
        QString line(row->Level() * 2, QLatin1Char(' '));
        if (row->IsGroup()) {
            auto *group = static_cast<TkvFilterControlGroupRow *>(row);
            line += FilterControlBoolCaption(group->BoolCode()) + QLatin1Char(' ') + group->Caption();
        } else {
            auto *condition = static_cast<TkvFilterControlConditionRow *>(row);
            line +=
                FieldText(*condition) + QLatin1Char(' ') + FilterDialogOperatorCaption(condition->Operator);
            for (int i = 0; i < int(condition->Values.size()); ++i)
                line += (i ? QStringLiteral(", ") : QStringLiteral(" ")) + ValueText(*condition, i);
        }
        lines << line;
    }
    return lines.join(QLatin1Char('\n'));
}

void TkvFilterControlModel::ClearRows()
{
    FRoot->Clear();
    FRoot->SetBoolCode(bcAnd);
    FFocus = {FRoot.get(), TkvFilterControlPartKind::Button, -1};
    Changed();
}

TkvFilterControlConditionRow *TkvFilterControlModel::AddCondition(TkvFilterControlGroupRow &group)
{
    auto *condition = group.Add(std::make_unique<TkvFilterControlConditionRow>(&group));
    if (FLink)
        SetConditionItem(*condition, FLink->NewConditionItem());
    FFocus = {condition, TkvFilterControlPartKind::Field, -1};
    Changed();
    return condition;
}

TkvFilterControlGroupRow *TkvFilterControlModel::AddGroup(TkvFilterControlGroupRow &group)
{
    auto *added = group.Add(std::make_unique<TkvFilterControlGroupRow>(&group, bcAnd));
    AddCondition(*added);
    return added;
}

void TkvFilterControlModel::DeleteRow(TkvFilterControlRow *row)
{
    if (!row || row->IsRoot())
        return;
    // The focus goes to the row that takes the deleted one's place on screen.
    const std::vector<TkvFilterControlRow *> before = Rows();
    const int position = int(std::find(before.begin(), before.end(), row) - before.begin());
    TkvFilterControlGroupRow *group = row->Parent();
    group->Remove(row);
    while (!group->IsRoot() && group->Count() == 0) {
        TkvFilterControlGroupRow *parent = group->Parent();
        parent->Remove(group);
        group = parent;
    }
    const std::vector<TkvFilterControlRow *> after = Rows();
    if (position < int(after.size()))
        FFocus = {after[std::size_t(position)], TkvFilterControlPartKind::Button, -1};
    else if (after.size() > 1)
        FFocus = {after.back(), TkvFilterControlPartKind::Button, -1};
    else
        FFocus = {nullptr, TkvFilterControlPartKind::FooterLink, -1};
    Changed();
}

void TkvFilterControlModel::SetConditionItem(TkvFilterControlConditionRow &condition, int itemIndex)
{
    if (!FLink || itemIndex < 0 || itemIndex >= FLink->ItemCount())
        return;
    condition.ItemIndex = itemIndex;
    condition.ItemLink = FLink->ItemLink(itemIndex);
    const TkvValueTypeClass valueType = FLink->ItemValueTypeClass(itemIndex);
    TkvFilterDialogOperators supported =
        FilterControlSupportedOperators(FLink->ItemProperties(itemIndex), valueType);
    for (int code = FilterDialogOperatorFirst; code <= FilterDialogOperatorLast; ++code)
        if (FDisabledOperators.Contains(TkvFilterDialogOperator(code)))
            supported.Exclude(TkvFilterDialogOperator(code));
    condition.SupportedOperators = supported;
    condition.Values.clear();
    TkvFilterDialogOperator op = fdoEqual;
    if (supported.Contains(fdoLike) && valueType && valueType->IsStringType()) {
        op = fdoLike;
    } else {
        for (int code = FilterDialogOperatorFirst; code <= FilterDialogOperatorLast; ++code)
            if (supported.Contains(TkvFilterDialogOperator(code))) {
                op = TkvFilterDialogOperator(code);
                break;
            }
    }
    SetConditionOperator(condition, op);
}

void TkvFilterControlModel::SetConditionOperator(TkvFilterControlConditionRow &condition,
                                                 TkvFilterDialogOperator op)
{
    condition.Operator = op;
    const int count = FilterControlValueCount(op);
    if (count >= 0)
        condition.Values.resize(std::size_t(count), EmptyValue());
    else if (condition.Values.empty())
        condition.Values.push_back(EmptyValue());
    if (FFocus.Row == &condition && FFocus.Part == TkvFilterControlPartKind::Value &&
        FFocus.ValueIndex >= int(condition.Values.size()))
        FFocus = {&condition, TkvFilterControlPartKind::Operator, -1};
    Changed();
}

void TkvFilterControlModel::PostValue(TkvFilterControlConditionRow &condition, int valueIndex,
                                      const Variant &value, const QString &displayText)
{
    if (valueIndex < 0 || valueIndex >= int(condition.Values.size()))
        return;
    const TkvValueTypeClass valueType =
        FLink && condition.ItemIndex >= 0 ? FLink->ItemValueTypeClass(condition.ItemIndex) : nullptr;
    const bool stringItem = valueType && valueType->IsStringType();
    Variant stored = value;
    if (stored.isEmpty() || (!stringItem && TkvFilterControlValueCheck::IsEmptyString(stored)))
        stored = Variant::null();
    const bool like = condition.Operator == fdoLike || condition.Operator == fdoNotLike;
    if (!TkvFilterControlValueCheck::FitsItem(stored, valueType, like))
        throw EkvFilterControlValueError();
    if (!stored.isNull() && !like && valueType)
        stored = TkvFilterControlValueCheck::AsItemKind(stored, valueType);
    condition.Values[std::size_t(valueIndex)] = {stored, stored.isNull() ? QString() : displayText};
    Changed();
}

void TkvFilterControlModel::CheckValues(const TkvFilterCriteria &criteria) const
{
    TkvFilterControlValueCheck(FLink).CheckValues(criteria);
}

void TkvFilterControlModel::AddValue(TkvFilterControlConditionRow &condition)
{
    if (!IsInListFilterDialogOperator(condition.Operator))
        return;
    condition.Values.push_back(EmptyValue());
    FFocus = {&condition, TkvFilterControlPartKind::Value, int(condition.Values.size()) - 1};
    Changed();
}

// ---------------------------------------------------------------------------
// Criteria → rows

void TkvFilterControlModel::BuildRowsFromCriteria(const TkvFilterCriteria &criteria)
{
    if (!FLink || FLink->ItemCount() == 0)
        throw EkvFilterControlError();
    // Built aside, so that a condition on an unknown item leaves the rows alone.
    auto root = std::make_unique<TkvFilterControlGroupRow>(nullptr, criteria.Root().BoolOperatorKind());
    BuildRows(criteria.Root(), *root);
    FRoot = std::move(root);
    FFocus = {FRoot.get(), TkvFilterControlPartKind::Button, -1};
    Changed();
}

void TkvFilterControlModel::BuildRows(const TkvFilterCriteriaItemList &list, TkvFilterControlGroupRow &group)
{
    for (int i = 0; i < list.Count(); ++i) {
        const TkvCustomFilterCriteriaItem *node = list.Items(i);
        if (node->IsItemList()) {
            auto *sub = static_cast<const TkvFilterCriteriaItemList *>(node);
            auto *row =
                group.Add(std::make_unique<TkvFilterControlGroupRow>(&group, sub->BoolOperatorKind()));
            BuildRows(*sub, *row);
            continue;
        }
        auto *leaf = static_cast<const TkvFilterCriteriaItem *>(node);
        const int itemIndex = leaf->ItemLink() ? FLink->IndexOfItemLink(leaf->ItemLink()) : -1;
        if (itemIndex < 0)
            throw EkvFilterControlError();
        auto *row = group.Add(std::make_unique<TkvFilterControlConditionRow>(&group));
        SetConditionItem(*row, itemIndex);
        const TkvFilterDialogOperator op =
            FilterDialogOperatorOf(leaf->OperatorKind(), IsNoValue(leaf->Value()));
        row->Operator = op;
        row->Values.clear();
        const int count = FilterControlValueCount(op);
        if (count == 0)
            continue;
        if (count != 1 && leaf->Value().isArray()) {
            const QStringList texts = leaf->DisplayValue().split(QLatin1Char(';'));
            const std::vector<Variant> &elements = leaf->Value().elements();
            for (std::size_t k = 0; k < elements.size(); ++k) {
                const QString text =
                    k < std::size_t(texts.size()) ? texts[qsizetype(k)] : SafeDisplayText(elements[k]);
                row->Values.push_back({elements[k], IsNoValue(elements[k]) ? QString() : text});
            }
        } else {
            const Variant &value = leaf->Value();
            row->Values.push_back({value, IsNoValue(value) ? QString() : leaf->DisplayValue()});
        }
        // A stored range may be short; the rows always show both ends.
        if (count > 0 && int(row->Values.size()) < count)
            row->Values.resize(std::size_t(count), EmptyValue());
        if (row->Values.empty())
            row->Values.push_back(EmptyValue());
    }
}

// ---------------------------------------------------------------------------
// Rows → criteria

bool TkvFilterControlModel::IsComplete(const TkvFilterControlGroupRow &group) const
{
    for (int i = 0; i < group.Count(); ++i) {
        const TkvFilterControlRow *row = group.Rows(i);
        if (row->IsGroup()) {
            if (!IsComplete(*static_cast<const TkvFilterControlGroupRow *>(row)))
                return false;
        } else if (static_cast<const TkvFilterControlConditionRow *>(row)->ItemIndex < 0) {
            return false;
        }
    }
    return true;
}

bool TkvFilterControlModel::BuildCriteria()
{
    if (OnPostEdit)
        OnPostEdit();
    if (!IsComplete(*FRoot))
        return false;
    FCriteria->BeginBatch();
    try {
        FCriteria->ClearTree();
        FCriteria->Root().SetBoolOperatorKind(FRoot->BoolCode());
        BuildList(nullptr, *FRoot);
    } catch (...) {
        FCriteria->EndBatch();
        throw;
    }
    FCriteria->EndBatch();
    return true;
}

void TkvFilterControlModel::BuildList(TkvFilterCriteriaItemList *list, const TkvFilterControlGroupRow &group)
{
    for (int i = 0; i < group.Count(); ++i) {
        const TkvFilterControlRow *row = group.Rows(i);
        if (row->IsGroup()) {
            auto *rowGroup = static_cast<const TkvFilterControlGroupRow *>(row);
            TkvFilterCriteriaItemList *sub = FCriteria->AppendSubList(list, bcAnd);
            sub->SetBoolOperatorKind(rowGroup->BoolCode());
            BuildList(sub, *rowGroup);
        } else {
            AddLeaf(list, *static_cast<const TkvFilterControlConditionRow *>(row));
        }
    }
}

void TkvFilterControlModel::AddLeaf(TkvFilterCriteriaItemList *list,
                                    const TkvFilterControlConditionRow &condition)
{
    const QString empty = QString::fromUtf8(EmptyDisplayText);
    const auto slot = [&](std::size_t index) {
        return index < condition.Values.size() ? condition.Values[index] : EmptyValue();
    };
    const auto slotText = [&](const TkvFilterControlValue &value) {
        return IsNoValue(value.Value) ? QString() : value.DisplayText;
    };
    Variant value = Variant::null();
    QString displayText;
    switch (condition.Operator) {
    case fdoEqual:
    case fdoNotEqual: {
        const TkvFilterControlValue first = slot(0);
        value = IsNoValue(first.Value) ? Variant::null() : first.Value;
        displayText = IsNoValue(first.Value) ? empty : first.DisplayText;
        break;
    }
    case fdoBlanks:
    case fdoNonBlanks:
        displayText = empty;
        break;
    case fdoBetween:
    case fdoNotBetween: {
        TkvFilterControlValue low = slot(0);
        TkvFilterControlValue high = slot(1);
        // The lower end first; equal ends (and ends that do not compare)
        // come out in the reverse of the entered order.
        bool inOrder = false;
        try {
            inOrder = CompareVariants(low.Value, high.Value) < 0;
        } catch (const Exception &) {
            inOrder = false;
        }
        if (!inOrder)
            std::swap(low, high);
        value = Variant::fromArray({IsNoValue(low.Value) ? Variant::null() : low.Value,
                                    IsNoValue(high.Value) ? Variant::null() : high.Value});
        displayText = slotText(low) + QLatin1Char(';') + slotText(high);
        break;
    }
    case fdoInList:
    case fdoNotInList: {
        std::vector<Variant> elements;
        QStringList texts;
        for (const TkvFilterControlValue &item : condition.Values) {
            elements.push_back(IsNoValue(item.Value) ? Variant::null() : item.Value);
            texts << slotText(item);
        }
        value = Variant::fromArray(std::move(elements));
        displayText = texts.join(QLatin1Char(';'));
        break;
    }
    default: {
        const TkvFilterControlValue first = slot(0);
        value = IsNoValue(first.Value) ? Variant::null() : first.Value;
        const bool emptyText =
            IsNoValue(first.Value) || TkvFilterControlValueCheck::IsEmptyString(first.Value);
        displayText = emptyText ? empty : first.DisplayText;
        break;
    }
    }
    FCriteria->AppendCondition(list, condition.ItemLink, CriteriaOperatorOf(condition.Operator), value,
                               displayText);
}

void TkvFilterControlModel::ApplyFilter()
{
    if (!FLink)
        return;
    TkvFilterCriteria &target = FLink->Criteria();
    if (!BuildCriteria())
        return;
    const auto takeBack = [&] {
        TakeLinkCriteria();
        BuildRowsFromCriteria(*FCriteria);
    };
    try {
        target.LoadFromBytes(FCriteria->SaveToBytes());
        if (OnApplyFilter)
            OnApplyFilter();
    } catch (...) {
        takeBack();
        throw;
    }
    takeBack();
}

QString TkvFilterControlModel::FilterCaption()
{
    return BuildCriteria() ? FCriteria->CaptionText() : QString();
}

QString TkvFilterControlModel::FilterText()
{
    return BuildCriteria() ? FCriteria->ExpressionText() : QString();
}

std::string TkvFilterControlModel::WriteTreeStream()
{
    if (!BuildCriteria())
        throw EkvFilterControlError();
    return FCriteria->SaveToBytes();
}

void TkvFilterControlModel::ReadTreeStream(const std::string &bytes)
{
    if (!FLink || FLink->ItemCount() == 0)
        throw EkvFilterControlError();
    TkvFilterControlCriteria scratch(FLink);
    scratch.LoadFromBytes(bytes);
    if (!scratch.AllItemsResolved())
        throw EkvFilterControlError();
    CheckValues(scratch);
    BuildRowsFromCriteria(scratch);
    FCriteria->LoadFromBytes(bytes);
}

// Files and the user's interaction live in classes of their own; these keep
// the model's interface for the widget and the dialogs.

TkvFilterFileResult TkvFilterControlModel::OpenFilterFile(const QString &fileName)
{
    return TkvFilterControlFiles(*this).Open(fileName);
}

TkvFilterFileResult TkvFilterControlModel::SaveFilterFile(const QString &fileName)
{
    return TkvFilterControlFiles(*this).Save(fileName);
}

void TkvFilterControlModel::SetFocus(const TkvFilterControlFocus &focus)
{
    TkvFilterControlInteraction(*this).SetFocus(focus);
}

std::vector<TkvFilterControlFocus> TkvFilterControlModel::RowParts(TkvFilterControlRow *row) const
{
    return TkvFilterControlInteraction::RowParts(row);
}

std::vector<TkvFilterControlFocus> TkvFilterControlModel::AllParts() const
{
    return TkvFilterControlInteraction::AllParts(*this);
}

TkvFilterControlKeyAction TkvFilterControlModel::KeyAction(int key, Qt::KeyboardModifiers modifiers) const
{
    return TkvFilterControlInteraction::KeyAction(key, modifiers);
}

bool TkvFilterControlModel::DoKeyAction(TkvFilterControlKeyAction action,
                                        TkvFilterControlActivation *activation)
{
    return TkvFilterControlInteraction(*this).DoKeyAction(action, activation);
}

TkvFilterControlActivation TkvFilterControlModel::ActivatePart(const TkvFilterControlFocus &part)
{
    return TkvFilterControlInteraction(*this).ActivatePart(part);
}

void TkvFilterControlModel::ExecuteMenuCommand(TkvFilterControlRow *row, TkvFilterControlMenuCommand command)
{
    TkvFilterControlInteraction(*this).ExecuteMenuCommand(row, command);
}

void TkvFilterControlModel::ChooseListEntry(const TkvFilterControlFocus &part, int code)
{
    TkvFilterControlInteraction(*this).ChooseListEntry(part, code);
}

} // namespace kestrum
