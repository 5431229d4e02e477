#include "filter/dialogs/FilterControlEditors.h"

#include "editors/TextEditProperties.h"
#include "filter/dialogs/FilterEditHelperRegistry.h"
#include "filter/dialogs/FilterEditHelpers.h"

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
