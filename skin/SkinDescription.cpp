#include "skin/SkinDescription.h"

#include <algorithm>
#include <unordered_map>

#include "framework/core/Utf.h"
#include "framework/forms/SysUtils.h"
#include "skin/SkinArchive.h"

namespace skin {

namespace {

// The description read as the profile functions read an ini file: names
// without regard to case, values trimmed and unquoted, the first of
// repeated sections or keys counting. Indexed once, so that a description
// with many sections costs no more than its length.
class IniIndex {
public:
    explicit IniIndex(const std::string& text) {
        Section* current = nullptr;
        size_t start = 0;
        while (start < text.size()) {
            size_t end = text.find('\n', start);
            if (end == std::string::npos) end = text.size();
            const std::string line = text.substr(start, end - start);
            start = end + 1;
            size_t i = 0;
            while (i < line.size() && IsBlank(line[i])) ++i;
            if (i < line.size() && line[i] == '[') {
                const size_t close = line.find(']', i + 1);
                if (close == std::string::npos) continue;
                const std::string name = Trim(line.substr(i + 1, close - i - 1));
                auto [it, fresh] = m_sections.try_emplace(core::AsciiLower(name));
                current = fresh ? &it->second : nullptr;
                if (fresh) m_order.push_back(name);
                continue;
            }
            if (!current || (i < line.size() && line[i] == ';')) continue;
            const size_t eq = line.find('=', i);
            if (eq == std::string::npos) continue;
            const std::string key = Trim(line.substr(i, eq - i));
            if (key.empty()) continue;
            std::string value = Trim(line.substr(eq + 1));
            if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
            current->try_emplace(core::AsciiLower(key), std::move(value));
        }
    }

    // Section names in file order.
    const std::vector<std::string>& Sections() const { return m_order; }

    std::string String(const std::string& section, const std::string& key) const {
        const auto s = m_sections.find(core::AsciiLower(section));
        if (s == m_sections.end()) return std::string();
        const auto k = s->second.find(core::AsciiLower(key));
        return k == s->second.end() ? std::string() : k->second;
    }

