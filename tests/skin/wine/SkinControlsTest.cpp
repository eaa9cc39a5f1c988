// Control skinners on real controls: attaching and detaching, the push
// button's press, click and hot tracking, the windowless speed button,
// what buttons, progress bars,
// edits and tabs paint (read back from memory DCs), the scroll-thumb drag
// from posted messages and how it ends, list-view headers, and a skinned
// form's controls getting their skinners.
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

#include "framework/forms/Buttons.h"
#include "framework/forms/ComCtrls.h"
#include "framework/forms/Forms.h"
#include "framework/forms/StdCtrls.h"
#include "skin/SkinControls.h"
#include "skin/SkinData.h"
#include "skin/SkinForm.h"
#include "skin/SkinImage.h"
#include "skin/SkinManager.h"
#include "tests/framework/wine/FormsTestUtil.h"
#include "tests/wine/harness/WineTest.h"
#include "tools/skinkit/DefaultSkin.h"

using skin::TSkinData;
using skin::TSkinForm;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes DefaultStored() {
    return skinkit::StoredSkinArchive(skinkit::WriteSkinArchive(skinkit::BuildSkinEntries(skinkit::DefaultPalette())));
}

bool g_skinned = false;

// A plain form with a skin component; skinned only when asked.
class ControlForm : public forms::TForm {
public:
    FORMS_CLASS(ControlForm)
    explicit ControlForm(forms::TComponent* owner) : forms::TForm(owner) {
        SetCaption(u"Controls");
        SetBounds(60, 40, 360, 260);
        data = new TSkinData(this);
        data->SetActive(g_skinned);
        forms::TMemoryStream s(DefaultStored());
        data->ReadSkinStream(s);
    }
    TSkinData* data = nullptr;
};

struct Rig {
    ft::TestApp app;
    ControlForm* form = nullptr;
    // A form skinner of our own for the skinners to belong to (the form
    // itself is not skinned unless asked).
    std::unique_ptr<TSkinForm> owner;

    explicit Rig(bool skinned = false) {
        skin::DestroySkinManager();
        skin::SetSkinManagerFactory(nullptr);
        g_skinned = skinned;
        app.App().CreateForm(form);
        if (!skinned) {
            owner = std::make_unique<TSkinForm>(nullptr);
            owner->SkinData = form->data;
            form->Show();
            ft::Pump(50);
        }
    }
    ~Rig() {
        owner.reset();
        skin::DestroySkinManager();
    }
    template <class S>
    S* Skinner() { return new S(owner.get()); }
};

// A memory DC of w x h, 32 bits, filled with a marker colour.
class Canvas32 {
public:
    Canvas32(int width, int height, COLORREF fill = 0x00C0FFEE) : w(width), h(height) {
        BITMAPINFO bi{};
        bi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        dib = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
        dc = CreateCompatibleDC(nullptr);
        old = SelectObject(dc, dib);
        px = static_cast<const uint32_t*>(bits);
        HBRUSH b = CreateSolidBrush(fill);
        RECT r{0, 0, w, h};
        FillRect(dc, &r, b);
        DeleteObject(b);
    }
    ~Canvas32() {
        SelectObject(dc, old);
        DeleteDC(dc);
        DeleteObject(dib);
    }
    COLORREF At(int x, int y) const {
        GdiFlush();
        const uint32_t v = px[y * w + x];
        return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
    }
    int w, h;
    HDC dc;

private:
    HBITMAP dib;
    HGDIOBJ old;
    const uint32_t* px;
};

forms::TBitmap& Picture(TSkinData* data, const skin::SkinPixels& p) { return *data->Picture(p); }

}  // namespace

