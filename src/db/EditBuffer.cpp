#include "db/EditBuffer.h"

namespace kestrum {

void TDbEditBuffer::BeginEdit(std::vector<Variant> values)
{
    FValues = std::move(values);
    FSet.assign(FValues.size(), false);
    FInsertPosition = -1;
}

void TDbEditBuffer::BeginInsert(int fieldCount, int position, const TDbCursor &before)
{
    FValues.assign(std::size_t(fieldCount), Variant::null());
    FSet.assign(std::size_t(fieldCount), false);
    FInsertPosition = position;
    FCursorBeforeInsert = before;
}

void TDbEditBuffer::Clear()
{
    FValues.clear();
    FSet.clear();
    FInsertPosition = -1;
}

void TDbEditBuffer::Set(int field, Variant value)
{
    FValues[std::size_t(field)] = std::move(value);
    FSet[std::size_t(field)] = true;
    FModified = true;
}

std::vector<int> TDbEditBuffer::InsertedFields(int keyField) const
{
    std::vector<int> fields;
    for (int i = 0; i < int(FValues.size()); ++i)
        if (i != keyField && (FSet[std::size_t(i)] || !FValues[std::size_t(i)].isNull()))
            fields.push_back(i);
    return fields;
}

std::vector<int> TDbEditBuffer::UpdatedFields(int keyField) const
{
    std::vector<int> fields;
    for (int i = 0; i < int(FValues.size()); ++i)
        if (i != keyField && FSet[std::size_t(i)])
            fields.push_back(i);
    return fields;
}

} // namespace kestrum
