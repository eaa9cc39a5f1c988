// Where a glyph button puts its picture and its caption: the layout shared
// by the speed button and by anything that draws one in its place (the
// skin engine). No platform headers: tested natively.
#pragma once

namespace forms {

enum class TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };

struct TLayoutSize {
    int cx = 0;
    int cy = 0;
};

struct TGlyphButtonLayout {
    int glyphLeft = 0, glyphTop = 0;
    int textLeft = 0, textTop = 0, textRight = 0, textBottom = 0;
};

// client: the button's client size; glyph: one image of the glyph strip
// (0 by 0 without a glyph); text: the caption's extent (0 by 0 without
// one). margin -1 centres the pair; spacing -1 spreads it.
TGlyphButtonLayout LayoutGlyphButton(TLayoutSize client, TLayoutSize glyph, TLayoutSize text, TButtonLayout layout,
                                     int margin, int spacing);

}  // namespace forms
