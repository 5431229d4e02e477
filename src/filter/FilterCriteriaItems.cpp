#include "filter/FilterCriteriaItems.h"

#include "core/Codepage.h"
#include "core/Errors.h"
#include "core/VariantStream.h"
#include "filter/FilterCriteriaTree.h"

#include <algorithm>

namespace kestrum {

// ---------------------------------------------------------------------------
// TkvCustomFilterCriteriaItem

TkvFilterCriteria *TkvCustomFilterCriteriaItem::Criteria() const
{
    return FParent ? FParent->Criteria() : nullptr;
}

void TkvCustomFilterCriteriaItem::Changed()
{
    if (TkvFilterCriteria *criteria = Criteria())
        criteria->Changed();
}

// ---------------------------------------------------------------------------
// TkvFilterCriteriaItemList

TkvFilterCriteriaItemList::TkvFilterCriteriaItemList(TkvFilterCriteriaItemList *parent,
                                                     TkvFilterBoolCode boolOperatorKind,
                                                     TkvFilterCriteria *criteria)
    : TkvCustomFilterCriteriaItem(parent), FBoolOperatorKind(boolOperatorKind), FCriteria(criteria)
{
}

TkvFilterCriteriaItemList::~TkvFilterCriteriaItemList()
{
    // Children last to first, so a child never sees a half-emptied list.
    while (!FItems.empty())
        FItems.pop_back();
}

TkvFilterCriteria *TkvFilterCriteriaItemList::Criteria() const
{
    return FCriteria ? FCriteria : TkvCustomFilterCriteriaItem::Criteria();
}

void TkvFilterCriteriaItemList::SetBoolOperatorKind(TkvFilterBoolCode value)
{
    if (FBoolOperatorKind == value)
        return;
    FBoolOperatorKind = value;
    Changed();
}

int TkvFilterCriteriaItemList::IndexOf(const TkvCustomFilterCriteriaItem *item) const
{
    for (std::size_t i = 0; i < FItems.size(); ++i)
        if (FItems[i].get() == item)
            return int(i);
    return -1;
}

TkvFilterCriteriaItemList *TkvFilterCriteriaItemList::AppendSubList(TkvFilterBoolCode boolOperatorKind)
{
    if (TkvFilterCriteria *criteria = Criteria())
        return criteria->AppendSubList(this, boolOperatorKind);
    auto *list = new TkvFilterCriteriaItemList(this, boolOperatorKind);
    AddItem(std::unique_ptr<TkvCustomFilterCriteriaItem>(list));
    return list;
}

void TkvFilterCriteriaItemList::RemoveItem(TkvCustomFilterCriteriaItem *item)
{
    std::unique_ptr<TkvCustomFilterCriteriaItem> taken = TakeItem(item);
    if (!taken)
        return;
    taken.reset();
    Changed();
}

TkvCustomFilterCriteriaItem *
TkvFilterCriteriaItemList::AddItem(std::unique_ptr<TkvCustomFilterCriteriaItem> item)
{
    item->FParent = this;
    FItems.push_back(std::move(item));
    return FItems.back().get();
}

std::unique_ptr<TkvCustomFilterCriteriaItem>
TkvFilterCriteriaItemList::TakeItem(TkvCustomFilterCriteriaItem *item)
{
    const int index = IndexOf(item);
    if (index < 0)
        return nullptr;
    std::unique_ptr<TkvCustomFilterCriteriaItem> taken = std::move(FItems[std::size_t(index)]);
    FItems.erase(FItems.begin() + index);
    taken->FParent = nullptr;
    return taken;
}

void TkvFilterCriteriaItemList::ClearItems()
{
    while (!FItems.empty())
        FItems.pop_back();
}

void TkvFilterCriteriaItemList::WriteData(BinaryWriter &writer) const
{
    writer.writeU8(1);
    writer.writeU8(FBoolOperatorKind);
    writer.writeI32(Count());
    for (const auto &item : FItems) {
        item->WriteData(writer);
    }
}

bool TkvFilterCriteriaItemList::Evaluate(int recordIndex)
{
    // Every child is evaluated (no short cut), as a failing child must raise
    // its error whatever its neighbours say.
    bool result = true;
    bool first = true;
    for (const auto &item : FItems) {
        const bool value = item->Evaluate(recordIndex);
        if (first) {
            result = (FBoolOperatorKind == bcNotAnd || FBoolOperatorKind == bcNotOr) ? !value : value;
            first = false;
            continue;
        }
        switch (FBoolOperatorKind) {
        case bcAnd:
            result = result && value;
            break;
        case bcOr:
            result = result || value;
            break;
        case bcNotAnd:
            result = result || !value;
            break;
        case bcNotOr:
            result = result && !value;
            break;
        }
    }
    return result;
}

// ---------------------------------------------------------------------------
// TkvFilterCriteriaItem

TkvFilterCriteriaItem::TkvFilterCriteriaItem(TkvFilterCriteriaItemList *parent, TkvFilterItemLink itemLink,
                                             TkvFilterOperatorCode operatorKind, const Variant &value,
                                             const QString &displayValue)
    : TkvCustomFilterCriteriaItem(parent), FItemLink(itemLink), FOperatorKind(operatorKind), FValue(value),
      FDisplayValue(displayValue)
{
    RecreateOperator();
}

TkvFilterCriteriaItem::~TkvFilterCriteriaItem() = default;

void TkvFilterCriteriaItem::SetItemLink(TkvFilterItemLink value)
{
    if (FItemLink == value)
        return;
    FItemLink = value;
    Changed();
}

void TkvFilterCriteriaItem::SetOperatorKind(TkvFilterOperatorCode value)
{
    if (FOperatorKind == value)
        return;
    FOperatorKind = value;
    RecreateOperator();
    Changed();
}

void TkvFilterCriteriaItem::SetValue(const Variant &value)
{
    FValue = value;
    RecreateOperator();
    Changed();
}

void TkvFilterCriteriaItem::SetDisplayValue(const QString &value)
{
    if (FDisplayValue == value)
        return;
    FDisplayValue = value;
    RecreateOperator();
    Changed();
}

bool TkvFilterCriteriaItem::IsNull() const
{
    if (const TkvFilterCriteria *criteria = Criteria())
        return criteria->IsNull(FValue);
    return FValue.isNull();
}

void TkvFilterCriteriaItem::RecreateOperator()
{
    FOperator = CreateFilterOperator(*this, FOperatorKind, IsNull());
    const bool nullClass = dynamic_cast<TkvFilterNullOperator *>(FOperator.get()) != nullptr ||
                           dynamic_cast<TkvFilterNotNullOperator *>(FOperator.get()) != nullptr;
    if (nullClass && FDisplayValue.isEmpty())
        FDisplayValue = QString::fromUtf8("空");
    FPreparedGeneration = 0;
    FOperator->Prepare();
}

Variant TkvFilterCriteriaItem::GetRecordValue(int recordIndex) const
{
    if (const TkvFilterCriteria *criteria = Criteria())
        return criteria->GetRecordValue(*this, recordIndex);
    return Variant::null();
}

QString TkvFilterCriteriaItem::GetValueText(bool display) const
{
    if (display)
        return FOperator->AdjustDisplayText(FDisplayValue);
    return FOperator->ValueExpressionText();
}

QString TkvFilterCriteriaItem::GetFieldCaption() const
{
    const TkvFilterCriteria *criteria = Criteria();
    return criteria ? criteria->ItemCaption(FItemLink) : QString();
}

QString TkvFilterCriteriaItem::GetFieldName() const
{
    const TkvFilterCriteria *criteria = Criteria();
    return criteria ? criteria->ItemFieldName(FItemLink) : QString();
}

const Variant &TkvFilterCriteriaItem::PreparedValue()
{
    const TkvFilterCriteria *criteria = Criteria();
    const std::uint64_t generation = criteria ? criteria->Generation() : 1;
    if (FPreparedGeneration != generation) {
        FPreparedValue = criteria ? criteria->PrepareValue(FValue) : FValue;
        FPreparedGeneration = generation;
    }
    return FPreparedValue;
}

bool TkvFilterCriteriaItem::TestValue(const Variant &recordValue)
{
    const TkvFilterCriteria *criteria = Criteria();
    try {
        const Variant &k = PreparedValue();
        return FOperator->Evaluate(criteria ? criteria->PrepareValue(recordValue) : recordValue, k);
    } catch (const EVariantTypeError &) {
        if (criteria && criteria->Options().Contains(fcoSoftCompare))
            return false;
        throw;
    } catch (const EVariantConversionError &) {
        if (criteria && criteria->Options().Contains(fcoSoftCompare))
            return false;
        throw;
    } catch (const EVariantBadIndexError &) {
        if (criteria && criteria->Options().Contains(fcoSoftCompare))
            return false;
        throw;
    }
}

bool TkvFilterCriteriaItem::Evaluate(int recordIndex)
{
    return TestValue(GetRecordValue(recordIndex));
}

void TkvFilterCriteriaItem::WriteData(BinaryWriter &writer) const
{
    writer.writeU8(0);
    writer.writeU8(FOperatorKind);
    NarrowString display;
    try {
        display = toNarrow(FDisplayValue);
    } catch (const EEncodingError &) {
        throw EWriteError();
    }
    writer.writeI32(std::int32_t(display.size()));
    writer.writeBytes(display);
    const TkvFilterCriteria *criteria = Criteria();
    writer.writeI32(criteria ? criteria->ItemIDByItemLink(FItemLink) : -1);
    EncodeVariant(writer, FValue);
}

} // namespace kestrum
