// Feeds random bytes to the QIF reader. The first byte picks the date order,
// whether transfers come in and the encoding; the rest is the file. Only EImportError may leave the reader,
// and every entry it gives must be whole.
#include "EntrySourceFuzz.h"
#include "exchange/QifReader.h"

#include <cstddef>
#include <cstdint>

using namespace kestrum;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    TQifOptions options;
    options.DateOrder = TQifDateOrder(data[0] % 3);
    options.Transfers = TQifTransfers(data[0] / 3 % 2);
    if (const int encoding = data[0] / 6 % 4; encoding > 0)
        options.Encoding = exchange::TTextEncoding(encoding - 1);
    const QByteArray bytes(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    try {
        TQifEntrySource source(bytes, options);
        fuzz::DrainEntrySource(source);
    } catch (const EImportError &) {
    }
    return 0;
}
