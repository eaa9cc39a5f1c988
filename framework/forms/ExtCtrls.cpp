#include "framework/forms/ExtCtrls.h"

#include <algorithm>

#include "framework/com/WinText.h"
#include "framework/forms/UtilWindow.h"

namespace forms {

// ---- TPanel ------------------------------------------------------------------------

TPanel::TPanel(TComponent* owner) : TCustomControl(owner) {
    m_width = 185;
    m_height = 41;
    m_parentColor = true;
}

void TPanel::CreateParams(TCreateParams& p) {
    TCustomControl::CreateParams(p);
    p.style |= WS_CLIPCHILDREN;
    p.exStyle |= WS_EX_CONTROLPARENT;
    p.classStyle |= CS_HREDRAW | CS_VREDRAW;
}

void TPanel::SetBevelOuter(TBevelCut cut) {
    m_bevelOuter = cut;
    Invalidate();
}

void TPanel::SetBevelInner(TBevelCut cut) {
    m_bevelInner = cut;
    Invalidate();
}

void TPanel::Paint(TCanvas& canvas) {
    RECT r = ClientRect();
    const HDC dc = canvas.Handle();
    auto edge = [&](TBevelCut cut) {
        if (cut == TBevelCut::bvNone) return;
        DrawEdge(dc, &r, cut == TBevelCut::bvRaised ? BDR_RAISEDINNER : BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
    };
    edge(m_bevelOuter);
    edge(m_bevelInner);
    const String text = GetText();
    if (text.empty()) return;
    canvas.Brush().SetStyle(TBrushStyle::bsClear);
    canvas.Font().SetColor(Enabled() ? m_font.Color() : clGrayText);
    canvas.Select();
    DrawTextW(dc, com::W(text), static_cast<int>(text.size()), &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

// ---- TBevel ------------------------------------------------------------------------

TBevel::TBevel(TComponent* owner) : TGraphicControl(owner) {
    m_width = 50;
    m_height = 50;
}

void TBevel::SetShape(TBevelShape shape) {
    m_shape = shape;
    Invalidate();
}

void TBevel::SetStyle(TBevelStyle style) {
    m_style = style;
    Invalidate();
}

void TBevel::Paint(TCanvas& canvas) {
    const HDC dc = canvas.Handle();
    RECT r{0, 0, m_width, m_height};
    const UINT edge = m_style == TBevelStyle::bsLowered ? EDGE_ETCHED : EDGE_BUMP;
    const UINT thin = m_style == TBevelStyle::bsLowered ? BDR_SUNKENOUTER : BDR_RAISEDINNER;
    switch (m_shape) {
    case TBevelShape::bsBox: DrawEdge(dc, &r, thin, BF_RECT); break;
    case TBevelShape::bsFrame: DrawEdge(dc, &r, edge, BF_RECT); break;
    case TBevelShape::bsTopLine: DrawEdge(dc, &r, edge, BF_TOP); break;
    case TBevelShape::bsBottomLine: DrawEdge(dc, &r, edge, BF_BOTTOM); break;
    case TBevelShape::bsLeftLine: DrawEdge(dc, &r, edge, BF_LEFT); break;
    case TBevelShape::bsRightLine: DrawEdge(dc, &r, edge, BF_RIGHT); break;
    case TBevelShape::bsSpacer: break;
    }
}

// ---- TSplitter ---------------------------------------------------------------------

TSplitter::TSplitter(TComponent* owner) : TGraphicControl(owner) {
    m_width = 3;
    m_height = 100;
    m_parentColor = true;
    SetAlign(TAlign::alLeft);
    SetCursor(crHSplit);
}

bool TSplitter::Horizontal() const { return Align() == TAlign::alTop || Align() == TAlign::alBottom; }

TControl* TSplitter::FindControl() const {
    TWinControl* parent = Parent();
    if (!parent) return nullptr;
    for (int i = 0; i < parent->ControlCount(); ++i) {
        TControl* c = parent->Controls(i);
        if (c == this || !c->Visible() || c->Align() != Align()) continue;
        bool touches = false;
        switch (Align()) {
        case TAlign::alLeft: touches = c->Left() + c->Width() == Left(); break;
        case TAlign::alRight: touches = c->Left() == Left() + Width(); break;
        case TAlign::alTop: touches = c->Top() + c->Height() == Top(); break;
        case TAlign::alBottom: touches = c->Top() == Top() + Height(); break;
        default: break;
        }
        if (touches) return c;
    }
    return nullptr;
}

void TSplitter::Paint(TCanvas& canvas) {
    canvas.Brush().SetColor(m_color);
    canvas.FillRect(RECT{0, 0, m_width, m_height});
}

void TSplitter::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    if (button == TMouseButton::mbLeft) {
        m_dragging = true;
        m_downAt = ClientToScreen(POINT{x, y});
    }
    TGraphicControl::MouseDown(button, shift, x, y);
}

void TSplitter::MouseMove(TShiftState shift, int x, int y) {
    if (m_dragging) {
        const POINT now = ClientToScreen(POINT{x, y});
        const int delta = Horizontal() ? now.y - m_downAt.y : now.x - m_downAt.x;
        if (delta != 0) {
            MoveBy(delta);
            m_downAt = now;
        }
    }
    TGraphicControl::MouseMove(shift, x, y);
}

void TSplitter::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    if (m_dragging && button == TMouseButton::mbLeft) {
        m_dragging = false;
        if (OnMoved) OnMoved(this);
    }
    TGraphicControl::MouseUp(button, shift, x, y);
}

void TSplitter::MoveBy(int delta) {
    TControl* c = FindControl();
    TWinControl* parent = Parent();
    if (!c || !parent) return;
    const bool growsWithDelta = Align() == TAlign::alLeft || Align() == TAlign::alTop;
    const int current = Horizontal() ? c->Height() : c->Width();
    const int room = Horizontal() ? parent->ClientHeight() : parent->ClientWidth();
    int size = current + (growsWithDelta ? delta : -delta);
    size = std::max(m_minSize, std::min(size, room - m_minSize - (Horizontal() ? Height() : Width())));
    if (size == current) return;
    if (Horizontal()) c->SetHeight(size);
    else c->SetWidth(size);
    parent->Realign();
}

// ---- TTimer ------------------------------------------------------------------------

TTimer::TTimer(TComponent* owner) : TComponent(owner) {
    m_window = AllocateHWnd([this](TMessage& m) {
        if (m.Msg != WM_TIMER) return false;
        if (m_armed && OnTimer) OnTimer(this);
        return true;
    });
    Update();
}

TTimer::~TTimer() {
    if (m_armed) KillTimer(m_window, 1);
    DeallocateHWnd(m_window);
}

void TTimer::SetEnabled(bool on) {
    if (on == m_enabled) return;
    m_enabled = on;
    Update();
}

void TTimer::SetInterval(UINT ms) {
    if (ms == m_interval) return;
    m_interval = ms;
    Update();
}

void TTimer::Update() {
    if (m_armed) KillTimer(m_window, 1);
    m_armed = false;
    if (m_enabled && m_interval > 0) m_armed = SetTimer(m_window, 1, m_interval, nullptr) != 0;
}

}  // namespace forms
