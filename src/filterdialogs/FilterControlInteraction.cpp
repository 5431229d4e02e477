// The builder's parts, focus, keys and the commands behind its menus and lists.
#include "filter/dialogs/FilterControlModel.h"

#include "filter/dialogs/FilterLink.h"

#include <algorithm>

namespace kestrum {

namespace {

TkvFilterControlConditionRow *AsCondition(TkvFilterControlRow *row)
{
    return row && !row->IsGroup() ? static_cast<TkvFilterControlConditionRow *>(row) : nullptr;
}

TkvFilterControlGroupRow *AsGroup(TkvFilterControlRow *row)
{
    return row && row->IsGroup() ? static_cast<TkvFilterControlGroupRow *>(row) : nullptr;
}

} // namespace

std::vector<TkvFilterControlFocus> TkvFilterControlModel::RowParts(TkvFilterControlRow *row) const
{
    std::vector<TkvFilterControlFocus> parts;
    if (!row)
        return parts;
    parts.push_back({row, fpkButton, -1});
    if (row->IsGroup()) {
        parts.push_back({row, fpkBoolOperator, -1});
        return parts;
    }
    auto *condition = static_cast<TkvFilterControlConditionRow *>(row);
    parts.push_back({row, fpkField, -1});
    parts.push_back({row, fpkOperator, -1});
    for (int i = 0; i < int(condition->Values.size()); ++i)
        parts.push_back({row, fpkValue, i});
    if (IsInListFilterDialogOperator(condition->Operator))
        parts.push_back({row, fpkAddValue, -1});
    return parts;
}

std::vector<TkvFilterControlFocus> TkvFilterControlModel::AllParts() const
{
    std::vector<TkvFilterControlFocus> parts;
    for (TkvFilterControlRow *row : Rows()) {
        const auto rowParts = RowParts(row);
        parts.insert(parts.end(), rowParts.begin(), rowParts.end());
    }
    parts.push_back({nullptr, fpkFooterLink, -1});
    return parts;
}

void TkvFilterControlModel::SetFocus(const TkvFilterControlFocus &focus)
{
    const auto parts = AllParts();
    if (std::find(parts.begin(), parts.end(), focus) == parts.end())
        return;
    FFocus = focus;
    Changed();
}

void TkvFilterControlModel::ValidateFocus()
{
    const auto parts = AllParts();
    if (std::find(parts.begin(), parts.end(), FFocus) == parts.end())
        FFocus = {FRoot.get(), fpkButton, -1};
}

TkvFilterControlKeyAction TkvFilterControlModel::KeyAction(int key, Qt::KeyboardModifiers modifiers) const
{
    using A = TkvFilterControlKeyAction;
    const bool ctrl = modifiers.testFlag(Qt::ControlModifier);
    switch (key) {
    case Qt::Key_Tab:
        if (ctrl)
            return A::LeaveControl;
        return modifiers.testFlag(Qt::ShiftModifier) ? A::PriorPart : A::NextPart;
    case Qt::Key_Backtab:
        return ctrl ? A::LeaveControl : A::PriorPart;
    case Qt::Key_Right:
        return A::PartRight;
    case Qt::Key_Left:
        return A::PartLeft;
    case Qt::Key_Up:
        return A::RowUp;
    case Qt::Key_Down:
        return A::RowDown;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        return A::Activate;
    case Qt::Key_Insert:
        return A::InsertCondition;
    case Qt::Key_Delete:
        return ctrl ? A::DeleteFocused : A::None;
    default:
        return A::None;
    }
}

bool TkvFilterControlModel::DoKeyAction(TkvFilterControlKeyAction action,
                                        TkvFilterControlActivation *activation)
{
    using A = TkvFilterControlKeyAction;
    ValidateFocus();
    switch (action) {
    case A::None:
    case A::LeaveControl:
        return false;
    case A::NextPart:
    case A::PriorPart: {
        const auto parts = AllParts();
        const int at = int(std::find(parts.begin(), parts.end(), FFocus) - parts.begin());
        const int next = at + (action == A::NextPart ? 1 : -1);
        if (next < 0 || next >= int(parts.size())) {
            // At either end Tab leaves the control, unless it keeps the tabs.
            return FWantTabs;
        }
        SetFocus(parts[std::size_t(next)]);
        return true;
    }
    case A::PartRight:
    case A::PartLeft: {
        const auto parts = RowParts(FFocus.Row);
        const int at = int(std::find(parts.begin(), parts.end(), FFocus) - parts.begin());
        const int next = at + (action == A::PartRight ? 1 : -1);
        if (at < int(parts.size()) && next >= 0 && next < int(parts.size()))
            SetFocus(parts[std::size_t(next)]);
        return true;
    }
    case A::RowUp:
    case A::RowDown: {
        std::vector<TkvFilterControlRow *> rows = Rows();
        rows.push_back(nullptr); // the footer link
        const int at = int(std::find(rows.begin(), rows.end(), FFocus.Row) - rows.begin());
        const int next = at + (action == A::RowDown ? 1 : -1);
        if (next < 0 || next >= int(rows.size()))
            return true;
        TkvFilterControlRow *row = rows[std::size_t(next)];
        if (!row) {
            SetFocus({nullptr, fpkFooterLink, -1});
            return true;
        }
        // Keep the kind of part where the new row has it, else the part at
        // the same position along the row.
        const auto parts = RowParts(row);
        const auto oldParts = RowParts(FFocus.Row);
        int position = int(std::find(oldParts.begin(), oldParts.end(), FFocus) - oldParts.begin());
        if (position >= int(oldParts.size()))
            position = 0;
        TkvFilterControlFocus target = parts[std::size_t(std::min(position, int(parts.size()) - 1))];
        for (const TkvFilterControlFocus &part : parts)
            if (part.Part == FFocus.Part && (part.Part != fpkValue || part.ValueIndex <= FFocus.ValueIndex))
                target = part;
        SetFocus(target);
        return true;
    }
    case A::Activate: {
        TkvFilterControlActivation result = ActivatePart(FFocus);
        if (activation)
            *activation = std::move(result);
        return true;
    }
    case A::InsertCondition: {
        TkvFilterControlRow *row = FFocus.Row ? FFocus.Row : Rows().back();
        AddCondition(*row->OwnGroup());
        return true;
    }
    case A::DeleteFocused: {
        TkvFilterControlConditionRow *condition = AsCondition(FFocus.Row);
        if (condition && FFocus.Part == fpkValue && IsInListFilterDialogOperator(condition->Operator) &&
            condition->Values.size() > 1) {
            condition->Values.erase(condition->Values.begin() + FFocus.ValueIndex);
            FFocus.ValueIndex = std::min(FFocus.ValueIndex, int(condition->Values.size()) - 1);
            Changed();
        } else if (FFocus.Row && !FFocus.Row->IsRoot()) {
            DeleteRow(FFocus.Row);
        }
        return true;
    }
    }
    return false;
}

TkvFilterControlActivation TkvFilterControlModel::ActivatePart(const TkvFilterControlFocus &part)
{
    TkvFilterControlActivation result;
    SetFocus(part);
    if (!(FFocus == part))
        return result;
    switch (part.Part) {
    case fpkButton: {
        result.What = TkvFilterControlActivation::Menu;
        result.MenuItems.push_back({fmcAddCondition, QString::fromUtf8("添加条件")});
        result.MenuItems.push_back({fmcAddGroup, QString::fromUtf8("添加分组")});
        if (part.Row->IsRoot())
            result.MenuItems.push_back(
                {fmcClearAll, QString::fromUtf8("全部清除"), FRoot->Count() > 0, true});
        else
            result.MenuItems.push_back({fmcDeleteRow, QString::fromUtf8("删除行"), true, true});
        break;
    }
    case fpkBoolOperator: {
        result.What = TkvFilterControlActivation::List;
        for (int code = bcAnd; code <= bcNotOr; ++code)
            result.ListEntries.push_back({FilterControlBoolCaption(TkvFilterBoolCode(code)), code});
        result.CurrentEntry = AsGroup(part.Row)->BoolCode();
        break;
    }
    case fpkField: {
        result.What = TkvFilterControlActivation::List;
        const TkvFilterControlConditionRow *condition = AsCondition(part.Row);
        for (int index = 0; FLink && index < FLink->ItemCount(); ++index) {
            if (index != condition->ItemIndex && !FLink->IsItemOffered(index))
                continue;
            if (index == condition->ItemIndex)
                result.CurrentEntry = int(result.ListEntries.size());
            result.ListEntries.push_back({FLink->ItemCaption(index), index});
        }
        break;
    }
    case fpkOperator: {
        result.What = TkvFilterControlActivation::List;
        const TkvFilterControlConditionRow *condition = AsCondition(part.Row);
        for (int code = FilterDialogOperatorFirst; code <= FilterDialogOperatorLast; ++code) {
            const auto op = TkvFilterDialogOperator(code);
            if (!condition->SupportedOperators.Contains(op))
                continue;
            if (op == condition->Operator)
                result.CurrentEntry = int(result.ListEntries.size());
            result.ListEntries.push_back({FilterDialogOperatorCaption(op), code});
        }
        break;
    }
    case fpkValue:
        result.What = TkvFilterControlActivation::Editor;
        break;
    case fpkFooterLink: {
        TkvFilterControlRow *last = Rows().back();
        AddCondition(*last->OwnGroup());
        break;
    }
    case fpkAddValue:
        AddValue(*AsCondition(part.Row));
        break;
    case fpkNone:
        break;
    }
    return result;
}

void TkvFilterControlModel::ExecuteMenuCommand(TkvFilterControlRow *row, TkvFilterControlMenuCommand command)
{
    if (!row)
        return;
    switch (command) {
    case fmcAddCondition:
        AddCondition(*row->OwnGroup());
        break;
    case fmcAddGroup:
        AddGroup(*row->OwnGroup());
        break;
    case fmcClearAll:
        ClearRows();
        break;
    case fmcDeleteRow:
        DeleteRow(row);
        break;
    }
}

void TkvFilterControlModel::ChooseListEntry(const TkvFilterControlFocus &part, int code)
{
    if (TkvFilterControlGroupRow *group = AsGroup(part.Row); group && part.Part == fpkBoolOperator) {
        if (code >= bcAnd && code <= bcNotOr) {
            group->SetBoolCode(TkvFilterBoolCode(code));
            Changed();
        }
        return;
    }
    TkvFilterControlConditionRow *condition = AsCondition(part.Row);
    if (!condition)
        return;
    if (part.Part == fpkField && code != condition->ItemIndex && FLink && FLink->IsItemOffered(code))
        SetConditionItem(*condition, code);
    else if (part.Part == fpkOperator && IsValidFilterDialogOperator(code) &&
             condition->SupportedOperators.Contains(TkvFilterDialogOperator(code)))
        SetConditionOperator(*condition, TkvFilterDialogOperator(code));
}

} // namespace kestrum
