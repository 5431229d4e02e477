#include "ui/Fonts.h"

#include <QStringList>

namespace kestrum {

namespace {

QStringList chineseFamilies()
{
    // "AR PL UMing CN" carries hand-tuned bitmaps for 12 and 13 pixels, which keeps
    // small captions crisp; Noto Serif CJK SC is the outline fallback.
    return {QStringLiteral("AR PL UMing CN"), QStringLiteral("Noto Serif CJK SC"),
            QStringLiteral("Noto Sans CJK SC")};
}

QStringList substitutesFor(const QString &family)
{
    if (family == MsSansSerifFamily())
        return QStringList{QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans")} +
               chineseFamilies();
    return chineseFamilies();
}

} // namespace

QString SongTiFamily()
{
    return QString::fromUtf8("宋体");
}

void RegisterFontSubstitutions()
{
    for (const QString &family : {SongTiFamily(), QStringLiteral("SimSun"), MsSansSerifFamily()}) {
        QFont::removeSubstitutions(family);
        QFont::insertSubstitutions(family, substitutesFor(family));
    }
}

QFont DesignFont(const QString &family, int pixelHeight, bool bold)
{
    QFont font;
    font.setFamilies(QStringList{family} + substitutesFor(family));
    font.setPixelSize(pixelHeight);
    font.setBold(bold);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    return font;
}

} // namespace kestrum
