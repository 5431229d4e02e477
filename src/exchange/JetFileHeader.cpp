#include "exchange/JetFileHeader.h"

#include <QFile>

#include <cstring>

namespace kestrum {

bool IsJetHeader(const unsigned char *bytes, std::size_t length)
{
    static const char jet[] = "Standard Jet DB"; // 15 letters and the zero byte: 16
    static const char ace[] = "Standard ACE DB";
    if (length < 4 + sizeof jet)
        return false;
    return std::memcmp(bytes + 4, jet, sizeof jet) == 0 || std::memcmp(bytes + 4, ace, sizeof ace) == 0;
}

bool IsJetFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    unsigned char header[20];
    const qint64 got = file.read(reinterpret_cast<char *>(header), sizeof header);
    return got == sizeof header && IsJetHeader(header, sizeof header);
}

} // namespace kestrum
