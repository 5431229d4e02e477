#include "data/DataStorage.h"

#include <algorithm>
#include <cstring>

namespace kestrum {

namespace {
constexpr std::byte InUseBit{1};
}

EListError::EListError(int index) : Exception("List index out of bounds (" + std::to_string(index) + ")")
{
}

TkvDataStorage::TkvDataStorage() : FValueDefs(this, false), FInternalValueDefs(this, true)
{
}

TkvDataStorage::~TkvDataStorage()
{
    FDestroying = true;
    ClearRecords(false);
}

// ---------------------------------------------------------------------------
// Layout changes

void TkvDataStorage::DefAdded(TkvValueDefs &defs, TkvValueDef *def, int oldRecordSize)
{
    const int newRecordSize = defs.RecordSize();
    if (newRecordSize != oldRecordSize) {
        TkvValueHeap &heap = HeapOf(defs);
        for (std::byte *&buffer : BuffersOf(defs)) {
            if (!buffer)
                continue;
            std::byte *widened = heap.Allocate(std::size_t(newRecordSize));
            std::memcpy(widened, buffer, std::size_t(oldRecordSize));
            std::memset(widened + oldRecordSize, 0, std::size_t(newRecordSize - oldRecordSize));
            heap.Free(buffer, std::size_t(oldRecordSize));
            buffer = widened;
        }
    }
    if (!defs.IsInternal())
        FInternalValueDefs.AddInternal(def);
}

void TkvDataStorage::DefRemoving(TkvValueDefs &defs, TkvValueDef *def)
{
    if (!defs.IsInternal())
        if (TkvInternalValueDef *mirror = FInternalValueDefs.FindByMirrored(def))
            FInternalValueDefs.Remove(mirror);
    if (def->BufferSize() == 0)
        return;
    std::vector<std::byte *> &buffers = BuffersOf(defs);
    if (defs.StoredCount() == 1) {
        FreeAllBuffers(buffers, defs);
        return;
    }
    TkvValueHeap &heap = HeapOf(defs);
    const int recordSize = defs.RecordSize();
    const int columnEnd = def->Offset() + def->BufferSize();
    const int shrunkSize = recordSize - def->BufferSize();
    for (std::byte *&buffer : buffers) {
        if (!buffer)
            continue;
        def->Free(buffer, heap);
        std::byte *shrunk = heap.Allocate(std::size_t(shrunkSize));
        std::memcpy(shrunk, buffer, std::size_t(def->Offset()));
        std::memcpy(shrunk + def->Offset(), buffer + columnEnd, std::size_t(recordSize - columnEnd));
        heap.Free(buffer, std::size_t(recordSize));
        buffer = shrunk;
    }
}

void TkvDataStorage::DefChanging(TkvValueDef *def)
{
    if (FDestroying)
        return;
    // A buffer is freed column by column with its definitions' flags, so this
    // must happen before a flag moves the display-text slot (after it, the
    // slot would be read from the next column's bytes).
    if (def->ValueDefs() == &FInternalValueDefs) {
        if (std::any_of(FInternalRecords.begin(), FInternalRecords.end(), [](std::byte *b) { return b; }))
            ClearInternalRecords();
        return;
    }
    UnloadRecords();
}

void TkvDataStorage::DefChanged(TkvValueDef *def, bool textStoredChanged)
{
    (void)textStoredChanged;
    if (FDestroying)
        return;
    if (def->ValueDefs() == &FInternalValueDefs) {
        // Internal layouts change only through CheckStructure, which frees the
        // internal records first.
        FStructureChanged = true;
        return;
    }
    UnloadRecords();
    // No ordinary buffer exists now, so the new layout can be taken at once;
    // buffers written before CheckStructure then already use it.
    FValueDefs.PrepareDefs();
    FStructureChanged = true;
}

void TkvDataStorage::CheckStructure()
{
    if (!FStructureChanged)
        return;
    if (std::any_of(FRecords.raw().begin(), FRecords.raw().end(), [](std::byte *b) { return b != nullptr; }))
        UnloadRecords();
    FValueDefs.PrepareDefs();
    ClearInternalRecords();
    for (int i = 0; i < FInternalValueDefs.Count(); ++i) {
        auto *internal = static_cast<TkvInternalValueDef *>(FInternalValueDefs.Items(i));
        internal->FTextStored = internal->Mirrored()->TextStored();
    }
    FInternalValueDefs.PrepareDefs();
    FStructureChanged = false;
}

void TkvDataStorage::SetStoredValuesOnly(bool value)
{
    if (FStoredValuesOnly == value)
        return;
    UnloadRecords();
    FStoredValuesOnly = value;
    FValueDefs.PrepareDefs();
}

// ---------------------------------------------------------------------------
// Buffers

std::vector<std::byte *> &TkvDataStorage::BuffersOf(const TkvValueDefs &defs)
{
    return defs.IsInternal() ? FInternalRecords : FRecords.raw();
}

bool TkvDataStorage::NeedsFinalize(const TkvValueDefs &defs) const
{
    for (int i = 0; i < defs.Count(); ++i) {
        const TkvValueDef *def = defs.Items(i);
        if (def->BufferSize() > 0 && def->ValueTypeClass()->NeedsFinalize())
            return true;
    }
    return false;
}

void TkvDataStorage::FreeBuffer(std::byte *&buffer, const TkvValueDefs &defs)
{
    if (!buffer)
        return;
    TkvValueHeap &heap = HeapOf(defs);
    for (int i = 0; i < defs.Count(); ++i)
        defs.Items(i)->Free(buffer, heap);
    heap.Free(buffer, std::size_t(defs.RecordSize()));
    buffer = nullptr;
}

void TkvDataStorage::FreeAllBuffers(std::vector<std::byte *> &buffers, const TkvValueDefs &defs)
{
    TkvValueHeap &heap = HeapOf(defs);
    if (NeedsFinalize(defs)) {
        for (std::byte *&buffer : buffers)
            FreeBuffer(buffer, defs);
    } else {
        // Every block of this heap belongs to these buffers: drop them together.
        std::fill(buffers.begin(), buffers.end(), nullptr);
    }
    heap.Clear();
}

std::byte *&TkvDataStorage::Slot(int recordIndex)
{
    if (recordIndex >= 0) {
        if (recordIndex >= RecordCount())
            throw EListError(recordIndex);
        return FRecords[std::size_t(recordIndex)];
    }
    const int slot = -recordIndex - 1;
    if (slot >= InternalRecordCount())
        throw EListError(recordIndex);
    return FInternalRecords[std::size_t(slot)];
}

std::byte *TkvDataStorage::SlotValue(int recordIndex) const
{
    return const_cast<TkvDataStorage *>(this)->Slot(recordIndex);
}

std::byte *TkvDataStorage::WritableBuffer(int recordIndex)
{
    std::byte *&buffer = Slot(recordIndex);
    if (!buffer) {
        const TkvValueDefs &defs = recordIndex < 0 ? FInternalValueDefs : FValueDefs;
        buffer = HeapOf(defs).AllocateZeroed(std::size_t(defs.RecordSize()));
    }
    return buffer;
}

const TkvValueDef *TkvDataStorage::DefFor(int recordIndex, const TkvValueDef *def) const
{
    if (recordIndex < 0 && def && def->ValueDefs() != &FInternalValueDefs)
        return FInternalValueDefs.FindByMirrored(def);
    return def;
}

// ---------------------------------------------------------------------------
// Records

int TkvDataStorage::AppendRecord()
{
    FRecords.push_back(nullptr);
    return RecordCount() - 1;
}

void TkvDataStorage::InsertRecord(int recordIndex)
{
    if (recordIndex < 0 || recordIndex > RecordCount())
        throw EListError(recordIndex);
    FRecords.insert(std::size_t(recordIndex), nullptr);
}

void TkvDataStorage::DeleteRecord(int recordIndex)
{
    if (recordIndex < 0) {
        ReleaseInternalRecord(recordIndex);
        return;
    }
    FreeBuffer(Slot(recordIndex), FValueDefs);
    FRecords.erase(std::size_t(recordIndex));
}

void TkvDataStorage::SetRecordCount(int count)
{
    count = std::max(count, 0);
    if (count == 0 && !FRecords.empty()) {
        FreeAllBuffers(FRecords.raw(), FValueDefs);
        FRecords.clear();
        return;
    }
    while (RecordCount() > count) {
        FreeBuffer(FRecords.back(), FValueDefs);
        FRecords.pop_back();
    }
    FRecords.resize(std::size_t(count), nullptr);
}

void TkvDataStorage::ReserveRecords(int count)
{
    // With room for the gap the first insert opens, so that it moves the
    // records after it instead of copying every one into a larger array.
    const std::size_t records = std::size_t(std::max(count, 0));
    FRecords.reserve(records + records / 64 + 16);
}

int TkvDataStorage::AddInternalRecord()
{
    std::size_t slot = 0;
    while (slot < FInternalRecords.size() && FInternalRecords[slot] &&
           (FInternalRecords[slot][0] & InUseBit) != std::byte{0})
        ++slot;
    if (slot == FInternalRecords.size())
        FInternalRecords.push_back(nullptr);
    const int recordIndex = -int(slot) - 1;
    WritableBuffer(recordIndex)[0] |= InUseBit;
    return recordIndex;
}

void TkvDataStorage::ReleaseInternalRecord(int recordIndex)
{
    FreeBuffer(Slot(recordIndex), FInternalValueDefs);
}

bool TkvDataStorage::IsInternalRecordInUse(int recordIndex) const
{
    const std::byte *buffer = SlotValue(recordIndex);
    return buffer && (buffer[0] & InUseBit) != std::byte{0};
}

void TkvDataStorage::ClearInternalRecords()
{
    FreeAllBuffers(FInternalRecords, FInternalValueDefs);
    FInternalRecords.clear();
    if (OnClearInternalRecords && !FDestroying)
        OnClearInternalRecords();
}

void TkvDataStorage::ClearRecords(bool keepInternalRecords)
{
    if (!keepInternalRecords)
        ClearInternalRecords();
    FreeAllBuffers(FRecords.raw(), FValueDefs);
    FRecords.clear();
}

void TkvDataStorage::UnloadRecords()
{
    FreeAllBuffers(FRecords.raw(), FValueDefs);
}

// ---------------------------------------------------------------------------
// Values

Variant TkvDataStorage::GetValue(int recordIndex, const TkvValueDef *def) const
{
    const TkvValueDef *target = DefFor(recordIndex, def);
    const std::byte *buffer = SlotValue(recordIndex);
    if (!target || !buffer)
        return Variant::null();
    return target->GetValue(buffer);
}

void TkvDataStorage::SetValue(int recordIndex, const TkvValueDef *def, const Variant &value)
{
    const TkvValueDef *target = DefFor(recordIndex, def);
    if (!target)
        return;
    target->SetValue(WritableBuffer(recordIndex), value, HeapOf(*target->ValueDefs()));
}

QString TkvDataStorage::GetDisplayText(int recordIndex, const TkvValueDef *def) const
{
    const TkvValueDef *target = DefFor(recordIndex, def);
    const std::byte *buffer = SlotValue(recordIndex);
    if (!target || !buffer)
        return QString();
    return target->GetDisplayText(buffer);
}

void TkvDataStorage::SetDisplayText(int recordIndex, const TkvValueDef *def, const QString &text)
{
    const TkvValueDef *target = DefFor(recordIndex, def);
    if (!target)
        return;
    target->SetDisplayText(WritableBuffer(recordIndex), text, HeapOf(*target->ValueDefs()));
}

bool TkvDataStorage::IsNull(int recordIndex, const TkvValueDef *def) const
{
    const TkvValueDef *target = DefFor(recordIndex, def);
    return !target || target->BufferSize() == 0 || target->IsNull(SlotValue(recordIndex));
}

TkvValuePointer TkvDataStorage::GetValuePointer(int recordIndex, const TkvValueDef *def) const
{
    TkvValuePointer result;
    const TkvValueDef *target = DefFor(recordIndex, def);
    const std::byte *buffer = SlotValue(recordIndex);
    result.HasBuffer = buffer != nullptr;
    if (!target || !buffer || target->BufferSize() == 0 || target->IsNull(buffer))
        return result;
    result.IsNull = false;
    result.Value = target->ValueTypeClass()->PrepareValuePointer(buffer + target->ValueOffset());
    return result;
}

int TkvDataStorage::CompareValuePointers(const TkvValueDef *def, const TkvValuePointer &a,
                                         const TkvValuePointer &b)
{
    if (!a.HasBuffer || !b.HasBuffer)
        return (a.HasBuffer ? 1 : 0) - (b.HasBuffer ? 1 : 0);
    if (a.IsNull || b.IsNull)
        return (a.IsNull ? 0 : 1) - (b.IsNull ? 0 : 1);
    return def->ValueTypeClass()->Compare(a.Value, b.Value);
}

int TkvDataStorage::CompareRecords(int recordIndexA, int recordIndexB, const TkvValueDef *def) const
{
    return def->Compare(SlotValue(recordIndexA), SlotValue(recordIndexB));
}

void SetLoadedValue(const TkvValueDef &def, std::byte *buffer, const Variant &value, TkvValueHeap &heap)
{
    try {
        def.SetValue(buffer, value, heap);
    } catch (const Exception &) {
        // Another tool stored what the column's type cannot hold ("2024-13-01"
        // in a date column): the cell stays empty here, the row and its other
        // cells are shown, and the stored value is left as it is.
        def.SetValue(buffer, Variant::null(), heap);
    }
}

void TkvDataStorage::ReadRecord(int recordIndex, TkvValueDefReader &reader, bool skipInternalFields)
{
    const TkvValueDefs &defs = recordIndex < 0 ? FInternalValueDefs : FValueDefs;
    TkvValueHeap &heap = HeapOf(defs);
    std::byte *buffer = WritableBuffer(recordIndex);
    for (int i = 0; i < defs.Count(); ++i) {
        TkvValueDef *def = defs.Items(i);
        if (def->BufferSize() == 0)
            continue;
        if (skipInternalFields && reader.IsInternal(def))
            continue;
        if (!reader.ReadValueInto(def, buffer, heap))
            SetLoadedValue(*def, buffer, reader.GetValue(def), heap);
        if (def->TextStored())
            def->SetDisplayText(buffer, reader.GetDisplayText(def), heap);
    }
}

std::size_t TkvDataStorage::MemoryUsage() const
{
    return (FRecords.capacity() + FInternalRecords.capacity()) * sizeof(std::byte *) + FHeap.BytesReserved() +
           FInternalHeap.BytesReserved();
}

std::string TkvDataStorage::CheckConsistency() const
{
    // numberOf: the record number of a place in buffers (the gap has none).
    auto check = [](const std::vector<std::byte *> &buffers, const TkvValueDefs &defs, bool internal,
                    auto numberOf) -> std::string {
        for (std::size_t place = 0; place < buffers.size(); ++place) {
            const std::byte *buffer = buffers[place];
            if (!buffer)
                continue;
            const std::ptrdiff_t r = numberOf(place);
            const std::byte stateMask = internal ? ~InUseBit : std::byte{0xFF};
            if ((buffer[0] & stateMask) != std::byte{0})
                return "record " + std::to_string(r) + ": unexpected state bits";
            for (int i = 0; i < defs.Count(); ++i) {
                const TkvValueDef *def = defs.Items(i);
                if (def->BufferSize() == 0)
                    continue;
                const auto nullByte = std::to_integer<int>(buffer[def->Offset()]);
                if (nullByte > 1)
                    return "record " + std::to_string(r) + " column " + std::to_string(i) + ": bad null byte";
            }
        }
        return {};
    };
    std::string fault = check(FRecords.raw(), FValueDefs, false,
                              [this](std::size_t place) { return FRecords.IndexOfRaw(place); });
    return fault.empty() ? check(FInternalRecords, FInternalValueDefs, true,
                                 [](std::size_t place) { return std::ptrdiff_t(place); })
                         : fault;
}

} // namespace kestrum
