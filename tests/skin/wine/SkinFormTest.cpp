// Skinned windows with the real skin manager: forms skinned on activation,
// their frames read back pixel by pixel, the title-bar buttons' actions,
// attaching and detaching, the job timer, popup menus, a raw MDI frame;
// and the drawing helpers on real bitmaps.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "framework/com/WinText.h"
#include "framework/forms/Forms.h"
#include "skin/SkinData.h"
#include "skin/SkinForm.h"
#include "skin/SkinImage.h"
#include "skin/SkinManager.h"
#include "skin/SkinMenu.h"
#include "skin/SkinSubclass.h"
#include "framework/forms/StdCtrls.h"
#include "tests/framework/wine/FormsTestUtil.h"
#include "tests/wine/harness/WineTest.h"
#include "tools/skinkit/DefaultSkin.h"

using forms::String;
using skin::TSkinData;
using skin::TSkinForm;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes StoredSkin(const std::vector<skinkit::SkinEntry>& entries) {
    return skinkit::StoredSkinArchive(skinkit::WriteSkinArchive(entries));
}

Bytes DefaultStored() { return StoredSkin(skinkit::BuildSkinEntries(skinkit::DefaultPalette())); }

skin::TSkinManage& Manager() { return *skin::SkinManage(); }

// What the next form made is built with.
struct FormRecipe {
    bool active = true;
    int tag = 0;
    bool menu = true;
    skin::TSkinFormType type = skin::TSkinFormType::sfMainform;
    bool skinData = true;
    const Bytes* stored = nullptr;
};
FormRecipe g_recipe;

// A form like the program's main window: its skin component holds a
// stored skin, and it has a menu bar.
class SkinnedForm : public forms::TForm {
public:
    FORMS_CLASS(SkinnedForm)
    explicit SkinnedForm(forms::TComponent* owner) : forms::TForm(owner) {
        SetCaption(u"Skinned");
        SetTag(g_recipe.tag);
        SetBounds(80, 60, 420, 300);
        if (g_recipe.skinData) {
            data = new TSkinData(this);
            data->SkinFormtype = g_recipe.type;
            data->SetActive(g_recipe.active);
            forms::TMemoryStream s(g_recipe.stored ? *g_recipe.stored : DefaultStored());
            data->ReadSkinStream(s);
        }
        if (g_recipe.menu) {
            auto* menu = new forms::TMainMenu(this);
            auto* file = new forms::TMenuItem(this);
            file->SetCaption(u"&File");
            menu->Items()->Add(file);
            auto* open = new forms::TMenuItem(this);
            open->SetCaption(u"Open");
            file->Add(open);
            SetMenu(menu);
        }
    }
    TSkinData* data = nullptr;
};

// One test's application with the real manager, freed before the windows.
struct Rig {
    ft::TestApp app;
    SkinnedForm* form = nullptr;

    explicit Rig(FormRecipe recipe = {}) {
        skin::DestroySkinManager();
        skin::SetSkinManagerFactory(nullptr);
        form = Make(recipe);
    }
    SkinnedForm* Make(FormRecipe recipe) {
        g_recipe = recipe;
        SkinnedForm* f = nullptr;
        app.App().CreateForm(f);
        return f;
    }
    ~Rig() { skin::DestroySkinManager(); }
};

TSkinForm* SkinnerOf(HWND wnd) { return skin::SkinManage() ? Manager().FindFormSkinner(wnd) : nullptr; }

bool Skinned(HWND wnd) {
    TSkinForm* s = SkinnerOf(wnd);
    return s && s->SkinState == 1;
}

// Shows a form and waits until the manager has skinned it.
bool ShowSkinned(forms::TCustomForm* f) {
    f->Show();
    return ft::PumpUntil([&] { return Skinned(f->Handle()); }, 3000);
}

// The window as drawn, read from its window DC into a 32-bit DIB.
class WindowPixels {
public:
    explicit WindowPixels(HWND wnd) {
        RECT r{};
        GetWindowRect(wnd, &r);
        w = r.right - r.left;
        h = r.bottom - r.top;
        BITMAPINFO bi{};
        bi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        dib = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
        const HDC mem = CreateCompatibleDC(nullptr);
        const HGDIOBJ old = SelectObject(mem, dib);
        const HDC dc = GetWindowDC(wnd);
        BitBlt(mem, 0, 0, w, h, dc, 0, 0, SRCCOPY);
        ReleaseDC(wnd, dc);
        GdiFlush();
        SelectObject(mem, old);
        DeleteDC(mem);
        px = static_cast<const uint32_t*>(bits);
    }
    ~WindowPixels() { DeleteObject(dib); }
    // 0x00BBGGRR.
    uint32_t At(int x, int y) const {
        const uint32_t v = px[static_cast<size_t>(y) * w + x];
        return ((v & 0xFF) << 16) | (v & 0xFF00) | ((v >> 16) & 0xFF);
    }
    int w = 0, h = 0;

private:
    HBITMAP dib = nullptr;
    const uint32_t* px = nullptr;
};

