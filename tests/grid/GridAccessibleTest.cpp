// The grid read the way a screen reader reads it: through the accessible
// interface of its site window, cell by cell, with headers, footer totals,
// selection, focus announcements and a million rows.
#include "GridTestSource.h"

#include "grid/GridAccessible.h"
#include "grid/GridSite.h"

#include "ui/AccessibleEvents.h"

#include <QAccessible>
#include <QAccessibleEvent>
#include <QApplication>
#include <QElapsedTimer>
#include <QTest>

#include <gtest/gtest.h>

namespace kestrum::test {
namespace {

std::vector<std::vector<QString>> Records()
{
    return {{"12.50", "工资", "2006-7-1", "七月"},
            {"3.00", "奖金", "2006-7-2", ""},
            {"7.25", "工资", "2006-8-1", "八月"}};
}

//! Events the platform would hand to a screen reader, as "Focus:5 Reset".
std::vector<QString> &SeenEvents()
{
    static std::vector<QString> events;
    return events;
}

void RecordEvent(QAccessibleEvent &event)
{
    switch (event.type()) {
    case QAccessible::Focus:
        SeenEvents().push_back(QStringLiteral("Focus:%1").arg(event.child()));
        break;
    case QAccessible::TableModelChanged:
        SeenEvents().push_back(QStringLiteral("Reset"));
        break;
    case QAccessible::SelectionWithin:
        SeenEvents().push_back(QStringLiteral("Selection"));
        break;
    default:
        break;
    }
}

class GridAccessibleTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // As when a screen reader listens: events go to a handler instead of the platform bridge.
        SetAccessibilityEventHandler(RecordEvent);
        SeenEvents().clear();
        Ledger = MakeLedgerGrid(true, Records(), &Grid);
        Grid.resize(700, 300);
        Grid.show();
        Ledger.Source().Reload();
    }
    void TearDown() override { SetAccessibilityEventHandler(nullptr); }

    QAccessibleInterface *Table() const { return QAccessible::queryAccessibleInterface(Grid.Site()); }
    QAccessibleTableInterface *TableInterface() const { return Table()->tableInterface(); }
    QString CellName(int row, int column) const
    {
        QAccessibleInterface *cell = TableInterface()->cellAt(row, column);
        return cell ? cell->text(QAccessible::Name) : QStringLiteral("<none>");
    }

    TkvGrid Grid;
    LedgerGrid Ledger;
};

TEST_F(GridAccessibleTest, TableReadsCellsHeadersAndFooterTotals)
{
    QAccessibleInterface *table = Table();
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->role(), QAccessible::Table);
    QAccessibleTableInterface *cells = table->tableInterface();
    ASSERT_NE(cells, nullptr);
    EXPECT_EQ(cells->rowCount(), 3);
    EXPECT_EQ(cells->columnCount(), 4);
    EXPECT_EQ(CellName(0, 0), "12.50");
    EXPECT_EQ(CellName(2, 1), "工资");
    EXPECT_EQ(CellName(1, 3), "");
    EXPECT_EQ(CellName(3, 0), "<none>");
    EXPECT_EQ(cells->columnDescription(1), "进帐项");

    // Cells know their place, their column header, and are the same object when asked again.
    QAccessibleInterface *cell = cells->cellAt(2, 1);
    EXPECT_EQ(cell, cells->cellAt(2, 1));
    EXPECT_EQ(cell->role(), QAccessible::Cell);
    EXPECT_EQ(cell->parent(), table);
    ASSERT_NE(cell->tableCellInterface(), nullptr);
    EXPECT_EQ(cell->tableCellInterface()->rowIndex(), 2);
    EXPECT_EQ(cell->tableCellInterface()->columnIndex(), 1);
    ASSERT_EQ(cell->tableCellInterface()->columnHeaderCells().size(), 1);
    EXPECT_EQ(cell->tableCellInterface()->columnHeaderCells()[0]->text(QAccessible::Name), "进帐项");
    EXPECT_EQ(cell->text(QAccessible::Description), "进帐项");

    // Children in order: the four headers, the cells row by row, the footer.
    EXPECT_EQ(table->childCount(), 4 + 3 * 4 + 1);
    EXPECT_EQ(table->child(0)->role(), QAccessible::ColumnHeader);
    EXPECT_EQ(table->child(0)->text(QAccessible::Name), "本次进帐");
    EXPECT_EQ(table->child(4 + 2 * 4 + 1), cell);
    EXPECT_EQ(table->indexOfChild(cell), 4 + 2 * 4 + 1);
    EXPECT_EQ(table->indexOfChild(table->child(2)), 2);
    QAccessibleInterface *footer = table->child(4 + 3 * 4);
    ASSERT_NE(footer, nullptr);
    EXPECT_EQ(footer->role(), QAccessible::Footer);
    EXPECT_EQ(table->indexOfChild(footer), 4 + 3 * 4);
    ASSERT_EQ(footer->childCount(), 4);
    EXPECT_EQ(footer->child(0)->text(QAccessible::Name), "22.75");
    EXPECT_EQ(footer->child(0)->text(QAccessible::Description), "本次进帐");
    EXPECT_EQ(footer->child(1)->text(QAccessible::Name), "");
    EXPECT_EQ(footer->text(QAccessible::Name), "本次进帐 22.75");
}

