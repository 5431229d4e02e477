// Writes an old Access ledger (Jet 4) with a few months of entries, for
// trying the conversion at start by hand: make-old-ledger FILE
#include "core/DateTime.h"
#include "support/JetFileWriter.h"

#include <QString>

#include <cstdio>

using namespace kestrum;
using namespace kestrum::test;

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-old-ledger FILE\n");
        return 2;
    }
    std::vector<TJetRow> income, expense;
    const char *items[] = {"午饭", "超市", "公交", "水电费", "书"};
    for (int month = 1; month <= 6; ++month) {
        income.push_back({TJetValue::FromCurrency(int64_t(8500 + month * 10) * 10000),
                          TJetValue::FromDate(EncodeDate(2005, month, 5)), TJetValue::FromText("工资"),
                          TJetValue::FromText("旧账本的工资")});
        for (int day = 1; day <= 25; day += 4)
            expense.push_back({TJetValue::FromNumber(12.5 + day), TJetValue::FromDate(EncodeDate(2005, month, day)),
                               TJetValue::FromText(items[(month + day) % 5]), TJetValue::Null()});
    }
    if (!WriteJet4File(QString::fromLocal8Bit(argv[1]),
                       {OldLedgerTable("gain", income, jtMoney), OldLedgerTable("expen", expense)})) {
        std::fprintf(stderr, "make-old-ledger: cannot write %s\n", argv[1]);
        return 1;
    }
    std::printf("wrote %s: %zu income and %zu expense entries\n", argv[1], income.size(), expense.size());
    return 0;
}
