#include "data/DataControllerHooks.h"

#include "data/DataSorting.h"

namespace kestrum {

TkvDataControllerHooks CreateDataControllerHooks(TkvCustomDataController &controller)
{
    return CreateSortingGroupingSummaryHooks(controller);
}

} // namespace kestrum
