#pragma once
// A query record set: one SQL statement whose whole result is loaded on the
// client when it opens (a static cursor). It moves over the loaded rows,
// edits one row at a time and writes a posted or deleted row through to its
// table by the table's key, inside a transaction, refusing to overwrite a row
// that another process changed since it was read (optimistic locking).
// Every change reaches the attached data sources' data links.
#include "core/Variant.h"
#include "db/Bookmark.h"
#include "db/DbField.h"
#include "db/DbParameters.h"
#include "db/DbTypes.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

struct sqlite3_stmt;

namespace kestrum {

class TDbConnection;
class TDbDataSource;
class TDbRowReader;
class TDbRowStore;
struct TDbStatementPlan;
struct TDbColumnInfo;
class TDbFilterExpression;

//! A lookup field the record set makes at every open, after its data fields.
struct TDbLookupFieldDef {
    QString FieldName;
    TFieldType DataType = ftString;
    QString KeyFields; //!< fields of this record set (";" between names)
    TDbQuery *LookupDataSet = nullptr;
    QString LookupKeyFields;   //!< fields of the lookup record set the keys must equal
    QString LookupResultField; //!< the field of the lookup record set that gives the value
};

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
    const QStringList &SQL() const { return FSQL; }
    void SetSQL(const QStringList &lines);
    void ClearSQL() { SetSQL({}); }
    void AddSQL(const QString &line);
    QString SQLText() const { return FSQL.join('\n'); }
    TDbParameters &Parameters() { return FParameters; }
    TDbParameter *ParamByName(const QString &name) const { return FParameters.ParamByName(name); }

    // Open and close. Open opens the connection when needed, runs the
    // statement, loads every row and makes the first row current; on failure
    // it raises EDatabaseError and stays closed. Close drops a pending record.
    void Open();
    void Close();
    //! Runs the statement with its parameters as Open would, but keeps no
    //! rows: each is handed to onRow as it is read. For totals over a large
    //! table; the record set's own state is not touched. Raises what Open
    //! raises, and what onRow raises.
    void Scan(const std::function<void(const TDbRowReader &row)> &onRow) const;
    bool Active() const { return FState != dsInactive; }
    void SetActive(bool active);
    TDataSetState State() const { return FState; }

    // Fields (valid while open; a reopen makes new field objects).
    int FieldCount() const { return int(FFields.size()); }
    TDbField *Fields(int index) const { return FFields.at(std::size_t(index)).get(); }
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
    int LookupFieldCount() const { return int(FLookupFields.size()); }
    TDbField *LookupFields(int index) const { return FLookupFields.at(std::size_t(index)).get(); }
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
    bool Bof() const { return FBof; }
    bool Eof() const { return FEof; }
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
    bool Modified() const { return FModified; }
    //! The result is one table's rows with its key, and the statement's
    //! tables are writable.
    bool CanModify() const;
    //! Posts (when modified) or cancels a pending record.
    void CheckBrowseMode();
    //! Asks every data link to write pending values (before a post).
    void UpdateRecord();

    // Filtering: a filter expression over the field names
    // ("[本次进帐] > 100 and [进帐人] = '工资'"), applied when Filtered.
    const QString &Filter() const { return FFilter; }
    void SetFilter(const QString &filter);
    bool Filtered() const { return FFiltered; }
    void SetFiltered(bool filtered);
    TFilterOptions FilterOptions() const { return FFilterOptions; }
    void SetFilterOptions(TFilterOptions options);

    // Notifications.
    void DisableControls();
    void EnableControls();
    bool ControlsDisabled() const { return FDisableCount > 0; }

    // Events.
    TDataSetNotifyEvent AfterOpen, BeforeClose, AfterClose, AfterPost, AfterCancel, AfterDelete, AfterScroll;

