#pragma once
// Captions mark their keyboard accelerator with "&" ("&&" is a literal ampersand).
#include <QChar>
#include <QString>

namespace kestrum {

//! The character after a single "&" in a caption; a null QChar when there is none.
QChar AcceleratorChar(const QString &caption);
//! The caption as shown: "&&" becomes "&" and the marking "&" disappears.
QString StripAccelerator(const QString &caption);
//! True when ch is the caption's accelerator, ignoring case.
bool IsAccelerator(QChar ch, const QString &caption);

} // namespace kestrum
