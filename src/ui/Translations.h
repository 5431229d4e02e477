#pragma once
// Qt's own texts (file dialogs, progress dialogs, standard buttons, context
// menus of edit controls) in the ledger's language. The ledger speaks Chinese
// whatever the system's language is, so Qt's dialogs do too: a file dialog in
// English beside Chinese menus reads like two programs.
#include <QString>

class QCoreApplication;

namespace kestrum {

//! Loads Qt's Simplified Chinese catalogue into the application. Returns
//! false (and changes nothing) when the catalogue is not installed; Qt then
//! keeps its English texts.
bool InstallQtTranslations(QCoreApplication &application);

//! Where the catalogue is looked for: Qt's translations folder.
QString QtTranslationsFolder();

} // namespace kestrum
