#pragma once
// A table view's layout stored by property name: per column the published
// properties whose values differ from their defaults ("Index", "Visible",
// "Caption", "IsCaptionAssigned", "SortOrder", "SortIndex", "GroupIndex",
// "Width", "FieldName"), and the view's raw-byte "Criteria", which is
// always stored. Restoring reads the whole layout first and changes the
// view only when all of it is sound; a bad layout raises EReadError
// ("Stream read error") and leaves the view as it was.
#include "grid/GridLayoutStream.h"

#include <string>
#include <vector>

namespace kestrum {

class TkvGridTableView;

class TkvGridViewLayoutStorage {
public:
    //! The view's layout as bytes.
    static std::string Store(TkvGridTableView &view);
    //! Applies stored bytes to the view; EReadError for bytes that are not a layout of this view.
    static void Restore(TkvGridTableView &view, const std::string &bytes);

    //! The properties of a column that differ from their defaults, by name.
    static std::vector<TkvGridStoredProperty> StoredProperties(TkvGridTableView &view, int itemIndex);
};

} // namespace kestrum
