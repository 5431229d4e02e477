// Backups of a ledger of a million income and a million expense rows: the
// whole backup (online copy in steps, integrity check, rename, rotation)
// beside a plain copy of the same file made durable, its baseline; and the
// checks that start-up and backups run, beside reading the file once.
//
// The ledger is generated for the run (see BenchLedger.h); KESTRUM_LEDGER_1M
// may name a real one to copy instead.
#include "ledger/Backups.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "BenchLedger.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fcntl.h>
#include <stdexcept>
#include <unistd.h>

using namespace kestrum;

namespace {

class Ledger {
public:
    Ledger() { bench::MakeBenchLedger(Path()); }
    QString Path() const { return FDir.filePath("Vantorel.mdb"); }
    QString Folder() const { return FDir.path(); }

private:
    QTemporaryDir FDir;
};

Ledger &Shared()
{
    static Ledger ledger;
    return ledger;
}

void BM_Backup(benchmark::State &state)
{
    const QString ledger = Shared().Path();
    QDateTime when = QDateTime::currentDateTime();
    for (auto _ : state) {
        const QString path = MakeBackup(ledger, when);
        state.PauseTiming();
        QFile::remove(path);
        when = when.addSecs(1);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * QFile(ledger).size());
}

void BM_Backup_Baseline(benchmark::State &state)
{
    const QString ledger = Shared().Path();
    const QString copy = Shared().Folder() + "/copy.mdb";
    for (auto _ : state) {
        if (!QFile::copy(ledger, copy))
            state.SkipWithError("copy failed");
        const int file = ::open(QFile::encodeName(copy).constData(), O_RDONLY);
        ::fsync(file);
        ::close(file);
        state.PauseTiming();
        QFile::remove(copy);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * QFile(ledger).size());
}

void BM_QuickCheck(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(DatabaseProblem(Shared().Path(), true));
}

void BM_IntegrityCheck(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(DatabaseProblem(Shared().Path(), false));
}

void BM_QuickCheck_Baseline(benchmark::State &state)
{
    for (auto _ : state) {
        QFile file(Shared().Path());
        file.open(QIODevice::ReadOnly);
        qint64 total = 0;
        QByteArray chunk;
        while (!(chunk = file.read(1 << 20)).isEmpty())
            total += chunk.size();
        benchmark::DoNotOptimize(total);
    }
}

} // namespace

BENCHMARK(BM_Backup)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_Backup_Baseline)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_QuickCheck)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_IntegrityCheck)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_QuickCheck_Baseline)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

BENCHMARK_MAIN();
