#include "exchange/CsvDecimalMarks.h"

namespace kestrum::exchange {

void TMarkEvidence::Observe(std::string_view cell, int line)
{
    const TDecimalMark mark = DecimalMarkOf(cell);
    int &seenLine = mark == dmPoint ? PointLine : CommaLine;
    if (mark == dmUnsettled || seenLine != 0)
        return;
    TAmount amount;
    QString reason;
    if (!ParseAmount(cell, amount, reason, mark))
        return;
    seenLine = line;
    (mark == dmPoint ? PointText : CommaText).assign(Trimmed(cell));
}

} // namespace kestrum::exchange
