#pragma once
// The filter builder without its widget: the row tree, the focused part, what
// a key or a click on a part does, the commands of the row menus and lists,
// and the two directions between the rows and a criteria. The widget paints
// what this holds and turns Qt events into these calls.
#include "data/ValueTypes.h"
#include "filterdialogs/FilterControlCriteria.h"
#include "filterdialogs/FilterControlRows.h"
#include "filterdialogs/FilterFile.h"

#include <Qt>

#include <functional>
#include <memory>
#include <vector>

namespace kestrum {

class TkvFilterLink;

//! The parts of a row that can hold the focus, in the order Tab visits them.
enum class TkvFilterControlPartKind : std::uint8_t {
    None = 0,
    Button = 1,   //!< "搜索" on the root, "..." on other rows
    BoolOperator, //!< a group's bool word
    Field,        //!< a condition's item
    Operator,     //!< a condition's operator
    Value,        //!< one value of a condition (with its index)
    FooterLink,   //!< "点击按钮添加新条件" below the last row
    AddValue,     //!< the add-value part of an in-list condition
};

struct TkvFilterControlFocus {
    TkvFilterControlRow *Row = nullptr; //!< none for the footer link
    TkvFilterControlPartKind Part = TkvFilterControlPartKind::None;
    int ValueIndex = -1; //!< for TkvFilterControlPartKind::Value
    friend bool operator==(const TkvFilterControlFocus &, const TkvFilterControlFocus &) = default;
};

//! What a key does in the control.
enum class TkvFilterControlKeyAction {
    None,
    NextPart,
    PriorPart,
    LeaveControl, //!< the key moves the focus out of the control (Ctrl+Tab)
    PartRight,
    PartLeft,
    RowUp,
    RowDown,
    Activate,        //!< Enter, Space: as a click on the part
    InsertCondition, //!< Insert
    DeleteFocused,   //!< Ctrl+Delete
};

//! The entries of a row button's menu.
enum class TkvFilterControlMenuCommand : std::uint8_t { AddCondition, AddGroup, ClearAll, DeleteRow };

struct TkvFilterControlMenuItem {
    TkvFilterControlMenuCommand Command;
    QString Caption;
    bool Visible = true;
    bool SeparatorBefore = false;
};

//! One entry of a part's drop-down list; Code is the bool code, item index
//! or dialog operator the entry stands for.
struct TkvFilterControlListEntry {
    QString Caption;
    int Code = 0;
};

//! What activating a part asks the widget to show.
struct TkvFilterControlActivation {
    enum class Kind { None, Menu, List, Editor } What = Kind::None;
    std::vector<TkvFilterControlMenuItem> MenuItems;
    std::vector<TkvFilterControlListEntry> ListEntries;
    int CurrentEntry = -1;
};

class TkvFilterControlModel {
public:
    explicit TkvFilterControlModel(TkvFilterLink *link = nullptr);
    ~TkvFilterControlModel();

    TkvFilterLink *Link() const { return FLink; }
    //! Replaces the link; the rows are rebuilt from its criteria when it has one.
    void SetLink(TkvFilterLink *link);
    TkvFilterControlCriteria &Criteria() { return *FCriteria; }

    const QString &NullString() const { return FNullString; }
    void SetNullString(const QString &value) { FNullString = value; }
    bool WantTabs() const { return FWantTabs; }
    void SetWantTabs(bool value) { FWantTabs = value; }
    //! Operators never offered, whatever the item's editor supports (the
    //! navigator's record-set filter cannot take all of them).
    TkvFilterDialogOperators DisabledOperators() const { return FDisabledOperators; }
    void SetDisabledOperators(TkvFilterDialogOperators value) { FDisabledOperators = value; }

    //! Fired by ApplyFilter after the tree went into the link's criteria.
    std::function<void()> OnApplyFilter;
    //! Posts a value being edited (the widget's editor); may raise "错误值".
    std::function<void()> OnPostEdit;
    //! The rows or the focus changed.
    std::function<void()> OnChanged;

    // ---- rows ----
    TkvFilterControlGroupRow &Root() { return *FRoot; }
    //! Every row in display order (the root first, then depth first).
    std::vector<TkvFilterControlRow *> Rows() const;
    //! Rows as one line each, indented by level ("与 <根>", "  进帐项 类似 '工%'"), for tests and
    //! diagnostics.
    QString RowsText() const;
    //! Frees every row; the root's bool code becomes and.
    void ClearRows();
    //! A new condition at the end of the group, on the link's first item.
    TkvFilterControlConditionRow *AddCondition(TkvFilterControlGroupRow &group);
    //! A new group at the end of the group, holding one new condition.
    TkvFilterControlGroupRow *AddGroup(TkvFilterControlGroupRow &group);
    //! Removes a row (not the root); a group left without rows goes too, up to the root.
    void DeleteRow(TkvFilterControlRow *row);

