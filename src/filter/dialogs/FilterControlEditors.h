#pragma once
// What the filter builder needs of an item's editor kind: the operators it
// offers for it, and a value editor made from the item's editor properties.
#include "data/ValueTypes.h"
#include "filter/dialogs/FilterDialogOperators.h"

#include <memory>

class QWidget;

namespace kestrum {

class TkvCustomEdit;
class TkvCustomEditProperties;

//! The builder's operators for an editor kind: the dialog's set plus the
//! range and list operators (and the date operators for the date edit);
//! like and not like only for string values.
TkvFilterDialogOperators FilterControlSupportedOperators(const TkvCustomEditProperties *properties,
                                                         TkvValueTypeClass valueType);

//! A value editor of the item's editor kind, with settings suited to
//! entering a filter value (no buttons, not read-only, validation on Enter,
//! invalid dates becoming Null). Never null: kinds without an editor of their
//! own get a text editor.
std::unique_ptr<TkvCustomEdit> CreateFilterControlValueEditor(const TkvCustomEditProperties *properties,
                                                              QWidget *parent);

} // namespace kestrum
