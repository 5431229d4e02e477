// Which encoding a foreign file's bytes are in, and their UTF-8 text.
#include "exchange/ExchangeText.h"

#include <QStringDecoder>

#include <algorithm>
#include <cstring>

namespace kestrum::exchange {

namespace {

int LineAt(const QByteArray &data, qsizetype offset)
{
    return int(std::count(data.constBegin(), data.constBegin() + std::min(offset, data.size()), '\n')) + 1;
}

//! The offset of the first byte that is not well-formed UTF-8 (overlong
//! forms and surrogates included), or -1.
qsizetype FirstBadUtf8(const char *bytes, qsizetype size)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes);
    qsizetype i = 0;
    while (i < size) {
        // Eight ASCII bytes at a time: most of a CSV file.
        if (i + 8 <= size) {
            std::uint64_t word;
            std::memcpy(&word, p + i, 8);
            if ((word & 0x8080808080808080ULL) == 0) {
                i += 8;
                continue;
            }
        }
        const unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        int length = 0;
        unsigned char low = 0x80, high = 0xBF;
        if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            if (c == 0xE0)
                low = 0xA0;
            else if (c == 0xED)
                high = 0x9F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            if (c == 0xF0)
                low = 0x90;
            else if (c == 0xF4)
                high = 0x8F;
        } else {
            return i;
        }
        if (i + length > size)
            return i;
        if (p[i + 1] < low || p[i + 1] > high)
            return i;
        for (int k = 2; k < length; ++k)
            if (p[i + k] < 0x80 || p[i + k] > 0xBF)
                return i;
        i += length;
    }
    return -1;
}

//! The offset of the first byte that cannot start or continue a GB18030
//! character, or -1.
qsizetype FirstBadGb18030(const QByteArray &data)
{
    const auto *p = reinterpret_cast<const unsigned char *>(data.constData());
    const qsizetype size = data.size();
    qsizetype i = 0;
    while (i < size) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        if (c == 0x80 || c == 0xFF || i + 1 >= size)
            return i;
        const unsigned char second = p[i + 1];
        if ((second >= 0x40 && second <= 0x7E) || (second >= 0x80 && second <= 0xFE)) {
            i += 2;
            continue;
        }
        if (second >= 0x30 && second <= 0x39 && i + 3 < size && p[i + 2] >= 0x81 && p[i + 2] <= 0xFE &&
            p[i + 3] >= 0x30 && p[i + 3] <= 0x39) {
            i += 4;
            continue;
        }
        return i;
    }
    return -1;
}

//! Text has no NULs and few control bytes; tabs, line ends, form feeds and a
//! final end-of-file mark are text.
void CheckIsText(const QByteArray &data)
{
    if (const qsizetype nul = data.indexOf('\0'); nul >= 0)
        throw EImportError(LineMessage(LineAt(data, nul), QStringLiteral("文件不是文本（含有 NUL 字节）")));
    const qsizetype sample = std::min<qsizetype>(data.size(), 65536);
    qsizetype controls = 0;
    for (qsizetype i = 0; i < sample; ++i) {
        const auto c = static_cast<unsigned char>(data[i]);
        if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f' && c != 0x1A) || c == 0x7F)
            ++controls;
    }
    if (controls > 8 && controls * 100 > sample)
        throw EImportError("文件不是文本（含有许多控制字符）");
}

} // namespace

TTextEncoding DetectEncoding(const QByteArray &data, bool &byteOrderMark)
{
    byteOrderMark = false;
    if (data.startsWith("\xEF\xBB\xBF")) {
        byteOrderMark = true;
        return teUtf8;
    }
    if (data.startsWith("\xFF\xFE") || data.startsWith("\xFE\xFF")) {
        byteOrderMark = true;
        return teUtf16;
    }
    CheckIsText(data);
    const qsizetype badUtf8 = FirstBadUtf8(data.constData(), data.size());
    if (badUtf8 < 0)
        return teUtf8;
    if (FirstBadGb18030(data) < 0)
        return teGb18030;
    throw EImportError(LineMessage(LineAt(data, badUtf8),
                                   QStringLiteral("无法识别的编码：文本既不是 UTF-8 也不是 GB18030")));
}

QByteArray DecodeToUtf8(const QByteArray &data, TTextEncoding encoding, bool checked)
{
    switch (encoding) {
    case teUtf8: {
        if (checked)
            return data;
        QByteArray text = data.startsWith("\xEF\xBB\xBF") ? data.mid(3) : data;
        CheckIsText(text);
        if (const qsizetype bad = FirstBadUtf8(text.constData(), text.size()); bad >= 0)
            throw EImportError(LineMessage(LineAt(text, bad), QStringLiteral("文本不是有效的 UTF-8")));
        return text;
    }
    case teGb18030: {
        if (!checked)
            CheckIsText(data);
        if (const qsizetype bad = checked ? -1 : FirstBadGb18030(data); bad >= 0)
            throw EImportError(LineMessage(LineAt(data, bad), QStringLiteral("文本不是有效的 GB18030")));
        QStringDecoder decoder("GB18030", QStringDecoder::Flag::Stateless);
        if (!decoder.isValid())
            throw EImportError("这个系统无法读取 GB18030 文本");
        const QString text = decoder.decode(data);
        if (decoder.hasError())
            throw EImportError("文本不是有效的 GB18030");
        return text.toUtf8();
    }
    case teUtf16: {
        const bool bigEndian = data.startsWith("\xFE\xFF");
        const bool littleEndian = data.startsWith("\xFF\xFE");
        if (!bigEndian && !littleEndian)
            throw EImportError("UTF-16 文本缺少字节顺序标记（BOM）");
        if (data.size() % 2 != 0)
            throw EImportError("UTF-16 文本在一个字符的中间结束");
        QStringDecoder decoder(bigEndian ? QStringConverter::Utf16BE : QStringConverter::Utf16LE,
                               QStringDecoder::Flag::Stateless);
        const QString text = decoder.decode(QByteArrayView(data).sliced(2));
        if (decoder.hasError())
            throw EImportError("文本不是有效的 UTF-16");
        QByteArray utf8 = text.toUtf8();
        CheckIsText(utf8);
        return utf8;
    }
    }
    return data;
}

QString EncodingName(TTextEncoding encoding)
{
    switch (encoding) {
    case teUtf8:
        return QStringLiteral("UTF-8");
    case teGb18030:
        return QStringLiteral("GB18030");
    case teUtf16:
        return QStringLiteral("UTF-16");
    }
    return QString();
}

} // namespace kestrum::exchange
