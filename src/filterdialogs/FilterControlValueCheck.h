#pragma once
// Whether values fit the items of a filter link: the check a value typed into
// the builder gets, also applied to the conditions of a criteria read from a
// stream or a file.
#include "core/Variant.h"
#include "data/ValueTypes.h"
#include "filter/FilterCriteriaTree.h"

namespace kestrum {

class TkvFilterLink;

class TkvFilterControlValueCheck {
public:
    explicit TkvFilterControlValueCheck(const TkvFilterLink *link) : FLink(link) {}

    //! Whether a value fits the item (Null always does, anything does for like).
    static bool FitsItem(const Variant &value, TkvValueTypeClass valueType, bool like);
    //! A text typed for a number or date item, as the item's own kind, so that
    //! ranges order and compare as numbers and dates rather than as text.
    static Variant AsItemKind(const Variant &value, TkvValueTypeClass valueType);
    //! A string value with no characters (without decoding its bytes).
    static bool IsEmptyString(const Variant &value);
    //! Raises EkvFilterControlValueError ("错误值") when a condition of the
    //! criteria holds a value its item cannot hold; conditions on items the
    //! link does not have are not checked.
    void CheckValues(const TkvFilterCriteria &criteria) const;

private:
    void CheckList(const TkvFilterCriteriaItemList &list) const;

    const TkvFilterLink *FLink;
};

} // namespace kestrum
