#pragma once
// The calculator edit's character filter: which typed characters may enter
// the amount text.
#include <QChar>
#include <QString>

namespace kestrum {

//! Whether ch may be typed into text with the selection (selStart,
//! selLength) replaced by it. "," and "." come back as the system's decimal
//! separator in ch. Characters below 32 always pass.
bool CalcEditAcceptsChar(const QString &text, int selStart, int selLength, QChar &ch, int precision);

} // namespace kestrum
