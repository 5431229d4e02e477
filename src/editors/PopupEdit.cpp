#include "editors/PopupEdit.h"

#include "editors/EditDataBinding.h"

#include <QHBoxLayout>
#include <QToolButton>

namespace kestrum {

TkvCustomPopupEditProperties::TkvCustomPopupEditProperties()
{
    TkvEditButton button;
    button.Kind = bkDown;
    button.Default = true;
    Buttons().push_back(button);
}

TkvCustomPopupEdit::TkvCustomPopupEdit(std::unique_ptr<TkvCustomPopupEditProperties> properties,
                                       bool isInplace, QWidget *parent)
    : TkvCustomMaskEdit(std::move(properties), isInplace, parent)
{
    FDropDownButton = new QToolButton(this);
    FDropDownButton->setArrowType(Qt::DownArrow);
    FDropDownButton->setFocusPolicy(Qt::NoFocus);
    FDropDownButton->setAutoRaise(true);
    // Screen readers say what the arrow does; the keyboard opens it with F4 or Alt+Down.
    FDropDownButton->setAccessibleName(QString::fromUtf8("展开"));
    if (auto *box = qobject_cast<QHBoxLayout *>(layout()))
        box->addWidget(FDropDownButton);
    QObject::connect(FDropDownButton, &QToolButton::clicked, this, [this] {
        try {
            if (DroppedDown())
                CloseUp();
            else
                DropDown();
        } catch (const std::exception &error) {
            HandleException(error);
        }
    });
    Properties().OnButtonClick = [this](TkvCustomEdit *, int) { DropDown(); };
}

TkvCustomPopupEdit::~TkvCustomPopupEdit()
{
    if (FPopupWindow)
        FPopupWindow->OnClosed = nullptr;
}

QWidget *TkvCustomPopupEdit::PopupControl()
{
    if (!FPopupWindow) {
        FPopupWindow = new TkvPopupWindow(this);
        FPopupWindow->SetContent(CreatePopupControl());
        FPopupWindow->OnClosed = [this] {
            if (FClosing)
                return;
            FClosing = true;
            PopupClosed();
            if (Properties().OnCloseUp)
                Properties().OnCloseUp(this);
            FClosing = false;
        };
    }
    return FPopupWindow->Content();
}

bool TkvCustomPopupEdit::DroppedDown() const
{
    return FPopupWindow && FPopupWindow->IsOpen();
}

void TkvCustomPopupEdit::DropDown()
{
    if (DroppedDown())
        return;
    PopupControl();
    if (Properties().OnInitPopup)
        Properties().OnInitPopup(this);
    InitPopup();
    FPopupWindow->ShowUnder(this);
    if (Properties().OnPopup)
        Properties().OnPopup(this);
}

void TkvCustomPopupEdit::CloseUp()
{
    if (FPopupWindow)
        FPopupWindow->ClosePopup();
}

bool TkvCustomPopupEdit::SetTextFromPopup(const QString &text)
{
    if (!DataBinding().IsRecordEditing() && !RequestEditing())
        return false;
    if (!InnerControl())
        return false;
    WithClearingGuard([&] {
        InnerControl()->SetText(text);
        SetHasPendingChange(true);
        SetChangedSinceEntry(true);
    });
    return true;
}

void TkvCustomPopupEdit::DoKeyDown(int &key, Qt::KeyboardModifiers shift)
{
    const bool alt = shift.testFlag(Qt::AltModifier);
    if ((key == Qt::Key_F4 && !alt) || (alt && (key == Qt::Key_Down || key == Qt::Key_Up))) {
        if (DroppedDown())
            CloseUp();
        else if (key != Qt::Key_Up)
            DropDown();
        key = 0;
        return;
    }
    TkvCustomMaskEdit::DoKeyDown(key, shift);
}

} // namespace kestrum
