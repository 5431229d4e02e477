// Which encoding a foreign file's bytes are in, and their UTF-8 text.
#include "exchange/TextEncoding.h"

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

bool HasHighBytes(const QByteArray &data)
{
    return std::any_of(data.constBegin(), data.constEnd(), [](char c) { return (c & 0x80) != 0; });
}

//! The lines that hold a byte above ASCII, up to some 64 KB of them: enough
//! to judge a file by, and no more work for a large one.
QByteArray LinesWithHighBytes(const QByteArray &data)
{
    constexpr qsizetype Enough = 65536;
    QByteArray sample;
    qsizetype start = 0;
    while (start < data.size() && sample.size() < Enough) {
        qsizetype end = data.indexOf('\n', start);
        if (end < 0)
            end = data.size();
        const QByteArrayView line = QByteArrayView(data).sliced(start, end - start);
        if (std::any_of(line.begin(), line.end(), [](char c) { return (c & 0x80) != 0; })) {
            sample += line;
            sample += '\n';
        }
        start = end + 1;
    }
    return sample;
}

//! The first few runs of non-ASCII bytes, joined by " / ": in
//! text valid in both encodings such a run is whole characters in each.
QByteArray FirstWords(const QByteArray &sample)
{
    constexpr int Words = 3;
    constexpr qsizetype LongestWord = 24;
    QByteArray words;
    int count = 0;
    for (qsizetype i = 0; i < sample.size() && count < Words;) {
        if ((sample[i] & 0x80) == 0) {
            ++i;
            continue;
        }
        qsizetype end = i;
        while (end < sample.size() && (sample[end] & 0x80) != 0)
            ++end;
        if (count > 0)
            words += " / ";
        words += sample.mid(i, std::min(end - i, LongestWord));
        ++count;
        i = end;
    }
    return words;
}

QString DecodeGb18030(const QByteArray &bytes)
{
    QStringDecoder decoder("GB18030", QStringDecoder::Flag::Stateless);
    return decoder.isValid() ? decoder.decode(bytes) : QString();
}

bool IsAsciiLetter(char32_t c)
{
    return (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z');
}

bool IsAsciiDigit(char32_t c)
{
    return c >= U'0' && c <= U'9';
}

//! What one character costs the plausibility of its reading. Latin-1 is
//! judged by the character itself (an accented letter inside a Latin word is
//! likely, "¥" before an amount is); everything else by where GB18030 puts
//! it, since GB2312 orders hanzi by how common they are: level one holds the
//! 3,755 everyday characters, level two the 3,008 rarer ones, and what GBK
//! and GB18030 added beyond (lead or trail byte below 0xA1, four bytes) is
//! rare in household text. A hanzi glued to a Latin letter is less likely
//! than one standing among other hanzi or digits.
double CharacterCost(char32_t c, char32_t prev, char32_t next, int gbLength, unsigned char lead,
                     unsigned char trail)
{
    const bool besideLetter = IsAsciiLetter(prev) || IsAsciiLetter(next);
    if (c < 0x80)
        return 0;
    if (c < 0xA0) // C1 controls
        return 1;
    if (c == 0xA5) // ¥
        return IsAsciiDigit(next) || next == U' ' || next == U'-' ? 0 : 0.5;
    if (c == 0xB7) // the middle dot of transliterated names
        return 0.2;
    if (c < 0xC0 || c == 0xD7 || c == 0xF7)
        return 0.5;
    if (c <= 0xFF)
        return besideLetter ? 0.2 : 0.6;
    if (gbLength != 2 || lead < 0xA1 || trail < 0xA1)
        return 1;
    if (lead == 0xA1 || lead == 0xA3) // Chinese punctuation and full-width forms
        return 0;
    if (lead >= 0xB0 && lead <= 0xD7)
        return besideLetter ? 0.3 : 0;
    if (lead >= 0xD8 && lead <= 0xF7)
        return besideLetter ? 0.6 : 0.3;
    if (lead <= 0xA9) // numbers in circles, kana, Greek, Cyrillic, pinyin, box drawing
        return 0.5;
    return 1; // user-defined areas
}

} // namespace