std::string Hex(uint32_t c) {
    char s[16];
    std::snprintf(s, sizeof s, "%06X", c);
    return s;
}

// Posted messages of one kind for a window, taken out of the queue.
int TakePosted(HWND wnd, UINT msg, WPARAM wParam) {
    int n = 0;
    MSG m;
    while (PeekMessageW(&m, wnd, msg, msg, PM_REMOVE))
        if (m.wParam == wParam) ++n;
    return n;
}

skin::TWinSysButton* ButtonOf(TSkinForm& s, int action) {
    for (auto& b : s.SysButtons)
        if (b->Element.Action == action && b->Visible) return b.get();
    return nullptr;
}

void ClickFrame(HWND wnd, POINT windowPoint) {
    RECT r{};
    GetWindowRect(wnd, &r);
    const LPARAM at = MAKELPARAM(r.left + windowPoint.x, r.top + windowPoint.y);
    SendMessageW(wnd, WM_NCLBUTTONDOWN, HTCAPTION, at);
    SendMessageW(wnd, WM_NCLBUTTONUP, HTCAPTION, at);
}

}  // namespace

WT_TEST(SkinForm, AttachAndDetachGiveTheWindowEverythingBack) {
    Rig rig(FormRecipe{false});
    SkinnedForm* f = rig.form;
    f->Show();
    ft::Pump(50);
    const HWND h = f->Handle();
    REQUIRE(!SkinnerOf(h));
    const LONG_PTR proc = GetWindowLongPtrW(h, GWLP_WNDPROC);
    const LONG style = GetWindowLongW(h, GWL_STYLE), exStyle = GetWindowLongW(h, GWL_EXSTYLE);
    const HMENU menu = GetMenu(h);
    RECT before{}, clientBefore{};
    GetWindowRect(h, &before);
    GetClientRect(h, &clientBefore);
    REQUIRE(menu);
    CHECK(style & WS_SYSMENU);

    f->data->SetActive(true);
    REQUIRE(ft::PumpUntil([&] { return Skinned(h); }, 3000));
    TSkinForm* s = SkinnerOf(h);
    CHECK(GetWindowLongPtrW(h, GWLP_WNDPROC) != proc);
    CHECK(!(GetWindowLongW(h, GWL_STYLE) & (WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX)));
    CHECK(GetMenu(h) == nullptr);  // the skinned menu bar has taken the menu
    RECT client{};
    GetClientRect(h, &client);
    CHECK_EQ(client.right, clientBefore.right);
    CHECK_EQ(client.bottom, clientBefore.bottom);
    CHECK_EQ(s->BorderTop, 26);
    // The form and its framework procedure are the skinner's too.
    CHECK(f->Color() == static_cast<forms::TColor>(f->data->Elements().ButtonFaceColour));

    f->data->SetActive(false);
    REQUIRE(ft::PumpUntil([&] { return !SkinnerOf(h); }, 3000));
    CHECK(GetWindowLongPtrW(h, GWLP_WNDPROC) == proc);
    CHECK_EQ(GetWindowLongW(h, GWL_STYLE), style);
    CHECK_EQ(GetWindowLongW(h, GWL_EXSTYLE), exStyle);
    CHECK(GetMenu(h) == menu);
    RECT after{};
    GetWindowRect(h, &after);
    CHECK_EQ(after.left, before.left);
    CHECK_EQ(after.top, before.top);
    CHECK_EQ(after.right, before.right);
    CHECK_EQ(after.bottom, before.bottom);
    CHECK(f->Color() == forms::clBtnFace);
    CHECK_EQ(SendMessageW(h, skin::WM_SKIN_ASK, 0, 0), 0);
    HRGN rgn = CreateRectRgn(0, 0, 0, 0);
    CHECK_EQ(GetWindowRgn(h, rgn), ERROR);
    DeleteObject(rgn);
    CHECK(rig.app.Errors.empty());
}

