#include "filterdialogs/NavigatorFilterLink.h"

#include "core/Errors.h"
#include "data/DbDataField.h"
#include "db/DbField.h"
#include "db/DbQuery.h"
#include "editors/DateEditProperties.h"
#include "editors/MaskEditProperties.h"
#include "editors/TextEditProperties.h"
#include "filterdialogs/FilterBuilderDialog.h"
#include "navigator/DbNavigatorButtons.h"

namespace kestrum {

struct TkvNavigatorFilterLink::Item {
    QString Caption;
    QString FieldName;
    TkvValueTypeClass ValueType = nullptr;
    std::unique_ptr<TkvCustomEditProperties> Properties;
};

namespace {

//! The editor a field would get by default: dates a date edit, memos a memo,
//! everything else a mask edit.
std::unique_ptr<TkvCustomEditProperties> PropertiesForField(TFieldType type)
{
    switch (type) {
    case ftDate:
    case ftDateTime:
    case ftTimeStamp:
        return std::make_unique<TkvDateEditProperties>();
    case ftMemo:
        return std::make_unique<TkvMemoProperties>();
    default:
        return std::make_unique<TkvMaskEditProperties>();
    }
}

bool IsFilterable(TFieldType type)
{
    switch (type) {
    case ftBytes:
    case ftVarBytes:
    case ftBlob:
    case ftUnknown:
        return false;
    default:
        return true;
    }
}

} // namespace

int TkvNavigatorFilterCriteria::ItemIDByItemLink(TkvFilterItemLink itemLink) const
{
    return FLink.IndexOfItemLink(itemLink);
}

TkvFilterItemLink TkvNavigatorFilterCriteria::ItemLinkByID(int id) const
{
    return id >= 0 && id < FLink.ItemCount() ? FLink.ItemLink(id) : nullptr;
}

QString TkvNavigatorFilterCriteria::ItemCaption(TkvFilterItemLink itemLink) const
{
    const int index = FLink.IndexOfItemLink(itemLink);
    return index < 0 ? QString() : FLink.ItemCaption(index);
}

QString TkvNavigatorFilterCriteria::ItemFieldName(TkvFilterItemLink itemLink) const
{
    const int index = FLink.IndexOfItemLink(itemLink);
    return index < 0 ? QString() : FLink.ItemFieldName(index);
}

TkvNavigatorFilterLink::TkvNavigatorFilterLink(const TDbQuery &dataSet)
{
    if (!dataSet.Active())
        return;
    for (int i = 0; i < dataSet.FieldCount(); ++i) {
        const TDbField *field = dataSet.Fields(i);
        if (!IsFilterable(field->DataType()))
            continue;
        auto item = std::make_unique<Item>();
        item->Caption = field->DisplayName();
        item->FieldName = field->FieldName();
        item->ValueType = ValueTypeClassOfFieldType(field->DataType());
        item->Properties = PropertiesForField(field->DataType());
        FItems.push_back(std::move(item));
    }
}

TkvNavigatorFilterLink::~TkvNavigatorFilterLink() = default;

QString TkvNavigatorFilterLink::ItemCaption(int index) const
{
    return FItems.at(std::size_t(index))->Caption;
}

QString TkvNavigatorFilterLink::ItemFieldName(int index) const
{
    return FItems.at(std::size_t(index))->FieldName;
}

TkvCustomEditProperties *TkvNavigatorFilterLink::ItemProperties(int index) const
{
    return FItems.at(std::size_t(index))->Properties.get();
}

TkvValueTypeClass TkvNavigatorFilterLink::ItemValueTypeClass(int index) const
{
    return FItems.at(std::size_t(index))->ValueType;
}

TkvFilterItemLink TkvNavigatorFilterLink::ItemLink(int index) const
{
    return index >= 0 && index < ItemCount() ? FItems[std::size_t(index)].get() : nullptr;
}

bool ShowNavigatorFilterBuilder(QWidget *parent, TkvNavigatorFilterRequest &request)
{
    if (!request.DataSet)
        return false;
    TkvNavigatorFilterLink link(*request.DataSet);
    if (request.Criteria && !request.Criteria->isEmpty()) {
        try {
            link.Criteria().LoadFromBytes(
                std::string(request.Criteria->constData(), std::size_t(request.Criteria->size())));
            if (!static_cast<const TkvFilterCriteria &>(link.Criteria()).IsEmptyTree()) {
                // A criteria on fields this record set no longer has is dropped.
                bool resolved = true;
                std::function<void(const TkvFilterCriteriaItemList &)> check =
                    [&](const TkvFilterCriteriaItemList &list) {
                        for (int i = 0; i < list.Count(); ++i) {
                            const TkvCustomFilterCriteriaItem *node = list.Items(i);
                            if (node->IsItemList())
                                check(*static_cast<const TkvFilterCriteriaItemList *>(node));
                            else if (!static_cast<const TkvFilterCriteriaItem *>(node)->ItemLink())
                                resolved = false;
                        }
                    };
                check(link.Criteria().Root());
                if (!resolved)
                    link.Criteria().ClearTree();
            }
        } catch (const Exception &) {
            link.Criteria().ClearTree();
        }
    }
    TkvFilterBuilderOptions options;
    if (!request.ExtendedOperators)
        options.DisabledOperators = {fdoLike, fdoNotLike, fdoBetween, fdoNotBetween, fdoInList, fdoNotInList};
    options.OnApplyFilter = [&] {
        const std::string bytes = link.Criteria().SaveToBytes();
        if (request.Criteria)
            *request.Criteria = QByteArray(bytes.data(), qsizetype(bytes.size()));
        request.FilterText = link.Criteria().ExpressionText();
        if (request.Apply)
            request.Apply(request.FilterText);
    };
    return ShowFilterBuilderDialog(link, parent, options);
}

void InstallNavigatorFilterBuilder()
{
    TkvDBNavigatorButtons::SetFilterDialog(ShowNavigatorFilterBuilder);
}

} // namespace kestrum
