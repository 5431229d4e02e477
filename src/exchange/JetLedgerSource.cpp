#include "exchange/JetLedgerSource.h"

#include "core/DateTime.h"
#include "exchange/JetMdbFile.h"

#include <QByteArray>
#include <QDate>

#include <array>
#include <cmath>
#include <strings.h>

namespace kestrum {

namespace {

struct TLedgerTable {
    const char *Name;
    TEntryKind Kind;
    std::array<const char *, 4> Columns; //!< amount, date, item, remark
};

const std::array<TLedgerTable, 2> LedgerTables = {{
    {"gain", ekIncome, {"本次进帐", "进帐时间", "进帐人", "备注"}},
    {"expen", ekExpense, {"消费金额", "消费日期", "消费者", "备注"}},
}};

enum TRole : std::uint8_t { rlAmount, rlDate, rlItem, rlRemark };

// Beyond this an amount in cents no longer fits a double exactly.
constexpr double MaxAmount = 9e13;

QString Shown(const TJetValue &value)
{
    switch (value.Kind) {
    case TJetValue::jvNull:
        return QStringLiteral("空");
    case TJetValue::jvText:
        return QString::fromStdString(value.Text);
    case TJetValue::jvNumber:
        return QString::number(value.Number, 'g', 15);
    case TJetValue::jvCurrency:
        return QString::number(double(value.Currency) / 10000.0, 'f', 4);
    case TJetValue::jvDate:
        return QString::number(value.Number, 'g', 15);
    }
    return {};
}

QString AsText(const TJetValue &value)
{
    switch (value.Kind) {
    case TJetValue::jvNull:
        return {};
    case TJetValue::jvDate: {
        DateTimeParts parts;
        if (TryDecodeDateTime(value.Number, parts))
            return DateTimeToText(value.Number);
        return Shown(value);
    }
    default:
        return Shown(value);
    }
}

} // namespace

struct TJetLedgerSource::TTable {
    const TLedgerTable *Definition = nullptr;
    std::unique_ptr<TJetRowCursor> Cursor;
    std::array<std::size_t, 4> Index{}; //!< column of each role in the cursor's rows
};

QString TJetLedgerSource::TRowList::Text() const
{
    QString text = Rows.join(QStringLiteral("、"));
    if (Count > Rows.size())
        text += QStringLiteral("……");
    return text;
}

void TJetLedgerSource::Remember(TRowList &list) const
{
    ++list.Count;
    if (list.Rows.size() < TRowList::MaxListed)
        list.Rows << QStringLiteral("%1 表第 %2 行")
                         .arg(QString::fromLatin1(FOpen[FTableIndex].Definition->Name))
                         .arg(FRowNumber);
}

TJetLedgerSource::TJetLedgerSource(TJetTableSource &tables) : FTables(tables)
{
}

TJetLedgerSource::~TJetLedgerSource() = default;

void TJetLedgerSource::OpenTables()
{
    // Both tables are looked at before the first entry, so a file that is no
    // ledger fails at once, and the progress knows the whole count.
    for (const TLedgerTable &definition : LedgerTables) {
        if (!FTables.HasTable(definition.Name))
            throw EImportError(std::string("Access 文件中没有表 ") + definition.Name + "，它不是旧版账本");
        TTable &table = FOpen.emplace_back();
        table.Definition = &definition;
        table.Cursor = FTables.OpenTable(definition.Name);
        FRowsTotal += table.Cursor->RowCount();
        const std::vector<std::string> &columns = table.Cursor->Columns();
        for (std::size_t role = 0; role < 4; ++role) {
            std::size_t found = columns.size();
            for (std::size_t i = 0; i < columns.size(); ++i)
                if (::strcasecmp(columns[i].c_str(), definition.Columns[role]) == 0)
                    found = i;
            if (found == columns.size())
                throw EImportError(std::string("Access 文件的表 ") + definition.Name + " 中没有列 " +
                                   definition.Columns[role] + "，它不是旧版账本");
            table.Index[role] = found;
        }
        for (std::size_t i = 0; i < columns.size(); ++i) {
            bool used = ::strcasecmp(columns[i].c_str(), "id") == 0; // the key the engine filled
            for (std::size_t index : table.Index)
                used = used || index == i;
            if (!used)
                FUnusedColumns << QStringLiteral("%1.%2").arg(QString::fromLatin1(definition.Name),
                                                              QString::fromStdString(columns[i]));
        }
    }
}

TEntrySource::TStep TJetLedgerSource::Next(TForeignEntry &entry, TBadRecord &bad)
{
    if (!FOpened) {
        FOpened = true;
        OpenTables();
    }
    while (FTableIndex < FOpen.size()) {
        TTable &table = FOpen[FTableIndex];
        if (!table.Cursor->Next(FRow)) {
            table.Cursor.reset();
            ++FTableIndex;
            FRowNumber = 0;
            continue;
        }
        ++FRowNumber;
        ++FRowsRead;
        QString reason;
        if (Convert(FRow, entry, reason))
            return esEntry;
        bad.Line = 0; // a table has no lines: the reason names table and row
        bad.Reason = QStringLiteral("%1 表第 %2 行：%3")
                         .arg(QString::fromLatin1(table.Definition->Name))
                         .arg(FRowNumber)
                         .arg(reason);
        return esBad;
    }
    return esEnd;
}

bool TJetLedgerSource::Convert(const TJetRow &row, TForeignEntry &entry, QString &reason)
{
    const TTable &table = FOpen[FTableIndex];
    entry.Kind = table.Definition->Kind;
    entry.Line = 0;

    // The old program let an entry be saved without an amount or a date, and
    // with a negative amount (a refund booked as a negative expense): such an
    // entry comes over as it is, and the notes list where.
    entry.HasAmount = entry.HasDate = true;
    const TJetValue &amount = row[table.Index[rlAmount]];
    switch (amount.Kind) {
    case TJetValue::jvNull:
        entry.HasAmount = false;
        entry.Cents = 0;
        Remember(FNoAmount);
        break;
    case TJetValue::jvCurrency: {
        // Ten-thousandths to cents, halves away from zero as for positive amounts.
        const std::uint64_t magnitude =
            amount.Currency < 0 ? 0 - std::uint64_t(amount.Currency) : std::uint64_t(amount.Currency);
        entry.Cents = std::int64_t((magnitude + 50) / 100);
        if (amount.Currency < 0)
            entry.Cents = -entry.Cents;
        if (magnitude % 100 != 0)
            ++FRounded;
        break;
    }
    case TJetValue::jvNumber:
    case TJetValue::jvText: {
        double number = amount.Number;
        if (amount.Kind == TJetValue::jvText) {
            bool ok = false;
            number = QString::fromStdString(amount.Text).trimmed().toDouble(&ok);
            if (!ok) {
                reason = QStringLiteral("金额不是数字（%1）").arg(Shown(amount));
                return false;
            }
        }
        if (!std::isfinite(number) || std::fabs(number) > MaxAmount) {
            reason = QStringLiteral("金额太大（%1）").arg(Shown(amount));
            return false;
        }
        // Through fifteen digits first, so that 2.345 (2.34499... in binary)
        // rounds up as written.
        const double cents = QByteArray::number(number * 100.0, 'g', 15).toDouble();
        entry.Cents = std::llround(cents);
        if (std::fabs(cents - double(entry.Cents)) > 1e-6 * std::max(1.0, std::fabs(cents)))
            ++FRounded;
        break;
    }
    case TJetValue::jvDate:
        reason = QStringLiteral("金额是日期（%1）").arg(AsText(amount));
        return false;
    }
    if (entry.HasAmount && entry.Cents < 0)
        Remember(FNegative);

    const TJetValue &date = row[table.Index[rlDate]];
    double days = 0;
    switch (date.Kind) {
    case TJetValue::jvNull:
        entry.HasDate = false;
        entry.Date = QDate();
        entry.Seconds = 0;
        Remember(FNoDate);
        break;
    case TJetValue::jvDate:
    case TJetValue::jvNumber:
        days = date.Number;
        break;
    case TJetValue::jvText:
        if (!TryTextToDateTime(QString::fromStdString(date.Text).trimmed(), days)) {
            reason = QStringLiteral("日期不对（%1）").arg(Shown(date));
            return false;
        }
        break;
    case TJetValue::jvCurrency:
        reason = QStringLiteral("日期不对（%1）").arg(Shown(date));
        return false;
    }
    DateTimeParts parts;
    if (entry.HasDate) {
        if (!TryDecodeDateTime(days, parts)) {
            reason = QStringLiteral("日期不对（%1）").arg(Shown(date));
            return false;
        }
        entry.Date = QDate(parts.year, parts.month, parts.day);
        entry.Seconds = parts.hour * 3600 + parts.minute * 60 + parts.second;
    }

    const TJetValue &item = row[table.Index[rlItem]];
    const TJetValue &remark = row[table.Index[rlRemark]];
    if (item.Truncated || remark.Truncated) {
        reason = QStringLiteral("%1太长，读不全")
                     .arg(item.Truncated ? QStringLiteral("项目") : QStringLiteral("备注"));
        return false;
    }
    entry.Item = item.Kind == TJetValue::jvText ? item.Text : AsText(item).toStdString();
    entry.Remark = remark.Kind == TJetValue::jvText ? remark.Text : AsText(remark).toStdString();
    return true;
}

double TJetLedgerSource::Progress() const
{
    if (FOpened && FTableIndex >= FOpen.size())
        return 1.0;
    if (FRowsTotal <= 0)
        return 0.0;
    return std::min(1.0, double(FRowsRead) / double(FRowsTotal));
}

QString TJetLedgerSource::Description() const
{
    return QString::fromStdString(FTables.Description());
}

QStringList TJetLedgerSource::Notes() const
{
    QStringList notes;
    if (FNoAmount.Count > 0)
        notes << QStringLiteral("%1 条记录没有金额，照原样转换为空金额（不当作 0）：%2。")
                     .arg(FNoAmount.Count)
                     .arg(FNoAmount.Text());
    if (FNoDate.Count > 0)
        notes << QStringLiteral("%1 条记录没有日期，照原样转换为空日期：%2。")
                     .arg(FNoDate.Count)
                     .arg(FNoDate.Text());
    if (FNegative.Count > 0)
        notes << QStringLiteral("%1 条记录的金额是负数（如退款），照原样转换：%2。")
                     .arg(FNegative.Count)
                     .arg(FNegative.Text());
    if (FRounded > 0)
        notes << QStringLiteral("%1 个金额多于两位小数，已四舍五入到分。").arg(FRounded);
    if (!FUnusedColumns.isEmpty())
        notes << QStringLiteral("没有转换的列：%1。").arg(FUnusedColumns.join(QStringLiteral("、")));
    return notes;
}

namespace {

//! Keeps the file open as long as the entries are read from it.
class TJetFileLedgerSource : public TEntrySource {
public:
    explicit TJetFileLedgerSource(const QString &path) : FFile(path), FSource(FFile) {}
    TStep Next(TForeignEntry &entry, TBadRecord &bad) override { return FSource.Next(entry, bad); }
    double Progress() const override { return FSource.Progress(); }
    QString Description() const override { return FSource.Description(); }
    QStringList Notes() const override { return FSource.Notes(); }

private:
    TJetMdbFile FFile;
    TJetLedgerSource FSource;
};

} // namespace

std::unique_ptr<TEntrySource> OpenJetLedgerSource(const QString &path)
{
    return std::make_unique<TJetFileLedgerSource>(path);
}

} // namespace kestrum
