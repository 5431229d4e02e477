#include "app/TrashList.h"

#include "core/DateTime.h"
#include "core/NumberText.h"
#include "db/DateText.h"

#include <algorithm>

namespace kestrum {

namespace {

//! Pages kept in memory; enough for a screen and some scrolling back.
constexpr std::size_t CachedPages = 16;

QString DateText(const Variant &value)
{
    if (value.isNull())
        return {};
    if (value.type() == VarType::WideString || value.type() == VarType::String) {
        const QString text = value.toString();
        if (const std::optional<double> days = IsoTextToDays(text.toStdString()))
            return DateTimeToText(*days);
        return text; // not a date the ledger wrote: shown as it is
    }
    return value.toString();
}

QString AmountText(const Variant &value)
{
    if (value.isNull())
        return {};
    switch (value.type()) {
    case VarType::Float64:
    case VarType::Int64:
    case VarType::Int32:
        return FloatToText(value.toDouble());
    default:
        return value.toString();
    }
}

QString OneLine(const Variant &value)
{
    if (value.isNull())
        return {};
    QString text = value.toString();
    text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    return text;
}

} // namespace

TTrashList::TTrashList(TDbDriver &db) : FDb(db)
{
    Reload();
}

void TTrashList::Reload()
{
    FPages.clear();
    FPageOrder.clear();
    FSelected.clear();
    FIds = TrashIds(FDb);
}

QString TTrashList::ColumnCaption(TTrashColumn column)
{
    switch (column) {
    case TTrashColumn::Kind:
        return QString::fromUtf8("类别");
    case TTrashColumn::Date:
        return QString::fromUtf8("日期");
    case TTrashColumn::Amount:
        return QString::fromUtf8("金额");
    case TTrashColumn::Item:
        return QString::fromUtf8("项目");
    case TTrashColumn::Remark:
        return QString::fromUtf8("备注");
    case TTrashColumn::DeletedAt:
        return QString::fromUtf8("删除时间");
    default:
        return {};
    }
}

const std::vector<TTrashEntry> &TTrashList::Page(int page)
{
    auto found = FPages.find(page);
    if (found == FPages.end()) {
        const std::size_t first = std::size_t(page) * PageSize;
        const std::size_t last = std::min(FIds.size(), first + PageSize) - 1;
        found = FPages.emplace(page, TrashEntries(FDb, FIds[first], FIds[last])).first;
        if (FPages.size() > CachedPages) {
            FPages.erase(FPageOrder.front());
            FPageOrder.erase(FPageOrder.begin());
        }
    } else {
        FPageOrder.erase(std::find(FPageOrder.begin(), FPageOrder.end(), page));
    }
    FPageOrder.push_back(page);
    return found->second;
}

const TTrashEntry *TTrashList::Entry(int row)
{
    if (row < 0 || row >= RowCount())
        return nullptr;
    const std::vector<TTrashEntry> &entries = Page(row / PageSize);
    const std::int64_t id = FIds[std::size_t(row)];
    // Newest first, as the ids are.
    const auto at =
        std::lower_bound(entries.begin(), entries.end(), id,
                         [](const TTrashEntry &entry, std::int64_t key) { return entry.TrashId > key; });
    return at != entries.end() && at->TrashId == id ? &*at : nullptr;
}

QString TTrashList::Text(int row, TTrashColumn column)
{
    const TTrashEntry *entry = Entry(row);
    if (!entry)
        return {};
    switch (column) {
    case TTrashColumn::Kind:
        return QString::fromUtf8(entry->Source == TTrashSource::Gain ? "进帐" : "消费");
    case TTrashColumn::Date:
        return DateText(entry->Date);
    case TTrashColumn::Amount:
        return AmountText(entry->Amount);
    case TTrashColumn::Item:
        return OneLine(entry->Item);
    case TTrashColumn::Remark:
        return OneLine(entry->Remark);
    case TTrashColumn::DeletedAt:
        return DateText(Variant(entry->DeletedAt));
    default:
        return {};
    }
}

void TTrashList::SetSelectedRows(const std::vector<int> &rows)
{
    FSelected.clear();
    for (const int row : rows)
        if (row >= 0 && row < RowCount())
            FSelected.push_back(row);
    std::sort(FSelected.begin(), FSelected.end());
    FSelected.erase(std::unique(FSelected.begin(), FSelected.end()), FSelected.end());
}

std::optional<TTrashRestoreResult> TTrashList::RestoreSelected()
{
    if (FSelected.empty())
        return std::nullopt;
    std::vector<std::int64_t> ids;
    ids.reserve(FSelected.size());
    for (const int row : FSelected)
        ids.push_back(FIds[std::size_t(row)]);
    return Restore(&ids);
}

std::optional<TTrashRestoreResult> TTrashList::RestoreAll()
{
    if (FIds.empty())
        return std::nullopt;
    return Restore(nullptr);
}

template <typename TWork> auto TTrashList::Busily(TWork work)
{
    struct TBusy {
        TTrashList &list;
        explicit TBusy(TTrashList &l) : list(l)
        {
            if (list.Busy)
                list.Busy(true);
        }
        ~TBusy()
        {
            // Another program may have changed the trash meanwhile, and a
            // failed change was rolled back: either way read it again.
            list.Reload();
            if (list.Busy)
                list.Busy(false);
        }
    } busy(*this);
    return work();
}

std::optional<TTrashRestoreResult> TTrashList::Restore(const std::vector<std::int64_t> *trashIds)
{
    if (BeforeRestore && !BeforeRestore())
        return std::nullopt;
    const TTrashRestoreResult result = Busily([&] {
        return trashIds ? RestoreFromTrash(FDb, *trashIds, RestoreHook)
                        : RestoreAllFromTrash(FDb, RestoreHook);
    });
    // The entries are back whatever a listener does next.
    if (AfterRestore)
        AfterRestore(result);
    return result;
}

std::int64_t TTrashList::Empty()
{
    return Busily([&] { return EmptyTrash(FDb); });
}

QString TTrashList::RestoreReport(const TTrashRestoreResult &result)
{
    QStringList lines;
    if (const int back = result.Count(TTrashRestoreKind::AlreadyBack))
        lines.append(QString::fromUtf8("%1 条纪录已经在账目中，没有重复还原。").arg(back));
    if (const int gone = result.Count(TTrashRestoreKind::NotInTrash))
        lines.append(
            QString::fromUtf8("%1 条纪录已不在回收站中（可能已被还原或清空），没有还原。").arg(gone));
    return lines.join(QLatin1Char('\n'));
}

QString TTrashList::EmptyQuestion()
{
    return QString::fromUtf8("清空回收站后，其中的纪录将无法恢复。确定清空吗？");
}

} // namespace kestrum
