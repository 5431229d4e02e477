#include "editors/InplaceEditList.h"

namespace kestrum {

TkvInplaceEditList::~TkvInplaceEditList()
{
    for (Item &item : FItems) {
        item.Properties->RemoveFreeNotification(item.NotificationId);
        item.Edit->SetLentProperties(nullptr);
    }
}

TkvCustomEdit *TkvInplaceEditList::FindEdit(const TkvCustomEditProperties &properties) const
{
    for (const Item &item : FItems)
        if (item.Properties == &properties)
            return item.Edit.get();
    return nullptr;
}

TkvCustomEdit *TkvInplaceEditList::FindEditByPropertiesClass(const std::type_info &propertiesClass) const
{
    for (const Item &item : FItems)
        if (typeid(*item.Properties) == propertiesClass)
            return item.Edit.get();
    return nullptr;
}

TkvCustomEdit &TkvInplaceEditList::GetEdit(TkvCustomEditProperties &properties)
{
    if (TkvCustomEdit *edit = FindEdit(properties))
        return *edit;
    std::unique_ptr<TkvCustomEdit> edit = properties.CreateInplaceEditor();
    if (!edit)
        throw EkvInplaceEditError();
    edit->hide();
    edit->SetLentProperties(&properties);
    int id = properties.AddFreeNotification([this](TkvCustomEditProperties *gone) {
        for (std::size_t i = 0; i < FItems.size(); ++i) {
            if (FItems[i].Properties != gone)
                continue;
            std::unique_ptr<TkvCustomEdit> dying = std::move(FItems[i].Edit);
            FItems.erase(FItems.begin() + std::ptrdiff_t(i));
            if (OnEditRemoving)
                OnEditRemoving(dying.get());
            dying->SetLentProperties(nullptr);
            return;
        }
    });
    FItems.push_back({&properties, std::move(edit), id});
    return *FItems.back().Edit;
}

void TkvInplaceEditList::RemoveItem(const TkvCustomEditProperties &properties)
{
    for (std::size_t i = 0; i < FItems.size(); ++i) {
        if (FItems[i].Properties != &properties)
            continue;
        FItems[i].Properties->RemoveFreeNotification(FItems[i].NotificationId);
        FItems[i].Edit->SetLentProperties(nullptr);
        FItems.erase(FItems.begin() + std::ptrdiff_t(i));
        return;
    }
}

} // namespace kestrum
