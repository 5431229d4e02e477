#pragma once
// The income table of a ledger (a file, or a file or a server as the test's
// parameter says), a query over it and a grid's controller with the four
// ledger columns bound by name; every controller notification is logged in
// order.
#include "data/DbDataController.h"
#include "db/DbDataSource.h"
#include "db/DbQuery.h"
#include "support/EngineLedger.h"

#include <string>

namespace kestrum::test {

template <class Ledger> class IncomeControllerOn : public Ledger {
protected:
    //! Binds the controller to a query with `sql` (not opened yet).
    void BindIncome(const char *sql)
    {
        Query.SetConnection(&this->FConnection);
        Query.AddSQL(sql);
        Source.SetDataSet(&Query);
        const char *names[] = {"本次进帐", "进帐时间", "进帐人", "备注"};
        for (int i = 0; i < 4; ++i) {
            Controller.AttachItem(&Columns[i]);
            Controller.ChangeFieldName(i, QString::fromUtf8(names[i]));
        }
        Controller.SetUpdateControlHandler(
            [this](const TkvUpdateControlInfo &info) { Log += (Log.empty() ? "" : " ") + info.Describe(); });
        Controller.SetDataSource(&Source);
    }

    void TearDown() override { Query.Close(); }

    TDbQuery Query;
    TDbDataSource Source;
    int Columns[4] = {};
    TkvGridDBDataController Controller;
    std::string Log;
};

// A class, not an alias, so that a derived fixture names it as its base.
class IncomeControllerFixture : public IncomeControllerOn<FileLedgerTest> {};

} // namespace kestrum::test
