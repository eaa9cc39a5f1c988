#include "framework/forms/ButtonLayout.h"

namespace forms {

TGlyphButtonLayout LayoutGlyphButton(TLayoutSize client, TLayoutSize glyph, TLayoutSize text, TButtonLayout layout,
                                     int margin, int spacing) {
    const bool across = layout == TButtonLayout::blGlyphLeft || layout == TButtonLayout::blGlyphRight;
    // Along the layout axis, and across it.
    const int clientAlong = across ? client.cx : client.cy;
    const int glyphAlong = across ? glyph.cx : glyph.cy;
    const int textAlong = across ? text.cx : text.cy;
    const int clientAcross = across ? client.cy : client.cx;
    const int glyphAcross = (clientAcross - (across ? glyph.cy : glyph.cx) + 1) / 2;
    const int textAcross = (clientAcross - (across ? text.cy : text.cx) + 1) / 2;

    if (text.cx == 0 || glyph.cx == 0) spacing = 0;
    if (margin == -1 && spacing == -1) {
        margin = (clientAlong - glyphAlong - textAlong) / 3;
        spacing = margin;
    } else if (margin == -1) {
        margin = (clientAlong - glyphAlong - spacing - textAlong) / 2;
    } else if (spacing == -1) {
        spacing = (clientAlong - margin - glyphAlong - textAlong) / 2;
    }

    int glyphAt, textAt;
    if (layout == TButtonLayout::blGlyphLeft || layout == TButtonLayout::blGlyphTop) {
        glyphAt = margin;
        textAt = glyphAt + glyphAlong + spacing;
    } else {
        glyphAt = clientAlong - margin - glyphAlong;
        textAt = glyphAt - spacing - textAlong;
    }

    TGlyphButtonLayout out;
    if (across) {
        out.glyphLeft = glyphAt;
        out.glyphTop = glyphAcross;
        out.textLeft = textAt;
        out.textTop = textAcross;
    } else {
        out.glyphLeft = glyphAcross;
        out.glyphTop = glyphAt;
        out.textLeft = textAcross;
        out.textTop = textAt;
    }
    out.textRight = out.textLeft + text.cx;
    out.textBottom = out.textTop + text.cy;
    return out;
}

}  // namespace forms
