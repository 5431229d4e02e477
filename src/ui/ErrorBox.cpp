#include "ui/ErrorBox.h"

#include "ui/MessageBox.h"

namespace kestrum {

QString ErrorBoxText(const QString &message)
{
    if (!message.isEmpty() && message.back() > QChar('.'))
        return message + '.';
    return message;
}

void ShowErrorBox(QWidget *parent, const QString &message)
{
    TMessageBoxRequest request;
    request.Text = ErrorBoxText(message);
    request.Caption = ApplicationTitle();
    request.Icon = miStop;
    request.Buttons = {QStringLiteral("OK")};
    ShowMessageBox(parent, request);
}

void ShowException(QWidget *parent, const std::exception &error)
{
    ShowErrorBox(parent, QString::fromUtf8(error.what()));
}

} // namespace kestrum
