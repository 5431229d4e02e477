#include "filter/DataFilterCriteria.h"

#include "data/DataController.h"
#include "data/DbDataController.h"
#include "db/DbQuery.h"

#include <vector>

namespace kestrum {

TkvDataFilterCriteria::TkvDataFilterCriteria(TkvCustomDataController &dataController)
    : FDataController(dataController)
{
}

TkvDataFilterCriteria::~TkvDataFilterCriteria()
{
    // Silently inactive: the controller is not told while its criteria goes.
    FDestroying = true;
    FActive = false;
}

void TkvDataFilterCriteria::SetActive(bool value)
{
    if (FActive == value)
        return;
    FActive = value;
    Changed();
}

std::size_t TkvDataFilterCriteria::FilterRecords(int count, int exemptRecord, int *kept)
{
    // A lone condition (the usual quick filter on one column), or conditions
    // on columns joined by AND (a custom filter), run their tests each in a
    // loop of its own over the records instead of through the tree for every
    // record, each keeping of the ones listed so far those it passes.
    TkvFilterCriteriaItemList &root = Root();
    const TkvFilterBoolCode join = root.BoolOperatorKind();
    std::vector<TkvDataFilterCriteriaItem *> leaves;
    if (root.Count() == 1 || (root.Count() > 1 && join == bcAnd)) {
        for (int i = 0; i < root.Count(); ++i) {
            auto *item = dynamic_cast<TkvDataFilterCriteriaItem *>(root.Items(i));
            if (!item) {
                leaves.clear();
                break;
            }
            leaves.push_back(item);
        }
    }
    if (leaves.empty())
        return IkvFilterCriteria::FilterRecords(count, exemptRecord, kept);
    PrepareOperatorsWhenChanged();
    const bool negate = leaves.size() == 1 && (join == bcNotAnd || join == bcNotOr);
    std::size_t keptCount = leaves.front()->FilterRecords(count, exemptRecord, negate, kept);
    for (std::size_t i = 1; i < leaves.size(); ++i)
        keptCount = leaves[i]->RefineRecords(count, exemptRecord, kept, keptCount);
    return keptCount;
}

bool TkvDataFilterCriteria::FiltersRows() const
{
    return FActive && !IsEmptyTree() && !FDataController.Provider().IsGridMode();
}

void TkvDataFilterCriteria::Assign(const TkvFilterCriteria &source)
{
    BeginBatch();
    try {
        TkvFilterCriteria::Assign(source);
        if (const auto *data = dynamic_cast<const TkvDataFilterCriteria *>(&source)) {
            FActive = data->FActive;
            OnGetValueList = data->OnGetValueList;
        }
    } catch (...) {
        EndBatch();
        throw;
    }
    Changed();
    EndBatch();
}

TkvCustomDataField *TkvDataFilterCriteria::ItemField(int itemIndex) const
{
    if (itemIndex < 0 || itemIndex >= FDataController.ItemCount())
        return nullptr;
    return FDataController.GetItemField(itemIndex);
}

TkvFilterCriteriaItem *
TkvDataFilterCriteria::AddItemCondition(TkvFilterCriteriaItemList *parent, TkvFilterItemLink itemLink,
                                        TkvFilterOperatorCode operatorKind, const Variant &value,
                                        std::optional<QString> displayText, bool replaceExisting)
{
    BeginBatch();
    TkvFilterCriteriaItem *item = nullptr;
    try {
        const TkvFilterItemLink link = ResolveItemLink(itemLink);
        if (replaceExisting)
            RemoveConditionsOf(link);
        QString text;
        if (displayText)
            text = *displayText;
        else if (!value.isNull())
            text = value.displayText();
        item = AppendCondition(parent, link, operatorKind, value, text);
    } catch (...) {
        EndBatch();
        throw;
    }
    EndBatch();
    return item;
}

TkvFilterItemLink TkvDataFilterCriteria::ResolveItemLink(TkvFilterItemLink itemLink) const
{
    if (!itemLink)
        return nullptr;
    const TkvCustomDataFieldList &fields = FDataController.Fields();
    if (fields.IndexOf(static_cast<TkvCustomDataField *>(itemLink)) >= 0)
        return itemLink;
    if (TkvCustomDataField *field = fields.FieldByItem(itemLink))
        return field;
    return nullptr;
}

int TkvDataFilterCriteria::ItemIDByItemLink(TkvFilterItemLink itemLink) const
{
    const auto *field = static_cast<const TkvCustomDataField *>(itemLink);
    if (!field || FDataController.Fields().IndexOf(field) < 0 || field->IsInternal())
        return -1;
    if (const IkvDataControllerOwner *owner = FDataController.Owner()) {
        const int id = owner->ItemID(field->Item());
        if (id >= 0)
            return id;
    }
    return field->ItemIndex();
}

TkvFilterItemLink TkvDataFilterCriteria::ItemLinkByID(int id) const
{
    if (id < 0)
        return nullptr;
    if (const IkvDataControllerOwner *owner = FDataController.Owner()) {
        if (TkvDataItem item = owner->ItemByID(id))
            return FDataController.Fields().FieldByItem(item);
        // An owner that numbers its items has no item of this ID.
        for (int i = 0; i < FDataController.ItemCount(); ++i)
            if (owner->ItemID(FDataController.GetItem(i)) >= 0)
                return nullptr;
    }
    return ItemField(id);
}

QString TkvDataFilterCriteria::ItemCaption(TkvFilterItemLink itemLink) const
{
    const auto *field = static_cast<const TkvCustomDataField *>(itemLink);
    if (!field)
        return {};
    if (const IkvDataControllerOwner *owner = FDataController.Owner()) {
        const QString caption = owner->ItemCaption(field->Item());
        if (!caption.isEmpty())
            return caption;
    }
    return ItemFieldName(itemLink);
}

QString TkvDataFilterCriteria::ItemFieldName(TkvFilterItemLink itemLink) const
{
    const auto *field = static_cast<const TkvCustomDataField *>(itemLink);
    if (!field)
        return {};
    if (const auto *db = dynamic_cast<const TkvDBDataController *>(&FDataController))
        if (field->ItemIndex() >= 0)
            return db->GetItemFieldName(field->ItemIndex());
    if (const IkvDataControllerOwner *owner = FDataController.Owner())
        return owner->ItemFieldName(field->Item());
    return {};
}

Variant TkvDataFilterCriteria::GetRecordValue(const TkvFilterCriteriaItem &item, int recordIndex) const
{
    const auto *field = static_cast<const TkvCustomDataField *>(item.ItemLink());
    if (!field)
        return Variant::null();
    return FDataController.GetFieldValue(recordIndex, field);
}

std::unique_ptr<TkvFilterCriteriaItem> TkvDataFilterCriteria::CreateItem(TkvFilterCriteriaItemList *parent,
                                                                         TkvFilterItemLink itemLink,
                                                                         TkvFilterOperatorCode operatorKind,
                                                                         const Variant &value,
                                                                         const QString &displayText)
{
    return std::make_unique<TkvDataFilterCriteriaItem>(parent, itemLink, operatorKind, value, displayText);
}

bool TkvDataFilterCriteria::CanChange() const
{
    return TkvFilterCriteria::CanChange() && !FDataController.IsOwnerLoading() &&
           !FDataController.IsOwnerDestroying();
}

void TkvDataFilterCriteria::DoChanged()
{
    try {
        FDataController.FilterChanged();
    } catch (const Exception &) {
        RestoreApplied();
        throw;
    }
    NoteApplied();
}

void TkvDataFilterCriteria::NoteApplied()
{
    try {
        FApplied = TkvAppliedFilter{SaveToBytes(), FActive, Options()};
    } catch (const Exception &) {
        FApplied.reset(); // a tree that cannot be written cannot be gone back to either
    }
}

void TkvDataFilterCriteria::RestoreApplied()
{
    const TkvAppliedFilter applied = FApplied.value_or(TkvAppliedFilter{});
    // Quietly: the rows were left as this state filtered them.
    BeginBatch();
    try {
        SetOptions(applied.Options);
        if (applied.Tree.empty())
            ClearTree();
        else
            LoadFromBytes(applied.Tree);
    } catch (const Exception &) {
        ClearTree();
    }
    FActive = applied.Active;
    EndBatchQuietly();
}

// ---------------------------------------------------------------------------
// TkvDBDataFilterCriteria

void TkvDBDataFilterCriteria::SetAutoDataSetFilter(bool value)
{
    if (FAutoDataSetFilter == value)
        return;
    FAutoDataSetFilter = value;
    Changed();
}

TDbQuery *TkvDBDataFilterCriteria::DataSet() const
{
    const auto *db = dynamic_cast<const TkvDBDataController *>(&DataController());
    return db ? db->DataSet() : nullptr;
}

bool TkvDBDataFilterCriteria::FiltersRows() const
{
    return TkvDataFilterCriteria::FiltersRows() && !OnBeforeChange && !FAutoDataSetFilter;
}

bool TkvDBDataFilterCriteria::IsQueryExpression() const
{
    return DataSet() != nullptr;
}

void TkvDBDataFilterCriteria::Assign(const TkvFilterCriteria &source)
{
    BeginBatch();
    try {
        TkvDataFilterCriteria::Assign(source);
        if (const auto *db = dynamic_cast<const TkvDBDataFilterCriteria *>(&source)) {
            FAutoDataSetFilter = db->FAutoDataSetFilter;
            FIgnoreOrigin = db->FIgnoreOrigin;
            OnBeforeChange = db->OnBeforeChange;
        }
    } catch (...) {
        EndBatch();
        throw;
    }
    Changed();
    EndBatch();
}

void TkvDBDataFilterCriteria::RestoreDefaults()
{
    BeginBatch();
    TkvDataFilterCriteria::RestoreDefaults();
    FAutoDataSetFilter = false;
    FIgnoreOrigin = true;
    Changed();
    EndBatch();
}

void TkvDBDataFilterCriteria::BeforeChange()
{
    TDbQuery *dataSet = DataSet();
    if (OnBeforeChange)
        OnBeforeChange(this, dataSet, ExpressionText());
    if (FAutoDataSetFilter && dataSet) {
        const QString text = ExpressionText();
        dataSet->SetFilter(text);
        dataSet->SetFilterOptions(Options().Contains(fcoCaseInsensitive) ? TFilterOptions(foCaseInsensitive)
                                                                         : 0);
        dataSet->SetFiltered(Active() && !text.isEmpty());
    }
}

TkvDataFilterCriteria *DataFilterCriteriaOf(const TkvCustomDataController &dataController)
{
    return dynamic_cast<TkvDataFilterCriteria *>(&dataController.Filter());
}

} // namespace kestrum
