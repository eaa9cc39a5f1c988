// The skinned menu bar and its menu tracking, the skinned system menu and
// owner-drawn menu items, with the real skin manager: menus opened by
// posted clicks and keys, popup-menu windows counted as they come and go.
#include <windows.h>

#include <algorithm>
#include <vector>

#include "framework/com/WinText.h"
#include "framework/forms/Forms.h"
#include "framework/forms/ImgList.h"
#include "skin/SkinData.h"
#include "skin/SkinForm.h"
#include "skin/SkinManager.h"
#include "skin/SkinMenu.h"
#include "tests/framework/wine/FormsTestUtil.h"
#include "tests/wine/harness/WineTest.h"
#include "tools/skinkit/DefaultSkin.h"

using forms::String;
using forms::TMenuItem;
using skin::TSkinData;
using skin::TSkinForm;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes DefaultStored() {
    return skinkit::StoredSkinArchive(skinkit::WriteSkinArchive(skinkit::BuildSkinEntries(skinkit::DefaultPalette())));
}

struct MenuRecipe {
    bool disabledSecond = false;  // the second top item is disabled
    bool maximize = true;
};
MenuRecipe g_recipe;

// A skinned form with a menu bar: File, View (or a disabled Edit), Go
// (no submenu) and Help; and a popup menu.
class MenuForm : public forms::TForm {
public:
    FORMS_CLASS(MenuForm)
    explicit MenuForm(forms::TComponent* owner) : forms::TForm(owner) {
        SetCaption(u"Menus");
        SetBounds(60, 60, 460, 300);
        if (!g_recipe.maximize) SetBorderIcons(forms::biSystemMenu | forms::biMinimize);
        data = new TSkinData(this);
        data->SetActive(true);
        forms::TMemoryStream s(DefaultStored());
        data->ReadSkinStream(s);
        auto* menu = new forms::TMainMenu(this);
        file = Top(menu, u"&File", {u"&Open", u"&Save"});
        second = Top(menu, g_recipe.disabledSecond ? u"&Edit" : u"&View", {u"&Large", u"&Small"});
        if (g_recipe.disabledSecond) second->SetEnabled(false);
        go = Top(menu, u"&Go", {});
        go->OnClick = [this](forms::TObject*) { ++goClicks; };
        help = Top(menu, u"&Help", {u"&About"});
        SetMenu(menu);
        popup = new forms::TPopupMenu(this);
        auto* p = new TMenuItem(this);
        p->SetCaption(u"Preview");
        popup->Items()->Add(p);
    }
    TMenuItem* Top(forms::TMainMenu* menu, const char16_t* caption, std::vector<const char16_t*> items) {
        auto* top = new TMenuItem(this);
        top->SetCaption(caption);
        menu->Items()->Add(top);
        for (const char16_t* c : items) {
            auto* i = new TMenuItem(this);
            i->SetCaption(c);
            top->Add(i);
        }
        return top;
    }
    TSkinData* data = nullptr;
    TMenuItem *file = nullptr, *second = nullptr, *go = nullptr, *help = nullptr;
    forms::TPopupMenu* popup = nullptr;
    int goClicks = 0;
};

struct Rig {
    ft::TestApp app;
    MenuForm* form = nullptr;
    TSkinForm* skinner = nullptr;
    explicit Rig(MenuRecipe recipe = {}) {
        skin::DestroySkinManager();
        skin::SetSkinManagerFactory(nullptr);
        g_recipe = recipe;
        app.App().CreateForm(form);
        form->Show();
        ft::PumpUntil([&] {
            skinner = skin::SkinManage() ? skin::SkinManage()->FindFormSkinner(form->Handle()) : nullptr;
            return skinner && skinner->SkinState == 1;
        }, 3000);
    }
    ~Rig() { skin::DestroySkinManager(); }
    skin::TSkinMenuBar& Bar() { return *skinner->MenuBar; }
};

