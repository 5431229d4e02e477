// Feeds random bytes to the CSV preview and reader. The first byte picks the
// options (detected or forced encoding, separator, header row, kind rule or
// the ledger's own export); the rest is the file. Only EImportError may leave the reader, and every
// entry it gives must be whole.
#include "EntrySourceFuzz.h"
#include "exchange/CsvReader.h"

#include <cstddef>
#include <cstdint>

using namespace kestrum;
using fuzz::Check;

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
    // The one choice the kind rule leaves over reads the file as the ledger's own export.
    options.AmountRule = (choice >> 6) == 3 ? caLedger : caDetect;
    try {
        const TCsvPreview preview = PreviewCsv(bytes, options, 5);
        Check(preview.Rows.size() <= 5);
        Check(preview.Options.Separator != 0 && preview.Options.Encoding != ceAuto);
    } catch (const EImportError &) {
    }
    try {
        TCsvEntrySource source(bytes, options);
        fuzz::DrainEntrySource(source);
    } catch (const EImportError &) {
    }
    return 0;
}
