#pragma once
// Reading the whole of a file the user picked to import.
#include <QByteArray>
#include <QString>

namespace kestrum {

//! The file's bytes; raises EImportError, saying why in the user's words,
//! when the file cannot be opened or a read fails part way.
QByteArray ReadImportFile(const QString &path);

} // namespace kestrum
