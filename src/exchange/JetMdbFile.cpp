#include "exchange/JetMdbFile.h"

#include "core/DateTime.h"
#include "exchange/ExchangeMessages.h"
#include "exchange/ForeignEntry.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>

// glib must come first: mdbtools.h uses its types without including it.
#include <glib.h>

#include <mdbtools.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <strings.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kestrum {

namespace {

// libmdb writes every value as text into the bound buffers; dates come in
// this form and are parsed back to the day number.
const char *const DateFormat = "%Y-%m-%d %H:%M:%S";

//! Numbers arrive as printf made them; a decimal comma (from a locale that
//! writes one) is read as a point. No grouping is ever written.
bool ParseNumber(const char *text, double &number)
{
    QByteArray bytes(text);
    if (!bytes.contains('.'))
        bytes.replace(',', '.');
    bool ok = false;
    number = bytes.trimmed().toDouble(&ok);
    return ok;
}

//! Money arrives with up to four decimals ("-12.3400"); read exactly.
bool ParseMoney(const char *text, std::int64_t &tenThousandths)
{
    const char *p = text;
    while (*p == ' ')
        ++p;
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+')
        ++p;
    std::int64_t whole = 0;
    int digits = 0;
    for (; *p >= '0' && *p <= '9'; ++p, ++digits) {
        if (whole > (INT64_MAX - 9) / 10 / 10000)
            return false;
        whole = whole * 10 + (*p - '0');
    }
    std::int64_t fraction = 0;
    int places = 0;
    if (*p == '.' || *p == ',') {
        for (++p; *p >= '0' && *p <= '9'; ++p) {
            if (places == 4)
                return false; // Jet keeps four places; more is no money value
            fraction = fraction * 10 + (*p - '0');
            ++places, ++digits;
        }
    }
    if (digits == 0 || *p != '\0')
        return false;
    for (; places < 4; ++places)
        fraction *= 10;
    tenThousandths = whole * 10000 + fraction;
    if (negative)
        tenThousandths = -tenThousandths;
    return true;
}

bool ParseDate(const char *text, double &days)
{
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    char end = 0;
    if (std::sscanf(text, "%d-%d-%d %d:%d:%d%c", &year, &month, &day, &hour, &minute, &second, &end) != 6)
        return false;
    double date = 0, time = 0;
    if (!TryEncodeDate(year, month, day, date) || !TryEncodeTime(hour, minute, second, 0, time))
        return false;
    days = ComposeDateTime(date, time);
    return true;
}

class TMdbCursor : public TJetRowCursor {
public:
    TMdbCursor(MdbTableDef *table, std::string tableName) : FTable(table), FTableName(std::move(tableName))
    {
        mdb_rewind_table(FTable);
        // The column list, not the count the definition claims: a damaged
        // definition may claim more columns than could be read.
        const unsigned count = FTable->columns->len;
        FBuffers.resize(count);
        FLengths.assign(count, 0);
        FTypes.resize(count);
        for (unsigned i = 0; i < count; ++i) {
            auto *column = static_cast<MdbColumn *>(g_ptr_array_index(FTable->columns, i));
            FColumns.emplace_back(column->name);
            FTypes[i] = column->col_type;
            FBuffers[i].assign(TJetMdbFile::TextLimit + 1, '\0');
            mdb_bind_column(FTable, int(i) + 1, FBuffers[i].data(), &FLengths[i]);
        }
    }
    ~TMdbCursor() override { mdb_free_tabledef(FTable); }

    const std::vector<std::string> &Columns() const override { return FColumns; }
    std::int64_t RowCount() const override { return FTable->num_rows; }

