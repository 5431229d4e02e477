// Feeds random bytes to the QIF reader. The first byte picks the date order;
// the rest is the file. Only EImportError may leave the reader, and every
// entry it gives must be whole.
#include "exchange/QifReader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace kestrum;

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    TQifOptions options;
    options.DateOrder = TQifDateOrder(data[0] % 3);
    const QByteArray bytes(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    try {
        TQifEntrySource source(bytes, options);
        TForeignEntry entry;
        TBadRecord bad;
        int lastLine = 0;
        for (;;) {
            const TEntrySource::TStep step = source.Next(entry, bad);
            if (step == TEntrySource::esEnd)
                break;
            const int line = step == TEntrySource::esEntry ? entry.Line : bad.Line;
            Check(line > lastLine);
            lastLine = line;
            if (step == TEntrySource::esEntry) {
                Check(entry.Cents >= 0);
                Check(entry.Date.isValid());
            } else {
                Check(!bad.Reason.isEmpty());
            }
            Check(source.Progress() >= 0.0 && source.Progress() <= 1.0);
        }
        source.Notes();
    } catch (const EImportError &) {
    }
    return 0;
}