WT_TEST(SkinForm, ASkinnedFormSaysSoAndAFormTagged99IsLeftAlone) {
    Rig rig;
    REQUIRE(ShowSkinned(rig.form));
    CHECK_EQ(SendMessageW(rig.form->Handle(), skin::WM_SKIN_ASK, 0, 0), 1);
    FormRecipe plain;
    plain.skinData = false;
    plain.tag = 99;
    SkinnedForm* tagged = rig.Make(plain);
    tagged->Show();
    ft::Pump(100);
    CHECK_EQ(SendMessageW(tagged->Handle(), skin::WM_SKIN_ASK, 0, 0), 0);
    CHECK(Manager().WhyNotSkinned(tagged->Handle()) == skin::SkinRefusal::Tag99);
    plain.tag = 199;
    SkinnedForm* other = rig.Make(plain);
    CHECK(ShowSkinned(other));
    CHECK_EQ(Manager().FormSkinners().size(), 2u);
}

WT_TEST(SkinForm, TheClientAreaIsTheWindowLessTheSkinsBordersAndARegionCoversIt) {
    Rig rig;
    REQUIRE(ShowSkinned(rig.form));
    const HWND h = rig.form->Handle();
    TSkinForm* s = SkinnerOf(h);
    CHECK_EQ(s->BorderLeft, 4);
    CHECK_EQ(s->BorderRight, 4);
    CHECK_EQ(s->BorderBottom, 4);
    CHECK_EQ(s->MenuBarHeight, GetSystemMetrics(SM_CYMENU));
    RECT w{}, c{};
    GetWindowRect(h, &w);
    GetClientRect(h, &c);
    POINT origin{0, 0};
    ClientToScreen(h, &origin);
    CHECK_EQ(origin.x - w.left, s->BorderLeft);
    CHECK_EQ(origin.y - w.top, s->BorderTop + s->MenuBarHeight);
    CHECK_EQ(c.right, w.right - w.left - s->BorderLeft - s->BorderRight);
    CHECK_EQ(c.bottom, w.bottom - w.top - s->BorderTop - s->MenuBarHeight - s->BorderBottom);
    // The skin's borders are opaque: the region is the whole window.
    HRGN rgn = CreateRectRgn(0, 0, 0, 0);
    CHECK_EQ(GetWindowRgn(h, rgn), SIMPLEREGION);
    RECT box{};
    GetRgnBox(rgn, &box);
    CHECK_EQ(box.right, w.right - w.left);
    CHECK_EQ(box.bottom, w.bottom - w.top);
    // Resizing follows; a window of no size gets no region.
    SetWindowPos(h, nullptr, 0, 0, 300, 200, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    CHECK_EQ(GetWindowRgn(h, rgn), SIMPLEREGION);
    GetRgnBox(rgn, &box);
    CHECK_EQ(box.right, 300);
    CHECK_EQ(box.bottom, 200);
    DeleteObject(rgn);
}

WT_TEST(SkinForm, AWindowOfNoSizeGetsNoRegionUntilItHasOne) {
    Rig rig;
    REQUIRE(ShowSkinned(rig.form));
    const HWND h = CreateWindowExW(WS_EX_TOOLWINDOW, L"Static", nullptr, WS_POPUP | WS_VISIBLE, 20, 20, 0, 0, nullptr,
                                   nullptr, GetModuleHandleW(nullptr), nullptr);
    REQUIRE(h);
    CHECK(Manager().WhyNotSkinned(h) == skin::SkinRefusal::ZeroSize);
    {
        TSkinForm s(nullptr);
        s.Handle = h;
        s.AttachWindow(rig.form->data);
        SendMessageW(h, skin::WM_SKIN_ATTACHED, 0, 1000);
        CHECK_EQ(s.SkinState, 1);
        s.UpdateRegion();
        CHECK(!s.RegionSet());
        HRGN rgn = CreateRectRgn(0, 0, 0, 0);
        CHECK_EQ(GetWindowRgn(h, rgn), ERROR);
        SetWindowPos(h, nullptr, 0, 0, 50, 40, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        CHECK(s.RegionSet());
        CHECK_EQ(GetWindowRgn(h, rgn), SIMPLEREGION);
        DeleteObject(rgn);
        s.Detach();
    }
    DestroyWindow(h);
}

WT_TEST(SkinForm, BordersAndTitleShowFrameOneActiveAndFrameTwoInactive) {
    Rig rig;
    REQUIRE(ShowSkinned(rig.form));
    const HWND h = rig.form->Handle();
    SetWindowPos(h, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ft::Pump(100);
    const skin::SkinElements& e = rig.form->data->Elements();
    const skin::SkinPixels& left = e.BorderLeft->Bitmap;  // two frames side by side
    const skin::SkinPixels& top = e.BorderTop->Bitmap;    // two frames one above the other
    const int leftW = left.width / 2, topH = top.height / 2;
    auto check = [&](bool active) {
        SendMessageW(h, WM_NCACTIVATE, active, 0);
        WindowPixels p(h);
        const int frame = active ? 0 : 1;
        // Solid, unstretched places: the side border's middle column and the
        // title bar's second row, away from the text and the buttons.
        CHECK_EQ(Hex(p.At(1, p.h / 2)), Hex(left.Pixel(frame * leftW + 1, left.height / 2)));
        CHECK_EQ(Hex(p.At(p.w - 2, p.h / 2)), Hex(e.BorderRight->Bitmap.Pixel(frame * leftW + leftW - 2, left.height / 2)));
        CHECK_EQ(Hex(p.At(p.w / 2, 1)), Hex(top.Pixel(top.width / 2, frame * topH + 1)));
        CHECK_EQ(Hex(p.At(p.w / 2, p.h - 2)), Hex(e.BorderBottom->Bitmap.Pixel(e.BorderBottom->Bitmap.width / 2,
                                                                                  frame * (e.BorderBottom->Bitmap.height / 2) + 2)));
        CHECK(p.At(1, p.h / 2) != p.At(p.w / 2, p.h / 2));
    };
    check(true);
    check(false);
    CHECK(!SkinnerOf(h)->Active);
    check(true);
}

WT_TEST(SkinForm, TitleButtonsCloseAndMaximise) {
    Rig rig;
    REQUIRE(ShowSkinned(rig.form));
    const HWND h = rig.form->Handle();
    TSkinForm* s = SkinnerOf(h);
    REQUIRE(s->Active);
    skin::TWinSysButton* close = ButtonOf(*s, 0);
    skin::TWinSysButton* max = ButtonOf(*s, 1);
    REQUIRE(close && max);
    CHECK(close->Rect.left > max->Rect.left);
    TakePosted(h, WM_CLOSE, 0);
    ClickFrame(h, POINT{(close->Rect.left + close->Rect.right) / 2, (close->Rect.top + close->Rect.bottom) / 2});
    CHECK_EQ(TakePosted(h, WM_CLOSE, 0), 1);
    ClickFrame(h, POINT{(max->Rect.left + max->Rect.right) / 2, (max->Rect.top + max->Rect.bottom) / 2});
    CHECK_EQ(TakePosted(h, WM_SYSCOMMAND, SC_MAXIMIZE), 1);
    RECT r{};
    GetWindowRect(h, &r);
    // Moving from one button to another makes the first normal, the second hot.
    SendMessageW(h, WM_NCMOUSEMOVE, HTCAPTION, MAKELPARAM(r.left + close->Rect.left + 2, r.top + close->Rect.top + 2));
    CHECK(s->HotObject == close);
    CHECK_EQ(close->State, skin::ncHot);
    SendMessageW(h, WM_NCMOUSEMOVE, HTCAPTION, MAKELPARAM(r.left + max->Rect.left + 2, r.top + max->Rect.top + 2));
    CHECK(s->HotObject == max);
    CHECK_EQ(close->State, skin::ncNormal);
    CHECK_EQ(max->State, skin::ncHot);
    // A press that is let go elsewhere does nothing.
    SendMessageW(h, WM_NCLBUTTONDOWN, HTCAPTION,
                 MAKELPARAM(r.left + close->Rect.left + 2, r.top + close->Rect.top + 2));
    SendMessageW(h, WM_NCLBUTTONUP, HTCAPTION, MAKELPARAM(r.left + max->Rect.left + 2, r.top + max->Rect.top + 2));
    CHECK_EQ(TakePosted(h, WM_CLOSE, 0) + TakePosted(h, WM_SYSCOMMAND, SC_MAXIMIZE), 0);
    // The frame's bands answer the hit test: the sizing edge, the caption,
    // the menu bar.
    CHECK_EQ(SendMessageW(h, WM_NCHITTEST, 0, MAKELPARAM(r.left + 1, (r.top + r.bottom) / 2)), HTLEFT);
    CHECK_EQ(SendMessageW(h, WM_NCHITTEST, 0, MAKELPARAM(r.left + 150, r.top + 10)), HTCAPTION);
    CHECK_EQ(SendMessageW(h, WM_NCHITTEST, 0, MAKELPARAM(r.left + 150, r.top + s->BorderTop + 3)), HTMENU);
}

WT_TEST(SkinForm, FrameCountsBelowOneCountAsOne) {
    Rig rig;
    REQUIRE(ShowSkinned(rig.form));
    const HWND h = rig.form->Handle();
    TSkinForm* s = SkinnerOf(h);
    skin::SkinElements& e = rig.form->data->Elements();
    // Counts a damaged skin or a painter could leave: nothing divides by them.
    e.BorderLeft->FrameCount = 0;
    e.BorderTop->FrameCount = -2;
    for (auto& b : e.SysButtons) b->FrameCount = 0;
    s->FreeSysButtons();
    s->LoadNCMetrics();
    CHECK_EQ(s->BorderLeft, e.BorderLeft->Bitmap.width);
    CHECK_EQ(s->BorderTop, e.BorderTop->Bitmap.height);
    SendMessageW(h, skin::WM_SKIN_NCREPAINT, 0, 0);
    for (auto& b : s->SysButtons)
        if (b->Visible && !b->IsIcon()) CHECK_EQ(b->Rect.right - b->Rect.left, b->Element.Bitmap.width);
    CHECK(rig.app.Errors.empty());
}

WT_TEST(SkinForm, TwoSwitchesWithinTheJobDelayRunOneJob) {
    Rig rig;
    REQUIRE(ShowSkinned(rig.form));
    const int jobs = Manager().JobsRun();
    rig.form->data->SetActive(false);
    rig.form->data->SetActive(true);
    CHECK_EQ(Manager().JobCode(), skin::kJobCodeActivate);
    CHECK(Manager().JobTimerEnabled());
    ft::Pump(700);
    CHECK_EQ(Manager().JobsRun(), jobs + 1);
    CHECK(Skinned(rig.form->Handle()));
    CHECK(!Manager().JobTimerEnabled());
}

WT_TEST(SkinForm, AComponentFreedBeforeItsJobTakesTheJobAlong) {
    Rig rig;
    REQUIRE(ShowSkinned(rig.form));
    FormRecipe second;
    second.menu = false;
    SkinnedForm* other = rig.Make(second);
    REQUIRE(ShowSkinned(other));
    const int jobs = Manager().JobsRun();
    other->data->SetActive(false);
    CHECK(Manager().JobSkinData() == other->data);
    delete other->data;
    other->data = nullptr;
    CHECK(Manager().JobSkinData() == nullptr);
    CHECK(!Manager().JobTimerEnabled());
    ft::Pump(600);
    CHECK_EQ(Manager().JobsRun(), jobs);
    // Its window is no longer drawn from it.
    CHECK(!SkinnerOf(other->Handle()));
    CHECK(Skinned(rig.form->Handle()));
}

namespace {

struct PopupWatch {
    HWND window = nullptr;
    bool skinned = false;
    bool pendingWasIt = false;
    size_t skinners = 0;
};
PopupWatch g_popup;

void CALLBACK LookAtPopup(HWND, UINT, UINT_PTR id, DWORD) {
    const HWND popup = FindWindowW(L"#32768", nullptr);
    if (!popup || !IsWindowVisible(popup)) return;
    KillTimer(nullptr, id);
    UpdateWindow(popup);
    g_popup.window = popup;
    g_popup.skinned = SendMessageW(popup, skin::WM_SKIN_ASK, 0, 0) == 1;
    g_popup.skinners = Manager().PopupSkinners().size();
    skin::TSkinPopupMenu* p = Manager().FindPopupSkinner(popup);
    g_popup.pendingWasIt = p && skin::PendingPopup == p;
    EndMenu();
}

}  // namespace

WT_TEST(SkinForm, APopupMenuIsSkinnedWhileItIsOpen) {
    Rig rig;
    REQUIRE(ShowSkinned(rig.form));
    const HWND h = rig.form->Handle();
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, 1, L"One");
    AppendMenuW(menu, MF_STRING, 2, L"Two");
    g_popup = {};
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, &LookAtPopup);
    RECT r{};
    GetWindowRect(h, &r);
    TrackPopupMenu(menu, TPM_RETURNCMD, r.left + 60, r.top + 80, 0, h, nullptr);
    KillTimer(nullptr, timer);
    DestroyMenu(menu);
    CHECK(g_popup.window != nullptr);
    CHECK(g_popup.skinned);
    CHECK_EQ(g_popup.skinners, 1u);
    CHECK(g_popup.pendingWasIt);
    ft::Pump(50);
    CHECK(Manager().PopupSkinners().empty());
    // The skinner that painted last is gone, and so is the reference to it.
    CHECK(skin::PendingPopup == nullptr);
}

namespace {

LRESULT CALLBACK FrameProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    static HWND client = nullptr;
    if (msg == WM_CREATE) {
        CLIENTCREATESTRUCT ccs{nullptr, 1000};
        client = CreateWindowExW(0, L"MDICLIENT", nullptr, WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 100, 100,
                                 hwnd, nullptr, GetModuleHandleW(nullptr), &ccs);
        return 0;
    }
    return DefFrameProcW(hwnd, client, msg, wParam, lParam);
}

LRESULT CALLBACK ChildProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return DefMDIChildProcW(hwnd, msg, wParam, lParam);
}

}  // namespace

