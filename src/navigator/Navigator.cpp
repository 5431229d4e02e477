#include "navigator/Navigator.h"

#include "navigator/NavigatorAccessible.h"
#include "navigator/NavigatorGlyphs.h"
#include "ui/ErrorBox.h"
#include "ui/ImageList.h"
#include "ui/Painting.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

namespace kestrum {

namespace {

std::function<void(const std::exception &)> &ExceptionHandlerSlot()
{
    static std::function<void(const std::exception &)> handler;
    return handler;
}

} // namespace

TkvCustomNavigator::TkvCustomNavigator(std::unique_ptr<TkvCustomNavigatorButtons> buttons, QWidget *parent)
    : QWidget(parent), FButtons(std::move(buttons)), FViewInfo(*FButtons),
      FShownEnabled(std::size_t(kvNavigatorButtonCount), false)
{
    setMouseTracking(true);
    setFocusPolicy(Qt::ClickFocus);
    InstallNavigatorAccessibility();
    FButtons->SetOwnerEnabled(isEnabled());
    FButtons->OnChanged = [this] { ButtonsChanged(); };
    FRepeatTimer.setSingleShot(false);
    QObject::connect(&FRepeatTimer, &QTimer::timeout, this, [this] { RepeatTimerFired(); });
    FHintTimer.setSingleShot(true);
    FHintTimer.setInterval(kvNavigatorHintDelay);
    QObject::connect(&FHintTimer, &QTimer::timeout, this, [this] { HintTimerFired(); });
    resize(241, 25);
    Relayout();
    UpdateButtonsState();
}

TkvCustomNavigator::~TkvCustomNavigator()
{
    FButtons->OnChanged = nullptr;
}

void TkvCustomNavigator::SetExceptionHandler(std::function<void(const std::exception &)> handler)
{
    ExceptionHandlerSlot() = std::move(handler);
}

void TkvCustomNavigator::HandleError(const std::exception &error)
{
    if (ExceptionHandlerSlot()) {
        ExceptionHandlerSlot()(error);
        return;
    }
    ShowException(window(), error);
}

QSize TkvCustomNavigator::sizeHint() const
{
    return {241, 25};
}

void TkvCustomNavigator::ButtonsChanged()
{
    Relayout();
    UpdateButtonsState();
    update();
    // A hint on screen follows its button's new text, or goes with a hidden button.
    if (!FShownHint.isEmpty())
        HintTimerFired();
}

void TkvCustomNavigator::Relayout()
{
    if (FRelayouting)
        return;
    FRelayouting = true;
    QSize bar = FViewInfo.Calculate(size());
    if (bar != size())
        resize(bar);
    FRelayouting = false;
}

int TkvCustomNavigator::UpdateButtonsState()
{
    FButtons->SetOwnerEnabled(isEnabled());
    int changed = 0;
    for (const TkvNavigatorButtonViewInfo &info : FViewInfo.ButtonInfos()) {
        bool enabled = FButtons->IsButtonEnabled(info.Index);
        if (FShownEnabled[std::size_t(info.Index)] == enabled)
            continue;
        FShownEnabled[std::size_t(info.Index)] = enabled;
        ++changed;
        update(info.Bounds);
    }
    if (changed > 0)
        NotifyNavigatorButtonsChanged(this);
    return changed;
}

bool TkvCustomNavigator::ButtonShownEnabled(int index) const
{
    return index >= 0 && index < kvNavigatorButtonCount && FShownEnabled[std::size_t(index)];
}

void TkvCustomNavigator::ClickButton(int index)
{
    try {
        FButtons->ClickButton(index);
    } catch (const std::exception &error) {
        FRepeatTimer.stop();
        HandleError(error);
    }
    UpdateButtonsState();
}

void TkvCustomNavigator::paintEvent(QPaintEvent *)
{
    // No fill of its own: the bar shows whatever its parent draws behind it
    // (a themed group box tints its inside).
    QPainter painter(this);
    const TImageList &glyphs = NavigatorGlyphs();
    const TImageList *images = FButtons->Images();
    for (const TkvNavigatorButtonViewInfo &info : FViewInfo.ButtonInfos()) {
        const TkvNavigatorButton &button = FButtons->Button(info.Index);
        bool enabled = FButtons->IsButtonEnabled(info.Index);
        bool pressed = FViewInfo.PressedIndex() == info.Index && FViewInfo.HotIndex() == info.Index;
        bool hot = FViewInfo.HotIndex() == info.Index && enabled;
        QRect bounds = info.Bounds;
        if (pressed) {
            painter.setPen(SystemColor(clBtnShadow));
            painter.drawLine(bounds.topLeft(), bounds.topRight());
            painter.drawLine(bounds.topLeft(), bounds.bottomLeft());
            painter.setPen(SystemColor(clBtnHighlight));
            painter.drawLine(bounds.bottomLeft(), bounds.bottomRight());
            painter.drawLine(bounds.topRight(), bounds.bottomRight());
        } else if (hot) {
            painter.setPen(SystemColor(clBtnHighlight));
            painter.drawLine(bounds.topLeft(), bounds.topRight());
            painter.drawLine(bounds.topLeft(), bounds.bottomLeft());
            painter.setPen(SystemColor(clBtnShadow));
            painter.drawLine(bounds.bottomLeft(), bounds.bottomRight());
            painter.drawLine(bounds.topRight(), bounds.bottomRight());
        }
        bool ownImage = images && button.ImageIndex() >= 0;
        const TImageList &list = ownImage ? *images : glyphs;
        int imageIndex = ownImage ? button.ImageIndex() : info.Index;
        int x = bounds.x() + (bounds.width() - list.Width()) / 2 + (pressed ? 1 : 0);
        int y = bounds.y() + (bounds.height() - list.Height()) / 2 + (pressed ? 1 : 0);
        list.Draw(painter, x, y, imageIndex, enabled);
        if (hasFocus() && FViewInfo.FocusedIndex() == info.Index) {
            QPen pen(SystemColor(clBtnText));
            pen.setStyle(Qt::DotLine);
            painter.setPen(pen);
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(bounds.adjusted(2, 2, -3, -3));
        }
    }
}

void TkvCustomNavigator::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    Relayout();
}

