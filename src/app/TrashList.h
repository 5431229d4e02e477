#pragma once
// What the trash dialog shows and does, without widgets: the rows of the
// trash (read a page at a time, so a trash of a million deleted entries opens
// as fast as one of ten), their texts in the regional formats, which buttons
// are enabled, and the restore and empty actions with the steps the window
// hooks in around them (settling an entry being edited, reloading pages).
#include "ledger/Trash.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <vector>

namespace kestrum {

//! The columns of the trash list, in the order the dialog shows them.
enum class TTrashColumn { Kind, Date, Amount, Item, Remark, DeletedAt };
inline constexpr int TrashColumnCount = int(TTrashColumn::DeletedAt) + 1;

class TTrashList {
public:
    //! Rows read from the database at a time.
    static constexpr int PageSize = 256;

    //! db: the ledger's connection, used while the list lives; not owned.
    explicit TTrashList(TDbDriver &db);

    //! Reads the trash again; the selection is cleared.
    void Reload();
    int RowCount() const { return int(FIds.size()); }
    static QString ColumnCaption(TTrashColumn column);
    //! The text of a cell: kind "进帐" or "消费", dates and amounts in the
    //! regional formats, a remark on one line. An entry that left the trash
    //! since the last reload shows empty cells.
    QString Text(int row, TTrashColumn column);
    //! The entry of a row (nullptr when it left the trash since the reload).
    const TTrashEntry *Entry(int row);
    std::int64_t TrashId(int row) const { return FIds.at(std::size_t(row)); }

    //! Rows selected in the view (any order, duplicates ignored).
    void SetSelectedRows(const std::vector<int> &rows);
    int SelectedCount() const { return int(FSelected.size()); }

    bool CanRestoreSelected() const { return !FSelected.empty(); }
    bool CanRestoreAll() const { return !FIds.empty(); }
    bool CanEmpty() const { return !FIds.empty(); }

    //! Runs before a restore; answering false leaves everything as it is
    //! (an entry being edited that the user chose to keep editing).
    std::function<bool()> BeforeRestore;
    //! Runs after a restore that committed, once the list has reloaded.
    std::function<void(const TTrashRestoreResult &)> AfterRestore;
    //! Told when the database work of a restore or an empty starts (true)
    //! and ends (false), so that a view can show it is busy.
    std::function<void(bool busy)> Busy;
    //! Passed to every restore (a journal records it as one action).
    TTrashRestoreHook RestoreHook;

    //! Restores the selected rows or every row; nothing when BeforeRestore
    //! declines. Raises what the restore raises; the list reloads either way.
    std::optional<TTrashRestoreResult> RestoreSelected();
    std::optional<TTrashRestoreResult> RestoreAll();
    //! Empties the trash (the caller has asked the user); returns how many went.
    std::int64_t Empty();

    //! What a finished restore tells the user beyond the rows that went back
    //! (entries that were back already or left the trash meanwhile); empty
    //! when there is nothing to tell.
    static QString RestoreReport(const TTrashRestoreResult &result);
    static QString EmptyQuestion();

private:
    std::optional<TTrashRestoreResult> Restore(const std::vector<std::int64_t> *trashIds);
    const std::vector<TTrashEntry> &Page(int page);
    //! Runs work between the two Busy calls; reloads the list after it,
    //! whether it succeeded or raised.
    template <typename TWork> auto Busily(TWork work);

    TDbDriver &FDb;
    std::vector<std::int64_t> FIds; //!< newest deletion first
    std::vector<int> FSelected;     //!< sorted row indexes
    std::map<int, std::vector<TTrashEntry>> FPages;
    std::vector<int> FPageOrder; //!< pages by last use, oldest first
};

} // namespace kestrum
