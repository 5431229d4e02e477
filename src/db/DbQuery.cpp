#include "db/DbQuery.h"

#include "db/ColumnInfo.h"

#include "db/DbConnection.h"
#include "db/DbDataSource.h"
#include "db/DbErrors.h"
#include "db/DbFilter.h"
#include "db/DbRowReader.h"
#include "db/FieldValues.h"
#include "db/ParameterBinding.h"
#include "db/RowStore.h"
#include "db/SqlStatement.h"

#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <numeric>

namespace kestrum {

namespace {

std::uint64_t NextIdentity()
{
    static std::atomic<std::uint64_t> counter{0};
    return ++counter;
}

QString Utf8Column(const char *text)
{
    return text ? QString::fromUtf8(text) : QString();
}

// The table's key: its one INTEGER PRIMARY KEY column (the row id), or "".
QString TableKeyColumn(sqlite3 *db, const QString &table)
{
    sqlite3_stmt *info = nullptr;
    QString key;
    int keys = 0;
    if (sqlite3_prepare_v2(db, "SELECT name, type FROM pragma_table_info(?1) WHERE pk > 0", -1, &info,
                           nullptr) == SQLITE_OK) {
        const QByteArray utf8 = table.toUtf8();
        sqlite3_bind_text(info, 1, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
        while (sqlite3_step(info) == SQLITE_ROW) {
            ++keys;
            const QString type = Utf8Column(reinterpret_cast<const char *>(sqlite3_column_text(info, 1)));
            if (type.compare(QLatin1String("INTEGER"), Qt::CaseInsensitive) == 0)
                key = Utf8Column(reinterpret_cast<const char *>(sqlite3_column_text(info, 0)));
        }
    }
    sqlite3_finalize(info);
    return keys == 1 ? key : QString();
}

} // namespace

TDbQuery::TDbQuery() : FPlan(std::make_unique<TDbStatementPlan>()), FIdentity(NextIdentity())
{
}

TDbQuery::~TDbQuery()
{
    try {
        Close();
    } catch (...) { // a listener's failure must not escape a destructor
    }
    for (TDbDataSource *source : std::vector<TDbDataSource *>(FDataSources))
        source->DataSetDestroying();
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
    FSQL = lines;
    *FPlan = ParseStatement(SQLText());
    FParameters.Rebuild(FPlan->names);
}

void TDbQuery::AddSQL(const QString &line)
{
    QStringList lines = FSQL;
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

TDbQuery::TStatementHandle TDbQuery::PrepareStatement() const
{
    if (!FConnection)
        throw EDatabaseError(ContextName().toStdString() + "没有连接到数据库。");
    if (SQLText().trimmed().isEmpty())
        throw EDatabaseError(ContextName().toStdString() + "没有 SQL 语句。");
    FConnection->Open();
    sqlite3 *db = FConnection->Handle();

    sqlite3_stmt *statement = nullptr;
    const char *tail = nullptr;
    if (sqlite3_prepare_v2(db, FPlan->sql.c_str(), int(FPlan->sql.size()), &statement, &tail) != SQLITE_OK)
        FConnection->RaiseLastError("语句无法执行");
    TStatementHandle guard(statement, sqlite3_finalize);
    if (!statement)
        throw EDatabaseError("语句是空的。");
    for (const char *p = tail; p && *p; ++p)
        if (*p != ' ' && *p != '\t' && *p != '\r' && *p != '\n' && *p != ';')
            throw EDatabaseError("一次只能执行一条语句。");
    // A record set reads; a statement that writes must not run as a side
    // effect of opening one.
    if (!sqlite3_stmt_readonly(statement) || sqlite3_column_count(statement) == 0)
        throw EDatabaseError("该语句不返回行；记录集只能执行 SELECT 语句。");
    BindParameters(db, statement, *FPlan, FParameters);
    return guard;
}

std::unique_ptr<TDbRowStore> TDbQuery::RunStatement(std::vector<TDbColumnInfo> &columns) const
{
    const TStatementHandle guard = PrepareStatement();
    sqlite3_stmt *statement = guard.get();
    const int count = sqlite3_column_count(statement);
    columns.clear();
    for (int i = 0; i < count; ++i) {
        TDbColumnInfo column;
        column.name = Utf8Column(sqlite3_column_name(statement, i));
        column.table = Utf8Column(sqlite3_column_table_name(statement, i));
        column.origin = Utf8Column(sqlite3_column_origin_name(statement, i));
        const char *declared = sqlite3_column_decltype(statement, i);
        column.declared = declared ? declared : "";
        columns.push_back(std::move(column));
    }
    auto store = std::make_unique<TDbRowStore>(count);
    for (;;) {
        const int rc = sqlite3_step(statement);
        if (rc == SQLITE_DONE)
            break;
        if (rc != SQLITE_ROW)
            FConnection->RaiseLastError("语句执行失败");
        store->AddFromStatement(statement);
    }
    return store;
}

void TDbQuery::Scan(const std::function<void(const TDbRowReader &row)> &onRow) const
{
    const TStatementHandle guard = PrepareStatement();
    const TDbRowReader row(guard.get());
    for (;;) {
        const int rc = sqlite3_step(guard.get());
        if (rc == SQLITE_DONE)
            break;
        if (rc != SQLITE_ROW)
            FConnection->RaiseLastError("语句执行失败");
        onRow(row);
    }
}

void TDbQuery::BuildFields(const std::vector<TDbColumnInfo> &columns)
{
    sqlite3 *db = FConnection->Handle();
    // Writable when every column comes from one table and the result holds
    // that table's key, so each row can be found again.
    FBaseTable.clear();
    FKeyField = -1;
    FOrigins.clear();
    QString table;
    bool oneTable = !columns.empty();
    for (const TDbColumnInfo &column : columns) {
        if (column.table.isEmpty() || (!table.isEmpty() && column.table != table))
            oneTable = false;
        table = column.table;
        FOrigins.push_back(column.origin);
    }
    if (oneTable) {
        const QString key = TableKeyColumn(db, table);
        for (int i = 0; i < int(columns.size()) && !key.isEmpty(); ++i)
            if (columns[std::size_t(i)].origin.compare(key, Qt::CaseInsensitive) == 0)
                FKeyField = i;
        std::vector<QString> sorted = FOrigins;
        std::sort(sorted.begin(), sorted.end());
        const bool distinct = std::adjacent_find(sorted.begin(), sorted.end()) == sorted.end();
        if (FKeyField >= 0 && distinct)
            FBaseTable = table;
    }

    FRetiredFields.clear();
    FFields.clear();
    FLookupFields.clear();
    for (int i = 0; i < int(columns.size()); ++i) {
        const TDbColumnInfo &column = columns[std::size_t(i)];
        int size = 0;
        TFieldType type = MapDeclaredType(column.declared, size);
        if (i == FKeyField)
            type = ftAutoInc;
        if (type == ftUnknown)
            type = InferFieldType(*FStore, i);
        // Duplicate names (a join) get a suffix so each can be found by name.
        QString name = column.name;
        for (int n = 1; FindField(name); ++n)
            name = column.name + '_' + QString::number(n);
        auto field = std::make_unique<TDbField>(this, i, name, type, size);
        field->SetOrigin(column.origin, i == FKeyField);
        if (i == FKeyField || column.origin.isEmpty())
            field->SetReadOnly(true);
        FFields.push_back(std::move(field));
    }
    for (const TDbLookupFieldDef &def : FLookupDefs) {
        auto field = std::make_unique<TDbField>(this, -1, def.FieldName, def.DataType, 0);
        field->SetLookup(def.KeyFields, def.LookupDataSet, def.LookupKeyFields, def.LookupResultField);
        FLookupFields.push_back(std::move(field));
    }
}

void TDbQuery::OpenCursor()
{
    std::vector<TDbColumnInfo> columns;
    std::unique_ptr<TDbRowStore> store = RunStatement(columns);
    FStore = std::move(store);
    BuildFields(columns);
    ++FGeneration;
    FAll.resize(std::size_t(FStore->SlotCount()));
    std::iota(FAll.begin(), FAll.end(), 0);
    FKeysValid = false;
    FFilterExpression.reset();
    if (FFiltered && !FFilter.trimmed().isEmpty()) {
        try {
            FFilterExpression = TDbFilterExpression::Parse(FFilter, *this);
        } catch (...) {
            FFields.clear();
            FStore.reset();
            FAll.clear();
            throw;
        }
    }
    ApplyFilter();
    FPos = FOrder.empty() ? -1 : 0;
    FBof = true;
    FEof = FOrder.empty();
    SetState(dsBrowse);
    if (AfterOpen)
        AfterOpen(this);
}

void TDbQuery::CloseCursor()
{
    if (BeforeClose)
        BeforeClose(this);
    // A pending record is dropped, not posted.
    FEditBuffer.clear();
    FChanged.clear();
    FInsertPos = -1;
    SetState(dsInactive);
    // Field objects stay alive until the next open so that a listener that
    // still holds one does not touch freed memory; the field list is empty.
    for (auto &field : FFields)
        FRetiredFields.push_back(std::move(field));
    for (auto &field : FLookupFields)
        FRetiredFields.push_back(std::move(field));
    FFields.clear();
    FLookupFields.clear();
    FReadPosition = -1;
    FStore.reset();
    FAll.clear();
    FOrder.clear();
    FPositionOfSlot.clear();
    FSlotOfKey.clear();
    FPositionsValid = FKeysValid = false;
    FFilterExpression.reset();
    FPos = -1;
    FBof = FEof = true;
    FBaseTable.clear();
    FKeyField = -1;
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
    FModified = false;
    DataEvent(TDataEvent::UpdateState, 0);
}

// ---- fields ------------------------------------------------------------

TDbField *TDbQuery::FindField(const QString &name) const
{
    for (const auto &field : FFields)
        if (field->FieldName().compare(name, Qt::CaseInsensitive) == 0)
            return field.get();
    for (const auto &field : FLookupFields)
        if (field->FieldName().compare(name, Qt::CaseInsensitive) == 0)
            return field.get();
    return nullptr;
}

void TDbQuery::AddLookupField(const TDbLookupFieldDef &def)
{
    FLookupDefs.push_back(def);
}

void TDbQuery::ClearLookupFields()
{
    FLookupDefs.clear();
}

TDbField *TDbQuery::FieldByName(const QString &name) const
{
    if (TDbField *field = FindField(name))
        return field;
    throw EDatabaseError("Field '" + name.toStdString() + "' not found");
}

QStringList TDbQuery::FieldNames() const
{
    QStringList names;
    for (const auto &field : FFields)
        names.append(field->FieldName());
    return names;
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
    if (!FStore || fieldIndex < 0 || fieldIndex >= FieldCount())
        return Variant::null();
    if (FState == dsInsert) {
        // The pending record stands at its insert position; later rows follow it.
        if (position == FInsertPos)
            return FEditBuffer[std::size_t(fieldIndex)];
        if (position > FInsertPos)
            --position;
    } else if (FState == dsEdit && position == FPos) {
        return FEditBuffer[std::size_t(fieldIndex)];
    }
    if (position < 0 || position >= VisibleCount())
        return Variant::null();
    return CellValue(*FStore, SlotAt(position), fieldIndex, FFields[std::size_t(fieldIndex)]->DataType());
}

Variant TDbQuery::CurrentValue(int fieldIndex) const
{
    if (FReadPosition >= 0 && FReadPosition != CurrentPosition())
        return ValueAtPosition(FReadPosition, fieldIndex);
    if (IsEditMode(FState))
        return FEditBuffer[std::size_t(fieldIndex)];
    if (!FStore || FPos < 0)
        return Variant::null();
    return CellValue(*FStore, SlotAt(FPos), fieldIndex, FFields[std::size_t(fieldIndex)]->DataType());
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
    if (FState == dsInsert)
        return FInsertPos + 1;
    return FPos + 1;
}

void TDbQuery::ScrollTo(int position, bool bof, bool eof)
{
    const int distance = position - FPos;
    FPos = position;
    FBof = bof;
    FEof = eof;
    if (distance != 0) {
        DataEvent(TDataEvent::DataSetScroll, distance);
        if (AfterScroll)
            AfterScroll(this);
    }
}

void TDbQuery::First()
{
    CheckBrowseMode();
    if (FOrder.empty())
        return ScrollTo(-1, true, true);
    ScrollTo(0, true, false);
}

void TDbQuery::Last()
{
    CheckBrowseMode();
    if (FOrder.empty())
        return ScrollTo(-1, true, true);
    ScrollTo(VisibleCount() - 1, false, true);
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
    const int count = VisibleCount();
    if (count == 0) {
        FBof = FEof = true;
        return 0;
    }
    const int old = FPos;
    const long long target = (long long)old + distance;
    if (distance == 0)
        return 0;
    // Trying to pass an end sets its flag; landing on the last row does not.
    if (target >= count)
        ScrollTo(count - 1, false, true);
    else if (target < 0)
        ScrollTo(0, true, false);
    else
        ScrollTo(int(target), false, false);
    return FPos - old;
}

void TDbQuery::SetRecNo(int recNo)
{
    CheckActive();
    if (VisibleCount() == 0)
        return;
    const int target = std::clamp(recNo, 1, VisibleCount()) - 1;
    MoveBy(target - FPos);
}

// ---- notifications -----------------------------------------------------

void TDbQuery::AttachDataSource(TDbDataSource *source)
{
    if (std::find(FDataSources.begin(), FDataSources.end(), source) == FDataSources.end())
        FDataSources.push_back(source);
}

void TDbQuery::DetachDataSource(TDbDataSource *source)
{
    FDataSources.erase(std::remove(FDataSources.begin(), FDataSources.end(), source), FDataSources.end());
}

void TDbQuery::DataEvent(TDataEvent event, std::intptr_t info)
{
    // Collecting pending editor values and the check before leaving edit
    // mode go through even while controls are disabled: skipping them
    // would post a record without what the user typed.
    const bool always =
        event == TDataEvent::UpdateRecord || (event == TDataEvent::CheckBrowseMode && IsEditMode(FState));
    if (FDisableCount == 0 || always) {
        for (TDbDataSource *source : std::vector<TDbDataSource *>(FDataSources))
            source->DataEvent(event, info);
    } else if ((event == TDataEvent::UpdateState && FState == dsInactive) ||
               event == TDataEvent::LayoutChange) {
        // The fields went away while disabled: re-enabling must rebuild layouts.
        FEnableEvent = TDataEvent::LayoutChange;
    }
}

void TDbQuery::DisableControls()
{
    if (FDisableCount++ == 0) {
        FDisableState = FState;
        FEnableEvent = TDataEvent::DataSetChange;
    }
}

void TDbQuery::EnableControls()
{
    if (FDisableCount == 0)
        return;
    if (--FDisableCount == 0) {
        if (FDisableState != FState)
            DataEvent(TDataEvent::UpdateState, 0);
        if (FDisableState != dsInactive && FState != dsInactive)
            DataEvent(FEnableEvent, 0);
    }
}

} // namespace kestrum