WT_TEST(SkinForm, ARawMdiFrameAndItsChildrenAreSkinned) {
    Rig rig;
    REQUIRE(ShowSkinned(rig.form));
    WNDCLASSW frame{};
    frame.lpfnWndProc = &FrameProc;
    frame.hInstance = GetModuleHandleW(nullptr);
    frame.lpszClassName = L"SkinTestFrame";
    frame.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1);
    RegisterClassW(&frame);
    WNDCLASSW child{};
    child.lpfnWndProc = &ChildProc;
    child.hInstance = GetModuleHandleW(nullptr);
    child.lpszClassName = L"SkinTestChild";
    RegisterClassW(&child);
    // With a menu bar, which the skinned bar takes over.
    const HMENU bar = CreateMenu();
    const HMENU window = CreatePopupMenu();
    AppendMenuW(window, MF_STRING, 1, L"&Cascade");
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(window), L"&Window");
    const HWND h = CreateWindowExW(0, L"SkinTestFrame", L"Frame", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 100, 100,
                                   500, 400, nullptr, bar, GetModuleHandleW(nullptr), nullptr);
    REQUIRE(h);
    ShowWindow(h, SW_SHOW);
    SetForegroundWindow(h);
    REQUIRE(ft::PumpUntil([&] { return Skinned(h); }, 3000));
    TSkinForm* s = SkinnerOf(h);
    CHECK_EQ(s->WindowKind, 1);
    REQUIRE(s->MDIClient != nullptr);
    CHECK(s->Form == nullptr);
    // A new child is skinned when the frame refreshes its window menu.
    MDICREATESTRUCTW mcs{L"SkinTestChild", L"Child", GetModuleHandleW(nullptr), 10, 10, 200, 150, 0, 0};
    const HWND c = reinterpret_cast<HWND>(SendMessageW(s->MDIClient, WM_MDICREATE, 0, reinterpret_cast<LPARAM>(&mcs)));
    REQUIRE(c);
    CHECK(!SkinnerOf(c));  // an MDI child is not skinned on activation alone
    SendMessageW(s->MDIClient, WM_MDIREFRESHMENU, 0, 0);
    REQUIRE(ft::PumpUntil([&] { return Skinned(c); }, 3000));
    TSkinForm* cs = SkinnerOf(c);
    CHECK_EQ(cs->WindowKind, 2);
    CHECK_EQ(Manager().CountMdiChildren(), 1);
    RECT w{}, cl{};
    GetWindowRect(c, &w);
    GetClientRect(c, &cl);
    CHECK_EQ(cl.right, w.right - w.left - cs->BorderLeft - cs->BorderRight);
    // Maximised, the child leaves its frame to the system.
    SendMessageW(s->MDIClient, WM_MDIMAXIMIZE, reinterpret_cast<WPARAM>(c), 0);
    ft::Pump(50);
    CHECK_EQ(cs->ShowState, 1);
    // The frame's bar shows the child's buttons: the manager is in the
    // maximised mode once it has painted.
    REQUIRE(s->MenuBar);
    CHECK(GetMenu(h) == nullptr);
    Manager().SetMdiMaximized(false);
    SendMessageW(h, skin::WM_SKIN_NCREPAINT, 0, 0);
    CHECK(Manager().MdiMaximized());
    SendMessageW(s->MDIClient, WM_MDIDESTROY, reinterpret_cast<WPARAM>(c), 0);
    REQUIRE(ft::PumpUntil([&] { return !SkinnerOf(c); }, 3000));
    DestroyWindow(h);
    REQUIRE(ft::PumpUntil([&] { return !SkinnerOf(h); }, 3000));
    CHECK(rig.app.Errors.empty());
}

