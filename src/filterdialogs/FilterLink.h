#pragma once
// What a component must offer for its filter to be edited in the filter
// dialogs: its filterable items by index, and the criteria they feed. The
// grid's table view offers its columns, the navigator its record set's fields.
#include "data/ValueTypes.h"
#include "filter/FilterCriteriaItems.h"

#include <QString>

namespace kestrum {

class TkvCustomEditProperties;
class TkvFilterCriteria;

class TkvFilterLink {
public:
    virtual ~TkvFilterLink() = default;

    virtual int ItemCount() const = 0;
    virtual QString ItemCaption(int index) const = 0;
    virtual QString ItemFieldName(int index) const = 0;
    //! The properties that decide the value editor; never null for a valid index.
    virtual TkvCustomEditProperties *ItemProperties(int index) const = 0;
    virtual TkvValueTypeClass ItemValueTypeClass(int index) const = 0;
    virtual int ItemID(int index) const = 0;
    //! The criteria's handle for the item (what its conditions carry as their link).
    virtual TkvFilterItemLink ItemLink(int index) const = 0;
    virtual TkvFilterCriteria &Criteria() = 0;

    //! Whether a condition may be set to the item: the builder's field list
    //! offers only these (a condition already on another item keeps it).
    virtual bool IsItemOffered(int index) const { return index >= 0 && index < ItemCount(); }
    //! The item the user works on (a grid's focused column), or -1.
    virtual int CurrentItem() const { return -1; }
    //! The item a new condition starts on: the current item when it is
    //! offered, else the first item offered; -1 when none is.
    int NewConditionItem() const;

    //! The item whose link is `itemLink`, or -1.
    int IndexOfItemLink(TkvFilterItemLink itemLink) const;
    //! The item whose ID is `id`, or -1.
    int IndexOfID(int id) const;
};

} // namespace kestrum
