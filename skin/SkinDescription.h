// The skin description: the ini-style text entry of a skin archive, parsed
// into the element records that every painter reads (never the text). The
// records own their bitmaps, decoded from the archive's BMP entries.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "skin/SkinPixels.h"

namespace skin {

class TSkinReader;

// 0x00BBGGRR, or a system colour: kSystemColour plus the COLOR_ index,
// resolved when painted.
using SkinColour = uint32_t;
constexpr SkinColour kSystemColour = 0x80000000u;
constexpr SkinColour kNoTextColour = 0x1FFFFFFFu;
// The COLOR_ indexes the description's defaults use.
enum SystemColourIndex : uint32_t {
    kScrollBarIndex = 0,
    kMenuIndex = 4,
    kMenuTextIndex = 7,
    kWindowTextIndex = 8,
    kCaptionTextIndex = 9,
    kHighlightIndex = 13,
    kHighlightTextIndex = 14,
    kButtonFaceIndex = 15,
    kButtonShadowIndex = 16,
    kButtonTextIndex = 18,
    kInactiveCaptionTextIndex = 19,
    kButtonHighlightIndex = 20,
};

class TDataSkinObject {
public:
    explicit TDataSkinObject(std::string name) : Name(std::move(name)) {}
    virtual ~TDataSkinObject() = default;

    int LeftWidth = 0;
    int TopHeight = 0;
    int RightWidth = 0;
    int BottomHeight = 0;
    SkinPixels Bitmap;
    int Trans = 0;  // non-zero: magenta pixels are transparent
    int Tile = 0;   // 1 tiles the middle, 0 stretches it
    std::string Name;
    int FrameCount = 0;  // equal-width frames side by side in Bitmap, at least 1
    int Style = 0;
    int NormalColour = -1;
    int MouseOverColour = -1;
    int PressedColour = -1;
    SkinColour NormalColour2 = 0;
    SkinColour MouseOverColour2 = 0;
    SkinColour PressedColour2 = 0;
};

class TDataSkinBorder : public TDataSkinObject {
public:
    using TDataSkinObject::TDataSkinObject;
    SkinPixels Bitmap2;
};

class TDataSkinButton : public TDataSkinObject {
public:
    using TDataSkinObject::TDataSkinObject;
    SkinPixels CheckBitmap;
    SkinPixels RadioBitmap;
    int RadioFrameCount = 0;
    int CheckFrameCount = 0;
};

// The title-bar text: LeftWidth holds TextShift, TopHeight TextShiftVert,
// RightWidth TextRightClip, Bitmap the TextBack picture.
class TDataSkinTitle : public TDataSkinObject {
public:
    using TDataSkinObject::TDataSkinObject;
    int TextAlignment = 0;
    int TextBackground = 0;
    int FontHeight = 14;
    int TextBackLeft = 0;
    int TextBackRight = 0;
    SkinColour ActiveTextColour = kNoTextColour;
    SkinColour InactiveTextColour = kNoTextColour;
};

// One title-bar or MDI button.
class TDataSkinSysButton : public TDataSkinObject {
public:
    using TDataSkinObject::TDataSkinObject;
    int Action = 0;
    int Align = 0;
    int Xcoord = 0;
    int Ycoord = 0;
    int CombineOp = -1;
    int Visibility = 0;
    int Visibility1 = 0;
};

// Everything one parse yields. The borders, Title and Buttons always exist;
// the other slots stay empty when their section or image is absent.
struct SkinElements {
    SkinElements();

    std::string SkinName;

    SkinColour WindowTextColour, ButtonFaceColour, ScrollbarColour, HilightTextColour, HilightColour,
        MenubarColour, MenuColour, MenuTextColour, ButtonTextColour, ButtonHilightColour, ButtonLightColour,
        ButtonShadowColour, ButtonDkShadowColour, MenuBarTextColour, TitleTextActiveColour, TitleTextNoActiveColour;
    std::vector<SkinColour> ColourTable;

    std::unique_ptr<TDataSkinBorder> BorderLeft, BorderRight, BorderTop, BorderBottom;
    std::unique_ptr<TDataSkinTitle> Title;
    std::unique_ptr<TDataSkinButton> Buttons;
    std::unique_ptr<TDataSkinObject> MenuBar;
    std::unique_ptr<TDataSkinBorder> Progress;
    std::unique_ptr<TDataSkinObject> GroupBoxEdge, Toolbars;
    std::unique_ptr<TDataSkinBorder> Tabs;
    std::unique_ptr<TDataSkinObject> StatusBarEdges;
    std::unique_ptr<TDataSkinBorder> ComboButton;
    std::unique_ptr<TDataSkinObject> SunkEdge, ExtraImages, Headerbar, MenuItem, MenuBackground, Scrollbar,
        HorzScroll, VertScroll, HorzScrollThumb, VertScrollThumb, TrackbarThumbHorz, TrackbarThumbVert,
        TrackbarThumbLeft, TrackbarThumbRight, TrackbarThumbUp, TrackbarThumbDown;
    std::unique_ptr<TDataSkinBorder> UpDownHorz, UpDownVert;
    std::vector<std::unique_ptr<TDataSkinSysButton>> SysButtons;
};

// Parses the description text, fetching the bitmaps it names from the
// archive. Absent sections and keys give their defaults; nothing fails.
void ParseSkinDescription(const std::string& text, const TSkinReader& archive, SkinElements& into);

// "R G B" text as the description writes colours; fallback when empty.
SkinColour ParseRgbText(const std::string& text, SkinColour fallback);

}  // namespace skin
