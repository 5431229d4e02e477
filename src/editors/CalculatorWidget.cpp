#include "editors/CalculatorWidget.h"

#include "editors/CustomEdit.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace kestrum {

TkvCustomCalculator::TkvCustomCalculator(QWidget *parent) : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    BuildLayout(22);
    resize(sizeHint());
}

void TkvCustomCalculator::BuildLayout(int keyHeight)
{
    FKeyHeight = keyHeight;
    FLayout.Build(keyHeight);
    FEngine.Reset();
    updateGeometry();
    update();
}

void TkvCustomCalculator::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (!FitsToSize())
        return;
    int keyHeight = TkvCalculatorLayout::FitKeyHeight(size());
    if (keyHeight != FKeyHeight)
        BuildLayout(keyHeight);
}

void TkvCustomCalculator::CopyToClipboard()
{
    QApplication::clipboard()->setText(FEngine.Display());
}

void TkvCustomCalculator::PasteFromClipboard()
{
    QString text = QApplication::clipboard()->text();
    if (!text.isEmpty())
        FEngine.Paste(text);
    update();
}

bool TkvCustomCalculator::HandleKeyPress(int key, Qt::KeyboardModifiers modifiers, const QString &text)
{
    const bool ctrl = modifiers.testFlag(Qt::ControlModifier);
    if (ctrl && key == Qt::Key_C) {
        CopyToClipboard();
        return true;
    }
    if (ctrl && key == Qt::Key_V) {
        PasteFromClipboard();
        return true;
    }
    TkvCalcButton button = TkvCalculatorEngine::ButtonForKey(key, modifiers);
    if (button == cbNone && !text.isEmpty() && !ctrl)
        button = TkvCalculatorEngine::ButtonForChar(text.at(0));
    if (button == cbNone)
        return false;
    // Holding a key performs it once; only Back repeats.
    if (FPressedKey == button && button != cbBack)
        return true;
    FPressedKey = button;
    PerformKey(button);
    return true;
}

void TkvCustomCalculator::HandleKeyRelease(int)
{
    if (FPressedKey != cbNone) {
        FPressedKey = cbNone;
        update();
    }
}

void TkvCustomCalculator::keyPressEvent(QKeyEvent *event)
{
    try {
        if (!HandleKeyPress(event->key(), event->modifiers(), event->text()))
            QWidget::keyPressEvent(event);
    } catch (const std::exception &error) {
        // A display that is no number ("-" alone) cannot be computed with;
        // the user sees why instead of a key that does nothing.
        FPressedKey = cbNone;
        update();
        TkvCustomEdit::HandleException(error);
    }
}

void TkvCustomCalculator::keyReleaseEvent(QKeyEvent *event)
{
    if (!event->isAutoRepeat())
        HandleKeyRelease(event->key());
    QWidget::keyReleaseEvent(event);
}

void TkvCustomCalculator::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    TkvCalcButton button = FLayout.ButtonAt(event->position().toPoint());
    if (button == cbNone || FEngine.IsButtonDisabled(button))
        return;
    FCapturedKey = button;
    update();
}

void TkvCustomCalculator::mouseMoveEvent(QMouseEvent *event)
{
    TkvCalcButton button = FLayout.ButtonAt(event->position().toPoint());
    if (button != FHotKey) {
        FHotKey = button;
        update();
    }
}

void TkvCustomCalculator::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    TkvCalcButton captured = FCapturedKey;
    FCapturedKey = cbNone;
    update();
    if (captured != cbNone && FLayout.ButtonAt(event->position().toPoint()) == captured) {
        try {
            PerformKey(captured);
        } catch (const std::exception &error) {
            TkvCustomEdit::HandleException(error);
        }
    }
}

void TkvCustomCalculator::leaveEvent(QEvent *event)
{
    FHotKey = cbNone;
    update();
    QWidget::leaveEvent(event);
}

void TkvCustomCalculator::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    QFont font = this->font();
    font.setPixelSize(std::max(8, FLayout.Metrics().FontHeight + 3));
    if (FitsToSize() && font.pointSize() >= 10)
        font.setBold(true);
    painter.setFont(font);
    for (int index = 0; index < kvCalcButtonCount; ++index) {
        const TkvCalcButtonInfo &button = FLayout.Button(TkvCalcButton(index));
        bool disabled = FEngine.IsButtonDisabled(button.Index);
        bool pressed = !disabled && (FPressedKey == button.Index ||
                                     (FCapturedKey == button.Index && FHotKey == button.Index));
        bool hot = !disabled && FHotKey == button.Index;
        QRect r = button.Rect;
        painter.fillRect(r, hot ? palette().light() : palette().button());
        painter.setPen(pressed ? palette().dark().color() : palette().light().color());
        painter.drawLine(r.topLeft(), r.topRight());
        painter.drawLine(r.topLeft(), r.bottomLeft());
        painter.setPen(pressed ? palette().light().color() : palette().shadow().color());
        painter.drawLine(r.bottomLeft(), r.bottomRight());
        painter.drawLine(r.topRight(), r.bottomRight());
        if (button.Index == cbEqual && hasFocus()) {
            painter.setPen(Qt::DotLine);
            painter.drawRect(r.adjusted(3, 3, -4, -4));
        }
        painter.setPen(disabled ? palette().color(QPalette::Disabled, QPalette::ButtonText) : button.Color);
        painter.drawText(pressed ? r.translated(1, 1) : r, Qt::AlignCenter, button.Caption);
    }
}

TkvPopupCalculator::TkvPopupCalculator(QWidget *parent) : TkvCustomCalculator(parent)
{
    setFocusPolicy(Qt::NoFocus);
}

void TkvPopupCalculator::RequestClose()
{
    if (OnCloseRequest)
        OnCloseRequest();
}

bool TkvPopupCalculator::HandleKeyPress(int key, Qt::KeyboardModifiers modifiers, const QString &text)
{
    const bool alt = modifiers.testFlag(Qt::AltModifier);
    const bool ctrl = modifiers.testFlag(Qt::ControlModifier);
    const bool shift = modifiers.testFlag(Qt::ShiftModifier);
    if (key == Qt::Key_Escape || (key == Qt::Key_F4 && !alt) ||
        (alt && (key == Qt::Key_Up || key == Qt::Key_Down))) {
        RequestClose(); // Esc closes; it does not clear
        return true;
    }
    if (key == Qt::Key_Insert && (shift || ctrl)) {
        shift ? PasteFromClipboard() : CopyToClipboard();
        return true;
    }
    bool used = TkvCustomCalculator::HandleKeyPress(key, modifiers, text);
    bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    bool equals = text == QStringLiteral("=");
    // Enter computes "=" first and then closes.
    if (enter || (equals && FQuickClose)) {
        HandleKeyRelease(key);
        RequestClose();
    }
    return used;
}

} // namespace kestrum
