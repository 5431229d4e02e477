#include "navigator/NavigatorButtons.h"

#include "ui/MessageBox.h"

namespace kestrum {

namespace {

template <std::size_t... I>
std::array<TkvNavigatorButton, sizeof...(I)> MakeButtons(TkvCustomNavigatorButtons *owner,
                                                         std::index_sequence<I...>)
{
    return {TkvNavigatorButton(owner, int(I))...};
}

} // namespace

TkvCustomNavigatorButtons::TkvCustomNavigatorButtons()
    : FButtons(MakeButtons(this, std::make_index_sequence<kvNavigatorButtonCount>()))
{
}

void TkvCustomNavigatorButtons::SetImages(TImageList *images)
{
    FImages = images;
    ButtonChanged();
}

void TkvCustomNavigatorButtons::ButtonChanged()
{
    if (OnChanged)
        OnChanged();
}

bool TkvCustomNavigatorButtons::IsButtonEnabled(int index) const
{
    return Button(index).Enabled() && FOwnerEnabled && IsActionEnabled(index);
}

bool TkvCustomNavigatorButtons::IsActionEnabled(int) const
{
    return true;
}

void TkvCustomNavigatorButtons::ClickButton(int index)
{
    TkvNavigatorButton &button = Button(index);
    if (button.OnClick) {
        button.OnClick(&button);
        return;
    }
    bool done = false;
    if (OnButtonClick)
        OnButtonClick(this, index, done);
    if (!done)
        DoButtonAction(index);
}

void TkvCustomNavigatorButtons::DoButtonAction(int)
{
}

bool ConfirmRecordDelete(QWidget *parent)
{
    TMessageBoxRequest request;
    request.Text = QStringLiteral("Delete record?");
    request.Caption = QStringLiteral("Confirm");
    request.Icon = miQuestion;
    request.Buttons = {QStringLiteral("OK"), QStringLiteral("Cancel")};
    return ShowMessageBox(parent, request) == 0;
}

} // namespace kestrum