TEST_F(GridAccessibleTest, CellsLieWhereTheyAreDrawnAndHiddenRowsAreOffscreen)
{
    const TkvGridTableViewInfo &info = Ledger.View->ViewInfo();
    const TkvGridRowViewInfo *row = info.FindRow(1);
    ASSERT_NE(row, nullptr);
    const QRect drawn = info.Cells(*row)[2].Bounds;
    QAccessibleInterface *cell = TableInterface()->cellAt(1, 2);
    EXPECT_EQ(cell->rect(), QRect(Grid.Site()->mapToGlobal(drawn.topLeft()), drawn.size()));
    EXPECT_FALSE(cell->state().offscreen);
    EXPECT_EQ(Table()->childAt(cell->rect().center().x(), cell->rect().center().y()), cell);

    // A grid too short for all rows: the rows below have no place on the screen.
    Grid.resize(700, 90);
    QApplication::processEvents();
    const int last = Ledger.View->ViewInfo().Rows().back().RowIndex;
    ASSERT_LT(last, 2);
    QAccessibleInterface *below = TableInterface()->cellAt(2, 0);
    EXPECT_TRUE(below->rect().isEmpty());
    EXPECT_TRUE(below->state().offscreen);
    EXPECT_EQ(below->text(QAccessible::Name), "7.25");
}

TEST_F(GridAccessibleTest, SelectionAndFocusFollowTheGridAndAreAnnounced)
{
    Grid.Site()->setFocus();
    Ledger.View->Controller().SetFocusedItem(Ledger.Item);
    SeenEvents().clear();
    Ledger.View->Controller().SetFocusedRowIndex(2);
    QApplication::processEvents();
    // The focused cell is announced by its child index: four headers, then row 2, column 1.
    EXPECT_NE(
        std::find(SeenEvents().begin(), SeenEvents().end(), QStringLiteral("Focus:%1").arg(4 + 2 * 4 + 1)),
        SeenEvents().end())
        << QStringList(SeenEvents().begin(), SeenEvents().end()).join(u' ').toStdString();
    EXPECT_EQ(TableInterface()->selectedRows(), QList<int>{2});
    EXPECT_TRUE(TableInterface()->isRowSelected(2));
    EXPECT_EQ(TableInterface()->selectedCellCount(), 4);
    QAccessibleInterface *focused = TableInterface()->cellAt(2, 1);
    if (Grid.Site()->hasFocus()) {
        EXPECT_TRUE(focused->state().focused);
        EXPECT_EQ(Table()->focusChild(), focused);
    }
    EXPECT_TRUE(focused->state().selected);
    EXPECT_FALSE(TableInterface()->cellAt(1, 1)->state().selected);

    // Moving to the next column is announced too.
    SeenEvents().clear();
    Ledger.View->Controller().SetFocusedItem(Ledger.Date);
    EXPECT_NE(
        std::find(SeenEvents().begin(), SeenEvents().end(), QStringLiteral("Focus:%1").arg(4 + 2 * 4 + 2)),
        SeenEvents().end());

    // A reader may move the focus itself: selecting a row, or a cell's focus action.
    ASSERT_TRUE(TableInterface()->selectRow(0));
    EXPECT_EQ(Ledger.View->DataController().FocusedRowIndex(), 0);
    QAccessibleInterface *remark = TableInterface()->cellAt(1, 3);
    ASSERT_NE(remark->actionInterface(), nullptr);
    remark->actionInterface()->doAction(QAccessibleActionInterface::setFocusAction());
    EXPECT_EQ(Ledger.View->DataController().FocusedRowIndex(), 1);
    EXPECT_EQ(Ledger.View->Controller().FocusedItem(), Ledger.Remark);
}

