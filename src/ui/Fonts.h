#pragma once
// The windows are designed with the Chinese "宋体" at fixed pixel heights on a
// 96-dpi screen. That family does not exist here, so start-up registers
// substitutes and every designed font is built with a pixel size.
#include <QFont>
#include <QString>

namespace kestrum {

//! "宋体", the family the windows are designed with.
QString SongTiFamily();
//! "MS Sans Serif", used by a few Latin captions.
inline QString MsSansSerifFamily()
{
    return QStringLiteral("MS Sans Serif");
}

//! Maps the designed families onto installed fonts: "宋体" (and "SimSun") to
//! "AR PL UMing CN", then "Noto Serif CJK SC"; "MS Sans Serif" to a Latin sans
//! serif followed by the same Chinese fonts. Safe to call more than once.
void RegisterFontSubstitutions();

//! A designed font: `family` at `pixelHeight` pixels (not points), with the
//! simplified-Chinese families named after it so that glyph fallback never
//! lands on Japanese or traditional forms.
QFont DesignFont(const QString &family, int pixelHeight, bool bold = false);

} // namespace kestrum
