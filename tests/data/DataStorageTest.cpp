#include "data/DataStorage.h"
#include "core/Codepage.h"
#include "core/RegionalSettings.h"
#include "data/ValueTypesBcdTime.h"
#include "data/ValueTypesHeld.h"

#include <gtest/gtest.h>

#include <cstring>
#include <span>
#include <string>
#include <vector>

namespace kestrum {
namespace {

class DataStorageTest : public ::testing::Test {
protected:
    void SetUp() override { setRegionalSettings(RegionalSettings::simplifiedChinese()); }

    //! Values of one column over all records: "1,Null,3".
    std::string Column(const TkvValueDef *def)
    {
        std::string text;
        for (int r = 0; r < Storage.RecordCount(); ++r) {
            const Variant value = Storage.GetValue(r, def);
            text += (r ? "," : "") + (value.isNull() ? std::string("Null") : narrowToUtf8(value.toNarrow()));
        }
        return text;
    }

    static std::string Narrow(const Variant &value) { return narrowToUtf8(value.toNarrow()); }

    TkvDataStorage Storage;
};

TEST_F(DataStorageTest, NeverWrittenRecordIsNullAndSortsFirst)
{
    TkvValueDef *amount = Storage.ValueDefs().Add(TkvFloatValueType::Instance(), true, nullptr, false);
    Storage.AppendRecord();
    Storage.AppendRecord();
    Storage.AppendRecord();
    Storage.SetValue(1, amount, Variant::null()); // a buffer, but null
    Storage.SetValue(2, amount, Variant(-5.0));
    EXPECT_EQ(Column(amount), "Null,Null,-5");
    EXPECT_EQ(Storage.RecordBuffer(0), nullptr);
    EXPECT_LT(Storage.CompareRecords(0, 1, amount), 0); // no buffer before a null value
    EXPECT_LT(Storage.CompareRecords(1, 2, amount), 0); // null before every value
    EXPECT_EQ(Storage.CompareRecords(0, 0, amount), 0);
    EXPECT_EQ(Storage.CheckConsistency(), "");
}

TEST_F(DataStorageTest, AddingAndRemovingColumnsKeepsOtherValues)
{
    TkvValueDef *item = Storage.ValueDefs().Add(TkvStringValueType::Instance(), true, nullptr, false);
    for (int r = 0; r < 3; ++r)
        Storage.SetValue(Storage.AppendRecord(), item, Variant::fromUtf8("item" + std::to_string(r)));
    TkvValueDef *amount = Storage.ValueDefs().Add(TkvCurrencyValueType::Instance(), true, nullptr, false);
    EXPECT_EQ(Column(item), "item0,item1,item2");
    EXPECT_EQ(Column(amount), "Null,Null,Null");
    Storage.SetValue(1, amount, Variant(Currency{125000}));
    TkvValueDef *remark = Storage.ValueDefs().Add(TkvStringValueType::Instance(), true, nullptr, true);
    Storage.SetValue(2, remark, Variant::fromUtf8("备注"));
    Storage.SetDisplayText(2, remark, QString::fromUtf8("显示"));

    // Removing a middle column moves the later bytes down.
    Storage.ValueDefs().Remove(amount);
    EXPECT_EQ(Column(item), "item0,item1,item2");
    EXPECT_EQ(Column(remark), "Null,Null,备注");
    EXPECT_EQ(Storage.GetDisplayText(2, remark), QString::fromUtf8("显示"));
    EXPECT_EQ(Storage.ValueDefs().RecordSize(), 1 + (1 + 8) + (1 + 8 + 8));
    EXPECT_EQ(Storage.CheckConsistency(), "");

    // Removing the last stored columns frees every buffer; records stay.
    Storage.ValueDefs().Remove(item);
    Storage.ValueDefs().Remove(remark);
    EXPECT_EQ(Storage.RecordCount(), 3);
    EXPECT_EQ(Storage.RecordBuffer(2), nullptr);
}

TEST_F(DataStorageTest, InternalRecordsMirrorColumnsAndAreReused)
{
    TkvValueDef *item = Storage.ValueDefs().Add(TkvStringValueType::Instance(), false, nullptr, false);
    Storage.SetStoredValuesOnly(true); // ordinary records drop the unstored column...
    EXPECT_EQ(item->BufferSize(), 0);
    const int scratch = Storage.AddInternalRecord();
    EXPECT_EQ(scratch, -1);
    Storage.SetValue(scratch, item, Variant::fromUtf8("草稿")); // ...internal ones keep every column
    EXPECT_EQ(Storage.GetValue(scratch, item).toNarrow(), utf8ToNarrow("草稿"));
    EXPECT_EQ(Storage.AddInternalRecord(), -2);
    Storage.ReleaseInternalRecord(-1);
    EXPECT_EQ(Storage.GetValue(-1, item).isNull(), true);
    EXPECT_EQ(Storage.AddInternalRecord(), -1);
    EXPECT_THROW(Storage.GetValue(-3, item), EListError);
}

TEST_F(DataStorageTest, ComparisonsAreThreeWayAtTheLimits)
{
    TkvValueDef *integer = Storage.ValueDefs().Add(TkvIntegerValueType::Instance(), true, nullptr, false);
    TkvValueDef *large = Storage.ValueDefs().Add(TkvLargeIntValueType::Instance(), true, nullptr, false);
    TkvValueDef *text = Storage.ValueDefs().Add(TkvStringValueType::Instance(), true, nullptr, false);
    Storage.SetRecordCount(2);
    Storage.SetValue(0, integer, Variant(2147483647));
    Storage.SetValue(1, integer, Variant(-1));
    Storage.SetValue(0, large, Variant(std::int64_t(INT64_MAX)));
    Storage.SetValue(1, large, Variant(std::int64_t(INT64_MIN)));
    Storage.SetValue(0, text, Variant::fromUtf8("B"));
    Storage.SetValue(1, text, Variant::fromUtf8("a"));
    EXPECT_GT(Storage.CompareRecords(0, 1, integer), 0);
    EXPECT_LT(Storage.CompareRecords(1, 0, integer), 0);
    EXPECT_GT(Storage.CompareRecords(0, 1, large), 0);
    EXPECT_LT(Storage.CompareRecords(0, 1, text), 0); // byte order: "B" before "a"
    const TkvValuePointer a = Storage.GetValuePointer(0, integer);
    const TkvValuePointer b = Storage.GetValuePointer(1, integer);
    EXPECT_GT(TkvDataStorage::CompareValuePointers(integer, a, b), 0);
}

TEST_F(DataStorageTest, NullFreesTheHolderAndAValueAllocatesAgain)
{
    TkvValueDef *item = Storage.ValueDefs().Add(TkvStringValueType::Instance(), true, nullptr, false);
    Storage.AppendRecord();
    Storage.SetValue(0, item, Variant::fromUtf8("早餐"));
    EXPECT_NE(Storage.GetValuePointer(0, item).Value, nullptr);
    Storage.SetValue(0, item, Variant::null());
    EXPECT_TRUE(Storage.GetValuePointer(0, item).IsNull);
    EXPECT_EQ(Storage.GetValuePointer(0, item).Value, nullptr);
    Storage.SetValue(0, item, Variant::fromUtf8(""));
    EXPECT_FALSE(Storage.GetValue(0, item).isNull()); // an empty string is a value
    EXPECT_EQ(Storage.GetValue(0, item).toNarrow(), "");
}

TEST_F(DataStorageTest, TextsOfEveryLengthRoundTrip)
{
    // Holders switch to a longer length prefix at 255 bytes.
    TkvValueDef *text = Storage.ValueDefs().Add(TkvStringValueType::Instance(), true, nullptr, true);
    TkvValueDef *memo = Storage.ValueDefs().Add(TkvVariantValueType::Instance(), true, nullptr, false);
    Storage.AppendRecord();
    for (std::size_t length : {0u, 1u, 254u, 255u, 256u, 70000u}) {
        const std::string bytes(length, 'x');
        Storage.SetValue(0, text, Variant::fromNarrow(bytes));
        Storage.SetDisplayText(0, text, QString(int(length), 'y'));
        Storage.SetValue(0, memo, Variant::fromNarrow(bytes + "z"));
        EXPECT_EQ(Storage.GetValue(0, text).toNarrow(), bytes);
        EXPECT_EQ(Storage.GetDisplayText(0, text).size(), qsizetype(length));
        EXPECT_EQ(Storage.GetValue(0, memo).toNarrow(), bytes + "z");
    }
    Storage.ClearRecords(false);
    EXPECT_LE(Storage.MemoryUsage(), sizeof(void *)); // the heap gave everything back
}

TEST_F(DataStorageTest, TurningTextStoredOnUnloadsRecords)
{
    TkvValueDef *amount = Storage.ValueDefs().Add(TkvFloatValueType::Instance(), true, nullptr, false);
    Storage.AppendRecord();
    Storage.SetValue(0, amount, Variant(12.5));
    const int scratch = Storage.AddInternalRecord();
    Storage.SetValue(scratch, amount, Variant(1.0));
    amount->SetTextStored(true);
    EXPECT_EQ(Storage.RecordCount(), 1);
    EXPECT_TRUE(Storage.GetValue(0, amount).isNull()); // must be read again
    EXPECT_TRUE(Storage.StructureChanged());
    Storage.SetValue(0, amount, Variant(3.0));
    Storage.SetDisplayText(0, amount, QString::fromUtf8("￥3.00"));
    Storage.CheckStructure();
    EXPECT_EQ(Storage.InternalRecordCount(), 0);
    EXPECT_TRUE(Storage.InternalValueDefs().Items(0)->TextStored());
    Storage.SetValue(0, amount, Variant(4.0));
    Storage.SetDisplayText(0, amount, QString::fromUtf8("￥4.00"));
    EXPECT_EQ(Storage.GetDisplayText(0, amount), QString::fromUtf8("￥4.00"));
    EXPECT_EQ(Storage.CheckConsistency(), "");
}

// Unloading for a layout change must free each column by the layout its
// buffers were written with: the display-text slot that TextStored adds does
// not exist yet in them, and in its place lie the next column's bytes.
TEST_F(DataStorageTest, TextStoredChangesFreeBuffersByTheirOldLayout)
{
    static int alive = 0;
    struct Tracked : TkvStoredObject {
        Tracked() { ++alive; }
        ~Tracked() override { --alive; }
    };
    {
        TkvDataStorage storage;
        TkvValueDef *item = storage.ValueDefs().Add(TkvStringValueType::Instance(), true, nullptr, false);
        TkvValueDef *object = storage.ValueDefs().Add(TkvObjectValueType::Instance(), true, nullptr, false);
        TkvValueDef *remark = storage.ValueDefs().Add(TkvStringValueType::Instance(), true, nullptr, true);
        for (int r = 0; r < 50; ++r) {
            storage.AppendRecord();
            storage.SetValue(r, item, Variant::fromUtf8("项目" + std::to_string(r)));
            storage.SetValue(r, object, TkvObjectValueType::FromObject(new Tracked));
            storage.SetValue(r, remark, Variant::fromUtf8("备注"));
            storage.SetDisplayText(r, remark, QString::fromUtf8("显示") + QString::number(r));
        }
        ASSERT_EQ(alive, 50);

        item->SetTextStored(true); // the object's bytes stand where the new text slot goes
        EXPECT_EQ(alive, 0) << "unloading destroys every object once";
        EXPECT_TRUE(storage.GetValue(7, item).isNull());
        EXPECT_TRUE(storage.GetValue(7, object).isNull());

        for (int r = 0; r < 50; ++r) {
            storage.SetValue(r, item, Variant::fromUtf8("新" + std::to_string(r)));
            storage.SetDisplayText(r, item, QString::fromUtf8("文") + QString::number(r));
            storage.SetValue(r, object, TkvObjectValueType::FromObject(new Tracked));
        }
        storage.CheckStructure();
        EXPECT_EQ(alive, 0) << "CheckStructure unloads what was written meanwhile";
        storage.SetValue(3, item, Variant::fromUtf8("再"));
        storage.SetDisplayText(3, item, QString::fromUtf8("再显示"));
        storage.SetValue(3, object, TkvObjectValueType::FromObject(new Tracked));
        EXPECT_EQ(storage.GetDisplayText(3, item), QString::fromUtf8("再显示"));

        // And back off again: the text slot of the old layout is freed.
        remark->SetTextStored(false);
        item->SetTextStored(false);
        EXPECT_EQ(alive, 0);
        storage.SetValue(3, object, TkvObjectValueType::FromObject(new Tracked));
        storage.SetValue(3, remark, Variant::fromUtf8("x"));
        EXPECT_EQ(storage.CheckConsistency(), "");
    }
    EXPECT_EQ(alive, 0);
}

TEST_F(DataStorageTest, EveryValueTypeRoundTripsThroughItsStreamForm)
{
    struct Case {
        TkvValueTypeClass type;
        Variant value;
        int bytes;
    };
    const Case cases[] = {
        {TkvStringValueType::Instance(), Variant::fromUtf8("收入"), 8},
        {TkvWideStringValueType::Instance(), Variant(QString::fromUtf8("宽")), 8},
        {TkvSmallintValueType::Instance(), Variant::fromInt16(-300), 2},
        {TkvIntegerValueType::Instance(), Variant(-70000), 4},
        {TkvWordValueType::Instance(), Variant::fromUInt16(65535), 2},
        {TkvBooleanValueType::Instance(), Variant(true), 1},
        {TkvFloatValueType::Instance(), Variant(2.25), 8},
        {TkvCurrencyValueType::Instance(), Variant(Currency{-15}), 8},
        {TkvDateTimeValueType::Instance(), Variant::fromDate(45000.5), 8},
        {TkvLargeIntValueType::Instance(), Variant(std::int64_t(1) << 40), 8},
        {TkvFMTBcdValueType::Instance(), Variant(-1234.5678), 34},
        {TkvSQLTimeStampValueType::Instance(), Variant::fromDate(45000.25), 16},
        {TkvVariantValueType::Instance(), Variant(7), 8},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.type->ClassName());
        TkvDataStorage storage;
        TkvValueDef *def = storage.ValueDefs().Add(c.type, true, nullptr, false);
        EXPECT_EQ(def->DataSize(), c.bytes);
        storage.AppendRecord();
        storage.SetValue(0, def, c.value);
        const Variant stored = storage.GetValue(0, def);
        EXPECT_EQ(debugString(stored), debugString(storage.GetValue(0, def)));
        EXPECT_EQ(stored.toNarrow(), c.value.toNarrow());

        BinaryWriter writer;
        const std::byte *place = storage.RecordBuffer(0) + def->ValueOffset();
        c.type->SaveValue(place, writer);
        TkvDataStorage copy;
        TkvValueDef *copyDef = copy.ValueDefs().Add(c.type, true, nullptr, false);
        copy.AppendRecord();
        copy.SetValue(0, copyDef, Variant(0)); // allocates and marks present
        BinaryReader reader(writer.bytes());
        TkvValueHeap heap;
        std::byte buffer[64] = {};
        c.type->LoadValue(buffer, reader, heap);
        EXPECT_TRUE(reader.atEnd());
        EXPECT_EQ(c.type->GetValue(buffer).toNarrow(), c.value.toNarrow());
        c.type->FreeStored(buffer, heap);
    }
}

TEST_F(DataStorageTest, VariantColumnKeepsTypeAndPayload)
{
    TkvValueDef *def = Storage.ValueDefs().Add(TkvVariantValueType::Instance(), true, nullptr, false);
    const Variant values[] = {Variant(),
                              Variant::fromInt8(-3),
                              Variant::fromUInt32(4000000000u),
                              Variant(std::int64_t(-1) << 50),
                              Variant::fromFloat32(1.5f),
                              Variant(Currency{-123456}),
                              Variant::fromDate(45000.75),
                              Variant(false),
                              Variant::fromUtf8("一段很长的备注"),
                              Variant(QString::fromUtf8("宽字符")),
                              Variant::fromArray({Variant(1), Variant::fromUtf8("x")}),
                              Variant::fromError(7)};
    Storage.SetRecordCount(1);
    for (const Variant &value : values) {
        Storage.SetValue(0, def, value); // replaces the previous holder
        EXPECT_TRUE(Storage.GetValue(0, def).identicalTo(value)) << debugString(value);
    }
    Storage.SetRecordCount(2);
    Storage.SetValue(0, def, Variant(2));
    Storage.SetValue(1, def, Variant(10.5));
    EXPECT_LT(Storage.CompareRecords(0, 1, def), 0); // the variant comparison, across types
}

TEST_F(DataStorageTest, IsValueValidChecksConversionWithoutRaising)
{
    EXPECT_TRUE(TkvIntegerValueType::Instance()->IsValueValid(Variant::null()));
    EXPECT_TRUE(TkvIntegerValueType::Instance()->IsValueValid(Variant::fromUtf8("12")));
    EXPECT_FALSE(TkvIntegerValueType::Instance()->IsValueValid(Variant::fromUtf8("abc")));
    EXPECT_FALSE(TkvSmallintValueType::Instance()->IsValueValid(Variant(40000)));
    EXPECT_TRUE(TkvVariantValueType::Instance()->IsValueValid(Variant::fromUtf8("abc")));
    EXPECT_EQ(TkvBooleanValueType::Instance()->GetDisplayText(reinterpret_cast<const std::byte *>("\1")),
              QString("True"));
}

TEST_F(DataStorageTest, ObjectColumnsOwnTheirObjects)
{
    static int alive = 0;
    struct Tracked : TkvStoredObject {
        Tracked() { ++alive; }
        ~Tracked() override { --alive; }
    };
    {
        TkvDataStorage storage;
        TkvValueDef *def = storage.ValueDefs().Add(TkvObjectValueType::Instance(), true, nullptr, false);
        storage.SetRecordCount(2);
        storage.SetValue(0, def, TkvObjectValueType::FromObject(new Tracked));
        storage.SetValue(1, def, TkvObjectValueType::FromObject(new Tracked));
        EXPECT_EQ(alive, 2);
        storage.SetValue(0, def, Variant::null());
        EXPECT_EQ(alive, 1);
    }
    EXPECT_EQ(alive, 0);
}

TEST_F(DataStorageTest, ReadRecordSkipsInternalFieldsWhenAsked)
{
    struct Reader : TkvValueDefReader {
        TkvValueDef *Internal = nullptr;
        Variant GetValue(TkvValueDef *def) override { return def == Internal ? Variant(99) : Variant(1); }
        bool IsInternal(TkvValueDef *def) override { return def == Internal; }
    } reader;
    TkvValueDef *plain = Storage.ValueDefs().Add(TkvIntegerValueType::Instance(), true, nullptr, false);
    reader.Internal = Storage.ValueDefs().Add(TkvIntegerValueType::Instance(), true, nullptr, false);
    Storage.AppendRecord();
    Storage.ReadRecord(0, reader, true);
    EXPECT_EQ(Column(plain), "1");
    EXPECT_EQ(Column(reader.Internal), "Null");
    Storage.ReadRecord(0, reader, false);
    EXPECT_EQ(Column(reader.Internal), "99");
}

TEST_F(DataStorageTest, IndexErrorsNameTheIndex)
{
    Storage.ValueDefs().Add(TkvIntegerValueType::Instance(), true, nullptr, false);
    try {
        Storage.GetValue(5, Storage.ValueDefs().Items(0));
        FAIL();
    } catch (const EListError &error) {
        EXPECT_STREQ(error.what(), "List index out of bounds (5)");
    }
    Storage.SetRecordCount(-4);
    EXPECT_EQ(Storage.RecordCount(), 0);
}

// ---- every kind side by side, growing and shrinking, the heap ----------

struct KindCase {
    TkvValueTypeClass type;
    Variant first;
    Variant second;
};

//! Every stored kind with two different values; their sizes (1 to 34 bytes)
//! put every column at an odd offset after the one before.
std::vector<KindCase> EveryKind()
{
    return {
        {TkvStringValueType::Instance(), Variant::fromUtf8("收入"), Variant::fromUtf8("")},
        {TkvWideStringValueType::Instance(), Variant(QString::fromUtf8("宽")), Variant(QString("w"))},
        {TkvSmallintValueType::Instance(), Variant::fromInt16(-300), Variant::fromInt16(32767)},
        {TkvIntegerValueType::Instance(), Variant(-70000), Variant(0)},
        {TkvWordValueType::Instance(), Variant::fromUInt16(65535), Variant::fromUInt16(1)},
        {TkvBooleanValueType::Instance(), Variant(true), Variant(false)},
        {TkvFloatValueType::Instance(), Variant(2.25), Variant(-1e300)},
        {TkvCurrencyValueType::Instance(), Variant(Currency{-15}), Variant(Currency{922337203685477LL})},
        {TkvDateTimeValueType::Instance(), Variant::fromDate(45000.5), Variant::fromDate(-1.5)},
        {TkvLargeIntValueType::Instance(), Variant(std::int64_t(1) << 40), Variant(std::int64_t(INT64_MIN))},
        {TkvFMTBcdValueType::Instance(), Variant(-1234.5678), Variant(0.0001)},
        {TkvSQLTimeStampValueType::Instance(), Variant::fromDate(45000.25), Variant::fromDate(1.0)},
        {TkvVariantValueType::Instance(), Variant(7), Variant::fromUtf8("备注")},
    };
}

std::string Text(const Variant &value)
{
    return value.isNull() ? "Null" : narrowToUtf8(value.toNarrow());
}

TEST_F(DataStorageTest, EveryKindSideBySideSurvivesNullAndValueCycles)
{
    const std::vector<KindCase> kinds = EveryKind();
    std::vector<TkvValueDef *> defs;
    for (const KindCase &kind : kinds)
        defs.push_back(Storage.ValueDefs().Add(kind.type, true, nullptr, kind.type == kinds[0].type));
    Storage.SetRecordCount(3);

    for (std::size_t c = 0; c < kinds.size(); ++c) {
        Storage.SetValue(1, defs[c], kinds[c].first);
        Storage.SetValue(2, defs[c], kinds[c].first);
    }
    // Every second column goes Null and comes back with the other value.
    for (std::size_t c = 0; c < kinds.size(); c += 2)
        Storage.SetValue(2, defs[c], Variant::null());
    for (std::size_t c = 0; c < kinds.size(); ++c) {
        SCOPED_TRACE(kinds[c].type->ClassName());
        EXPECT_EQ(Storage.IsNull(2, defs[c]), c % 2 == 0);
        EXPECT_EQ(Storage.GetValuePointer(2, defs[c]).IsNull, c % 2 == 0);
        EXPECT_EQ(Text(Storage.GetValue(2, defs[c])), c % 2 == 0 ? "Null" : Text(kinds[c].first));
    }
    EXPECT_EQ(Storage.CheckConsistency(), "");
    for (std::size_t c = 0; c < kinds.size(); c += 2)
        Storage.SetValue(2, defs[c], kinds[c].second);

    for (std::size_t c = 0; c < kinds.size(); ++c) {
        SCOPED_TRACE(kinds[c].type->ClassName());
        EXPECT_TRUE(Storage.IsNull(0, defs[c])) << "a record never written is Null in every column";
        EXPECT_EQ(Text(Storage.GetValue(1, defs[c])), Text(kinds[c].first)) << "no bleeding between records";
        const Variant &expected = c % 2 == 0 ? kinds[c].second : kinds[c].first;
        EXPECT_EQ(Text(Storage.GetValue(2, defs[c])), Text(expected));
        EXPECT_EQ(Storage.CompareRecords(1, 2, defs[c]) == 0, c % 2 == 1);
        EXPECT_LT(Storage.CompareRecords(0, 1, defs[c]), 0);
    }
    EXPECT_EQ(Storage.RecordBuffer(0), nullptr);
    EXPECT_EQ(Storage.CheckConsistency(), "");

    // The text stored beside the first column follows its own record.
    Storage.SetDisplayText(1, defs[0], QString::fromUtf8("显示一"));
    Storage.SetDisplayText(2, defs[0], QString::fromUtf8("显示二"));
    Storage.SetValue(2, defs[0], Variant::null());
    EXPECT_EQ(Storage.GetDisplayText(1, defs[0]), QString::fromUtf8("显示一"));
    EXPECT_EQ(Storage.CheckConsistency(), "");
}

TEST_F(DataStorageTest, GrowingAndShrinkingNeverShowsStaleValues)
{
    TkvValueDef *item = Storage.ValueDefs().Add(TkvStringValueType::Instance(), true, nullptr, false);
    TkvValueDef *amount = Storage.ValueDefs().Add(TkvFloatValueType::Instance(), true, nullptr, false);
    for (int r = 0; r < 5; ++r) {
        Storage.SetValue(Storage.AppendRecord(), item, Variant::fromUtf8("r" + std::to_string(r)));
        Storage.SetValue(r, amount, Variant(double(r)));
    }
    Storage.DeleteRecord(1);
    EXPECT_EQ(Column(item), "r0,r2,r3,r4");
    EXPECT_EQ(Column(amount), "0,2,3,4");
    Storage.InsertRecord(1);
    EXPECT_EQ(Column(item), "r0,Null,r2,r3,r4");
    Storage.InsertRecord(Storage.RecordCount());
    EXPECT_EQ(Column(item), "r0,Null,r2,r3,r4,Null");
    EXPECT_THROW(Storage.InsertRecord(Storage.RecordCount() + 1), EListError);
    EXPECT_THROW(Storage.InsertRecord(-1), EListError);

    // Shrinking frees the tail; growing again brings empty records, not the old ones.
    Storage.SetRecordCount(2);
    Storage.SetRecordCount(5);
    EXPECT_EQ(Column(item), "r0,Null,Null,Null,Null");
    EXPECT_EQ(Column(amount), "0,Null,Null,Null,Null");
    Storage.DeleteRecord(0);
    EXPECT_EQ(Column(item), "Null,Null,Null,Null");
    EXPECT_EQ(Storage.CheckConsistency(), "");
    EXPECT_THROW(Storage.DeleteRecord(4), EListError);
}

// A record added in the middle and deleted again, and deletes one after the
// other, leave room among the records: columns added and removed, unloads and
// appends meanwhile reach every record and no other.
TEST_F(DataStorageTest, RecordsAroundAnInsertOrDeleteKeepTheirValuesThroughLayoutChanges)
{
    TkvValueDef *item = Storage.ValueDefs().Add(TkvStringValueType::Instance(), true, nullptr, false);
    for (int r = 0; r < 200; ++r)
        Storage.SetValue(Storage.AppendRecord(), item, Variant::fromUtf8("r" + std::to_string(r)));
    Storage.InsertRecord(100);
    Storage.SetValue(100, item, Variant::fromUtf8("new"));
    Storage.DeleteRecord(100); // cancelled
    Storage.DeleteRecord(0);
    Storage.DeleteRecord(0);
    Storage.DeleteRecord(Storage.RecordCount() - 1);
    Storage.InsertRecord(50);
    Storage.SetValue(Storage.AppendRecord(), item, Variant::fromUtf8("last"));
    ASSERT_EQ(Storage.RecordCount(), 199);
    EXPECT_EQ(Narrow(Storage.GetValue(0, item)), "r2");
    EXPECT_TRUE(Storage.GetValue(50, item).isNull());
    EXPECT_EQ(Narrow(Storage.GetValue(51, item)), "r52");
    EXPECT_EQ(Narrow(Storage.GetValue(197, item)), "r198");
    EXPECT_EQ(Narrow(Storage.GetValue(198, item)), "last");

    // A column added widens every buffer, one removed narrows them.
    TkvValueDef *amount = Storage.ValueDefs().Add(TkvFloatValueType::Instance(), true, nullptr, false);
    Storage.SetValue(51, amount, Variant(5.5));
    EXPECT_EQ(Narrow(Storage.GetValue(51, item)), "r52");
    EXPECT_EQ(Storage.GetValue(51, amount).toDouble(), 5.5);
    EXPECT_EQ(Storage.CheckConsistency(), "");
    Storage.ValueDefs().Remove(item);
    EXPECT_EQ(Storage.GetValue(51, amount).toDouble(), 5.5);
    EXPECT_TRUE(Storage.GetValue(52, amount).isNull());
    EXPECT_EQ(Storage.CheckConsistency(), "");

    Storage.UnloadRecords();
    EXPECT_EQ(Storage.RecordCount(), 199);
    EXPECT_TRUE(Storage.GetValue(51, amount).isNull());
    Storage.SetValue(198, amount, Variant(1.0));
    Storage.SetRecordCount(199 + 3);
    EXPECT_EQ(Storage.GetValue(198, amount).toDouble(), 1.0);
    EXPECT_TRUE(Storage.GetValue(201, amount).isNull());
}

TEST_F(DataStorageTest, RewritingEveryRecordReusesTheFreedMemory)
{
    TkvValueDef *item = Storage.ValueDefs().Add(TkvStringValueType::Instance(), true, nullptr, true);
    Storage.SetRecordCount(2000);
    auto fill = [&](const char *prefix) {
        for (int r = 0; r < Storage.RecordCount(); ++r) {
            Storage.SetValue(r, item, Variant::fromUtf8(prefix + std::to_string(r)));
            Storage.SetDisplayText(r, item, QString::fromUtf8("文本") + QString::number(r));
        }
    };
    fill("早餐");
    const std::size_t filled = Storage.MemoryUsage();
    for (int round = 0; round < 3; ++round) {
        for (int r = 0; r < Storage.RecordCount(); ++r)
            Storage.SetValue(r, item, Variant::null());
        fill("午餐");
    }
    EXPECT_EQ(Storage.MemoryUsage(), filled) << "same-sized values take the freed blocks again";
    EXPECT_EQ(Narrow(Storage.GetValue(1999, item)), "午餐1999");
    EXPECT_EQ(Storage.GetDisplayText(1999, item), QString::fromUtf8("文本1999"));

    Storage.UnloadRecords();
    EXPECT_EQ(Storage.RecordCount(), 2000) << "unloading keeps the records";
    EXPECT_TRUE(Storage.IsNull(5, item));
    fill("晚餐");
    EXPECT_EQ(Storage.MemoryUsage(), filled);
    EXPECT_EQ(Storage.CheckConsistency(), "");
}

TEST_F(DataStorageTest, ClearingRecordsKeepsScratchRecordsOnlyWhenAsked)
{
    TkvValueDef *item = Storage.ValueDefs().Add(TkvStringValueType::Instance(), true, nullptr, false);
    Storage.SetValue(Storage.AppendRecord(), item, Variant::fromUtf8("行"));
    const int scratch = Storage.AddInternalRecord();
    Storage.SetValue(scratch, item, Variant::fromUtf8("草稿"));
    int cleared = 0;
    Storage.OnClearInternalRecords = [&cleared] { ++cleared; };

    Storage.ClearRecords(true);
    EXPECT_EQ(Storage.RecordCount(), 0);
    EXPECT_EQ(Narrow(Storage.GetValue(scratch, item)), "草稿");
    EXPECT_EQ(cleared, 0);
    Storage.ClearRecords(false);
    EXPECT_EQ(Storage.InternalRecordCount(), 0);
    EXPECT_EQ(cleared, 1);
    EXPECT_THROW(Storage.GetValue(scratch, item), EListError);
    EXPECT_EQ(Storage.CheckConsistency(), "");
}

TEST(ValueHeap, FreedBlocksComeBackBySizeClassLastFreedFirst)
{
    TkvValueHeap heap;
    std::byte *a = heap.Allocate(10);
    std::byte *b = heap.Allocate(12);
    std::byte *c = heap.Allocate(16);
    EXPECT_EQ(b - a, 12) << "10 bytes round up to 12";
    heap.Free(a, 10);
    heap.Free(b, 12);
    EXPECT_NE(heap.Allocate(16), a) << "another size class does not take them";
    EXPECT_EQ(heap.Allocate(11), b);
    EXPECT_EQ(heap.Allocate(9), a);
    EXPECT_NE(heap.Allocate(12), a) << "the list is empty again";

    // A reused block holds the free-list link; zeroed allocation clears it all.
    std::memset(c, 0xAB, 16);
    heap.Free(c, 16);
    std::byte *zeroed = heap.AllocateZeroed(16);
    ASSERT_EQ(zeroed, c);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(zeroed[i], std::byte{0}) << i;

    // Tiny blocks still hold a link, and a zero size gets a block of its own.
    std::byte *tiny = heap.Allocate(1);
    std::byte *empty = heap.Allocate(0);
    EXPECT_GE(std::size_t(empty - tiny), sizeof(std::byte *));
    heap.Free(nullptr, 8);
}

TEST(ValueHeap, BlocksAcrossChunksNeverOverlap)
{
    TkvValueHeap heap;
    std::vector<std::byte *> blocks;
    for (int i = 0; i < 1200; ++i) { // 1200 x 500 bytes spans three chunks
        std::byte *block = heap.Allocate(500);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block) % 4, 0u);
        std::memset(block, i & 0xFF, 500);
        blocks.push_back(block);
    }
    int damaged = 0;
    for (int i = 0; i < 1200; ++i)
        for (int k = 0; k < 500; k += 97)
            damaged += blocks[std::size_t(i)][k] != std::byte(i & 0xFF);
    EXPECT_EQ(damaged, 0);
    EXPECT_EQ(heap.BytesReserved(), 3u * 256 * 1024);
    heap.Clear();
    EXPECT_EQ(heap.BytesReserved(), 0u);
    std::byte *again = heap.Allocate(8);
    std::memset(again, 1, 8);
    EXPECT_EQ(heap.BytesReserved(), 256u * 1024);
}