WT_TEST(SkinControls, AttachingTwiceAndDetachingGiveEverythingBack) {
    Rig rig;
    auto* box = new forms::TCheckBox(rig.form);
    box->SetParent(rig.form);
    box->SetBounds(10, 10, 120, 20);
    box->SetColor(0x123456);
    int seen = 0;
    forms::TWndMethod own = box->WindowProc;
    box->WindowProc = [&seen, own](forms::TMessage& m) {
        ++seen;
        own(m);
    };
    auto* skinner = rig.Skinner<skin::TSkinCheckBox>();
    skinner->AttachControl(box, rig.form->data, true, &rig.owner->SkinnerCanvas);
    skinner->AttachControl(box, rig.form->data, true, &rig.owner->SkinnerCanvas);
    CHECK_EQ(rig.owner->Skinners.size(), 1u);
    CHECK(box->Color() != 0x123456);
    // Through the skinner, once, to the control's own procedure.
    seen = 0;
    box->Perform(WM_NULL);
    CHECK_EQ(seen, 1);
    skinner->Detach();
    CHECK_EQ(box->Color(), 0x123456);
    seen = 0;
    box->Perform(WM_NULL);
    CHECK_EQ(seen, 1);
    // WM_SETTEXT is taken without reading the window again.
    skinner->AttachControl(box, rig.form->data, false, &rig.owner->SkinnerCanvas);
    box->SetCaption(u"New text");
    CHECK(skinner->Caption == u"New text");
    skinner->Detach();

    // A bare window: its procedure comes back exactly, also when it is
    // destroyed while skinned.
    HWND edit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE, 10, 40, 100, 20, rig.form->Handle(),
                                nullptr, nullptr, nullptr);
    const LONG_PTR before = GetWindowLongPtrW(edit, GWLP_WNDPROC);
    auto* edits = rig.Skinner<skin::TSkinEdit>();
    edits->AttachWindow(edit, rig.form->data, &rig.owner->SkinnerCanvas);
    CHECK(GetWindowLongPtrW(edit, GWLP_WNDPROC) != before);
    edits->Detach();
    CHECK_EQ(GetWindowLongPtrW(edit, GWLP_WNDPROC), before);
    edits->AttachWindow(edit, rig.form->data, &rig.owner->SkinnerCanvas);
    DestroyWindow(edit);
    CHECK(!edits->Attached());
    delete edits;
}

