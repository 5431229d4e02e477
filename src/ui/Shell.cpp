#include "ui/Shell.h"

#include <QDesktopServices>
#include <QUrl>

namespace kestrum {

int TDesktopShell::ShellExecute(const QString &verb, const QString &file)
{
    if (verb.compare(QStringLiteral("open"), Qt::CaseInsensitive) != 0)
        return ShellNoAssociation;
    const QUrl url = QUrl::fromUserInput(file);
    if (!url.isValid())
        return ShellFileNotFound;
    return QDesktopServices::openUrl(url) ? ShellSucceeded : ShellNoAssociation;
}

} // namespace kestrum
