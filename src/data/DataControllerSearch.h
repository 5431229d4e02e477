#pragma once
// Finding records: incremental search (focus the next record whose item text
// begins with a prefix, case ignored) and the lookup of a record by values.
#include "core/Variant.h"

#include <QString>

#include <vector>

namespace kestrum {

class TkvCustomDataController;
class TkvCustomDataField;

class TkvDataControllerSearch {
public:
    explicit TkvDataControllerSearch(TkvCustomDataController &controller) : FController(controller) {}
    TkvDataControllerSearch(const TkvDataControllerSearch &) = delete;
    TkvDataControllerSearch &operator=(const TkvDataControllerSearch &) = delete;

    //! Focuses the first record from the focused one on (wrapping) whose item
    //! text begins with the text, and searches on from there.
    bool Locate(int itemIndex, const QString &text);
    //! Focuses the next match after (or before) the focused record, without wrapping.
    bool LocateNext(bool forward);
    //! Ends the search and tells the owner.
    void Cancel();
    //! Ends the search without telling anyone; true when one was running.
    bool EndQuietly();
    bool IsSearching() const { return FItemIndex >= 0; }
    int ItemIndex() const { return FItemIndex; }
    const QString &Text() const { return FText; }

    //! A field goes away: a search on it ends.
    void FieldRemoving(const TkvCustomDataField *field);

    //! The first record whose fields all equal the values (compared as the
    //! controller sorts them), or -1.
    int FindRecordIndexByValues(const std::vector<TkvCustomDataField *> &fields,
                                const std::vector<Variant> &values);

private:
    bool Matches(int recordIndex, int itemIndex, const QString &upperText) const;
    //! Focuses the match first (that ends the running search), then starts
    //! the search there.
    bool FocusMatch(int recordIndex, int itemIndex, const QString &text);
    bool Started(int itemIndex, const QString &text);
    //! Whether sorting compares the field by display text (so must finding).
    bool ComparesByDisplayText(const TkvCustomDataField *field) const;
    int CompareWithProbe(const TkvCustomDataField *field, int recordIndex, int probe) const;

    TkvCustomDataController &FController;
    int FItemIndex = -1;
    QString FText;
};

} // namespace kestrum
