#include "data/DataStorage.h"
#include "core/Codepage.h"
#include "core/RegionalSettings.h"

#include <gtest/gtest.h>

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

} // namespace
} // namespace kestrum
