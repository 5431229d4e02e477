#pragma once
// The goals of bench/goals.txt, matched to benchmarks by program and name,
// and the plain text table the results are printed in.
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

namespace kestrum::bench {

//! A benchmark's name without the run options Google Benchmark appends
//! ("BM_Post/1000/iterations:40/real_time" is "BM_Post/1000").
QString BenchmarkKey(const QString &runName);

struct TGoal {
    enum class TKind { None, Below, WithinOfBaseline, WithinOf };
    QString Program; //!< wildcard pattern
    QString Name;    //!< wildcard pattern
    TKind Kind = TKind::None;
    double Limit = 0;  //!< milliseconds for Below, a factor otherwise
    QString Reference; //!< the benchmark of WithinOf
    QString Text;      //!< as the table shows it

    //! Whether `milliseconds` meets it; nothing when what it compares with
    //! was not measured.
    std::optional<bool> Met(double milliseconds, std::optional<double> baseline,
                            const std::function<std::optional<double>(const QString &)> &timeOf) const;
};

//! Reads the goals file: one goal a line, `program name goal`, where program
//! and name may hold * and ?, and goal is `< 200 ms` (also s, us), `<= 3x
//! baseline`, `<= 2x BM_Post/1000` (another benchmark of the same program)
//! or `-` (none). Blank lines and lines starting with # are skipped. A line
//! it cannot read sets `problem`.
std::vector<TGoal> ReadGoals(const QString &path, QString &problem);

//! The first goal whose patterns match, or none.
const TGoal *FindGoal(const std::vector<TGoal> &goals, const QString &program, const QString &name);

//! Rows of text in columns, each as wide as its widest cell.
class TTable {
public:
    explicit TTable(QStringList header) { FRows.push_back(std::move(header)); }
    void Add(QStringList row) { FRows.push_back(std::move(row)); }
    QString Text() const;

private:
    std::vector<QStringList> FRows;
};

} // namespace kestrum::bench
