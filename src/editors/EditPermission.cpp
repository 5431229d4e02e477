#include "editors/EditPermission.h"

#include "editors/CustomEdit.h"

namespace kestrum {

bool TkvEditPermission::IsReadOnly() const
{
    const TkvCustomEditProperties &properties = FEdit.Properties();
    if (properties.ReadOnlyAssigned())
        return properties.ReadOnly();
    if (FEdit.IsInplace()) {
        // The host hands the properties its field's defaults; without them an
        // in-place editor edits.
        const IkvEditDefaultValuesProvider *provider = properties.HandedDefaultValuesProvider();
        return provider && provider->DefaultReadOnly();
    }
    return FEdit.DataBinding().DefaultValuesProvider().DefaultReadOnly();
}

bool TkvEditPermission::CanChangeValue() const
{
    if (FEdit.IsInplace())
        return !IsReadOnly();
    const TkvCustomEditProperties &properties = FEdit.Properties();
    if (properties.ReadOnlyAssigned())
        return !properties.ReadOnly();
    TkvEditDataBinding &binding = FEdit.DataBinding();
    return binding.DefaultValuesProvider().CanSetEditMode() && binding.CanAutoEdit();
}

bool TkvEditPermission::RequestEditing()
{
    if (FEdit.RefusesEditing())
        return false;
    if (FEdit.DataBinding().IsRecordEditing())
        return true;
    bool result = false;
    FEdit.WithInputActivity(TkvEditInputActivity::EditingRequest, [&] {
        result = CanChangeValue();
        if (result && FEdit.OnEditing) {
            bool canEdit = true;
            FEdit.OnEditing(&FEdit, canEdit);
            result = canEdit;
        }
        if (result && !FEdit.IsInplace())
            result = FEdit.DataBinding().EnterEditing();
    });
    return result;
}

bool TkvEditPermission::MayModifyText()
{
    if (IsReadOnly())
        return false;
    return FEdit.DataBinding().IsRecordEditing() || RequestEditing();
}

} // namespace kestrum