// Popup-menu windows as they are made and destroyed, through a CBT hook.
struct PopupCount {
    HHOOK hook = nullptr;
    int alive = 0, most = 0, made = 0;
};
PopupCount g_popups;

COLORREF Resolve(skin::SkinColour c) {
    return (c & skin::kSystemColour) ? GetSysColor(static_cast<int>(c & 0xFF)) : static_cast<COLORREF>(c);
}

bool IsPopupMenuWindow(HWND wnd) {
    WCHAR name[16] = {};
    GetClassNameW(wnd, name, 16);
    return lstrcmpW(name, L"#32768") == 0;
}

LRESULT CALLBACK CountPopups(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND && IsPopupMenuWindow(reinterpret_cast<HWND>(wParam))) {
        ++g_popups.made;
        g_popups.most = std::max(g_popups.most, ++g_popups.alive);
    } else if (code == HCBT_DESTROYWND && IsPopupMenuWindow(reinterpret_cast<HWND>(wParam))) {
        --g_popups.alive;
    }
    return CallNextHookEx(g_popups.hook, code, wParam, lParam);
}

struct CountingPopups {
    CountingPopups() {
        g_popups = {};
        g_popups.hook = SetWindowsHookExW(WH_CBT, &CountPopups, nullptr, GetCurrentThreadId());
    }
    ~CountingPopups() { UnhookWindowsHookEx(g_popups.hook); }
};

// A test message filter that walks the menus with posted keys: each time a
// new bar item is open, it records the index and posts the next key; with
// the keys used up, Esc.
struct Walk {
    HHOOK hook = nullptr;
    HWND window = nullptr;
    std::vector<WPARAM> keys;
    size_t next = 0;
    int lastIndex = -2;
    std::vector<int> opened;
    int filterMessages = 0;
};
Walk g_walk;

LRESULT CALLBACK WalkFilter(int code, WPARAM wParam, LPARAM lParam) {
    if (code == MSGF_MENU) {
        ++g_walk.filterMessages;
        const int index = skin::TrackedMenuIndex();
        if (index != g_walk.lastIndex) {
            g_walk.lastIndex = index;
            g_walk.opened.push_back(index);
            const WPARAM key = g_walk.next < g_walk.keys.size() ? g_walk.keys[g_walk.next++] : VK_ESCAPE;
            PostMessageW(g_walk.window, WM_KEYDOWN, key, 0);
        }
    }
    return CallNextHookEx(g_walk.hook, code, wParam, lParam);
}

void CALLBACK KeepAwake(HWND, UINT, UINT_PTR, DWORD) {}

// A safety net: no test may hang in a menu loop.
void CALLBACK CloseMenus(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    EndMenu();
}

// Runs the walk from a posted click on a bar button.
std::vector<int> WalkFrom(Rig& rig, int button, std::vector<WPARAM> keys) {
    g_walk = {};
    g_walk.window = rig.form->Handle();
    g_walk.keys = std::move(keys);
    g_walk.hook = SetWindowsHookExW(WH_MSGFILTER, &WalkFilter, nullptr, GetCurrentThreadId());
    const UINT_PTR awake = SetTimer(nullptr, 0, 20, &KeepAwake);
    const UINT_PTR safety = SetTimer(nullptr, 0, 5000, &CloseMenus);
    rig.Bar().PostClick(rig.Bar().Button(button));
    ft::Pump(100);
    ft::PumpUntil([] { return skin::TrackedMenuIndex() < 0 && !FindWindowW(L"#32768", nullptr); }, 3000);
    KillTimer(nullptr, awake);
    KillTimer(nullptr, safety);
    UnhookWindowsHookEx(g_walk.hook);
    return g_walk.opened;
}

}  // namespace

