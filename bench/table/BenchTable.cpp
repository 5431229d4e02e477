// Runs every benchmark program of a build and prints one table of what they
// measured: each benchmark beside its baseline, their ratio, and the goal
// bench/goals.txt sets for it, met or not.
//
//   kestrum-bench-table [--cpu-time] BENCH_FOLDER GOALS_FILE [PROGRAM_NAME...]
//
// BENCH_FOLDER is searched for executables named bench_*; each runs with
// --benchmark_format=json. A benchmark named NAME_Baseline is the baseline of
// NAME: the one with the same arguments, else the one without any
// ("BM_Post_Baseline/1000" for "BM_Post/1000", else "BM_Post_Baseline").
// Times are wall-clock per iteration; --cpu-time takes the processor time
// instead, which other work on a busy machine does not inflate (except for
// benchmarks that ask for wall-clock time themselves). The table goes to standard output, each
// program's own messages to standard error. The exit status is 1 when a program failed (a non-zero exit, or
// no output that parses), else 0: goals not met are reported, not failures.
#include "BenchGoals.h"
#include "core/AllocatorTunables.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <cstdio>
#include <map>
#include <set>
#include <vector>

using namespace kestrum::bench;

namespace {

const QString BaselineSuffix = QStringLiteral("_Baseline");

struct TRun {
    QString Program;
    QString Name; //!< family name and arguments, without run options
    double Milliseconds = 0;
    QString Error;
};

double ToMilliseconds(double time, const QString &unit)
{
    if (unit == QLatin1String("ns"))
        return time / 1e6;
    if (unit == QLatin1String("us"))
        return time / 1e3;
    if (unit == QLatin1String("s"))
        return time * 1e3;
    return time;
}

QStringList FindPrograms(const QString &folder, const QStringList &only)
{
    QStringList programs;
    QDirIterator it(folder, {QStringLiteral("bench_*")}, QDir::Files | QDir::Executable,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (only.isEmpty() || only.contains(QFileInfo(path).fileName()))
            programs << path;
    }
    programs.sort();
    return programs;
}

//! Runs one program; false when it failed. Its runs are appended.
//! A benchmark that asks for wall-clock or its own time: it waits for other
//! processes or the disk (a copy, the sqlite3 shell), or times by itself,
//! so its processor time says nothing.
bool TimesWallClock(const QString &runName)
{
    return runName.contains(QLatin1String("/real_time")) || runName.contains(QLatin1String("/manual_time"));
}

//! The JSON report in a program's output, which may print more after it.
QByteArray JsonReport(const QByteArray &output)
{
    const qsizetype start = output.indexOf('{');
    const qsizetype end = output.lastIndexOf("\n}");
    if (start < 0 || end < start)
        return QByteArray();
    return output.mid(start, end + 2 - start);
}

bool RunProgram(const QString &path, bool cpuTime, std::vector<TRun> &runs)
{
    const QString program = QFileInfo(path).fileName();
    std::fprintf(stderr, "== %s\n", qPrintable(program));
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(path, {QStringLiteral("--benchmark_format=json")});
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        std::fprintf(stderr, "%s failed (exit %d)\n", qPrintable(program), process.exitCode());
        runs.push_back(
            {program, QStringLiteral("(the program)"), 0, QStringLiteral("exit %1").arg(process.exitCode())});
        return false;
    }
    const QJsonDocument document = QJsonDocument::fromJson(JsonReport(process.readAllStandardOutput()));
    if (!document.isObject()) {
        runs.push_back({program, QStringLiteral("(the program)"), 0, QStringLiteral("no JSON output")});
        return false;
    }
    for (const QJsonValue &value : document.object().value(QLatin1String("benchmarks")).toArray()) {
        const QJsonObject benchmark = value.toObject();
        if (benchmark.value(QLatin1String("run_type")).toString() == QLatin1String("aggregate"))
            continue;
        QString name = benchmark.value(QLatin1String("run_name")).toString();
        if (name.isEmpty())
            name = benchmark.value(QLatin1String("name")).toString();
        TRun run{program, BenchmarkKey(name), 0, QString()};
        if (benchmark.value(QLatin1String("error_occurred")).toBool())
            run.Error = benchmark.value(QLatin1String("error_message")).toString();
        else
            run.Milliseconds =
                ToMilliseconds(benchmark
                                   .value(cpuTime && !TimesWallClock(name) ? QLatin1String("cpu_time")
                                                                           : QLatin1String("real_time"))
                                   .toDouble(),
                               benchmark.value(QLatin1String("time_unit")).toString());
        runs.push_back(run);
    }
    return true;
}