TEST_F(GridAccessibleTest, PressingAHeaderSortsByItsColumnAsAClickDoes)
{
    QAccessibleInterface *header = Table()->child(1);
    ASSERT_EQ(header->role(), QAccessible::ColumnHeader);
    ASSERT_NE(header->actionInterface(), nullptr);
    ASSERT_TRUE(header->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
    header->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(Ledger.Source().ItemSortOrder(Ledger.Item->Index()), TkvGridSortMark::Ascending);
    header->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(Ledger.Source().ItemSortOrder(Ledger.Item->Index()), TkvGridSortMark::Descending);
}

TEST_F(GridAccessibleTest, NewRowsDropTheCellsReadSoFar)
{
    EXPECT_EQ(CellName(2, 0), "7.25");
    auto *table = dynamic_cast<TkvGridAccessibleTable *>(Table());
    ASSERT_NE(table, nullptr);
    EXPECT_GT(table->CellCount(), 0u);
    SeenEvents().clear();
    Ledger.Source().Records.erase(Ledger.Source().Records.begin());
    Ledger.Source().Reload();
    QApplication::processEvents();
    EXPECT_NE(std::find(SeenEvents().begin(), SeenEvents().end(), QStringLiteral("Reset")),
              SeenEvents().end());
    EXPECT_EQ(TableInterface()->rowCount(), 2);
    EXPECT_EQ(CellName(2, 0), "<none>");
    EXPECT_EQ(CellName(1, 0), "7.25");
    EXPECT_EQ(Table()->child(4 + 2 * 4)->text(QAccessible::Name), "本次进帐 10.25");
}

// Guards against a reader being handed a focused cell that a following reload had already thrown away.
TEST_F(GridAccessibleTest, ACellHeldByAReaderSurvivesAReloadAndReadsTheNewText)
{
    QAccessibleInterface *cell = TableInterface()->cellAt(1, 1);
    const QAccessible::Id id = QAccessible::uniqueId(cell);
    Ledger.Source().Records[1][1] = QString::fromUtf8("红包");
    Ledger.Source().Reload();
    QApplication::processEvents();
    ASSERT_EQ(QAccessible::accessibleInterface(id), cell);
    EXPECT_TRUE(cell->isValid());
    EXPECT_EQ(cell->text(QAccessible::Name), QString::fromUtf8("红包"));
    EXPECT_EQ(TableInterface()->cellAt(1, 1), cell);
}

TEST_F(GridAccessibleTest, GroupRowsReadTheirGroupTextAndOpenAndClose)
{
    Ledger.Item->SetGroupIndex(0);
    Ledger.Source().Reload();
    QApplication::processEvents();
    // Two groups, closed: 奖金 and 工资.
    ASSERT_EQ(TableInterface()->rowCount(), 2);
    QAccessibleInterface *group = TableInterface()->cellAt(1, 0);
    EXPECT_TRUE(group->text(QAccessible::Name).startsWith("进帐项 : 工资"));
    EXPECT_EQ(CellName(1, 1), "");
    EXPECT_TRUE(group->state().expandable);
    EXPECT_TRUE(group->state().collapsed);
    ASSERT_TRUE(
        group->actionInterface()->actionNames().contains(QAccessibleActionInterface::increaseAction()));
    group->actionInterface()->doAction(QAccessibleActionInterface::increaseAction());
    QApplication::processEvents();
    EXPECT_EQ(TableInterface()->rowCount(), 4);
}

TEST(GridAccessibleName, AnUnnamedGridIsReadUnderTheNameOfWhatHoldsIt)
{
    QWidget window;
    window.setWindowTitle(QStringLiteral("Kestrum"));
    auto *box = new QWidget(&window);
    box->setAccessibleName(QString::fromUtf8("收入明细表"));
    auto *grid = new TkvGrid(box);
    QAccessibleInterface *table = QAccessible::queryAccessibleInterface(grid->Site());
    EXPECT_EQ(table->text(QAccessible::Name), QString::fromUtf8("收入明细表"));
    grid->setParent(&window);
    EXPECT_EQ(table->text(QAccessible::Name), QString()) << "never the window's title";
    grid->Site()->setAccessibleName(QStringLiteral("list"));
    EXPECT_EQ(table->text(QAccessible::Name), QStringLiteral("list"));
}

TEST(GridAccessibleMillion, EveryCellOfAMillionRowsAnswersQuickly)
{
    TkvGrid grid;
    LedgerGrid ledger = MakeLedgerGrid(true, {}, &grid);
    ledger.Source().GeneratedCount = 1000000;
    ledger.Source().Generator = [](int record, int field) { return QString::number(record * 10 + field); };
    ledger.Source().FooterSumFields.clear();
    ledger.Source().Reload();
    grid.resize(700, 300);
    QAccessibleInterface *table = QAccessible::queryAccessibleInterface(grid.Site());
    ASSERT_NE(table, nullptr);
    QAccessibleTableInterface *cells = table->tableInterface();
    ASSERT_EQ(cells->rowCount(), 1000000);
    // Rows spread over the whole table, far from the laid-out ones, each cell read as a reader would.
    const int samples = 400;
    QElapsedTimer timer;
    timer.start();
    for (int sample = 0; sample < samples; ++sample) {
        const int row = (sample * 2503) % 1000000;
        const int column = sample % 4;
        QAccessibleInterface *cell = table->child(4 + row * 4 + column);
        ASSERT_NE(cell, nullptr);
        ASSERT_EQ(cell->text(QAccessible::Name), QString::number(row * 10 + column));
        (void)cell->rect();
        (void)cell->state();
    }
    const double perCell = double(timer.nsecsElapsed()) / 1e6 / samples;
    EXPECT_LT(perCell, 10.0) << perCell << " ms per cell";
    EXPECT_EQ(cells->cellAt(999999, 3)->text(QAccessible::Name), "9999993");
    EXPECT_EQ(table->childCount(), 4 + 4000000 + 1);
}

} // namespace
} // namespace kestrum::test
