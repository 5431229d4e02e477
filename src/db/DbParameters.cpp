#include "db/DbParameters.h"

#include "db/DbErrors.h"

namespace kestrum {

TDbParameter *TDbParameters::FindParam(const QString &name) const
{
    for (const auto &item : FItems)
        if (item->Name().compare(name, Qt::CaseInsensitive) == 0)
            return item.get();
    return nullptr;
}

TDbParameter *TDbParameters::ParamByName(const QString &name) const
{
    if (TDbParameter *parameter = FindParam(name))
        return parameter;
    throw EDatabaseError("找不到参数“" + name.toStdString() + "”。");
}

void TDbParameters::Rebuild(const std::vector<QString> &names)
{
    std::vector<std::unique_ptr<TDbParameter>> items;
    for (const QString &name : names) {
        auto parameter = std::make_unique<TDbParameter>(name);
        if (const TDbParameter *old = FindParam(name))
            parameter->SetValue(old->Value());
        items.push_back(std::move(parameter));
    }
    FItems = std::move(items);
}

} // namespace kestrum
