#include "skin/SkinControls.h"

#include <commctrl.h>

#include <algorithm>
#include <vector>

#include "framework/forms/ComCtrls.h"
#include "framework/forms/ExtCtrls.h"
#include "framework/forms/Forms.h"
#include "framework/forms/StdCtrls.h"
#include "framework/forms/SysUtils.h"
#include "skin/SkinData.h"
#include "skin/SkinForm.h"
#include "skin/SkinImage.h"

namespace skin {

namespace {

static_assert(xcToolbar == 2 && xcCombo == 4 && xcScrollbar == 8 && xcButton == 10 && xcPanel == 13 &&
                  xcStatusBar == 15 && xcTab == 16,
              "the choice rules count the SkinControls members by place");

const SkinElements& Elems(const TSkinData* skin) { return skin->Elements(); }

COLORREF Rgb(SkinColour c) { return forms::ColorToRGB(static_cast<forms::TColor>(c)); }

SkinMargins MarginsOf(const TDataSkinObject& e) { return {e.LeftWidth, e.TopHeight, e.RightWidth, e.BottomHeight}; }

// The element's bitmap as a framework bitmap; null when there is none.
forms::TBitmap* PictureOf(TSkinData* skin, const TDataSkinObject* element) {
    if (!skin || !element || element->Bitmap.Empty()) return nullptr;
    return skin->Picture(element->Bitmap);
}

forms::TBitmap* PictureOf(TSkinData* skin, const SkinPixels& pixels) {
    if (!skin || pixels.Empty()) return nullptr;
    return skin->Picture(pixels);
}

// Frame frameIndex of the element drawn nine-piece into rect.
void DrawElementFrame(HDC dc, const RECT& rect, int frameCount, int frameIndex, const TDataSkinObject& element,
                      forms::TBitmap& picture) {
    if (rect.right <= rect.left || rect.bottom <= rect.top) return;
    DrawSkinFrame(dc, rect, picture, MarginsOf(element), false, element.Tile != 0, element.Trans == 1,
                  SafeFrameCount(frameCount), frameIndex);
}

// A memory DC with a bitmap compatible with the target.
struct Buffer {
    Buffer(HDC target, int width, int height)
        : dc(CreateCompatibleDC(target)),
          bitmap(CreateCompatibleBitmap(target, std::max(1, width), std::max(1, height))),
          old(SelectObject(dc, bitmap)) {}
    ~Buffer() {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    Buffer(const Buffer&) = delete;
    Buffer& operator=(const Buffer&) = delete;
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ old;
};

void FrameWith(HDC dc, const RECT& rect, COLORREF colour) {
    HBRUSH brush = CreateSolidBrush(colour);
    FrameRect(dc, &rect, brush);
    DeleteObject(brush);
}

// The caption centred vertically (one pixel up) and, with DT_CENTER, across.
void DrawCaption(HDC dc, const RECT& rect, UINT align, bool enabled, const forms::String& text) {
    SetBkMode(dc, TRANSPARENT);
    RECT measured = rect;
    DrawTextW(dc, reinterpret_cast<LPCWSTR>(text.c_str()), static_cast<int>(text.size()), &measured,
              align | DT_CALCRECT | DT_NOCLIP);
    const int w = measured.right - measured.left, h = measured.bottom - measured.top;
    RECT at = rect;
    if (align & DT_CENTER) {
        at.left = rect.left + (rect.right - rect.left - w) / 2;
        at.right = at.left + w;
    }
    at.top = rect.top + (rect.bottom - rect.top - h) / 2 - 1;
    at.bottom = at.top + h;
    if (!enabled) SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    DrawTextW(dc, reinterpret_cast<LPCWSTR>(text.c_str()), static_cast<int>(text.size()), &at, align);
}

// An image of the list and a text, side by side, placed by align (0 left,
// 1 centred, 2 right) and centred vertically.
void DrawImageAndText(HDC dc, const RECT& rect, int align, const forms::String& text, int image, HIMAGELIST list,
                      bool enabled) {
    int iw = 0, ih = 0;
    if (image != -1 && list) ImageList_GetIconSize(list, &iw, &ih);
    constexpr UINT flags = DT_CENTER | DT_SINGLELINE | DT_EXPANDTABS;
    RECT measured{0, 0, 0, 0};
    DrawTextW(dc, reinterpret_cast<LPCWSTR>(text.c_str()), static_cast<int>(text.size()), &measured,
              flags | DT_CALCRECT | DT_NOCLIP);
    const int tw = measured.right - measured.left, th = measured.bottom - measured.top;
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    const int x = align == 1 ? (width - iw - tw) / 2 : align == 2 ? width - iw - tw - 2 : 2;
    if (iw > 0) ImageList_Draw(list, image, dc, rect.left + x, rect.top + (height - ih) / 2, ILD_TRANSPARENT);
    SetBkMode(dc, TRANSPARENT);
    if (!enabled) SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    RECT at{rect.left + x + iw + 1, rect.top + (height - th) / 2, rect.left + x + iw + 1 + tw,
            rect.top + (height - th) / 2 + th};
    DrawTextW(dc, reinterpret_cast<LPCWSTR>(text.c_str()), static_cast<int>(text.size()), &at, flags);
}

// A text colour of an element: its own when given, else the button text.
COLORREF TextColour(const TSkinData* skin, int own) {
    return own != -1 ? forms::ColorToRGB(own) : Rgb(Elems(skin).ButtonTextColour);
}

HFONT WindowFont(HWND window) {
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
    return font ? font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

DWORD StyleOf(HWND window) { return static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)); }

RECT ToRect(const SkinRect& r) { return RECT{r.left, r.top, r.right, r.bottom}; }

// Background erasing answered, WM_PAINT painted by the skinner alone: true
// when the message was one of them.
bool PaintsItself(TSkinControl& skinner, forms::TMessage& m) {
    if (m.Msg == WM_ERASEBKGND) {
        m.Result = 1;
        return true;
    }
    if (m.Msg == WM_PAINT) {
        skinner.PaintMessage(m);
        return true;
    }
    return false;
}

}  // namespace

// ---- Push buttons --------------------------------------------------------------------

bool TSkinButton::BeforeMessage(forms::TMessage& m) {
    switch (m.Msg) {
    case WM_PAINT:
        if (!PictureOf(m_skinData, Elems(m_skinData).Buttons.get())) return true;
        PaintMessage(m);
        return false;
    case WM_ERASEBKGND:
        m.Result = 1;
        return false;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (!Focused) SetFocus(m_handle);
        ShowPressed(true);
        return false;
    default:
        return true;
    }
}

bool TSkinButton::TakeHot(TSkinForm* form) {
    if (!form || form->HotControl == this) return false;
    // The button the mouse came from loses its hot frame at once.
    if (TSkinControl* other = form->HotControl) {
        form->HotControl = nullptr;
        other->SendMouseLeave();
    }
    Redraw();
    form->HotControl = this;
    return true;
}

void TSkinButton::AfterMessage(forms::TMessage& m) {
    TSkinForm* form = FormSkinner();
    switch (m.Msg) {
    case WM_KEYDOWN:
    case WM_KEYUP:
        if (m.WParam == VK_SPACE) {
            if (m.Msg == WM_KEYDOWN) State |= kPressed;
            else State &= ~kPressed;
            Redraw();
        }
        break;
    case WM_MOUSEMOVE:
        if (State & kHot) break;
        State |= kHot;
        TakeHot(form);
        break;
    case WM_LBUTTONUP: {
        if (!(State & kPressed)) break;
        State &= ~kPressed;
        Redraw();
        // Last: the click may close the window and free this skinner.
        if (m_control) {
            m_control->Click();
        } else {
            HWND parent = GetParent(m_handle);
            PostMessageW(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(m_handle), BN_CLICKED),
                         reinterpret_cast<LPARAM>(m_handle));
        }
        break;
    }
    case forms::CM_MOUSEENTER:
        if (!Enabled) break;
        State |= kHot;
        if (!TakeHot(form)) Redraw();
        break;
    case forms::CM_MOUSELEAVE:
        if (!Enabled) break;
        State &= ~(kHot | kPressed);
        Redraw();
        if (form && form->HotControl == this) form->HotControl = nullptr;
        break;
    default:
        TSkinControl::AfterMessage(m);
        break;
    }
}

