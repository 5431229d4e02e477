// The words that tell the user what an import did.
#include "exchange/Importer.h"

namespace kestrum {

namespace {

QString LineList(const std::vector<int> &lines, int total)
{
    QStringList listed;
    for (std::size_t i = 0; i < lines.size() && i < 20; ++i)
        listed += QString::number(lines[i]);
    QString text = listed.join(QStringLiteral(", "));
    if (total > int(listed.size()))
        text += QStringLiteral(", ...");
    return text;
}

} // namespace

QStringList TImportResult::Report() const
{
    QStringList lines;
    switch (Outcome) {
    case ioImported:
        lines += QStringLiteral("imported %1 entries from %2: %3 income, %4 expense")
                     .arg(Added())
                     .arg(Source)
                     .arg(IncomeAdded)
                     .arg(ExpenseAdded);
        break;
    case ioRejected:
        lines += QStringLiteral("nothing imported from %1: %2 bad record(s); fix them, or skip bad records")
                     .arg(Source)
                     .arg(BadCount);
        break;
    case ioCancelled:
        lines += QStringLiteral("import cancelled; nothing imported");
        break;
    }
    if (DuplicatesSkipped > 0)
        lines += QStringLiteral("skipped %1 entries the ledger holds already (lines %2)")
                     .arg(DuplicatesSkipped)
                     .arg(LineList(DuplicateLines, DuplicatesSkipped));
    if (Outcome == ioImported && BadCount > 0)
        lines += QStringLiteral("skipped %1 bad record(s)").arg(BadCount);
    for (const TBadRecord &bad : BadRecords)
        lines += bad.Line > 0 ? QStringLiteral("line %1: %2").arg(bad.Line).arg(bad.Reason) : bad.Reason;
    if (BadCount > int(BadRecords.size()))
        lines += QStringLiteral("... and %1 more bad record(s)").arg(BadCount - int(BadRecords.size()));
    for (const QString &note : Notes)
        lines += QStringLiteral("note: %1").arg(note);
    return lines;
}

} // namespace kestrum
