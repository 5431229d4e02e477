// Finding rows of a record set: by the values of key fields (Locate, Lookup)
// and by bookmark.
#include "db/DbQuery.h"

#include "db/DbErrors.h"
#include "db/FieldValues.h"
#include "db/RowStore.h"

namespace kestrum {

namespace {

//! The values to find, one per key field: a single value for one field, an
//! array's elements for several.
std::vector<Variant> KeyValues(const Variant &keyValues, std::size_t fieldCount)
{
    if (keyValues.isArray())
        return keyValues.elements();
    if (fieldCount == 1)
        return {keyValues};
    return {};
}

} // namespace

// ---- by field values ---------------------------------------------------

Variant TDbQuery::Lookup(const QString &keyFields, const Variant &keyValues, const QString &resultField) const
{
    if (!Active())
        return Variant::null();
    const TDbField *result = FindField(resultField);
    const int position = result ? FindPosition(keyFields, keyValues, 0) : -1;
    if (position < 0)
        return Variant::null();
    if (result->IsLookup() || result->Index() < 0)
        return Variant::null(); // a lookup of a lookup is not followed
    return CellValue(*FStore, SlotAt(position), result->Index(), result->DataType());
}

bool TDbQuery::RowMatches(int slot, const std::vector<int> &fields, const std::vector<Variant> &values,
                          TLocateOptions options) const
{
    for (std::size_t k = 0; k < fields.size(); ++k) {
        const TDbField *field = FFields[std::size_t(fields[k])].get();
        const Variant cell = CellValue(*FStore, slot, fields[k], field->DataType());
        const Variant &wanted = values[k];
        if (wanted.isNull() || wanted.isEmpty()) {
            if (!cell.isNull())
                return false;
            continue;
        }
        if (cell.isNull())
            return false;
        if (IsStringType(field->DataType())) {
            const QString a = cell.toString();
            const QString b = wanted.toString();
            const auto cs = (options & loCaseInsensitive) ? Qt::CaseInsensitive : Qt::CaseSensitive;
            if ((options & loPartialKey) ? !a.startsWith(b, cs) : a.compare(b, cs) != 0)
                return false;
            continue;
        }
        Variant converted;
        try {
            converted = ConvertToField(wanted, field->DataType(), 0, field->FieldName());
        } catch (const EDatabaseError &) {
            return false; // a value of another kind never equals this field
        }
        if (IsDateType(field->DataType()) || IsNumericType(field->DataType())) {
            if (cell.toDouble() != converted.toDouble())
                return false;
        } else if (cell.toString() != converted.toString()) {
            return false;
        }
    }
    return true;
}

bool TDbQuery::Locate(const QString &keyFields, const Variant &keyValues, TLocateOptions options)
{
    CheckActive();
    CheckBrowseMode();
    std::vector<int> fields;
    for (const QString &name : keyFields.split(';', Qt::SkipEmptyParts))
        fields.push_back(FieldByName(name.trimmed())->Index());
    const std::vector<Variant> values = KeyValues(keyValues, fields.size());
    if (fields.empty() || values.size() != fields.size())
        throw EDatabaseError("定位时每个关键字段都需要一个值。");
    const int position = FindPosition(keyFields, keyValues, options);
    if (position < 0)
        return false;
    ScrollTo(position, false, false);
    return true;
}

int TDbQuery::FindPosition(const QString &keyFields, const Variant &keyValues, TLocateOptions options) const
{
    std::vector<int> fields;
    for (const QString &name : keyFields.split(';', Qt::SkipEmptyParts)) {
        const TDbField *field = FindField(name.trimmed());
        if (!field || field->Index() < 0)
            return -1;
        fields.push_back(field->Index());
    }
    const std::vector<Variant> values = KeyValues(keyValues, fields.size());
    if (fields.empty() || values.size() != fields.size())
        return -1;
    for (int position = 0; position < VisibleCount(); ++position)
        if (RowMatches(SlotAt(position), fields, values, options))
            return position;
    return -1;
}

// ---- bookmarks ---------------------------------------------------------

int TDbQuery::PositionOfSlot(int slot) const
{
    if (!FPositionsValid) {
        FPositionOfSlot.assign(std::size_t(FStore ? FStore->SlotCount() : 0), -1);
        for (int position = 0; position < VisibleCount(); ++position)
            FPositionOfSlot[std::size_t(SlotAt(position))] = position;
        FPositionsValid = true;
    }
    return slot >= 0 && slot < int(FPositionOfSlot.size()) ? FPositionOfSlot[std::size_t(slot)] : -1;
}

TBookmark TDbQuery::BookmarkOfSlot(int slot) const
{
    TBookmark bookmark;
    bookmark.FOwner = FIdentity;
    if (FKeyField >= 0 && FStore->Kind(slot, FKeyField) == TDbCellKind::Integer) {
        bookmark.FKind = TBookmark::kKey;
        bookmark.FValue = FStore->Integer(slot, FKeyField);
    } else {
        bookmark.FKind = TBookmark::kSlot;
        bookmark.FGeneration = FGeneration;
        bookmark.FValue = slot;
    }
    return bookmark;
}

int TDbQuery::SlotOfBookmark(const TBookmark &bookmark) const
{
    if (!FStore || bookmark.FOwner != FIdentity)
        return -1;
    if (bookmark.FKind == TBookmark::kSlot)
        return bookmark.FGeneration == FGeneration && bookmark.FValue < FStore->SlotCount()
                   ? int(bookmark.FValue)
                   : -1;
    if (bookmark.FKind != TBookmark::kKey || FKeyField < 0)
        return -1;
    if (!FKeysValid) {
        FSlotOfKey.clear();
        FSlotOfKey.reserve(FAll.size());
        for (const std::int32_t slot : FAll)
            if (FStore->Kind(slot, FKeyField) == TDbCellKind::Integer)
                FSlotOfKey.emplace(FStore->Integer(slot, FKeyField), slot);
        FKeysValid = true;
    }
    const auto found = FSlotOfKey.find(bookmark.FValue);
    return found == FSlotOfKey.end() ? -1 : found->second;
}

TBookmark TDbQuery::GetBookmark() const
{
    if (!Active() || FState == dsInsert || FPos < 0)
        return {};
    return BookmarkOfSlot(SlotAt(FPos));
}

TBookmark TDbQuery::BookmarkAt(int position) const
{
    if (!Active() || position < 0 || position >= VisibleCount())
        return {};
    return BookmarkOfSlot(SlotAt(position));
}

bool TDbQuery::BookmarkValid(const TBookmark &bookmark) const
{
    if (!Active() || bookmark.IsNull())
        return false;
    return PositionOfSlot(SlotOfBookmark(bookmark)) >= 0;
}

void TDbQuery::GotoBookmark(const TBookmark &bookmark)
{
    CheckActive();
    CheckBrowseMode();
    const int position = PositionOfSlot(SlotOfBookmark(bookmark));
    if (position < 0)
        throw EDatabaseError("找不到记录：书签所指的行已不在记录集中。");
    ScrollTo(position, false, false);
}

int TDbQuery::CompareBookmarks(const TBookmark &a, const TBookmark &b) const
{
    if (a.IsNull() || b.IsNull())
        return a.IsNull() == b.IsNull() ? 0 : (a.IsNull() ? -1 : 1);
    if (a == b)
        return 0;
    const int pa = PositionOfSlot(SlotOfBookmark(a));
    const int pb = PositionOfSlot(SlotOfBookmark(b));
    if (pa >= 0 && pb >= 0)
        return pa < pb ? -1 : 1;
    // A bookmark whose row went sorts after every valid one.
    if (pa != pb)
        return pa < 0 ? 1 : -1;
    return a.FValue < b.FValue ? -1 : (a.FValue > b.FValue ? 1 : 0);
}

} // namespace kestrum
