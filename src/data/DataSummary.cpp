#include "data/DataSummary.h"

#include "core/DateTime.h"
#include "core/Errors.h"
#include "data/DataGroups.h"
#include "data/NumberFormat.h"
#include "data/SummaryCalculator.h"

#include <cmath>

namespace kestrum {

// Items.

TkvDataSummary *TkvCustomDataSummaryItem::DataSummary() const
{
    return FCollection->Summary();
}

void TkvCustomDataSummaryItem::SetLinkedItem(const void *item)
{
    FLinkedItem = item;
    TkvSummaryHost *host = DataSummary()->Host();
    SetSummaryField(item && host ? host->SummaryFieldByItem(item) : nullptr);
}

void TkvCustomDataSummaryItem::SetSummaryField(TkvCustomDataField *field)
{
    if (field == FSummaryField)
        return;
    FSummaryField = field;
    FCollection->Changed(false);
}

void TkvDataSummaryItem::SetFormat(const QString &format)
{
    if (format == FFormat)
        return;
    FFormat = format;
    FCollection->Changed(true);
}

void TkvDataSummaryItem::SetKind(TkvSummaryKind kind)
{
    if (kind == FKind)
        return;
    FKind = kind;
    FCollection->Changed(false);
}

TkvSummaryPosition TkvDataSummaryItem::Position() const
{
    return FCollection->GetItemPosition(this);
}

void TkvDataSummaryItem::SetPosition(TkvSummaryPosition position)
{
    if (position == FPosition)
        return;
    FPosition = position;
    FCollection->Changed(true);
}

bool TkvDataSummaryItem::IsPositionStored() const
{
    return FCollection->IsItemPositionStored(this);
}

QString TkvDataSummaryItem::RenderValue(const Variant &value, bool footer) const
{
    if (value.isNull() || value.isEmpty())
        return QString();
    if (FKind == skNone)
        return value.displayText();
    const QString pattern =
        FFormat.isEmpty() ? FCollection->DefaultPattern(value.type(), FKind, footer) : FFormat;
    try {
        if (value.type() == VarType::Date && FKind != skCount) {
            // The pattern only prefixes a date; it is not interpreted.
            const double dateTime = value.toDate();
            if (TimeOf(dateTime) == 0)
                return pattern + DateToText(dateTime);
            if (DateOf(dateTime) == 0)
                return pattern + TimeToText(dateTime);
            return pattern + DateTimeToText(dateTime);
        }
        return FormatNumber(pattern, value.toDouble());
    } catch (const EVariantTypeError &) {
        return value.displayText();
    } catch (const EVariantConversionError &) {
        return value.displayText();
    }
}

void TkvDBDataSummaryItem::SetFieldName(const QString &name)
{
    FFieldName = name;
    TkvSummaryHost *host = DataSummary()->Host();
    TkvCustomDataField *field = host && !name.isEmpty() ? host->SummaryFieldByName(name) : nullptr;
    FNamedField = field;
    FCollection->Changed(false);
}

void TkvDBDataSummaryItem::ResolveFieldName()
{
    TkvSummaryHost *host = DataSummary()->Host();
    if (!FNamedField && !FFieldName.isEmpty() && host)
        FNamedField = host->SummaryFieldByName(FFieldName);
}

TkvCustomDataField *TkvDBDataSummaryItem::GetSummaryField() const
{
    return FNamedField ? FNamedField : FSummaryField;
}

// Collections.

TkvDataSummaryItem *TkvDataSummaryItems::Add()
{
    if (FSummary->MakesRecordSetItems())
        FItems.push_back(std::make_unique<TkvDBDataSummaryItem>(this));
    else
        FItems.push_back(std::make_unique<TkvDataSummaryItem>(this));
    Changed(false);
    return FItems.back().get();
}

void TkvDataSummaryItems::Delete(int index)
{
    FItems.erase(FItems.begin() + index);
    Changed(false);
}

void TkvDataSummaryItems::Clear()
{
    if (FItems.empty())
        return;
    FItems.clear();
    Changed(false);
}

int TkvDataSummaryItems::IndexOf(const TkvDataSummaryItem *item) const
{
    for (int i = 0; i < Count(); ++i)
        if (FItems[i].get() == item)
            return i;
    return -1;
}

int TkvDataSummaryItems::IndexOfItem(const void *item, int position) const
{
    for (int i = 0; i < Count(); ++i)
        if (FItems[i]->LinkedItem() == item && (position < 0 || FItems[i]->Position() == position))
            return i;
    return -1;
}

TkvSummaryPosition TkvDataSummaryItems::GetItemPosition(const TkvDataSummaryItem *item) const
{
    return item->StoredPosition();
}

bool TkvDataSummaryItems::IsItemPositionStored(const TkvDataSummaryItem *item) const
{
    return item->StoredPosition() == spFooter;
}

QString TkvDataSummaryItems::DefaultPattern(VarType valueType, TkvSummaryKind kind, bool footer) const
{
    return GetDefaultFormat(valueType, kind, footer);
}

QString TkvDataSummaryItems::ComposeGroupText(const Variant &) const
{
    return QString();
}

void TkvDataSummaryItems::Assign(const TkvDataSummaryItems &source)
{
    FSummary->BeginBatch();
    FItems.clear();
    for (int i = 0; i < source.Count(); ++i) {
        const TkvDataSummaryItem *from = source.Items(i);
        TkvDataSummaryItem *to = Add();
        to->SetFormat(from->Format());
        to->SetKind(from->Kind());
        to->SetPosition(from->StoredPosition());
        to->SetLinkedItem(from->LinkedItem());
        auto *fromDB = dynamic_cast<const TkvDBDataSummaryItem *>(from);
        auto *toDB = dynamic_cast<TkvDBDataSummaryItem *>(to);
        if (fromDB && toDB)
            toDB->SetFieldName(fromDB->FieldName());
    }
    OnSummary = source.OnSummary;
    FSummary->EndBatch();
}

void TkvDataSummaryItems::Changed(bool redrawOnly)
{
    FSummary->NotifySummaryChange(redrawOnly);
}

void TkvDataGroupSummaryItems::SetBeginText(const QString &text)
{
    if (text != FBeginText) {
        FBeginText = text;
        Changed(true);
    }
}

void TkvDataGroupSummaryItems::SetEndText(const QString &text)
{
    if (text != FEndText) {
        FEndText = text;
        Changed(true);
    }
}

void TkvDataGroupSummaryItems::SetSeparator(const QString &text)
{
    if (text != FSeparator) {
        FSeparator = text;
        Changed(true);
    }
}

QString TkvDataGroupSummaryItems::ComposeGroupText(const Variant &values) const
{
    QString text;
    for (int i = 0; i < Count(); ++i) {
        const TkvDataSummaryItem *item = Items(i);
        if (item->Position() != spGroup)
            continue;
        const Variant value =
            values.isArray() && i <= values.arrayHighBound() ? values.at(i) : Variant::null();
        const QString part = item->RenderValue(value, false);
        // The separator goes in even before an empty part.
        text = text.isEmpty() ? part : text + Separator() + " " + part;
    }
    if (!text.isEmpty())
        text = BeginText() + text + EndText();
    return text;
}

void TkvDataGroupSummaryItems::Assign(const TkvDataSummaryItems &source)
{
    TkvDataSummaryItems::Assign(source);
    if (auto *group = dynamic_cast<const TkvDataGroupSummaryItems *>(&source)) {
        SetBeginText(group->BeginText());
        SetEndText(group->EndText());
        SetSeparator(group->Separator());
    }
}

// Summary groups.

TkvDataSummaryGroup::TkvDataSummaryGroup(TkvDataSummary *summary)
    : FSummary(summary), FLinkCollection(summary), FSummaryItems(summary)
{
}

TkvDataSummaryGroupItemLink *TkvDataSummaryGroup::AddLink(const void *item)
{
    TkvSummaryHost *host = FSummary->Host();
    TkvCustomDataField *field = item && host ? host->SummaryFieldByItem(item) : nullptr;
    if (field)
        FSummary->ClearLinksToField(field, nullptr);
    FLinks.push_back(std::make_unique<TkvDataSummaryGroupItemLink>(&FLinkCollection));
    FLinks.back()->SetLinkedItem(item);
    FLinkCollection.Changed(false);
    return FLinks.back().get();
}

void TkvDataSummaryGroup::DeleteLink(int index)
{
    FLinks.erase(FLinks.begin() + index);
    FLinkCollection.Changed(false);
}

bool TkvDataSummaryGroup::LinksField(const TkvCustomDataField *field) const
{
    for (const auto &link : FLinks)
        if (link->SummaryField() == field)
            return true;
    return false;
}

// The summary.

TkvDataSummary::TkvDataSummary(TkvSummaryHost *host, bool recordSetItems)
    : FHost(host), FRecordSetItems(recordSetItems), FDefaultGroupSummaryItems(this), FFooterSummaryItems(this)
{
}

TkvDataSummary::~TkvDataSummary()
{
    FDestroying = true;
}

TkvDataSummaryGroup &TkvDataSummary::AddSummaryGroup()
{
    FSummaryGroups.push_back(std::make_unique<TkvDataSummaryGroup>(this));
    NotifySummaryChange(false);
    return *FSummaryGroups.back();
}

void TkvDataSummary::DeleteSummaryGroup(int index)
{
    FSummaryGroups.erase(FSummaryGroups.begin() + index);
    NotifySummaryChange(false);
}

void TkvDataSummary::SetOptions(TkvSummaryOptions options)
{
    if (options == FOptions)
        return;
    FOptions = options;
    NotifySummaryChange(false);
}

void TkvDataSummary::ClearLinksToField(const TkvCustomDataField *field,
                                       const TkvDataSummaryGroupItemLink *except)
{
    for (auto &group : FSummaryGroups)
        for (int i = 0; i < group->LinkCount(); ++i) {
            TkvDataSummaryGroupItemLink *link = group->Links(i);
            if (link != except && link->SummaryField() == field)
                link->SetSummaryField(nullptr);
        }
}

void TkvDataSummary::Recalculate()
{
    if (!FHost)
        return;
    ResolveFieldNames();
    CalculateFooter();
    CalculateGroups();
    RunAfterSummary();
}

void TkvDataSummary::RunAfterSummary()
{
    if (!OnAfterSummary)
        return;
    if (FHost->SummaryOwnerLoading()) {
        FAfterSummaryPending = true;
        return;
    }
    FInAfterSummary = true;
    try {
        OnAfterSummary(this);
    } catch (...) {
        FInAfterSummary = false;
        throw;
    }
    FInAfterSummary = false;
}

bool TkvDataSummary::FollowFooterRecord(const std::vector<Variant> *oldValues,
                                        const std::vector<Variant> *newValues)
{
    const int count = FFooterSummaryItems.Count();
    if (!FHost || FFooterSummaryItems.OnSummary || (FOptions & soSelectedRecords) ||
        FHost->SummaryGridMode() || !FFooterValues.isArray() ||
        int(FFooterValues.elements().size()) != count || (oldValues && int(oldValues->size()) != count) ||
        (newValues && int(newValues->size()) != count) || FHost->SummaryRecordList().empty())
        return false;
    const bool nullIgnore = FOptions & soNullIgnore;
    std::vector<Variant> values = FFooterValues.elements();
    std::vector<std::optional<TMoneySum>> moneySums = FFooterMoneySums;
    moneySums.resize(std::size_t(count));
    for (int i = 0; i < count; ++i) {
        const TkvDataSummaryItem *item = FFooterSummaryItems.Items(i);
        if (item->Kind() == skNone || !item->GetSummaryField())
            continue;
        const Variant *before = oldValues ? &(*oldValues)[std::size_t(i)] : nullptr;
        const Variant *after = newValues ? &(*newValues)[std::size_t(i)] : nullptr;
        if (before && before->isNull() && nullIgnore)
            before = nullptr;
        if (after && after->isNull() && nullIgnore)
            after = nullptr;
        Variant &value = values[std::size_t(i)];
        if (item->Kind() == skCount) {
            if (value.type() != VarType::Int32)
                return false;
            value = Variant(int(value.toInt32() - (before ? 1 : 0) + (after ? 1 : 0)));
            continue;
        }
        if (item->Kind() != skSum)
            return false;
        // A Null counts as nothing in a sum; the sum keeps its kind.
        auto partOf = [](const Variant *v) { return v && !v->isNull() ? v : nullptr; };
        const Variant *out = partOf(before);
        const Variant *in = partOf(after);
        for (const Variant *part : {out, in})
            if (part && part->type() != value.type())
                return false;
        if (value.type() == VarType::Float64) {
            // Only the exact total can take a record out again without drift.
            std::optional<TMoneySum> &money = moneySums[std::size_t(i)];
            if (!money)
                return false;
            if (out)
                money->Subtract(out->toDouble());
            if (in)
                money->Add(in->toDouble());
            value = Variant(money->Value());
        } else if (value.type() == VarType::Currency) {
            std::int64_t scaled = value.toCurrency().scaled;
            if ((out && __builtin_sub_overflow(scaled, out->toCurrency().scaled, &scaled)) ||
                (in && __builtin_add_overflow(scaled, in->toCurrency().scaled, &scaled)))
                return false;
            value = Variant(Currency{scaled});
        } else {
            return false;
        }
    }
    FFooterValues = Variant::fromArray(std::move(values));
    FFooterMoneySums = std::move(moneySums);
    RunAfterSummary(); // as after a recalculation: the owner sees the new values
    return true;
}

void TkvDataSummary::OwnerLoaded()
{
    if (!FAfterSummaryPending || !OnAfterSummary)
        return;
    FAfterSummaryPending = false;
    FInAfterSummary = true;
    OnAfterSummary(this);
    FInAfterSummary = false;
}

void TkvDataSummary::ResolveFieldNames()
{
    auto resolveIn = [](TkvDataSummaryItems &items) {
        for (int i = 0; i < items.Count(); ++i)
            if (auto *item = dynamic_cast<TkvDBDataSummaryItem *>(items.Items(i)))
                item->ResolveFieldName();
    };
    resolveIn(FFooterSummaryItems);
    resolveIn(FDefaultGroupSummaryItems);
    for (auto &group : FSummaryGroups)
        resolveIn(group->SummaryItems());
}

void TkvDataSummary::CalculateFooter()
{
    static const std::vector<int> noRecords;
    const std::vector<int> &records = FHost->SummaryGridMode() ? noRecords : FHost->SummaryRecordList();
    // Computed aside first, so a failing variant operation keeps the old values.
    Variant values;
    std::vector<std::optional<TMoneySum>> moneySums;
    CalculateSummaryRuns(*FHost, FFooterSummaryItems, FOptions, records, {{0, int(records.size())}},
                         [&](int, Variant &&runValues, std::vector<std::optional<TMoneySum>> &&runSums) {
                             values = std::move(runValues);
                             moneySums = std::move(runSums);
                         });
    FFooterValues = std::move(values);
    FFooterMoneySums = std::move(moneySums);
}

void TkvDataSummary::CalculateGroups()
{
    TkvDataGroups *groups = FHost->SummaryDataGroups();
    if (!groups)
        return;
    const std::vector<int> &records = FHost->SummaryRecordList();
    for (int groupIndex = 0; groupIndex < groups->Count(); ++groupIndex)
        groups->Item(groupIndex).SummaryValues = Variant();
    for (int level = 0; level < groups->LevelCount(); ++level) {
        const TkvDataGroupSummaryItems *items = LevelSummaryItems(level);
        if (!items)
            continue;
        // The groups of one level are runs of the list, summed together.
        std::vector<int> groupIndexes;
        std::vector<std::pair<int, int>> runs;
        for (int groupIndex = 0; groupIndex < groups->Count(); ++groupIndex) {
            if (groups->Item(groupIndex).Level != level)
                continue;
            groupIndexes.push_back(groupIndex);
            runs.emplace_back(groups->FirstRecordPosition(groupIndex),
                              groups->LastRecordPosition(groupIndex) + 1);
        }
        CalculateSummaryRuns(*FHost, *items, FOptions, records, runs,
                             [&](int run, Variant &&values, std::vector<std::optional<TMoneySum>> &&) {
                                 groups->Item(groupIndexes[std::size_t(run)]).SummaryValues =
                                     std::move(values);
                             });
    }
}

bool TkvDataSummary::RecalculateGroupsAt(int position)
{
    TkvDataGroups *groups = FHost ? FHost->SummaryDataGroups() : nullptr;
    if (!groups || FHost->SummaryGridMode())
        return false;
    const std::vector<int> &records = FHost->SummaryRecordList();
    std::vector<std::pair<int, Variant>> values; // computed aside: an error keeps the old ones
    for (int level = 0; level < groups->LevelCount(); ++level) {
        const int groupIndex = groups->GroupIndexByRecordPosition(position, level);
        if (groupIndex < 0)
            return false;
        const TkvDataGroupSummaryItems *items = LevelSummaryItems(level);
        values.emplace_back(groupIndex,
                            items ? CalculateSummaryItems(*FHost, *items, FOptions, records,
                                                          groups->FirstRecordPosition(groupIndex),
                                                          groups->LastRecordPosition(groupIndex) + 1)
                                  : Variant());
    }
    for (auto &[groupIndex, value] : values)
        groups->Item(groupIndex).SummaryValues = std::move(value);
    return true;
}

Variant TkvDataSummary::FooterValues(int itemIndex) const
{
    if (!FFooterValues.isArray() || itemIndex < 0 || itemIndex > FFooterValues.arrayHighBound())
        return Variant::null();
    return FFooterValues.at(itemIndex);
}

QString TkvDataSummary::FooterText(int itemIndex) const
{
    if (itemIndex < 0 || itemIndex >= FFooterSummaryItems.Count())
        return QString();
    return FFooterSummaryItems.Items(itemIndex)->RenderValue(FooterValues(itemIndex), true);
}

TkvDataGroupSummaryItems *TkvDataSummary::LevelSummaryItems(int level) const
{
    TkvDataGroups *groups = FHost ? FHost->SummaryDataGroups() : nullptr;
    if (!groups || level < 0 || level >= groups->LevelCount())
        return nullptr;
    const TkvCustomDataField *field = groups->Fields()[level];
    for (const auto &group : FSummaryGroups)
        if (group->LinksField(field))
            return &group->SummaryItems();
    return const_cast<TkvDataGroupSummaryItems *>(&FDefaultGroupSummaryItems);
}

QString TkvDataSummary::GroupRowSummary(int rowIndex) const
{
    TkvDataGroups *groups = FHost ? FHost->SummaryDataGroups() : nullptr;
    if (!groups || rowIndex < 0 || rowIndex >= groups->RowCount())
        return QString();
    const TkvGroupRowInfo info = groups->RowInfo(rowIndex);
    if (!info.IsGroupRow)
        return QString();
    const TkvDataGroupInfo &node = groups->Item(info.GroupIndex);
    const TkvDataGroupSummaryItems *items = LevelSummaryItems(node.Level);
    if (!items || node.SummaryValues.isEmpty())
        return QString();
    return items->ComposeGroupText(node.SummaryValues);
}

QString TkvDataSummary::GroupFooterText(int rowIndex, int level, int itemIndex) const
{
    TkvDataGroups *groups = FHost ? FHost->SummaryDataGroups() : nullptr;
    if (!groups || rowIndex < 0 || rowIndex >= groups->RowCount())
        return QString();
    const TkvDataGroupSummaryItems *items = LevelSummaryItems(level);
    int groupIndex = groups->RowInfo(rowIndex).GroupIndex;
    if (!items || groupIndex < 0)
        return QString();
    while (groupIndex >= 0 && groups->Item(groupIndex).Level > level)
        groupIndex = groups->ParentIndex(groupIndex);
    if (groupIndex < 0 || groups->Item(groupIndex).Level != level)
        return QString();
    const Variant &values = groups->Item(groupIndex).SummaryValues;
    if (!values.isArray() || itemIndex < 0 || itemIndex > values.arrayHighBound() ||
        itemIndex >= items->Count())
        return QString();
    return items->Items(itemIndex)->RenderValue(values.at(itemIndex), true);
}

int TkvDataSummary::FooterItemIndexOf(const void *item) const
{
    return FFooterSummaryItems.IndexOfItem(item);
}

int TkvDataSummary::GroupFooterItemIndexOf(int level, const void *item) const
{
    const TkvDataGroupSummaryItems *items = LevelSummaryItems(level);
    return items ? items->IndexOfItem(item, spFooter) : -1;
}

void TkvDataSummary::ForgetField(TkvCustomDataField *field)
{
    bool cleared = false;
    BeginBatch();
    auto forgetIn = [&](TkvDataSummaryItems &items) {
        for (int i = 0; i < items.Count(); ++i) {
            TkvDataSummaryItem *item = items.Items(i);
            if (item->SummaryField() == field) {
                item->SetSummaryField(nullptr);
                cleared = true;
            }
            if (auto *db = dynamic_cast<TkvDBDataSummaryItem *>(item); db && db->NamedField() == field) {
                db->ForgetNamedField();
                cleared = true;
            }
        }
    };
    forgetIn(FFooterSummaryItems);
    forgetIn(FDefaultGroupSummaryItems);
    for (auto &group : FSummaryGroups) {
        forgetIn(group->SummaryItems());
        for (int i = 0; i < group->LinkCount(); ++i)
            if (group->Links(i)->SummaryField() == field) {
                group->Links(i)->SetSummaryField(nullptr);
                cleared = true;
            }
    }
    --FLockCount; // closes the bracket without signalling when nothing changed
    if (cleared)
        NotifySummaryChange(false);
    if (FHost)
        FHost->SummaryEndUpdate();
}

void TkvDataSummary::Assign(const TkvDataSummary &source)
{
    BeginBatch();
    FFooterSummaryItems.Assign(source.FFooterSummaryItems);
    FDefaultGroupSummaryItems.Assign(source.FDefaultGroupSummaryItems);
    FSummaryGroups.clear();
    for (const auto &from : source.FSummaryGroups) {
        TkvDataSummaryGroup &to = AddSummaryGroup();
        for (int i = 0; i < from->LinkCount(); ++i)
            to.AddLink(from->Links(i)->LinkedItem());
        to.SummaryItems().Assign(from->SummaryItems());
    }
    FOptions = source.FOptions;
    OnAfterSummary = source.OnAfterSummary;
    EndBatch();
}

void TkvDataSummary::BeginBatch()
{
    ++FLockCount;
    if (FHost)
        FHost->SummaryBeginUpdate();
}

void TkvDataSummary::EndBatch()
{
    --FLockCount;
    NotifySummaryChange(false);
    if (FHost)
        FHost->SummaryEndUpdate();
}

void TkvDataSummary::NotifySummaryChange(bool redrawOnly)
{
    if (FLockCount > 0 || FInAfterSummary || FDestroying || !FHost)
        return;
    FHost->SummaryChanged(redrawOnly);
}

} // namespace kestrum