WT_TEST(SkinControls, APushButtonClicksOnReleaseOnlyAfterAPressAndFollowsTheMouse) {
    Rig rig;
    auto* a = new forms::TButton(rig.form);
    a->SetParent(rig.form);
    a->SetBounds(10, 10, 90, 26);
    auto* b = new forms::TButton(rig.form);
    b->SetParent(rig.form);
    b->SetBounds(110, 10, 90, 26);
    int clicks = 0;
    a->OnClick = [&](forms::TObject*) { ++clicks; };
    auto* sa = rig.Skinner<skin::TSkinButton>();
    sa->AttachControl(a, rig.form->data, false, &rig.owner->SkinnerCanvas);
    auto* sb = rig.Skinner<skin::TSkinButton>();
    sb->AttachControl(b, rig.form->data, false, &rig.owner->SkinnerCanvas);

    SendMessageW(a->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    CHECK_EQ(clicks, 0);
    SendMessageW(a->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    CHECK(sa->State & skin::TSkinControl::kPressed);
    CHECK_EQ(clicks, 0);
    SendMessageW(a->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    CHECK_EQ(clicks, 1);
    SendMessageW(a->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    CHECK_EQ(clicks, 1);

    // Hot tracking: the first loses its hot state as the second takes it.
    SendMessageW(a->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    CHECK(sa->State & skin::TSkinControl::kHot);
    CHECK(rig.owner->HotControl == sa);
    SendMessageW(b->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    CHECK(!(sa->State & skin::TSkinControl::kHot));
    CHECK(sb->State & skin::TSkinControl::kHot);
    CHECK(rig.owner->HotControl == sb);

    // A bare button's click goes to its parent as WM_COMMAND.
    HWND raw = CreateWindowExW(0, L"BUTTON", L"Raw", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 10, 50, 90, 26,
                               rig.form->Handle(), reinterpret_cast<HMENU>(77), nullptr, nullptr);
    auto* sr = rig.Skinner<skin::TSkinButton>();
    sr->AttachWindow(raw, rig.form->data, &rig.owner->SkinnerCanvas);
    SendMessageW(raw, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageW(raw, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    MSG msg;
    bool command = false;
    while (PeekMessageW(&msg, rig.form->Handle(), WM_COMMAND, WM_COMMAND, PM_REMOVE))
        command = command || (LOWORD(msg.wParam) == 77 && reinterpret_cast<HWND>(msg.lParam) == raw);
    CHECK(command);
    sr->Detach();
    DestroyWindow(raw);
    delete sr;
}

WT_TEST(SkinControls, ButtonsAndBoxesPaintTheSkinsFrames) {
    Rig rig;
    TSkinData* data = rig.form->data;
    const skin::SkinElements& e = data->Elements();
    auto* button = new forms::TButton(rig.form);
    button->SetParent(rig.form);
    button->SetBounds(10, 10, 90, 26);
    auto* s = rig.Skinner<skin::TSkinButton>();
    s->AttachControl(button, data, false, &rig.owner->SkinnerCanvas);
    SetFocus(rig.form->Handle());
    const RECT at{0, 0, 90, 26};
    const skin::SkinMargins m{e.Buttons->LeftWidth, e.Buttons->TopHeight, e.Buttons->RightWidth,
                              e.Buttons->BottomHeight};
    for (int frame : {1, 2}) {
        if (frame == 2) s->State |= skin::TSkinControl::kPressed;
        Canvas32 painted(90, 26), expected(90, 26);
        s->PaintTo(painted.dc, at);
        HBRUSH face = CreateSolidBrush(forms::ColorToRGB(static_cast<forms::TColor>(e.ButtonFaceColour)));
        FillRect(expected.dc, &at, face);
        DeleteObject(face);
        skin::DrawSkinFrame(expected.dc, at, Picture(data, e.Buttons->Bitmap), m, false, e.Buttons->Tile != 0,
                            e.Buttons->Trans == 1, 5, frame);
        // The frame where no caption lies: the corners and the edges.
        for (POINT p : {POINT{1, 1}, POINT{88, 24}, POINT{45, 1}, POINT{1, 13}, POINT{88, 2}})
            CHECK_EQ(painted.At(p.x, p.y), expected.At(p.x, p.y));
    }
    // The two frames differ, so the press shows.
    Canvas32 one(90, 26), two(90, 26);
    s->State = 0;
    s->PaintTo(one.dc, at);
    s->State = skin::TSkinControl::kPressed;
    s->PaintTo(two.dc, at);
    bool differs = false;
    for (int x = 0; x < 90 && !differs; ++x) differs = one.At(x, 1) != two.At(x, 1) || one.At(x, 13) != two.At(x, 13);
    CHECK(differs);
}

WT_TEST(SkinControls, ASpeedButtonIsDrawnFromTheSkinThroughItsParentAndGivenBack) {
    Rig rig;
    TSkinData* data = rig.form->data;
    const skin::SkinElements& e = data->Elements();
    auto* button = new forms::TSpeedButton(rig.form);
    button->SetParent(rig.form);
    button->SetBounds(20, 30, 60, 24);
    // Three 8 x 8 images: red (up), green (disabled), blue (pressed); the
    // bottom-left pixel is the transparent key.
    forms::TBitmap strip(24, 8);
    const HDC g = strip.Canvas().Handle();
    const COLORREF colours[3] = {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255)};
    for (int i = 0; i < 3; ++i) {
        HBRUSH brush = CreateSolidBrush(colours[i]);
        RECT r{i * 8, 0, i * 8 + 8, 8};
        FillRect(g, &r, brush);
        DeleteObject(brush);
    }
    SetPixel(g, 0, 7, RGB(255, 0, 255));
    button->SetGlyph(strip);
    button->SetNumGlyphs(3);
    int clicks = 0, seen = 0;
    button->OnClick = [&](forms::TObject*) { ++clicks; };
    forms::TWndMethod own = button->WindowProc;
    button->WindowProc = [&seen, own](forms::TMessage& m) {
        ++seen;
        own(m);
    };

    // The form paints its client, the button through its WindowProc.
    const int cw = rig.form->ClientWidth(), ch = rig.form->ClientHeight();
    auto paint = [&](Canvas32& c) { rig.form->Perform(WM_PAINT, reinterpret_cast<WPARAM>(c.dc), 0); };
    const POINT edges[] = {{1, 1}, {58, 22}, {30, 1}, {1, 12}, {58, 2}};
    Canvas32 before(cw, ch);
    paint(before);

    auto* s = rig.Skinner<skin::TSkinSpeedButton>();
    s->AttachGraphic(button, data, &rig.owner->SkinnerCanvas);
    s->AttachGraphic(button, data, &rig.owner->SkinnerCanvas);
    CHECK_EQ(rig.owner->Skinners.size(), 1u);
    CHECK(s->Control() == button);
    CHECK(s->Handle() == nullptr);

    const RECT at{0, 0, 60, 24};
    const skin::SkinMargins m{e.Buttons->LeftWidth, e.Buttons->TopHeight, e.Buttons->RightWidth,
                              e.Buttons->BottomHeight};
    // The frame of the state at the button's edges, and the glyph image of
    // the state where the glyph lies: centred, one pixel further on
    // ((60 - 8) / 2 + 1 = 27 across, (24 - 8 + 1) / 2 = 8 down).
    auto shows = [&](int frame, COLORREF glyph) {
        Canvas32 painted(cw, ch), expected(60, 24);
        paint(painted);
        HBRUSH face = CreateSolidBrush(forms::ColorToRGB(static_cast<forms::TColor>(e.ButtonFaceColour)));
        FillRect(expected.dc, &at, face);
        DeleteObject(face);
        skin::DrawSkinFrame(expected.dc, at, Picture(data, e.Buttons->Bitmap), m, false, e.Buttons->Tile != 0,
                            e.Buttons->Trans == 1, skin::SafeFrameCount(e.Buttons->FrameCount), frame);
        bool same = painted.At(20 + 31, 30 + 12) == glyph && painted.At(20 + 27, 30 + 8) == glyph;
        for (POINT p : edges) same = same && painted.At(20 + p.x, 30 + p.y) == expected.At(p.x, p.y);
        return same;
    };
    CHECK(shows(1, colours[0]));
    // Pressed: the button's own press logic runs too, and the click comes
    // once, on release.
    seen = 0;
    button->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    CHECK_EQ(seen, 1);
    CHECK(s->State & skin::TSkinControl::kPressed);
    CHECK(button->Pressed());
    CHECK(shows(2, colours[2]));
    button->Perform(WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    CHECK_EQ(clicks, 1);
    CHECK(!(s->State & skin::TSkinControl::kPressed));
    CHECK(shows(1, colours[0]));
    // Hot, and the mouse leaving through the form skinner's call.
    button->Perform(forms::CM_MOUSEENTER);
    CHECK(s->State & skin::TSkinControl::kHot);
    CHECK(shows(4, colours[0]));
    s->SendMouseLeave();
    CHECK(!(s->State & skin::TSkinControl::kHot));
    button->SetEnabled(false);
    CHECK(shows(3, colours[1]));
    button->SetEnabled(true);
    button->SetDown(true);
    // Down looks pressed.
    CHECK(shows(2, colours[2]));
    button->SetDown(false);
    bool differs = false;
    {
        Canvas32 skinned(cw, ch);
        paint(skinned);
        for (POINT p : edges) differs = differs || skinned.At(20 + p.x, 30 + p.y) != before.At(20 + p.x, 30 + p.y);
    }
    CHECK(differs);

    // Detached: the button's own procedure and drawing come back.
    s->Detach();
    CHECK(!s->Attached());
    seen = 0;
    button->Perform(WM_NULL);
    CHECK_EQ(seen, 1);
    Canvas32 after(cw, ch);
    paint(after);
    for (POINT p : edges) CHECK_EQ(after.At(20 + p.x, 30 + p.y), before.At(20 + p.x, 30 + p.y));
    CHECK_EQ(after.At(20 + 31, 30 + 12), before.At(20 + 31, 30 + 12));
}

WT_TEST(SkinControls, ProgressFillsFromTheLeftAndEdgesAreLeftToBorderedEdits) {
    Rig rig;
    TSkinData* data = rig.form->data;
    const skin::SkinElements& e = data->Elements();
    REQUIRE(e.Progress && !e.Progress->Bitmap.Empty());
    auto* bar = new forms::TProgressBar(rig.form);
    bar->SetParent(rig.form);
    bar->SetBounds(10, 10, 200, 18);
    auto* s = rig.Skinner<skin::TSkinProgress>();
    s->AttachControl(bar, data, false, &rig.owner->SkinnerCanvas);
    const RECT at{0, 0, 200, 18};
    Canvas32 empty(200, 18), full(200, 18);
    forms::TBitmap& strip = Picture(data, e.Progress->Bitmap);
    HBRUSH face = CreateSolidBrush(forms::ColorToRGB(static_cast<forms::TColor>(e.ButtonFaceColour)));
    FillRect(empty.dc, &at, face);
    FillRect(full.dc, &at, face);
    DeleteObject(face);
    skin::DrawStripFrame(empty.dc, at, strip, true, 2, 1);
    skin::DrawStripFrame(full.dc, at, strip, true, 2, 1);
    skin::DrawStripFrame(full.dc, at, strip, true, 2, 2);
    auto paint = [&](int min, int max, int pos) {
        SendMessageW(bar->Handle(), PBM_SETRANGE32, min, max);
        SendMessageW(bar->Handle(), PBM_SETPOS, pos, 0);
        auto c = std::make_unique<Canvas32>(200, 18);
        s->PaintTo(c->dc, at);
        return c;
    };
    auto zero = paint(0, 100, 0);
    auto half = paint(0, 100, 50);
    auto whole = paint(0, 100, 100);
    auto noRange = paint(0, 0, 0);
    for (int x : {20, 150, 190}) {
        CHECK_EQ(zero->At(x, 9), empty.At(x, 9));
        CHECK_EQ(noRange->At(x, 9), empty.At(x, 9));
        CHECK_EQ(whole->At(x, 9), full.At(x, 9));
    }
    CHECK_EQ(half->At(150, 9), empty.At(150, 9));
    CHECK(zero->At(100, 9) != full.At(100, 9) || empty.At(100, 9) == full.At(100, 9));

    // An edit without a border keeps its edge; one with a border gets the
    // skin's shadow colour round it.
    for (bool bordered : {false, true}) {
        HWND edit = CreateWindowExW(bordered ? WS_EX_CLIENTEDGE : 0, L"EDIT", L"x", WS_CHILD | WS_VISIBLE, 10, 40,
                                    100, 22, rig.form->Handle(), nullptr, nullptr, nullptr);
        auto* es = rig.Skinner<skin::TSkinEdit>();
        es->AttachWindow(edit, data, &rig.owner->SkinnerCanvas);
        Canvas32 c(100, 22);
        es->PaintTo(c.dc, RECT{0, 0, 100, 22});
        const COLORREF shadow = forms::ColorToRGB(static_cast<forms::TColor>(e.ButtonShadowColour));
        if (bordered) {
            CHECK_EQ(c.At(0, 10), shadow);
            CHECK_EQ(c.At(1, 10), RGB(255, 255, 255));
        } else {
            CHECK_EQ(c.At(0, 10), RGB(0xEE, 0xFF, 0xC0));
        }
        es->Detach();
        DestroyWindow(edit);
        delete es;
    }
}

WT_TEST(SkinControls, TabsAtTheBottomDrawFlippedFrames) {
    Rig rig;
    TSkinData* data = rig.form->data;
    const skin::SkinElements& e = data->Elements();
    REQUIRE(e.Tabs && !e.Tabs->Bitmap.Empty());
    HWND tabs = CreateWindowExW(0, WC_TABCONTROLW, L"", WS_CHILD | WS_VISIBLE | TCS_BOTTOM, 10, 10, 300, 180,
                                rig.form->Handle(), nullptr, nullptr, nullptr);
    for (int i = 0; i < 2; ++i) {
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<LPWSTR>(i ? L"Second" : L"First");
        SendMessageW(tabs, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
    }
    auto* s = rig.Skinner<skin::TSkinTab>();
    s->AttachWindow(tabs, data, &rig.owner->SkinnerCanvas);
    CHECK_EQ(s->Orientation, 1);
    Canvas32 c(300, 180);
    s->PaintTo(c.dc, RECT{0, 0, 300, 180});
    RECT item{};
    SendMessageW(tabs, TCM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&item));
    // Frame 1 of the flipped strip, at the tab's place one pixel higher.
    forms::TBitmap flipped;
    skin::AssignPixels(flipped, e.Tabs->Bitmap);
    skin::FlipBitmap(flipped);
    forms::TBitmap straight;
    skin::AssignPixels(straight, e.Tabs->Bitmap);
    const int w = item.right - item.left, h = item.bottom - item.top;
    Canvas32 want(w, h), unflipped(w, h);
    const skin::SkinMargins m{e.Tabs->LeftWidth, e.Tabs->TopHeight, e.Tabs->RightWidth, e.Tabs->BottomHeight};
    skin::DrawSkinFrame(want.dc, RECT{0, 0, w, h}, flipped, m, false, e.Tabs->Tile != 0, false,
                        skin::SafeFrameCount(e.Tabs->FrameCount), 1);
    skin::DrawSkinFrame(unflipped.dc, RECT{0, 0, w, h}, straight, m, false, e.Tabs->Tile != 0, false,
                        skin::SafeFrameCount(e.Tabs->FrameCount), 1);
    // Rows below the page's skinned border (the page area reaches into
    // the tab by the control's own overlap).
    RECT page{0, 0, 300, 180};
    SendMessageW(tabs, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&page));
    const int firstRow = std::max(1, static_cast<int>(page.bottom + 4 - (item.top - 1)));
    int same = 0, differ = 0;
    for (int y = firstRow; y < h - 1; ++y) {
        same += c.At(item.left + 1, item.top - 1 + y) == want.At(1, y);
        differ += want.At(1, y) != unflipped.At(1, y);
    }
    CHECK(h - 1 - firstRow > 10);
    CHECK_EQ(same, h - 1 - firstRow);
    CHECK(differ > 0);
    s->Detach();
    DestroyWindow(tabs);
}

namespace {

// A memo with more lines than it shows and a skinned vertical bar; the
// scroll messages it gets are recorded.
struct DragRig {
    Rig rig;
    forms::TMemo* memo = nullptr;
    skin::TSkinScrollBar* bar = nullptr;
    std::vector<int> codes;

    DragRig() {
        memo = new forms::TMemo(rig.form);
        memo->SetScrollBars(forms::TScrollStyle::ssVertical);
        memo->SetParent(rig.form);
        memo->SetBounds(10, 10, 200, 120);
        forms::String text;
        for (int i = 0; i < 100; ++i) text += u"line\r\n";
        memo->SetText(text);
        bar = rig.Skinner<skin::TSkinScrollBar>();
        bar->Attach(memo, rig.form->data, true, &rig.owner->SkinnerCanvas);
        forms::TWndMethod skinned = memo->WindowProc;
        memo->WindowProc = [this, skinned](forms::TMessage& m) {
            if (m.Msg == WM_VSCROLL) codes.push_back(LOWORD(m.WParam));
            skinned(m);
        };
        ft::Pump(50);
    }
    // The thumb's middle on the screen.
    POINT Thumb() {
        SCROLLBARINFO info{};
        info.cbSize = sizeof info;
        GetScrollBarInfo(memo->Handle(), OBJID_VSCROLL, &info);
        RECT w{};
        GetWindowRect(memo->Handle(), &w);
        const int arrow = GetSystemMetrics(SM_CXHSCROLL);
        RECT c{};
        GetClientRect(memo->Handle(), &c);
        const int edge = (w.right - w.left - c.right - arrow) / 2;
        const skin::ThumbGeometry& g = bar->Thumb[1];
        return POINT{w.right - edge - arrow / 2, w.top + edge + arrow + g.pos + g.size / 2};
    }
};

}  // namespace

WT_TEST(SkinControls, ADraggedThumbScrollsAndEndsOnRelease) {
    DragRig d;
    d.bar->PaintWindow(nullptr);  // works out the thumb
    REQUIRE(d.bar->Thumb[1].size > 0);
    const POINT start = d.Thumb();
    POINT client{start.x - 30, start.y + 40};
    ScreenToClient(d.memo->Handle(), &client);
    PostMessageW(d.memo->Handle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(client.x, client.y));
    PostMessageW(d.memo->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(client.x, client.y));
    SendMessageW(d.memo->Handle(), WM_NCLBUTTONDOWN, HTVSCROLL, MAKELPARAM(start.x, start.y));
    CHECK(!d.bar->Dragging);
    CHECK(GetCapture() != d.memo->Handle());
    ft::Pump(50);
    REQUIRE(d.codes.size() >= 3u);
    CHECK_EQ(d.codes[0], SB_THUMBTRACK);
    CHECK_EQ(d.codes[d.codes.size() - 2], SB_THUMBPOSITION);
    CHECK_EQ(d.codes.back(), SB_ENDSCROLL);
    CHECK(GetScrollPos(d.memo->Handle(), SB_VERT) > 0);
}

namespace {

// Runs a job from inside the drag loop: a posted message to a helper window.
struct Helper {
    std::function<void()> job;
    HWND window = nullptr;
    static LRESULT CALLBACK Proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
        if (msg == WM_APP) {
            auto* self = reinterpret_cast<Helper*>(GetWindowLongPtrW(h, GWLP_USERDATA));
            if (self && self->job) self->job();
            return 0;
        }
        return DefWindowProcW(h, msg, wp, lp);
    }
    Helper() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = Proc;
        wc.lpszClassName = L"SkinDragHelper";
        RegisterClassW(&wc);
        window = CreateWindowExW(0, L"SkinDragHelper", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~Helper() { DestroyWindow(window); }
};

}  // namespace

WT_TEST(SkinControls, ADragEndsWhenTheCaptureGoesTheWindowGoesOrTheProgramQuits) {
    // Another window takes the capture (the button let go elsewhere).
    {
        DragRig d;
        d.bar->PaintWindow(nullptr);
        Helper helper;
        helper.job = [&] { SetCapture(helper.window); };
        const POINT start = d.Thumb();
        PostMessageW(helper.window, WM_APP, 0, 0);
        const DWORD t0 = GetTickCount();
        SendMessageW(d.memo->Handle(), WM_NCLBUTTONDOWN, HTVSCROLL, MAKELPARAM(start.x, start.y));
        ReleaseCapture();
        CHECK(!d.bar->Dragging);
        CHECK(GetTickCount() - t0 < 2000);
        ft::Pump(20);
        CHECK(!d.codes.empty() && d.codes.back() == SB_ENDSCROLL);
    }
    // The control's window destroyed during the drag.
    {
        DragRig d;
        d.bar->PaintWindow(nullptr);
        Helper helper;
        HWND window = d.memo->Handle();
        helper.job = [&] { DestroyWindow(window); };
        const POINT start = d.Thumb();
        PostMessageW(helper.window, WM_APP, 0, 0);
        SendMessageW(window, WM_NCLBUTTONDOWN, HTVSCROLL, MAKELPARAM(start.x, start.y));
        CHECK(!IsWindow(window));
        CHECK(!d.bar->Dragging);
        CHECK(!d.bar->Attached());
        CHECK(GetCapture() != window);
    }
    // The skinner freed during the drag (its form unskinned): the loop
    // ends without touching it.
    {
        DragRig d;
        d.bar->PaintWindow(nullptr);
        Helper helper;
        helper.job = [&] { delete d.bar; };
        const POINT start = d.Thumb();
        PostMessageW(helper.window, WM_APP, 0, 0);
        SendMessageW(d.memo->Handle(), WM_NCLBUTTONDOWN, HTVSCROLL, MAKELPARAM(start.x, start.y));
        CHECK(d.rig.owner->Skinners.empty());
        CHECK(GetCapture() != d.memo->Handle());
    }
    // WM_QUIT taken inside the loop is there again afterwards.
    {
        DragRig d;
        d.bar->PaintWindow(nullptr);
        const POINT start = d.Thumb();
        PostQuitMessage(3);
        SendMessageW(d.memo->Handle(), WM_NCLBUTTONDOWN, HTVSCROLL, MAKELPARAM(start.x, start.y));
        CHECK(!d.bar->Dragging);
        MSG msg;
        bool quit = false;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            if (msg.message == WM_QUIT) quit = msg.wParam == 3;
        CHECK(quit);
    }
}

WT_TEST(SkinControls, ListViewsGetAHeaderSkinnerOnlyWithAHeader) {
    Rig rig;
    auto* report = new forms::TListView(rig.form);
    report->SetViewStyle(forms::TViewStyle::vsReport);
    report->SetParent(rig.form);
    report->SetBounds(10, 10, 200, 100);
    report->AddColumn(u"Name", 80);
    auto* s = rig.Skinner<skin::TSkinListView>();
    s->AttachControl(report, rig.form->data, false, &rig.owner->SkinnerCanvas);
    CHECK(s->Header != nullptr);

    HWND bare = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | LVS_ICON, 10, 120, 200, 100,
                                rig.form->Handle(), nullptr, nullptr, nullptr);
    const bool hasHeader = SendMessageW(bare, LVM_GETHEADER, 0, 0) != 0;
    DestroyWindow(bare);
    auto* icons = new forms::TListView(rig.form);
    icons->SetViewStyle(forms::TViewStyle::vsIcon);
    icons->SetParent(rig.form);
    icons->SetBounds(10, 120, 200, 100);
    auto* si = rig.Skinner<skin::TSkinListView>();
    si->AttachControl(icons, rig.form->data, false, &rig.owner->SkinnerCanvas);
    const bool iconHeader = SendMessageW(icons->Handle(), LVM_GETHEADER, 0, 0) != 0;
    CHECK_EQ(si->Header != nullptr, iconHeader);
    (void)hasHeader;
}

WT_TEST(SkinControls, ASkinnedFormGivesEachOfItsControlsASkinner) {
    Rig rig(true);
    auto* button = new forms::TButton(rig.form);
    button->SetParent(rig.form);
    button->SetBounds(10, 10, 90, 26);
    auto* box = new forms::TCheckBox(rig.form);
    box->SetParent(rig.form);
    box->SetBounds(10, 50, 120, 20);
    auto* edit = new forms::TEdit(rig.form);
    edit->SetParent(rig.form);
    edit->SetBounds(10, 80, 120, 22);
    auto* speed = new forms::TSpeedButton(rig.form);
    speed->SetParent(rig.form);
    speed->SetBounds(150, 10, 60, 24);
    rig.form->Show();
    REQUIRE(ft::PumpUntil(
        [&] {
            TSkinForm* s = skin::SkinManage() ? skin::SkinManage()->FindFormSkinner(rig.form->Handle()) : nullptr;
            return s && s->SkinState == 1;
        },
        3000));
    TSkinForm* s = skin::SkinManage()->FindFormSkinner(rig.form->Handle());
    CHECK_EQ(s->Skinners.size(), 4u);
    int buttons = 0, boxes = 0, edits = 0, speeds = 0;
    for (skin::TSkinControl* c : s->Skinners) {
        const bool isSpeed = dynamic_cast<skin::TSkinSpeedButton*>(c) != nullptr;
        speeds += isSpeed;
        buttons += !isSpeed && dynamic_cast<skin::TSkinButton*>(c) != nullptr;
        boxes += dynamic_cast<skin::TSkinCheckBox*>(c) != nullptr;
        edits += dynamic_cast<skin::TSkinEdit*>(c) != nullptr;
    }
    CHECK_EQ(buttons, 1);
    CHECK_EQ(boxes, 1);
    CHECK_EQ(edits, 1);
    CHECK_EQ(speeds, 1);
    // A speed button freed while skinned takes its skinner with it.
    delete speed;
    CHECK_EQ(s->Skinners.size(), 3u);
    ft::Pump(50);
    // Switching skinning off gives the controls back.
    rig.form->data->SetActive(false);
    ft::Pump(400);
    CHECK(s == nullptr || skin::SkinManage()->FindFormSkinner(rig.form->Handle()) == nullptr ||
          skin::SkinManage()->FindFormSkinner(rig.form->Handle())->Skinners.empty());
}