WT_TEST(SkinMenu, TheBarTakesTheWindowMenuAndGivesItBack) {
    Rig rig;
    REQUIRE(rig.skinner);
    const HWND h = rig.form->Handle();
    const HMENU menu = rig.form->Menu()->Handle();
    CHECK(GetMenu(h) == nullptr);
    REQUIRE(rig.skinner->MenuBar);
    skin::TSkinMenuBar& bar = rig.Bar();
    REQUIRE(bar.Count() == 4);
    CHECK(bar.Button(0).Caption == u"&File");
    CHECK(bar.Button(0).SubMenu == rig.form->file->Handle());
    CHECK_EQ(bar.Button(2).Command, rig.form->go->Command());
    CHECK(bar.Button(2).SubMenu == nullptr);
    // Buttons side by side in the band, left to right.
    CHECK(bar.Button(0).Rect.top >= rig.skinner->BorderTop);
    CHECK(bar.Button(1).Rect.left >= bar.Button(0).Rect.right);
    // Hovering a button frames it in the ButtonHilight colour.
    RECT w{};
    GetWindowRect(h, &w);
    const RECT b1 = bar.Button(1).Rect;
    const COLORREF hilight = Resolve(rig.form->data->Elements().ButtonHilightColour);
    auto pixel = [&] {
        const HDC dc = GetWindowDC(h);
        const COLORREF c = GetPixel(dc, b1.left, b1.top + 3);
        ReleaseDC(h, dc);
        return c;
    };
    CHECK(pixel() != hilight);
    SendMessageW(h, WM_NCMOUSEMOVE, HTMENU, MAKELPARAM(w.left + b1.left + 4, w.top + b1.top + 4));
    CHECK(rig.skinner->HotObject == &bar.Button(1));
    CHECK_EQ(bar.Button(1).State, skin::ncHot);
    CHECK_EQ(pixel(), hilight);
    // A menu changed while skinned is taken over again.
    rig.form->help->SetCaption(u"&Hilfe");
    CHECK(GetMenu(h) == nullptr);
    CHECK(bar.Button(3).Caption == u"&Hilfe");
    // The form's popup menu is owner-drawn while skinned.
    CHECK(rig.form->popup->OwnerDraw());
    CHECK(static_cast<bool>(rig.form->popup->Items()->Items(0)->OnAdvancedDrawItem));

    rig.form->data->SetActive(false);
    REQUIRE(ft::PumpUntil([&] { return !skin::SkinManage()->FindFormSkinner(h); }, 3000));
    CHECK(GetMenu(h) == menu);
    CHECK(!rig.form->popup->OwnerDraw());
    CHECK(!rig.form->popup->Items()->Items(0)->OnAdvancedDrawItem);
    // The submenus are the system's to draw again.
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE;
    REQUIRE(GetMenuItemInfoW(rig.form->file->Handle(), 0, TRUE, &info));
    CHECK(!(info.fType & MFT_OWNERDRAW));
    CHECK(rig.app.Errors.empty());
}

WT_TEST(SkinMenu, AClickOpensTheSubmenuAndTheArrowsWalkTheBarWithOneMenuAtATime) {
    Rig rig;
    REQUIRE(rig.skinner);
    CountingPopups counting;
    // Right from File: View, then Go, which has no submenu: its command
    // is posted and the walk ends there.
    std::vector<int> opened = WalkFrom(rig, 0, {VK_RIGHT, VK_RIGHT});
    REQUIRE(opened.size() == 2u);
    CHECK_EQ(opened[0], 0);
    CHECK_EQ(opened[1], 1);
    ft::Pump(50);
    CHECK_EQ(rig.form->goClicks, 1);

    // From Help, Right wraps to File; from File, Left wraps to Help.
    opened = WalkFrom(rig, 3, {VK_RIGHT, VK_LEFT, VK_LEFT});
    REQUIRE(opened.size() == 3u);
    CHECK_EQ(opened[0], 3);
    CHECK_EQ(opened[1], 0);
    CHECK_EQ(opened[2], 3);
    ft::Pump(50);
    CHECK_EQ(rig.form->goClicks, 2);
    CHECK(g_popups.made >= 3);
    CHECK_EQ(g_popups.most, 1);
    CHECK_EQ(g_popups.alive, 0);
    CHECK(!skin::MenuFilterInstalled());
    CHECK(!rig.skinner->Tracking);
    CHECK(rig.app.Errors.empty());
}

