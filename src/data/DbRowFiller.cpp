#include "data/DbRowFiller.h"

#include "core/Codepage.h"
#include "core/DateTime.h"
#include "core/Errors.h"
#include "data/DataStorage.h"
#include "data/DbDataField.h"
#include "data/ValueHolders.h"
#include "data/ValueTypesHeld.h"
#include "db/DateText.h"
#include "db/DbField.h"
#include "db/DbQuery.h"
#include "db/DbRowReader.h"
#include "db/FieldValues.h"
#include "db/RowStore.h"

#include <cmath>
#include <cstring>

namespace kestrum {

using namespace detail;

namespace {

bool IsAscii(std::string_view text)
{
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

} // namespace

bool TkvDbRowFiller::Plan(TkvDataStorage &storage, const TDbQuery &query)
{
    FColumns.clear();
    const TkvValueDefs &defs = storage.ValueDefs();
    for (int i = 0; i < defs.Count(); ++i) {
        const TkvValueDef *def = defs.Items(i);
        if (def->BufferSize() == 0)
            continue;
        if (def->TextStored())
            return false; // the display text is the field's, formatted on the current row
        auto *field = static_cast<TkvDBDataField *>(def->Owner());
        Column column{def, -1, ftUnknown, Way::Null};
        if (field && field->IsInternal() && !field->Field()) {
            column.way = Way::Skip; // the provider's own (the row number)
        } else if (field && field->Field() && field->Field()->DataSet() == &query) {
            const TDbField *dbField = field->Field();
            if (dbField->IsLookup() || dbField->Index() < 0)
                return false;
            column.column = dbField->Index();
            column.type = dbField->DataType();
            const TkvValueTypeClass type = def->ValueTypeClass();
            column.way = Way::Other;
            switch (column.type) {
            case ftString:
            case ftFixedChar:
            case ftGuid:
                if (type == TkvStringValueType::Instance())
                    column.way = Way::String;
                break;
            case ftMemo:
                if (type == TkvVariantValueType::Instance())
                    column.way = Way::Memo;
                break;
            case ftFloat:
                if (type == TkvFloatValueType::Instance())
                    column.way = Way::Float;
                break;
            case ftDate:
            case ftTime:
            case ftDateTime:
                if (type == TkvDateTimeValueType::Instance())
                    column.way = Way::DateTime;
                break;
            case ftInteger:
            case ftAutoInc:
                if (type == TkvIntegerValueType::Instance())
                    column.way = Way::Integer;
                break;
            default:
                break;
            }
        }
        FColumns.push_back(column);
    }
    if (FCache.empty())
        FCache.resize(CacheSlots);
    if (FMonths.empty())
        FMonths.resize(MonthSlots);
    return true;
}

std::optional<double> TkvDbRowFiller::DaysOf(std::string_view text)
{
    // The form the program writes, "YYYY-MM-DD HH:MM:SS" (or the date
    // alone), read in place, each month's first day kept. Any other text
    // takes the general reading.
    const auto digit = [&](std::size_t i) { return unsigned(text[i]) - unsigned('0'); };
    const auto twoDigits = [&](std::size_t i, int &value) {
        if (digit(i) > 9 || digit(i + 1) > 9)
            return false;
        value = int(digit(i) * 10 + digit(i + 1));
        return true;
    };
    int hour = 0, minute = 0, second = 0;
    if (text.size() == 19) {
        if ((text[10] != ' ' && text[10] != 'T') || text[13] != ':' || text[16] != ':' ||
            !twoDigits(11, hour) || !twoDigits(14, minute) || !twoDigits(17, second) || hour > 23 ||
            minute > 59 || second > 59)
            return IsoTextToDays(text);
    } else if (text.size() != 10) {
        return IsoTextToDays(text);
    }
    int century = 0, year = 0, month = 0, day = 0;
    if (text[4] != '-' || text[7] != '-' || !twoDigits(0, century) || !twoDigits(2, year) ||
        !twoDigits(5, month) || !twoDigits(8, day))
        return IsoTextToDays(text);
    year += century * 100;
    if (year < 1 || month < 1 || month > 12)
        return std::nullopt;
    const int key = year * 12 + month - 1;
    Month &known = FMonths[std::size_t(key) % MonthSlots];
    if (known.key != key)
        known = Month{key, DaysInMonth(year, month), EncodeDays(year, month, 1)};
    if (day < 1 || day > known.length)
        return std::nullopt;
    const double date = known.first + (day - 1);
    if ((hour | minute | second) == 0)
        return date; // midnight, as most entries are
    // As IsoTextToDays composes them: the time counts away from the day's
    // midnight, also before 1899.
    const double time = (hour * 3600000.0 + minute * 60000.0 + second * 1000.0) / 86400000.0;
    return date >= 0 ? date + time : date - time;
}

bool TkvDbRowFiller::Narrow(std::string_view utf8, std::string_view &narrow)
{
    if (IsAscii(utf8)) { // GB18030 keeps ASCII as it is
        narrow = utf8;
        return true;
    }
    Converted *cached = nullptr;
    if (utf8.size() <= CachedMaxLength) {
        std::uint32_t hash = 2166136261u; // FNV-1a
        for (const char c : utf8)
            hash = (hash ^ std::uint8_t(c)) * 16777619u;
        cached = &FCache[hash % CacheSlots];
        if (cached->utf8 == utf8) {
            narrow = cached->narrow;
            return true;
        }
    }
    try {
        FScratch = utf8ToNarrow(utf8);
    } catch (const Exception &) {
        return false;
    }
    if (cached) {
        cached->utf8.assign(utf8);
        cached->narrow = FScratch;
    }
    narrow = FScratch;
    return true;
}

void TkvDbRowFiller::Fill(TkvDataStorage &storage, int recordIndex, const TDbRowReader &row)
{
    std::byte *buffer = storage.RecordBufferToFill(recordIndex);
    TkvValueHeap &heap = storage.RecordHeap();
    for (const Column &column : FColumns) {
        if (column.way == Way::Skip || column.way == Way::Null)
            continue; // a fresh record reads Null
        const TDbCellKind kind = row.Kind(column.column);
        if (kind == TDbCellKind::Null)
            continue;
        std::byte *place = buffer + column.def->ValueOffset();
        bool stored = false;
        switch (column.way) {
        case Way::String:
        case Way::Memo:
            if (kind == TDbCellKind::Text) {
                std::string_view narrow;
                if (Narrow(row.Bytes(column.column), narrow)) {
                    if (column.way == Way::String)
                        TkvStringValueType::Instance()->SetSharedBytes(place, narrow, heap);
                    else
                        TkvVariantValueType::Instance()->SetNarrow(place, narrow, heap);
                    stored = true;
                }
            }
            break;
        case Way::Float:
            if (kind == TDbCellKind::Float || kind == TDbCellKind::Integer) {
                WriteRaw(place, kind == TDbCellKind::Float ? row.Float(column.column)
                                                           : double(row.Integer(column.column)));
                stored = true;
            }
            break;
        case Way::DateTime:
            if (kind == TDbCellKind::Text) {
                if (const auto days = DaysOf(row.Bytes(column.column))) {
                    WriteRaw(place, *days);
                    stored = true;
                }
            } else if (kind == TDbCellKind::Float || kind == TDbCellKind::Integer) {
                WriteRaw(place, kind == TDbCellKind::Float ? row.Float(column.column)
                                                           : double(row.Integer(column.column)));
                stored = true;
            }
            break;
        case Way::Integer:
            if (kind == TDbCellKind::Integer) {
                const std::int64_t value = row.Integer(column.column);
                if (value == std::int32_t(value)) {
                    WriteRaw(place, std::int32_t(value));
                    stored = true;
                }
            }
            break;
        default:
            break;
        }
        if (stored)
            buffer[column.def->Offset()] = std::byte{1};
        else
            SetLoadedValue(*column.def, buffer, CellValue(row, column.column, column.type), heap);
    }
}

} // namespace kestrum
