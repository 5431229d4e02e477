#include "editors/EditDataBinding.h"

#include "editors/CustomEdit.h"

namespace kestrum {

TkvEditDataBinding::TkvEditDataBinding(TkvCustomEdit &edit)
    : FEdit(edit), FDefaultValuesProvider(std::make_unique<TkvCustomEditDefaultValuesProvider>())
{
}

TkvEditDataBinding::~TkvEditDataBinding() = default;

void TkvEditDataBinding::SetDefaultValuesProvider(std::unique_ptr<IkvEditDefaultValuesProvider> provider)
{
    FDefaultValuesProvider = std::move(provider);
}

bool TkvEditDataBinding::IsRecordEditing() const
{
    return FEdit.HasPendingChange();
}

Variant TkvEditDataBinding::ReadFieldValue() const
{
    return FEdit.EditValue();
}

void TkvEditDataBinding::WriteToField(const Variant &)
{
}

void TkvEditDataBinding::SetDisplayValue(const QString &displayValue)
{
    FEdit.SetInternalDisplayValue(displayValue);
}

} // namespace kestrum
