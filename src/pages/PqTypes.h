#pragma once
// Enumerations of the page control and the group box.

namespace kestrum {

enum TPqTabStyle { tsSingleSlant, tsDoubleSlant, tsCutCorner, tsRoundCorners };
//! Left and right orientations are laid out like top tabs (they are never used here).
enum TPqTabOrientation { toTop, toLeft, toBottom, toRight };
enum TPqTabSequence { tsStandard, tsReverse };
enum TPqImagePosition { ipLeft, ipTop, ipRight, ipBottom, ipBack, ipStretch };
enum TPqHorizontalAlignment { haLeft, haCenter, haRight };
enum class TPqVerticalAlignment { vaTop, vaCenter, vaBottom };
enum TPqTextOrientation { orHorizontal, orVertical };
enum TPqHotTrackStyle { htsTab, htsText };
enum TPqHotTrackColorType { htctComplement, htctActual };
//! Which caption colour OnGetTextColor is asked for; a disabled caption is drawn
//! twice, highlight first and shadow on top.
enum TPqTextColorStyle { tcsSelected, tcsUnselected, tcsHot, tcsDisabledHighlight, tcsDisabledShadow };

enum TPqGroupStyle { gsFlat, gsStandard, gsCustom, gsTopLine };
enum TPqFrameStyle { fsNone, fsFlat, fsFlatBold, fsLowered, fsRaised, fsGroove, fsBump };
// Scoped: the record-set layer has its own field alignment with the same names.
enum class TPqCaptionAlignment { taLeftJustify, taRightJustify, taCenter };

} // namespace kestrum
