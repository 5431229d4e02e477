// Feeds random bytes to the OFX reader through libofx, which reads only from
// a file. The first byte puts an OFX 1 (SGML) or OFX 2 (XML) header before
// the rest, or none; the rest is the statement. Only EImportError may leave
// the reader, and every entry it gives must be whole.
#include "EntrySourceFuzz.h"
#include "exchange/OfxReader.h"

#include <QDir>
#include <QFile>

#include <cstddef>
#include <cstdint>
#include <unistd.h>

using namespace kestrum;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    static const QString path =
        QDir::temp().filePath(QStringLiteral("kestrum-fuzz-ofx-%1.ofx").arg(qint64(::getpid())));
    QByteArray bytes;
    switch (data[0] % 3) {
    case 0:
        bytes = "OFXHEADER:100\r\nDATA:OFXSGML\r\nVERSION:102\r\nSECURITY:NONE\r\nENCODING:UTF-8\r\n"
                "CHARSET:NONE\r\nCOMPRESSION:NONE\r\nOLDFILEUID:NONE\r\nNEWFILEUID:NONE\r\n\r\n";
        break;
    case 1:
        bytes = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<?OFX OFXHEADER=\"200\" VERSION=\"211\" "
                "SECURITY=\"NONE\" OLDFILEUID=\"NONE\" NEWFILEUID=\"NONE\"?>\n";
        break;
    default:
        break;
    }
    bytes.append(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
            std::abort();
    }
    try {
        TOfxEntrySource source(path);
        // Two transactions may stand on one line.
        fuzz::DrainEntrySource(source, fuzz::lsShared);
    } catch (const EImportError &) {
    }
    return 0;
}
