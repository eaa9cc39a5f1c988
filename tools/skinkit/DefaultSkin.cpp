#include "tools/skinkit/DefaultSkin.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <stdexcept>

namespace skinkit {

using skin::SkinPixels;

namespace {

constexpr uint32_t Rgb(int r, int g, int b) { return static_cast<uint32_t>(r | g << 8 | b << 16); }
constexpr uint32_t kMagenta = Rgb(255, 0, 255);
constexpr uint32_t kWhite = Rgb(255, 255, 255);

int R(uint32_t c) { return c & 0xFF; }
int G(uint32_t c) { return (c >> 8) & 0xFF; }
int B(uint32_t c) { return (c >> 16) & 0xFF; }

// a towards b by t (0..1).
uint32_t Mix(uint32_t a, uint32_t b, double t) {
    auto m = [t](int x, int y) { return static_cast<int>(std::lround(x + (y - x) * t)); };
    return Rgb(m(R(a), R(b)), m(G(a), G(b)), m(B(a), B(b)));
}

class Canvas {
public:
    explicit Canvas(SkinPixels& p) : m_p(p) {}

    void Set(int x, int y, uint32_t c) {
        if (x >= 0 && y >= 0 && x < m_p.width && y < m_p.height) m_p.SetPixel(x, y, c);
    }
    void Fill(int x, int y, int w, int h, uint32_t c) {
        for (int j = y; j < y + h; ++j)
            for (int i = x; i < x + w; ++i) Set(i, j, c);
    }
    void VGradient(int x, int y, int w, int h, uint32_t top, uint32_t bottom) {
        for (int j = 0; j < h; ++j) Fill(x, y + j, w, 1, Mix(top, bottom, h > 1 ? j / double(h - 1) : 0));
    }
    void HGradient(int x, int y, int w, int h, uint32_t left, uint32_t right) {
        for (int i = 0; i < w; ++i) Fill(x + i, y, 1, h, Mix(left, right, w > 1 ? i / double(w - 1) : 0));
    }
    // One-pixel bevel: light top and left, dark bottom and right.
    void Bevel(int x, int y, int w, int h, uint32_t light, uint32_t dark) {
        Fill(x, y, w, 1, light);
        Fill(x, y, 1, h, light);
        Fill(x, y + h - 1, w, 1, dark);
        Fill(x + w - 1, y, 1, h, dark);
    }
    void Box(int x, int y, int w, int h, uint32_t c) { Bevel(x, y, w, h, c, c); }
    void Circle(double cx, double cy, double r, uint32_t c) {
        for (int j = static_cast<int>(cy - r - 1); j <= cy + r + 1; ++j)
            for (int i = static_cast<int>(cx - r - 1); i <= cx + r + 1; ++i)
                if ((i - cx) * (i - cx) + (j - cy) * (j - cy) <= r * r) Set(i, j, c);
    }
    // A solid arrow pointing left, right, up or down, centred in the box.
    void Arrow(int x, int y, int w, int h, char dir, uint32_t c) {
        const bool horizontal = dir == 'l' || dir == 'r';
        const int across = horizontal ? h : w, along = horizontal ? w : h;
        const int base = std::max(1, std::min(across, 2 * along - 1) | 1);  // odd width at the base
        const int depth = (base + 1) / 2;
        const int x0 = x + (w - (horizontal ? depth : base)) / 2, y0 = y + (h - (horizontal ? base : depth)) / 2;
        for (int k = 0; k < depth; ++k) {
            const int half = k;  // the tip first
            for (int t = -half; t <= half; ++t) {
                const int mid = (base - 1) / 2;
                if (dir == 'u') Set(x0 + mid + t, y0 + k, c);
                else if (dir == 'd') Set(x0 + mid + t, y0 + depth - 1 - k, c);
                else if (dir == 'l') Set(x0 + k, y0 + mid + t, c);
                else Set(x0 + depth - 1 - k, y0 + mid + t, c);
            }
        }
    }
    void Cross(int x, int y, int size, uint32_t c) {
        for (int k = 0; k < size; ++k) {
            Fill(x + k, y + k, 2, 1, c);
            Fill(x + size - 1 - k, y + k, 2, 1, c);
        }
    }
    void Check(int x, int y, uint32_t c) {
        const int pts[][2] = {{0, 3}, {1, 4}, {2, 5}, {3, 4}, {4, 3}, {5, 2}, {6, 1}};
        for (auto& p : pts) Fill(x + p[0], y + p[1], 1, 2, c);
    }

private:
    SkinPixels& m_p;
};

// A strip of frames; draw(canvas, x, y, frame index from 0).
template <class F>
SkinPixels Strip(int fw, int fh, int frames, bool vertical, F draw) {
    SkinPixels p;
    p.Resize(vertical ? fw : fw * frames, vertical ? fh * frames : fh);
    Canvas c(p);
    for (int i = 0; i < frames; ++i) draw(c, vertical ? 0 : i * fw, vertical ? i * fh : 0, i);
    return p;
}

std::string Triple(uint32_t c) {
    return std::to_string(R(c)) + " " + std::to_string(G(c)) + " " + std::to_string(B(c));
}

// A button face by state: 0 normal, 1 pressed, 2 disabled, 3 hot.
void ButtonFace(Canvas& c, int x, int y, int w, int h, int state, const SkinPalette& p) {
    const uint32_t top[] = {p.light, p.facePressed, Mix(p.face, kWhite, 0.5), Mix(p.faceHot, kWhite, 0.5)};
    const uint32_t bottom[] = {p.face, Mix(p.facePressed, p.shadow, 0.3), Mix(p.face, kWhite, 0.3), p.faceHot};
    const uint32_t border[] = {p.dkShadow, p.dkShadow, p.shadow, p.accent};
    c.VGradient(x, y, w, h, top[state], bottom[state]);
    c.Box(x, y, w, h, border[state]);
}

std::string DescriptionText(const SkinPalette& p, bool isDefault) {
    // The default skin's colours are fixed so that nothing depends on the
    // system's; the shipped skins follow their palettes.
    const uint32_t face = isDefault ? Rgb(236, 236, 236) : p.face;
    const uint32_t hilight = isDefault ? Rgb(51, 102, 204) : p.accent;
    const uint32_t menu = isDefault ? Rgb(248, 248, 248) : p.menu;
    const uint32_t shadow = isDefault ? Rgb(160, 160, 160) : p.shadow;
    const uint32_t dk = isDefault ? Rgb(96, 96, 96) : p.dkShadow;
    const uint32_t scroll = isDefault ? Rgb(220, 220, 220) : p.trough;
    std::string s;
    auto line = [&](const std::string& l) { s += l + "\r\n"; };
    line("[TitlebarSkin]");
    line("SkinName=" + p.skinName);
    line("");
    line("[Personality]");
    const char* sides[] = {"Left", "Right", "Top", "Bottom"};
    const int first[] = {26, 26, 8, 4}, last[] = {4, 4, 8, 4};
    for (int i = 0; i < 4; ++i) {
        std::string side = sides[i], lower = side;
        lower[0] = static_cast<char>(lower[0] - 'A' + 'a');
        line(side + "=" + lower + ".bmp");
        line(side + "Frame=2");
        line(side + "TopHeight=" + std::to_string(first[i]));
        line(side + "BotHeight=" + std::to_string(last[i]));
        line(side + "Stretch=1");
        line(side + "Trans=0");
    }
    line("menuBar=menubar.bmp");
    line("TileMenu=0");
    line("TileLeftMenu=2");
    line("TileRightMenu=2");
    line("TextShift=26");
    line("TextShiftVert=0");
    line("TextRightClip=60");
    line("TextAlignment=0");
    line("Textbackground=0");
    line("TXTBackleft=0");
    line("TXTBackRight=0");
    for (const char* k : {"ActiveTextR=255", "ActiveTextG=255", "ActiveTextB=255", "InActiveTextR=200",
                          "InActiveTextG=200", "InActiveTextB=200"})
        line(k);
    line("");
    line("[Fonts]");
    line("FontHeight=14");
    line("");
    line("[Colours]");
    line("WindowText=0 0 0");
    line("ButtonFace=" + Triple(face));
    line("Scrollbar=" + Triple(scroll));
    line("HilightText=255 255 255");
    line("Hilight=" + Triple(hilight));
    line("Menubar=" + Triple(face));
    line("Menu=" + Triple(menu));
    line("MenuText=0 0 0");
    line("MenuBarText=0 0 0");
    line("ButtonText=0 0 0");
    line("ButtonHilight=255 255 255");
    line("Buttonlight=255 255 255");
    line("ButtonShadow=" + Triple(shadow));
    line("ButtonDkShadow=" + Triple(dk));
    line("TitleTextActive=255 255 255");
    line("TitleTextNoActive=200 200 200");
    struct TitleButton {
        const char* section;
        int action, align, x, y, vis, vis1;
        const char* image;
    };
    const TitleButton buttons[] = {{"Button.Close", 0, 1, 22, 6, 0, 0, "close.bmp"},
                                   {"Button.Max", 1, 1, 40, 6, 6, 2, "max.bmp"},
                                   {"Button.Restore", 1, 1, 40, 6, 6, 1, "restore.bmp"},
                                   {"Button.Min", 2, 1, 58, 6, 8, 0, "min.bmp"}};
    for (const TitleButton& b : buttons) {
        line("");
        line(std::string("[") + b.section + "]");
        line("Action=" + std::to_string(b.action));
        line("Align=" + std::to_string(b.align));
        line("Xcoord=" + std::to_string(b.x));
        line("Ycoord=" + std::to_string(b.y));
        line("Visibility=" + std::to_string(b.vis));
        line("Visibility1=" + std::to_string(b.vis1));
        line("frame=4");
        line(std::string("ButtonImage=") + b.image);
    }
    line("");
    line("[Button.Icon]");
    for (const char* k : {"Action=3", "Align=0", "Xcoord=6", "Ycoord=5"}) line(k);
    line("");
    line("[Buttons]");
    for (const char* k : {"Bitmap=button.bmp", "LeftWidth=4", "RightWidth=4", "TopHeight=4", "BottomHeight=4",
                          "Trans=0", "Tile=0", "NormalColour=0", "MouseOverColour=6697728", "PressedColour=0",
                          "CheckButton=check.bmp", "CheckButtonFrame=4", "RadioButton=radio.bmp",
                          "RadioButtonFrame=4"})
        line(k);
    auto section = [&](const char* name, std::initializer_list<const char*> keys) {
        line("");
        line(std::string("[") + name + "]");
        for (const char* k : keys) line(k);
    };
    const char* margins2[] = {"LeftWidth=2", "RightWidth=2", "TopHeight=2", "BottomHeight=2"};
    auto withMargins = [&](const char* name, const char* const* m, std::initializer_list<const char*> keys) {
        line("");
        line(std::string("[") + name + "]");
        auto it = keys.begin();
        line(*it++);  // the image first
        for (int i = 0; i < 4; ++i) line(m[i]);
        for (; it != keys.end(); ++it) line(*it);
    };
    withMargins("Progress", margins2, {"Bitmap=progress.bmp", "Style=0", "Trans=0", "Tile=0"});
    section("Tabs", {"Image=tabs.bmp", "Border=tabborder.bmp", "LeftWidth=4", "RightWidth=4", "TopHeight=4",
                     "BottomHeight=2", "Trans=1", "Tile=0", "NormalColour=0", "MouseOverColour=0"});
    withMargins("StatusBarEdges", margins2, {"Image=statusbar.bmp", "Tile=0", "Trans=0", "NormalColour=0"});
    withMargins("ComboButton", margins2, {"Image=combobtn.bmp", "Style=0", "Trans=0"});
    withMargins("SunkEdge", margins2, {"Image=sunkedge.bmp", "Tile=0"});
    section("ExtraImages", {"Image=extra.bmp", "Trans=1"});
    withMargins("Headerbar", margins2, {"Image=header.bmp", "Tile=0"});
    withMargins("MenuItem", margins2, {"Image=menuitem.bmp", "Trans=1", "Tile=0"});
    const char* margins3[] = {"LeftWidth=3", "RightWidth=3", "TopHeight=3", "BottomHeight=3"};
    withMargins("MenuBackground", margins3, {"Image=menubg.bmp", "Tile=0", "Trans=0"});
    section("Scrollbar", {"Image=scrollbar.bmp", "Trans=1"});
    const char* margins1[] = {"LeftWidth=1", "RightWidth=1", "TopHeight=1", "BottomHeight=1"};
    withMargins("HorzScroll", margins1, {"Image=hscroll.bmp", "Tile=0", "Trans=0"});
    withMargins("VertScroll", margins1, {"Image=vscroll.bmp", "Tile=0", "Trans=0"});
    section("HorzScrollThumb", {"Image=hthumb.bmp", "FrameCount=3", "LeftWidth=3", "RightWidth=3", "TopHeight=2",
                                "BottomHeight=2", "Trans=0"});
    section("VertScrollThumb", {"Image=vthumb.bmp", "FrameCount=3", "LeftWidth=2", "RightWidth=2", "TopHeight=3",
                                "BottomHeight=3", "Trans=0"});
    section("UpDown.Vert", {"Image=updownv.bmp", "GlyphImage=updownv_glyph.bmp", "Trans=1"});
    section("UpDown.Horz", {"Image=updownh.bmp", "GlyphImage=updownh_glyph.bmp", "Trans=1"});
    section("Trackbar.ThumbHorz", {"Image=trackh.bmp", "Trans=1"});
    section("Trackbar.ThumbVert", {"Image=trackv.bmp", "Trans=1"});
    return s;
}

SkinPixels DrawStrip(const StripInfo& s, const SkinPalette& p) {
    const int fw = s.frameWidth, fh = s.frameHeight;
    const std::string name = s.name;
    auto strip = [&](auto draw) { return Strip(fw, fh, s.frames, s.vertical, draw); };
    const uint32_t disabledText = p.shadow;

    if (name == "left.bmp" || name == "right.bmp")
        return strip([&](Canvas& c, int x, int y, int i) {
            // The top rows carry on the title bar's gradient.
            c.VGradient(x, y, fw, 26, i ? p.inactiveTop : p.titleTop, i ? p.inactiveBottom : p.titleBottom);
            c.Fill(x, y + 26, fw, fh - 26, i ? p.frameInactive : p.frame);
            const int edge = name == "left.bmp" ? x : x + fw - 1;
            c.Fill(edge, y, 1, fh, Mix(i ? p.frameInactive : p.frame, Rgb(0, 0, 0), 0.35));
        });
    if (name == "top.bmp")
        return strip([&](Canvas& c, int x, int y, int i) {
            c.VGradient(x, y, fw, fh, i ? p.inactiveTop : p.titleTop, i ? p.inactiveBottom : p.titleBottom);
            c.Fill(x, y, fw, 1, Mix(i ? p.inactiveTop : p.titleTop, kWhite, 0.4));
        });
    if (name == "bottom.bmp")
        return strip([&](Canvas& c, int x, int y, int i) {
            c.Fill(x, y, fw, fh, i ? p.frameInactive : p.frame);
            c.Fill(x, y + fh - 1, fw, 1, Mix(i ? p.frameInactive : p.frame, Rgb(0, 0, 0), 0.35));
        });
    if (name == "menubar.bmp")
        return strip([&](Canvas& c, int x, int y, int i) {
            c.VGradient(x, y, fw, fh, i ? p.face : p.light, p.face);
            c.Fill(x, y + fh - 1, fw, 1, p.shadow);
        });
    if (name == "close.bmp" || name == "max.bmp" || name == "restore.bmp" || name == "min.bmp")
        return strip([&](Canvas& c, int x, int y, int i) {
            // 1 normal, 2 pressed, 3 hot, 4 inactive.
            const uint32_t base = i == 3 ? p.inactiveBottom : p.titleBottom;
            const uint32_t fill[] = {Mix(base, kWhite, 0.25), Mix(base, Rgb(0, 0, 0), 0.25), Mix(base, kWhite, 0.45),
                                     Mix(base, kWhite, 0.15)};
            c.VGradient(x, y, fw, fh, Mix(fill[i], kWhite, 0.2), fill[i]);
            c.Box(x, y, fw, fh, Mix(base, Rgb(0, 0, 0), 0.45));
            for (int cx : {x, x + fw - 1})
                for (int cy : {y, y + fh - 1}) c.Set(cx, cy, kMagenta);
            const uint32_t glyph = i == 3 ? Rgb(210, 210, 210) : kWhite;
            if (name == "close.bmp") c.Cross(x + 4, y + 3, 7, glyph);
            else if (name == "max.bmp") {
                c.Box(x + 4, y + 3, 8, 8, glyph);
                c.Fill(x + 4, y + 4, 8, 1, glyph);
            } else if (name == "restore.bmp") {
                c.Box(x + 6, y + 2, 6, 6, glyph);
                c.Fill(x + 4, y + 5, 6, 6, fill[i]);
                c.Box(x + 4, y + 5, 6, 6, glyph);
            } else {
                c.Fill(x + 4, y + 9, 8, 2, glyph);
            }
        });
    if (name == "button.bmp")
        return strip([&](Canvas& c, int x, int y, int i) { ButtonFace(c, x, y, fw, fh, std::min(i, 3), p); });
    if (name == "check.bmp")
        return strip([&](Canvas& c, int x, int y, int i) {
            const bool disabled = i >= 2, checked = i % 2 == 1;
            c.Fill(x, y, fw, fh, disabled ? p.face : kWhite);
            c.Box(x, y, fw, fh, disabled ? p.shadow : p.dkShadow);
            if (checked) c.Check(x + 3, y + 2, disabled ? disabledText : p.accent);
        });
    if (name == "radio.bmp")
        return strip([&](Canvas& c, int x, int y, int i) {
            const bool disabled = i >= 2, checked = i % 2 == 1;
            c.Fill(x, y, fw, fh, kMagenta);
            c.Circle(x + 6, y + 6, 6.2, disabled ? p.shadow : p.dkShadow);
            c.Circle(x + 6, y + 6, 5.0, disabled ? p.face : kWhite);
            if (checked) c.Circle(x + 6, y + 6, 2.3, disabled ? disabledText : p.accent);
        });
    if (name == "progress.bmp")
        return strip([&](Canvas& c, int x, int y, int i) {
            if (i == 0) {
                // The frame is stretched over the whole bar: edges only
                // along its length, or they would widen with it.
                c.Fill(x, y, fw, fh, p.trough);
                c.Fill(x, y, fw, 1, p.shadow);
                c.Fill(x, y + fh - 1, fw, 1, kWhite);
            } else {
                c.VGradient(x, y, fw, fh, Mix(p.accent, kWhite, 0.45), p.accent);
            }
        });
    if (name == "tabs.bmp")
        return strip([&](Canvas& c, int x, int y, int i) {
            const bool selected = i == 1;
            c.VGradient(x, y, fw, fh, selected ? kWhite : p.light, selected ? Mix(p.face, kWhite, 0.6) : p.face);
            c.Fill(x, y, fw, 1, p.shadow);
            c.Fill(x, y, 1, fh, p.shadow);
            c.Fill(x + fw - 1, y, 1, fh, p.shadow);
            if (selected) c.Fill(x + 1, y + 1, fw - 2, 2, p.accent);
            else c.Fill(x, y + fh - 1, fw, 1, p.shadow);
            for (int k = 0; k < 2; ++k) {
                c.Fill(x, y + k, 2 - k, 1, kMagenta);
                c.Fill(x + fw - 2 + k, y + k, 2 - k, 1, kMagenta);
            }
        });
    if (name == "tabborder.bmp")
        return strip([&](Canvas& c, int x, int y, int) {
            c.Fill(x, y, fw, fh, Mix(p.face, kWhite, 0.6));
            c.Box(x, y, fw, fh, p.shadow);
        });
    if (name == "statusbar.bmp")
        return strip([&](Canvas& c, int x, int y, int i) {
            c.Fill(x, y, fw, fh, p.face);
            if (i == 0) c.Bevel(x, y, fw, fh, p.shadow, kWhite);
            else if (i == 1) c.Bevel(x, y, fw, fh, kWhite, p.shadow);
        });
    if (name == "combobtn.bmp")
        return strip([&](Canvas& c, int x, int y, int i) {
            const int state[] = {0, 1, 2, 3};
            ButtonFace(c, x, y, fw, fh, state[i], p);
        });
    if (name == "sunkedge.bmp")
        return strip([&](Canvas& c, int x, int y, int i) {
            c.Fill(x, y, fw, fh, i == 2 ? p.face : kWhite);
            c.Box(x, y, fw, fh, i == 1 || i == 3 ? p.accent : p.shadow);
        });
    if (name == "extra.bmp")
        return strip([&](Canvas& c, int x, int y, int i) {
            c.Fill(x, y, fw, fh, kMagenta);
            if (i < 4) {
                const uint32_t colour[] = {p.text, p.text, disabledText, p.accent};
                c.Arrow(x + 2, y + 3, 8, 5, 'd', colour[i]);
            } else {
                for (int k = 0; k < 3; ++k)
                    for (int j = 0; j <= k; ++j) c.Fill(x + 10 - 3 * j, y + 4 + 3 * k - 3 * j + 0, 2, 2, p.shadow);
            }
        });
    if (name == "header.bmp")
        return strip([&](Canvas& c, int x, int y, int) {
            c.VGradient(x, y, fw, fh, kWhite, p.face);
            c.Fill(x, y + fh - 1, fw, 1, p.shadow);
            c.Fill(x + fw - 1, y + 3, 1, fh - 6, p.shadow);
        });
    if (name == "menuitem.bmp")
        return strip([&](Canvas& c, int x, int y, int i) {
            c.Fill(x, y, fw, fh, kMagenta);
            if (i == 1) {
                c.Fill(x + 2, y + 13, fw - 4, 1, p.shadow);
                c.Fill(x + 2, y + 14, fw - 4, 1, kWhite);
            } else if (i == 3 || i == 4) {
                c.VGradient(x, y, fw, fh, Mix(p.accent, kWhite, 0.55), Mix(p.accent, kWhite, 0.35));
                c.Box(x, y, fw, fh, p.accent);
            }
        });
    if (name == "menubg.bmp")
        return strip([&](Canvas& c, int x, int y, int) {
            c.Fill(x, y, fw, fh, p.menu);
            c.Box(x, y, fw, fh, p.dkShadow);
            c.Box(x + 1, y + 1, fw - 2, fh - 2, kWhite);
            c.Box(x + 2, y + 2, fw - 4, fh - 4, p.menu);
        });
    if (name == "scrollbar.bmp")
        return strip([&](Canvas& c, int x, int y, int i) {
            const char dirs[] = {'l', 'r', 'u', 'd'};
            const int dir = i < 16 ? i / 4 : 0;
            const int state = i < 16 ? i % 4 : 0;
            const bool hot = state == 1 || state == 2;
            c.Fill(x, y, fw, fh, kMagenta);
            c.VGradient(x + 1, y + 1, fw - 2, fh - 2, hot ? Mix(p.faceHot, kWhite, 0.5) : p.light,
                        hot ? p.faceHot : p.face);
            c.Box(x + 1, y + 1, fw - 2, fh - 2, hot ? p.accent : p.shadow);
            c.Arrow(x + 4, y + 4, 8, 8, dirs[dir], p.text);
        });
    if (name == "hscroll.bmp" || name == "vscroll.bmp")
        return strip([&](Canvas& c, int x, int y, int) {
            c.Fill(x, y, fw, fh, p.trough);
            if (name == "hscroll.bmp") c.Fill(x, y, fw, 1, p.shadow);
            else c.Fill(x, y, 1, fh, p.shadow);
        });
    if (name == "hthumb.bmp" || name == "vthumb.bmp")
        return strip([&](Canvas& c, int x, int y, int i) {
            const uint32_t a[] = {p.light, Mix(p.faceHot, kWhite, 0.5), p.facePressed};
            const uint32_t b[] = {p.face, p.faceHot, Mix(p.facePressed, p.shadow, 0.3)};
            if (name == "hthumb.bmp") c.VGradient(x, y, fw, fh, a[i], b[i]);
            else c.HGradient(x, y, fw, fh, a[i], b[i]);
            c.Box(x, y, fw, fh, i == 1 ? p.accent : p.shadow);
            for (int k = -2; k <= 2; k += 2) {
                if (name == "hthumb.bmp") c.Fill(x + fw / 2 + k, y + 5, 1, fh - 10, p.shadow);
                else c.Fill(x + 5, y + fh / 2 + k, fw - 10, 1, p.shadow);
            }
        });
    if (name == "updownv.bmp" || name == "updownh.bmp")
        return strip([&](Canvas& c, int x, int y, int i) { ButtonFace(c, x, y, fw, fh, i % 4, p); });
    if (name == "updownv_glyph.bmp" || name == "updownh_glyph.bmp")
        return strip([&](Canvas& c, int x, int y, int i) {
            c.Fill(x, y, fw, fh, kMagenta);
            const bool first = i < 4;
            const char dir = name == "updownv_glyph.bmp" ? (first ? 'u' : 'd') : (first ? 'l' : 'r');
            c.Arrow(x, y, fw, fh, dir, i % 4 == 2 ? disabledText : p.text);
        });
    if (name == "trackh.bmp" || name == "trackv.bmp")
        return strip([&](Canvas& c, int x, int y, int i) {
            c.Fill(x, y, fw, fh, kMagenta);
            const int state[] = {0, 3, 1, 2, 3};
            ButtonFace(c, x + 1, y + 1, fw - 2, fh - 2, state[i], p);
        });
    throw std::logic_error("no drawing for " + name);
}

}  // namespace

SkinPalette DefaultPalette() {
    SkinPalette p;
    p.skinName = "Corvane Blue";
    p.titleTop = Rgb(92, 140, 222);
    p.titleBottom = Rgb(40, 86, 170);
    p.inactiveTop = Rgb(170, 178, 192);
    p.inactiveBottom = Rgb(128, 136, 152);
    p.frame = Rgb(40, 86, 170);
    p.frameInactive = Rgb(128, 136, 152);
    p.face = Rgb(236, 236, 236);
    p.faceHot = Rgb(214, 228, 248);
    p.facePressed = Rgb(200, 206, 216);
    p.light = Rgb(252, 252, 252);
    p.shadow = Rgb(160, 160, 160);
    p.dkShadow = Rgb(96, 96, 96);
    p.accent = Rgb(51, 102, 204);
    p.text = Rgb(0, 0, 0);
    p.menu = Rgb(248, 248, 248);
    p.trough = Rgb(220, 220, 220);
    return p;
}

std::vector<std::string> ShippedSkinNames() { return {"slate", "meadow"}; }

SkinPalette ShippedPalette(const std::string& name) {
    SkinPalette p = DefaultPalette();
    if (name == "slate") {
        p.skinName = "Slate";
        p.titleTop = Rgb(96, 100, 108);
        p.titleBottom = Rgb(52, 56, 64);
        p.frame = Rgb(52, 56, 64);
        p.face = Rgb(214, 216, 220);
        p.faceHot = Rgb(232, 226, 212);
        p.facePressed = Rgb(184, 186, 192);
        p.light = Rgb(240, 241, 243);
        p.shadow = Rgb(140, 142, 148);
        p.dkShadow = Rgb(70, 72, 78);
        p.accent = Rgb(214, 122, 34);
        p.menu = Rgb(232, 233, 236);
        p.trough = Rgb(196, 198, 202);
    } else if (name == "meadow") {
        p.skinName = "Meadow";
        p.titleTop = Rgb(120, 186, 104);
        p.titleBottom = Rgb(46, 122, 52);
        p.frame = Rgb(46, 122, 52);
        p.face = Rgb(234, 240, 226);
        p.faceHot = Rgb(214, 236, 200);
        p.facePressed = Rgb(198, 212, 186);
        p.light = Rgb(250, 252, 246);
        p.shadow = Rgb(150, 164, 140);
        p.dkShadow = Rgb(80, 98, 72);
        p.accent = Rgb(58, 140, 64);
        p.menu = Rgb(246, 249, 242);
        p.trough = Rgb(214, 222, 206);
    } else {
        throw std::invalid_argument("no shipped skin " + name);
    }
    return p;
}

const std::vector<StripInfo>& SkinStrips() {
    static const std::vector<StripInfo> strips = {
        {"left.bmp", 2, false, 4, 64},          {"right.bmp", 2, false, 4, 64},
        {"top.bmp", 2, true, 64, 26},           {"bottom.bmp", 2, true, 64, 4},
        {"menubar.bmp", 2, true, 32, 20},       {"close.bmp", 4, false, 16, 14},
        {"max.bmp", 4, false, 16, 14},          {"restore.bmp", 4, false, 16, 14},
        {"min.bmp", 4, false, 16, 14},          {"button.bmp", 5, false, 24, 22},
        {"check.bmp", 4, false, 13, 13},        {"radio.bmp", 4, false, 13, 13},
        {"progress.bmp", 2, false, 16, 16},     {"tabs.bmp", 5, false, 32, 22},
        {"tabborder.bmp", 1, false, 16, 16},    {"statusbar.bmp", 3, false, 16, 16},
        {"combobtn.bmp", 4, false, 18, 20},     {"sunkedge.bmp", 4, false, 20, 20},
        {"extra.bmp", 5, false, 12, 12},        {"header.bmp", 5, false, 20, 20},
        {"menuitem.bmp", 5, false, 24, 18},     {"menubg.bmp", 1, false, 32, 32},
        {"scrollbar.bmp", 23, false, 16, 16},   {"hscroll.bmp", 4, false, 16, 16},
        {"vscroll.bmp", 4, false, 16, 16},      {"hthumb.bmp", 3, false, 16, 16},
        {"vthumb.bmp", 3, false, 16, 16},       {"updownv.bmp", 8, false, 16, 10},
        {"updownv_glyph.bmp", 8, false, 7, 4},  {"updownh.bmp", 8, false, 10, 16},
        {"updownh_glyph.bmp", 8, false, 4, 7},  {"trackh.bmp", 5, false, 11, 20},
        {"trackv.bmp", 5, false, 20, 11},
    };
    return strips;
}

std::vector<SkinEntry> BuildSkinEntries(const SkinPalette& palette) {
    const bool isDefault = palette.skinName == DefaultPalette().skinName;
    std::vector<SkinEntry> entries;
    const std::string ini = DescriptionText(palette, isDefault);
    entries.push_back({"default.ini", std::vector<uint8_t>(ini.begin(), ini.end())});
    for (const StripInfo& s : SkinStrips()) entries.push_back({s.name, EncodeBmp(DrawStrip(s, palette))});
    return entries;
}

std::vector<uint8_t> EncodeBmp(const SkinPixels& pixels) {
    const size_t stride = (static_cast<size_t>(pixels.width) * 3 + 3) & ~size_t(3);
    const size_t imageSize = stride * pixels.height;
    std::vector<uint8_t> out;
    auto u16 = [&](uint32_t v) {
        out.push_back(static_cast<uint8_t>(v));
        out.push_back(static_cast<uint8_t>(v >> 8));
    };
    auto u32 = [&](uint32_t v) {
        u16(v & 0xFFFF);
        u16(v >> 16);
    };
    out.push_back('B');
    out.push_back('M');
    u32(static_cast<uint32_t>(54 + imageSize));
    u32(0);
    u32(54);
    u32(40);
    u32(static_cast<uint32_t>(pixels.width));
    u32(static_cast<uint32_t>(pixels.height));
    u16(1);
    u16(24);
    u32(0);
    u32(static_cast<uint32_t>(imageSize));
    u32(2835);
    u32(2835);
    u32(0);
    u32(0);
    for (int y = pixels.height - 1; y >= 0; --y) {
        const uint8_t* row = pixels.Row(y);
        out.insert(out.end(), row, row + pixels.width * 3);
        out.insert(out.end(), stride - pixels.width * 3, 0);
    }
    return out;
}

SkinPixels MenuGlyphs() {
    return Strip(16, 16, 4, false, [](Canvas& c, int x, int y, int i) {
        c.Fill(x, y, 16, 16, kWhite);
        const uint32_t ink = Rgb(0, 0, 0);
        switch (i) {
        case 0:  // restore
            c.Box(x + 6, y + 3, 7, 6, ink);
            c.Fill(x + 6, y + 4, 7, 1, ink);
            c.Fill(x + 3, y + 6, 7, 6, kWhite);
            c.Box(x + 3, y + 6, 7, 6, ink);
            c.Fill(x + 3, y + 7, 7, 1, ink);
            break;
        case 1:  // maximise
            c.Box(x + 3, y + 3, 10, 9, ink);
            c.Fill(x + 3, y + 4, 10, 1, ink);
            break;
        case 2:  // minimise
            c.Fill(x + 4, y + 10, 7, 2, ink);
            break;
        default:  // close
            c.Cross(x + 4, y + 4, 7, ink);
        }
    });
}

}  // namespace skinkit
