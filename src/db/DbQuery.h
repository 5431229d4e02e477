#pragma once
// A query record set: one SQL statement whose whole result is loaded on the
// client when it opens (a static cursor). It moves over the loaded rows,
// edits one row at a time and writes a posted or deleted row through to its
// table by the table's key, inside a transaction, refusing to overwrite a row
// that another process changed since it was read (optimistic locking).
// Every change reaches the attached data sources' data links.
//
// The record set is the face of the parts it holds: the statement
// (TDbQueryStatement), its fields (TDbFieldList), the loaded rows and their
// visible order (TDbRowOrder), the cursor over them (TDbCursor), the pending
// record (TDbEditBuffer), the writer to the base table (TDbRowWriter), the
// filter (TDbRowFilter), key matching (TDbKeyMatch) and its listeners
// (TDbDataSourceList). It keeps them in step and tells the listeners.
#include "core/Variant.h"
#include "db/Bookmark.h"
#include "db/DataSourceList.h"
#include "db/DbCursor.h"
#include "db/DbField.h"
#include "db/DbParameters.h"
#include "db/DbTypes.h"
#include "db/EditBuffer.h"
#include "db/FieldList.h"
#include "db/QueryStatement.h"
#include "db/RowCells.h"
#include "db/RowFilter.h"
#include "db/RowOrder.h"
#include "db/RowWriter.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

namespace kestrum {

class TDbConnection;
class TDbDataSource;
class TDbRowReader;
class TDbRowSink;
struct TDbColumnInfo;

class TDbQuery {
public:
    using TDataSetNotifyEvent = std::function<void(TDbQuery *dataSet)>;

    TDbQuery();
    ~TDbQuery(); // closes (dropping a pending record) and detaches everything
    TDbQuery(const TDbQuery &) = delete;
    TDbQuery &operator=(const TDbQuery &) = delete;

    // Settings.
    TDbConnection *Connection() const { return FConnection; }
    void SetConnection(TDbConnection *connection); //!< closes the record set first
    TCursorType CursorType() const { return FCursorType; }
    void SetCursorType(TCursorType type) { FCursorType = type; }
    TCursorLocation CursorLocation() const { return FCursorLocation; }
    void SetCursorLocation(TCursorLocation location) { FCursorLocation = location; }
    TLockType LockType() const { return FLockType; }
    void SetLockType(TLockType type) { FLockType = type; }
    //! A name for messages and diagnostics ("ADOQuery1").
    const QString &Name() const { return FName; }
    void SetName(const QString &name) { FName = name; }

    // Statement: a list of lines. Changing it closes an open record set and
    // re-parses the ":name" parameters (keeping the values of names that stay).
    const QStringList &SQL() const { return FStatement.Lines(); }
    void SetSQL(const QStringList &lines);
    void ClearSQL() { SetSQL({}); }
    void AddSQL(const QString &line);
    QString SQLText() const { return FStatement.Text(); }
    TDbParameters &Parameters() { return FStatement.Parameters(); }
    TDbParameter *ParamByName(const QString &name) const { return FStatement.Parameters().ParamByName(name); }

    // Open and close. Open opens the connection when needed, runs the
    // statement, loads every row and makes the first row current; on failure
    // it raises EDatabaseError and stays closed. Close drops a pending record.
    // When a data link that keeps every value itself takes the rows as they
    // are read (TDbRowSink) and the rows can be found again by the table's
    // key, the record set keeps only each row's key and a hash of it, and
    // reads a row's other values back by key when it needs them.
    void Open();
    void Close();
    //! Runs the statement with its parameters as Open would, but keeps no
    //! rows: each is handed to onRow as it is read. For totals over a large
    //! table; the record set's own state is not touched. Raises what Open
    //! raises, and what onRow raises.
    void Scan(const std::function<void(const TDbRowReader &row)> &onRow) const;
    bool Active() const { return FState != dsInactive; }
    //! Whether the record set keeps only its rows' keys (see Open).
    bool KeepsKeysOnly() const { return FRows.Loaded() && FRows.Store().KeysOnly(); }
    //! Hands every visible row with all its values to onRow, with its visible
    //! position, without moving. Rows kept by key are read again in one run
    //! of the statement (a row it no longer selects is read by its key, one
    //! the table no longer has gives its key alone), in no fixed order.
    void ReadVisibleRows(const std::function<void(int position, const TDbRowReader &row)> &onRow) const;
    void SetActive(bool active);
    TDataSetState State() const { return FState; }

