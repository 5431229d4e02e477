// The recurring entries' list and offer without widgets: rows and texts,
// next due dates as postings and pauses change them, and amounts typed in
// the offer.
#include "app/RecurringList.h"
#include "app/RecurringDialog.h"
#include "app/RecurringOfferList.h"
#include "support/HandleDriver.h"

#include "LedgerFileFixture.h"
#include "ledger/RecurringStore.h"

#include <QHeaderView>
#include <QPushButton>
#include <QStringList>
#include <QTableWidget>

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace kestrum {
namespace {

using TColumn = TRecurringList::TColumn;

class RecurringListTest : public testing::Test {
protected:
    RecurringListTest()
    {
        sqlite3_open_v2(file.Path().toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
        EnsureRecurring(DriverOf(db));
    }
    ~RecurringListTest() override { sqlite3_close(db); }

    static TRecurringSchedule Rent()
    {
        TRecurringSchedule rent;
        rent.Item = QString::fromUtf8("房租");
        rent.AmountCents = 280000;
        rent.FirstDate = QDate(2026, 10, 31);
        return rent;
    }
    std::string Row(const TRecurringList &list, int row)
    {
        QStringList texts;
        for (int column = 0; column < TRecurringList::ColumnCount; ++column)
            texts << list.Text(row, static_cast<TColumn>(column));
        return texts.join('|').toStdString();
    }

    TLedgerFile file;
    sqlite3 *db = nullptr;
    QDate today{2026, 12, 10};
};

TEST_F(RecurringListTest, RowsShowTheRuleAndTheNextDueDateAsPostingsAndPausesChangeIt)
{
    TRecurringList list(DriverOf(db), [this] { return today; });
    EXPECT_EQ(list.RowCount(), 0);
    const int row = list.Add(Rent());
    EXPECT_EQ(Row(list, row), "支出|房租|2800.00|每月|2026-10-31|2026-10-31（已到期）|");
    PostRecurringEntries(DriverOf(db), DueRecurringEntries(DriverOf(db), today), today);
    list.Reload();
    EXPECT_EQ(list.Text(row, TColumn::NextDate).toStdString(), "2026-12-31");
    EXPECT_FALSE(list.IsDue(row));

    list.SetPaused(row, true);
    EXPECT_EQ(list.Text(row, TColumn::NextDate).toStdString(), "已暂停");
    list.SetPaused(row, false);

    TRecurringSchedule changed = list.Schedule(row);
    changed.Unit = TRecurringUnit::Weeks;
    changed.Every = 2;
    changed.EndCount = 5;
    list.Change(row, changed);
    EXPECT_EQ(Row(list, row), "支出|房租|2800.00|每 2 周，共 5 次|2026-10-31|2026-12-12|");
}

TEST_F(RecurringListTest, AnInvalidScheduleIsRefusedAndNothingIsStored)
{
    TRecurringList list(DriverOf(db), [this] { return today; });
    TRecurringSchedule bad = Rent();
    bad.Item.clear();
    EXPECT_THROW(list.Add(bad), std::exception);
    EXPECT_EQ(list.RowCount(), 0);
    const int row = list.Add(Rent());
    bad = list.Schedule(row);
    bad.AmountCents = 0;
    EXPECT_THROW(list.Change(row, bad), std::exception);
    EXPECT_EQ(list.Schedule(row).AmountCents, 280000);
    list.Remove(row);
    EXPECT_EQ(list.RowCount(), 0);
    EXPECT_EQ(file.Scalar("SELECT count(*) FROM kestrum_recurring"), "0");
}

TEST_F(RecurringListTest, TheDialogsColumnsFitTheirTextsWithOrWithoutRows)
{
    // Guards against narrow, cut-off columns while the list has no rows.
    TRecurringDialog dialog(DriverOf(db), [this] { return today; });
    const QHeaderView *header = dialog.ListView->horizontalHeader();
    const QFontMetrics metrics(dialog.ListView->font());
    const std::pair<TColumn, const char *> typical[] = {
        {TColumn::Page, "收入"},
        {TColumn::Item, "物业管理费"},
        {TColumn::Amount, "12345.00"},
        {TColumn::Rule, "每 2 个月，共 12 次"},
        {TColumn::FirstDate, "2026-12-31"},
        {TColumn::NextDate, "2026-12-31（已到期）"},
    };
    auto tooNarrow = [&] {
        std::string out;
        for (const auto &[column, text] : typical)
            if (header->sectionSize(int(column)) <= metrics.horizontalAdvance(QString::fromUtf8(text)))
                out += text + std::string(" ");
        for (int column = 0; column < TRecurringList::ColumnCount; ++column)
            if (header->sectionSize(column) < header->sectionSizeHint(column))
                out += "header " + std::to_string(column) + " ";
        return out;
    };
    EXPECT_EQ(tooNarrow(), "");
    std::vector<int> empty;
    for (int column = 0; column < TRecurringList::ColumnCount; ++column)
        empty.push_back(header->sectionSize(column));

    dialog.EditSchedule = [](const TRecurringSchedule &, const QString &) {
        return std::optional<TRecurringSchedule>(Rent());
    };
    dialog.AddButton->click();
    ASSERT_EQ(dialog.ListView->rowCount(), 1);
    EXPECT_EQ(tooNarrow(), "");
    // A row as short as the typical texts leaves the columns as they were.
    for (int column = 0; column + 1 < TRecurringList::ColumnCount; ++column)
        EXPECT_EQ(header->sectionSize(column), empty[std::size_t(column)]) << column;
}

TEST(RecurringOfferList, TicksAndTypedAmountsMakeWhatIsPosted)
{
    const TRecurringDue rent{1,      QDate(2026, 11, 30),       TRecurringPage::Expense,
                             280000, QString::fromUtf8("房租"), {}};
    const TRecurringDue power{2,     QDate(2026, 12, 1),        TRecurringPage::Expense,
                              20000, QString::fromUtf8("水电"), QString::fromUtf8("估计")};
    TRecurringOfferList offer({rent, power, rent});
    EXPECT_EQ(offer.Title().toStdString(), "有 3 条定期收支到期");
    EXPECT_EQ(offer.TickedCount(), 3);
    EXPECT_TRUE(offer.SetAmountText(1, QStringLiteral("231.7")));
    EXPECT_FALSE(offer.SetAmountText(1, QStringLiteral("二百")));
    EXPECT_FALSE(offer.SetAmountText(1, QStringLiteral("-3")));
    EXPECT_EQ(offer.Text(1, TRecurringOfferList::TColumn::Amount).toStdString(), "231.70");
    offer.SetTicked(2, false);
    const std::vector<TRecurringDue> chosen = offer.Chosen();
    ASSERT_EQ(chosen.size(), 2u);
    EXPECT_EQ(chosen[0].AmountCents, 280000);
    EXPECT_EQ(chosen[1].AmountCents, 23170);
    EXPECT_EQ(chosen[1].Remark.toStdString(), "估计");
}

} // namespace
} // namespace kestrum
