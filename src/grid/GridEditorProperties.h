#pragma once
// The editor properties objects behind a column's editor kinds: what a
// column lends to the in-place editor of its cells and what formats its
// cells' texts.
#include "grid/GridDefaultEditorItems.h"

#include <memory>

namespace kestrum {

class TkvCustomEditProperties;

//! New properties of the editor class a kind stands for. Kinds without an
//! editor class of their own (time, check box, image, blob, lookup) get the
//! mask edit's; image and blob ones are read-only, as their cells hold no
//! text to edit.
std::unique_ptr<TkvCustomEditProperties> CreateEditorProperties(TkvGridEditorItemKind kind);

//! The kind a properties class name ("TkvCalcEditProperties") or a repository
//! item class name ("TkvEditRepositoryCalcItem") stands for; false for any
//! other name.
bool EditorItemKindByClassName(const QString &className, TkvGridEditorItemKind &kind);

} // namespace kestrum
