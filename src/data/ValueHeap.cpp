#include "data/ValueHeap.h"

#include <cstdlib>
#include <cstring>
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
    if (FLeft < rounded) {
        // The tail of the old chunk is given up; it is smaller than one block.
        FChunks.push_back(std::make_unique_for_overwrite<std::byte[]>(ChunkSize));
        FCursor = FChunks.back().get();
        FLeft = ChunkSize;
        FBytesReserved += ChunkSize;
    }
    std::byte *block = FCursor;
    FCursor += rounded;
    FLeft -= rounded;
    return block;
}

std::byte *TkvValueHeap::AllocateZeroed(std::size_t size)
{
    std::byte *block = Allocate(size);
    std::memset(block, 0, size);
    return block;
}

void TkvValueHeap::Free(std::byte *block, std::size_t size)
{
    if (!block)
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
    FChunks.clear();
    FCursor = nullptr;
    FLeft = 0;
    FFreeLists.fill(nullptr);
    FBytesReserved = 0;
}

} // namespace kestrum