TEST(ValueHeap, LargeBlocksAreReturnedOneByOne)
{
    TkvValueHeap heap;
    std::byte *blocks[3];
    for (int i = 0; i < 3; ++i) {
        blocks[i] = heap.Allocate(1000 + std::size_t(i));
        std::memset(blocks[i], 'a' + i, 1000);
    }
    const std::size_t reserved = heap.BytesReserved();
    EXPECT_GE(reserved, 3000u);
    heap.Free(blocks[1], 1001); // from the middle of the list
    heap.Free(blocks[2], 1002); // then its head
    EXPECT_LT(heap.BytesReserved(), reserved - 2000);
    EXPECT_EQ(blocks[0][999], std::byte{'a'});
    heap.Free(blocks[0], 1000);
    EXPECT_EQ(heap.BytesReserved(), 0u);
    std::byte *large = heap.Allocate(70000);
    large[69999] = std::byte{1};
    // Clear releases large blocks still out.
    heap.Clear();
    EXPECT_EQ(heap.BytesReserved(), 0u);
}

TEST(ValueHeap, ImagesMetTwiceShareOneBlockThatFreeAndClearRespect)
{
    TkvValueHeap heap;
    const auto image = [](const char *text) {
        return std::span<const std::byte>(reinterpret_cast<const std::byte *>(text), std::strlen(text));
    };
    EXPECT_EQ(heap.Shared(image("工资")), nullptr) << "met once: the caller keeps its own block";
    std::byte *shared = heap.Shared(image("工资"));
    ASSERT_NE(shared, nullptr);
    EXPECT_TRUE(heap.IsShared(shared));
    EXPECT_EQ(std::memcmp(shared, "工资", std::strlen("工资")), 0);
    EXPECT_EQ(heap.Shared(image("工资")), shared);
    EXPECT_EQ(heap.Shared(image("奖金")), nullptr);

    // Freeing a shared block (a record rewritten) must not hand it out again.
    heap.Free(shared, std::strlen("工资"));
    std::byte *own = heap.Allocate(std::strlen("工资"));
    EXPECT_NE(own, shared);
    EXPECT_FALSE(heap.IsShared(own));
    EXPECT_EQ(heap.Shared(image("工资")), shared);

    const std::string longText(65, 'x');
    heap.Shared(image(longText.c_str()));
    EXPECT_EQ(heap.Shared(image(longText.c_str())), nullptr) << "long images are never shared";

    heap.Clear();
    EXPECT_FALSE(heap.IsShared(shared));
    EXPECT_EQ(heap.Shared(image("工资")), nullptr) << "Clear forgets what was met";
}