void TSkinButton::PaintTo(HDC dc, const RECT& rect) {
    const TDataSkinButton* element = Elems(m_skinData).Buttons.get();
    forms::TBitmap* picture = PictureOf(m_skinData, element);
    if (!picture) return;
    Focused = GetFocus() == m_handle;
    Enabled = !(StyleOf(m_handle) & WS_DISABLED);
    Caption = TSkinForm::GetWindowTextOf(m_handle);
    if (Caption.empty() && m_control) Caption = m_control->GetText();
    const int frame = PushButtonFrame(State & kPressed, Focused, State & kHot, !Enabled);
    const int w = rect.right - rect.left, h = rect.bottom - rect.top;
    Buffer b(dc, w, h);
    const RECT at{0, 0, w, h};
    FillFace(b.dc, at);
    DrawElementFrame(b.dc, at, 5, frame, *element, *picture);
    HGDIOBJ oldFont = SelectObject(b.dc, WindowFont(m_handle));
    int own = -1;
    if (frame == 1) own = element->NormalColour;
    else if (frame == 4) own = element->MouseOverColour;
    else if (frame == 2) own = element->PressedColour;
    SetTextColor(b.dc, TextColour(m_skinData, own));
    DrawCaption(b.dc, at, DT_CENTER, Enabled, Caption);
    BitBlt(dc, rect.left, rect.top, w, h, b.dc, 0, 0, SRCCOPY);
    SelectObject(b.dc, oldFont);
}

// ---- Speed buttons -----------------------------------------------------------------------

void TSkinSpeedButton::AttachGraphic(forms::TSpeedButton* button, TSkinData* skin, forms::TCanvas* canvas) {
    if (m_attached || !button) return;
    m_skinData = skin;
    m_canvas = canvas;
    m_control = button;
    GraphicControl = button;
    HookControl(button);
    Register();
    // The form skinner frees this skinner with the button.
    if (TSkinForm* form = FormSkinner()) button->FreeNotification(form);
    Enabled = button->Enabled();
    Caption = button->Caption();
    m_attached = true;
    button->Invalidate();
}

void TSkinSpeedButton::Detach() {
    forms::TControl* button = m_attached ? GraphicControl : nullptr;
    const bool going = button && (button->ComponentState() & forms::csDestroying);
    TSkinControl::Detach();
    // The button's own drawing comes back.
    if (button && !going) button->Invalidate();
}

bool TSkinSpeedButton::BeforeMessage(forms::TMessage& m) {
    switch (m.Msg) {
    case WM_PAINT:
        // The parent's DC, its origin at the button's top left.
        if (!m.WParam || !GraphicControl || !PictureOf(m_skinData, Elems(m_skinData).Buttons.get())) return true;
        PaintTo(reinterpret_cast<HDC>(m.WParam), RECT{0, 0, GraphicControl->Width(), GraphicControl->Height()});
        m.Result = 1;
        return false;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        // The button's own press logic runs (it raises the click on release).
        CallOriginal(m);
        ShowPressed(true);
        return false;
    default:
        return TSkinButton::BeforeMessage(m);
    }
}

void TSkinSpeedButton::AfterMessage(forms::TMessage& m) {
    switch (m.Msg) {
    case WM_LBUTTONUP:
        ShowPressed(false);
        break;
    case forms::CM_MOUSEENTER:
        State |= kHot;
        PaintWindow(nullptr);
        break;
    case forms::CM_MOUSELEAVE: {
        State &= ~(kHot | kPressed);
        if (GraphicControl && GraphicControl->Showing()) PaintWindow(nullptr);
        TSkinForm* form = FormSkinner();
        if (form && form->HotControl == this) form->HotControl = nullptr;
        break;
    }
    case forms::CM_RELEASE:
        Detach();
        break;
    default:
        TSkinButton::AfterMessage(m);
        break;
    }
}

void TSkinSpeedButton::PaintWindow(HDC dc) {
    forms::TControl* button = GraphicControl;
    if (!button || !m_attached) return;
    const RECT client{0, 0, button->Width(), button->Height()};
    if (dc) {
        PaintTo(dc, client);
        return;
    }
    forms::TWinControl* parent = button->Parent();
    if (!button->Showing() || !parent || !parent->HandleAllocated()) return;
    const HWND window = parent->Handle();
    HDC own = GetDC(window);
    if (!own) return;
    const int saved = SaveDC(own);
    const RECT b = button->BoundsRect();
    IntersectClipRect(own, b.left, b.top, b.right, b.bottom);
    SetWindowOrgEx(own, -b.left, -b.top, nullptr);
    try {
        PaintTo(own, client);
    } catch (...) {
        // A failed paint leaves the button as it was.
    }
    RestoreDC(own, saved);
    ReleaseDC(window, own);
}

void TSkinSpeedButton::PaintTo(HDC dc, const RECT& rect) {
    auto* button = dynamic_cast<forms::TSpeedButton*>(GraphicControl);
    const TDataSkinButton* element = Elems(m_skinData).Buttons.get();
    forms::TBitmap* picture = PictureOf(m_skinData, element);
    const int w = rect.right - rect.left, h = rect.bottom - rect.top;
    if (!button || !picture || w <= 0 || h <= 0) return;
    Enabled = button->Enabled();
    Caption = button->Caption();
    const SpeedButtonLook look =
        SpeedButtonState(State & kPressed, State & kHot, !Enabled, button->Down(), button->NumGlyphs());
    Buffer b(dc, w, h);
    const RECT at{0, 0, w, h};
    FillFace(b.dc, at);
    DrawElementFrame(b.dc, at, element->FrameCount, look.frame, *element, *picture);
    HGDIOBJ oldFont = SelectObject(b.dc, button->Font().Handle());
    int own = -1;
    if (look.frame == 1) own = element->NormalColour;
    else if (look.frame == 4) own = element->MouseOverColour;
    else if (look.frame == 2) own = element->PressedColour;
    SetTextColor(b.dc, Enabled ? TextColour(m_skinData, own) : GetSysColor(COLOR_GRAYTEXT));
    forms::TBitmap& glyph = button->Glyph();
    if (glyph.Empty()) {
        DrawCaption(b.dc, at, DT_CENTER, Enabled, Caption);
    } else {
        const int count = std::max(1, button->NumGlyphs());
        const forms::TLayoutSize glyphSize{glyph.Width() / count, glyph.Height()};
        forms::TLayoutSize textSize;
        const LPCWSTR text = reinterpret_cast<LPCWSTR>(Caption.c_str());
        if (!Caption.empty()) {
            RECT measured{0, 0, w, 0};
            DrawTextW(b.dc, text, static_cast<int>(Caption.size()), &measured, DT_CALCRECT | DT_SINGLELINE);
            textSize = forms::TLayoutSize{static_cast<int>(measured.right - measured.left),
                                          static_cast<int>(measured.bottom - measured.top)};
        }
        const forms::TGlyphButtonLayout l = SkinGlyphLayout(forms::TLayoutSize{w, h}, glyphSize, textSize,
                                                            button->Layout(), button->Margin(), button->Spacing(), true);
        GdiTransparentBlt(b.dc, l.glyphLeft, l.glyphTop, glyphSize.cx, glyphSize.cy, glyph.Canvas().Handle(),
                          (look.glyph - 1) * glyphSize.cx, 0, glyphSize.cx, glyphSize.cy,
                          forms::ColorToRGB(glyph.TransparentColor()));
        if (!Caption.empty()) {
            const forms::TButtonLayout layout = button->Layout();
            const UINT align = layout == forms::TButtonLayout::blGlyphLeft    ? DT_LEFT
                               : layout == forms::TButtonLayout::blGlyphRight ? DT_RIGHT
                                                                              : DT_CENTER;
            SetBkMode(b.dc, TRANSPARENT);
            RECT t{l.textLeft, l.textTop, l.textRight, l.textBottom};
            DrawTextW(b.dc, text, static_cast<int>(Caption.size()), &t, align | DT_SINGLELINE);
        }
    }
    BitBlt(dc, rect.left, rect.top, w, h, b.dc, 0, 0, SRCCOPY);
    SelectObject(b.dc, oldFont);
}

// ---- Check boxes and radio buttons ------------------------------------------------------

void TSkinCheckBox::AfterMessage(forms::TMessage& m) {
    switch (m.Msg) {
    case BM_SETCHECK:
    case BM_SETSTATE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case forms::CM_EXIT:
    case CM_SKIN_NOTIFY:
        Redraw();
        break;
    default:
        TSkinControl::AfterMessage(m);
        break;
    }
}

