#pragma once
// The built-in glyphs of the fifteen navigator buttons, 12 x 11 pixels each,
// drawn once into an image list that every navigator shares.
namespace kestrum {

class TImageList;

//! Image i is the glyph of button i.
const TImageList &NavigatorGlyphs();

} // namespace kestrum
