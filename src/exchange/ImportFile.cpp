#include "exchange/ImportFile.h"

#include "exchange/ExchangeMessages.h"
#include "exchange/ForeignEntry.h"

#include <QFile>

namespace kestrum {

QByteArray ReadImportFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw EImportError(exchange::CannotOpen(path, file));
    QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw EImportError(exchange::CannotRead(path, file));
    return data;
}

} // namespace kestrum