    bool Next(TJetRow &row) override
    {
        if (!mdb_fetch_row(FTable))
            return false;
        row.resize(FColumns.size());
        for (std::size_t i = 0; i < FColumns.size(); ++i)
            row[i] = Value(i);
        return true;
    }

private:
    //! Fixed-size numbers, money and dates straight from the row's bytes:
    //! exact, free of the locale printf uses, and right for dates before
    //! 1900, which libmdb's text form gets wrong ("1900-01-00").
    bool RawValue(std::size_t i, TJetValue &value) const
    {
        const auto *column = static_cast<const MdbColumn *>(g_ptr_array_index(FTable->columns, guint(i)));
        const int length = column->cur_value_len;
        // A damaged row can claim a value outside the page: checked before any
        // pointer into the page is formed.
        if (column->cur_value_start <= 0 || length < 0 || column->cur_value_start + length > int(MDB_PGSIZE))
            return false;
        const unsigned char *bytes = FTable->entry->mdb->pg_buf + column->cur_value_start;
        const auto little = [bytes](int count) {
            std::uint64_t bits = 0;
            for (int k = count - 1; k >= 0; --k)
                bits = bits << 8 | bytes[k];
            return bits;
        };
        switch (FTypes[i]) {
        case MDB_BYTE:
            if (length != 1)
                return false;
            value = TJetValue::FromNumber(bytes[0]);
            return true;
        case MDB_INT:
            if (length != 2)
                return false;
            value = TJetValue::FromNumber(std::int16_t(little(2)));
            return true;
        case MDB_LONGINT:
            if (length != 4)
                return false;
            value = TJetValue::FromNumber(std::int32_t(little(4)));
            return true;
        case MDB_FLOAT: {
            if (length != 4)
                return false;
            const std::uint32_t bits = std::uint32_t(little(4));
            float number;
            std::memcpy(&number, &bits, sizeof number);
            // Through its shortest decimal form, so 0.1f reads as 0.1.
            value = TJetValue::FromNumber(QByteArray::number(number, 'g', 7).toDouble());
            return true;
        }
        case MDB_DOUBLE:
        case MDB_DATETIME: {
            if (length != 8)
                return false;
            const std::uint64_t bits = little(8);
            double number;
            std::memcpy(&number, &bits, sizeof number);
            value = FTypes[i] == MDB_DATETIME ? TJetValue::FromDate(number) : TJetValue::FromNumber(number);
            return true;
        }
        case MDB_MONEY:
            if (length != 8)
                return false;
            value = TJetValue::FromCurrency(std::int64_t(little(8)));
            return true;
        default:
            return false;
        }
    }

    TJetValue Value(std::size_t i) const
    {
        const char *text = FBuffers[i].data();
        // libmdb gives an empty text for a null of any type; an empty text
        // column reads the same, and nothing tells the two apart.
        if (FLengths[i] == 0 || text[0] == '\0')
            return TJetValue::Null();
        TJetValue raw;
        if (RawValue(i, raw))
            return raw;
        switch (FTypes[i]) {
        case MDB_BOOL:
        case MDB_BYTE:
        case MDB_INT:
        case MDB_LONGINT:
        case MDB_FLOAT:
        case MDB_DOUBLE:
        case MDB_NUMERIC: {
            double number = 0;
            if (ParseNumber(text, number))
                return TJetValue::FromNumber(number);
            break;
        }
        case MDB_MONEY: {
            std::int64_t money = 0;
            if (ParseMoney(text, money))
                return TJetValue::FromCurrency(money);
            break;
        }
        case MDB_DATETIME: {
            double days = 0;
            if (ParseDate(text, days))
                return TJetValue::FromDate(days);
            break;
        }
        default:
            break;
        }
        // Texts, memos, and anything whose text form is not as expected: the
        // ledger's mapping says what it makes of a text where it wants more.
        TJetValue value = TJetValue::FromText(text);
        value.Truncated = std::strlen(text) >= TJetMdbFile::TextLimit - 8;
        return value;
    }