namespace {

// A skinner of a windowless control that says when it is freed.
class LabelSkinner : public skin::TSkinControl {
public:
    LabelSkinner(forms::TComponent* owner, forms::TControl* control, bool& freed)
        : skin::TSkinControl(owner), m_freed(freed) {
        m_control = control;
    }
    ~LabelSkinner() override { m_freed = true; }

private:
    bool& m_freed;
};

}  // namespace

WT_TEST(SkinForm, ASkinnerGoesWithItsWindowlessControlWhoeverOwnsIt) {
    Rig rig;
    REQUIRE(ShowSkinned(rig.form));
    TSkinForm* s = SkinnerOf(rig.form->Handle());
    // A label of the skinned form: the form's own components are heard.
    auto* own = new forms::TLabel(rig.form);
    own->SetParent(rig.form);
    bool ownFreed = false;
    s->AddSkinner(new LabelSkinner(s, own, ownFreed));
    // A label owned by another form, shown on this one: heard because the
    // skinner asked to be told.
    FormRecipe plain;
    plain.skinData = false;
    plain.menu = false;
    SkinnedForm* other = rig.Make(plain);
    auto* foreign = new forms::TLabel(other);
    foreign->SetParent(rig.form);
    bool foreignFreed = false;
    s->AddSkinner(new LabelSkinner(s, foreign, foreignFreed));
    s->FreeNotification(foreign);
    CHECK_EQ(s->Skinners.size(), 2u);
    delete own;
    CHECK(ownFreed);
    delete foreign;
    CHECK(foreignFreed);
    CHECK(s->Skinners.empty());
}

