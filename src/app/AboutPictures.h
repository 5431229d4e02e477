#pragma once
// The about box's two pictures, 72 x 122 pixels each, drawn in code: a home
// under its roof, and a ledger book with a stack of coins.
#include <QPixmap>

namespace kestrum {

QPixmap HomePicture();
QPixmap LedgerPicture();

} // namespace kestrum
