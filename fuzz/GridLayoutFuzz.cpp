// Feeds arbitrary bytes to the reader of stored grid layouts. Malformed bytes
// must raise the stream read error; a layout that reads must write back to
// bytes that read again to the same layout.
#include "core/Errors.h"
#include "grid/GridLayoutStream.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

using namespace kestrum;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char *>(data), size);
    TkvGridStoredLayout layout;
    try {
        layout = ParseGridLayout(bytes);
    } catch (const EReadError &) {
        return 0;
    }
    std::string written;
    try {
        written = WriteGridLayout(layout);
    } catch (const EWriteError &) {
        return 0; // a value the variant encoding cannot write back (a text form it cannot make)
    }
    const TkvGridStoredLayout again = ParseGridLayout(written);
    if (WriteGridLayout(again) != written)
        std::abort();
    return 0;
}