void TSkinCheckBox::PaintBox(HDC dc, const RECT& rect, bool radio) {
    const TDataSkinButton* element = Elems(m_skinData).Buttons.get();
    if (!element) return;
    forms::TBitmap* picture = PictureOf(m_skinData, radio ? element->RadioBitmap : element->CheckBitmap);
    if (!picture) return;
    const int count = SafeFrameCount(radio ? element->RadioFrameCount : element->CheckFrameCount);
    const int boxWidth = picture->Width() / count;
    const LRESULT state = SendMessageW(m_handle, radio ? BM_GETCHECK : BM_GETSTATE, 0, 0);
    bool checked = (state & BST_CHECKED) != 0;
    if (auto* box = dynamic_cast<forms::TCheckBox*>(m_control)) checked = box->Checked();
    if (auto* button = dynamic_cast<forms::TRadioButton*>(m_control)) checked = button->Checked();
    const DWORD style = StyleOf(m_handle);
    const SkinRect box = CheckBoxPlacement({rect.left, rect.top, rect.right, rect.bottom}, boxWidth,
                                           picture->Height(), (style & BS_LEFTTEXT) != 0);
    const int frame = CheckBoxFrame(checked, !radio && (state & BST_INDETERMINATE), (style & WS_DISABLED) != 0);
    const RECT r = ToRect(box);
    FillFace(dc, r);
    DrawStripFrame(dc, r, *picture, true, count, frame);
}

void TSkinCheckBox::PaintTo(HDC dc, const RECT& rect) { PaintBox(dc, rect, false); }

void TSkinRadioButton::PaintTo(HDC dc, const RECT& rect) { PaintBox(dc, rect, true); }

// ---- Boxes -------------------------------------------------------------------------------

void TSkinBox::AttachControl(forms::TWinControl* control, TSkinData* skin, bool recolour, forms::TCanvas* canvas) {
    if (m_attached || !control) return;
    m_skinData = skin;
    m_canvas = canvas;
    m_control = control;
    m_handle = control->Handle();
    Register();
    m_recolour = recolour;
    if (m_recolour) {
        m_savedColor = control->Color();
        control->SetColor(static_cast<forms::TColor>(Elems(skin).ButtonFaceColour));
    }
    m_attached = true;
}

// ---- Up-down arrows ------------------------------------------------------------------------

bool TSkinUpDown::BeforeMessage(forms::TMessage& m) {
    if (PaintsItself(*this, m)) return false;
    switch (m.Msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        CallOriginal(m);
        ShowPressed(true);
        return false;
    case WM_LBUTTONUP:
        State &= ~kPressed;
        CallOriginal(m);
        PaintWindow(nullptr);
        return false;
    default:
        return true;
    }
}

void TSkinUpDown::PaintTo(HDC dc, const RECT&) {
    RECT client{};
    GetClientRect(m_handle, &client);
    const int w = client.right, h = client.bottom;
    if (w <= 0 || h <= 0) return;
    Buffer b(dc, w, h);
    FillFace(b.dc, client);
    SkinRect area{0, 0, w, h};
    if (Inset) area = {1, 1, w - 1, h - 1};
    POINT cursor{};
    GetCursorPos(&cursor);
    ScreenToClient(m_handle, &cursor);
    const bool disabled = (StyleOf(m_handle) & WS_DISABLED) != 0;
    const bool horizontal = Horizontal || (StyleOf(m_handle) & UDS_HORZ);
    const SkinElements& e = Elems(m_skinData);
    const TDataSkinBorder* element = horizontal ? e.UpDownHorz.get() : e.UpDownVert.get();
    forms::TBitmap* picture = PictureOf(m_skinData, element);
    forms::TBitmap* glyph = element ? PictureOf(m_skinData, element->Bitmap2) : nullptr;
    const SkinHalves halves = UpDownHalves(area, horizontal);
    for (int arrow = 0; arrow < 2; ++arrow) {
        const SkinRect& half = arrow ? halves.second : halves.first;
        const int state = UpDownHalfState(half.Contains(cursor.x, cursor.y), State & kPressed, disabled);
        const RECT r = ToRect(half);
        if (picture && glyph) {
            const int count = SafeFrameCount(element->FrameCount);
            const int frame = UpDownFrame(state, arrow == 1);
            DrawStripFrame(b.dc, r, *picture, true, count, frame);
            const int gw = glyph->Width() / count, gh = glyph->Height();
            const RECT g{r.left + (half.Width() - gw) / 2, r.top + (half.Height() - gh) / 2,
                         r.left + (half.Width() - gw) / 2 + gw, r.top + (half.Height() - gh) / 2 + gh};
            DrawStripFrame(b.dc, g, *glyph, true, count, frame);
        } else {
            HBRUSH brush = CreateSolidBrush(Rgb(state == 2 || state == 4 ? e.ButtonShadowColour : e.ButtonFaceColour));
            HPEN pen = CreatePen(PS_SOLID, 1, Rgb(e.ButtonDkShadowColour));
            HGDIOBJ oldBrush = SelectObject(b.dc, brush), oldPen = SelectObject(b.dc, pen);
            Rectangle(b.dc, r.left, r.top, r.right, r.bottom);
            const int cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
            POINT tri[3];
            if (horizontal) {
                const int d = arrow ? 1 : -1;
                tri[0] = {cx - d * 2, cy - 3};
                tri[1] = {cx - d * 2, cy + 3};
                tri[2] = {cx + d * 1, cy};
            } else {
                const int d = arrow ? 1 : -1;
                tri[0] = {cx - 3, cy - d * 2 - 1};
                tri[1] = {cx + 3, cy - d * 2 - 1};
                tri[2] = {cx, cy + d - 1};
            }
            Polygon(b.dc, tri, 3);
            SelectObject(b.dc, oldBrush);
            SelectObject(b.dc, oldPen);
            DeleteObject(brush);
            DeleteObject(pen);
        }
    }
    // The client origin in window coordinates (the arrows have no frame).
    BitBlt(dc, 0, 0, w, h, b.dc, 0, 0, SRCCOPY);
}

// ---- Edits -----------------------------------------------------------------------------------

void TSkinEdit::AfterMessage(forms::TMessage& m) {
    switch (m.Msg) {
    case WM_PAINT:
        if (m.WParam == 0) PaintWindow(nullptr);
        break;
    case WM_NCPAINT:
        // Wine draws the edit's edge here too, after its last WM_PAINT.
        PaintWindow(nullptr);
        break;
    case WM_PRINT: {
        HDC dc = reinterpret_cast<HDC>(m.WParam);
        RECT w{}, c{};
        GetWindowRect(m_handle, &w);
        GetClientRect(m_handle, &c);
        const int ww = w.right - w.left, wh = w.bottom - w.top;
        if (c.right <= ww - 2 && c.bottom <= wh - 2) {
            const RECT outer{0, 0, ww, wh};
            RECT inner = outer;
            InflateRect(&inner, -1, -1);
            FrameRect(dc, &inner, static_cast<HBRUSH>(GetCurrentObject(dc, OBJ_BRUSH)));
            FrameWith(dc, outer, Rgb(Elems(m_skinData).ButtonShadowColour));
        }
        break;
    }
    default:
        TSkinControl::AfterMessage(m);
        break;
    }
}

void TSkinEdit::PaintTo(HDC dc, const RECT& rect) {
    if (!m_buddySearched) {
        m_buddySearched = true;
        for (HWND child = GetTopWindow(m_handle); child; child = GetWindow(child, GW_HWNDNEXT)) {
            const forms::String name = TSkinForm::GetClassNameOf(child);
            if (forms::SameText(name, u"msctls_updown32") || forms::SameText(name, u"TSpinButton")) {
                TSkinForm* form = FormSkinner();
                if (form && !form->FindSkinnerByHandle(child)) {
                    auto* arrows = new TSkinUpDown(form);
                    arrows->Inset = true;
                    arrows->AttachWindow(child, m_skinData, m_canvas);
                    form->AddSkinner(arrows);
                }
                break;
            }
        }
    }
    RECT c{};
    GetClientRect(m_handle, &c);
    const int ww = rect.right - rect.left, wh = rect.bottom - rect.top;
    // A borderless edit keeps its look.
    if (c.right == ww || c.bottom == wh) return;
    FrameWith(dc, rect, Rgb(Elems(m_skinData).ButtonShadowColour));
    RECT inner = rect;
    InflateRect(&inner, -1, -1);
    FrameWith(dc, inner, 0xFFFFFF);
}