WT_TEST(SkinMenu, RightToLeftTurnsTheArrowsAround) {
    Rig rig;
    REQUIRE(rig.skinner);
    rig.skinner->RightToLeft = true;
    SendMessageW(rig.form->Handle(), skin::WM_SKIN_NCREPAINT, 0, 0);
    // Laid out from the right.
    CHECK(rig.Bar().Button(0).Rect.left > rig.Bar().Button(1).Rect.left);
    const std::vector<int> opened = WalkFrom(rig, 0, {VK_LEFT});
    REQUIRE(opened.size() >= 2u);
    CHECK_EQ(opened[1], 1);
    rig.skinner->RightToLeft = false;
}

WT_TEST(SkinMenu, AltLetterOpensItsMenuAndKeyMenuStartsNoMenuLoop) {
    Rig rig;
    REQUIRE(rig.skinner);
    const HWND h = rig.form->Handle();
    g_walk = {};
    g_walk.window = h;
    g_walk.hook = SetWindowsHookExW(WH_MSGFILTER, &WalkFilter, nullptr, GetCurrentThreadId());
    const UINT_PTR awake = SetTimer(nullptr, 0, 20, &KeepAwake);
    const UINT_PTR safety = SetTimer(nullptr, 0, 3000, &CloseMenus);
    // Alt+H, as the keyboard sends it (the context bit says Alt is down).
    PostMessageW(h, WM_SYSCHAR, 'h', 1 << 29);
    ft::Pump(100);
    ft::PumpUntil([] { return skin::TrackedMenuIndex() < 0 && !FindWindowW(L"#32768", nullptr); }, 3000);
    REQUIRE(!g_walk.opened.empty());
    CHECK_EQ(g_walk.opened[0], 3);

    // The key that starts the system's own menu mode is answered alone.
    g_walk.filterMessages = 0;
    CHECK_EQ(SendMessageW(h, WM_SYSCOMMAND, SC_KEYMENU, 0), 1);
    ft::Pump(100);
    CHECK_EQ(g_walk.filterMessages, 0);
    KillTimer(nullptr, awake);
    KillTimer(nullptr, safety);
    UnhookWindowsHookEx(g_walk.hook);
}

WT_TEST(SkinMenu, ADisabledItemDoesNotOpenAndAnItemWithoutSubmenuOnlyPostsItsCommand) {
    Rig rig(MenuRecipe{true});
    REQUIRE(rig.skinner);
    CountingPopups counting;
    const UINT_PTR safety = SetTimer(nullptr, 0, 2000, &CloseMenus);
    skin::TSkinMenuBar& bar = rig.Bar();
    CHECK(!bar.Button(1).Enabled);
    bar.PostClick(bar.Button(1));
    ft::Pump(150);
    bar.PostClick(bar.Button(2));
    ft::Pump(150);
    KillTimer(nullptr, safety);
    CHECK_EQ(g_popups.made, 0);
    CHECK_EQ(rig.form->goClicks, 1);
    CHECK(!rig.skinner->Tracking);
}

namespace {

void CALLBACK EndSystemMenu(HWND, UINT, UINT_PTR id, DWORD) {
    if (!FindWindowW(L"#32768", nullptr)) return;
    KillTimer(nullptr, id);
    EndMenu();
}

}  // namespace