    // Fields (valid while open; a reopen makes new field objects).
    int FieldCount() const { return FFields.Count(); }
    TDbField *Fields(int index) const { return FFields.At(index); }
    //! Ignores case; raises EDatabaseError "Field 'x' not found" when missing.
    TDbField *FieldByName(const QString &name) const;
    //! Ignores case; nullptr when missing.
    TDbField *FindField(const QString &name) const;
    //! Values of several fields, names separated by ";": one name gives its
    //! value, several give an array.
    Variant FieldValues(const QString &names) const;
    QStringList FieldNames() const;
    //! Declares a lookup field; it exists from the next open on. Lookup fields
    //! are found by name but stand outside Fields() (they have no column).
    void AddLookupField(const TDbLookupFieldDef &def);
    void ClearLookupFields();
    int LookupFieldCount() const { return FFields.LookupCount(); }
    TDbField *LookupFields(int index) const { return FFields.LookupAt(index); }
    //! The result field's value of the first row whose key fields equal the
    //! values, without moving; Null when no row matches.
    Variant Lookup(const QString &keyFields, const Variant &keyValues, const QString &resultField) const;

    // Position. RecNo is 1-based (0 when empty); moves first leave a
    // pending edit through CheckBrowseMode.
    void First();
    void Last();
    void Next();
    void Prior();
    int MoveBy(int distance); //!< returns the distance actually moved
    bool Bof() const { return FCursor.Bof(); }
    bool Eof() const { return FCursor.Eof(); }
    bool IsEmpty() const { return RecordCount() == 0; }
    int RecordCount() const; //!< visible rows, counting a pending insert
    int RecNo() const;
    void SetRecNo(int recNo);
    //! Finds the first row whose fields (names separated by ";") equal the
    //! values (an array for several names) and makes it current.
    bool Locate(const QString &keyFields, const Variant &keyValues, TLocateOptions options = 0);
    //! The visible position (as RecNo - 1 counts, a pending insert included)
    //! that field values are read from; -1 reads the current row. A data link
    //! that shows several rows reads each of them this way without moving.
    int ReadPosition() const { return FReadPosition; }
    //! The visible position of the first row whose fields equal the values
    //! (as Locate finds it), without moving; -1 when none or a name is unknown.
    int FindRowPosition(const QString &keyFields, const Variant &keyValues, TLocateOptions options = 0) const
    {
        return Active() ? FindPosition(keyFields, keyValues, options) : -1;
    }
    void SetReadPosition(int position) { FReadPosition = position; }

    // Bookmarks.
    bool BookmarkAvailable() const { return Active() && !IsEmpty(); }
    TBookmark GetBookmark() const; //!< null when there is no current stored row
    //! The bookmark of the stored row at a visible position (null when none).
    TBookmark BookmarkAt(int position) const;
    void GotoBookmark(const TBookmark &bookmark); //!< raises when not valid
    bool BookmarkValid(const TBookmark &bookmark) const;
    //! -1, 0, 1 by the rows' order; a null bookmark sorts first.
    int CompareBookmarks(const TBookmark &a, const TBookmark &b) const;
    void FreeBookmark(TBookmark &bookmark) const { bookmark = TBookmark(); }

    // Editing.
    void Edit();   //!< on an empty record set this inserts, as users expect
    void Insert(); //!< a new record before the current row
    void Append(); //!< a new record after the last row
    void Post();   //!< writes through; raises and keeps the state on failure
    void Cancel(); //!< drops the pending changes
    void Delete(); //!< deletes the current row (cancels a pending insert)
    //! Runs the statement again, keeping the current row by bookmark.
    void Refresh();
    //! Whether the statement, run again now, would still select the current
    //! row. It asks for that one row by the table's key, so the answer costs
    //! a lookup, not a re-run. False when the statement cannot be asked that
    //! way; raises EDatabaseError when the database fails to answer.
    bool StatementSelectsCurrentRow() const;
    bool Modified() const { return FEdit.Modified(); }
    //! The result is one table's rows with its key, and the statement's
    //! tables are writable.
    bool CanModify() const;
    //! Posts (when modified) or cancels a pending record.
    void CheckBrowseMode();
    //! Asks every data link to write pending values (before a post).
    void UpdateRecord();

