#pragma once
// Which of a record's texts becomes the item and which go to the remark, the
// same for every format that names a category, a payee and a memo (QIF, a
// CSV with a category column): by default the category, so that statistics
// by item show what the money went to, whichever file brought it in.
#include <QStringList>

#include <cstdint>
#include <string>
#include <string_view>

namespace kestrum {

//! Which field of a record gives the item.
enum TQifItemSource : std::uint8_t {
    qiCategory, //!< the category (QIF: L, without the class after "/")
    qiPayee,    //!< the payee or counterparty (QIF: P)
    qiMemo,     //!< the memo or comment (QIF: M)
};

//! The longest item the ledger's column takes, in characters.
constexpr int QifItemLimit = 50;

namespace exchange {

//! How a record's item came about, for the reader's notes.
struct TItemArrangement {
    bool FellBack = false;  //!< the chosen field was empty: another one gave the item
    bool Shortened = false; //!< longer than QifItemLimit: cut, and whole in the remark
};

//! Sets the item from the chosen field (else the category or the payee,
//! whichever the record has; the memo only when chosen, so that a record with
//! nothing else keeps its memo as the remark) and the remark from the
//! remaining fields in the order payee, memo, category, "；" between them, so
//! that none is lost. `fields` is indexed by TQifItemSource.
TItemArrangement ArrangeItem(const std::string_view (&fields)[3], TQifItemSource source, std::string &item,
                             std::string &remark);

//! An item cut to QifItemLimit characters: a category path keeps its most
//! specific parts ("…:Groceries:Organic"), other text its beginning ("Lorem…").
std::string ShortenedItem(std::string_view item);

//! What the user should hear of items: records without the chosen field
//! (pass 0 for a file that has no such field at all) and items shortened.
QStringList ItemNotes(TQifItemSource source, int fallbacks, int shortened);

} // namespace exchange
} // namespace kestrum
