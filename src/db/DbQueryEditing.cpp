// Editing a record set: the edit buffer, the state changes and their
// notifications, and writing posted and deleted rows through to the table.
#include "db/ColumnInfo.h"
#include "db/DbConnection.h"
#include "db/DbErrors.h"
#include "db/DbQuery.h"
#include "db/FieldValues.h"
#include "db/ParameterBinding.h"
#include "db/RowStore.h"
#include "db/SqlStatement.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>

namespace kestrum {

namespace {

QString Quoted(const QString &identifier)
{
    QString result = identifier;
    result.replace('"', QStringLiteral("\"\""));
    return '"' + result + '"';
}

using StatementPtr = std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)>;

StatementPtr Prepare(const TDbConnection &connection, const QString &sql, const char *context)
{
    sqlite3_stmt *statement = nullptr;
    const QByteArray utf8 = sql.toUtf8();
    if (sqlite3_prepare_v2(connection.Handle(), utf8.constData(), int(utf8.size()), &statement, nullptr) !=
        SQLITE_OK)
        connection.RaiseLastError(context);
    return StatementPtr(statement, sqlite3_finalize);
}

// One write transaction: rolled back unless committed, so that a failure at
// any step leaves the file as it was.
class TWriteTransaction {
public:
    TWriteTransaction(const TDbConnection &connection, const char *context)
        : FConnection(connection), FContext(context)
    {
        // IMMEDIATE takes the write lock now (waiting out the busy timeout),
        // so no other writer slips in between our check and our write.
        if (sqlite3_exec(connection.Handle(), "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK)
            connection.RaiseLastError(context);
        FOpen = true;
        connection.NotifyWriteStep(TDbWriteStep::Began);
    }
    ~TWriteTransaction()
    {
        if (FOpen)
            sqlite3_exec(FConnection.Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
    }
    void Commit()
    {
        if (sqlite3_exec(FConnection.Handle(), "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
            FConnection.RaiseLastError(FContext);
        FOpen = false;
        FConnection.NotifyWriteStep(TDbWriteStep::Committed);
    }
    void Rollback()
    {
        sqlite3_exec(FConnection.Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
        FOpen = false;
    }

private:
    const TDbConnection &FConnection;
    const char *FContext;
    bool FOpen = false;
};

//! Reads one row of the base table back by its key into row, so that the
//! record set holds exactly what the file holds (a new key, values as the
//! columns stored them). bindKey binds the key to parameter 1.
template <typename BindKey>
void ReadBackRow(const TDbConnection &connection, const QString &table, const std::vector<QString> &origins,
                 int keyField, const char *context, TDbRowStore &row, BindKey bindKey)
{
    QStringList columns;
    for (const QString &origin : origins)
        columns.append(Quoted(origin));
    StatementPtr readBack = Prepare(connection,
                                    "SELECT " + columns.join(',') + " FROM " + Quoted(table) + " WHERE " +
                                        Quoted(origins[std::size_t(keyField)]) + " IS ?1",
                                    context);
    bindKey(readBack.get());
    if (sqlite3_step(readBack.get()) != SQLITE_ROW)
        connection.RaiseLastError(context);
    row.AddFromStatement(readBack.get());
}

//! Steps an UPDATE or DELETE of one checked row; false when it found no row
//! to change (another program changed or deleted it since it was read).
bool StepCheckedWrite(const TDbConnection &connection, sqlite3_stmt *statement, const char *context)
{
    if (sqlite3_step(statement) != SQLITE_DONE)
        connection.RaiseLastError(context);
    return sqlite3_changes(connection.Handle()) == 1;
}

} // namespace

QString TDbQuery::RowCheckCondition() const
{
    QStringList checks{Quoted(FOrigins[std::size_t(FKeyField)]) + " IS ?"};
    for (int i = 0; i < FieldCount(); ++i)
        if (i != FKeyField)
            checks.append(Quoted(FOrigins[std::size_t(i)]) + " IS ?");
    return checks.join(" AND ");
}

void TDbQuery::BindRowCheck(sqlite3_stmt *statement, int parameter, int slot) const
{
    FStore->Bind(statement, parameter++, slot, FKeyField);
    for (int i = 0; i < FieldCount(); ++i)
        if (i != FKeyField)
            FStore->Bind(statement, parameter++, slot, i);
}

bool TDbQuery::CanModify() const
{
    if (!Active() || FBaseTable.isEmpty() || FLockType == ltReadOnly || !FConnection ||
        !FConnection->Handle())
        return false;
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
    FEditBuffer[std::size_t(field->Index())] = std::move(value);
    FChanged[std::size_t(field->Index())] = true;
    FModified = true;
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
        if (FModified)
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
    const int slot = SlotAt(FPos);
    FEditBuffer.clear();
    for (const auto &field : FFields)
        FEditBuffer.push_back(CellValue(*FStore, slot, field->Index(), field->DataType()));
    FChanged.assign(FFields.size(), false);
    SetState(dsEdit);
    DataEvent(TDataEvent::RecordChange, 0);
}

void TDbQuery::BeginInsertAppend(bool append)
{
    CheckActive();
    CheckBrowseMode();
    CheckCanModify();
    FPosBeforeInsert = FPos;
    FBofBeforeInsert = FBof;
    FEofBeforeInsert = FEof;
    FInsertPos = append || FPos < 0 ? VisibleCount() : FPos;
    FBof = false;
    FEof = append || VisibleCount() == 0;
    FEditBuffer.assign(FFields.size(), Variant::null());
    FChanged.assign(FFields.size(), false);
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
    const int insertPos = FInsertPos;
    const std::size_t visibleBefore = FOrder.size();
    const int posBefore = FPos;
    if (inserting)
        WriteInsert();
    else
        WriteUpdate();
    FEditBuffer.clear();
    FChanged.clear();
    FInsertPos = -1;
    SetState(dsBrowse);
    // A filter may have taken the row out of the visible rows or moved it:
    // then only a full re-read tells listeners right.
    if (inserting && FOrder.size() == visibleBefore + 1 && FPos == insertPos)
        NotifyRowChange(TDbRowChange::rcInserted, FPos);
    else if (!inserting && FOrder.size() == visibleBefore && FPos == posBefore && FPos >= 0)
        NotifyRowChange(TDbRowChange::rcUpdated, FPos);
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
    const int position = inserting ? FInsertPos : FPos;
    if (inserting) {
        FPos = FPosBeforeInsert;
        FBof = FBofBeforeInsert;
        FEof = FEofBeforeInsert;
    }
    FEditBuffer.clear();
    FChanged.clear();
    FInsertPos = -1;
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
    WriteDelete();
    const int deleted = FPos;
    const int slot = SlotAt(FPos);
    FAll.erase(std::find(FAll.begin(), FAll.end(), slot));
    FOrder.erase(FOrder.begin() + FPos);
    KeyRemoved(slot);
    RowsChanged();
    // The row after the deleted one becomes current; after the last row, the
    // new last row.
    FPos = std::min(FPos, VisibleCount() - 1);
    FBof = FEof = FOrder.empty();
    FEditBuffer.clear();
    FChanged.clear();
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
    const int oldPos = FPos;
    std::vector<TDbColumnInfo> columns;
    std::unique_ptr<TDbRowStore> store = RunStatement(columns);
    bool sameLayout = int(columns.size()) == FieldCount();
    for (int i = 0; sameLayout && i < FieldCount(); ++i)
        sameLayout = FOrigins[std::size_t(i)] == columns[std::size_t(i)].origin;
    if (!sameLayout) {
        // The table changed shape under us: open afresh so fields match.
        Close();
        Open();
        return;
    }
    FStore = std::move(store);
    ++FGeneration;
    FAll.resize(std::size_t(FStore->SlotCount()));
    for (int i = 0; i < int(FAll.size()); ++i)
        FAll[std::size_t(i)] = i;
    ApplyFilter();
    RowsChanged();
    FKeysValid = false;
    int position = PositionOfSlot(SlotOfBookmark(current));
    if (position < 0)
        position = std::min(oldPos, VisibleCount() - 1);
    if (position < 0 && VisibleCount() > 0)
        position = 0;
    FPos = position;
    FBof = FEof = FOrder.empty();
    DataEvent(TDataEvent::DataSetChange, 0);
}

void TDbQuery::NotifyRowChange(TDbRowChange::TKind kind, int position)
{
    const TDbRowChange change{kind, position};
    DataEvent(TDataEvent::DataSetChange, reinterpret_cast<std::intptr_t>(&change));
}

bool TDbQuery::StatementSelectsCurrentRow() const
{
    if (!Active() || FKeyField < 0 || FState == dsInsert || FPos < 0 || !FConnection ||
        !FConnection->Handle())
        return false;
    const int slot = SlotAt(FPos);
    if (FStore->Kind(slot, FKeyField) != TDbCellKind::Integer)
        return false;
    // The statement as a subquery narrowed to the row's key: SQLite flattens
    // it into a key lookup, so every condition of the statement is tested on
    // that one row.
    std::string inner = FPlan->sql;
    while (!inner.empty() && (std::isspace(static_cast<unsigned char>(inner.back())) || inner.back() == ';'))
        inner.pop_back();
    const QString key = Quoted(FFields[std::size_t(FKeyField)]->FieldName());
    const int keyParameter = int(FPlan->names.size()) + 1;
    const QString sql = "SELECT 1 FROM (" + QString::fromStdString(inner) + ") WHERE " + key + " = ?" +
                        QString::number(keyParameter);
    sqlite3_stmt *raw = nullptr;
    const QByteArray utf8 = sql.toUtf8();
    if (sqlite3_prepare_v2(FConnection->Handle(), utf8.constData(), int(utf8.size()), &raw, nullptr) !=
            SQLITE_OK ||
        !raw) {
        sqlite3_finalize(raw);
        return false;
    }
    StatementPtr lookup(raw, sqlite3_finalize);
    BindParameters(FConnection->Handle(), lookup.get(), *FPlan, FParameters);
    FStore->Bind(lookup.get(), keyParameter, slot, FKeyField);
    const int rc = sqlite3_step(lookup.get());
    if (rc == SQLITE_ROW)
        return true;
    if (rc != SQLITE_DONE)
        FConnection->RaiseLastError("无法核对记录是否仍符合列表的查询条件");
    return false;
}

// ---- writing through ---------------------------------------------------

void TDbQuery::RaiseConflict(const char *action) const
{
    throw EDbRowConflict(std::string("这条记录在读出之后已被其他程序修改或删除，因此未能") + action +
                         "，也没有覆盖任何内容。请取消，再重新显示列表以查看当前的数据。");
}

void TDbQuery::WriteInsert()
{
    CheckCanModify();
    const TDbConnection &connection = *FConnection;
    std::vector<int> written;
    for (int i = 0; i < FieldCount(); ++i)
        if (i != FKeyField && (FChanged[std::size_t(i)] || !FEditBuffer[std::size_t(i)].isNull()))
            written.push_back(i);
    QString sql = "INSERT INTO " + Quoted(FBaseTable);
    if (written.empty()) {
        sql += QStringLiteral(" DEFAULT VALUES");
    } else {
        QStringList names, marks;
        for (int i : written) {
            names.append(Quoted(FOrigins[std::size_t(i)]));
            marks.append(QStringLiteral("?"));
        }
        sql += " (" + names.join(',') + ") VALUES (" + marks.join(',') + ")";
    }
    const char *context = "新记录未能保存";
    TWriteTransaction transaction(connection, context);
    {
        StatementPtr insert = Prepare(connection, sql, context);
        for (std::size_t k = 0; k < written.size(); ++k) {
            const TDbField *field = FFields[std::size_t(written[k])].get();
            BindFieldValue(insert.get(), int(k) + 1, FEditBuffer[std::size_t(written[k])], field->DataType());
        }
        if (sqlite3_step(insert.get()) != SQLITE_DONE)
            connection.RaiseLastError(context);
    }
    connection.NotifyWriteStep(TDbWriteStep::Written);
    const sqlite3_int64 key = sqlite3_last_insert_rowid(connection.Handle());

    TDbRowStore row(FieldCount());
    ReadBackRow(connection, FBaseTable, FOrigins, FKeyField, context, row,
                [key](sqlite3_stmt *readBack) { sqlite3_bind_int64(readBack, 1, key); });
    connection.NotifyWriteStep(TDbWriteStep::ReadBack);
    transaction.Commit();

    const int slot = FStore->AddCopy(row, 0);
    // Place the new row where it was inserted, among all rows.
    const auto allPos =
        FInsertPos < VisibleCount() ? std::find(FAll.begin(), FAll.end(), SlotAt(FInsertPos)) : FAll.end();
    FAll.insert(allPos, slot);
    ApplyFilter();
    KeyAdded(slot);
    RowsChanged();
    const int position = PositionOfSlot(slot);
    FPos = position >= 0 ? position : std::min(FInsertPos, VisibleCount() - 1);
    FBof = FOrder.empty();
    FEof = FOrder.empty();
}

void TDbQuery::WriteUpdate()
{
    std::vector<int> written;
    for (int i = 0; i < FieldCount(); ++i)
        if (i != FKeyField && FChanged[std::size_t(i)])
            written.push_back(i);
    if (written.empty())
        return; // nothing changed: nothing to write
    CheckCanModify();
    const TDbConnection &connection = *FConnection;
    const int slot = SlotAt(FPos);
    QStringList sets;
    for (int i : written)
        sets.append(Quoted(FOrigins[std::size_t(i)]) + " = ?");
    const QString sql =
        "UPDATE " + Quoted(FBaseTable) + " SET " + sets.join(',') + " WHERE " + RowCheckCondition();

    const char *context = "修改的记录未能保存";
    TWriteTransaction transaction(connection, context);
    bool stored = false;
    {
        StatementPtr update = Prepare(connection, sql, context);
        int parameter = 1;
        for (int i : written)
            BindFieldValue(update.get(), parameter++, FEditBuffer[std::size_t(i)],
                           FFields[std::size_t(i)]->DataType());
        BindRowCheck(update.get(), parameter, slot);
        stored = StepCheckedWrite(connection, update.get(), context);
    }
    if (!stored) {
        transaction.Rollback();
        RaiseConflict("保存");
    }
    connection.NotifyWriteStep(TDbWriteStep::Written);
    TDbRowStore row(FieldCount());
    ReadBackRow(connection, FBaseTable, FOrigins, FKeyField, context, row,
                [&](sqlite3_stmt *readBack) { FStore->Bind(readBack, 1, slot, FKeyField); });
    connection.NotifyWriteStep(TDbWriteStep::ReadBack);
    transaction.Commit();
    FStore->SetCopy(slot, row, 0);
    if (FFiltered && FFilterExpression) {
        ApplyFilter();
        RowsChanged();
        const int position = PositionOfSlot(slot);
        FPos = position >= 0 ? position : std::min(FPos, VisibleCount() - 1);
        FBof = FEof = FOrder.empty();
    }
}

void TDbQuery::WriteDelete()
{
    const TDbConnection &connection = *FConnection;
    const int slot = SlotAt(FPos);
    const QString sql = "DELETE FROM " + Quoted(FBaseTable) + " WHERE " + RowCheckCondition();
    const char *context = "记录未能删除";
    TWriteTransaction transaction(connection, context);
    bool deleted = false;
    {
        StatementPtr remove = Prepare(connection, sql, context);
        BindRowCheck(remove.get(), 1, slot);
        deleted = StepCheckedWrite(connection, remove.get(), context);
    }
    if (!deleted) {
        transaction.Rollback();
        RaiseConflict("删除");
    }
    connection.NotifyWriteStep(TDbWriteStep::Written);
    transaction.Commit();
}

} // namespace kestrum
