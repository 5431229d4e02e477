#pragma once
// The texts the sources spell out (captions and messages in Chinese) are
// UTF-8; this turns one into a QString.
#include <QString>

namespace kestrum {

inline QString utf8(const char *text)
{
    return QString::fromUtf8(text);
}

} // namespace kestrum
