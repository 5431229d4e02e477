#include "data/ValueDefs.h"

#include "data/DataStorage.h"

#include <algorithm>
#include <cstring>

namespace kestrum {

// ---------------------------------------------------------------------------
// TkvValueDef

TkvValueDef::TkvValueDef(TkvValueDefs *valueDefs, TkvValueTypeClass valueTypeClass, void *linkObject,
                         bool stored, bool textStored)
    : FValueDefs(valueDefs), FValueTypeClass(valueTypeClass), FLinkObject(linkObject), FStored(stored),
      FTextStored(textStored)
{
}

void TkvValueDef::SetStored(bool value)
{
    if (FStored == value)
        return;
    Changing();
    FStored = value;
    Changed(false);
}

void TkvValueDef::SetTextStored(bool value)
{
    if (FTextStored == value)
        return;
    Changing();
    FTextStored = value;
    Changed(true);
}

void TkvValueDef::Changing()
{
    if (FValueDefs && FValueDefs->Storage())
        FValueDefs->Storage()->DefChanging(this);
}

void TkvValueDef::Changed(bool textStoredChanged)
{
    if (FValueDefs && FValueDefs->Storage())
        FValueDefs->Storage()->DefChanged(this, textStoredChanged);
}

bool TkvValueDef::IsStoredInRecords() const
{
    return FStored || !FValueDefs || !FValueDefs->Storage() || !FValueDefs->Storage()->StoredValuesOnly();
}

int TkvValueDef::Compare(const std::byte *bufferA, const std::byte *bufferB) const
{
    if (!bufferA || !bufferB)
        return (bufferA ? 1 : 0) - (bufferB ? 1 : 0);
    if (FBufferSize == 0)
        return 0;
    const bool nullA = IsNull(bufferA);
    const bool nullB = IsNull(bufferB);
    if (nullA || nullB)
        return (nullA ? 0 : 1) - (nullB ? 0 : 1);
    return FValueTypeClass->CompareStored(bufferA + ValueOffset(), bufferB + ValueOffset());
}

void TkvValueDef::Free(std::byte *buffer, TkvValueHeap &heap) const
{
    if (!buffer || FBufferSize == 0)
        return;
    if (!IsNull(buffer))
        FValueTypeClass->FreeStored(buffer + ValueOffset(), heap);
    if (FTextStored)
        TkvValueType::FreeStoredText(buffer + TextOffset(), heap);
    std::memset(buffer + FOffset, 0, std::size_t(FBufferSize));
}

Variant TkvValueDef::GetValue(const std::byte *buffer) const
{
    if (FBufferSize == 0 || IsNull(buffer))
        return Variant::null();
    return FValueTypeClass->GetValue(buffer + ValueOffset());
}

QString TkvValueDef::GetDisplayText(const std::byte *buffer) const
{
    if (FBufferSize == 0 || !buffer)
        return QString();
    if (FTextStored)
        return FValueTypeClass->GetStoredText(buffer + TextOffset());
    if (IsNull(buffer))
        return QString();
    return FValueTypeClass->GetDisplayText(buffer + ValueOffset());
}

void TkvValueDef::SetValue(std::byte *buffer, const Variant &value, TkvValueHeap &heap) const
{
    if (FBufferSize == 0)
        return;
    std::byte *place = buffer + ValueOffset();
    if (value.isNull()) {
        if (!IsNull(buffer))
            FValueTypeClass->FreeStored(place, heap);
        std::memset(place, 0, std::size_t(DataSize()));
        buffer[FOffset] = std::byte{0};
        return;
    }
    if (IsNull(buffer))
        std::memset(place, 0, std::size_t(DataSize())); // no stale holder pointer survives
    FValueTypeClass->SetValue(place, value, heap);
    buffer[FOffset] = std::byte{1};
}

void TkvValueDef::SetDisplayText(std::byte *buffer, const QString &text, TkvValueHeap &heap) const
{
    if (FBufferSize == 0 || !FTextStored)
        return;
    FValueTypeClass->SetStoredText(buffer + TextOffset(), text, heap);
}

void TkvValueDef::Assign(const TkvValueDef &source)
{
    SetStored(source.Stored());
    SetTextStored(source.TextStored());
}

// ---------------------------------------------------------------------------
// TkvInternalValueDef

TkvInternalValueDef::TkvInternalValueDef(TkvValueDefs *valueDefs, TkvValueDef *mirrored)
    : TkvValueDef(valueDefs, mirrored->ValueTypeClass(), mirrored, true, mirrored->TextStored())
{
}

// ---------------------------------------------------------------------------
// TkvValueDefs

TkvValueDefs::TkvValueDefs(TkvDataStorage *storage, bool internal) : FStorage(storage), FInternal(internal)
{
}

TkvValueDefs::~TkvValueDefs() = default;

TkvValueDef *TkvValueDefs::Items(int index) const
{
    if (index < 0 || index >= Count())
        throw EListError(index);
    return FItems[std::size_t(index)].get();
}

int TkvValueDefs::IndexOf(const TkvValueDef *def) const
{
    for (int i = 0; i < Count(); ++i)
        if (FItems[std::size_t(i)].get() == def)
            return i;
    return -1;
}

int TkvValueDefs::StoredCount() const
{
    int count = 0;
    for (const auto &item : FItems)
        if (item->IsStoredInRecords())
            ++count;
    return count;
}

TkvValueDef *TkvValueDefs::Add(TkvValueTypeClass valueTypeClass, bool stored, void *linkObject,
                               bool textStored)
{
    const int oldRecordSize = FRecordSize;
    FItems.push_back(std::make_unique<TkvValueDef>(this, valueTypeClass, linkObject, stored, textStored));
    TkvValueDef *def = FItems.back().get();
    PrepareDefs();
    if (FStorage)
        FStorage->DefAdded(*this, def, oldRecordSize);
    return def;
}

TkvInternalValueDef *TkvValueDefs::AddInternal(TkvValueDef *mirrored)
{
    const int oldRecordSize = FRecordSize;
    auto def = std::make_unique<TkvInternalValueDef>(this, mirrored);
    TkvInternalValueDef *result = def.get();
    FItems.push_back(std::move(def));
    PrepareDefs();
    if (FStorage)
        FStorage->DefAdded(*this, result, oldRecordSize);
    return result;
}

void TkvValueDefs::Remove(TkvValueDef *def)
{
    const int index = IndexOf(def);
    if (index < 0)
        return;
    if (FStorage)
        FStorage->DefRemoving(*this, def);
    FItems.erase(FItems.begin() + index);
    PrepareDefs();
}

void TkvValueDefs::Clear()
{
    while (!FItems.empty())
        Remove(FItems.back().get());
}

void TkvValueDefs::PrepareDefs()
{
    int offset = FirstOffset();
    for (auto &item : FItems) {
        item->FOffset = offset;
        if (item->IsStoredInRecords()) {
            item->FBufferSize = 1 + item->DataSize() + (item->TextStored() ? int(sizeof(void *)) : 0);
            offset += item->FBufferSize;
        } else {
            item->FBufferSize = 0;
        }
    }
    FRecordSize = offset;
}

TkvInternalValueDef *TkvValueDefs::FindByMirrored(const TkvValueDef *def) const
{
    for (auto it = FItems.rbegin(); it != FItems.rend(); ++it) {
        auto *internal = dynamic_cast<TkvInternalValueDef *>(it->get());
        if (internal && internal->Mirrored() == def)
            return internal;
    }
    return nullptr;
}

} // namespace kestrum
