#pragma once
// Which encoding a foreign file's bytes are in, and why. Validity alone
// does not settle it: about one GB2312 character in seven is two bytes that
// also form a valid UTF-8 character (医药 reads "ҽҩ", 鞋 reads "Ь"), so a short
// GBK file is often valid UTF-8 too. When both readings are valid, the one
// that reads as plausible Chinese household text wins.
#include "exchange/ExchangeText.h"

#include <QByteArray>
#include <QString>

namespace kestrum::exchange {

//! What decided the encoding.
enum TEncodingBasis : std::uint8_t {
    ebByteOrderMark, //!< a byte-order mark names it
    ebOnlyReading,   //!< plain ASCII, or valid in this encoding only
    ebPlausibility,  //!< valid as UTF-8 and as GB18030; this reading is the likelier text
};

struct TEncodingGuess {
    TTextEncoding Encoding = teUtf8;
    TEncodingBasis Basis = ebOnlyReading;
    bool ByteOrderMark = false;
    //! With ebPlausibility: the encoding that lost, and a few of the file's
    //! words in each reading ("医药" and "ҽҩ"), for the user to judge.
    TTextEncoding Other = teUtf8;
    QString Sample;
    QString OtherSample;
};

//! Finds the encoding as DetectEncoding does and says on what grounds.
//! Raises EImportError as DetectEncoding does.
TEncodingGuess GuessEncoding(const QByteArray &data);

//! What the user should hear of a guess made by judging the text (with
//! both readings), or "" for one the bytes settled.
QString EncodingGuessNote(const TEncodingGuess &guess);

//! How unlikely a text is as lines of a Chinese household ledger.
struct TTextJudgement {
    //! About 0 per character for ASCII, common hanzi and Chinese
    //! punctuation, up to 1 for a character such text does not hold.
    double Cost = 0;
    //! Characters such text does not hold at all (Cyrillic, Armenian, C1
    //! controls, private use, a stray Latin-1 sign), costing 0.5 or more.
    int Strange = 0;
};
TTextJudgement JudgeText(const QString &text);

} // namespace kestrum::exchange
