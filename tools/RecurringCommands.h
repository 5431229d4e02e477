#pragma once
// kestrum-db's due and post-due commands, for a cron job: the recurring
// entries that fell due by today, listed or posted with the program's own
// rules (each occurrence once, missed periods each once). Each returns the
// exit code: 0 done, 1 failed (said on stderr).
#include <QString>

namespace kestrum::tools {

int RunDue(const QString &ledger);
int RunPostDue(const QString &ledger);

} // namespace kestrum::tools