    // Filtering: a filter expression over the field names
    // ("[本次进帐] > 100 and [进帐人] = '工资'"), applied when Filtered.
    const QString &Filter() const { return FFilter.Text(); }
    void SetFilter(const QString &filter);
    bool Filtered() const { return FFilter.Enabled(); }
    void SetFiltered(bool filtered);
    TFilterOptions FilterOptions() const { return FFilter.Options(); }
    void SetFilterOptions(TFilterOptions options);

    // Notifications.
    void DisableControls();
    void EnableControls();
    bool ControlsDisabled() const { return FSources.Disabled(); }

    // Events.
    TDataSetNotifyEvent AfterOpen, BeforeClose, AfterClose, AfterPost, AfterCancel, AfterDelete, AfterScroll;

    // Used by fields, data sources and data links.
    Variant CurrentValue(int fieldIndex) const; // edit buffer or stored row
    void SetCurrentValue(TDbField *field, Variant value);
    void DataEvent(TDataEvent event, std::intptr_t info);
    void AttachDataSource(TDbDataSource *source);
    void DetachDataSource(TDbDataSource *source);
    const std::vector<TDbDataSource *> &DataSources() const { return FSources.Sources(); }
    //! Absolute position of the current row in the visible order (-1: none).
    int CurrentPosition() const { return FState == dsInsert ? FEdit.InsertPosition() : FCursor.Position(); }
    std::uint64_t Identity() const { return FIdentity; }
    void ConnectionClosing(); // the connection closes under this record set

private:
    using TRowCells = TDbRowCells::TCells;
    TRowCells CellsOf(int slot) const { return FCells.Of(FConnection, slot); }
    TRowCells CellsToWrite(int slot, const char *action) const
    {
        return FCells.ToWrite(*FConnection, slot, action);
    }
    //! Whether rows of this result may be kept by key only: one table's
    //! rows with its key, every column with a declared type, no filter.
    bool KeysOnlyFits(const std::vector<TDbColumnInfo> &columns) const;
    //! The data links that take the rows as they are read.
    std::vector<TDbRowSink *> BeginRowSinks();
    void CheckActive() const;
    //! The value of a field at a visible position (see SetReadPosition).
    Variant ValueAtPosition(int position, int fieldIndex) const;
    //! The visible position of the first row matching the values, for Locate and Lookup.
    int FindPosition(const QString &keyFields, const Variant &keyValues, TLocateOptions options) const;
    void CheckEditMode() const;
    void CheckCanModify() const;
    void SetState(TDataSetState state);
    void OpenCursor();
    void CloseCursor();
    //! Moves the cursor, telling listeners when the row changed.
    void ScrollTo(const TDbCursor &cursor);
    void BeginInsertAppend(bool append);
    void WriteInsert();
    void WriteUpdate();
    //! DataSetChange telling listeners exactly which row changed.
    void NotifyRowChange(TDbRowChange::TKind kind, int position);
    //! Shows the rows the filter keeps.
    void ApplyFilter();
    //! After the filter changed: the rows it keeps, the first current.
    void Refilter();
    int VisibleCount() const { return FRows.VisibleCount(); }
    int SlotAt(int position) const { return FRows.SlotAt(position); }
    QString ContextName() const;

    TDbConnection *FConnection = nullptr;
    QString FName;
    TCursorType FCursorType = ctStatic;
    TCursorLocation FCursorLocation = clUseClient;
    TLockType FLockType = ltOptimistic;
    TDbQueryStatement FStatement;

    TDataSetState FState = dsInactive;
    TDbFieldList FFields;
    int FReadPosition = -1;
    std::uint64_t FIdentity;
    TDbRowWriter FWriter;
    TDbRowOrder FRows;
    TDbRowCells FCells;
    TDbCursor FCursor;
    TDbEditBuffer FEdit;
    TDbRowFilter FFilter;
    TDbDataSourceList FSources;
};

} // namespace kestrum
