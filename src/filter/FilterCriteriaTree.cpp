#include "filter/FilterCriteriaTree.h"

#include "core/Codepage.h"
#include "core/DateTime.h"
#include "core/Errors.h"
#include "core/RegionalSettings.h"
#include "core/VariantCompare.h"
#include "filter/FilterCriteriaStream.h"
#include "filter/FilterCriteriaText.h"

namespace kestrum {

TkvFilterCriteria::TkvFilterCriteria()
    : FRoot(std::make_unique<TkvFilterCriteriaItemList>(nullptr, bcAnd, this))
{
}

TkvFilterCriteria::~TkvFilterCriteria()
{
    FDestroying = true;
    FRoot.reset();
}

// ---------------------------------------------------------------------------
// Tree

std::unique_ptr<TkvFilterCriteriaItem> TkvFilterCriteria::CreateItem(TkvFilterCriteriaItemList *parent,
                                                                     TkvFilterItemLink itemLink,
                                                                     TkvFilterOperatorCode operatorKind,
                                                                     const Variant &value,
                                                                     const QString &displayText)
{
    return std::make_unique<TkvFilterCriteriaItem>(parent, itemLink, operatorKind, value, displayText);
}

TkvFilterCriteriaItem *TkvFilterCriteria::AppendCondition(TkvFilterCriteriaItemList *parent,
                                                          TkvFilterItemLink itemLink,
                                                          TkvFilterOperatorCode operatorKind,
                                                          const Variant &value, const QString &displayText)
{
    if (!parent)
        parent = FRoot.get();
    auto *item = static_cast<TkvFilterCriteriaItem *>(
        parent->AddItem(CreateItem(parent, ResolveItemLink(itemLink), operatorKind, value, displayText)));
    Changed();
    return item;
}

TkvFilterCriteriaItemList *TkvFilterCriteria::AppendSubList(TkvFilterCriteriaItemList *parent,
                                                            TkvFilterBoolCode boolOperatorKind)
{
    if (!parent)
        parent = FRoot.get();
    auto *list = static_cast<TkvFilterCriteriaItemList *>(
        parent->AddItem(std::make_unique<TkvFilterCriteriaItemList>(parent, boolOperatorKind)));
    Changed();
    return list;
}

void TkvFilterCriteria::ClearTree()
{
    BeginBatch();
    FRoot->ClearItems();
    FRoot->SetBoolOperatorKind(bcAnd);
    Changed();
    EndBatch();
}

namespace {

TkvFilterCriteriaItem *FindIn(const TkvFilterCriteriaItemList &list, TkvFilterItemLink itemLink)
{
    for (int i = 0; i < list.Count(); ++i) {
        TkvCustomFilterCriteriaItem *item = list.Items(i);
        if (item->IsItemList()) {
            if (TkvFilterCriteriaItem *found =
                    FindIn(*static_cast<TkvFilterCriteriaItemList *>(item), itemLink))
                return found;
        } else if (static_cast<TkvFilterCriteriaItem *>(item)->ItemLink() == itemLink) {
            return static_cast<TkvFilterCriteriaItem *>(item);
        }
    }
    return nullptr;
}

int CountLeaves(const TkvFilterCriteriaItemList &list)
{
    int count = 0;
    for (int i = 0; i < list.Count(); ++i) {
        const TkvCustomFilterCriteriaItem *item = list.Items(i);
        count += item->IsItemList() ? CountLeaves(*static_cast<const TkvFilterCriteriaItemList *>(item)) : 1;
    }
    return count;
}

} // namespace

int TkvFilterCriteria::ConditionCount() const
{
    return CountLeaves(*FRoot);
}

TkvFilterCriteriaItem *TkvFilterCriteria::FindConditionOf(TkvFilterItemLink itemLink) const
{
    return FindIn(*FRoot, ResolveItemLink(itemLink));
}

void TkvFilterCriteria::RemoveConditionsOf(TkvFilterItemLink itemLink)
{
    itemLink = ResolveItemLink(itemLink);
    bool removed = false;
    BeginBatch();
    while (TkvFilterCriteriaItem *item = FindConditionOf(itemLink)) {
        TkvFilterCriteriaItemList *parent = item->Parent();
        parent->TakeItem(item).reset();
        removed = true;
        // Tidy the parent once: an inner list left empty goes, one left with a
        // single child hands it to its own parent (at the end).
        if (parent == FRoot.get())
            continue;
        TkvFilterCriteriaItemList *grandParent = parent->Parent();
        if (parent->Count() == 0) {
            grandParent->TakeItem(parent).reset();
        } else if (parent->Count() == 1) {
            std::unique_ptr<TkvCustomFilterCriteriaItem> child = parent->TakeItem(parent->Items(0));
            grandParent->TakeItem(parent).reset();
            grandParent->AddItem(std::move(child));
        }
    }
    if (removed) {
        Changed();
        EndBatch();
    } else {
        --FLockCount; // nothing changed: no change path
    }
}

// ---------------------------------------------------------------------------
// Change path

void TkvFilterCriteria::EndBatch()
{
    if (FLockCount > 0)
        --FLockCount;
    if (FLockCount == 0)
        Changed();
}

void TkvFilterCriteria::EndBatchQuietly()
{
    if (FLockCount > 0)
        --FLockCount;
    PrepareOperators();
}

void TkvFilterCriteria::Changed()
{
    ++FGeneration;
    if (FLockCount > 0 || FDestroying || !CanChange())
        return;
    BeforeChange();
    PrepareOperators();
    DoChanged();
    if (OnChanged)
        OnChanged(this);
}

void TkvFilterCriteria::PrepareList(TkvFilterCriteriaItemList &list)
{
    for (int i = 0; i < list.Count(); ++i) {
        TkvCustomFilterCriteriaItem *item = list.Items(i);
        if (item->IsItemList())
            PrepareList(*static_cast<TkvFilterCriteriaItemList *>(item));
        else
            static_cast<TkvFilterCriteriaItem *>(item)->Operator().Prepare();
    }
}

void TkvFilterCriteria::PrepareOperators()
{
    PrepareList(*FRoot);
    FOperatorsGeneration = FGeneration;
}

// ---------------------------------------------------------------------------
// Properties

void TkvFilterCriteria::SetMaxValueListCount(int value)
{
    if (FMaxValueListCount == value)
        return;
    FMaxValueListCount = value;
    Changed();
}

void TkvFilterCriteria::SetOptions(TkvFilterCriteriaOptions value)
{
    if (FOptions == value)
        return;
    const bool nullTestChanged = FOptions.Contains(fcoSoftNull) != value.Contains(fcoSoftNull);
    FOptions = value;
    BeginBatch();
    if (nullTestChanged) {
        // The operator class of equal and like leaves depends on the null test.
        std::vector<TkvFilterCriteriaItemList *> lists{FRoot.get()};
        while (!lists.empty()) {
            TkvFilterCriteriaItemList *list = lists.back();
            lists.pop_back();
            for (int i = 0; i < list->Count(); ++i) {
                TkvCustomFilterCriteriaItem *item = list->Items(i);
                if (item->IsItemList())
                    lists.push_back(static_cast<TkvFilterCriteriaItemList *>(item));
                else
                    static_cast<TkvFilterCriteriaItem *>(item)->RecreateOperator();
            }
        }
    }
    Changed();
    EndBatch();
}

void TkvFilterCriteria::SetPercentWildcard(const QString &value)
{
    if (FPercentWildcard == value)
        return;
    FPercentWildcard = value;
    Changed();
}

void TkvFilterCriteria::SetUnderscoreWildcard(const QString &value)
{
    if (FUnderscoreWildcard == value)
        return;
    FUnderscoreWildcard = value;
    Changed();
}

void TkvFilterCriteria::SetDateTimeFormat(const QString &value)
{
    if (FDateTimeFormat == value)
        return;
    FDateTimeFormat = value;
    Changed();
}

void TkvFilterCriteria::Assign(const TkvFilterCriteria &source)
{
    if (&source == this)
        return;
    BeginBatch();
    try {
        FDateTimeFormat = source.FDateTimeFormat;
        FMaxValueListCount = source.FMaxValueListCount;
        SetOptions(source.FOptions);
        FPercentWildcard = source.FPercentWildcard;
        FUnderscoreWildcard = source.FUnderscoreWildcard;
        LoadFromBytes(source.SaveToBytes());
        OnChanged = source.OnChanged;
    } catch (...) {
        EndBatch();
        throw;
    }
    Changed();
    EndBatch();
}

void TkvFilterCriteria::RestoreDefaults()
{
    BeginBatch();
    SetOptions({});
    FPercentWildcard = QStringLiteral("%");
    FUnderscoreWildcard = QStringLiteral("_");
    Changed();
    EndBatch();
}

double TkvFilterCriteria::Today() const
{
    return DateOf(FToday ? FToday() : kestrum::Today());
}

// ---------------------------------------------------------------------------
// Values and evaluation

bool TkvFilterCriteria::IsNull(const Variant &value) const
{
    return FOptions.Contains(fcoSoftNull) ? IsNullOrEmptyText(value) : value.isNull();
}

Variant TkvFilterCriteria::PrepareValue(const Variant &value) const
{
    switch (value.type()) {
    case VarType::Currency:
        return Variant(value.toDouble());
    case VarType::String:
    case VarType::WideString:
        if (FOptions.Contains(fcoCaseInsensitive))
            return Variant::fromNarrow(toNarrow(regionalSettings().upper(value.toString())));
        return value;
    default:
        return value;
    }
}

namespace {

char WildcardChar(const QString &wildcard, char fallback)
{
    if (wildcard.isEmpty() || wildcard.at(0).unicode() > 0x7F)
        return fallback;
    return char(wildcard.at(0).unicode());
}

} // namespace

char TkvFilterCriteria::PercentChar() const
{
    return WildcardChar(FPercentWildcard, '%');
}

char TkvFilterCriteria::UnderscoreChar() const
{
    return WildcardChar(FUnderscoreWildcard, '_');
}

bool TkvFilterCriteria::EvaluateRecord(int recordIndex)
{
    PrepareOperatorsWhenChanged();
    return FRoot->Evaluate(recordIndex);
}

// ---------------------------------------------------------------------------
// Item links

int TkvFilterCriteria::ItemIDByItemLink(TkvFilterItemLink) const
{
    return -1;
}

TkvFilterItemLink TkvFilterCriteria::ItemLinkByID(int) const
{
    return nullptr;
}

QString TkvFilterCriteria::ItemCaption(TkvFilterItemLink) const
{
    return {};
}

QString TkvFilterCriteria::ItemFieldName(TkvFilterItemLink) const
{
    return {};
}

Variant TkvFilterCriteria::GetRecordValue(const TkvFilterCriteriaItem &, int) const
{
    return Variant::null();
}

// The stream and the text forms live in classes of their own; these keep the
// criteria's own interface.

void TkvFilterCriteria::WriteCriteria(BinaryWriter &writer) const
{
    TkvFilterCriteriaStream::Write(*this, writer);
}

void TkvFilterCriteria::ReadCriteria(BinaryReader &reader)
{
    TkvFilterCriteriaStream(*this).Read(reader);
}

std::string TkvFilterCriteria::SaveToBytes() const
{
    return TkvFilterCriteriaStream::SaveToBytes(*this);
}

void TkvFilterCriteria::LoadFromBytes(const std::string &bytes)
{
    TkvFilterCriteriaStream(*this).LoadFromBytes(bytes);
}

QString TkvFilterCriteria::FilterText(bool display) const
{
    return TkvFilterCriteriaText(*this).FilterText(display);
}

QString TkvFilterCriteria::ItemText(const TkvFilterCriteriaItem &item, bool display) const
{
    return TkvFilterCriteriaText(*this).ItemText(item, display);
}

QString TkvFilterCriteria::ListText(const TkvFilterCriteriaItemList &list, bool display) const
{
    return TkvFilterCriteriaText(*this).ListText(list, display);
}

QString TkvFilterCriteria::FormatDateTime(double dateTime) const
{
    return TkvFilterCriteriaText::DateTimeText(FDateTimeFormat, dateTime);
}

QString TkvFilterCriteria::ValueExpression(const Variant &value) const
{
    return TkvFilterCriteriaText(*this).ValueExpression(value);
}

} // namespace kestrum