void TkvCustomNavigator::mousePressEvent(QMouseEvent *event)
{
    HideHint();
    if (event->button() != Qt::LeftButton)
        return;
    if (FViewInfo.MouseDown(event->position().toPoint())) {
        FRepeatTimer.start(kvNavigatorRepeatDelay);
        update();
    }
}

void TkvCustomNavigator::mouseMoveEvent(QMouseEvent *event)
{
    if (FViewInfo.MouseMove(event->position().toPoint())) {
        update();
        // The hint follows the hot button; the wait starts over on each button.
        if (!FShownHint.isEmpty())
            HintTimerFired();
    }
    if (FShowHint && FViewInfo.HotIndex() >= 0 && FShownHint.isEmpty())
        FHintTimer.start();
}

void TkvCustomNavigator::mouseReleaseEvent(QMouseEvent *event)
{
    HideHint();
    if (event->button() != Qt::LeftButton)
        return;
    FRepeatTimer.stop();
    int index = FViewInfo.MouseUp(event->position().toPoint());
    update();
    if (index >= 0)
        ClickButton(index);
}

void TkvCustomNavigator::leaveEvent(QEvent *event)
{
    QWidget::leaveEvent(event);
    FViewInfo.MouseLeave();
    HideHint();
    update();
}

void TkvCustomNavigator::keyPressEvent(QKeyEvent *event)
{
    HideHint();
    int key = event->key();
    // Enter presses the focused button as Space does, as on any push button.
    if (key == Qt::Key_Return || key == Qt::Key_Enter)
        key = Qt::Key_Space;
    if (key != Qt::Key_Left && key != Qt::Key_Right && key != Qt::Key_Space) {
        QWidget::keyPressEvent(event);
        return;
    }
    const int focused = FViewInfo.FocusedIndex();
    int index = FViewInfo.KeyDown(key);
    update();
    if (FViewInfo.FocusedIndex() != focused)
        NotifyNavigatorFocus(this);
    if (index >= 0)
        ClickButton(index);
}

void TkvCustomNavigator::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange)
        UpdateButtonsState();
}

void TkvCustomNavigator::focusInEvent(QFocusEvent *event)
{
    QWidget::focusInEvent(event);
    update();
    // After Qt has announced the bar itself, so the button is what is read last.
    QMetaObject::invokeMethod(
        this, [this] { NotifyNavigatorFocus(this); }, Qt::QueuedConnection);
}

void TkvCustomNavigator::focusOutEvent(QFocusEvent *event)
{
    QWidget::focusOutEvent(event);
    update();
}

void TkvCustomNavigator::RepeatTimerFired()
{
    FRepeatTimer.setInterval(kvNavigatorRepeatInterval);
    int index = FViewInfo.RepeatTick();
    if (index >= 0)
        ClickButton(index);
}

void TkvCustomNavigator::HintTimerFired()
{
    int hot = FViewInfo.HotIndex();
    if (!FShowHint || hot < 0) {
        HideHint();
        return;
    }
    FShownHint = FButtons->Button(hot).EffectiveHint();
    QRect bounds = FViewInfo.ButtonBounds(hot);
    QToolTip::showText(mapToGlobal(bounds.bottomLeft()), FShownHint, this, bounds);
}

void TkvCustomNavigator::HideHint()
{
    FHintTimer.stop();
    if (!FShownHint.isEmpty()) {
        FShownHint.clear();
        QToolTip::hideText();
    }
}

TkvCustomDBNavigator::TkvCustomDBNavigator(QWidget *parent)
    : TkvCustomNavigator(std::make_unique<TkvDBNavigatorButtons>(), parent)
{
    Buttons().SetDialogParent(this);
    Buttons().OnStateChanged = [this] { UpdateButtonsState(); };
}

} // namespace kestrum
