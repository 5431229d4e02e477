#pragma once
// The byte form of a stored view layout: a signature, per column its
// component name and its stored properties (name and variant, in the
// variant stream encoding), then the view's criteria stream when it has
// one. Reading checks every length and count and raises EReadError
// ("Stream read error") for anything malformed; it knows no view.
#include "core/Variant.h"

#include <QString>

#include <string>
#include <vector>

namespace kestrum {

//! One stored property: its name and its value.
struct TkvGridStoredProperty {
    QString Name;
    Variant Value;
};

//! A layout as read from bytes, before it is applied.
struct TkvGridStoredLayout {
    struct Item {
        QString Name; //!< the column's component name
        std::vector<TkvGridStoredProperty> Properties;
    };
    std::vector<Item> Items;
    bool HasCriteria = false;
    std::string Criteria; //!< the criteria stream
};

TkvGridStoredLayout ParseGridLayout(const std::string &bytes);
//! EWriteError for a layout too large for its counts.
std::string WriteGridLayout(const TkvGridStoredLayout &layout);

} // namespace kestrum
