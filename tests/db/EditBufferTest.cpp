// Which fields of a pending record a post writes, and what counts as modified.
#include "db/EditBuffer.h"

#include <gtest/gtest.h>

namespace kestrum {
namespace {

TEST(EditBuffer, AnInsertWritesEveryFieldSetOrFilledButTheKeyAnUpdateOnlyTheSetOnes)
{
    TDbEditBuffer insert;
    insert.BeginInsert(4, 2, TDbCursor::AtFirst(5));
    EXPECT_EQ(insert.InsertPosition(), 2);
    EXPECT_TRUE(insert.InsertedFields(0).empty()); // nothing given: the table's defaults
    insert.Set(0, Variant(7));                     // the key is the table's to give
    insert.Set(2, Variant::null());                // set to Null on purpose: written
    EXPECT_EQ(insert.InsertedFields(0), (std::vector<int>{2}));

    TDbEditBuffer edit;
    edit.BeginEdit({Variant(1), Variant(QStringLiteral("工资")), Variant::null(), Variant(3)});
    EXPECT_TRUE(edit.UpdatedFields(0).empty()); // stored values are not written back unchanged
    EXPECT_EQ(edit.InsertedFields(0), (std::vector<int>{1, 3}));
    edit.Set(3, Variant(4));
    EXPECT_EQ(edit.UpdatedFields(0), (std::vector<int>{3}));
    EXPECT_EQ(edit.InsertPosition(), -1);
}

TEST(EditBuffer, ModifiedHoldsFromTheFirstSetUntilResetAndClearDropsThePendingInsert)
{
    TDbEditBuffer buffer;
    const TDbCursor before = TDbCursor::AtLast(3);
    buffer.BeginInsert(2, 3, before);
    EXPECT_FALSE(buffer.Modified());
    buffer.Set(1, Variant(5));
    EXPECT_TRUE(buffer.Modified());
    buffer.ResetModified();
    EXPECT_FALSE(buffer.Modified());
    EXPECT_EQ(buffer.Value(1).toInt32(), 5); // the values stay
    EXPECT_EQ(buffer.CursorBeforeInsert(), before);
    buffer.Clear();
    EXPECT_EQ(buffer.InsertPosition(), -1);
    EXPECT_TRUE(buffer.Values().empty());
}

} // namespace
} // namespace kestrum