    int Integer(const std::string& section, const std::string& key, int fallback) const {
        const std::string v = String(section, key);
        return v.empty() ? fallback : forms::StrToIntDef(core::Utf8ToUtf16(v), fallback);
    }

private:
    using Section = std::unordered_map<std::string, std::string>;
    static bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\0'; }
    static std::string Trim(const std::string& s) {
        size_t b = 0, e = s.size();
        while (b < e && IsBlank(s[b])) ++b;
        while (e > b && IsBlank(s[e - 1])) --e;
        return s.substr(b, e - b);
    }
    std::unordered_map<std::string, Section> m_sections;
    std::vector<std::string> m_order;
};

std::string UpperAscii(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

bool StartsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

class Parser {
public:
    Parser(const std::string& text, const TSkinReader& archive, SkinElements& e) : m_ini(text), m_archive(archive), m_e(e) {}

    void Run() {
        m_e.SkinName = m_ini.String("TitlebarSkin", "SkinName");
        const char* sides[] = {"Left", "Right", "Top", "Bottom"};
        TDataSkinBorder* borders[] = {m_e.BorderLeft.get(), m_e.BorderRight.get(), m_e.BorderTop.get(),
                                      m_e.BorderBottom.get()};
        for (int i = 0; i < 4; ++i) ReadBorder(sides[i], *borders[i], i >= 2);
        ReadColours();
        ReadSysButtons();
        ReadPushButtons();
        ReadTitle();

        m_e.Progress = ReadChunked("Progress");
        ReadMenuBar();
        m_e.GroupBoxEdge = ReadImage("GroupBoxEdge");
        m_e.Toolbars = ReadImage("Toolbars");
        m_e.Tabs = ReadImageWith("Tabs", "Border");
        m_e.StatusBarEdges = ReadImage("StatusBarEdges");
        m_e.ComboButton = ReadImageWith("ComboButton", nullptr);
        // The combo button's mirror image, for drop-down arrows on the left:
        // each of its four frames mirrored in place, in the same order.
        if (m_e.ComboButton && !m_e.ComboButton->Bitmap.Empty()) {
            m_e.ComboButton->Bitmap2 = m_e.ComboButton->Bitmap;
            MirrorFramesPixels(m_e.ComboButton->Bitmap2, 4);
        }
        m_e.SunkEdge = ReadImage("SunkEdge");
        m_e.ExtraImages = ReadImage("ExtraImages");
        m_e.Headerbar = ReadImage("Headerbar");
        m_e.MenuItem = ReadImage("MenuItem");
        m_e.MenuBackground = ReadImage("MenuBackground");
        m_e.Scrollbar = ReadImage("Scrollbar");
        m_e.HorzScroll = ReadImage("HorzScroll");
        m_e.VertScroll = ReadImage("VertScroll");
        m_e.HorzScrollThumb = ReadImage("HorzScrollThumb");
        m_e.VertScrollThumb = ReadImage("VertScrollThumb");
        m_e.TrackbarThumbHorz = ReadImage("Trackbar.ThumbHorz");
        m_e.TrackbarThumbVert = ReadImage("Trackbar.ThumbVert");
        m_e.TrackbarThumbLeft = ReadImage("Trackbar.ThumbLeft");
        m_e.TrackbarThumbRight = ReadImage("Trackbar.ThumbRight");
        m_e.TrackbarThumbUp = ReadImage("Trackbar.ThumbUp");
        m_e.TrackbarThumbDown = ReadImage("Trackbar.ThumbDown");
        m_e.UpDownHorz = ReadImageWith("UpDown.Horz", "GlyphImage");
        m_e.UpDownVert = ReadImageWith("UpDown.Vert", "GlyphImage");
        SetFrameCounts();
    }

private:
    int Int(const std::string& s, const std::string& k, int fallback) const { return m_ini.Integer(s, k, fallback); }

    // The named bitmap entry, or empty: only a ".bmp" name (in lower case)
    // after any folder part is looked up.
    void LoadBitmap(const std::string& value, SkinPixels& into) const {
        into.Clear();
        const size_t slash = value.find_last_of("\\/:");
        const std::string name = slash == std::string::npos ? value : value.substr(slash + 1);
        const size_t dot = name.rfind('.');
        if (name.empty() || dot == std::string::npos || name.compare(dot, std::string::npos, ".bmp") != 0) return;
        const int i = m_archive.IndexOf(name);
        if (i < 0 || m_archive.EntrySize(i) == 0) return;
        DecodeBmp(m_archive.EntryData(i), m_archive.EntrySize(i), into);
    }
    void Bitmap(const std::string& s, const std::string& k, SkinPixels& into) const { LoadBitmap(m_ini.String(s, k), into); }

    SkinColour Rgb(const std::string& s, const std::string& k, SkinColour fallback) const {
        return ParseRgbText(m_ini.String(s, k), fallback);
    }

    void ReadBorder(const std::string& side, TDataSkinBorder& b, bool horizontal) {
        const char* p = "Personality";
        const int first = Int(p, side + "TopHeight", 0), last = Int(p, side + "BotHeight", 0);
        b.TopHeight = horizontal ? 0 : first;
        b.BottomHeight = horizontal ? 0 : last;
        b.LeftWidth = horizontal ? first : 0;
        b.RightWidth = horizontal ? last : 0;
        b.FrameCount = Int(p, side + "Frame", 1);
        b.Tile = Int(p, side + "Stretch", 1);
        b.Trans = Int(p, side + "Trans", 1);
        Bitmap(p, side, b.Bitmap);
    }

    void ReadColours() {
        const char* c = "Colours";
        auto sys = [](uint32_t index) { return kSystemColour + index; };
        m_e.WindowTextColour = Rgb(c, "WindowText", sys(kWindowTextIndex));
        m_e.ButtonFaceColour = Rgb(c, "ButtonFace", sys(kButtonFaceIndex));
        m_e.ScrollbarColour = Rgb(c, "Scrollbar", sys(kScrollBarIndex));
        m_e.HilightTextColour = Rgb(c, "HilightText", sys(kHighlightTextIndex));
        m_e.HilightColour = Rgb(c, "Hilight", sys(kHighlightIndex));
        m_e.MenubarColour = Rgb(c, "Menubar", m_e.ButtonFaceColour);
        m_e.MenuColour = Rgb(c, "Menu", sys(kMenuIndex));
        m_e.MenuTextColour = Rgb(c, "MenuText", sys(kMenuTextIndex));
        m_e.ButtonTextColour = Rgb(c, "ButtonText", sys(kButtonTextIndex));
        m_e.ButtonHilightColour = Rgb(c, "ButtonHilight", sys(kButtonHighlightIndex));
        m_e.ButtonLightColour = Rgb(c, "Buttonlight", sys(kButtonHighlightIndex));
        m_e.ButtonShadowColour = Rgb(c, "ButtonShadow", sys(kButtonShadowIndex));
        m_e.ButtonDkShadowColour = Rgb(c, "ButtonDkShadow", sys(kButtonShadowIndex));
        m_e.MenuBarTextColour = Rgb(c, "MenuBarText", sys(kMenuTextIndex));
        m_e.TitleTextActiveColour = Rgb(c, "TitleTextActive", sys(kCaptionTextIndex));
        m_e.TitleTextNoActiveColour = Rgb(c, "TitleTextNoActive", sys(kInactiveCaptionTextIndex));
        m_e.ColourTable.clear();
        for (const std::string& s : m_ini.Sections()) {
            const std::string upper = UpperAscii(s);
            if (StartsWith(upper, "COLOUR") && upper != "COLOURS")
                m_e.ColourTable.push_back(Rgb(s, "color", sys(kWindowTextIndex)));
        }
    }

    void ReadSysButtons() {
        std::vector<std::string> kept;
        for (const std::string& s : m_ini.Sections()) {
            const std::string upper = UpperAscii(s);
            if (StartsWith(upper, "BUTTON") && upper != "BUTTONS" && upper != "BUTTON.RADIO" &&
                upper != "BUTTON.CHECKBOX")
                kept.push_back(s);
        }
        m_e.SysButtons.clear();
        for (const std::string& s : kept) {
            auto b = std::make_unique<TDataSkinSysButton>(UpperAscii(s));
            b->Action = Int(s, "Action", 0);
            b->Align = Int(s, "Align", 0);
            b->Xcoord = Int(s, "Xcoord", 0);
            b->Ycoord = Int(s, "Ycoord", 0);
            b->Visibility = Int(s, "Visibility", 0);
            b->Visibility1 = Int(s, "Visibility1", 0);
            b->CombineOp = Int(s, "CombineOp", -1);
            b->FrameCount = Int(s, "frame", 0);
            Bitmap(s, "ButtonImage", b->Bitmap);
            if (b->FrameCount == 0) {
                b->FrameCount = 6;
                if (!b->Bitmap.Empty())
                    b->FrameCount = static_cast<double>(b->Bitmap.width) / b->Bitmap.height <= 3.8 ? 3 : 6;
                if (b->Action < 0) b->FrameCount = 6;
                // The icon and the help button draw no picture of their own.
                if (b->Action == 3 || b->Action == 11) b->Bitmap.Clear();
            }
            // A count is a divisor for the painters.
            b->FrameCount = std::max(1, b->FrameCount);
            m_e.SysButtons.push_back(std::move(b));
        }
        // The three buttons of a maximised MDI child's menu bar.
        SkinPixels mdi;
        Bitmap("MDICONTROLS", "Image", mdi);
        const int a = mdi.width / 12;
        for (int i = 0; i < 3; ++i) {
            auto b = std::make_unique<TDataSkinSysButton>(std::string());
            b->Action = 7 + i;
            b->Align = 100;
            b->Visibility = 100;
            b->Visibility1 = 100;
            b->FrameCount = 4;
            if (!mdi.Empty()) {
                b->Bitmap = CopyColumns(mdi, 4 * i * a, 4 * a);
                b->Xcoord = (a + 4) * (3 - i);
            }
            m_e.SysButtons.push_back(std::move(b));
        }
    }

    void ReadColours2(TDataSkinObject& o, const std::string& s) {
        o.NormalColour = Int(s, "NormalColour", -1);
        o.MouseOverColour = Int(s, "MouseOverColour", -1);
        o.PressedColour = Int(s, "PressedColour", -1);
        o.NormalColour2 = Rgb(s, "NormalColour2", m_e.ButtonTextColour);
        o.MouseOverColour2 = Rgb(s, "MouseOverColour2", m_e.ButtonTextColour);
        o.PressedColour2 = Rgb(s, "PressedColour2", m_e.ButtonTextColour);
    }

    void ReadMargins(TDataSkinObject& o, const std::string& s) {
        o.LeftWidth = Int(s, "LeftWidth", 0);
        o.RightWidth = Int(s, "RightWidth", 0);
        o.TopHeight = Int(s, "TopHeight", 0);
        o.BottomHeight = Int(s, "BottomHeight", 0);
        o.Trans = Int(s, "Trans", 0);
        o.Tile = Int(s, "Tile", 0);
    }

    void ReadPushButtons() {
        const char* s = "Buttons";
        TDataSkinButton& b = *m_e.Buttons;
        ReadMargins(b, s);
        Bitmap(s, "Bitmap", b.Bitmap);
        Bitmap(s, "CheckButton", b.CheckBitmap);
        Bitmap(s, "RadioButton", b.RadioBitmap);
        ReadColours2(b, s);
        b.RadioFrameCount = Int(s, "RadioButtonFrame", 0);
        b.CheckFrameCount = Int(s, "CheckButtonFrame", 0);
    }

    void ReadTitle() {
        const char* p = "Personality";
        TDataSkinTitle& t = *m_e.Title;
        Bitmap(p, "TextBack", t.Bitmap);
        t.LeftWidth = Int(p, "TextShift", 0);
        t.TopHeight = Int(p, "TextShiftVert", 0);
        t.RightWidth = Int(p, "TextRightClip", 0);
        t.BottomHeight = 0;
        t.TextAlignment = Int(p, "TextAlignment", 0);
        t.TextBackground = Int(p, "Textbackground", 0);
        t.FontHeight = Int("Fonts", "FontHeight", 14);
        t.TextBackLeft = Int(p, "TXTBackleft", 0);
        t.TextBackRight = Int(p, "TXTBackRight", 0);
        t.ActiveTextColour = Triple("ActiveText");
        t.InactiveTextColour = Triple("InActiveText");
    }

    SkinColour Triple(const std::string& prefix) const {
        const int r = Int("Personality", prefix + "R", -1), g = Int("Personality", prefix + "G", -1),
                  b = Int("Personality", prefix + "B", -1);
        if (r < 0 || g < 0 || b < 0) return kNoTextColour;
        return static_cast<SkinColour>(r % 256 + g % 256 * 256 + b % 256 * 65536);
    }

    void ReadMenuBar() {
        const char* p = "Personality";
        m_e.MenuBar.reset();
        const std::string image = m_ini.String(p, "menuBar");
        if (image.empty()) return;
        auto o = std::make_unique<TDataSkinObject>(p);
        LoadBitmap(image, o->Bitmap);
        o->Tile = Int(p, "TileMenu", 0);
        o->LeftWidth = Int(p, "TileLeftMenu", 1);
        o->RightWidth = Int(p, "TileRightMenu", 1);
        m_e.MenuBar = std::move(o);
    }

    // Reader A: an image element.
    std::unique_ptr<TDataSkinObject> ReadImage(const std::string& s) {
        const std::string image = m_ini.String(s, "Image");
        if (image.empty()) return nullptr;
        auto o = std::make_unique<TDataSkinObject>(s);
        LoadBitmap(image, o->Bitmap);
        o->Style = Int(s, "Style", 0);
        ReadMargins(*o, s);
        ReadColours2(*o, s);
        if (o->Tile > 1) o->Tile = 0;
        return o;
    }

    // Reader B: an image element with a second bitmap under key (if any).
    std::unique_ptr<TDataSkinBorder> ReadImageWith(const std::string& s, const char* key) {
        const std::string image = m_ini.String(s, "Image");
        if (image.empty()) return nullptr;
        auto o = std::make_unique<TDataSkinBorder>(s);
        LoadBitmap(image, o->Bitmap);
        ReadMargins(*o, s);
        ReadColours2(*o, s);
        if (o->Tile > 1) o->Tile = 0;
        if (key) Bitmap(s, key, o->Bitmap2);
        return o;
    }

    // Reader C: a bar with its chunk.
    std::unique_ptr<TDataSkinBorder> ReadChunked(const std::string& s) {
        const std::string image = m_ini.String(s, "Bitmap");
        if (image.empty()) return nullptr;
        auto o = std::make_unique<TDataSkinBorder>(s);
        LoadBitmap(image, o->Bitmap);
        Bitmap(s, "Chunk", o->Bitmap2);
        o->Style = Int(s, "Style", 0);
        ReadMargins(*o, s);
        // Style 1 draws the chunk image; without one it paints as style 0.
        if (o->Style == 1 && o->Bitmap2.Empty()) o->Style = 0;
        return o;
    }

    void SetFrameCounts() {
        // Counts from the description are divisors: below 1 counts as 1.
        for (TDataSkinBorder* b : {m_e.BorderLeft.get(), m_e.BorderRight.get(), m_e.BorderTop.get(), m_e.BorderBottom.get()})
            b->FrameCount = std::max(1, b->FrameCount);
        m_e.Title->FrameCount = 2;
        struct Fixed {
            TDataSkinObject* o;
            int frames;
        };
        const Fixed fixed[] = {{m_e.MenuBar.get(), 2},         {m_e.Progress.get(), 2},
                               {m_e.GroupBoxEdge.get(), 2},    {m_e.Toolbars.get(), 5},
                               {m_e.Tabs.get(), 5},            {m_e.StatusBarEdges.get(), 3},
                               {m_e.ComboButton.get(), 4},     {m_e.SunkEdge.get(), 4},
                               {m_e.ExtraImages.get(), 5},     {m_e.Headerbar.get(), 5},
                               {m_e.MenuItem.get(), 5},        {m_e.MenuBackground.get(), 1},
                               {m_e.Scrollbar.get(), 23},      {m_e.HorzScroll.get(), 4},
                               {m_e.VertScroll.get(), 4},      {m_e.TrackbarThumbHorz.get(), 5},
                               {m_e.TrackbarThumbVert.get(), 5}, {m_e.TrackbarThumbLeft.get(), 5},
                               {m_e.TrackbarThumbRight.get(), 5}, {m_e.TrackbarThumbUp.get(), 5},
                               {m_e.TrackbarThumbDown.get(), 5}, {m_e.UpDownHorz.get(), 8},
                               {m_e.UpDownVert.get(), 8}};
        for (const Fixed& f : fixed)
            if (f.o) f.o->FrameCount = f.frames;
        if (m_e.HorzScrollThumb) m_e.HorzScrollThumb->FrameCount = std::max(1, Int("HorzScrollThumb", "FrameCount", 3));
        if (m_e.VertScrollThumb) m_e.VertScrollThumb->FrameCount = std::max(1, Int("VertScrollThumb", "FrameCount", 3));

        TDataSkinButton& b = *m_e.Buttons;
        b.FrameCount = 5;
        auto computed = [](const SkinPixels& p) { return std::max(4, p.width / (p.height < 16 ? 13 : 16)); };
        // 0 asks for the count from the picture's width; below 0 counts as 1.
        b.RadioFrameCount = b.RadioFrameCount == 0 ? computed(b.RadioBitmap) : std::max(1, b.RadioFrameCount);
        b.CheckFrameCount = b.CheckFrameCount == 0 ? computed(b.CheckBitmap) : std::max(1, b.CheckFrameCount);
    }

    IniIndex m_ini;
    const TSkinReader& m_archive;
    SkinElements& m_e;
};

}  // namespace

SkinElements::SkinElements()
    : WindowTextColour(kSystemColour + kWindowTextIndex),
      ButtonFaceColour(kSystemColour + kButtonFaceIndex),
      ScrollbarColour(kSystemColour + kScrollBarIndex),
      HilightTextColour(kSystemColour + kHighlightTextIndex),
      HilightColour(kSystemColour + kHighlightIndex),
      MenubarColour(kSystemColour + kButtonFaceIndex),
      MenuColour(kSystemColour + kMenuIndex),
      MenuTextColour(kSystemColour + kMenuTextIndex),
      ButtonTextColour(kSystemColour + kButtonTextIndex),
      ButtonHilightColour(kSystemColour + kButtonHighlightIndex),
      ButtonLightColour(kSystemColour + kButtonHighlightIndex),
      ButtonShadowColour(kSystemColour + kButtonShadowIndex),
      ButtonDkShadowColour(kSystemColour + kButtonShadowIndex),
      MenuBarTextColour(kSystemColour + kMenuTextIndex),
      TitleTextActiveColour(kSystemColour + kCaptionTextIndex),
      TitleTextNoActiveColour(kSystemColour + kInactiveCaptionTextIndex),
      BorderLeft(std::make_unique<TDataSkinBorder>("Left")),
      BorderRight(std::make_unique<TDataSkinBorder>("Right")),
      BorderTop(std::make_unique<TDataSkinBorder>("Top")),
      BorderBottom(std::make_unique<TDataSkinBorder>("Bottom")),
      Title(std::make_unique<TDataSkinTitle>("Title")),
      Buttons(std::make_unique<TDataSkinButton>("Buttons")) {}

void ParseSkinDescription(const std::string& text, const TSkinReader& archive, SkinElements& into) {
    Parser(text, archive, into).Run();
}

SkinColour ParseRgbText(const std::string& text, SkinColour fallback) {
    size_t b = 0, e = text.size();
    auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    while (b < e && blank(text[b])) ++b;
    while (e > b && blank(text[e - 1])) --e;
    if (b == e) return fallback;
    unsigned part[3] = {0, 0, 0};
    int closed = 0;
    unsigned run = 0;
    bool inRun = false;
    for (size_t i = b; i < e; ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            run = (run * 10 + static_cast<unsigned>(c - '0')) % 256;
            inRun = true;
            continue;
        }
        if (inRun) {
            if (closed < 2) part[closed] = run;
            ++closed;
            run = 0;
            inRun = false;
        }
    }
    // A run that ends the text is blue only after exactly two closed runs.
    if (inRun && closed == 2) part[2] = run;
    return part[0] + part[1] * 256 + part[2] * 65536;
}

}  // namespace skin