TEST(ValueHeap, AColumnOfValuesThatNeverRecurStopsBeingLookedUp)
{
    TkvValueHeap heap;
    const auto shareText = [&heap](const std::string &text) {
        return heap.Shared({reinterpret_cast<const std::byte *>(text.data()), text.size()});
    };
    shareText("红包");
    for (int i = 0; i < 70000; ++i)
        shareText("流水" + std::to_string(i));
    EXPECT_EQ(shareText("红包"), nullptr);
    EXPECT_EQ(shareText("红包"), nullptr) << "not even a value seen twice after the trial";
    // A column of a few values keeps sharing past the trial.
    TkvValueHeap items;
    std::byte *first = nullptr;
    for (int i = 0; i < 140000; ++i) {
        const std::string text = "项目" + std::to_string(i % 7);
        std::byte *block = items.Shared({reinterpret_cast<const std::byte *>(text.data()), text.size()});
        if (i == 7)
            first = block;
        if (i >= 7 && i % 7 == 0) {
            ASSERT_EQ(block, first) << i;
        }
    }
}

TEST_F(DataStorageTest, RecordsSharingALoadedTextKeepTheirOwnValuesWhenOneChanges)
{
    TkvValueDef *item = Storage.ValueDefs().Add(TkvStringValueType::Instance(), true, nullptr, false);
    const std::string salary = utf8ToNarrow("工资");
    for (int r = 0; r < 4; ++r) {
        Storage.AppendRecord();
        TkvStringValueType::Instance()->SetSharedBytes(Storage.RecordBufferToFill(r) + item->ValueOffset(),
                                                       salary, Storage.RecordHeap());
        Storage.RecordBufferToFill(r)[item->Offset()] = std::byte{1};
    }
    ASSERT_EQ(Storage.GetValuePointer(1, item).Value, Storage.GetValuePointer(2, item).Value)
        << "the second and later records hold one shared text";
    EXPECT_EQ(Column(item), "工资,工资,工资,工资");

    // A text of the same length would be written over the old holder in place.
    Storage.SetValue(1, item, Variant::fromUtf8("奖金"));
    EXPECT_EQ(Column(item), "工资,奖金,工资,工资");
    Storage.SetValue(2, item, Variant::null());
    Storage.DeleteRecord(3);
    EXPECT_EQ(Column(item), "工资,奖金,Null");
    Storage.AppendRecord();
    Storage.SetValue(3, item, Variant::fromUtf8("利息"));
    Storage.SetValue(0, item, Variant::fromUtf8("红包"));
    EXPECT_EQ(Column(item), "红包,奖金,Null,利息");
    EXPECT_EQ(Storage.CheckConsistency(), "");
}

} // namespace
} // namespace kestrum