    // ---- a condition's parts ----
    //! Sets the item: new supported operators, one empty value (two for a
    //! range), and "类似" for a string item that offers it, else the lowest operator.
    void SetConditionItem(TkvFilterControlConditionRow &condition, int itemIndex);
    //! Sets the operator and adjusts the number of values to it.
    void SetConditionOperator(TkvFilterControlConditionRow &condition, TkvFilterDialogOperator op);
    //! Stores an entered value after the check of the item's type; raises
    //! EkvFilterControlValueError ("错误值") for one the item cannot hold.
    void PostValue(TkvFilterControlConditionRow &condition, int valueIndex, const Variant &value,
                   const QString &displayText);
    //! The text a value part shows (NullString for a Null value).
    QString ValueText(const TkvFilterControlConditionRow &condition, int valueIndex) const;
    QString FieldText(const TkvFilterControlConditionRow &condition) const;
    //! Appends an empty value to an in-list condition and focuses it.
    void AddValue(TkvFilterControlConditionRow &condition);

    // ---- criteria ----
    //! Rebuilds the rows from a criteria whose conditions carry the link's
    //! item links; raises EkvFilterControlError when the link has no items
    //! or a condition's item is not among them (the rows stay as they were).
    void BuildRowsFromCriteria(const TkvFilterCriteria &criteria);
    //! Posts a pending edit, then fills the control's criteria from the rows.
    //! False (and nothing built) when a condition has no item.
    bool BuildCriteria();
    //! Copies the built tree into the link's criteria, fires OnApplyFilter
    //! and rebuilds the rows from the link's criteria (also when that raised).
    void ApplyFilter();
    //! The caption and the expression of the edited tree (empty for an empty tree).
    QString FilterCaption();
    QString FilterText();
    //! The edited tree as a criteria stream.
    std::string WriteTreeStream();
    //! Reads a criteria stream into the rows; raises the stream's read error or
    //! EkvFilterControlError and leaves the rows as they were.
    void ReadTreeStream(const std::string &bytes);
    //! Raises EkvFilterControlValueError ("错误值") when a condition of the
    //! criteria holds a value its item cannot hold, by the check a typed
    //! value gets.
    void CheckValues(const TkvFilterCriteria &criteria) const;
    //! Loads a ".flt" file into the rows; on failure the rows stay as they were.
    TkvFilterFileResult OpenFilterFile(const QString &fileName);
    //! Saves the edited tree to a ".flt" file; a value that does not fit its
    //! item raises "错误值" before anything is written.
    TkvFilterFileResult SaveFilterFile(const QString &fileName);

    // ---- focus and interaction ----
    const TkvFilterControlFocus &Focus() const { return FFocus; }
    void SetFocus(const TkvFilterControlFocus &focus);
    //! The parts of a row in Tab order (the footer link is not a row part).
    std::vector<TkvFilterControlFocus> RowParts(TkvFilterControlRow *row) const;
    //! Every part in Tab order, the footer link last.
    std::vector<TkvFilterControlFocus> AllParts() const;
    TkvFilterControlKeyAction KeyAction(int key, Qt::KeyboardModifiers modifiers) const;
    //! Runs a key action; false when the key is not the control's (focus leaves).
    bool DoKeyAction(TkvFilterControlKeyAction action, TkvFilterControlActivation *activation = nullptr);
    //! A click on a part, or Enter / Space on the focused one: focuses it and
    //! says what to show. The footer link and the add-value part act at once.
    TkvFilterControlActivation ActivatePart(const TkvFilterControlFocus &part);
    void ExecuteMenuCommand(TkvFilterControlRow *row, TkvFilterControlMenuCommand command);
    //! A choice in the list of a bool, field or operator part.
    void ChooseListEntry(const TkvFilterControlFocus &part, int code);

private:
    // Moves the focus and reports the change the way the row edits do.
    friend class TkvFilterControlInteraction;

    void BuildRows(const TkvFilterCriteriaItemList &list, TkvFilterControlGroupRow &group);
    void BuildList(TkvFilterCriteriaItemList *list, const TkvFilterControlGroupRow &group);
    bool IsComplete(const TkvFilterControlGroupRow &group) const;
    void AddLeaf(TkvFilterCriteriaItemList *list, const TkvFilterControlConditionRow &condition);
    //! The link's criteria (settings and tree) into the control's own.
    void TakeLinkCriteria();
    void Changed();

    TkvFilterLink *FLink = nullptr;
    std::unique_ptr<TkvFilterControlCriteria> FCriteria;
    std::unique_ptr<TkvFilterControlGroupRow> FRoot = std::make_unique<TkvFilterControlGroupRow>(nullptr);
    TkvFilterControlFocus FFocus;
    QString FNullString = QString::fromUtf8("<空>");
    bool FWantTabs = false;
    TkvFilterDialogOperators FDisabledOperators;
};

} // namespace kestrum
