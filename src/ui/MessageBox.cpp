#include "ui/MessageBox.h"

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

namespace kestrum {

namespace {

TMessageBoxHook &hook()
{
    static TMessageBoxHook current;
    return current;
}

QMessageBox::Icon qtIcon(TMessageIcon icon)
{
    switch (icon) {
    case miNone:
        return QMessageBox::NoIcon;
    case miInformation:
        return QMessageBox::Information;
    case miQuestion:
        return QMessageBox::Question;
    case miWarning:
        return QMessageBox::Warning;
    case miStop:
        return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

} // namespace

int ShowMessageBox(QWidget *parent, const TMessageBoxRequest &request)
{
    if (hook())
        return hook()(request);
    QMessageBox box(qtIcon(request.Icon), request.Caption, request.Text, QMessageBox::NoButton, parent);
    QList<QAbstractButton *> buttons;
    for (const QString &caption : request.Buttons) {
        QPushButton *button = box.addButton(caption, QMessageBox::AcceptRole);
        if (buttons.isEmpty())
            box.setDefaultButton(button);
        buttons << button;
    }
    box.exec();
    // The window the box asked for takes the keyboard back, so that its keys
    // (Ctrl+Z right after a delete was confirmed) work at once: not every
    // window manager, and no manager at all, hands it back by itself.
    if (QWidget *window = parent ? parent->window() : nullptr; window && window->isVisible())
        window->activateWindow();
    return int(buttons.indexOf(box.clickedButton()));
}

void ShowMessage(QWidget *parent, const QString &text)
{
    ShowMessageBox(parent, {text, ApplicationTitle(), miNone, {QStringLiteral("OK")}});
}

QString ApplicationTitle()
{
    const QString path = QApplication::applicationFilePath();
    QString name = path.isEmpty() ? QApplication::applicationName() : QFileInfo(path).completeBaseName();
    if (name.isEmpty())
        return name;
    return name.left(1) + name.mid(1).toLower();
}

TMessageBoxHook SetMessageBoxHook(TMessageBoxHook newHook)
{
    TMessageBoxHook previous = std::move(hook());
    hook() = std::move(newHook);
    return previous;
}

TMessageBoxRecorder::TMessageBoxRecorder()
{
    FPrevious = SetMessageBoxHook([this](const TMessageBoxRequest &request) {
        FBoxes << request.Caption + QLatin1Char('|') + request.Text;
        return request.Buttons.isEmpty() ? -1 : 0;
    });
}

TMessageBoxRecorder::~TMessageBoxRecorder()
{
    SetMessageBoxHook(std::move(FPrevious));
}

} // namespace kestrum
