#include "core/Codepage.h"

#include "core/Errors.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <optional>

namespace kestrum {

namespace {

// Qt's ICU-backed converters keep their error flag across resetState(), so a
// converter is reused only until it has seen an error; then a fresh one
// takes its place. Stateless: no call depends on the one before.
constexpr const char *NarrowCodec = "GB18030";

QStringEncoder &narrowEncoder()
{
    thread_local std::optional<QStringEncoder> encoder;
    if (!encoder || encoder->hasError())
        encoder.emplace(NarrowCodec, QStringConverter::Flag::Stateless);
    if (!encoder->isValid())
        throw EEncodingError("The GB18030 code page is not available");
    return *encoder;
}

QStringDecoder &narrowDecoder()
{
    thread_local std::optional<QStringDecoder> decoder;
    if (!decoder || decoder->hasError())
        decoder.emplace(NarrowCodec, QStringConverter::Flag::Stateless);
    if (!decoder->isValid())
        throw EEncodingError("The GB18030 code page is not available");
    return *decoder;
}

bool isAscii(std::string_view bytes)
{
    for (char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

bool isAscii(const QString &text)
{
    for (QChar c : text)
        if (c.unicode() >= 0x80)
            return false;
    return true;
}

} // namespace

NarrowString toNarrow(const QString &text)
{
    if (isAscii(text))
        return text.toLatin1().toStdString();
    QStringEncoder &encoder = narrowEncoder();
    QByteArray bytes = encoder.encode(text);
    if (encoder.hasError())
        throw EEncodingError("Text contains a character that the GB18030 code page cannot hold");
    return bytes.toStdString();
}

NarrowString utf8ToNarrow(std::string_view utf8)
{
    if (isAscii(utf8))
        return NarrowString(utf8);
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = decoder.decode(QByteArrayView(utf8.data(), static_cast<qsizetype>(utf8.size())));
    if (decoder.hasError())
        throw EEncodingError("Malformed UTF-8 text");
    return toNarrow(text);
}

QString fromNarrow(std::string_view bytes)
{
    if (isAscii(bytes))
        return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QStringDecoder &decoder = narrowDecoder();
    QString text = decoder.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    if (decoder.hasError())
        throw EEncodingError("Malformed GB18030 byte sequence");
    return text;
}

std::string narrowToUtf8(std::string_view bytes)
{
    if (isAscii(bytes))
        return std::string(bytes);
    return fromNarrow(bytes).toUtf8().toStdString();
}

int narrowCharLength(std::string_view bytes, std::size_t pos)
{
    auto at = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    if (pos >= bytes.size())
        return 1;
    unsigned char lead = at(pos);
    if (lead < 0x81 || lead == 0xFF || pos + 1 >= bytes.size())
        return 1;
    unsigned char second = at(pos + 1);
    if (second >= 0x30 && second <= 0x39) {
        if (pos + 3 < bytes.size() && at(pos + 2) >= 0x81 && at(pos + 2) <= 0xFE && at(pos + 3) >= 0x30 &&
            at(pos + 3) <= 0x39)
            return 4;
        return 1;
    }
    if ((second >= 0x40 && second <= 0x7E) || (second >= 0x80 && second <= 0xFE))
        return 2;
    return 1;
}

} // namespace kestrum
