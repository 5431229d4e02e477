// Feeds random bytes to the HomeBank reader as a whole file. Only
// EImportError may leave the reader, and every entry it gives must be whole.
#include "EntrySourceFuzz.h"
#include "exchange/HomeBankReader.h"

#include <cstddef>
#include <cstdint>

using namespace kestrum;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    try {
        THomeBankEntrySource source(bytes);
        // The parts of a split share their transaction's line.
        fuzz::DrainEntrySource(source, fuzz::lsShared);
    } catch (const EImportError &) {
    }
    return 0;
}
