#include "data/ValueHeap.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

namespace kestrum {

TkvValueHeap::~TkvValueHeap()
{
    Clear();
}

std::byte *TkvValueHeap::Allocate(std::size_t size)
{
    if (size == 0)
        size = 1;
    const std::size_t rounded = RoundUp(size);
    if (rounded > MaxSmallSize) {
        auto *block = static_cast<LargeBlock *>(std::malloc(sizeof(LargeBlock) + rounded));
        if (!block)
            throw std::bad_alloc();
        block->Prev = nullptr;
        block->Next = FLargeBlocks;
        block->Size = rounded;
        if (FLargeBlocks)
            FLargeBlocks->Prev = block;
        FLargeBlocks = block;
        FBytesReserved += sizeof(LargeBlock) + rounded;
        return reinterpret_cast<std::byte *>(block + 1);
    }
    std::byte *&freeList = FFreeLists[rounded / Granule];
    if (freeList) {
        std::byte *block = freeList;
        std::memcpy(&freeList, block, sizeof(std::byte *));
        return block;
    }
    return FOwn.Take(rounded, std::numeric_limits<std::size_t>::max(), FBytesReserved);
}

std::byte *TkvValueHeap::Chunks::Take(std::size_t rounded, std::size_t maxChunks, std::size_t &bytesReserved)
{
    if (Left < rounded) {
        if (List.size() >= maxChunks)
            return nullptr;
        List.push_back(std::make_unique_for_overwrite<std::byte[]>(ChunkSize));
        Cursor = List.back().get();
        Left = ChunkSize;
        bytesReserved += ChunkSize;
    }
    std::byte *block = Cursor;
    Cursor += rounded;
    Left -= rounded;
    return block;
}

void TkvValueHeap::Chunks::Clear()
{
    List.clear();
    Cursor = nullptr;
    Left = 0;
}

std::byte *TkvValueHeap::AllocateZeroed(std::size_t size)
{
    std::byte *block = Allocate(size);
    std::memset(block, 0, size);
    return block;
}

void TkvValueHeap::Free(std::byte *block, std::size_t size)
{
    if (!block || IsShared(block))
        return;
    if (size == 0)
        size = 1;
    const std::size_t rounded = RoundUp(size);
    if (rounded > MaxSmallSize) {
        auto *large = reinterpret_cast<LargeBlock *>(block) - 1;
        if (large->Prev)
            large->Prev->Next = large->Next;
        else
            FLargeBlocks = large->Next;
        if (large->Next)
            large->Next->Prev = large->Prev;
        FBytesReserved -= sizeof(LargeBlock) + large->Size;
        std::free(large);
        return;
    }
    std::byte *&freeList = FFreeLists[rounded / Granule];
    std::memcpy(block, &freeList, sizeof(std::byte *));
    freeList = block;
}

void TkvValueHeap::Clear()
{
    while (FLargeBlocks) {
        LargeBlock *next = FLargeBlocks->Next;
        std::free(FLargeBlocks);
        FLargeBlocks = next;
    }
    FOwn.Clear();
    FFreeLists.fill(nullptr);
    FBytesReserved = 0;
    FSharedSlots.reset();
    FShared.Clear();
    FSharedLookups = 0;
    FSharedHits = 0;
    FSharing = true;
}

std::byte *TkvValueHeap::Shared(std::span<const std::byte> image)
{
    if (!FSharing || image.empty() || image.size() > SharedMaxSize)
        return nullptr;
    if (FSharedLookups == SharedTrial) {
        FSharing = FSharedHits >= SharedTrial / 16;
        FSharedLookups = FSharedHits = 0;
        if (!FSharing)
            return nullptr;
    }
    ++FSharedLookups;
    if (!FSharedSlots)
        FSharedSlots = std::make_unique<SharedSlot[]>(SharedSlots);
    std::uint64_t hash = 14695981039346656037ull; // FNV-1a; never 0 for a non-empty image below
    for (const std::byte b : image)
        hash = (hash ^ std::to_integer<std::uint8_t>(b)) * 1099511628211ull;
    hash |= 1;
    SharedSlot &slot = FSharedSlots[hash % SharedSlots];
    if (slot.Hash == hash) {
        if (slot.Block) {
            if (std::memcmp(slot.Block, image.data(), image.size()) == 0) {
                ++FSharedHits;
                return slot.Block;
            }
            // Another image of the same hash: it is not shared.
            return nullptr;
        }
        // Met for the second time: from now on shared.
        const std::size_t rounded = RoundUp(image.size());
        std::byte *block = FShared.Take(rounded, SharedMaxChunks, FBytesReserved);
        if (!block)
            return nullptr;
        std::memcpy(block, image.data(), image.size());
        slot.Block = block;
        ++FSharedHits;
        return block;
    }
    // A slot already holding a shared block keeps it: a value read on many
    // rows is not pushed out by one read once.
    if (!slot.Block)
        slot.Hash = hash;
    return nullptr;
}

} // namespace kestrum
