#pragma once
// What Locate and Lookup look for: key fields of a record set and the value
// each must hold. Text fields compare as text (case and a partial key as the
// options say); other fields compare after the wanted value is converted to
// the field's type, so "12" finds the number 12; an empty value finds Null.
#include "core/Variant.h"
#include "db/DbTypes.h"

#include <QString>

#include <optional>
#include <vector>

namespace kestrum {

class TDbField;
class TDbQuery;
class TDbRowStore;

class TDbKeyMatch {
public:
    //! The values to find, one per key field: a single value for one field,
    //! an array's elements for several; empty when they do not fit.
    static std::vector<Variant> KeyValues(const Variant &keyValues, std::size_t fieldCount);
    //! The match for the data set's fields named in keyFields (";" between
    //! names); nothing when a name is unknown or no data field, or the values
    //! do not fit the names.
    static std::optional<TDbKeyMatch> Make(const TDbQuery &dataSet, const QString &keyFields,
                                           const Variant &keyValues, TLocateOptions options);

    //! Whether a stored row holds every key value.
    bool Matches(const TDbRowStore &store, int slot) const;

private:
    struct Key {
        const TDbField *field;
        Variant wanted;
        Variant converted; //!< wanted in the field's type (non-text fields)
        bool convertible;  //!< false: no value of the field can equal it
    };
    std::vector<Key> FKeys;
    TLocateOptions FOptions = 0;
};

} // namespace kestrum
