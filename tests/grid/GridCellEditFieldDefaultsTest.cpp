// The in-place editors of the income grid take their field's defaults, as
// the editors above the grid do: the item column's maximum length and the
// amount field's display format.
#include "support/IncomeGridFixture.h"

#include "editors/CurrencyEditProperties.h"
#include "editors/CustomEdit.h"

#include <gtest/gtest.h>

using namespace kestrum;
using namespace kestrum::test;

namespace {

class GridCellEditFieldDefaultsTest : public IncomeGridFixture {
protected:
    void SetUp() override
    {
        IncomeGridFixture::SetUp();
        if (HasFatalFailure())
            return;
        AddThreeIncomes();
        OpenGrid();
        View->SetFocused(true);
    }
    void OpenEditor(int rowIndex, TkvGridColumn *column)
    {
        Controller().SetFocusedRowIndex(rowIndex);
        Controller().SetFocusedItem(column);
        Controller().KeyDown(TkvGridKey::Enter, {});
    }
};

} // namespace

// Guards: the item cell took more than the field's 50 characters, and the write then failed.
TEST_F(GridCellEditFieldDefaultsTest, TheItemCellStopsAtTheFieldsLength)
{
    OpenEditor(1, Item);
    ASSERT_NE(Editor(), nullptr);
    Type(QString(60, QChar(u'x')));
    EXPECT_EQ(EditorText(), std::string(50, 'x'));
    Press(Qt::Key_Down); // written and posted
    EXPECT_EQ(StoredColumn(), "工资," + std::string(50, 'x') + ",奖金");
}

// Guards: the currency edit of a cell never saw the field's display format.
TEST_F(GridCellEditFieldDefaultsTest, TheCurrencyCellShowsTheFieldsDisplayFormat)
{
    Query.FieldByName(QString::fromUtf8("本次进帐"))->SetDisplayFormat("0.000");
    Amount->SetRepositoryItem(TkvGridEditorItemKind::Currency);
    auto *properties = dynamic_cast<TkvCustomCurrencyEditProperties *>(Amount->GetProperties());
    ASSERT_NE(properties, nullptr);
    EXPECT_EQ(properties->DisplayFormat().toStdString(), "0.000");
    View->LayoutChanged();
    EXPECT_EQ(CellText(1, Amount), "20.500");
}
