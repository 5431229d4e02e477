#pragma once
// The allocator behind a storage's record buffers and string holders.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace kestrum {

//! Hands out small blocks from large chunks and recycles freed blocks by size
//! class. A million records of a few short strings each would otherwise pay the
//! general allocator's header and rounding on every block, several times the
//! payload; here a block costs its size rounded up to 4 bytes (at least 8).
//! Blocks are only 4-byte aligned: every reader copies values out with memcpy. `Clear` drops
//! every block at once, which is what a reload of all records needs.
class TkvValueHeap {
public:
    TkvValueHeap() = default;
    TkvValueHeap(const TkvValueHeap &) = delete;
    TkvValueHeap &operator=(const TkvValueHeap &) = delete;
    ~TkvValueHeap();

    //! A block of `size` bytes (uninitialised), 4-byte aligned.
    std::byte *Allocate(std::size_t size);
    //! A zero-filled block.
    std::byte *AllocateZeroed(std::size_t size);
    //! Returns a block; `size` must be the size it was allocated with.
    void Free(std::byte *block, std::size_t size);
    //! Releases every block ever handed out.
    void Clear();

    //! A block holding exactly `image` that every record reading the same
    //! short value may point to: the one made for an equal image before, or
    //! a new one once an image has been met twice. Null when sharing does not
    //! pay (a long image, one not met before, a column whose values rarely
    //! repeat, shared chunks full); the caller then takes a block of its own.
    //! A shared block is never freed singly (Free passes it by) and never
    //! written in place; Clear drops it with the rest.
    std::byte *Shared(std::span<const std::byte> image);
    //! Whether a block is one of the shared ones.
    bool IsShared(const std::byte *block) const
    {
        const auto at = reinterpret_cast<std::uintptr_t>(block);
        for (const auto &chunk : FShared.List)
            if (at - reinterpret_cast<std::uintptr_t>(chunk.get()) < ChunkSize)
                return true;
        return false;
    }

    //! Bytes taken from the system (chunks and large blocks).
    std::size_t BytesReserved() const { return FBytesReserved; }

private:
    static constexpr std::size_t Granule = 4;
    static constexpr std::size_t MinBlockSize = sizeof(std::byte *); // a freed block holds the free-list link
    static constexpr std::size_t MaxSmallSize = 512;
    static constexpr std::size_t ChunkSize = 256 * 1024;

    struct LargeBlock {
        LargeBlock *Prev;
        LargeBlock *Next;
        std::size_t Size;
        std::size_t Padding; // keeps the payload 16-byte aligned
    };

    static std::size_t RoundUp(std::size_t size)
    {
        return size < MinBlockSize ? MinBlockSize : (size + Granule - 1) & ~(Granule - 1);
    }

    static constexpr std::size_t SharedMaxSize = 64;
    static constexpr std::size_t SharedMaxChunks = 4;
    static constexpr std::size_t SharedSlots = 4096;
    //! Images are looked up while at least one lookup in 16 finds a shared
    //! block: a column of serial numbers or free remarks soon stops paying.
    static constexpr std::uint32_t SharedTrial = 65536;

    //! Chunks handed out from front to back, a block after the other.
    struct Chunks {
        std::vector<std::unique_ptr<std::byte[]>> List;
        std::byte *Cursor = nullptr;
        std::size_t Left = 0;
        //! A block of `rounded` bytes, from a new chunk when this one has no
        //! room (its tail is given up: it is smaller than one block); null
        //! when that chunk would be one more than `maxChunks`.
        std::byte *Take(std::size_t rounded, std::size_t maxChunks, std::size_t &bytesReserved);
        void Clear();
    };

    Chunks FOwn;
    std::array<std::byte *, MaxSmallSize / Granule + 1> FFreeLists{};
    LargeBlock *FLargeBlocks = nullptr;
    std::size_t FBytesReserved = 0;

    // Recently met images by hash: the hash alone after a first meeting, the
    // shared block from the second on.
    struct SharedSlot {
        std::uint64_t Hash = 0;
        std::byte *Block = nullptr;
    };
    std::unique_ptr<SharedSlot[]> FSharedSlots;
    Chunks FShared;
    std::uint32_t FSharedLookups = 0;
    std::uint32_t FSharedHits = 0;
    bool FSharing = true;
};

} // namespace kestrum