WT_TEST(SkinMenu, TheSystemMenuFollowsTheWindowAndASecondShowingCloses) {
    Rig rig(MenuRecipe{false, false});
    REQUIRE(rig.skinner);
    auto* menu = dynamic_cast<forms::TPopupMenu*>(rig.skinner->FindComponent(u"SkinSystemMenu"));
    REQUIRE(menu);
    CHECK(menu->OwnerDraw());
    CHECK(menu->Images() == rig.form->data->MenuImages());
    std::vector<String> captions;
    for (int i = 0; i < menu->Items()->Count(); ++i) captions.push_back(menu->Items()->Items(i)->Caption());
    CHECK((captions == std::vector<String>{u" Restore ", u" Minimize ", u"-", u" Close "}));
    CHECK(forms::ShortCutToText(menu->Items()->Items(3)->ShortCut()) == u"Shift+F4");
    // The owner-drawn separator is found by its command like any item:
    // its plain measure, the item strip's margin and 12.
    TMenuItem* separator = menu->Items()->Items(2);
    CHECK_EQ(GetMenuItemID(menu->Handle(), 2), separator->Command());
    MEASUREITEMSTRUCT ms{ODT_MENU, 0, separator->Command(), 0, 0, 0};
    forms::TMessage mm{WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&ms), 0};
    CHECK(forms::MenuOwnerDrawMessage(mm));
    CHECK_EQ(static_cast<int>(ms.itemWidth), 10 + rig.form->data->Elements().MenuItem->LeftWidth + 12);
    CHECK_EQ(static_cast<int>(ms.itemHeight), 8);

    const HWND h = rig.form->Handle();
    CountingPopups counting;
    SetTimer(nullptr, 0, 30, &EndSystemMenu);
    rig.skinner->ShowSystemMenu(POINT{120, 120});
    CHECK_EQ(g_popups.made, 1);
    // Restore is off for a window in its normal state.
    CHECK(!menu->Items()->Items(0)->Enabled());
    MSG m;
    while (PeekMessageW(&m, h, WM_CLOSE, WM_CLOSE, PM_REMOVE)) {
    }
    rig.skinner->ShowSystemMenu(POINT{120, 120});
    CHECK(PeekMessageW(&m, h, WM_CLOSE, WM_CLOSE, PM_REMOVE));
    CHECK_EQ(g_popups.made, 1);
}

