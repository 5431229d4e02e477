#pragma once
// A controller without a record set with the three ledger columns (amount,
// date, item) numbered and captioned the way a grid numbers its columns, and
// its filter criteria.
#include "core/DateTime.h"
#include "core/RegionalSettings.h"
#include "data/DataController.h"
#include "filter/DataFilterCriteria.h"

#include <gtest/gtest.h>

#include <string>

namespace kestrum::testing_filter {

struct Column {
    int ID;
    const char *Caption;
    const char *FieldName;
};

class ColumnsOwner : public IkvDataControllerOwner {
public:
    Column Columns[3] = {{4, "金额", "amount"}, {7, "日期", "date"}, {9, "进帐项", "item"}};
    int ItemID(TkvDataItem item) const override { return static_cast<const Column *>(item)->ID; }
    TkvDataItem ItemByID(int id) const override
    {
        for (const Column &column : Columns)
            if (column.ID == id)
                return const_cast<Column *>(&column);
        return nullptr;
    }
    QString ItemCaption(TkvDataItem item) const override
    {
        return QString::fromUtf8(static_cast<const Column *>(item)->Caption);
    }
    QString ItemFieldName(TkvDataItem item) const override
    {
        return QString::fromUtf8(static_cast<const Column *>(item)->FieldName);
    }
};

class FilterFixture : public ::testing::Test {
protected:
    FilterFixture()
    {
        setRegionalSettings(RegionalSettings::simplifiedChinese());
        Controller.AttachItem(&Owner.Columns[0])->SetValueTypeClass(TkvFloatValueType::Instance());
        Controller.AttachItem(&Owner.Columns[1])->SetValueTypeClass(TkvDateTimeValueType::Instance());
        Controller.AttachItem(&Owner.Columns[2])->SetValueTypeClass(TkvStringValueType::Instance());
        auto criteria = std::make_unique<TkvDataFilterCriteria>(Controller);
        Filter = criteria.get();
        Filter->SetTodayFunction([this] { return TodayValue; });
        Controller.AdoptFilter(std::move(criteria));
    }

    //! Appends a record; a null pointer or NAN leaves the value Null.
    int Add(Variant amount, Variant date, Variant item)
    {
        Controller.BeginBatch();
        const int r = Controller.AppendRecord();
        Controller.SetValue(r, 0, amount);
        Controller.SetValue(r, 1, date);
        Controller.SetValue(r, 2, item);
        Controller.EndBatch();
        return r;
    }

    //! Record indexes of the visible rows, as "0,2,3".
    std::string Rows()
    {
        std::string text;
        for (int r = 0; r < Controller.RowCount(); ++r)
            text += (r ? "," : "") + std::to_string(Controller.GetRowRecordIndex(r));
        return text;
    }

    TkvDataItem Amount() { return &Owner.Columns[0]; }
    TkvDataItem Date() { return &Owner.Columns[1]; }
    TkvDataItem Item() { return &Owner.Columns[2]; }

    double TodayValue = EncodeDate(2024, 7, 10); // a Wednesday
    ColumnsOwner Owner;
    TkvCustomDataController Controller{&Owner};
    TkvDataFilterCriteria *Filter = nullptr;
};

inline Variant Text(const char *utf8)
{
    return Variant::fromUtf8(utf8);
}

inline Variant Day(int year, int month, int day)
{
    return Variant::fromDate(EncodeDate(year, month, day));
}

} // namespace kestrum::testing_filter
