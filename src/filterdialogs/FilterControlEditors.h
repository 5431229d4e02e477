#pragma once
// What the filter builder takes from an item's filter edit helper: the
// operators it offers for the item, and the value editor of a condition.
#include "data/ValueTypes.h"
#include "filterdialogs/FilterDialogOperators.h"

namespace kestrum {

class TkvCustomEditProperties;
class TkvCustomFilterEditHelper;

//! The helper registered for the item's editor kind; kinds without one (and
//! items without properties) use the text edit's helper.
const TkvCustomFilterEditHelper &FilterControlEditHelper(const TkvCustomEditProperties *properties);

//! The properties the value editor copies: the item's, or plain text-edit
//! properties for an item without any.
const TkvCustomEditProperties &FilterControlEditProperties(const TkvCustomEditProperties *properties);

//! The builder's operators for an item: its helper's larger set (ranges,
//! lists and, for dates, the periods); like and not like only for strings.
TkvFilterDialogOperators FilterControlSupportedOperators(const TkvCustomEditProperties *properties,
                                                         TkvValueTypeClass valueType);

} // namespace kestrum
