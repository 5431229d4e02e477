#pragma once
// kestrum-db's import and export commands. Each takes the arguments after
// its name and returns the exit code: 0 done, 1 failed (said on stderr), 2 a
// usage error (said on stderr).
#include <QStringList>

namespace kestrum::tools {

int RunImport(const QStringList &arguments);
int RunExport(const QStringList &arguments);

} // namespace kestrum::tools