WT_TEST(SkinMenu, ItemsAreMeasuredAndDrawnFromTheSkin) {
    Rig rig;
    REQUIRE(rig.skinner);
    TSkinData& data = *rig.form->data;
    skin::SkinElements& e = data.Elements();
    REQUIRE(e.MenuItem);
    const int margin = e.MenuItem->LeftWidth;

    // A framework item: its plain measure, the margin, 10 and 25 more
    // (the bar's menu has no images).
    const HDC screen = GetDC(nullptr);
    MEASUREITEMSTRUCT mi{ODT_MENU, 0, rig.form->file->Items(0)->Command(), 0, 0, 0};
    forms::TMessage m{WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&mi), 0};
    REQUIRE(skin::MenuSkinning().menuItemMessage(*rig.skinner, m));
    CHECK_EQ(m.Result, TRUE);
    {
        const HDC dc = CreateCompatibleDC(nullptr);
        NONCLIENTMETRICSW metrics{};
        metrics.cbSize = sizeof metrics;
        SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
        const HFONT font = CreateFontIndirectW(&metrics.lfMenuFont);
        const HGDIOBJ old = SelectObject(dc, font);
        forms::TCanvas canvas;
        canvas.SetHandle(dc);
        int w = 0, hgt = 0;
        rig.form->file->Items(0)->DefaultMeasureItem(canvas, w, hgt);
        canvas.SetHandle(nullptr);
        SelectObject(dc, old);
        DeleteObject(font);
        DeleteDC(dc);
        CHECK_EQ(static_cast<int>(mi.itemWidth), w + margin + 10 + 25);
        CHECK_EQ(static_cast<int>(mi.itemHeight), hgt);
    }
    // A native item of the bar's menu: its text, 26 and the margin.
    AppendMenuW(rig.form->help->Handle(), MF_STRING, 0x7A01, L"Native item");
    MEASUREITEMSTRUCT native{ODT_MENU, 0, 0x7A01, 0, 0, 0};
    m = forms::TMessage{WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&native), 0};
    REQUIRE(skin::MenuSkinning().menuItemMessage(*rig.skinner, m));
    const SIZE text = skin::MeasureMenuText(u"Native item");
    CHECK_EQ(static_cast<int>(native.itemWidth), text.cx + 26 + margin);
    CHECK_EQ(static_cast<int>(native.itemHeight), text.cy + 4);
    ReleaseDC(nullptr, screen);

    // Drawing into a memory DC: the selected frame's corner is the strip's
    // frame 4; a normal item shows the menu colour there (frame 1 is
    // transparent).
    forms::TBitmap target;
    target.SetPixelFormat(forms::TPixelFormat::pf24bit);
    target.SetSize(200, 60);
    const HDC dc = target.Canvas().Handle();
    const RECT rect{10, 5, 190, 25};
    skin::MenuItemFacts facts;
    facts.caption = u"Open";
    forms::TBitmap* strip = data.Picture(e.MenuItem->Bitmap);
    REQUIRE(strip);
    const int fw = strip->Width() / 5;
    const COLORREF frame4 = GetPixel(strip->Canvas().Handle(), 3 * fw, 0);
    skin::SkinMenuItemDraw(data, facts, dc, true, rect, nullptr);
    CHECK_EQ(GetPixel(dc, rect.left, rect.top), frame4);
    skin::SkinMenuItemDraw(data, facts, dc, false, rect, nullptr);
    CHECK_EQ(GetPixel(dc, rect.left, rect.top), Resolve(e.MenuColour));

    // Checked without an image: the system's check mark in the glyph box.
    auto darkIn = [&](int left) {
        int n = 0;
        for (int y = rect.top + 1; y < rect.top + 17; ++y)
            for (int x = left; x < left + 16; ++x)
                if (GetPixel(dc, x, y) == RGB(0, 0, 0)) ++n;
        return n;
    };
    const int leftBox = rect.left + 1 + margin, rightBox = rect.right - 17 - margin;
    CHECK_EQ(darkIn(leftBox), 0);
    facts.checked = true;
    skin::SkinMenuItemDraw(data, facts, dc, false, rect, nullptr);
    CHECK(darkIn(leftBox) > 3);
    // Right to left, the mark goes to the right end.
    facts.rightToLeft = true;
    skin::SkinMenuItemDraw(data, facts, dc, false, rect, nullptr);
    CHECK_EQ(darkIn(leftBox), 0);
    CHECK(darkIn(rightBox) > 3);
    facts.rightToLeft = false;

    // Without a MenuItem picture, a selected item is the highlight colour.
    auto saved = std::move(e.MenuItem);
    facts.checked = false;
    skin::SkinMenuItemDraw(data, facts, dc, true, rect, nullptr);
    CHECK_EQ(GetPixel(dc, rect.right - 2, rect.top + 1), Resolve(e.HilightColour));
    e.MenuItem = std::move(saved);
}

WT_TEST(SkinMenu, ShortCutsAndAcceleratorsReadAndWriteTheirTexts) {
    CHECK(forms::ShortCutToText(forms::scShift | VK_F4) == u"Shift+F4");
    CHECK(forms::ShortCutToText(forms::scCtrl | forms::scShift | 'S') == u"Shift+Ctrl+S");
    CHECK_EQ(forms::TextToShortCut(u"ctrl+shift+s"), forms::scCtrl | forms::scShift | 'S');
    CHECK_EQ(forms::TextToShortCut(u"Del"), VK_DELETE);
    CHECK_EQ(forms::TextToShortCut(u"Shift+"), 0);
    CHECK_EQ(forms::TextToShortCut(u"Nonsense"), 0);
    CHECK(forms::ShortCutToText(0) == u"");
    CHECK(forms::IsAccel(u'f', u"&File"));
    CHECK(!forms::IsAccel(u'i', u"&File"));
    CHECK(!forms::IsAccel(u'b', u"R&&B"));
    CHECK(forms::IsAccel(u'x', u"R&&B &x"));
    CHECK(!forms::IsAccel(u'a', u"a&"));
}