WT_TEST(SkinForm, AControlKeepsAReplacedWindowProcWhenItMovesToAnotherParent) {
    Rig rig;
    FormRecipe plain;
    plain.skinData = false;
    SkinnedForm* other = rig.Make(plain);
    auto* button = new forms::TButton(rig.form);
    button->SetParent(rig.form);
    rig.form->Show();
    other->Show();
    const HWND first = button->Handle();
    int seen = 0;
    forms::TWndMethod old = button->WindowProc;
    button->WindowProc = [&](forms::TMessage& m) {
        if (m.Msg == WM_USER + 7) ++seen;
        old(m);
    };
    SendMessageW(first, WM_USER + 7, 0, 0);
    button->SetParent(other);
    CHECK(button->Handle() != first);
    SendMessageW(button->Handle(), WM_USER + 7, 0, 0);
    CHECK_EQ(seen, 2);
    button->WindowProc = old;
}

// ---- The drawing helpers on real bitmaps -----------------------------------------------------

namespace {

std::unique_ptr<forms::TBitmap> Solid(int w, int h, COLORREF c) {
    auto b = std::make_unique<forms::TBitmap>(w, h);
    const HBRUSH brush = CreateSolidBrush(c);
    const RECT r{0, 0, w, h};
    FillRect(b->Canvas().Handle(), &r, brush);
    DeleteObject(brush);
    return b;
}

COLORREF At(forms::TBitmap& b, int x, int y) { return GetPixel(b.Canvas().Handle(), x, y); }

}  // namespace

