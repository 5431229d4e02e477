#pragma once
// The editor a column uses when it names none: chosen from the type of the
// record-set field behind it. Mask edit for text and numbers, currency edit
// for money, date edit for dates, memo for memos; a missing field and every
// type without an entry fall back to the mask edit.
#include "grid/GridRowSource.h"

#include <QString>

namespace kestrum {

enum class TkvGridEditorItemKind : std::uint8_t {
    Mask,
    Currency,
    Date,
    Time,
    Memo,
    CheckBox,
    Image,
    Blob,
    LookupComboBox,
    Calc, //!< the calculator edit (not a default of any field type)
    Text, //!< the plain text edit (not a default of any field type)
};

//! The class name of the editor repository item of a kind ("TkvEditRepositoryMaskItem", ...).
QString EditRepositoryItemClassName(TkvGridEditorItemKind kind);
//! The kind behind a repository item class name; false when the name is none of them.
bool EditRepositoryItemKindByClassName(const QString &className, TkvGridEditorItemKind &kind);

//! The default editor for a field; a field that does not exist gets the mask edit.
TkvGridEditorItemKind DefaultEditorItemForField(const TkvGridFieldInfo &field);

//! What an editor kind supports, as far as the grid's capability rules ask.
struct TkvGridEditorSupport {
    bool Sorting = true;
    bool Filtering = true;
    bool IncSearch = true;
    bool AutoHeight = false;
    int ButtonsWidth = 0; //!< extra width its buttons take in a cell
};
TkvGridEditorSupport EditorSupport(TkvGridEditorItemKind kind);
//! The width of one edit button drawn in a cell.
inline constexpr int EditButtonWidth = 17;

} // namespace kestrum