// ---- Combo boxes ---------------------------------------------------------------------------

void TSkinComBox::AfterMessage(forms::TMessage& m) {
    switch (m.Msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        ShowPressed(true);
        break;
    case WM_LBUTTONUP:
        ShowPressed(false);
        break;
    case forms::CM_MOUSEENTER:
    case forms::CM_MOUSELEAVE:
        if (!Enabled) break;
        if (m.Msg == forms::CM_MOUSEENTER) State |= kHot;
        else State &= ~kHot;
        PaintWindow(nullptr);
        break;
    default:
        TSkinControl::AfterMessage(m);
        break;
    }
}

void TSkinComBox::PaintTo(HDC dc, const RECT& rect) {
    const SkinElements& e = Elems(m_skinData);
    const TDataSkinBorder* element = e.ComboButton.get();
    forms::TBitmap* picture = PictureOf(m_skinData, element);
    if (!picture) return;
    Enabled = !(StyleOf(m_handle) & WS_DISABLED);
    HWND focus = GetFocus();
    Focused = focus && (focus == m_handle || IsChild(m_handle, focus));
    const int state = ComboState(State & kPressed, State & kHot, Focused, Enabled);
    const int w = rect.right - rect.left, h = rect.bottom - rect.top;
    const int a = GetSystemMetrics(SM_CXHSCROLL);
    const bool left = (GetWindowLongW(m_handle, GWL_EXSTYLE) & WS_EX_LEFTSCROLLBAR) != 0;
    const int count = SafeFrameCount(element->FrameCount);
    if (element->Style == 1) {
        RECT inner = rect;
        InflateRect(&inner, -1, -1);
        FrameRect(dc, &inner, static_cast<HBRUSH>(GetCurrentObject(dc, OBJ_BRUSH)));
        const int b = GetSystemMetrics(SM_CYVTHUMB);
        const RECT button{left ? 2 : w - 2 - b, 2, left ? 2 + b : w - 2, h - 2};
        FillFace(dc, button);
        DrawStripFrame(dc, button, *picture, false, count, state);
        FrameWith(dc, rect, Rgb(e.ButtonShadowColour));
        return;
    }
    forms::TBitmap* sunk = PictureOf(m_skinData, e.SunkEdge.get());
    if (!sunk) return;
    const ComboRects r = ComboLayout(w, h, a, left);
    const int saved = SaveDC(dc);
    ExcludeClipRect(dc, r.edit.left, r.edit.top, r.edit.right, r.edit.bottom);
    DrawElementFrame(dc, rect, e.SunkEdge->FrameCount, state, *e.SunkEdge, *sunk);
    forms::TBitmap* strip = left ? PictureOf(m_skinData, element->Bitmap2) : picture;
    if (strip) DrawStripFrame(dc, ToRect(r.button), *strip, true, count, state);
    if (forms::TBitmap* extra = PictureOf(m_skinData, e.ExtraImages.get())) {
        const int gw = extra->Width() / SafeFrameCount(e.ExtraImages->FrameCount), gh = extra->Height();
        const RECT g{r.glyph.left + (r.glyph.Width() - gw) / 2, r.glyph.top + (r.glyph.Height() - gh) / 2,
                     r.glyph.left + (r.glyph.Width() - gw) / 2 + gw, r.glyph.top + (r.glyph.Height() - gh) / 2 + gh};
        DrawStripFrame(dc, g, *extra, true, SafeFrameCount(e.ExtraImages->FrameCount), state);
    }
    RestoreDC(dc, saved);
}

// ---- Progress bars ---------------------------------------------------------------------------

bool TSkinProgress::BeforeMessage(forms::TMessage& m) {
    if (m.Msg == WM_ERASEBKGND) {
        m.Result = 1;
        return false;
    }
    if (m.Msg == WM_PAINT && PictureOf(m_skinData, Elems(m_skinData).Progress.get())) {
        PaintMessage(m);
        return false;
    }
    return true;
}

void TSkinProgress::PaintTo(HDC dc, const RECT& rect) {
    const TDataSkinBorder* element = Elems(m_skinData).Progress.get();
    forms::TBitmap* picture = PictureOf(m_skinData, element);
    if (!picture) return;
    const int w = rect.right - rect.left, h = rect.bottom - rect.top;
    if (w <= 0 || h <= 0) return;
    const int pos = static_cast<int>(SendMessageW(m_handle, PBM_GETPOS, 0, 0));
    const int max = static_cast<int>(SendMessageW(m_handle, PBM_GETRANGE, FALSE, 0));
    const int filled = ProgressFillWidth(pos, max, w);
    Buffer b(dc, w, h);
    const RECT at{0, 0, w, h};
    FillFace(b.dc, at);
    forms::TBitmap* chunk = PictureOf(m_skinData, element->Bitmap2);
    if (element->Style == 1 && chunk && chunk->Width() > 0) {
        DrawStripFrame(b.dc, at, *picture, true, 1, 1);
        const int copies = ProgressChunkCopies(filled, chunk->Width());
        const int top = (h - chunk->Height()) / 2;
        const int saved = SaveDC(b.dc);
        IntersectClipRect(b.dc, element->LeftWidth, 0, element->LeftWidth + filled, h);
        for (int i = 0; i < copies; ++i) {
            const RECT piece{element->LeftWidth + i * chunk->Width(), top,
                             element->LeftWidth + (i + 1) * chunk->Width(), top + chunk->Height()};
            DrawStripFrame(b.dc, piece, *chunk, false, 1, 1);
        }
        RestoreDC(b.dc, saved);
    } else {
        DrawStripFrame(b.dc, at, *picture, true, 2, 1);
        if (filled > 0) DrawStripFrame(b.dc, RECT{0, 0, filled, h}, *picture, true, 2, 2);
    }
    BitBlt(dc, rect.left, rect.top, w, h, b.dc, 0, 0, SRCCOPY);
}

// ---- Track bars -------------------------------------------------------------------------------

