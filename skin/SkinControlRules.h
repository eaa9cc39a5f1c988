// The arithmetic and the decisions of skinned controls, free of the
// platform so that they run in plain unit tests: which frame a button,
// box or arrow shows in which state, where glyphs, boxes, halves, combo
// buttons, tabs and scroll-bar parts lie, how a dragged thumb maps to a
// scroll position, and which skinner a control or a bare child window gets.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/forms/ButtonLayout.h"
#include "skin/SkinRules.h"

namespace skin {

// ---- Buttons, check boxes and radio buttons ------------------------------------

// Push-button strip: 1 normal, 2 pressed, 3 disabled, 4 hot or focused.
int PushButtonFrame(bool pressed, bool focused, bool hot, bool disabled);
// Glyph button: 1, 4 when focused; then 2 pressed, else 4 hot; 3 disabled.
int BitButtonFrame(bool pressed, bool focused, bool hot, bool disabled);
struct SpeedButtonLook {
    int frame = 1;
    int glyph = 1;  // image of the glyph strip, from 1
};
SpeedButtonLook SpeedButtonState(bool pressed, bool hot, bool disabled, bool down, int numGlyphs);
// Glyph and caption of a glyph button on its client area. The speed button
// centres a pair with a given spacing one pixel further on.
forms::TGlyphButtonLayout SkinGlyphLayout(forms::TLayoutSize client, forms::TLayoutSize glyph,
                                          forms::TLayoutSize text, forms::TButtonLayout layout, int margin,
                                          int spacing, bool speedButton);
// Check-box strip: 1 unchecked, 2 checked, 3 and 4 the same disabled; an
// indeterminate box shows 4.
int CheckBoxFrame(bool checked, bool indeterminate, bool disabled);
// Where the box goes in the control: centred vertically, a narrow box
// centred in 14 pixels at the left (or at the right with the text left).
SkinRect CheckBoxPlacement(const SkinRect& rect, int boxWidth, int boxHeight, bool textLeft);

// ---- Progress, up-down, combo box, status bar ---------------------------------

// Width filled at a position of 0..max; nothing unless both are above 0.
int ProgressFillWidth(int position, int maximum, int width);
// Copies of a chunk that fill the width (none for a chunk without width).
int ProgressChunkCopies(int filledWidth, int chunkWidth);
struct SkinHalves {
    SkinRect first;   // up or left arrow
    SkinRect second;  // down or right arrow
};
SkinHalves UpDownHalves(const SkinRect& client, bool horizontal);
// State of one half: 1, or with the cursor in it 2 pressed, 4 hot; 3 disabled.
int UpDownHalfState(bool cursorInside, bool pressed, bool disabled);
// Frame of an up-down strip of 8: state + 4 for the second arrow.
inline int UpDownFrame(int state, bool secondArrow) { return state + (secondArrow ? 4 : 0); }
// 2 pressed, 4 hot or focused, 1 enabled, 3 disabled.
int ComboState(bool pressed, bool hot, bool focused, bool enabled);
struct ComboRects {
    SkinRect edit;    // left out of the frame's clipping
    SkinRect button;  // the drop-down button
    SkinRect glyph;   // its arrow is centred here
};
// W x H window, A the scroll arrow's width; the button at the left with
// the left-scroll-bar style.
ComboRects ComboLayout(int width, int height, int arrow, bool leftScrollBar);
enum TStatusBevel { pbNone, pbLowered, pbRaised };
// StatusBarEdges frame: lowered 1, raised 2, none 3.
int StatusBevelFrame(TStatusBevel bevel);

// ---- Tabs ---------------------------------------------------------------------

// 0 top, 1 bottom, 2 left, 3 right, from a tab control's style.
int TabOrientation(uint32_t style);
// The strip holding the tabs: C the control, P the page area.
SkinRect TabStrip(int orientation, const SkinRect& control, const SkinRect& page);
// The work bitmap's size: the strip's, turned for tabs at the side.
void TabWorkSize(int orientation, const SkinRect& strip, int& width, int& height);
// A tab's rectangle in the work bitmap, from its control rectangle.
SkinRect TabItemInWork(int orientation, const SkinRect& item, const SkinRect& control, const SkinRect& page,
                       int workWidth);
// Tabs of a tab set that fit: for each tab from firstVisible, its
// rectangle, or an empty one for a tab that does not fit (later tabs are
// still tried).
std::vector<SkinRect> TabSetLayout(const std::vector<int>& textWidths, int firstVisible, int width, int height,
                                   int startMargin, int endMargin, bool scrollerVisible);

// ---- Scroll bars --------------------------------------------------------------

struct ScrollBarLayout {
    SkinRect horz, vert, sizeBox;
    int arrow = 0;
};
// W x H window with a client of clientW x clientH, A the arrow size, edge
// the system's edge width.
ScrollBarLayout LayoutScrollBars(int width, int height, int clientWidth, int clientHeight, int arrow, int edge,
                                 bool hasHorz, bool hasVert, bool leftScrollBar);
struct ScrollValues {
    int nMin = 0, nMax = 0, nPage = 0, nPos = 0;
};
struct ThumbGeometry {
    int track = 0;
    int size = 0;  // -1: the page is the whole range, no thumb
    int pos = 0;   // from the end of the first arrow
};
// The thumb of a bar's scroll values; false (geometry unchanged) for an
// empty range. minimum: the smallest proportional thumb.
bool ThumbOfScrollInfo(const ScrollValues& v, int track, int fixedThumb, int minimum, ThumbGeometry& g);
// The thumb of a scroll-bar control from Min, Max, PageSize, Position.
bool ThumbOfScrollControl(const ScrollValues& v, int track, int fixedThumb, int minimum, ThumbGeometry& g);
// The part under a point along the bar: 0 line up, 2 page up, 5 thumb,
// 3 page down, 1 line down, -1 beyond the bar.
int ScrollHitPart(int along, int arrow, const ThumbGeometry& g);
// Where a thumb dragged by delta pixels from startOffset puts the bar:
// the new offset and the scroll position, both clamped.
struct DragResult {
    int offset = 0;
    int pos = 0;
};
DragResult ThumbDrag(int startOffset, int delta, const ScrollValues& v, const ThumbGeometry& g);

// ---- Which skinner ------------------------------------------------------------

enum class SkinnerKind {
    None, Button, BitButton, SpeedButton, CheckBox, RadioButton, ComboBox, StatusBar, Box, UpDown, Tab, Tab31,
    Progress, TrackBar, Edit, Sizer, ScrollBar, ScrollControl, ListView, Header, Walk, ComboBoxEx
};
// A bare "button" window by its type (style & BS_TYPEMASK).
SkinnerKind RawButtonKind(uint32_t style);
// A bare child window by its lower-case class name and style.
SkinnerKind RawChildKind(const std::string& lowerClass, uint32_t style);

// What the choice needs to know of a framework control.
struct ControlTraits {
    std::string upperClass;  // class name in upper case
    int tag = 0;
    bool isTabControl = false, isPageControl = false, isCheckBox = false, isRadioGroup = false,
         isGroupBox = false, isRadioButton = false, isToolBar = false, isStatusBar = false, isProgress = false,
         isScrollBar = false, isComboBox = false, isBitBtn = false, isSpeedButton = false, isPanel = false,
         isListView = false, isMemo = false, isGrid = false, isButton = false, isEdit = false, isFrame = false,
         isForm = false;
    // Windowed with WS_HSCROLL or WS_VSCROLL, or a list box, memo, tree view
    // or scroll box.
    bool scrollable = false;
    bool pickerUpDown = false;  // a date-time picker in up-down mode
};
struct SkinChoice {
    SkinnerKind kind = SkinnerKind::None;
    int flag = 0;            // the attach flag
    bool byHandle = false;   // attached to the window, added to the list
    bool walk = false;       // the control's own controls are visited too
    bool flat = false;       // "Flat" set to True
    bool transparent = false;  // "Transparent" set to True
    bool recolour = false;     // Color set to the face colour, no skinner
    bool sizeGripOff = false;
    bool fixedColour = false;  // FixedColor set to the face colour
    bool childrenParentColour = false;
    SkinnerKind childKind = SkinnerKind::None;  // each child control's skinner
    bool handled = false;     // decided (Skin3rd names it), even with no skinner
};
// bits: the SkinControls set (bit n = member n of TSkinControlType).
SkinChoice ChooseControlSkinner(const ControlTraits& c, uint32_t skinControls, int disableTag, bool hasTabs,
                                const std::vector<std::string>& skin3rd);
// The kind Skin3rd gives an upper-case class name ("" when not listed).
std::string Skin3rdKind(const std::vector<std::string>& lines, const std::string& upperClass);

}  // namespace skin