    // Used by fields, data sources and data links.
    Variant CurrentValue(int fieldIndex) const; // edit buffer or stored row
    void SetCurrentValue(TDbField *field, Variant value);
    void DataEvent(TDataEvent event, std::intptr_t info);
    void AttachDataSource(TDbDataSource *source);
    void DetachDataSource(TDbDataSource *source);
    const std::vector<TDbDataSource *> &DataSources() const { return FDataSources; }
    //! Absolute position of the current row in the visible order (-1: none).
    int CurrentPosition() const { return FState == dsInsert ? FInsertPos : FPos; }
    std::uint64_t Identity() const { return FIdentity; }
    void ConnectionClosing(); // the connection closes under this record set

private:
    void CheckActive() const;
    //! The value of a field at a visible position (see SetReadPosition).
    Variant ValueAtPosition(int position, int fieldIndex) const;
    //! Positions and slots of the rows matching the values, for Locate and Lookup.
    int FindPosition(const QString &keyFields, const Variant &keyValues, TLocateOptions options) const;
    void CheckEditMode() const;
    void CheckCanModify() const;
    void SetState(TDataSetState state);
    void OpenCursor();
    void CloseCursor();
    using TStatementHandle = std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)>;
    //! The statement prepared and its parameters bound, ready to step.
    TStatementHandle PrepareStatement() const;
    std::unique_ptr<TDbRowStore> RunStatement(std::vector<TDbColumnInfo> &columns) const;
    void BuildFields(const std::vector<TDbColumnInfo> &columns);
    void ScrollTo(int position, bool bof, bool eof);
    void BeginInsertAppend(bool append);
    void WriteInsert();
    void WriteUpdate();
    void WriteDelete();
    //! DataSetChange telling listeners exactly which row changed.
    void NotifyRowChange(TDbRowChange::TKind kind, int position);
    [[noreturn]] void RaiseConflict(const char *action) const;
    //! Optimistic locking for updates and deletes: the row is found by its key
    //! and only while every other column still holds the value read from it.
    QString RowCheckCondition() const;
    //! Binds the key and then every other column's read value from parameter on.
    void BindRowCheck(sqlite3_stmt *statement, int parameter, int slot) const;
    void ApplyFilter();
    void RowsChanged(); // FAll or FOrder changed
    void KeyAdded(int slot);
    void KeyRemoved(int slot);
    int VisibleCount() const { return int(FOrder.size()); }
    int SlotAt(int position) const { return FOrder[std::size_t(position)]; }
    int PositionOfSlot(int slot) const;
    TBookmark BookmarkOfSlot(int slot) const;
    int SlotOfBookmark(const TBookmark &bookmark) const;
    bool RowMatches(int slot, const std::vector<int> &fields, const std::vector<Variant> &values,
                    TLocateOptions options) const;
    QString ContextName() const;

    TDbConnection *FConnection = nullptr;
    QString FName;
    TCursorType FCursorType = ctStatic;
    TCursorLocation FCursorLocation = clUseClient;
    TLockType FLockType = ltOptimistic;
    QStringList FSQL;
    TDbParameters FParameters;
    std::unique_ptr<TDbStatementPlan> FPlan; // parsed statement

    TDataSetState FState = dsInactive;
    std::vector<std::unique_ptr<TDbField>> FFields;
    std::vector<std::unique_ptr<TDbField>> FRetiredFields; // freed at the next open
    std::vector<TDbLookupFieldDef> FLookupDefs;
    std::vector<std::unique_ptr<TDbField>> FLookupFields;
    int FReadPosition = -1;
    std::unique_ptr<TDbRowStore> FStore;
    QString FBaseTable;                                // the table rows are written to ("" when read-only)
    std::vector<QString> FOrigins;                     // table column per field
    int FKeyField = -1;                                // the table's key among the fields
    std::vector<std::int32_t> FAll;                    // live rows in order -> slot
    std::vector<std::int32_t> FOrder;                  // visible rows (FAll filtered) -> slot
    mutable std::vector<std::int32_t> FPositionOfSlot; // built on demand
    mutable bool FPositionsValid = false;
    mutable std::unordered_map<std::int64_t, std::int32_t> FSlotOfKey; // built on demand
    mutable bool FKeysValid = false;
    int FPos = -1; // current visible position (-1: none)
    bool FBof = true;
    bool FEof = true;
    bool FModified = false;
    std::uint64_t FIdentity;
    std::uint64_t FGeneration = 0;

    // Pending record of edit or insert.
    std::vector<Variant> FEditBuffer;
    std::vector<bool> FChanged;
    int FInsertPos = -1; // visible position of the record being inserted
    int FPosBeforeInsert = -1;
    bool FBofBeforeInsert = true;
    bool FEofBeforeInsert = true;

    QString FFilter;
    bool FFiltered = false;
    TFilterOptions FFilterOptions = 0;
    std::unique_ptr<TDbFilterExpression> FFilterExpression;

    int FDisableCount = 0;
    TDataSetState FDisableState = dsInactive;
    TDataEvent FEnableEvent = TDataEvent::DataSetChange;
    std::vector<TDbDataSource *> FDataSources;
};

} // namespace kestrum