TTextJudgement JudgeText(const QString &text)
{
    TTextJudgement judgement;
    QStringEncoder encoder("GB18030", QStringEncoder::Flag::Stateless);
    if (!encoder.isValid())
        return judgement;
    const QByteArray gb = encoder.encode(text);
    const auto *bytes = reinterpret_cast<const unsigned char *>(gb.constData());
    const qsizetype gbSize = gb.size();
    const QList<uint> codePoints = text.toUcs4();
    qsizetype at = 0; // the GB18030 bytes of codePoints[i] start here
    for (qsizetype i = 0; i < codePoints.size(); ++i) {
        const char32_t c = codePoints[i];
        const char32_t prev = i > 0 ? codePoints[i - 1] : U' ';
        const char32_t next = i + 1 < codePoints.size() ? codePoints[i + 1] : U' ';
        int length = 1;
        if (at < gbSize && bytes[at] >= 0x81 && at + 1 < gbSize)
            length = bytes[at + 1] >= 0x30 && bytes[at + 1] <= 0x39 ? 4 : 2;
        const unsigned char lead = at < gbSize ? bytes[at] : 0;
        const unsigned char trail = length >= 2 ? bytes[at + 1] : 0;
        at += length;
        const double cost = CharacterCost(c, prev, next, length, lead, trail);
        judgement.Cost += cost;
        if (cost >= 0.5)
            ++judgement.Strange;
    }
    return judgement;
}

TEncodingGuess GuessEncoding(const QByteArray &data)
{
    TEncodingGuess guess;
    if (data.startsWith("\xEF\xBB\xBF")) {
        guess.Basis = ebByteOrderMark;
        guess.ByteOrderMark = true;
        guess.Encoding = teUtf8;
        return guess;
    }
    if (data.startsWith("\xFF\xFE") || data.startsWith("\xFE\xFF")) {
        guess.Basis = ebByteOrderMark;
        guess.ByteOrderMark = true;
        guess.Encoding = teUtf16;
        return guess;
    }
    CheckIsText(data);
    const qsizetype badUtf8 = FirstBadUtf8(data.constData(), data.size());
    if (badUtf8 < 0) {
        guess.Encoding = teUtf8;
        if (!HasHighBytes(data) || FirstBadGb18030(data) >= 0)
            return guess;
        // Both readings are valid: a short GBK file, or UTF-8 whose byte
        // pairs happen to be GB18030 too. Judge the lines that hold more
        // than ASCII by what each reading makes of them.
        const QByteArray sample = LinesWithHighBytes(data);
        const QString asUtf8 = QString::fromUtf8(sample);
        const QString asGb = DecodeGb18030(sample);
        guess.Basis = ebPlausibility;
        // Real UTF-8 Chinese reads as hanzi, however rare; GBK read as UTF-8
        // gives letters of other scripts and signs.
        const TTextJudgement utf8 = JudgeText(asUtf8);
        if (utf8.Strange > 0 && JudgeText(asGb).Cost < utf8.Cost)
            guess.Encoding = teGb18030;
        guess.Other = guess.Encoding == teUtf8 ? teGb18030 : teUtf8;
        const QByteArray words = FirstWords(sample);
        guess.Sample = guess.Encoding == teUtf8 ? QString::fromUtf8(words) : DecodeGb18030(words);
        guess.OtherSample = guess.Encoding == teUtf8 ? DecodeGb18030(words) : QString::fromUtf8(words);
        return guess;
    }
    if (FirstBadGb18030(data) < 0) {
        guess.Encoding = teGb18030;
        return guess;
    }
    throw EImportError(LineMessage(LineAt(data, badUtf8),
                                   QStringLiteral("无法识别的编码：文本既不是 UTF-8 也不是 GB18030")));
}

QString EncodingGuessNote(const TEncodingGuess &guess)
{
    if (guess.Basis != ebPlausibility)
        return QString();
    return QStringLiteral("这个文件按 UTF-8 和 GB18030 都能读：按 %1 读是“%2”，按 %3 读是“%4”；"
                          "按内容选了读来更合理的 %1。如果不对，请改选编码。")
        .arg(EncodingName(guess.Encoding), guess.Sample, EncodingName(guess.Other), guess.OtherSample);
}

TTextEncoding DetectEncoding(const QByteArray &data, bool &byteOrderMark)
{
    const TEncodingGuess guess = GuessEncoding(data);
    byteOrderMark = guess.ByteOrderMark;
    return guess.Encoding;
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