bool TSkinTrackBar::BeforeMessage(forms::TMessage& m) {
    if (m.Msg != WM_NOTIFY && m.Msg != forms::CN_NOTIFY) return true;
    auto* draw = reinterpret_cast<NMCUSTOMDRAW*>(m.LParam);
    if (!draw || draw->hdr.code != static_cast<UINT>(NM_CUSTOMDRAW)) return true;
    if (draw->dwDrawStage == CDDS_PREPAINT) {
        m.Result = CDRF_NOTIFYITEMDRAW;
    } else if (draw->dwDrawStage == CDDS_ITEMPREPAINT) {
        if (draw->dwItemSpec == TBCD_THUMB) {
            RECT thumb{};
            SendMessageW(m_handle, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
            const SkinElements& e = Elems(m_skinData);
            const TDataSkinObject* element = e.TrackbarThumbHorz.get();
            if ((StyleOf(m_handle) & TBS_VERT) && e.TrackbarThumbVert) element = e.TrackbarThumbVert.get();
            if (forms::TBitmap* picture = PictureOf(m_skinData, element))
                DrawStripFrame(draw->hdc, thumb, *picture, true, 5, 2);
            else
                FrameWith(draw->hdc, thumb, Rgb(e.ButtonShadowColour));
            m.Result = CDRF_SKIPDEFAULT;
        } else {
            m.Result = CDRF_DODEFAULT;
        }
    }
    return false;
}

// ---- Status bars ------------------------------------------------------------------------------

bool TSkinStatusBar::BeforeMessage(forms::TMessage& m) { return !PaintsItself(*this, m); }

void TSkinStatusBar::PaintTo(HDC dc, const RECT& rect) {
    const int w = rect.right - rect.left, h = rect.bottom - rect.top;
    if (w <= 0 || h <= 0) return;
    const SkinElements& e = Elems(m_skinData);
    const TDataSkinObject* element = e.StatusBarEdges.get();
    forms::TBitmap* picture = PictureOf(m_skinData, element);
    Buffer b(dc, w, h);
    const RECT at{0, 0, w, h};
    FillFace(b.dc, at);
    HGDIOBJ oldFont = SelectObject(b.dc, WindowFont(m_handle));
    SetTextColor(b.dc, element ? TextColour(m_skinData, element->NormalColour) : Rgb(e.ButtonTextColour));
    auto panel = [&](RECT r, int bevel, const forms::String& text, UINT align) {
        if (picture) {
            DrawSkinFrame(b.dc, r, *picture, MarginsOf(*element), false, element->Tile != 0, false, 3, bevel);
        } else if (bevel != 3) {
            const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW), light = GetSysColor(COLOR_BTNHIGHLIGHT);
            const COLORREF tl = bevel == 1 ? shadow : light, br = bevel == 1 ? light : shadow;
            HPEN p1 = CreatePen(PS_SOLID, 1, tl), p2 = CreatePen(PS_SOLID, 1, br);
            HGDIOBJ old = SelectObject(b.dc, p1);
            MoveToEx(b.dc, r.left, r.bottom - 1, nullptr);
            LineTo(b.dc, r.left, r.top);
            LineTo(b.dc, r.right - 1, r.top);
            SelectObject(b.dc, p2);
            LineTo(b.dc, r.right - 1, r.bottom - 1);
            LineTo(b.dc, r.left, r.bottom - 1);
            SelectObject(b.dc, old);
            DeleteObject(p1);
            DeleteObject(p2);
        }
        RECT inner{r.left + 2, r.top, r.right - 2, r.bottom};
        DrawCaption(b.dc, inner, align | DT_SINGLELINE, true, text.empty() ? forms::String(u" ") : text);
    };
    auto* bar = dynamic_cast<forms::TStatusBar*>(m_control);
    const int parts = static_cast<int>(SendMessageW(m_handle, SB_GETPARTS, 0, 0));
    const bool simple = SendMessageW(m_handle, SB_ISSIMPLE, 0, 0) != 0 || (bar && bar->SimplePanel());
    auto textOf = [&](int index) {
        const int length = LOWORD(SendMessageW(m_handle, SB_GETTEXTLENGTHW, index, 0));
        forms::String text(static_cast<size_t>(length) + 1, u'\0');
        const LRESULT r = SendMessageW(m_handle, SB_GETTEXTW, index, reinterpret_cast<LPARAM>(text.data()));
        text.resize(static_cast<size_t>(length));
        const int type = HIWORD(r);
        const int bevel = StatusBevelFrame((type & SBT_NOBORDERS) ? pbNone : (type & SBT_POPOUT) ? pbRaised : pbLowered);
        return std::make_pair(text, bevel);
    };
    if (simple || parts <= 0) {
        forms::String text = bar ? bar->SimpleText() : textOf(simple ? 255 : 0).first;
        panel(at, 1, text, DT_LEFT);
    } else {
        for (int i = 0; i < parts; ++i) {
            RECT r{};
            SendMessageW(m_handle, SB_GETRECT, i, reinterpret_cast<LPARAM>(&r));
            if (i == parts - 1) r.right = w;
            const auto [text, bevel] = textOf(i);
            panel(r, bevel, text, DT_LEFT);
        }
    }
    if (StyleOf(m_handle) & SBARS_SIZEGRIP) {
        if (forms::TBitmap* extra = PictureOf(m_skinData, e.ExtraImages.get())) {
            const int count = SafeFrameCount(e.ExtraImages->FrameCount);
            const int gw = extra->Width() / count, gh = extra->Height();
            DrawStripFrame(b.dc, RECT{w - 1 - gw, h - 1 - gh, w - 1, h - 1}, *extra, true, count, 5);
        }
    }
    SelectObject(b.dc, oldFont);
    BitBlt(dc, rect.left, rect.top, w, h, b.dc, 0, 0, SRCCOPY);
}

// ---- Size grips ---------------------------------------------------------------------------------

bool TSkinSizer::BeforeMessage(forms::TMessage& m) { return !PaintsItself(*this, m); }

void TSkinSizer::PaintTo(HDC dc, const RECT& rect) {
    FillFace(dc, rect);
    FrameWith(dc, rect, Rgb(Elems(m_skinData).ButtonShadowColour));
}

// ---- Tab controls -------------------------------------------------------------------------------

void TSkinTab::PrepareImages() {
    const TDataSkinBorder* element = Elems(m_skinData).Tabs.get();
    Orientation = TabOrientation(StyleOf(m_handle));
    m_tabs.SetSize(0, 0);
    m_border.SetSize(0, 0);
    if (!element || element->Bitmap.Empty()) return;
    AssignPixels(m_tabs, element->Bitmap);
    if (!element->Bitmap2.Empty()) AssignPixels(m_border, element->Bitmap2);
    if (Orientation == 1) {
        FlipBitmap(m_tabs);
        if (!m_border.Empty()) FlipBitmap(m_border);
    } else if (Orientation == 2 && !m_border.Empty()) {
        RotateBitmapLeft(m_border);
    } else if (Orientation == 3 && !m_border.Empty()) {
        RotateBitmapRight(m_border);
    }
}

void TSkinTab::AttachWindow(HWND window, TSkinData* skin, forms::TCanvas* canvas) {
    TSkinControl::AttachWindow(window, skin, canvas);
    if (!m_attached) return;
    Focused = GetFocus() == m_handle;
    Enabled = !(StyleOf(m_handle) & WS_DISABLED);
    PrepareImages();
    m_arrows = FindWindowExW(m_handle, nullptr, UPDOWN_CLASSW, nullptr);
    TSkinForm* form = FormSkinner();
    if (m_arrows && form && !form->FindSkinnerByHandle(m_arrows)) {
        auto* arrows = new TSkinUpDown(form);
        arrows->AttachWindow(m_arrows, skin, canvas);
        form->AddSkinner(arrows);
    }
}

void TSkinTab::RefreshSkin() {
    PrepareImages();
    TSkinControl::RefreshSkin();
}

void TSkinTab::PaintTo(HDC dc, const RECT& rect) {
    const TDataSkinBorder* element = Elems(m_skinData).Tabs.get();
    if (!element || m_tabs.Empty()) return;
    RECT page = rect;
    SendMessageW(m_handle, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&page));
    InflateRect(&page, 4, 4);
    const SkinRect C{rect.left, rect.top, rect.right, rect.bottom};
    const SkinRect P{page.left, page.top, page.right, page.bottom};
    const int count = static_cast<int>(SendMessageW(m_handle, TCM_GETITEMCOUNT, 0, 0));
    const int selected = static_cast<int>(SendMessageW(m_handle, TCM_GETCURFOCUS, 0, 0));
    HIMAGELIST images = reinterpret_cast<HIMAGELIST>(SendMessageW(m_handle, TCM_GETIMAGELIST, 0, 0));
    const SkinRect strip = TabStrip(Orientation, C, P);
    int w = 0, h = 0;
    TabWorkSize(Orientation, strip, w, h);
    if (w <= 0 || h <= 0) return;
    forms::TBitmap work(w, h);
    HDC wd = work.Canvas().Handle();
    FillFace(wd, RECT{0, 0, w, h});
    HGDIOBJ oldFont = SelectObject(wd, WindowFont(m_handle));
    const int frames = SafeFrameCount(element->FrameCount);
    for (int i = 0; i < count; ++i) {
        WCHAR text[81] = {};
        TCITEMW item{};
        item.mask = TCIF_TEXT | TCIF_IMAGE | TCIF_STATE;
        item.pszText = text;
        item.cchTextMax = 80;
        item.iImage = -1;
        SendMessageW(m_handle, TCM_GETITEMW, i, reinterpret_cast<LPARAM>(&item));
        RECT ir{};
        if (!SendMessageW(m_handle, TCM_GETITEMRECT, i, reinterpret_cast<LPARAM>(&ir))) continue;
        const RECT r = ToRect(TabItemInWork(Orientation, {ir.left, ir.top, ir.right, ir.bottom}, C, P, w));
        const bool chosen = i == selected;
        DrawSkinFrame(wd, r, m_tabs, MarginsOf(*element), false, element->Tile != 0, element->Trans == 1, frames,
                      chosen ? 2 : 1);
        SetTextColor(wd, TextColour(m_skinData, chosen ? element->MouseOverColour : element->NormalColour));
        DrawImageAndText(wd, r, 1, forms::String(reinterpret_cast<const char16_t*>(text)), item.iImage, images,
                         true);
    }
    SelectObject(wd, oldFont);
    if (Orientation == 3) RotateBitmapRight(work);
    else if (Orientation == 2) RotateBitmapLeft(work);
    const int saved = SaveDC(dc);
    if (m_arrows && (GetWindowLongW(m_arrows, GWL_STYLE) & WS_VISIBLE)) {
        RECT a{};
        GetWindowRect(m_arrows, &a);
        POINT tl{a.left - WindowRect.left, a.top - WindowRect.top};
        ExcludeClipRect(dc, tl.x, tl.y, tl.x + a.right - a.left, tl.y + a.bottom - a.top);
    }
    BitBlt(dc, strip.left, strip.top, strip.Width(), strip.Height(), work.Canvas().Handle(), 0, 0, SRCCOPY);
    RestoreDC(dc, saved);
    if (!m_border.Empty()) DrawSkinBorderOnly(dc, page, m_border, SkinMargins{4, 5, 4, 4}, false, 1, 1);
}

