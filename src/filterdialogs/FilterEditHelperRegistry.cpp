#include "filterdialogs/FilterEditHelperRegistry.h"

#include "editors/CalcEdit.h"
#include "editors/CurrencyEditProperties.h"
#include "editors/DateEditProperties.h"
#include "editors/MaskEditProperties.h"
#include "editors/TextEditProperties.h"
#include "filterdialogs/FilterEditHelpers.h"

#include <stdexcept>

namespace kestrum {

TkvFilterEditHelperRegistry::TkvFilterEditHelperRegistry()
{
    FClasses.push_back({typeid(TkvCustomEditProperties), -1, 0,
                        [](const TkvCustomEditProperties &) { return true; }, nullptr});
}

TkvFilterEditHelperRegistry::~TkvFilterEditHelperRegistry() = default;

TkvFilterEditHelperRegistry &TkvFilterEditHelperRegistry::Instance()
{
    static TkvFilterEditHelperRegistry registry;
    static const bool registered = (RegisterStandardFilterEditHelpers(registry), true);
    (void)registered;
    return registry;
}

int TkvFilterEditHelperRegistry::IndexOf(std::type_index type) const
{
    for (std::size_t i = 0; i < FClasses.size(); ++i)
        if (FClasses[i].Type == type)
            return int(i);
    return -1;
}

void TkvFilterEditHelperRegistry::AddClass(std::type_index type, std::type_index parent,
                                           std::function<bool(const TkvCustomEditProperties &)> isInstance)
{
    if (IndexOf(type) >= 0)
        return;
    const int parentIndex = IndexOf(parent);
    if (parentIndex < 0)
        throw std::logic_error("filter edit helper registry: the parent properties class is not registered");
    const int depth = FClasses[std::size_t(parentIndex)].Depth + 1;
    FClasses.push_back({type, parentIndex, depth, std::move(isInstance), nullptr});
}

void TkvFilterEditHelperRegistry::SetHelper(std::type_index type,
                                            std::shared_ptr<const TkvCustomFilterEditHelper> helper)
{
    const int index = IndexOf(type);
    if (index >= 0)
        FClasses[std::size_t(index)].Helper = std::move(helper);
}

int TkvFilterEditHelperRegistry::NearestClass(const TkvCustomEditProperties &properties) const
{
    const int exact = IndexOf(typeid(properties));
    if (exact >= 0)
        return exact;
    int best = 0;
    for (std::size_t i = 1; i < FClasses.size(); ++i)
        if (FClasses[i].Depth > FClasses[std::size_t(best)].Depth && FClasses[i].IsInstance(properties))
            best = int(i);
    return best;
}

const TkvCustomFilterEditHelper *
TkvFilterEditHelperRegistry::FindHelper(const TkvCustomEditProperties &properties) const
{
    for (int index = NearestClass(properties); index >= 0; index = FClasses[std::size_t(index)].Parent)
        if (const TkvCustomFilterEditHelper *helper = FClasses[std::size_t(index)].Helper.get())
            return helper;
    return nullptr;
}

void RegisterStandardFilterEditHelpers(TkvFilterEditHelperRegistry &registry)
{
    registry.Register<TkvCustomTextEditProperties, TkvCustomEditProperties>(
        std::make_shared<TkvFilterTextEditHelper>());
    registry.RegisterClass<TkvTextEditProperties, TkvCustomTextEditProperties>();
    registry.Register<TkvMemoProperties, TkvCustomTextEditProperties>(
        std::make_shared<TkvFilterMemoHelper>());
    registry.Register<TkvCustomMaskEditProperties, TkvCustomTextEditProperties>(
        std::make_shared<TkvFilterMaskEditHelper>());
    registry.RegisterClass<TkvMaskEditProperties, TkvCustomMaskEditProperties>();
    registry.RegisterClass<TkvCustomPopupEditProperties, TkvCustomMaskEditProperties>();
    registry.Register<TkvCustomCalcEditProperties, TkvCustomPopupEditProperties>(
        std::make_shared<TkvFilterCalcEditHelper>());
    registry.RegisterClass<TkvCalcEditProperties, TkvCustomCalcEditProperties>();
    registry.Register<TkvCustomCurrencyEditProperties, TkvCustomTextEditProperties>(
        std::make_shared<TkvFilterCurrencyEditHelper>());
    registry.RegisterClass<TkvCurrencyEditProperties, TkvCustomCurrencyEditProperties>();
    registry.Register<TkvCustomDateEditProperties, TkvCustomPopupEditProperties>(
        std::make_shared<TkvFilterDateEditHelper>());
    registry.RegisterClass<TkvDateEditProperties, TkvCustomDateEditProperties>();
}

} // namespace kestrum
