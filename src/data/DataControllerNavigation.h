#pragma once
// Moving the focus over the rows: to a row or a record, to the first or last
// row, by a distance. In grid mode the record set moves instead (only a window
// of its rows is held), and leaving the new-item row ends its entry first.
namespace kestrum {

class TkvCustomDataController;
class TkvCustomDataProvider;

class TkvDataControllerNavigation {
public:
    explicit TkvDataControllerNavigation(TkvCustomDataController &controller) : FController(controller) {}
    TkvDataControllerNavigation(const TkvDataControllerNavigation &) = delete;
    TkvDataControllerNavigation &operator=(const TkvDataControllerNavigation &) = delete;

    //! Focuses the row (clamped to the rows; -1 none); false when refused.
    bool ChangeFocusedRowIndex(int rowIndex);
    //! Focuses the record's row, expanding its groups; false when it has none.
    bool ChangeFocusedRecordIndex(int recordIndex);
    void GotoFirst();
    void GotoLast();
    //! Moves the focus by rows; from no row it starts at the first row.
    void ShiftCursor(int distance);
    bool IsBOF() const;
    bool IsEOF() const;

private:
    TkvCustomDataProvider &Provider() const;

    TkvCustomDataController &FController;
};

} // namespace kestrum