// ---- Scroll bars ---------------------------------------------------------------------------------

TSkinScrollBar::TSkinScrollBar(forms::TComponent* owner) : TSkinControl(owner), m_alive(std::make_shared<bool>(true)) {}

TSkinScrollBar::~TSkinScrollBar() {
    *m_alive = false;
    Detach();
}

void TSkinScrollBar::Attach(forms::TWinControl* control, TSkinData* skin, bool handleClicks, forms::TCanvas* canvas) {
    if (m_attached || !control) return;
    m_skinData = skin;
    m_canvas = canvas;
    m_control = control;
    m_handle = control->Handle();
    HookControl(control);
    Register();
    HandleClicks = handleClicks;
    Dragging = false;
    m_inScroll[0] = m_inScroll[1] = false;
    m_attached = true;
    SetWindowPos(m_handle, nullptr, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOREDRAW | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void TSkinScrollBar::AttachControl(forms::TWinControl* control, TSkinData* skin, bool recolour,
                                   forms::TCanvas* canvas) {
    Attach(control, skin, recolour, canvas);
}

void TSkinScrollBar::Detach() {
    Dragging = false;
    const bool was = m_attached;
    TSkinControl::Detach();
    if (was && IsWindow(m_handle))
        SetWindowPos(m_handle, nullptr, 0, 0, 0, 0,
                     SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

ScrollBarLayout TSkinScrollBar::Layout() {
    RECT w{}, c{};
    GetWindowRect(m_handle, &w);
    GetClientRect(m_handle, &c);
    const DWORD style = StyleOf(m_handle);
    const bool horz = (style & WS_HSCROLL) || m_inScroll[0];
    const bool vert = (style & WS_VSCROLL) || m_inScroll[1];
    const bool left = (GetWindowLongW(m_handle, GWL_EXSTYLE) & WS_EX_LEFTSCROLLBAR) != 0;
    return LayoutScrollBars(w.right - w.left, w.bottom - w.top, c.right, c.bottom, GetSystemMetrics(SM_CXHSCROLL),
                            GetSystemMetrics(SM_CXEDGE), horz, vert, left);
}

void TSkinScrollBar::UpdateThumb(int bar, const ScrollBarLayout& l) {
    if (Dragging) return;
    const SkinRect& r = bar ? l.vert : l.horz;
    const int length = bar ? r.Height() : r.Width();
    SCROLLINFO si{};
    si.cbSize = sizeof si;
    si.fMask = SIF_ALL;
    if (!GetScrollInfo(m_handle, bar ? SB_VERT : SB_HORZ, &si)) return;
    ThumbOfScrollInfo({si.nMin, si.nMax, static_cast<int>(si.nPage), si.nPos}, length - 2 * l.arrow,
                      GetSystemMetrics(bar ? SM_CYVTHUMB : SM_CXHTHUMB), 8, Thumb[bar]);
}

bool TSkinScrollBar::BeforeMessage(forms::TMessage& m) {
    switch (m.Msg) {
    case WM_NCCALCSIZE:
        CallOriginal(m);
        return false;
    case WM_NCMOUSEMOVE:
        return m.WParam != HTHSCROLL && m.WParam != HTVSCROLL;
    case WM_NCLBUTTONDOWN:
        return !(HandleClicks && StartDrag(m.WParam, m.LParam));
    case WM_CAPTURECHANGED:
        Dragging = false;
        return true;
    case WM_HSCROLL:
    case WM_VSCROLL: {
        const int bar = m.Msg == WM_VSCROLL ? 1 : 0;
        const int code = LOWORD(m.WParam);
        HotPart = code == SB_LINELEFT ? (bar ? 3 : 1) : code == SB_LINERIGHT ? (bar ? 4 : 2)
                  : code == SB_THUMBTRACK ? (bar ? 6 : 5) : 0;
        m_inScroll[bar] = true;
        const std::shared_ptr<bool> alive = m_alive;
        CallOriginal(m);
        if (!*alive) return false;
        m_inScroll[bar] = false;
        PaintWindow(nullptr);
        return false;
    }
    default:
        return true;
    }
}

void TSkinScrollBar::AfterMessage(forms::TMessage& m) {
    switch (m.Msg) {
    case WM_NCPAINT:
        PaintWindow(nullptr);
        break;
    case WM_PRINT:
        PaintWindow(reinterpret_cast<HDC>(m.WParam));
        break;
    default:
        TSkinControl::AfterMessage(m);
        break;
    }
}

bool TSkinScrollBar::StartDrag(WPARAM hit, LPARAM screenPoint) {
    if (hit != HTHSCROLL && hit != HTVSCROLL) return false;
    const int bar = hit == HTVSCROLL ? 1 : 0;
    const POINT screen{static_cast<short>(LOWORD(screenPoint)), static_cast<short>(HIWORD(screenPoint))};
    const ScrollBarLayout l = Layout();
    UpdateThumb(bar, l);
    RECT w{};
    GetWindowRect(m_handle, &w);
    const SkinRect& r = bar ? l.vert : l.horz;
    const int along = bar ? screen.y - w.top - r.top : screen.x - w.left - r.left;
    if (ScrollHitPart(along, l.arrow, Thumb[bar]) != 5 || Thumb[bar].size <= 0) return false;
    HotPart = bar ? 6 : 5;
    PaintWindow(nullptr);
    DragLoop(bar, screen);
    return true;
}

void TSkinScrollBar::DragLoop(int bar, POINT start) {
    const std::shared_ptr<bool> alive = m_alive;
    const HWND window = m_handle;
    const UINT scrollMsg = bar ? WM_VSCROLL : WM_HSCROLL;
    SCROLLINFO si{};
    si.cbSize = sizeof si;
    si.fMask = SIF_ALL;
    GetScrollInfo(window, bar ? SB_VERT : SB_HORZ, &si);
    const ScrollValues v{si.nMin, si.nMax, static_cast<int>(si.nPage), si.nPos};
    const ThumbGeometry geometry = Thumb[bar];
    const int startOffset = geometry.pos;
    int pos = si.nPos;
    Dragging = true;
    SetCapture(window);
    bool quit = false;
    WPARAM quitCode = 0;
    // Ends on button-up, on losing the capture, or with the window (or this
    // skinner) gone; waits for messages in between.
    while (*alive && Dragging && IsWindow(window)) {
        MSG msg;
        if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
            continue;
        }
        if (msg.message == WM_QUIT) {
            quit = true;
            quitCode = msg.wParam;
            break;
        }
        if (msg.hwnd == window && (msg.message == WM_MOUSEMOVE || msg.message == WM_NCMOUSEMOVE)) {
            POINT p{static_cast<short>(LOWORD(msg.lParam)), static_cast<short>(HIWORD(msg.lParam))};
            if (msg.message == WM_MOUSEMOVE) ClientToScreen(window, &p);
            DispatchMessageW(&msg);
            if (!*alive || !Dragging) break;
            const int delta = bar ? p.y - start.y : p.x - start.x;
            const DragResult r = ThumbDrag(startOffset, delta, v, geometry);
            if (r.pos != pos) {
                pos = r.pos;
                SCROLLINFO set{};
                set.cbSize = sizeof set;
                set.fMask = SIF_POS;
                set.nPos = pos;
                set.nTrackPos = pos;
                SetScrollInfo(window, bar ? SB_VERT : SB_HORZ, &set, FALSE);
                Thumb[bar].pos = r.offset;
                SendMessageW(window, scrollMsg, MAKEWPARAM(SB_THUMBTRACK, pos), 0);
            }
            continue;
        }
        if (msg.message == WM_LBUTTONUP || msg.message == WM_NCLBUTTONUP) {
            Dragging = false;
            break;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    const bool stillHere = *alive && IsWindow(window);
    if (*alive) Dragging = false;
    if (GetCapture() == window) ReleaseCapture();
    if (stillHere) {
        SendMessageW(window, scrollMsg, MAKEWPARAM(SB_THUMBPOSITION, pos), 0);
        PostMessageW(window, scrollMsg, SB_ENDSCROLL, 0);
    }
    if (quit) PostQuitMessage(static_cast<int>(quitCode));
}

void TSkinScrollBar::DrawBar(HDC dc, int bar, const SkinRect& rect, int arrow) {
    const SkinElements& e = Elems(m_skinData);
    forms::TBitmap* arrows = PictureOf(m_skinData, e.Scrollbar.get());
    const TDataSkinObject* trough = bar ? e.VertScroll.get() : e.HorzScroll.get();
    const TDataSkinObject* thumb = bar ? e.VertScrollThumb.get() : e.HorzScrollThumb.get();
    forms::TBitmap* troughPic = PictureOf(m_skinData, trough);
    forms::TBitmap* thumbPic = PictureOf(m_skinData, thumb);
    if (!arrows || !troughPic || !thumbPic) return;
    const int length = bar ? rect.Height() : rect.Width();
    if (length <= 0) return;
    // Drawn 16 pixels thick along the bar, then stretched onto it.
    constexpr int kThick = 16;
    auto along = [bar](int from, int to) {
        return bar ? RECT{0, from, kThick, to} : RECT{from, 0, to, kThick};
    };
    forms::TBitmap work(bar ? kThick : length, bar ? length : kThick);
    HDC wd = work.Canvas().Handle();
    HBRUSH back = CreateSolidBrush(Rgb(e.ScrollbarColour));
    const RECT all = along(0, length);
    FillRect(wd, &all, back);
    DeleteObject(back);
    DrawSkinFrame(wd, along(arrow, length - arrow), *troughPic, MarginsOf(*trough), false,
                  e.HorzScroll && e.HorzScroll->Tile != 0, trough->Trans == 1, 4, 1);
    const int a = length < 2 * arrow ? length / 2 : arrow;
    const int first = bar ? (HotPart == 3 ? 10 : 9) : (HotPart == 1 ? 2 : 1);
    const int second = bar ? (HotPart == 4 ? 14 : 13) : (HotPart == 2 ? 6 : 5);
    DrawStripFrame(wd, along(0, a), *arrows, true, 23, first);
    DrawStripFrame(wd, along(length - a, length), *arrows, true, 23, second);
    const ThumbGeometry& g = Thumb[bar];
    if (g.size > 0 && g.track >= g.size) {
        const int hot = bar ? 6 : 5;
        DrawSkinFrame(wd, along(arrow + g.pos, arrow + g.pos + g.size), *thumbPic, MarginsOf(*thumb), false, false,
                      e.HorzScrollThumb && e.HorzScrollThumb->Trans == 1, SafeFrameCount(thumb->FrameCount),
                      HotPart == hot ? 2 : 1);
    }
    HDC src = work.Canvas().Handle();
    const int old = SetStretchBltMode(dc, COLORONCOLOR);
    StretchBlt(dc, rect.left, rect.top, rect.Width(), rect.Height(), src, 0, 0, work.Width(), work.Height(), SRCCOPY);
    SetStretchBltMode(dc, old);
}

void TSkinScrollBar::PaintTo(HDC dc, const RECT& rect) {
    if (!PictureOf(m_skinData, Elems(m_skinData).Scrollbar.get())) return;
    const DWORD style = StyleOf(m_handle);
    if (!(style & (WS_HSCROLL | WS_VSCROLL)) && !m_inScroll[0] && !m_inScroll[1]) return;
    if (rect.right - rect.left > 10000 || rect.bottom - rect.top > 10000) return;
    const ScrollBarLayout l = Layout();
    for (int bar = 0; bar < 2; ++bar) {
        const SkinRect& r = bar ? l.vert : l.horz;
        if (r.Width() <= 0 || r.Height() <= 0 || m_inScroll[bar]) continue;
        UpdateThumb(bar, l);
        DrawBar(dc, bar, r, l.arrow);
    }
    if (l.sizeBox.Width() > 0 && l.sizeBox.Height() > 0) FillFace(dc, ToRect(l.sizeBox));
}

// ---- Headers and list views ---------------------------------------------------------------------

void TSkinHeader::AttachWindow(HWND window, TSkinData* skin, forms::TCanvas* canvas) {
    TSkinControl::AttachWindow(window, skin, canvas);
    if (m_attached) Register();
}

bool TSkinHeader::BeforeMessage(forms::TMessage& m) {
    if (m.Msg == WM_ERASEBKGND && PictureOf(m_skinData, Elems(m_skinData).Headerbar.get())) {
        m.Result = 1;
        return false;
    }
    return true;
}

void TSkinHeader::PaintTo(HDC dc, const RECT& rect) {
    const TDataSkinObject* element = Elems(m_skinData).Headerbar.get();
    forms::TBitmap* picture = PictureOf(m_skinData, element);
    if (!picture) return;
    const int w = rect.right - rect.left, h = rect.bottom - rect.top;
    if (w <= 0 || h <= 0) return;
    Buffer b(dc, w, h);
    HGDIOBJ oldFont = SelectObject(b.dc, WindowFont(m_handle));
    SetTextColor(b.dc, TextColour(m_skinData, element->NormalColour));
    HIMAGELIST images = reinterpret_cast<HIMAGELIST>(SendMessageW(m_handle, HDM_GETIMAGELIST, 0, 0));
    const int count = static_cast<int>(SendMessageW(m_handle, HDM_GETITEMCOUNT, 0, 0));
    const int frames = SafeFrameCount(element->FrameCount);
    int right = 0;
    for (int i = 0; i < count; ++i) {
        RECT r{};
        if (!SendMessageW(m_handle, HDM_GETITEMRECT, i, reinterpret_cast<LPARAM>(&r))) continue;
        WCHAR text[202] = {};
        HDITEMW item{};
        item.mask = HDI_TEXT | HDI_FORMAT | HDI_IMAGE;
        item.pszText = text;
        item.cchTextMax = 201;
        SendMessageW(m_handle, HDM_GETITEMW, i, reinterpret_cast<LPARAM>(&item));
        DrawSkinFrame(b.dc, r, *picture, MarginsOf(*element), false, element->Tile != 0, false, frames, 1);
        const forms::String caption(reinterpret_cast<const char16_t*>(text));
        if (!caption.empty()) {
            const int align = (item.fmt & HDF_RIGHT) ? 2 : (item.fmt & HDF_CENTER) ? 1 : 0;
            const bool withImage = (item.fmt & (HDF_IMAGE | HDF_OWNERDRAW)) != 0;
            DrawImageAndText(b.dc, r, align, caption, withImage ? item.iImage : -1, images, true);
        }
        right = std::max(right, static_cast<int>(r.right));
    }
    if (right < w) DrawSkinFrame(b.dc, RECT{right, 0, w, h}, *picture, MarginsOf(*element), false,
                                 element->Tile != 0, false, frames, 1);
    SelectObject(b.dc, oldFont);
    BitBlt(dc, rect.left, rect.top, w, h, b.dc, 0, 0, SRCCOPY);
}

void TSkinListView::AttachControl(forms::TWinControl* control, TSkinData* skin, bool recolour,
                                  forms::TCanvas* canvas) {
    Attach(control, skin, recolour, canvas);
    if (!m_attached) return;
    HWND header = reinterpret_cast<HWND>(SendMessageW(m_handle, LVM_GETHEADER, 0, 0));
    TSkinForm* form = FormSkinner();
    if (header && form && !form->FindSkinnerByHandle(header)) {
        Header = new TSkinHeader(form);
        Header->AttachWindow(header, skin, canvas);
    }
}

// ---- The enumeration ---------------------------------------------------------------------------

TSkinControl* MakeSkinner(SkinnerKind kind, TSkinForm& owner) {
    switch (kind) {
    case SkinnerKind::Button: return new TSkinButton(&owner);
    case SkinnerKind::SpeedButton: return new TSkinSpeedButton(&owner);
    case SkinnerKind::CheckBox: return new TSkinCheckBox(&owner);
    case SkinnerKind::RadioButton: return new TSkinRadioButton(&owner);
    case SkinnerKind::ComboBox:
    case SkinnerKind::ComboBoxEx: return new TSkinComBox(&owner);
    case SkinnerKind::StatusBar: return new TSkinStatusBar(&owner);
    case SkinnerKind::Box: return new TSkinBox(&owner);
    case SkinnerKind::UpDown: return new TSkinUpDown(&owner);
    case SkinnerKind::Tab: return new TSkinTab(&owner);
    case SkinnerKind::Progress: return new TSkinProgress(&owner);
    case SkinnerKind::TrackBar: return new TSkinTrackBar(&owner);
    case SkinnerKind::Edit: return new TSkinEdit(&owner);
    case SkinnerKind::Sizer: return new TSkinSizer(&owner);
    case SkinnerKind::ScrollBar: return new TSkinScrollBar(&owner);
    case SkinnerKind::ListView: return new TSkinListView(&owner);
    case SkinnerKind::Header: return new TSkinHeader(&owner);
    default: return nullptr;
    }
}

namespace {

bool AlreadySkinned(TSkinForm& form, forms::TComponent* component) {
    for (TSkinControl* s : form.Skinners)
        if (static_cast<forms::TComponent*>(s->Control()) == component) return true;
    auto* windowed = dynamic_cast<forms::TWinControl*>(component);
    return windowed && windowed->HandleAllocated() && form.FindSkinnerByHandle(windowed->Handle());
}

ControlTraits TraitsOf(forms::TControl& control) {
    ControlTraits t;
    t.upperClass = forms::TextToUtf8(forms::UpperCase(forms::Utf8ToText(control.ClassName())));
    t.tag = control.Tag();
    t.isPageControl = dynamic_cast<forms::TPageControl*>(&control) != nullptr;
    t.isCheckBox = dynamic_cast<TCustomCheckBox*>(&control) != nullptr;
    t.isGroupBox = dynamic_cast<TCustomGroupBox*>(&control) != nullptr;
    t.isRadioButton = dynamic_cast<forms::TRadioButton*>(&control) != nullptr;
    t.isToolBar = dynamic_cast<forms::TToolBar*>(&control) != nullptr;
    t.isStatusBar = dynamic_cast<forms::TStatusBar*>(&control) != nullptr;
    t.isProgress = dynamic_cast<forms::TProgressBar*>(&control) != nullptr;
    t.isComboBox = dynamic_cast<forms::TCustomComboBox*>(&control) != nullptr;
    t.isSpeedButton = dynamic_cast<forms::TSpeedButton*>(&control) != nullptr;
    t.isPanel = dynamic_cast<TCustomPanel*>(&control) != nullptr;
    t.isListView = dynamic_cast<forms::TCustomListView*>(&control) != nullptr;
    t.isMemo = dynamic_cast<TCustomMemo*>(&control) != nullptr;
    t.isButton = dynamic_cast<forms::TButton*>(&control) != nullptr;
    t.isEdit = dynamic_cast<forms::TCustomEdit*>(&control) != nullptr;
    t.isForm = dynamic_cast<forms::TCustomForm*>(&control) != nullptr;
    if (auto* windowed = dynamic_cast<forms::TWinControl*>(&control)) {
        const DWORD style = windowed->HandleAllocated() ? StyleOf(windowed->Handle()) : 0;
        t.scrollable = (style & (WS_HSCROLL | WS_VSCROLL)) || dynamic_cast<forms::TCustomListBox*>(&control) ||
                       t.isMemo || dynamic_cast<forms::TCustomTreeView*>(&control);
    }
    return t;
}

std::vector<std::string> LinesOf(const forms::TStrings& strings) {
    std::vector<std::string> lines;
    for (int i = 0; i < strings.Count(); ++i) lines.push_back(forms::TextToUtf8(strings[i]));
    return lines;
}

void Attach(TSkinForm& form, TSkinControl* skinner, forms::TControl& control, const SkinChoice& choice) {
    if (auto* speed = dynamic_cast<TSkinSpeedButton*>(skinner)) {
        if (auto* button = dynamic_cast<forms::TSpeedButton*>(&control))
            speed->AttachGraphic(button, form.SkinData, &form.SkinnerCanvas);
        if (!speed->Attached()) delete speed;
        return;
    }
    auto* windowed = dynamic_cast<forms::TWinControl*>(&control);
    if (!skinner || !windowed) {
        delete skinner;
        return;
    }
    if (choice.byHandle) {
        skinner->AttachWindow(windowed->Handle(), form.SkinData, &form.SkinnerCanvas);
        form.AddSkinner(skinner);
    } else {
        skinner->AttachControl(windowed, form.SkinData, choice.flag == 1, &form.SkinnerCanvas);
    }
    if (!skinner->Attached()) delete skinner;
}

}  // namespace

void SkinChildControls(TSkinForm& form, forms::TWinControl& container) {
    TSkinData* skin = form.SkinData;
    if (!skin) return;
    const std::vector<std::string> third = LinesOf(skin->Skin3rd());
    const SkinElements& e = skin->Elements();
    const bool hasTabs = e.Tabs && !e.Tabs->Bitmap.Empty();
    const forms::TColor face = static_cast<forms::TColor>(e.ButtonFaceColour);
    for (int i = 0; i < container.ComponentCount(); ++i) {
        auto* control = dynamic_cast<forms::TControl*>(container.Component(i));
        if (!control) continue;
        if (control->Tag() % 100 == skin->DisableTag || AlreadySkinned(form, control)) continue;
        auto* windowed = dynamic_cast<forms::TWinControl*>(control);
        if (windowed && !windowed->HandleAllocated()) {
            try {
                windowed->HandleNeeded();
            } catch (...) {
                continue;
            }
        }
        const ControlTraits traits = TraitsOf(*control);
        if (skin->OnSkinControl) {
            forms::TComponent* made = nullptr;
            skin->OnSkinControl(&form, skin, &container, control, forms::Utf8ToText(traits.upperClass), made);
            if (auto* skinner = dynamic_cast<TSkinControl*>(made)) {
                const bool known = form.AddSkinner(skinner);
                if (windowed) skinner->AttachControl(windowed, skin, known && skinner->Attached(), &form.SkinnerCanvas);
                if (traits.isPanel && windowed) SkinChildControls(form, *windowed);
                continue;
            }
        }
        const SkinChoice choice = ChooseControlSkinner(traits, skin->SkinControls, skin->DisableTag, hasTabs, third);
        if (choice.flat) SetEnumPropByName(control, u"Flat", u"True");
        if (choice.transparent) SetEnumPropByName(control, u"Transparent", u"True");
        if (choice.recolour) control->SetColor(face);
        if (choice.sizeGripOff)
            if (auto* bar = dynamic_cast<forms::TStatusBar*>(control)) bar->SetSizeGrip(false);
        if ((choice.childrenParentColour || choice.childKind != SkinnerKind::None) && windowed) {
            for (int c = 0; c < windowed->ControlCount(); ++c) {
                forms::TControl* child = windowed->Controls(c);
                if (choice.childrenParentColour) child->SetParentColor(false);
                if (choice.childKind != SkinnerKind::None && !AlreadySkinned(form, child)) {
                    SkinChoice childChoice;
                    childChoice.flag = 1;
                    Attach(form, MakeSkinner(choice.childKind, form), *child, childChoice);
                }
            }
        }
        if (choice.kind != SkinnerKind::None) Attach(form, MakeSkinner(choice.kind, form), *control, choice);
        if (choice.walk && windowed && windowed != &container) SkinChildControls(form, *windowed);
    }
}

void SkinChildWindows(TSkinForm& form) {
    if (!form.SkinData || !IsWindow(form.Handle)) return;
    for (HWND child = GetTopWindow(form.Handle); child; child = GetWindow(child, GW_HWNDNEXT)) {
        const DWORD style = StyleOf(child);
        if (!(style & WS_CHILD) || form.FindSkinnerByHandle(child)) continue;
        const std::string name =
            forms::TextToUtf8(forms::LowerCase(TSkinForm::GetClassNameOf(child).substr(0, 100)));
        const SkinnerKind kind = RawChildKind(name, style);
        HWND target = child;
        if (kind == SkinnerKind::ComboBoxEx) {
            target = GetWindow(child, GW_CHILD);
            if (!target) continue;
        }
        TSkinControl* skinner = MakeSkinner(kind, form);
        if (!skinner) continue;
        skinner->AttachWindow(target, form.SkinData, &form.SkinnerCanvas);
        if (skinner->Attached()) form.AddSkinner(skinner);
        else delete skinner;
    }
}

}  // namespace skin