namespace kestrum {
namespace {

// Every kind of column side by side in one record layout, some storing their
// display text: values and Nulls survive writes over each other, records
// inserted and deleted in the middle, and scratch records beside them.
TEST(DataStorageLayout, EveryKindSideBySideSurvivesNullsAndMiddleInsertsAndDeletes)
{
    setRegionalSettings(RegionalSettings::simplifiedChinese());
    const TkvValueTypeClass types[] = {TkvStringValueType::Instance(),   TkvWideStringValueType::Instance(),
                                       TkvSmallintValueType::Instance(), TkvIntegerValueType::Instance(),
                                       TkvWordValueType::Instance(),     TkvBooleanValueType::Instance(),
                                       TkvFloatValueType::Instance(),    TkvCurrencyValueType::Instance(),
                                       TkvDateTimeValueType::Instance(), TkvLargeIntValueType::Instance(),
                                       TkvFMTBcdValueType::Instance(),   TkvSQLTimeStampValueType::Instance(),
                                       TkvVariantValueType::Instance()};
    const int columns = int(std::size(types));
    // A value per column and seed; seeds differ per record so that a record
    // that moved to the wrong place shows.
    auto value = [](int column, int seed) -> Variant {
        switch (column) {
        case 0:
            return Variant::fromUtf8("收入" + std::to_string(seed));
        case 1:
            return Variant(QString::fromUtf8("宽") + QString::number(seed));
        case 2:
            return Variant::fromInt16(std::int16_t(-300 - seed));
        case 3:
            return Variant(-70000 - seed);
        case 4:
            return Variant::fromUInt16(std::uint16_t(65535 - seed));
        case 5:
            return Variant(seed % 2 == 0);
        case 6:
            return Variant(2.25 + seed);
        case 7:
            return Variant(Currency{-15 - seed});
        case 8:
            return Variant::fromDate(45000.5 + seed);
        case 9:
            return Variant((std::int64_t(1) << 40) + seed);
        case 10:
            return Variant(-1234.5 - seed);
        case 11:
            return Variant::fromDate(45000.25 + seed);
        default:
            return Variant::fromUtf8("变体" + std::to_string(seed));
        }
    };
    TkvDataStorage storage;
    std::vector<TkvValueDef *> defs;
    for (int c = 0; c < columns; ++c)
        defs.push_back(storage.ValueDefs().Add(types[c], true, nullptr, c % 3 == 1));
    // seeds[r]: the seed of record r, or -1 for a record never written.
    std::vector<int> seeds;
    auto isNull = [](int column, int seed) { return seed < 0 || (column + seed) % 3 == 0; };
    auto write = [&](int record, int seed) {
        for (int c = 0; c < columns; ++c) {
            storage.SetValue(record, defs[std::size_t(c)],
                             isNull(c, seed) ? Variant::null() : value(c, seed));
            storage.SetDisplayText(record, defs[std::size_t(c)], QString("t%1").arg(seed));
        }
    };
    auto check = [&](const char *step) {
        SCOPED_TRACE(step);
        ASSERT_EQ(storage.RecordCount(), int(seeds.size()));
        for (int r = 0; r < storage.RecordCount(); ++r)
            for (int c = 0; c < columns; ++c) {
                SCOPED_TRACE(std::string(types[c]->ClassName()) + " record " + std::to_string(r));
                const int seed = seeds[std::size_t(r)];
                const Variant stored = storage.GetValue(r, defs[std::size_t(c)]);
                if (isNull(c, seed)) {
                    EXPECT_TRUE(stored.isNull());
                    EXPECT_TRUE(storage.IsNull(r, defs[std::size_t(c)]));
                } else {
                    EXPECT_EQ(stored.toNarrow(), value(c, seed).toNarrow());
                }
                if (c % 3 == 1) {
                    EXPECT_EQ(storage.GetDisplayText(r, defs[std::size_t(c)]).toStdString(),
                              seed < 0 ? "" : "t" + std::to_string(seed));
                }
            }
        EXPECT_EQ(storage.CheckConsistency(), "");
    };
    for (int r = 0; r < 6; ++r) {
        storage.AppendRecord();
        seeds.push_back(r);
        write(r, r);
    }
    check("written");

    storage.InsertRecord(3); // never written: Null everywhere
    seeds.insert(seeds.begin() + 3, -1);
    check("inserted in the middle");
    storage.DeleteRecord(1);
    seeds.erase(seeds.begin() + 1);
    check("deleted in the middle");

    // Values over Nulls and Nulls over values in one record.
    write(1, 7);
    seeds[1] = 7;
    write(2, 8);
    seeds[2] = 8;
    check("rewritten");
    write(1, 9); // the Null pattern shifts by one column
    seeds[1] = 9;
    check("rewritten again");

    // A scratch record mirrors every column and leaves the others alone.
    const int scratch = storage.AddInternalRecord();
    for (int c = 0; c < columns; ++c)
        storage.SetValue(scratch, defs[std::size_t(c)], value(c, 50));
    for (int c = 0; c < columns; ++c)
        EXPECT_EQ(storage.GetValue(scratch, defs[std::size_t(c)]).toNarrow(), value(c, 50).toNarrow());
    check("beside a scratch record");
    storage.ReleaseInternalRecord(scratch);

    // Null first, then the values by their own order, in every column.
    for (int c = 0; c < columns; ++c) {
        SCOPED_TRACE(types[c]->ClassName());
        int nullRecord = -1;
        for (int r = 0; r < storage.RecordCount() && nullRecord < 0; ++r)
            if (isNull(c, seeds[std::size_t(r)]))
                nullRecord = r;
        ASSERT_GE(nullRecord, 0);
        for (int r = 0; r < storage.RecordCount(); ++r)
            if (!isNull(c, seeds[std::size_t(r)])) {
                EXPECT_LT(storage.CompareRecords(nullRecord, r, defs[std::size_t(c)]), 0);
            }
    }
    while (storage.RecordCount() > 0)
        storage.DeleteRecord(storage.RecordCount() / 2);
    EXPECT_EQ(storage.CheckConsistency(), "");
}

} // namespace
} // namespace kestrum
