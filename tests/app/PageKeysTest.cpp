// Ctrl+Tab and Ctrl+Shift+Tab over the window's pages while the caret sits in
// one of the entry editors of the income page.
#include "LedgerFileFixture.h"
#include "app/EntryPage.h"
#include "app/LedgerData.h"
#include "app/MainWindow.h"
#include "core/RegionalSettings.h"
#include "db/DbQuery.h"
#include "editors/CalcEdit.h"
#include "editors/DateEdit.h"
#include "editors/DbTextEdit.h"
#include "editors/Memo.h"
#include "pages/PqPageControl.h"
#include "pages/PqTabSheet.h"
#include "support/OffscreenSizeHintsFilter.h"
#include "support/FakeShell.h"

#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <QTest>

namespace kestrum {
namespace {

class PageKeysTest : public testing::Test {
protected:
    PageKeysTest()
    {
        setRegionalSettings(RegionalSettings::simplifiedChinese());
        file.AddIncome(8600, "2024-01-10", "工资");
        data.ADOConnection1.SetConnectionString(file.ConnectionString());
        data.Loaded([](const std::exception &) {});
        window.show();
    }

    TEntryPage &incomePage() { return *static_cast<TEntryPage *>(window.IncomePage); }
    TPqTabSheet *activePage() const { return window.PqPageControl1->ActivePage(); }

    test::OffscreenSizeHintsFilter sizeHints;
    TLedgerFile file;
    TLedgerData data;
    TFakeShell shell;
    TForm1 window{data, shell};
};

// Guards against the entry editors swallowing Ctrl+Tab (the memo took it as a
// tab it then dropped, the editors' line edits as a key of their own).
TEST_F(PageKeysTest, CtrlTabSwitchesPagesFromEveryEntryEditor)
{
    TEntryPage &page = incomePage();
    const std::pair<const char *, QWidget *> editors[] = {{"amount", page.AmountEdit->InnerWidget()},
                                                          {"date", page.DateEdit->InnerWidget()},
                                                          {"item", page.ItemEdit->InnerWidget()},
                                                          {"remark", page.RemarkMemo->InnerWidget()}};
    for (const auto &[name, inner] : editors) {
        ASSERT_NE(inner, nullptr) << name;
        window.PqPageControl1->SetActivePage(window.TabSheet2);
        QTest::keyClick(inner, Qt::Key_Tab, Qt::ControlModifier);
        EXPECT_EQ(activePage(), window.TabSheet1) << name << ": Ctrl+Tab goes to the expense page";

        window.PqPageControl1->SetActivePage(window.TabSheet2);
        QTest::keyClick(inner, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
        EXPECT_EQ(activePage(), window.TabSheet3) << name << ": Ctrl+Shift+Tab wraps to the statistics";
    }
    EXPECT_EQ(static_cast<QPlainTextEdit *>(page.RemarkMemo->InnerWidget())->toPlainText(), "");
    EXPECT_EQ(data.ADOQuery1.State(), dsBrowse) << "the keys started no edit";
}

} // namespace
} // namespace kestrum
