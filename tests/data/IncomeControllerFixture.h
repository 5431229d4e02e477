#pragma once
// The income table of a ledger file, a query over it and a grid's controller
// with the four ledger columns bound by name; every controller notification
// is logged in order.
#include "data/DbDataController.h"
#include "db/DbDataSource.h"
#include "db/DbQuery.h"
#include "support/DbTestSupport.h"

#include <string>

namespace kestrum::test {

class IncomeControllerFixture : public LedgerFixture {
protected:
    //! Binds the controller to a query with `sql` (not opened yet).
    void BindIncome(const char *sql)
    {
        Query.SetConnection(&FConnection);
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

} // namespace kestrum::test
