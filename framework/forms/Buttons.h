// The speed button: a windowless button drawn by its parent, with a glyph
// strip of up to four images (up, disabled, pressed, down) and a caption
// placed by the glyph-button layout.
#pragma once

#include <windows.h>

#include "framework/forms/ButtonLayout.h"
#include "framework/forms/Controls.h"

namespace forms {

class TSpeedButton : public TGraphicControl {
public:
    FORMS_CLASS(TSpeedButton)
    explicit TSpeedButton(TComponent* owner);

    // The glyph strip; its bottom-left pixel's colour is drawn transparent.
    TBitmap& Glyph() { return m_glyph; }
    void SetGlyph(const TBitmap& glyph);
    int NumGlyphs() const { return m_numGlyphs; }
    void SetNumGlyphs(int count);  // 1 to 4
    TButtonLayout Layout() const { return m_layout; }
    void SetLayout(TButtonLayout layout);
    int Margin() const { return m_margin; }
    void SetMargin(int margin);  // -1: centred
    int Spacing() const { return m_spacing; }
    void SetSpacing(int spacing);  // -1: spread
    bool Flat() const { return m_flat; }
    void SetFlat(bool on);
    // A button that stays pressed until Down is cleared.
    bool Down() const { return m_down; }
    void SetDown(bool on);
    // Pressed by the mouse right now.
    bool Pressed() const { return m_pressed; }

    // One image of the strip, its size and the caption's, laid out on the
    // button's client area.
    TGlyphButtonLayout GlyphLayout(TCanvas& canvas);
    void Paint(TCanvas& canvas) override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;

protected:
    void WndProc(TMessage& message) override;

private:
    // Which image of the strip the current state shows.
    int ImageIndex() const;
    TBitmap m_glyph;
    int m_numGlyphs = 1;
    TButtonLayout m_layout = TButtonLayout::blGlyphLeft;
    int m_margin = -1;
    int m_spacing = 4;
    bool m_flat = false;
    bool m_down = false;
    bool m_pressed = false;
    bool m_hot = false;
    bool m_tracking = false;
};

}  // namespace forms
