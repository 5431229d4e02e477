#include "data/DataControllerHooks.h"

namespace kestrum {

TkvDataControllerHooks CreateDataControllerHooks(TkvCustomDataController &controller)
{
    (void)controller;
    return {};
}

} // namespace kestrum
