// Feeds random bytes to the CSV preview and reader. The first byte picks the
// options (detected or forced encoding, separator, header row, kind rule);
// the rest is the file. Only EImportError may leave the reader, and every
// entry it gives must be whole.
#include "exchange/CsvReader.h"

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
    const std::uint8_t choice = data[0];
    const QByteArray bytes(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    TCsvOptions options;
    options.Encoding = TCsvEncoding(choice & 3);
    static const char separators[] = {0, ',', ';', '\t'};
    options.Separator = separators[(choice >> 2) & 3];
    options.HeaderRow = int((choice >> 4) & 3) - 2;
    options.KindRule = TCsvKindRule((choice >> 6) % 3);
    try {
        const TCsvPreview preview = PreviewCsv(bytes, options, 5);
        Check(preview.Rows.size() <= 5);
        Check(preview.Options.Separator != 0 && preview.Options.Encoding != ceAuto);
    } catch (const EImportError &) {
    }
    try {
        TCsvEntrySource source(bytes, options);
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
                Check(entry.Seconds >= 0 && entry.Seconds < 86400);
            } else {
                Check(!bad.Reason.isEmpty());
            }
            Check(source.Progress() >= 0.0 && source.Progress() <= 1.0);
        }
    } catch (const EImportError &) {
    }
    return 0;
}