QString Milliseconds(double ms)
{
    if (ms >= 100)
        return QString::number(ms, 'f', 0) + " ms";
    if (ms >= 1)
        return QString::number(ms, 'f', 2) + " ms";
    return QString::number(ms * 1000, 'f', 2) + " us";
}

} // namespace

int main(int argc, char **argv)
{
    // The benchmarks, started from here, allocate as the program does.
    kestrum::RestartWithAllocatorTunables(argv);
    QCoreApplication application(argc, argv);
    QStringList arguments = application.arguments().mid(1);
    const bool cpuTime = arguments.removeAll(QStringLiteral("--cpu-time")) > 0;
    if (arguments.size() < 2) {
        std::fprintf(stderr,
                     "usage: kestrum-bench-table [--cpu-time] BENCH_FOLDER GOALS_FILE [PROGRAM_NAME...]\n");
        return 2;
    }
    const QString folder = arguments.takeFirst();
    QString problem;
    const std::vector<TGoal> goals = ReadGoals(arguments.takeFirst(), problem);
    if (!problem.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(problem));
        return 2;
    }
    const QStringList programs = FindPrograms(folder, arguments);
    if (programs.isEmpty()) {
        std::fprintf(stderr, "no benchmark programs (bench_*) under %s\n", qPrintable(folder));
        return 2;
    }
    std::vector<TRun> runs;
    bool failed = false;
    for (const QString &program : programs)
        failed = !RunProgram(program, cpuTime, runs) || failed;

    std::map<std::pair<QString, QString>, const TRun *> byName;
    for (const TRun &run : runs)
        byName[{run.Program, run.Name}] = &run;
    const auto timeOf = [&](const QString &program, const QString &name) -> std::optional<double> {
        const auto found = byName.find({program, name});
        if (found == byName.end() || !found->second->Error.isEmpty())
            return std::nullopt;
        return found->second->Milliseconds;
    };

    TTable table({"operation", "Kestrum", "baseline", "ratio", "goal", "met"});
    std::set<std::pair<QString, QString>> paired;
    int met = 0, missed = 0;
    for (const TRun &run : runs) {
        if (run.Name.section('/', 0, 0).endsWith(BaselineSuffix))
            continue;
        const QString operation = run.Program + ' ' + run.Name;
        if (!run.Error.isEmpty()) {
            table.Add({operation, "failed: " + run.Error, "", "", "", "no"});
            ++missed;
            continue;
        }
        const QString family = run.Name.section('/', 0, 0);
        const QString sameArguments = family + BaselineSuffix + run.Name.mid(family.size());
        const QString baselineName =
            byName.count({run.Program, sameArguments}) > 0 ? sameArguments : family + BaselineSuffix;
        const std::optional<double> baseline = timeOf(run.Program, baselineName);
        paired.insert({run.Program, baselineName});
        const TGoal *goal = FindGoal(goals, run.Program, run.Name);
        if (goal && goal->Kind == TGoal::TKind::WithinOfBaseline && !baseline)
            goal = nullptr; // a goal for whatever has a baseline
        QString verdict;
        if (goal) {
            const std::optional<bool> ok = goal->Met(
                run.Milliseconds, baseline, [&](const QString &other) { return timeOf(run.Program, other); });
            verdict = !ok ? QStringLiteral("?") : *ok ? QStringLiteral("yes") : QStringLiteral("NO");
            if (ok)
                ++(*ok ? met : missed);
        }
        table.Add({operation, Milliseconds(run.Milliseconds), baseline ? Milliseconds(*baseline) : QString(),
                   baseline && *baseline > 0 ? QString::number(run.Milliseconds / *baseline, 'f', 2) + "x"
                                             : QString(),
                   goal ? goal->Text : QString(), verdict});
    }
    // A baseline whose benchmark did not run (filtered out, or misnamed)
    // still shows.
    for (const TRun &run : runs)
        if (run.Name.section('/', 0, 0).endsWith(BaselineSuffix) && !paired.count({run.Program, run.Name}))
            table.Add({run.Program + ' ' + run.Name, QString(),
                       run.Error.isEmpty() ? Milliseconds(run.Milliseconds) : "failed: " + run.Error,
                       QString(), QString(), QString()});
    std::fputs(qPrintable(table.Text()), stdout);
    std::printf("\n%d goals met, %d not met%s.\n", met, missed, failed ? "; a benchmark program failed" : "");
    return failed ? 1 : 0;
}
