#include "filterdialogs/FilterControlInteraction.h"

#include "filterdialogs/FilterLink.h"

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

std::vector<TkvFilterControlFocus> TkvFilterControlInteraction::RowParts(TkvFilterControlRow *row)
{
    std::vector<TkvFilterControlFocus> parts;
    if (!row)
        return parts;
    parts.push_back({row, TkvFilterControlPartKind::Button, -1});
    if (row->IsGroup()) {
        parts.push_back({row, TkvFilterControlPartKind::BoolOperator, -1});
        return parts;
    }
    auto *condition = static_cast<TkvFilterControlConditionRow *>(row);
    parts.push_back({row, TkvFilterControlPartKind::Field, -1});
    parts.push_back({row, TkvFilterControlPartKind::Operator, -1});
    for (int i = 0; i < int(condition->Values.size()); ++i)
        parts.push_back({row, TkvFilterControlPartKind::Value, i});
    if (IsInListFilterDialogOperator(condition->Operator))
        parts.push_back({row, TkvFilterControlPartKind::AddValue, -1});
    return parts;
}

std::vector<TkvFilterControlFocus> TkvFilterControlInteraction::AllParts(const TkvFilterControlModel &model)
{
    std::vector<TkvFilterControlFocus> parts;
    for (TkvFilterControlRow *row : model.Rows()) {
        const auto rowParts = RowParts(row);
        parts.insert(parts.end(), rowParts.begin(), rowParts.end());
    }
    parts.push_back({nullptr, TkvFilterControlPartKind::FooterLink, -1});
    return parts;
}

void TkvFilterControlInteraction::SetFocus(const TkvFilterControlFocus &focus)
{
    const auto parts = AllParts(FModel);
    if (std::find(parts.begin(), parts.end(), focus) == parts.end())
        return;
    FModel.FFocus = focus;
    FModel.Changed();
}

void TkvFilterControlInteraction::ValidateFocus()
{
    const auto parts = AllParts(FModel);
    if (std::find(parts.begin(), parts.end(), FModel.FFocus) == parts.end())
        FModel.FFocus = {&FModel.Root(), TkvFilterControlPartKind::Button, -1};
}

TkvFilterControlKeyAction TkvFilterControlInteraction::KeyAction(int key, Qt::KeyboardModifiers modifiers)
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

bool TkvFilterControlInteraction::DoKeyAction(TkvFilterControlKeyAction action,
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
        const auto parts = AllParts(FModel);
        const int at = int(std::find(parts.begin(), parts.end(), FModel.FFocus) - parts.begin());
        const int next = at + (action == A::NextPart ? 1 : -1);
        if (next < 0 || next >= int(parts.size())) {
            // At either end Tab leaves the control, unless it keeps the tabs.
            return FModel.WantTabs();
        }
        SetFocus(parts[std::size_t(next)]);
        return true;
    }
    case A::PartRight:
    case A::PartLeft: {
        const auto parts = RowParts(FModel.FFocus.Row);
        const int at = int(std::find(parts.begin(), parts.end(), FModel.FFocus) - parts.begin());
        const int next = at + (action == A::PartRight ? 1 : -1);
        if (at < int(parts.size()) && next >= 0 && next < int(parts.size()))
            SetFocus(parts[std::size_t(next)]);
        return true;
    }
    case A::RowUp:
    case A::RowDown: {
        std::vector<TkvFilterControlRow *> rows = FModel.Rows();
        rows.push_back(nullptr); // the footer link
        const int at = int(std::find(rows.begin(), rows.end(), FModel.FFocus.Row) - rows.begin());
        const int next = at + (action == A::RowDown ? 1 : -1);
        if (next < 0 || next >= int(rows.size()))
            return true;
        TkvFilterControlRow *row = rows[std::size_t(next)];
        if (!row) {
            SetFocus({nullptr, TkvFilterControlPartKind::FooterLink, -1});
            return true;
        }
        // Keep the kind of part where the new row has it, else the part at
        // the same position along the row.
        const auto parts = RowParts(row);
        const auto oldParts = RowParts(FModel.FFocus.Row);
        int position = int(std::find(oldParts.begin(), oldParts.end(), FModel.FFocus) - oldParts.begin());
        if (position >= int(oldParts.size()))
            position = 0;
        TkvFilterControlFocus target = parts[std::size_t(std::min(position, int(parts.size()) - 1))];
        for (const TkvFilterControlFocus &part : parts)
            if (part.Part == FModel.FFocus.Part &&
                (part.Part != TkvFilterControlPartKind::Value || part.ValueIndex <= FModel.FFocus.ValueIndex))
                target = part;
        SetFocus(target);
        return true;
    }
    case A::Activate: {
        TkvFilterControlActivation result = ActivatePart(FModel.FFocus);
        if (activation)
            *activation = std::move(result);
        return true;
    }
    case A::InsertCondition: {
        TkvFilterControlRow *row = FModel.FFocus.Row ? FModel.FFocus.Row : FModel.Rows().back();
        FModel.AddCondition(*row->OwnGroup());
        return true;
    }
    case A::DeleteFocused: {
        TkvFilterControlConditionRow *condition = AsCondition(FModel.FFocus.Row);
        if (condition && FModel.FFocus.Part == TkvFilterControlPartKind::Value &&
            IsInListFilterDialogOperator(condition->Operator) && condition->Values.size() > 1) {
            condition->Values.erase(condition->Values.begin() + FModel.FFocus.ValueIndex);
            FModel.FFocus.ValueIndex = std::min(FModel.FFocus.ValueIndex, int(condition->Values.size()) - 1);
            FModel.Changed();
        } else if (FModel.FFocus.Row && !FModel.FFocus.Row->IsRoot()) {
            FModel.DeleteRow(FModel.FFocus.Row);
        }
        return true;
    }
    }
    return false;
}