    MdbTableDef *FTable;
    std::string FTableName;
    std::vector<std::string> FColumns;
    std::vector<int> FTypes;
    std::vector<std::vector<char>> FBuffers;
    std::vector<int> FLengths;
};

std::string Quoted(const std::string &path)
{
    return "“" + path + "”";
}

//! Opens the file and reads its catalogue; raises EImportError when libmdb
//! cannot.
MdbHandle *OpenMdb(const QString &path)
{
    const std::string shown = Quoted(path.toStdString());
    MdbHandle *mdb = mdb_open(QFile::encodeName(path).constData(), MDB_NOFLAGS);
    if (!mdb)
        throw EImportError(shown + "不是可以读取的 Access 数据库");
    mdb_set_bind_size(mdb, TJetMdbFile::TextLimit + 1);
    mdb_set_date_fmt(mdb, DateFormat);
    if (!mdb_read_catalog(mdb, MDB_TABLE)) {
        mdb_close(mdb);
        throw EImportError("无法读取" + shown + "的表目录");
    }
    return mdb;
}

MdbCatalogEntry *FindTable(MdbHandle *mdb, const std::string &table)
{
    GPtrArray *catalog = mdb->catalog;
    for (guint i = 0; catalog && i < catalog->len; ++i) {
        auto *entry = static_cast<MdbCatalogEntry *>(g_ptr_array_index(catalog, i));
        if (entry->object_type == MDB_TABLE && ::strcasecmp(entry->object_name, table.c_str()) == 0)
            return entry;
    }
    return nullptr;
}

std::unique_ptr<TJetRowCursor> OpenMdbTable(MdbHandle *mdb, const std::string &path, const std::string &table)
{
    // Not mdb_read_table_by_name: it reads the catalogue again and so frees
    // the entries that the tables opened before still point to.
    MdbCatalogEntry *entry = FindTable(mdb, table);
    if (!entry)
        throw EImportError(Quoted(path) + "中没有表 " + table);
    MdbTableDef *definition = mdb_read_table(entry);
    if (!definition)
        throw EImportError("无法读取" + Quoted(path) + "中的表 " + table);
    // A damaged definition can leave the table without its page map; libmdb
    // would then read through a null map on the first row.
    if (!definition->usage_map || definition->map_sz == 0) {
        mdb_free_tabledef(definition);
        throw EImportError(Quoted(path) + "中的表 " + table + " 已损坏，无法读取");
    }
    if (!mdb_read_columns(definition) || !definition->columns) {
        mdb_free_tabledef(definition);
        throw EImportError("无法读取" + Quoted(path) + "中表 " + table + " 的列");
    }
    return std::make_unique<TMdbCursor>(definition, table);
}

std::function<void(const std::string &)> ReadHook;

//! libmdb trusts what it reads, and a damaged file can make it read or
//! write where it must not: the program would die with the file. So every
//! step is first taken in a child process on its own handle; only when the
//! child comes through (or fails with an error it raises itself, which the
//! program then meets again and reports) is the step taken here. libmdb
//! reads the same bytes the same way both times. False when the child died.
bool SurvivesInChild(const std::string &table, const std::function<void()> &read)
{
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child < 0)
        return true; // no process to spare: read here, as without the check
    if (child == 0) {
        int code = 0;
        try {
            if (ReadHook)
                ReadHook(table);
            read();
        } catch (...) {
            code = 1;
        }
        // Not exit(): the parent's handlers and buffers are not the child's.
        ::_exit(code);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR)
            return true;
    }
    return WIFEXITED(status);
}

} // namespace

void SetJetReadHookForTests(std::function<void(const std::string &table)> hook)
{
    ReadHook = std::move(hook);
}

struct TJetMdbFile::TImpl {
    MdbHandle *Mdb = nullptr;
    std::string Path;
};

TJetMdbFile::TJetMdbFile(const QString &path) : FImpl(std::make_unique<TImpl>())
{
    FImpl->Path = path.toStdString();
    if (!QFileInfo(path).isFile())
        throw EImportError(Quoted(FImpl->Path) + "不存在或不是文件");
    QFile probe(path);
    if (!probe.open(QIODevice::ReadOnly))
        throw EImportError(exchange::CannotRead(path, probe));
    probe.close();
    // Jet 3 files keep their texts in the code page of the Windows they were
    // written on; this ledger's were Chinese. libmdb reads the choice from
    // the environment when it opens a file; a choice made there wins.
    ::setenv("MDB_JET3_CHARSET", "CP936", 0);
    if (!SurvivesInChild({}, [&path] { mdb_close(OpenMdb(path)); }))
        throw EImportError("无法读取" + Quoted(FImpl->Path) + "：文件已损坏");
    FImpl->Mdb = OpenMdb(path);
}

TJetMdbFile::~TJetMdbFile()
{
    mdb_close(FImpl->Mdb);
}

std::string TJetMdbFile::Description() const
{
    switch (FImpl->Mdb->f->jet_version) {
    case MDB_VER_JET3:
        return "Access 97 (Jet 3)";
    case MDB_VER_JET4:
        return "Access 2000 (Jet 4)";
    default:
        return "Access 2007 or later (ACE)";
    }
}

bool TJetMdbFile::HasTable(const std::string &table)
{
    return FindTable(FImpl->Mdb, table) != nullptr;
}

std::unique_ptr<TJetRowCursor> TJetMdbFile::OpenTable(const std::string &table)
{
    const QString path = QString::fromStdString(FImpl->Path);
    const bool survived = SurvivesInChild(table, [&path, &table] {
        MdbHandle *mdb = OpenMdb(path);
        std::unique_ptr<TJetRowCursor> cursor;
        try {
            cursor = OpenMdbTable(mdb, path.toStdString(), table);
            TJetRow row;
            while (cursor->Next(row)) {
            }
        } catch (...) {
            cursor.reset();
            mdb_close(mdb);
            throw;
        }
        cursor.reset();
        mdb_close(mdb);
    });
    if (!survived)
        throw EImportError("无法读取" + Quoted(FImpl->Path) + "中的表 " + table + "：文件已损坏");
    return OpenMdbTable(FImpl->Mdb, FImpl->Path, table);
}

} // namespace kestrum
