#include "db/DbQuery.h"

#include "db/ColumnInfo.h"
#include "db/DbConnection.h"
#include "db/DbDataLink.h"
#include "db/DbDataSource.h"
#include "db/DbErrors.h"
#include "db/DbFilter.h"
#include "db/DbRowReader.h"
#include "db/FieldValues.h"
#include "db/KeyMatch.h"
#include "db/RowSink.h"
#include "db/RowStore.h"

#include <sqlite3.h>

#include <algorithm>
#include <atomic>

namespace kestrum {

namespace {

std::uint64_t NextIdentity()
{
    static std::atomic<std::uint64_t> counter{0};
    return ++counter;
}

} // namespace

TDbQuery::TDbQuery() : FIdentity(NextIdentity()), FRows(FIdentity), FCells(FRows)
{
}

TDbQuery::~TDbQuery()
{
    try {
        Close();
    } catch (...) { // a listener's failure must not escape a destructor
    }
    FSources.DataSetDestroying();
    if (FConnection)
        FConnection->DetachDataSet(this);
}

QString TDbQuery::ContextName() const
{
    return FName.isEmpty() ? QStringLiteral("记录集") : FName;
}

void TDbQuery::SetConnection(TDbConnection *connection)
{
    if (FConnection == connection)
        return;
    Close();
    if (FConnection)
        FConnection->DetachDataSet(this);
    FConnection = connection;
    if (FConnection)
        FConnection->AttachDataSet(this);
}

void TDbQuery::ConnectionClosing()
{
    Close();
}

// ---- statement ---------------------------------------------------------

void TDbQuery::SetSQL(const QStringList &lines)
{
    // Rows of another statement must not stay on show under this one.
    Close();
    FStatement.SetLines(lines);
}

void TDbQuery::AddSQL(const QString &line)
{
    QStringList lines = FStatement.Lines();
    lines.append(line);
    SetSQL(lines);
}

// ---- open and close ----------------------------------------------------

void TDbQuery::SetActive(bool active)
{
    if (active == Active())
        return;
    if (active)
        OpenCursor();
    else
        CloseCursor();
}

void TDbQuery::Open()
{
    SetActive(true);
}

void TDbQuery::Close()
{
    SetActive(false);
}

void TDbQuery::Scan(const std::function<void(const TDbRowReader &row)> &onRow) const
{
    FStatement.Scan(FConnection, ContextName(), onRow);
}

bool TDbQuery::KeysOnlyFits(const std::vector<TDbColumnInfo> &columns) const
{
    if (!FWriter.Writable() || FWriter.KeyField() < 0 || FFilter.Enabled())
        return false;
    for (const TDbColumnInfo &column : columns) {
        int size = 0;
        if (MapDeclaredType(column.declared, size) == ftUnknown)
            return false; // its type is learnt from the values
    }
    return true;
}

std::vector<TDbRowSink *> TDbQuery::BeginRowSinks()
{
    std::vector<TDbRowSink *> sinks;
    for (TDbDataSource *source : FSources.Sources())
        for (TDbDataLink *link : source->DataLinks())
            if (auto *sink = dynamic_cast<TDbRowSink *>(link); sink && sink->BeginRows(*this))
                sinks.push_back(sink);
    return sinks;
}

void TDbQuery::OpenCursor()
{
    std::vector<TDbColumnInfo> columns;
    std::vector<TDbRowSink *> sinks;
    bool fieldsBuilt = false;
    const auto makeStore = [&](const std::vector<TDbColumnInfo> &result) {
        if (FConnection->IsServer())
            FWriter.Describe(FConnection->Driver(), result);
        else
            FWriter.Describe(FConnection->Handle(), result);
        const int count = int(result.size());
        if (!KeysOnlyFits(result))
            return std::make_unique<TDbRowStore>(count);
        // The fields come before the rows, so that a sink binds to them.
        FFields.Build(this, result, TDbRowStore(count), FWriter.KeyField());
        fieldsBuilt = true;
        sinks = BeginRowSinks();
        return sinks.empty() ? std::make_unique<TDbRowStore>(count)
                             : std::make_unique<TDbRowStore>(count, FWriter.KeyField());
    };
    const auto endSinks = [&](bool complete) {
        for (TDbRowSink *sink : sinks)
            sink->EndRows(*this, complete);
    };
    std::unique_ptr<TDbRowStore> store;
    try {
        store = FStatement.Run(FConnection, ContextName(), columns, makeStore,
                               [&sinks](int slot, const TDbRowReader &row) {
                                   for (TDbRowSink *sink : sinks)
                                       sink->TakeRow(slot, row);
                               });
    } catch (...) {
        if (fieldsBuilt)
            FFields.DropData();
        endSinks(false);
        throw;
    }
    if (!fieldsBuilt)
        FFields.Build(this, columns, *store, FWriter.KeyField());
    FRows.Load(std::move(store), FWriter.KeyField());
    if (FRows.Store().KeysOnly())
        FCells.Use(FWriter.Table(), FWriter.Origins(), FWriter.KeyField());
    std::unique_ptr<TDbFilterExpression> expression;
    try {
        expression = FFilter.Parse(FFilter.Enabled(), *this);
    } catch (...) {
        FFields.DropData();
        FRows.Clear();
        FCells.Clear();
        endSinks(false);
        throw;
    }
    FFilter.Use(FFilter.Enabled(), std::move(expression));
    ApplyFilter();
    FCursor = TDbCursor::AtFirst(VisibleCount());
    endSinks(true);
    SetState(dsBrowse);
    if (AfterOpen)
        AfterOpen(this);
}

void TDbQuery::CloseCursor()
{
    if (BeforeClose)
        BeforeClose(this);
    // A pending record is dropped, not posted.
    FEdit.Clear();
    SetState(dsInactive);
    FFields.Retire();
    FReadPosition = -1;
    FRows.Clear();
    FCells.Clear();
    FFilter.Forget();
    FCursor = TDbCursor();
    FWriter.Clear();
    if (AfterClose)
        AfterClose(this);
}

void TDbQuery::CheckActive() const
{
    if (!Active())
        throw EDatabaseError("数据集已关闭，无法执行此操作。");
}

void TDbQuery::CheckEditMode() const
{
    if (!IsEditMode(FState))
        throw EDatabaseError("数据集不在编辑或插入状态。");
}

void TDbQuery::SetState(TDataSetState state)
{
    if (FState == state)
        return;
    FState = state;
    FEdit.ResetModified();
    DataEvent(TDataEvent::UpdateState, 0);
}

// ---- fields ------------------------------------------------------------

TDbField *TDbQuery::FindField(const QString &name) const
{
    return FFields.Find(name);
}

void TDbQuery::AddLookupField(const TDbLookupFieldDef &def)
{
    FFields.AddLookup(def);
}

void TDbQuery::ClearLookupFields()
{
    FFields.ClearLookups();
}

TDbField *TDbQuery::FieldByName(const QString &name) const
{
    if (TDbField *field = FindField(name))
        return field;
    throw EDatabaseError("Field '" + name.toStdString() + "' not found");
}

QStringList TDbQuery::FieldNames() const
{
    return FFields.Names();
}

Variant TDbQuery::FieldValues(const QString &names) const
{
    const QStringList list = names.split(';', Qt::SkipEmptyParts);
    if (list.size() == 1)
        return FieldByName(list.front().trimmed())->Value();
    std::vector<Variant> values;
    for (const QString &name : list)
        values.push_back(FieldByName(name.trimmed())->Value());
    return Variant::fromArray(std::move(values));
}

Variant TDbQuery::ValueAtPosition(int position, int fieldIndex) const
{
    if (!FRows.Loaded() || fieldIndex < 0 || fieldIndex >= FieldCount())
        return Variant::null();
    if (FState == dsInsert) {
        // The pending record stands at its insert position; later rows follow it.
        if (position == FEdit.InsertPosition())
            return FEdit.Value(fieldIndex);
        if (position > FEdit.InsertPosition())
            --position;
    } else if (FState == dsEdit && position == FCursor.Position()) {
        return FEdit.Value(fieldIndex);
    }
    if (position < 0 || position >= VisibleCount())
        return Variant::null();
    const TRowCells cells = CellsOf(SlotAt(position));
    return CellValue(*cells.store, cells.slot, fieldIndex, FFields.TypeOf(fieldIndex));
}

void TDbQuery::ReadVisibleRows(const std::function<void(int position, const TDbRowReader &row)> &onRow) const
{
    FCells.ReadVisibleRows(FConnection, FStatement, ContextName(), onRow);
}

Variant TDbQuery::CurrentValue(int fieldIndex) const
{
    if (FReadPosition >= 0 && FReadPosition != CurrentPosition())
        return ValueAtPosition(FReadPosition, fieldIndex);
    if (IsEditMode(FState))
        return FEdit.Value(fieldIndex);
    if (!FRows.Loaded() || FCursor.Position() < 0)
        return Variant::null();
    const TRowCells cells = CellsOf(SlotAt(FCursor.Position()));
    return CellValue(*cells.store, cells.slot, fieldIndex, FFields.TypeOf(fieldIndex));
}

Variant TDbQuery::Lookup(const QString &keyFields, const Variant &keyValues, const QString &resultField) const
{
    if (!Active())
        return Variant::null();
    const TDbField *result = FindField(resultField);
    const int position = result ? FindPosition(keyFields, keyValues, 0) : -1;
    if (position < 0)
        return Variant::null();
    if (result->IsLookup() || result->Index() < 0)
        return Variant::null(); // a lookup of a lookup is not followed
    const TRowCells cells = CellsOf(SlotAt(position));
    return CellValue(*cells.store, cells.slot, result->Index(), result->DataType());
}

// ---- position ----------------------------------------------------------

int TDbQuery::RecordCount() const
{
    if (!Active())
        return 0;
    return VisibleCount() + (FState == dsInsert ? 1 : 0);
}

int TDbQuery::RecNo() const
{
    return CurrentPosition() + 1;
}

void TDbQuery::ScrollTo(const TDbCursor &cursor)
{
    const int distance = cursor.Position() - FCursor.Position();
    FCursor = cursor;
    if (distance != 0) {
        DataEvent(TDataEvent::DataSetScroll, distance);
        if (AfterScroll)
            AfterScroll(this);
    }
}

void TDbQuery::First()
{
    CheckBrowseMode();
    ScrollTo(TDbCursor::AtFirst(VisibleCount()));
}

void TDbQuery::Last()
{
    CheckBrowseMode();
    ScrollTo(TDbCursor::AtLast(VisibleCount()));
}

void TDbQuery::Next()
{
    MoveBy(1);
}

void TDbQuery::Prior()
{
    MoveBy(-1);
}

int TDbQuery::MoveBy(int distance)
{
    CheckBrowseMode();
    const int old = FCursor.Position();
    ScrollTo(FCursor.MovedBy(distance, VisibleCount()));
    return FCursor.Position() - old;
}

void TDbQuery::SetRecNo(int recNo)
{
    CheckActive();
    if (VisibleCount() == 0)
        return;
    const int target = std::clamp(recNo, 1, VisibleCount()) - 1;
    MoveBy(target - FCursor.Position());
}

bool TDbQuery::Locate(const QString &keyFields, const Variant &keyValues, TLocateOptions options)
{
    CheckActive();
    CheckBrowseMode();
    std::size_t names = 0;
    for (const QString &name : keyFields.split(';', Qt::SkipEmptyParts)) {
        FieldByName(name.trimmed()); // raises for a name the record set does not have
        ++names;
    }
    if (names == 0 || TDbKeyMatch::KeyValues(keyValues, names).size() != names)
        throw EDatabaseError("定位时每个关键字段都需要一个值。");
    const int position = FindPosition(keyFields, keyValues, options);
    if (position < 0)
        return false;
    ScrollTo(TDbCursor::At(position));
    return true;
}

int TDbQuery::FindPosition(const QString &keyFields, const Variant &keyValues, TLocateOptions options) const
{
    const std::optional<TDbKeyMatch> match = TDbKeyMatch::Make(*this, keyFields, keyValues, options);
    if (!match)
        return -1;
    // Looking for a number in the key field alone lets rows kept by key be
    // found through the key index.
    std::optional<double> wantedKey;
    const int keyColumn = FRows.Store().KeyColumn();
    const QStringList names = keyFields.split(';', Qt::SkipEmptyParts);
    if (keyColumn >= 0 && names.size() == 1 && FindField(names.front().trimmed()) == FFields.At(keyColumn)) {
        const std::vector<Variant> wanted = TDbKeyMatch::KeyValues(keyValues, 1);
        if (wanted.size() == 1 && wanted.front().isNumeric())
            wantedKey = wanted.front().toDouble();
    }
    return FCells.FindPosition(FConnection, FStatement, ContextName(), *match, wantedKey);
}

// ---- bookmarks ---------------------------------------------------------

TBookmark TDbQuery::GetBookmark() const
{
    if (!Active() || FState == dsInsert || FCursor.Position() < 0)
        return {};
    return FRows.BookmarkOfSlot(SlotAt(FCursor.Position()));
}

TBookmark TDbQuery::BookmarkAt(int position) const
{
    if (!Active() || position < 0 || position >= VisibleCount())
        return {};
    return FRows.BookmarkOfSlot(SlotAt(position));
}

bool TDbQuery::BookmarkValid(const TBookmark &bookmark) const
{
    if (!Active() || bookmark.IsNull())
        return false;
    return FRows.PositionOfSlot(FRows.SlotOfBookmark(bookmark)) >= 0;
}

void TDbQuery::GotoBookmark(const TBookmark &bookmark)
{
    CheckActive();
    CheckBrowseMode();
    const int position = FRows.PositionOfSlot(FRows.SlotOfBookmark(bookmark));
    if (position < 0)
        throw EDatabaseError("找不到记录：书签所指的行已不在记录集中。");
    ScrollTo(TDbCursor::At(position));
}

int TDbQuery::CompareBookmarks(const TBookmark &a, const TBookmark &b) const
{
    return FRows.CompareBookmarks(a, b);
}

// ---- editing -----------------------------------------------------------

bool TDbQuery::CanModify() const
{
    if (!Active() || !FWriter.Writable() || FLockType == ltReadOnly || !FConnection ||
        !FConnection->Connected())
        return false;
    // A server says at the write whether this user may write.
    if (FConnection->IsServer())
        return FConnection->Mode() != cmRead;
    return sqlite3_db_readonly(FConnection->Handle(), "main") == 0;
}

void TDbQuery::CheckCanModify() const
{
    if (!CanModify())
        throw EDatabaseError("数据集是只读的，不能修改。");
}

void TDbQuery::SetCurrentValue(TDbField *field, Variant value)
{
    CheckEditMode();
    if (field->ReadOnly())
        throw EDatabaseError("字段“" + field->FieldName().toStdString() + "”不能修改。");
    FEdit.Set(field->Index(), std::move(value));
    DataEvent(TDataEvent::FieldChange, reinterpret_cast<std::intptr_t>(field));
}

void TDbQuery::UpdateRecord()
{
    CheckEditMode();
    DataEvent(TDataEvent::UpdateRecord, 0);
}

void TDbQuery::CheckBrowseMode()
{
    CheckActive();
    DataEvent(TDataEvent::CheckBrowseMode, 0);
    if (IsEditMode(FState)) {
        UpdateRecord();
        if (FEdit.Modified())
            Post();
        else
            Cancel();
    }
}

void TDbQuery::Edit()
{
    CheckActive();
    if (IsEditMode(FState))
        return;
    if (VisibleCount() == 0)
        return Insert();
    CheckBrowseMode();
    CheckCanModify();
    const TRowCells cells = CellsOf(SlotAt(FCursor.Position()));
    std::vector<Variant> values;
    values.reserve(std::size_t(FieldCount()));
    for (int i = 0; i < FieldCount(); ++i)
        values.push_back(CellValue(*cells.store, cells.slot, i, FFields.TypeOf(i)));
    FEdit.BeginEdit(std::move(values));
    SetState(dsEdit);
    DataEvent(TDataEvent::RecordChange, 0);
}

void TDbQuery::BeginInsertAppend(bool append)
{
    CheckActive();
    CheckBrowseMode();
    CheckCanModify();
    const int position = append || FCursor.Position() < 0 ? VisibleCount() : FCursor.Position();
    FEdit.BeginInsert(FieldCount(), position, FCursor);
    FCursor = FCursor.Inserting(append || VisibleCount() == 0);
    SetState(dsInsert);
    DataEvent(TDataEvent::DataSetChange, 0);
}

void TDbQuery::Insert()
{
    BeginInsertAppend(false);
}

void TDbQuery::Append()
{
    BeginInsertAppend(true);
}

void TDbQuery::Post()
{
    CheckActive();
    UpdateRecord();
    DataEvent(TDataEvent::CheckBrowseMode, 0);
    // A failed write raises here and leaves state and edit buffer as they
    // were, so the user can correct the record or cancel it.
    const bool inserting = FState == dsInsert;
    const int insertPos = FEdit.InsertPosition();
    const int visibleBefore = VisibleCount();
    const int posBefore = FCursor.Position();
    if (inserting)
        WriteInsert();
    else
        WriteUpdate();
    FEdit.Clear();
    SetState(dsBrowse);
    // A filter may have taken the row out of the visible rows or moved it:
    // then only a full re-read tells listeners right.
    const int position = FCursor.Position();
    if (inserting && VisibleCount() == visibleBefore + 1 && position == insertPos)
        NotifyRowChange(TDbRowChange::rcInserted, position);
    else if (!inserting && VisibleCount() == visibleBefore && position == posBefore && position >= 0)
        NotifyRowChange(TDbRowChange::rcUpdated, position);
    else
        DataEvent(TDataEvent::DataSetChange, 0);
    if (AfterPost)
        AfterPost(this);
}

void TDbQuery::Cancel()
{
    if (!IsEditMode(FState))
        return;
    DataEvent(TDataEvent::CheckBrowseMode, 0);
    const bool inserting = FState == dsInsert;
    const int position = inserting ? FEdit.InsertPosition() : FCursor.Position();
    if (inserting)
        FCursor = FEdit.CursorBeforeInsert();
    FEdit.Clear();
    SetState(dsBrowse);
    if (position >= 0)
        NotifyRowChange(inserting ? TDbRowChange::rcInsertCancelled : TDbRowChange::rcEditCancelled,
                        position);
    else
        DataEvent(TDataEvent::DataSetChange, 0);
    if (AfterCancel)
        AfterCancel(this);
}

void TDbQuery::Delete()
{
    CheckActive();
    if (FState == dsInsert)
        return Cancel();
    if (VisibleCount() == 0)
        throw EDatabaseError("数据集是空的，无法执行此操作。");
    DataEvent(TDataEvent::CheckBrowseMode, 0);
    CheckCanModify();
    const int deleted = FCursor.Position();
    const TRowCells cells = CellsToWrite(SlotAt(deleted), "删除");
    FWriter.Delete(*FConnection, *cells.store, cells.slot);
    FCells.Forget();
    FRows.RemoveAt(deleted);
    // The row after the deleted one becomes current; after the last row, the
    // new last row.
    FCursor = TDbCursor::Settled(std::min(deleted, VisibleCount() - 1), VisibleCount());
    FEdit.Clear();
    SetState(dsBrowse);
    NotifyRowChange(TDbRowChange::rcDeleted, deleted);
    if (AfterDelete)
        AfterDelete(this);
}

void TDbQuery::Refresh()
{
    CheckActive();
    CheckBrowseMode();
    const TBookmark current = GetBookmark();
    const int oldPos = FCursor.Position();
    std::vector<TDbColumnInfo> columns;
    // Rows kept by key stay kept by key: their taker reads them again.
    const int keyOnly = KeepsKeysOnly() ? FRows.Store().KeyColumn() : -1;
    std::unique_ptr<TDbRowStore> store = FStatement.Run(
        FConnection, ContextName(), columns,
        [keyOnly](const std::vector<TDbColumnInfo> &result) {
            return keyOnly >= 0 && keyOnly < int(result.size())
                       ? std::make_unique<TDbRowStore>(int(result.size()), keyOnly)
                       : std::make_unique<TDbRowStore>(int(result.size()));
        },
        nullptr);
    bool sameLayout = int(columns.size()) == FieldCount();
    for (int i = 0; sameLayout && i < FieldCount(); ++i)
        sameLayout = FWriter.Origins()[std::size_t(i)] == columns[std::size_t(i)].origin;
    if (!sameLayout) {
        // The table changed shape under us: open afresh so fields match.
        Close();
        Open();
        return;
    }
    FRows.Load(std::move(store), FWriter.KeyField());
    FCells.Forget();
    ApplyFilter();
    int position = FRows.PositionOfSlot(FRows.SlotOfBookmark(current));
    if (position < 0)
        position = std::min(oldPos, VisibleCount() - 1);
    if (position < 0 && VisibleCount() > 0)
        position = 0;
    FCursor = TDbCursor::Settled(position, VisibleCount());
    DataEvent(TDataEvent::DataSetChange, 0);
}

void TDbQuery::NotifyRowChange(TDbRowChange::TKind kind, int position)
{
    const TDbRowChange change{kind, position};
    DataEvent(TDataEvent::DataSetChange, reinterpret_cast<std::intptr_t>(&change));
}

bool TDbQuery::StatementSelectsCurrentRow() const
{
    const int keyField = FWriter.KeyField();
    if (!Active() || keyField < 0 || FState == dsInsert || FCursor.Position() < 0 || !FConnection ||
        !FConnection->Connected())
        return false;
    const int slot = SlotAt(FCursor.Position());
    if (FRows.Store().Kind(slot, keyField) != TDbCellKind::Integer)
        return false;
    return FStatement.SelectsRow(*FConnection, FFields.At(keyField)->FieldName(), FRows.Store(), slot,
                                 keyField);
}

void TDbQuery::WriteInsert()
{
    CheckCanModify();
    const TDbRowStore row = FWriter.Insert(*FConnection, FEdit.InsertedFields(FWriter.KeyField()),
                                           FEdit.Values(), FFields.Types());
    // The new row stands where it was inserted, among all rows.
    const int slot = FRows.AddRow(row, FEdit.InsertPosition());
    if (FRows.Store().KeysOnly())
        FCells.Keep(slot, row);
    ApplyFilter();
    const int position = FRows.PositionOfSlot(slot);
    FCursor = TDbCursor::Settled(
        position >= 0 ? position : std::min(FEdit.InsertPosition(), VisibleCount() - 1), VisibleCount());
}

void TDbQuery::WriteUpdate()
{
    const std::vector<int> written = FEdit.UpdatedFields(FWriter.KeyField());
    if (written.empty())
        return; // nothing changed: nothing to write
    CheckCanModify();
    const int slot = SlotAt(FCursor.Position());
    const TRowCells cells = CellsToWrite(slot, "保存");
    const TDbRowStore row =
        FWriter.Update(*FConnection, *cells.store, cells.slot, written, FEdit.Values(), FFields.Types());
    FRows.ReplaceRow(slot, row);
    // The row as the write read it back is what the fields show now.
    if (FRows.Store().KeysOnly())
        FCells.Keep(slot, row);
    else
        FCells.Forget();
    if (FFilter.Narrows()) {
        ApplyFilter();
        const int position = FRows.PositionOfSlot(slot);
        FCursor = TDbCursor::Settled(
            position >= 0 ? position : std::min(FCursor.Position(), VisibleCount() - 1), VisibleCount());
    }
}

// ---- filtering ---------------------------------------------------------

void TDbQuery::ApplyFilter()
{
    if (FFilter.Narrows()) {
        const std::vector<TFieldType> types = FFields.Types();
        FRows.ShowWhere([&](int slot) {
            const TRowCells cells = CellsOf(slot);
            return FFilter.Keeps(*cells.store, cells.slot, types);
        });
    } else {
        FRows.ShowAll();
    }
}

void TDbQuery::Refilter()
{
    ApplyFilter();
    FCursor = TDbCursor::AtFirst(VisibleCount());
    DataEvent(TDataEvent::DataSetChange, 0);
}

void TDbQuery::SetFilter(const QString &filter)
{
    if (FFilter.Text() == filter)
        return;
    FFilter.SetText(filter);
    if (Active() && FFilter.Enabled()) {
        CheckBrowseMode();
        FFilter.Use(true, FFilter.Parse(true, *this));
        Refilter();
    }
}

void TDbQuery::SetFiltered(bool filtered)
{
    if (FFilter.Enabled() == filtered)
        return;
    if (Active()) {
        CheckBrowseMode();
        FFilter.Use(filtered, FFilter.Parse(filtered, *this));
        Refilter();
    } else {
        FFilter.SetEnabled(filtered);
    }
}

void TDbQuery::SetFilterOptions(TFilterOptions options)
{
    if (FFilter.Options() == options)
        return;
    FFilter.SetOptions(options);
    if (Active() && FFilter.Enabled()) {
        CheckBrowseMode();
        Refilter();
    }
}

// ---- notifications -----------------------------------------------------

void TDbQuery::AttachDataSource(TDbDataSource *source)
{
    FSources.Attach(source);
}

void TDbQuery::DetachDataSource(TDbDataSource *source)
{
    FSources.Detach(source);
}

void TDbQuery::DataEvent(TDataEvent event, std::intptr_t info)
{
    FSources.Send(event, info, FState);
}

void TDbQuery::DisableControls()
{
    FSources.Disable(FState);
}

void TDbQuery::EnableControls()
{
    FSources.Enable(FState);
}

} // namespace kestrum
