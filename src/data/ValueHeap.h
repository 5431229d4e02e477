#pragma once
// The allocator behind a storage's record buffers and string holders.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
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

    std::vector<std::unique_ptr<std::byte[]>> FChunks;
    std::byte *FCursor = nullptr;
    std::size_t FLeft = 0;
    std::array<std::byte *, MaxSmallSize / Granule + 1> FFreeLists{};
    LargeBlock *FLargeBlocks = nullptr;
    std::size_t FBytesReserved = 0;
};

} // namespace kestrum