TkvFilterControlActivation TkvFilterControlInteraction::ActivatePart(const TkvFilterControlFocus &part)
{
    TkvFilterControlActivation result;
    SetFocus(part);
    if (!(FModel.FFocus == part))
        return result;
    switch (part.Part) {
    case TkvFilterControlPartKind::Button: {
        result.What = TkvFilterControlActivation::Kind::Menu;
        result.MenuItems.push_back(
            {TkvFilterControlMenuCommand::AddCondition, QString::fromUtf8("添加条件")});
        result.MenuItems.push_back({TkvFilterControlMenuCommand::AddGroup, QString::fromUtf8("添加分组")});
        if (part.Row->IsRoot())
            result.MenuItems.push_back({TkvFilterControlMenuCommand::ClearAll, QString::fromUtf8("全部清除"),
                                        FModel.Root().Count() > 0, true});
        else
            result.MenuItems.push_back(
                {TkvFilterControlMenuCommand::DeleteRow, QString::fromUtf8("删除行"), true, true});
        break;
    }
    case TkvFilterControlPartKind::BoolOperator: {
        result.What = TkvFilterControlActivation::Kind::List;
        for (int code = bcAnd; code <= bcNotOr; ++code)
            result.ListEntries.push_back({FilterControlBoolCaption(TkvFilterBoolCode(code)), code});
        result.CurrentEntry = AsGroup(part.Row)->BoolCode();
        break;
    }
    case TkvFilterControlPartKind::Field: {
        result.What = TkvFilterControlActivation::Kind::List;
        const TkvFilterControlConditionRow *condition = AsCondition(part.Row);
        for (int index = 0; FModel.Link() && index < FModel.Link()->ItemCount(); ++index) {
            if (index != condition->ItemIndex && !FModel.Link()->IsItemOffered(index))
                continue;
            if (index == condition->ItemIndex)
                result.CurrentEntry = int(result.ListEntries.size());
            result.ListEntries.push_back({FModel.Link()->ItemCaption(index), index});
        }
        break;
    }
    case TkvFilterControlPartKind::Operator: {
        result.What = TkvFilterControlActivation::Kind::List;
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
    case TkvFilterControlPartKind::Value:
        result.What = TkvFilterControlActivation::Kind::Editor;
        break;
    case TkvFilterControlPartKind::FooterLink: {
        TkvFilterControlRow *last = FModel.Rows().back();
        FModel.AddCondition(*last->OwnGroup());
        break;
    }
    case TkvFilterControlPartKind::AddValue:
        FModel.AddValue(*AsCondition(part.Row));
        break;
    case TkvFilterControlPartKind::None:
        break;
    }
    return result;
}

void TkvFilterControlInteraction::ExecuteMenuCommand(TkvFilterControlRow *row,
                                                     TkvFilterControlMenuCommand command)
{
    if (!row)
        return;
    switch (command) {
    case TkvFilterControlMenuCommand::AddCondition:
        FModel.AddCondition(*row->OwnGroup());
        break;
    case TkvFilterControlMenuCommand::AddGroup:
        FModel.AddGroup(*row->OwnGroup());
        break;
    case TkvFilterControlMenuCommand::ClearAll:
        FModel.ClearRows();
        break;
    case TkvFilterControlMenuCommand::DeleteRow:
        FModel.DeleteRow(row);
        break;
    }
}

void TkvFilterControlInteraction::ChooseListEntry(const TkvFilterControlFocus &part, int code)
{
    if (TkvFilterControlGroupRow *group = AsGroup(part.Row);
        group && part.Part == TkvFilterControlPartKind::BoolOperator) {
        if (code >= bcAnd && code <= bcNotOr) {
            group->SetBoolCode(TkvFilterBoolCode(code));
            FModel.Changed();
        }
        return;
    }
    TkvFilterControlConditionRow *condition = AsCondition(part.Row);
    if (!condition)
        return;
    if (part.Part == TkvFilterControlPartKind::Field && code != condition->ItemIndex && FModel.Link() &&
        FModel.Link()->IsItemOffered(code))
        FModel.SetConditionItem(*condition, code);
    else if (part.Part == TkvFilterControlPartKind::Operator && IsValidFilterDialogOperator(code) &&
             condition->SupportedOperators.Contains(TkvFilterDialogOperator(code)))
        FModel.SetConditionOperator(*condition, TkvFilterDialogOperator(code));
}

} // namespace kestrum
