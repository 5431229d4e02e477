#include "filterdialogs/FilterControlEditors.h"

#include "editors/TextEditProperties.h"
#include "filterdialogs/FilterEditHelperRegistry.h"
#include "filterdialogs/FilterEditHelpers.h"

namespace kestrum {

const TkvCustomFilterEditHelper &FilterControlEditHelper(const TkvCustomEditProperties *properties)
{
    static const TkvFilterTextEditHelper textHelper;
    const TkvCustomFilterEditHelper *helper = properties ? FindFilterEditHelper(*properties) : nullptr;
    return helper ? *helper : textHelper;
}

const TkvCustomEditProperties &FilterControlEditProperties(const TkvCustomEditProperties *properties)
{
    static const TkvTextEditProperties plain;
    return properties ? *properties : plain;
}

TkvFilterDialogOperators FilterControlSupportedOperators(const TkvCustomEditProperties *properties,
                                                         TkvValueTypeClass valueType)
{
    TkvFilterDialogOperators result =
        FilterControlEditHelper(properties)
            .SupportedOperators(FilterControlEditProperties(properties), TkvFilterOperatorSet::fosBuilder);
    if (!valueType || !valueType->IsStringType()) {
        result.Exclude(fdoLike);
        result.Exclude(fdoNotLike);
    }
    return result;
}

} // namespace kestrum
