#include "BenchGoals.h"

#include <QFile>
#include <QRegularExpression>
#include <QTextStream>

namespace kestrum::bench {

QString BenchmarkKey(const QString &runName)
{
    static const QRegularExpression option(
        QStringLiteral("^(iterations|repeats|threads|min_time|min_warmup_time):|^(real_time|process_time|"
                       "manual_time)$"));
    QStringList kept;
    for (const QString &part : runName.split('/'))
        if (!option.match(part).hasMatch())
            kept << part;
    return kept.join('/');
}

std::optional<bool> TGoal::Met(double milliseconds, std::optional<double> baseline,
                               const std::function<std::optional<double>(const QString &)> &timeOf) const
{
    switch (Kind) {
    case TKind::None:
        return std::nullopt;
    case TKind::Below:
        return milliseconds < Limit;
    case TKind::WithinOfBaseline:
        if (!baseline)
            return std::nullopt;
        return milliseconds <= Limit * *baseline;
    case TKind::WithinOf: {
        const std::optional<double> reference = timeOf(Reference);
        if (!reference)
            return std::nullopt;
        return milliseconds <= Limit * *reference;
    }
    }
    return std::nullopt;
}

namespace {

bool ParseGoal(const QString &text, TGoal &goal)
{
    goal.Text = text;
    if (text == QLatin1String("-")) {
        goal.Kind = TGoal::TKind::None;
        return true;
    }
    static const QRegularExpression below(QStringLiteral(R"(^<\s*([0-9.]+)\s*(us|ms|s)$)"));
    static const QRegularExpression within(QStringLiteral(R"(^<=\s*([0-9.]+)\s*x\s+(\S+)$)"));
    bool number = false;
    if (const auto match = below.match(text); match.hasMatch()) {
        const double value = match.captured(1).toDouble(&number);
        const QString unit = match.captured(2);
        goal.Kind = TGoal::TKind::Below;
        goal.Limit = unit == QLatin1String("us")  ? value / 1000
                     : unit == QLatin1String("s") ? value * 1000
                                                  : value;
        return number;
    }
    if (const auto match = within.match(text); match.hasMatch()) {
        goal.Limit = match.captured(1).toDouble(&number);
        goal.Reference = match.captured(2);
        goal.Kind = goal.Reference == QLatin1String("baseline") ? TGoal::TKind::WithinOfBaseline
                                                                : TGoal::TKind::WithinOf;
        return number;
    }
    return false;
}

//! * matches any text, "/" included (names are "BM_Post/1000"); ? one character.
bool Matches(const QString &pattern, const QString &text)
{
    QString expression = QRegularExpression::escape(pattern);
    expression.replace(QLatin1String("\\*"), QLatin1String(".*"))
        .replace(QLatin1String("\\?"), QLatin1String("."));
    return QRegularExpression(QRegularExpression::anchoredPattern(expression)).match(text).hasMatch();
}

} // namespace

std::vector<TGoal> ReadGoals(const QString &path, QString &problem)
{
    std::vector<TGoal> goals;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        problem = "cannot read " + path;
        return goals;
    }
    QTextStream in(&file);
    int lineNumber = 0;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        ++lineNumber;
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const QStringList fields = line.split(QRegularExpression(QStringLiteral("\\s+")));
        TGoal goal;
        if (fields.size() < 3 || !ParseGoal(fields.mid(2).join(' '), goal)) {
            problem =
                QStringLiteral("%1:%2: cannot read the goal in \"%3\"").arg(path).arg(lineNumber).arg(line);
            return {};
        }
        goal.Program = fields[0];
        goal.Name = fields[1];
        goals.push_back(goal);
    }
    return goals;
}

const TGoal *FindGoal(const std::vector<TGoal> &goals, const QString &program, const QString &name)
{
    for (const TGoal &goal : goals)
        if (Matches(goal.Program, program) && Matches(goal.Name, name))
            return goal.Kind == TGoal::TKind::None ? nullptr : &goal;
    return nullptr;
}

QString TTable::Text() const
{
    std::vector<qsizetype> widths;
    for (const QStringList &row : FRows)
        for (qsizetype i = 0; i < row.size(); ++i) {
            if (std::size_t(i) >= widths.size())
                widths.push_back(0);
            widths[std::size_t(i)] = std::max(widths[std::size_t(i)], row[i].size());
        }
    QString text;
    const auto line = [&](const QStringList &row) {
        QStringList cells;
        for (qsizetype i = 0; i < qsizetype(widths.size()); ++i) {
            const QString cell = i < row.size() ? row[i] : QString();
            // Text to the left, figures to the right.
            cells << (i == 0 || i >= 4 ? cell.leftJustified(widths[std::size_t(i)])
                                       : cell.rightJustified(widths[std::size_t(i)]));
        }
        text += "| " + cells.join(" | ") + " |\n";
    };
    line(FRows.front());
    QStringList rule;
    for (const qsizetype width : widths)
        rule << QString(width, '-');
    text += "|-" + rule.join("-|-") + "-|\n";
    for (std::size_t i = 1; i < FRows.size(); ++i)
        line(FRows[i]);
    return text;
}

} // namespace kestrum::bench
