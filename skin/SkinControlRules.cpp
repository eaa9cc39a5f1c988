#include "skin/SkinControlRules.h"

#include <algorithm>
#include <cctype>
#include <cstdint>

namespace skin {

namespace {

// a * b / c rounded as the system's MulDiv does; 0 for a zero divisor.
int MulDiv(int a, int b, int c) {
    if (c == 0) return -1;
    const int64_t p = static_cast<int64_t>(a) * b;
    const int64_t half = (c < 0 ? -c : c) / 2;
    const int64_t q = ((p < 0) != (c < 0)) ? (p - half) / c : (p + half) / c;
    return static_cast<int>(q);
}

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Members of the SkinControls set, by their place.
enum : int {
    bToolbar = 2, bCombo = 4, bCheckBox = 5, bRadioButton = 6, bProgress = 7, bScrollbar = 8, bEdit = 9,
    bButton = 10, bBitBtn = 11, bSpeedButton = 12, bPanel = 13, bStatusBar = 15, bTab = 16
};

}  // namespace

int PushButtonFrame(bool pressed, bool focused, bool hot, bool disabled) {
    if (disabled) return 3;
    if (pressed) return 2;
    return focused || hot ? 4 : 1;
}

int BitButtonFrame(bool pressed, bool focused, bool hot, bool disabled) {
    int frame = focused ? 4 : 1;
    if (pressed) frame = 2;
    else if (hot) frame = 4;
    return disabled ? 3 : frame;
}

SpeedButtonLook SpeedButtonState(bool pressed, bool hot, bool disabled, bool down, int numGlyphs) {
    SpeedButtonLook look;
    look.frame = pressed ? 2 : hot ? 4 : 1;
    if (disabled) look.frame = 3;
    if (down) look.frame = 2;
    look.glyph = look.frame == 2 ? 3 : look.frame == 3 ? 2 : 1;
    if (numGlyphs < look.glyph) look.glyph = 1;
    return look;
}

forms::TGlyphButtonLayout SkinGlyphLayout(forms::TLayoutSize client, forms::TLayoutSize glyph,
                                          forms::TLayoutSize text, forms::TButtonLayout layout, int margin,
                                          int spacing, bool speedButton) {
    if (speedButton && margin == -1 && spacing != -1) {
        const bool across =
            layout == forms::TButtonLayout::blGlyphLeft || layout == forms::TButtonLayout::blGlyphRight;
        if (text.cx == 0 || glyph.cx == 0) spacing = 0;
        const int total = (across ? glyph.cx + text.cx : glyph.cy + text.cy) + spacing;
        margin = ((across ? client.cx : client.cy) - total) / 2 + 1;
    }
    return forms::LayoutGlyphButton(client, glyph, text, layout, margin, spacing);
}

int CheckBoxFrame(bool checked, bool indeterminate, bool disabled) {
    if (indeterminate) return 4;
    return (checked ? 2 : 1) + (disabled ? 2 : 0);
}

SkinRect CheckBoxPlacement(const SkinRect& rect, int boxWidth, int boxHeight, bool textLeft) {
    SkinRect box;
    box.top = rect.top + (rect.Height() - boxHeight) / 2;
    box.bottom = box.top + boxHeight;
    if (textLeft) {
        box.right = boxWidth < 15 ? rect.right - (14 - boxWidth) / 2 : rect.right - 1;
        box.left = box.right - boxWidth;
    } else {
        box.left = boxWidth < 15 ? rect.left + (14 - boxWidth) / 2 : rect.left;
        box.right = box.left + boxWidth;
    }
    return box;
}

int ProgressFillWidth(int position, int maximum, int width) {
    if (position <= 0 || maximum <= 0 || width <= 0) return 0;
    const int64_t w = static_cast<int64_t>(std::min(position, maximum)) * width / maximum;
    return static_cast<int>(w);
}

int ProgressChunkCopies(int filledWidth, int chunkWidth) {
    if (chunkWidth <= 0 || filledWidth <= 0) return 0;
    return filledWidth / chunkWidth + 1;
}

SkinHalves UpDownHalves(const SkinRect& c, bool horizontal) {
    SkinHalves h{c, c};
    if (horizontal) {
        h.first.right = c.left + c.Width() / 2;
        h.second.left = h.first.right;
    } else {
        h.first.bottom = c.top + c.Height() / 2;
        h.second.top = h.first.bottom;
    }
    return h;
}

int UpDownHalfState(bool cursorInside, bool pressed, bool disabled) {
    if (disabled) return 3;
    if (!cursorInside) return 1;
    return pressed ? 2 : 4;
}

int ComboState(bool pressed, bool hot, bool focused, bool enabled) {
    if (pressed) return 2;
    if (hot || focused) return 4;
    return enabled ? 1 : 3;
}

ComboRects ComboLayout(int w, int h, int a, bool left) {
    ComboRects r;
    if (left) {
        r.edit = {a + 4, 2, w - 2, h - 2};
        r.button = {0, 0, a + 2, h};
        r.glyph = {2, 0, a + 2, h};
    } else {
        r.edit = {2, 2, w - a - 4, h - 2};
        r.button = {w - a - 2, 0, w, h};
        r.glyph = {w - a - 2, 0, w - 2, h};
    }
    return r;
}

int StatusBevelFrame(TStatusBevel bevel) {
    switch (bevel) {
    case pbRaised: return 2;
    case pbNone: return 3;
    default: return 1;
    }
}

int TabOrientation(uint32_t style) {
    constexpr uint32_t kBottomOrRight = 0x0002, kVertical = 0x0080;
    if (style & kVertical) return (style & kBottomOrRight) ? 3 : 2;
    return (style & kBottomOrRight) ? 1 : 0;
}

SkinRect TabStrip(int orientation, const SkinRect& c, const SkinRect& p) {
    switch (orientation) {
    case 1: return {c.left, p.bottom - 1, c.right, c.bottom};
    case 2: return {c.left, c.top, p.left + 1, c.bottom};
    case 3: return {p.right - 1, c.top, c.right, c.bottom};
    default: return {c.left, c.top, c.right, p.top + 1};
    }
}

void TabWorkSize(int orientation, const SkinRect& strip, int& width, int& height) {
    width = strip.Width();
    height = strip.Height();
    if (orientation >= 2) std::swap(width, height);
}

SkinRect TabItemInWork(int orientation, const SkinRect& i, const SkinRect& c, const SkinRect& p, int w) {
    switch (orientation) {
    case 1: return {i.left, i.top - p.bottom, i.right, i.bottom - p.bottom};
    case 2: return {w - i.bottom, i.left, w - i.top, i.right};
    case 3: return {i.top - 1, c.right - i.right, i.bottom - 1, c.right - i.left};
    default: return {i.left, i.top + 1, i.right, i.bottom + 1};
    }
}

std::vector<SkinRect> TabSetLayout(const std::vector<int>& widths, int firstVisible, int width, int height,
                                   int startMargin, int endMargin, bool scrollerVisible) {
    std::vector<SkinRect> out;
    const int available = width - endMargin;
    int x = startMargin;
    for (size_t i = static_cast<size_t>(std::max(0, firstVisible)); i < widths.size(); ++i) {
        const int w = widths[i];
        if (available >= x + w + (scrollerVisible ? 21 : 9)) {
            out.push_back({x, 0, x + w + 9, height});
            x += w + 9;
        } else {
            out.push_back({});
        }
    }
    return out;
}

ScrollBarLayout LayoutScrollBars(int W, int H, int clientW, int clientH, int A, int edge, bool hasH, bool hasV,
                                 bool left) {
    ScrollBarLayout l;
    l.arrow = A;
    int E = edge;
    if (hasV) E = (W - clientW - A) / 2;
    else if (hasH) E = (H - clientH - A) / 2;
    if (hasV) {
        const int bottom = hasH ? H - E - A : H - E;
        l.vert = left ? SkinRect{E, E, E + A, bottom} : SkinRect{W - E - A, E, W - E, bottom};
    }
    if (hasH) {
        const int hl = hasV && left ? E + A : E;
        const int hr = hasV && !left ? W - E - A : W - E;
        l.horz = {hl, H - E - A, hr, H - E};
    }
    if (hasH && hasV) l.sizeBox = {l.vert.left, l.horz.top, l.vert.right, l.horz.bottom};
    return l;
}

bool ThumbOfScrollInfo(const ScrollValues& v, int track, int fixedThumb, int minimum, ThumbGeometry& g) {
    const int range = v.nMax - v.nMin;
    if (range <= 0) return false;
    g.track = track;
    g.size = v.nPage == 0 ? fixedThumb : std::max(MulDiv(v.nPage, track, range), minimum);
    g.size = std::min(g.size, track);
    if (v.nPage == range) {
        g.pos = 0;
        g.size = -1;
    } else {
        const int span = range - v.nPage;
        g.pos = span > 0 ? MulDiv(v.nPos - v.nMin, track - g.size, span) : 0;
        g.pos = std::max(0, std::min(g.pos, track - g.size));
    }
    return true;
}

bool ThumbOfScrollControl(const ScrollValues& v, int track, int fixedThumb, int minimum, ThumbGeometry& g) {
    const int range = v.nMax - v.nMin;
    if (range <= 0) return false;
    g.track = track;
    g.size = v.nPage == 0 ? fixedThumb : std::max(MulDiv(v.nPage, track, range + 1), minimum);
    g.size = std::min(g.size, track);
    if (v.nPage == range + 1) {
        g.pos = 0;
        g.size = -1;
    } else {
        const int span = range - v.nPage + 1;
        g.pos = span > 0 ? MulDiv(v.nPos - v.nMin, track - g.size, span) : 0;
        g.pos = std::max(0, std::min(g.pos, track - g.size));
    }
    return true;
}

int ScrollHitPart(int along, int arrow, const ThumbGeometry& g) {
    if (along < 0) return -1;
    if (along < arrow) return 0;
    if (along < arrow + g.pos) return 2;
    if (along < arrow + g.pos + g.size) return 5;
    if (along < arrow + g.track) return 3;
    if (along < 2 * arrow + g.track) return 1;
    return -1;
}

DragResult ThumbDrag(int startOffset, int delta, const ScrollValues& v, const ThumbGeometry& g) {
    DragResult r;
    r.offset = std::max(0, startOffset + delta);
    const int range = v.nMax - v.nMin;
    if (v.nPage != 0) {
        r.offset = std::min(r.offset, g.track);
        r.pos = g.track > 0 ? MulDiv(r.offset, range, g.track) + v.nMin : v.nMin;
        r.pos = std::min(r.pos, v.nMax - v.nPage + 1);
    } else {
        const int free = g.track - g.size;
        r.offset = std::max(0, std::min(r.offset, free));
        r.pos = free > 0 ? MulDiv(r.offset, range, free) + v.nMin : v.nMin;
        r.pos = std::min(r.pos, v.nMax);
    }
    r.pos = std::max(r.pos, v.nMin);
    return r;
}

SkinnerKind RawButtonKind(uint32_t style) {
    switch (style & 0x0F) {
    case 0: case 1: return SkinnerKind::Button;
    case 2: case 3: case 5: case 6: return SkinnerKind::CheckBox;
    case 4: case 9: return SkinnerKind::RadioButton;
    default: return SkinnerKind::None;
    }
}

SkinnerKind RawChildKind(const std::string& c, uint32_t style) {
    if (c == "button") return RawButtonKind(style);
    if (c == "combobox") return (style & 3) == 1 ? SkinnerKind::None : SkinnerKind::ComboBox;
    if (c == "comboboxex32") return SkinnerKind::ComboBoxEx;
    // Only size boxes: a real scroll bar keeps its own drawing.
    if (c == "scrollbar") return (style & (0x08 | 0x10)) ? SkinnerKind::Sizer : SkinnerKind::None;
    if (c == "systabcontrol32") return (style & 0x2000) ? SkinnerKind::None : SkinnerKind::Tab;
    if (c == "edit") return SkinnerKind::Edit;
    return SkinnerKind::None;
}

std::string Skin3rdKind(const std::vector<std::string>& lines, const std::string& upperClass) {
    const std::string key = Lower(upperClass) + "=";
    for (const std::string& line : lines) {
        const std::string l = Lower(line);
        if (l.compare(0, key.size(), key) == 0) return l.substr(key.size(), 50);
    }
    return {};
}

SkinChoice ChooseControlSkinner(const ControlTraits& c, uint32_t bits, int disableTag, bool hasTabs,
                                const std::vector<std::string>& skin3rd) {
    auto has = [bits](int b) { return (bits >> b) & 1u; };
    const std::string& N = c.upperClass;
    SkinChoice s;
    auto pick = [&s](SkinnerKind k, int flag) {
        s.kind = k;
        s.flag = flag;
        return s;
    };
    auto handle = [&s](SkinnerKind k) {
        s.kind = k;
        s.byHandle = true;
        return s;
    };
    if (c.tag % 100 == disableTag) return s;
    if (N == "TDBCOMBOBOXEH" || N == "TQRPREVIEW" || N == "TFRDESIGNERPAGE" || N == "TFRPBOX") return s;
    if (N == "TTOOLBAR") {
        s.flat = true;
        s.recolour = true;
        return s;
    }
    const bool tabs = has(bTab) && hasTabs;
    if (c.isTabControl && tabs) return handle(SkinnerKind::Tab);
    const std::string kind = Skin3rdKind(skin3rd, N);
    if (!kind.empty()) {
        s.handled = true;
        if (kind == "combobox" && has(bCombo)) return pick(SkinnerKind::ComboBox, 0);
        if (kind == "edit" && has(bEdit)) return handle(SkinnerKind::Edit);
        if (kind == "radiobutton" && has(bRadioButton)) return pick(SkinnerKind::RadioButton, 1);
        if (kind == "panel" && has(bPanel)) {
            s.transparent = true;
            return pick(SkinnerKind::Box, 1);
        }
        if (kind == "trackbar" && has(bButton)) {
            s.transparent = true;
            return pick(SkinnerKind::TrackBar, 0);
        }
        if (kind == "button" && has(bButton)) return pick(SkinnerKind::Button, 0);
        if (kind == "tab" && tabs) return handle(SkinnerKind::Tab);
        if (kind == "progress" && has(bProgress)) return pick(SkinnerKind::Progress, 0);
        if (kind == "scrollbar" && has(bScrollbar)) return pick(SkinnerKind::ScrollBar, 1);
        if ((kind == "radiogroup" || kind == "checkgroup") && has(bPanel)) {
            if (has(bRadioButton)) {
                s.childrenParentColour = true;
                s.childKind = kind == "radiogroup" ? SkinnerKind::RadioButton : SkinnerKind::CheckBox;
            }
            return pick(SkinnerKind::Box, 1);
        }
        if (kind == "checkbox" && has(bCheckBox)) return pick(SkinnerKind::CheckBox, 1);
        return s;
    }
    if (N == "TTABSET" && tabs) return pick(SkinnerKind::Tab31, 0);
    if (N == "TTABBEDNOTEBOOK" && tabs) return handle(SkinnerKind::Tab);
    if (N == "TMVCPANEL") {
        s.walk = true;
        return s;
    }
    if (c.isPageControl && tabs) return handle(SkinnerKind::Tab);
    if (c.isCheckBox && has(bCheckBox)) return pick(SkinnerKind::CheckBox, 1);
    if (N == "TTRACKBAR" && has(bButton)) return pick(SkinnerKind::TrackBar, 0);
    if (N == "TUPDOWN" && has(bButton)) return pick(SkinnerKind::UpDown, 0);
    if (c.isRadioGroup && has(bRadioButton)) {
        s.childrenParentColour = true;
        s.childKind = SkinnerKind::RadioButton;
        return pick(SkinnerKind::Box, 1);
    }
    if (N == "TDBNAVIGATOR" && has(bPanel)) {
        s.flat = true;
        return pick(SkinnerKind::Box, 1);
    }
    if (c.isGroupBox && has(bPanel)) {
        s.childrenParentColour = true;
        s.walk = true;
        return pick(SkinnerKind::Box, 1);
    }
    if (c.isRadioButton && has(bRadioButton)) return pick(SkinnerKind::RadioButton, 1);
    if (c.isToolBar && has(bToolbar)) {
        s.flat = true;
        return pick(SkinnerKind::Box, 1);
    }
    if (c.isStatusBar && has(bStatusBar)) {
        s.sizeGripOff = true;
        return pick(SkinnerKind::StatusBar, 0);
    }
    if (c.isProgress && has(bProgress)) return pick(SkinnerKind::Progress, 0);
    if (c.isScrollBar && has(bScrollbar)) return pick(SkinnerKind::ScrollControl, 0);
    if ((c.isComboBox || c.tag % 100 == 95) && has(bCombo)) return pick(SkinnerKind::ComboBox, 0);
    if (N == "TDATETIMEPICKER" && has(bEdit))
        return pick(c.pickerUpDown ? SkinnerKind::Edit : SkinnerKind::ComboBox, 0);
    if (has(bScrollbar) && (N == "TRICHEDIT" || N == "TWWDBRICHEDIT" || N == "TDXDBMEMO"))
        return pick(SkinnerKind::ScrollBar, 1);
    if (c.isBitBtn && has(bBitBtn)) return pick(SkinnerKind::BitButton, 0);
    if (c.isSpeedButton && has(bSpeedButton)) return pick(SkinnerKind::SpeedButton, 0);
    if (c.isPanel && has(bPanel)) {
        s.walk = true;
        return pick(SkinnerKind::Box, 1);
    }
    if ((N == "TDXTREELIST" || N == "TDXDBTREELIST" || N == "TDXDBGRID") && has(bScrollbar))
        return pick(SkinnerKind::ScrollBar, 0);
    if (c.isListView && has(bScrollbar)) return pick(SkinnerKind::ListView, 0);
    if (has(bScrollbar) && c.isMemo) return pick(SkinnerKind::ScrollBar, 1);
    if (has(bScrollbar) && c.isGrid) {
        s.fixedColour = true;
        return pick(SkinnerKind::ScrollBar, 1);
    }
    if (has(bScrollbar) && (c.tag % 100 == 96 || c.scrollable || c.tag == 55))
        return pick(SkinnerKind::ScrollBar, 1);
    if (c.isButton && has(bButton)) return pick(SkinnerKind::Button, 0);
    if ((c.isEdit || c.tag % 100 == 97) && has(bEdit)) return handle(SkinnerKind::Edit);
    if (c.isFrame) {
        s.walk = true;
        return s;
    }
    if (c.isForm) {
        s.walk = true;
        s.recolour = true;
        return s;
    }
    return s;
}

}  // namespace skin
