#pragma once
// The criteria the filter builder edits: its conditions carry the link's
// item links, and item IDs, captions and field names come from the link.
#include "core/Errors.h"
#include "filter/FilterCriteriaTree.h"

namespace kestrum {

class TkvFilterLink;

//! The builder cannot show a criteria: the link has no items, or a condition
//! names an item the link does not have.
class EkvFilterControlError : public Exception {
public:
    explicit EkvFilterControlError(const std::string &message = "Can't build filter from source")
        : Exception(message)
    {
    }
};

//! A value the condition's item cannot hold.
class EkvFilterControlValueError : public Exception {
public:
    EkvFilterControlValueError() : Exception("错误值") {}
};

class TkvFilterControlCriteria : public TkvFilterCriteria {
public:
    explicit TkvFilterControlCriteria(TkvFilterLink *link) : FLink(link) {}
    TkvFilterLink *Link() const { return FLink; }
    //! Whether every condition of the tree names one of the link's items.
    bool AllItemsResolved() const;

    int ItemIDByItemLink(TkvFilterItemLink itemLink) const override;
    TkvFilterItemLink ItemLinkByID(int id) const override;
    QString ItemCaption(TkvFilterItemLink itemLink) const override;
    QString ItemFieldName(TkvFilterItemLink itemLink) const override;

private:
    TkvFilterLink *FLink;
};

} // namespace kestrum