WT_TEST(SkinImage, BorderOnlyLeavesTheCentreAndTransparentDrawingTheKeyedPixels) {
    auto target_ = Solid(60, 40, RGB(10, 20, 30));
    forms::TBitmap& target = *target_;
    auto strip_ = Solid(24, 12, RGB(200, 100, 50));
    forms::TBitmap& strip = *strip_;  // two frames of 12 x 12
    skin::DrawSkinBorderOnly(target.Canvas().Handle(), RECT{10, 5, 50, 35}, strip, {3, 3, 3, 3}, false, 2, 2);
    CHECK_EQ(At(target, 30, 20), RGB(10, 20, 30));  // the centre stays
    CHECK_EQ(At(target, 11, 6), RGB(200, 100, 50));
    CHECK_EQ(At(target, 48, 33), RGB(200, 100, 50));
    CHECK_EQ(At(target, 5, 20), RGB(10, 20, 30));  // outside the rectangle

    auto picture_ = Solid(8, 8, RGB(1, 2, 3));
    forms::TBitmap& picture = *picture_;
    SetPixel(picture.Canvas().Handle(), 2, 2, skin::kSkinKeyColour);
    skin::TransparentBlit(target.Canvas().Handle(), RECT{0, 0, 8, 8}, picture, skin::kSkinKeyColour);
    CHECK_EQ(At(target, 2, 2), RGB(10, 20, 30));
    CHECK_EQ(At(target, 3, 2), RGB(1, 2, 3));
}

WT_TEST(SkinImage, CopyRectStretchesInTheCanvassMode) {
    auto source_ = Solid(2, 1, RGB(0, 0, 0));
    auto target_ = Solid(1, 1, RGB(9, 9, 9));
    forms::TCanvas& canvas = target_->Canvas();
    canvas.CopyRect(RECT{0, 0, 1, 1}, source_->Canvas(), RECT{0, 0, 2, 1});
    CHECK_EQ(GetStretchBltMode(canvas.Handle()), COLORONCOLOR);
    // A canvas set to halftone (the skin's pictures) stretches in halftone.
    canvas.SetStretchMode(HALFTONE);
    canvas.CopyRect(RECT{0, 0, 1, 1}, source_->Canvas(), RECT{0, 0, 2, 1});
    CHECK_EQ(GetStretchBltMode(canvas.Handle()), HALFTONE);
    CHECK_EQ(At(*target_, 0, 0), RGB(0, 0, 0));
}

