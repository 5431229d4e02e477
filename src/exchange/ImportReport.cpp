#include "exchange/ImportReport.h"

#include "exchange/ExchangeMessages.h"

namespace kestrum {

namespace {

QString LineList(const std::vector<int> &lines, int total)
{
    QStringList listed;
    for (std::size_t i = 0; i < lines.size() && i < 20; ++i)
        listed += QString::number(lines[i]);
    QString text = listed.join(QStringLiteral("、"));
    if (total > int(listed.size()))
        text += QStringLiteral("……");
    return text;
}

} // namespace

QStringList TImportResult::Report() const
{
    QStringList lines;
    switch (Outcome) {
    case ioImported:
        lines += QStringLiteral("从%2导入了%1条纪录：收入%3条，支出%4条")
                     .arg(Added())
                     .arg(Source)
                     .arg(IncomeAdded)
                     .arg(ExpenseAdded);
        break;
    case ioRejected:
        lines += QStringLiteral("没有从%1导入任何纪录：有%2条纪录有误；请改正它们，或者跳过有误的纪录")
                     .arg(Source)
                     .arg(BadCount);
        break;
    case ioCancelled:
        lines += QStringLiteral("导入已取消，没有导入任何纪录");
        break;
    }
    if (DuplicatesSkipped > 0)
        lines += QStringLiteral("跳过了%1条账本中已有的纪录（第%2行）")
                     .arg(DuplicatesSkipped)
                     .arg(LineList(DuplicateLines, DuplicatesSkipped));
    if (DuplicatesKept > 0)
        lines += QStringLiteral("另有%1条账本中似乎已有的纪录按选择仍导入了").arg(DuplicatesKept);
    if (Outcome == ioImported && BadCount > 0)
        lines += QStringLiteral("跳过了%1条有误的纪录").arg(BadCount);
    for (const TBadRecord &bad : BadRecords)
        lines += exchange::LineText(bad.Line, bad.Reason);
    if (BadCount > int(BadRecords.size()))
        lines += QStringLiteral("……另有%1条有误的纪录").arg(BadCount - int(BadRecords.size()));
    for (const QString &note : Notes)
        lines += QStringLiteral("注意：%1").arg(note);
    return lines;
}

} // namespace kestrum
