#include "editors/EditProperties.h"

#include "editors/CustomEdit.h"
#include "editors/EditDataBinding.h"

namespace kestrum {

const char *const kvInvalidInputText = "Invalid input value. Use escape key to abandon changes";
const char *const kvValueOutOfBoundsText = "Value out of bounds";

TShortCut ShortCut(int key, Qt::KeyboardModifiers shift)
{
    if (key == Qt::Key_Enter)
        key = Qt::Key_Return;
    if (key == Qt::Key_Backtab) {
        key = Qt::Key_Tab;
        shift |= Qt::ShiftModifier;
    }
    auto mods = shift & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    return key | int(mods.toInt());
}

TkvCustomEditProperties::TkvCustomEditProperties() : FClickKey(ShortCut(Qt::Key_Return, Qt::ControlModifier))
{
}

TkvCustomEditProperties::~TkvCustomEditProperties()
{
    // Listeners may remove themselves while being told.
    auto listeners = std::move(FFreeNotifications);
    FFreeNotifications.clear();
    for (auto &listener : listeners)
        listener.second(this);
    if (FOwner && &FOwner->Properties() == this)
        FOwner->SetLentProperties(nullptr);
}

int TkvCustomEditProperties::AddFreeNotification(std::function<void(TkvCustomEditProperties *)> listener)
{
    int id = FNextListenerId++;
    FFreeNotifications.emplace_back(id, std::move(listener));
    return id;
}

void TkvCustomEditProperties::RemoveFreeNotification(int id)
{
    std::erase_if(FFreeNotifications, [id](const auto &entry) { return entry.first == id; });
}

void TkvCustomEditProperties::Changed()
{
    if (FOwner)
        FOwner->PropertiesChanged();
}

const IkvEditDefaultValuesProvider *TkvCustomEditProperties::DefaultValuesProvider() const
{
    if (FHandedProvider)
        return FHandedProvider;
    return FOwner ? &FOwner->DataBinding().DefaultValuesProvider() : nullptr;
}

void TkvCustomEditProperties::SetAutoSelect(bool value)
{
    FAutoSelect = value;
    Changed();
}

void TkvCustomEditProperties::SetReadOnly(bool value)
{
    FReadOnly = value;
    FReadOnlyAssigned = true;
    Changed();
}

void TkvCustomEditProperties::ResetReadOnly()
{
    FReadOnly = false;
    FReadOnlyAssigned = false;
    Changed();
}

void TkvCustomEditProperties::SetUseLeftAlignmentOnEditing(bool value)
{
    FUseLeftAlignmentOnEditing = value;
    Changed();
}

void TkvCustomEditProperties::SetAlignment(const TkvEditAlignment &value)
{
    FAlignment = value;
    Changed();
}

int TkvCustomEditProperties::DefaultButtonIndex() const
{
    for (std::size_t i = 0; i < FButtons.size(); ++i)
        if (FButtons[i].Default)
            return int(i);
    return -1;
}

QString TkvCustomEditProperties::GetValidationErrorText(TkvValidationErrorKind kind) const
{
    return QString::fromUtf8(kind == vekOutOfBounds ? kvValueOutOfBoundsText : kvInvalidInputText);
}

void TkvCustomEditProperties::CheckDisplayValue(QString &displayValue, QString &errorText,
                                                TkvCustomEdit *edit, bool &error)
{
    if (errorText.isEmpty())
        errorText = GetValidationErrorText(vekInvalidInput);
    if (edit && OnValidate)
        OnValidate(edit, displayValue, errorText, error);
}

TkvBindingValueKind TkvCustomEditProperties::GetBindingValueKind(bool) const
{
    return bvkValue;
}

Variant TkvCustomEditProperties::DisplayToEditValue(const QString &displayValue, bool) const
{
    return Variant(displayValue);
}

QString TkvCustomEditProperties::EditValueToDisplayText(const Variant &value, bool) const
{
    try {
        return value.displayText();
    } catch (const Exception &) {
        return QString();
    }
}

std::unique_ptr<TkvCustomEdit> TkvCustomEditProperties::CreateInplaceEditor() const
{
    return nullptr;
}

} // namespace kestrum