WT_TEST(SkinImage, TilesAndBarsDrawWhatTheirPiecesSay) {
    // A 3 x 2 pattern tiled over an odd target equals tiling it one by one.
    forms::TBitmap source(3, 2);
    const COLORREF colours[] = {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255), RGB(9, 9, 9), RGB(90, 90, 90), RGB(200, 200, 0)};
    for (int i = 0; i < 6; ++i) SetPixel(source.Canvas().Handle(), i % 3, i / 3, colours[i]);
    auto tiled_ = Solid(40, 30, RGB(1, 1, 1));
    forms::TBitmap& tiled = *tiled_;
    skin::TileBitmap(tiled.Canvas(), RECT{4, 3, 33, 24}, source, RECT{0, 0, 3, 2});
    int wrong = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) {
            // Whole tiles from (4, 3): 10 across (30 columns), 11 down (22 rows).
            const bool in = x >= 4 && x < 34 && y >= 3 && y < 25;
            const COLORREF want = in ? colours[(y - 3) % 2 * 3 + (x - 4) % 3] : RGB(1, 1, 1);
            wrong += At(tiled, x, y) != want;
        }
    CHECK_EQ(wrong, 0);
    // A bar whose frame is no wider than its margins is drawn, and returns.
    auto strip_ = Solid(10, 6, RGB(60, 70, 80));
    forms::TBitmap& strip = *strip_;
    auto bar_ = Solid(100, 6, RGB(0, 0, 0));
    forms::TBitmap& bar = *bar_;
    skin::DrawSkinBarTiled(bar.Canvas(), RECT{0, 0, 100, 6}, strip, {6, 0, 6, 0}, false, false, 1, 1);
    CHECK_EQ(At(bar, 50, 3), RGB(60, 70, 80));
}

WT_TEST(SkinImage, RegionsHoldTheOpaquePixels) {
    auto equal = [](HRGN a, HRGN b) { return EqualRgn(a, b) != FALSE; };
    // All key: empty. No key: the whole rectangle, moved by the offsets.
    auto keyed_ = Solid(20, 10, skin::kSkinKeyColour);
    forms::TBitmap& keyed = *keyed_;
    HRGN r = skin::RegionFromBitmap(keyed, 0, 0, 1, 1, 1, skin::kSkinKeyColour);
    RECT box{};
    CHECK_EQ(GetRgnBox(r, &box), NULLREGION);
    DeleteObject(r);
    auto opaque_ = Solid(20, 10, RGB(3, 4, 5));
    forms::TBitmap& opaque = *opaque_;
    r = skin::RegionFromBitmap(opaque, 7, 9, 1, 1, 1, skin::kSkinKeyColour);
    HRGN whole = CreateRectRgn(7, 9, 27, 19);
    CHECK(equal(r, whole));
    DeleteObject(r);
    DeleteObject(whole);
    // Green 1 counts as the key with a tolerance of 1; green 2 does not.
    auto almost_ = Solid(4, 1, skin::kSkinKeyColour);
    forms::TBitmap& almost = *almost_;
    SetPixel(almost.Canvas().Handle(), 1, 0, RGB(255, 1, 255));
    SetPixel(almost.Canvas().Handle(), 2, 0, RGB(255, 2, 255));
    r = skin::RegionFromBitmap(almost, 0, 0, 1, 1, 1, skin::kSkinKeyColour);
    whole = CreateRectRgn(2, 0, 3, 1);
    CHECK(equal(r, whole));
    DeleteObject(r);
    DeleteObject(whole);
    // More than 2000 runs: the same region as one built pixel run by run.
    auto stripes_ = Solid(101, 60, RGB(0, 0, 0));
    forms::TBitmap& stripes = *stripes_;
    for (int y = 0; y < 60; ++y)
        for (int x = (y % 2); x < 101; x += 2) SetPixel(stripes.Canvas().Handle(), x, y, skin::kSkinKeyColour);
    r = skin::RegionFromBitmap(stripes, 0, 0, 1, 1, 1, skin::kSkinKeyColour);
    HRGN expected = CreateRectRgn(0, 0, 0, 0);
    for (int y = 0; y < 60; ++y)
        for (int x = 1 - (y % 2); x < 101; x += 2) {
            HRGN one = CreateRectRgn(x, y, x + 1, y + 1);
            CombineRgn(expected, expected, one, RGN_OR);
            DeleteObject(one);
        }
    CHECK(equal(r, expected));
    DeleteObject(r);
    DeleteObject(expected);
}
