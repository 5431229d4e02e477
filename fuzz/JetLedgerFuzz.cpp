// Feeds arbitrary bytes, as a file, to the reader of old Access ledgers (libmdb
// under it): a file that is no ledger must be refused with EImportError, one
// that reads must give entries with a valid date and an amount that is not
// negative, and the reading must end. A read that libmdb dies on counts as a
// crash, though the reader survives it.
#include "exchange/ForeignEntry.h"
#include "exchange/JetLedgerSource.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <unistd.h>

using namespace kestrum;

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

QString InputPath()
{
    static const QString path = QStringLiteral("/tmp/kestrum-jetfuzz-%1.mdb").arg(::getpid());
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    {
        QFile file(InputPath());
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char *>(data), qint64(size));
    }
    try {
        std::unique_ptr<TEntrySource> source = OpenJetLedgerSource(InputPath());
        TForeignEntry entry;
        TBadRecord bad;
        for (int steps = 0;; ++steps) {
            Check(steps < 10'000'000);
            const TEntrySource::TStep step = source->Next(entry, bad);
            if (step == TEntrySource::esEnd)
                break;
            if (step == TEntrySource::esEntry)
                Check((entry.HasDate ? entry.Date.isValid() : entry.Seconds == 0) &&
                      (entry.HasAmount || entry.Cents == 0) && entry.Seconds >= 0 && entry.Seconds < 86400);
            else
                Check(!bad.Reason.isEmpty());
            const double progress = source->Progress();
            Check(progress >= 0.0 && progress <= 1.0);
        }
    } catch (const EImportError &error) {
        // libmdb died in the trial read the reader makes in a child process:
        // the program lives on, but the input is one worth keeping.
        Check(std::string(error.what()).find("：文件已损坏") == std::string::npos);
    }
    return 0;
}
