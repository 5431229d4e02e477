#include "ui/ErrorBox.h"

#include "ui/MessageBox.h"

namespace kestrum {

QString ErrorBoxText(const QString &message)
{
    // A message that already ends a Chinese sentence keeps it: "。" followed
    // by "." would show two full stops.
    static const QString sentenceEnds = QStringLiteral("。！？");
    if (!message.isEmpty() && message.back() > QChar('.') && !sentenceEnds.contains(message.back()))
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
