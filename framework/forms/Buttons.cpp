#include "framework/forms/Buttons.h"

#include <algorithm>

#include "framework/com/WinText.h"

namespace forms {

TSpeedButton::TSpeedButton(TComponent* owner) : TGraphicControl(owner) {
    m_width = 23;
    m_height = 22;
}

void TSpeedButton::SetGlyph(const TBitmap& glyph) {
    m_glyph.Assign(glyph);
    Invalidate();
}

void TSpeedButton::SetNumGlyphs(int count) {
    m_numGlyphs = std::max(1, std::min(4, count));
    Invalidate();
}

void TSpeedButton::SetLayout(TButtonLayout layout) {
    m_layout = layout;
    Invalidate();
}

void TSpeedButton::SetMargin(int margin) {
    m_margin = std::max(-1, margin);
    Invalidate();
}

void TSpeedButton::SetSpacing(int spacing) {
    m_spacing = std::max(-1, spacing);
    Invalidate();
}

void TSpeedButton::SetFlat(bool on) {
    m_flat = on;
    Invalidate();
}

void TSpeedButton::SetDown(bool on) {
    if (on == m_down) return;
    m_down = on;
    Invalidate();
}

int TSpeedButton::ImageIndex() const {
    // The strip holds, in order: up, disabled, pressed, down. A state whose
    // image the strip lacks shows the first one.
    int index = 0;
    if (!m_enabled) index = 1;
    else if (m_pressed) index = 2;
    else if (m_down) index = 3;
    return index < m_numGlyphs ? index : 0;
}

TGlyphButtonLayout TSpeedButton::GlyphLayout(TCanvas& canvas) {
    TLayoutSize glyph;
    if (!m_glyph.Empty()) glyph = TLayoutSize{m_glyph.Width() / m_numGlyphs, m_glyph.Height()};
    TLayoutSize text;
    if (!m_text.empty()) {
        canvas.Select();
        RECT r{0, 0, m_width, 0};
        DrawTextW(canvas.Handle(), com::W(m_text), static_cast<int>(m_text.size()), &r, DT_CALCRECT | DT_SINGLELINE);
        text = TLayoutSize{static_cast<int>(r.right - r.left), static_cast<int>(r.bottom - r.top)};
    }
    return LayoutGlyphButton(TLayoutSize{m_width, m_height}, glyph, text, m_layout, m_margin, m_spacing);
}

void TSpeedButton::Paint(TCanvas& canvas) {
    RECT r{0, 0, m_width, m_height};
    canvas.Brush().SetColor(m_color);
    canvas.FillRect(r);
    const HDC dc = canvas.Handle();
    const bool sunken = m_pressed || m_down;
    if (!m_flat) DrawFrameControl(dc, &r, DFC_BUTTON, DFCS_BUTTONPUSH | (sunken ? DFCS_PUSHED : 0));
    else if (sunken || (m_hot && m_enabled)) DrawEdge(dc, &r, sunken ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);

    const TGlyphButtonLayout at = GlyphLayout(canvas);
    const int shift = sunken ? 1 : 0;
    if (!m_glyph.Empty()) {
        const int w = m_glyph.Width() / m_numGlyphs, h = m_glyph.Height();
        GdiTransparentBlt(dc, at.glyphLeft + shift, at.glyphTop + shift, w, h, m_glyph.Canvas().Handle(),
                          ImageIndex() * w, 0, w, h, ColorToRGB(m_glyph.TransparentColor()));
    }
    if (!m_text.empty()) {
        canvas.Brush().SetStyle(TBrushStyle::bsClear);
        canvas.Font().SetColor(m_enabled ? m_font.Color() : clGrayText);
        canvas.Select();
        RECT t{at.textLeft + shift, at.textTop + shift, at.textRight + shift, at.textBottom + shift};
        DrawTextW(dc, com::W(m_text), static_cast<int>(m_text.size()), &t, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
}

void TSpeedButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    if (button == TMouseButton::mbLeft && m_enabled) {
        m_tracking = true;
        m_pressed = true;
        Invalidate();
    }
    TGraphicControl::MouseDown(button, shift, x, y);
}

void TSpeedButton::MouseMove(TShiftState shift, int x, int y) {
    if (m_tracking) {
        // Pressed only while the pointer stays on the button.
        const bool inside = x >= 0 && y >= 0 && x < m_width && y < m_height;
        if (inside != m_pressed) {
            m_pressed = inside;
            Invalidate();
        }
    }
    TGraphicControl::MouseMove(shift, x, y);
}

void TSpeedButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    if (button == TMouseButton::mbLeft && m_tracking) {
        m_tracking = false;
        m_pressed = false;
        Invalidate();
    }
    TGraphicControl::MouseUp(button, shift, x, y);
}

void TSpeedButton::WndProc(TMessage& m) {
    switch (m.Msg) {
    case CM_MOUSEENTER:
    case CM_MOUSELEAVE:
        m_hot = m.Msg == CM_MOUSEENTER;
        if (m_flat) Invalidate();
        break;
    case CM_ENABLEDCHANGED:
        if (!m_enabled) m_tracking = m_pressed = false;
        break;
    default:
        break;
    }
    TGraphicControl::WndProc(m);
}

}  // namespace forms
