#pragma once
// Ten incomes of January 2024, one a day, each with its own item, bound to a
// grid's controller over a real ledger file, with helpers that render the
// rows, the current row and the selection as short strings. TenIncomesOn
// takes EngineFixture for tests on both engines.
#include "IncomeControllerFixture.h"
#include "data/DbDataController.h"

#include <string>

namespace kestrum::test {

template <class Ledger> class TenIncomesOn : public IncomeControllerOn<Ledger> {
protected:
    using IncomeControllerOn<Ledger>::Controller;
    using IncomeControllerOn<Ledger>::Query;

    void SetUp() override
    {
        IncomeControllerOn<Ledger>::SetUp();
        if (this->NotSetUp())
            return;
        const char *items[] = {"工资", "红包", "利息", "奖金", "稿费",
                               "租金", "分红", "退税", "补贴", "礼金"};
        for (int i = 0; i < 10; ++i) {
            const std::string date = "2024-01-" + std::string(i < 9 ? "0" : "") + std::to_string(i + 1);
            this->AddGain(10.0 * (i + 1), date.c_str(), items[i]);
        }
        this->BindIncome("select * from gain order by 进帐时间");
    }

    //! The item column of the rows, "*" marking the focused one.
    std::string Rows(TkvCustomDataController &controller, int item = 2)
    {
        std::string text;
        for (int r = 0; r < controller.RowCount(); ++r) {
            if (r)
                text += ",";
            if (r == controller.FocusedRowIndex())
                text += "*";
            const TkvRowInfo row = controller.GetRowInfo(r);
            text += row.IsGroupRow ? "+" : "";
            text += controller.GetDisplayText(row.RecordIndex, item).toStdString();
        }
        return text;
    }
    std::string Rows() { return Rows(Controller); }

    std::string Current() { return Query.FieldByName("进帐人")->AsString().toStdString(); }

    //! The items of the selected records, in record order.
    std::string Selected()
    {
        std::string text;
        for (const int record : Controller.Selection().RecordIndexes())
            text += (text.empty() ? "" : ",") + Controller.GetDisplayText(record, 2).toStdString();
        return text;
    }
};

// A class, not an alias, so that a derived fixture names it as its base.
class TenIncomesFixture : public TenIncomesOn<FileLedgerTest> {};

} // namespace kestrum::test
