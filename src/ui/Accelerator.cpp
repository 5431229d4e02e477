#include "ui/Accelerator.h"

namespace kestrum {

QChar AcceleratorChar(const QString &caption)
{
    for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != u'&')
            continue;
        if (caption[i + 1] != u'&')
            return caption[i + 1];
        ++i; // "&&" is a literal ampersand, not a marker
    }
    return {};
}

QString StripAccelerator(const QString &caption)
{
    QString shown;
    shown.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == u'&') {
            if (i + 1 < caption.size() && caption[i + 1] == u'&')
                ++i;
            else
                continue;
        }
        shown += caption[i];
    }
    return shown;
}

bool IsAccelerator(QChar ch, const QString &caption)
{
    const QChar accelerator = AcceleratorChar(caption);
    return !accelerator.isNull() && !ch.isNull() && accelerator.toUpper() == ch.toUpper();
}

} // namespace kestrum
