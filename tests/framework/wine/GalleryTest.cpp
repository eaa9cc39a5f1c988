// Every control of the forms layer on one form, each driven by the
// messages a user's actions send: clicks, keys, notifications, drags.
#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <string>
#include <vector>

#include "framework/com/WinText.h"
#include "framework/forms/Buttons.h"
#include "framework/forms/ComCtrls.h"
#include "framework/forms/ExtCtrls.h"
#include "framework/forms/Forms.h"
#include "framework/forms/ImgList.h"
#include "framework/forms/Menus.h"
#include "framework/forms/StdCtrls.h"
#include "framework/forms/WinStreams.h"
#include "tests/framework/wine/FormsTestUtil.h"
#include "tests/wine/harness/WineTest.h"

using namespace forms;

namespace {

template <class T>
T* Put(TComponent* owner, TWinControl* parent, const char16_t* name, int l, int t, int w, int h,
       const String& caption = String()) {
    T* c = new T(owner);
    c->SetName(name);
    c->SetBounds(l, t, w, h);
    if (!caption.empty()) c->SetCaption(caption);
    c->SetParent(parent);
    return c;
}

class TGalleryForm : public TForm {
public:
    FORMS_CLASS(TGalleryForm)
    explicit TGalleryForm(TComponent* owner) : TForm(owner) {
        SetName(u"GalleryForm");
        SetCaption(u"Gallery");
        SetClientSize(760, 560);
        images = new TImageList(this);
        images->SetName(u"images");
        images->AddResource(GetModuleHandleW(nullptr), u"TOOLBUTTONS", clFuchsia);
        menu = new TMainMenu(this);
        fileItem = new TMenuItem(this);
        fileItem->SetCaption(u"&File");
        menu->Items()->Add(fileItem);
        exitItem = new TMenuItem(this);
        exitItem->SetCaption(u"E&xit");
        fileItem->Add(exitItem);
        SetMenu(menu);
        toolbar = Put<TToolBar>(this, this, u"toolbar", 0, 0, 760, 40);
        toolbar->SetShowCaptions(true);
        toolbar->SetImages(images);
        for (int i = 0; i < 3; ++i) {
            auto* b = new TToolButton(this);
            b->SetCaption(i == 0 ? u"&Add Files" : i == 1 ? u"Add &Dir" : u"&Remove");
            b->SetImageIndex(i);
            b->SetParent(toolbar);
            tools.push_back(b);
        }
        status = Put<TStatusBar>(this, this, u"status", 0, 0, 760, 20);
        status->AddPanel(200);
        status->AddPanel(100);
        left = Put<TPanel>(this, this, u"left", 0, 0, 250, 100);
        left->SetAlign(TAlign::alLeft);
        left->SetBevelOuter(TBevelCut::bvNone);
        splitter = Put<TSplitter>(this, this, u"splitter", 250, 0, 4, 100);
        right = Put<TPanel>(this, this, u"right", 254, 0, 100, 100);
        right->SetAlign(TAlign::alClient);
        right->SetBevelOuter(TBevelCut::bvNone);

        // Left: the standard controls.
        label = Put<TLabel>(this, left, u"label", 8, 8, 0, 0, u"A label");
        link = Put<TLinkLabel>(this, left, u"link", 8, 28, 0, 0, u"(a link)");
        button = Put<TButton>(this, left, u"button", 8, 48, 75, 25, u"&Button");
        check = Put<TCheckBox>(this, left, u"check", 8, 80, 120, 17, u"Check");
        group = Put<TGroupBox>(this, left, u"group", 8, 100, 230, 60, u"Group");
        radioA = Put<TRadioButton>(this, group, u"radioA", 8, 16, 80, 17, u"A");
        radioB = Put<TRadioButton>(this, group, u"radioB", 8, 36, 80, 17, u"B");
        edit = Put<TEdit>(this, left, u"edit", 8, 166, 120, 21);
        combo = new TComboBox(this);
        combo->SetStyle(TComboBoxStyle::csDropDownList);
        combo->SetBounds(8, 192, 120, 21);
        combo->SetParent(left);
        for (const char16_t* s : {u"one", u"two", u"three"}) combo->Items().Add(s);
        listBox = Put<TListBox>(this, left, u"listBox", 8, 218, 120, 60);
        for (const char16_t* s : {u"alpha", u"beta", u"gamma"}) listBox->Items().Add(s);
        memo = Put<TMemo>(this, left, u"memo", 136, 166, 100, 60);
        bevel = Put<TBevel>(this, left, u"bevel", 136, 232, 100, 10);
        spin = Put<TSpinEdit>(this, left, u"spin", 136, 250, 60, 21);
        spin->SetMinValue(0);
        spin->SetMaxValue(10);
        speed = Put<TSpeedButton>(this, left, u"speed", 200, 248, 40, 24);
        progress = Put<TProgressBar>(this, left, u"progress", 8, 286, 230, 16);
        track = Put<TTrackBar>(this, left, u"track", 8, 306, 230, 30);
        track->SetRange(0, 10);
        fileList = Put<TFileListBox>(this, left, u"fileList", 8, 340, 230, 40);

        // Right: a page control with the list view, the tree view and the rich edit.
        pages = Put<TPageControl>(this, right, u"pages", 4, 4, 490, 450);
        listPage = new TTabSheet(this);
        listPage->SetCaption(u"List");
        listPage->SetPageControl(pages);
        treePage = new TTabSheet(this);
        treePage->SetCaption(u"Tree");
        treePage->SetPageControl(pages);
        logPage = new TTabSheet(this);
        logPage->SetCaption(u"Log");
        logPage->SetPageControl(pages);
        listView = Put<TListView>(this, listPage, u"listView", 4, 4, 470, 400);
        listView->SetViewStyle(TViewStyle::vsReport);
        listView->SetMultiSelect(true);
        listView->SetReadOnly(true);
        listView->SetSmallImages(images);
        listView->AddColumn(u"File Name", 150);
        listView->AddColumn(u"Path", 200);
        popup = new TPopupMenu(this);
        previewItem = new TMenuItem(this);
        previewItem->SetCaption(u"Preview");
        popup->Items()->Add(previewItem);
        listView->SetPopupMenu(popup);
        treeView = Put<TTreeView>(this, treePage, u"treeView", 4, 4, 470, 400);
        treeView->SetImages(images);
        rich = Put<TRichEdit>(this, logPage, u"rich", 4, 4, 470, 400);
        rich->SetScrollBars(TScrollStyle::ssVertical);
        timer = new TTimer(this);
        timer->SetEnabled(false);
        timer->SetInterval(20);
    }

    TImageList* images;
    TMainMenu* menu;
    TMenuItem* fileItem;
    TMenuItem* exitItem;
    TToolBar* toolbar;
    std::vector<TToolButton*> tools;
    TStatusBar* status;
    TPanel* left;
    TSplitter* splitter;
    TPanel* right;
    TLabel* label;
    TLinkLabel* link;
    TButton* button;
    TCheckBox* check;
    TGroupBox* group;
    TRadioButton* radioA;
    TRadioButton* radioB;
    TEdit* edit;
    TComboBox* combo;
    TListBox* listBox;
    TMemo* memo;
    TBevel* bevel;
    TSpinEdit* spin;
    TSpeedButton* speed;
    TProgressBar* progress;
    TTrackBar* track;
    TFileListBox* fileList;
    TPageControl* pages;
    TTabSheet* listPage;
    TTabSheet* treePage;
    TTabSheet* logPage;
    TListView* listView;
    TPopupMenu* popup;
    TMenuItem* previewItem;
    TTreeView* treeView;
    TRichEdit* rich;
    TTimer* timer;
};

struct Gallery {
    ft::TestApp app;
    TGalleryForm* form = nullptr;
    Gallery() {
        app.App().CreateForm(form);
        form->Show();
        ft::Pump(30);
    }
};

void Click(HWND hwnd, POINT p) { ft::ClickAt(hwnd, p.x, p.y); }

// List and tree views track the mouse in a loop of their own after the
// press; the release must already wait in the queue.
void ClickTracked(HWND hwnd, POINT p) {
    PostMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(p.x, p.y));
    SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.x, p.y));
    ft::Pump(20);
}

POINT Center(const RECT& r) { return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

void Type(HWND hwnd, const char16_t* text) {
    for (const char16_t* c = text; *c; ++c) SendMessageW(hwnd, WM_CHAR, *c, 0);
}

void Key(HWND hwnd, WORD key) {
    SendMessageW(hwnd, WM_KEYDOWN, key, 0);
    SendMessageW(hwnd, WM_KEYUP, key, 0xC0000000);
}

// Picks the n-th item (from 0) of the popup menu that comes up next.
class MenuPicker {
public:
    explicit MenuPicker(int downs) {
        s_downs = downs;
        s_done = false;
        m_timer = SetTimer(nullptr, 0, 50, &Tick);
    }
    ~MenuPicker() { KillTimer(nullptr, m_timer); }
    static bool Done() { return s_done; }

private:
    static BOOL CALLBACK Find(HWND hwnd, LPARAM param) {
        WCHAR cls[32] = {};
        GetClassNameW(hwnd, cls, 32);
        if (lstrcmpW(cls, L"#32768") == 0 && IsWindowVisible(hwnd)) {
            *reinterpret_cast<HWND*>(param) = hwnd;
            return FALSE;
        }
        return TRUE;
    }
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        if (s_done) return;
        HWND menu = nullptr;
        EnumWindows(&Find, reinterpret_cast<LPARAM>(&menu));
        if (!menu) return;
        for (int i = 0; i <= s_downs; ++i) PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 0);
        PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
        s_done = true;
    }
    static inline int s_downs = 0;
    static inline bool s_done = false;
    UINT_PTR m_timer;
};

}  // namespace

WT_TEST(Gallery, ButtonsCheckBoxesAndRadioButtons) {
    Gallery g;
    TGalleryForm* f = g.form;
    std::vector<std::string> log;
    f->button->OnClick = [&](TObject*) { log.push_back("button"); };
    f->check->OnClick = [&](TObject*) { log.push_back(f->check->Checked() ? "checked" : "unchecked"); };
    f->radioA->OnClick = [&](TObject*) { log.push_back("A"); };
    f->radioB->OnClick = [&](TObject*) { log.push_back("B"); };
    ft::ClickButton(*f->button);
    ft::ClickButton(*f->check);
    ft::ClickButton(*f->check);
    ft::ClickButton(*f->radioA);
    ft::ClickButton(*f->radioB);
    ft::ClickButton(*f->radioB);  // already checked: no new click
    CHECK(log == (std::vector<std::string>{"button", "checked", "unchecked", "A", "B"}));
    CHECK(!f->radioA->Checked() && f->radioB->Checked());
    CHECK_EQ(SendMessageW(f->radioA->Handle(), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    // Setting Checked in code is a click as well.
    f->check->SetChecked(true);
    CHECK(log.back() == "checked");
    CHECK_EQ(SendMessageW(f->check->Handle(), BM_GETCHECK, 0, 0), BST_CHECKED);
    f->button->SetEnabled(false);
    CHECK(!IsWindowEnabled(f->button->Handle()));
    CHECK(g.app.Errors.empty());
}

WT_TEST(Gallery, LabelsAreDrawnByTheirParentAndLinksAreClickable) {
    Gallery g;
    TGalleryForm* f = g.form;
    CHECK(f->label->Width() > 20 && f->label->Height() > 5);
    const int before = f->label->Width();
    f->label->SetCaption(u"A much longer label text");
    CHECK(f->label->Width() > before);
    int clicks = 0;
    f->link->OnClick = [&](TObject*) { ++clicks; };
    // The click lands on the panel that draws the link.
    const RECT r = f->link->BoundsRect();
    Click(f->left->Handle(), Center(r));
    CHECK_EQ(clicks, 1);
    CHECK(f->link->Cursor() == crHandPoint);
    CHECK((f->link->Font().Style() & fsUnderline) != 0);
}

WT_TEST(Gallery, SpeedButtonsClickAndShowTheImageOfTheirState) {
    Gallery g;
    TGalleryForm* f = g.form;
    TSpeedButton* b = f->speed;
    // Two 8 x 8 images: red (its bottom-left pixel magenta, the transparent
    // colour) for up, blue for disabled.
    TBitmap strip(16, 8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x) strip.Canvas().SetPixel(x, y, x < 8 ? clRed : clBlue);
    strip.Canvas().SetPixel(0, 7, clFuchsia);
    strip.SetTransparent(true);
    b->SetGlyph(strip);
    b->SetNumGlyphs(2);
    const HWND panel = f->left->Handle();
    auto pixelAt = [&](int x, int y) {
        RedrawWindow(panel, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        const HDC dc = GetDC(panel);
        const COLORREF c = GetPixel(dc, b->Left() + x, b->Top() + y);
        ReleaseDC(panel, dc);
        return c;
    };
    // Without a caption the glyph sits in the middle: (40 - 8) / 2, (24 - 8 + 1) / 2.
    CHECK_EQ(pixelAt(16 + 4, 8 + 2), RGB(255, 0, 0));
    CHECK(pixelAt(16, 8 + 7) != RGB(255, 0, 255));
    b->SetEnabled(false);
    CHECK_EQ(pixelAt(16 + 4, 8 + 2), RGB(0, 0, 255));
    b->SetEnabled(true);
    b->SetDown(true);  // the strip has no "down" image: the first one, one pixel in
    CHECK_EQ(pixelAt(17 + 4, 9 + 2), RGB(255, 0, 0));
    b->SetDown(false);

    int clicks = 0;
    b->OnClick = [&](TObject*) { ++clicks; };
    const POINT c = Center(b->BoundsRect());
    SendMessageW(panel, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(c.x, c.y));
    CHECK(b->Pressed());
    SendMessageW(panel, WM_LBUTTONUP, 0, MAKELPARAM(c.x, c.y));
    CHECK(!b->Pressed());
    CHECK_EQ(clicks, 1);
    // Pressed, then released away from the button: no click.
    SendMessageW(panel, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(c.x, c.y));
    SendMessageW(panel, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(c.x + 100, c.y));
    CHECK(!b->Pressed());
    SendMessageW(panel, WM_LBUTTONUP, 0, MAKELPARAM(c.x + 100, c.y));
    CHECK_EQ(clicks, 1);
    CHECK(g.app.Errors.empty());
}

WT_TEST(Gallery, EditsMemoSpinEditComboAndListBox) {
    Gallery g;
    TGalleryForm* f = g.form;
    int changes = 0;
    f->edit->OnChange = [&](TObject*) { ++changes; };
    Type(f->edit->Handle(), u"abc");
    CHECK(f->edit->GetText() == u"abc");
    CHECK_EQ(changes, 3);
    f->edit->SetText(u"abc");  // the same text changes nothing
    CHECK_EQ(changes, 3);
    f->memo->Lines().Add(u"first");
    f->memo->Lines().Add(u"second");
    CHECK_EQ(f->memo->Lines().Count(), 2);
    CHECK(f->memo->GetText() == u"first\r\nsecond");
    f->memo->Lines().Delete(0);
    CHECK(f->memo->Lines()[0] == u"second");

    f->spin->SetValue(4);
    Key(f->spin->Handle(), VK_UP);
    CHECK_EQ(f->spin->Value(), 5);
    f->spin->SetValue(42);
    CHECK_EQ(f->spin->Value(), 10);
    f->spin->SetText(u"x");
    CHECK_EQ(f->spin->Value(), 0);

    int comboChanges = 0;
    f->combo->OnChange = [&](TObject*) { ++comboChanges; };
    f->combo->SetItemIndex(0);
    CHECK_EQ(comboChanges, 0);  // not in code
    SetFocus(f->combo->Handle());
    Key(f->combo->Handle(), VK_DOWN);
    CHECK_EQ(f->combo->ItemIndex(), 1);
    CHECK_EQ(comboChanges, 1);
    f->combo->SetItemIndex(7);  // beyond the items: no selection
    CHECK_EQ(f->combo->ItemIndex(), -1);
    f->combo->SetText(u"three");
    CHECK_EQ(f->combo->ItemIndex(), 2);

    int listClicks = 0;
    f->listBox->OnClick = [&](TObject*) { ++listClicks; };
    RECT item{};
    SendMessageW(f->listBox->Handle(), LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&item));
    Click(f->listBox->Handle(), Center(item));
    CHECK_EQ(f->listBox->ItemIndex(), 1);
    CHECK_EQ(listClicks, 1);
    CHECK(f->listBox->Items()[1] == u"beta");
    f->listBox->Items().Delete(0);
    CHECK_EQ(f->listBox->Items().Count(), 2);
}

WT_TEST(Gallery, ProgressTrackBarStatusBarAndTimer) {
    Gallery g;
    TGalleryForm* f = g.form;
    f->progress->SetPosition(40);
    CHECK_EQ(SendMessageW(f->progress->Handle(), PBM_GETPOS, 0, 0), 40);
    f->progress->SetPosition(140);
    CHECK_EQ(f->progress->Position(), 100);
    int moves = 0;
    f->track->OnChange = [&](TObject*) { ++moves; };
    SetFocus(f->track->Handle());
    Key(f->track->Handle(), VK_RIGHT);
    CHECK_EQ(f->track->Position(), 1);
    CHECK_EQ(moves, 1);
    f->status->SetPanelText(1, u"Ready");
    WCHAR text[32] = {};
    SendMessageW(f->status->Handle(), SB_GETTEXTW, 1, reinterpret_cast<LPARAM>(text));
    CHECK(com::U16(text) == u"Ready");
    // The status bar sits at the bottom, the tool bar at the top.
    CHECK_EQ(f->status->Top() + f->status->Height(), f->ClientHeight());
    CHECK_EQ(f->toolbar->Top(), 0);
    int ticks = 0;
    f->timer->OnTimer = [&](TObject*) {
        if (++ticks == 3) f->timer->SetEnabled(false);
    };
    f->timer->SetEnabled(true);
    CHECK(ft::PumpUntil([&] { return ticks == 3; }, 3000));
    ft::Pump(80);
    CHECK_EQ(ticks, 3);
}

WT_TEST(Gallery, PageControlListViewAndItsPopupMenu) {
    Gallery g;
    TGalleryForm* f = g.form;
    int pageChanges = 0;
    f->pages->OnChange = [&](TObject*) { ++pageChanges; };
    RECT tab{};
    SendMessageW(f->pages->Handle(), TCM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&tab));
    Click(f->pages->Handle(), Center(tab));
    CHECK(f->pages->ActivePage() == f->treePage);
    CHECK(IsWindowVisible(f->treePage->Handle()) && !IsWindowVisible(f->listPage->Handle()));
    CHECK_EQ(pageChanges, 1);
    f->pages->SetActivePage(f->listPage);
    CHECK_EQ(pageChanges, 1);  // not in code

    for (int i = 0; i < 3; ++i) {
        TListItem* item = f->listView->Items().Add();
        item->SetCaption(u"clip" + IntToStr(i) + u".avi");
        item->SubItems().Add(u"C:\\videos");
        item->SetImageIndex(i);
    }
    WCHAR text[64] = {};
    LVITEMW lv{};
    lv.iSubItem = 1;
    lv.pszText = text;
    lv.cchTextMax = 64;
    SendMessageW(f->listView->Handle(), LVM_GETITEMTEXTW, 2, reinterpret_cast<LPARAM>(&lv));
    CHECK(com::U16(text) == u"C:\\videos");
    std::vector<int> selected;
    f->listView->OnSelectItem = [&](TObject*, TListItem* item, bool on) {
        if (on) selected.push_back(item->Index());
    };
    int doubles = 0;
    f->listView->OnDblClick = [&](TObject*) { ++doubles; };
    RECT itemRect{};
    itemRect.left = LVIR_LABEL;
    SendMessageW(f->listView->Handle(), LVM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&itemRect));
    ClickTracked(f->listView->Handle(), Center(itemRect));
    CHECK(f->listView->Selected() == f->listView->Items()[1]);
    CHECK(selected == std::vector<int>(1, 1));
    const POINT c = Center(itemRect);
    SendMessageW(f->listView->Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(c.x, c.y));
    SendMessageW(f->listView->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(c.x, c.y));
    CHECK_EQ(doubles, 1);
    f->listView->Items()[2]->SetSelected(true);
    CHECK_EQ(f->listView->SelCount(), 2);
    f->listView->CustomSort([](TListItem* a, TListItem* b) { return -CompareText(a->Caption(), b->Caption()); });
    CHECK(f->listView->Items()[0]->Caption() == u"clip2.avi");
    SendMessageW(f->listView->Handle(), LVM_GETITEMTEXTW, 0, reinterpret_cast<LPARAM>(&(lv.iSubItem = 0, lv)));
    CHECK(com::U16(text) == u"clip2.avi");

    int previews = 0;
    f->previewItem->OnClick = [&](TObject*) { ++previews; };
    {
        MenuPicker pick(0);
        POINT screen = f->listView->ClientToScreen(c);
        SendMessageW(f->listView->Handle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(f->listView->Handle()),
                     MAKELPARAM(screen.x, screen.y));
        CHECK(MenuPicker::Done());
    }
    CHECK_EQ(previews, 1);
    f->listView->Items().Delete(0);
    CHECK_EQ(SendMessageW(f->listView->Handle(), LVM_GETITEMCOUNT, 0, 0), 2);
    f->listView->Clear();
    CHECK_EQ(SendMessageW(f->listView->Handle(), LVM_GETITEMCOUNT, 0, 0), 0);
}

WT_TEST(Gallery, TreeViewExpandsLazily) {
    Gallery g;
    TGalleryForm* f = g.form;
    f->pages->SetActivePage(f->treePage);
    TTreeNode* root = f->treeView->Items().Add(nullptr, u"Drives");
    root->SetHasChildren(true);
    int expansions = 0;
    f->treeView->OnExpanding = [&](TObject*, TTreeNode* node, bool& allow) {
        ++expansions;
        if (node->Count() == 0) {
            f->treeView->Items().AddChild(node, u"C:")->SetHasChildren(true);
            f->treeView->Items().AddChild(node, u"D:");
        }
        allow = true;
    };
    TTreeNode* changed = nullptr;
    f->treeView->OnChange = [&](TObject*, TTreeNode* node) { changed = node; };
    root->Expand(false);
    CHECK_EQ(expansions, 1);
    CHECK(root->Expanded());
    REQUIRE(root->Count() == 2);
    TTreeNode* c = root->Item(0);
    CHECK(c->Level() == 1 && c->Parent() == root && c->GetNextSibling() == root->Item(1));
    // A click on the expand button of C: fills it as the user opens it.
    RECT r{};
    const HTREEITEM id = c->ItemId();
    std::memcpy(&r, &id, sizeof id);  // TVM_GETITEMRECT takes the item in the rectangle
    SendMessageW(f->treeView->Handle(), TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&r));
    ClickTracked(f->treeView->Handle(), Center(r));
    CHECK(changed == c);
    CHECK(f->treeView->Selected() == c);
    SendMessageW(f->treeView->Handle(), TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(c->ItemId()));
    c->Expand(false);
    CHECK_EQ(expansions, 2);
    CHECK_EQ(f->treeView->Items().Count(), 5);
    c->DeleteChildren();
    root->Item(1)->Delete();
    CHECK_EQ(f->treeView->Items().Count(), 2);
    CHECK_EQ(SendMessageW(f->treeView->Handle(), TVM_GETCOUNT, 0, 0), 2);
}

WT_TEST(Gallery, RichEditAppendsColouredLinesSavesRtfAndLaysOutPages) {
    Gallery g;
    TGalleryForm* f = g.form;
    TRichEdit* r = f->rich;
    r->Font().SetName(u"Arial");
    auto add = [&](const String& line, TColor color) {
        r->SetSelStart(r->GetTextLen() + 1);
        r->SelAttributes().SetColor(color);
        r->Lines().Add(line);
    };
    add(u"blue line", clBlue);
    add(u"red line", clRed);
    add(u"", clWhite);
    add(u"green line", clGreen);
    CHECK_EQ(r->Lines().Count(), 4);
    CHECK(r->Lines()[1] == u"red line");
    auto colourAt = [&](int position) {
        r->SetSelStart(position);
        r->SetSelLength(1);
        return r->SelAttributes().Color();
    };
    CHECK_EQ(colourAt(0), clBlue);
    CHECK_EQ(colourAt(11), clRed);  // after "blue line" and its paragraph mark
    CHECK_EQ(colourAt(r->GetTextLen() - 3), clGreen);

    WCHAR temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const String path = com::U16(temp) + u"gallery-log.rtf";
    r->Lines().SaveToFile(path);
    std::string rtf;
    {
        TFileStream in(path, fmOpenRead);
        rtf.resize(static_cast<size_t>(in.Size()));
        in.ReadBuffer(&rtf[0], static_cast<int64_t>(rtf.size()));
    }
    DeleteFileW(com::W(path));
    CHECK(rtf.compare(0, 5, "{\\rtf") == 0);
    CHECK(rtf.find("\\red255\\green0\\blue0") != std::string::npos);
    CHECK(rtf.find("green line") != std::string::npos);

    for (int i = 0; i < 200; ++i) add(u"line " + IntToStr(i), clBlack);
    TBitmap page(400, 300);
    page.Canvas().Brush().SetColor(clWhite);
    page.Canvas().FillRect(RECT{0, 0, 400, 300});
    int newPages = 0;
    const int count = r->RenderPages(page.Canvas().Handle(), RECT{0, 0, 400, 300}, [&](int) { ++newPages; });
    CHECK(count > 1);
    CHECK_EQ(newPages, count - 1);
    // Something was drawn, and in the first line's colour.
    bool blue = false;
    for (int y = 0; y < 40 && !blue; ++y)
        for (int x = 0; x < 200 && !blue; ++x) blue = page.Canvas().Pixel(x, y) == clBlue;
    CHECK(blue);
    r->Lines().Clear();
    CHECK_EQ(r->GetTextLen(), 0);
}

WT_TEST(Gallery, ToolBarMenusSplitterAndImageLists) {
    Gallery g;
    TGalleryForm* f = g.form;
    CHECK_EQ(f->images->Count(), 8);  // the tool bar strip of the resources
    int clicks = 0;
    f->tools[1]->OnClick = [&](TObject*) { ++clicks; };
    RECT r{};
    SendMessageW(f->toolbar->Handle(), TB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&r));
    Click(f->toolbar->Handle(), Center(r));
    CHECK_EQ(clicks, 1);
    f->tools[1]->SetEnabled(false);
    CHECK(!SendMessageW(f->toolbar->Handle(), TB_ISBUTTONENABLED, static_cast<WPARAM>(f->tools[1]->Command()), 0));

    int exits = 0;
    f->exitItem->OnClick = [&](TObject*) { ++exits; };
    SendMessageW(f->Handle(), WM_COMMAND, f->exitItem->Command(), 0);  // as the menu sends it
    CHECK_EQ(exits, 1);
    CHECK(GetMenu(f->Handle()) == f->menu->Handle());
    f->exitItem->SetEnabled(false);
    CHECK(GetMenuState(f->fileItem->Handle(), 0, MF_BYPOSITION) & MF_GRAYED);

    // Dragging the splitter widens the panel on its left.
    const int width = f->left->Width();
    const int x = f->splitter->Left() + 1, y = f->splitter->Top() + 20;
    int moved = 0;
    f->splitter->OnMoved = [&](TObject*) { ++moved; };
    SendMessageW(f->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    SendMessageW(f->Handle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x + 40, y));
    SendMessageW(f->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(x + 40, y));
    CHECK_EQ(f->left->Width(), width + 40);
    CHECK_EQ(f->splitter->Left(), width + 40);
    CHECK_EQ(f->right->Left(), width + 40 + f->splitter->Width());
    CHECK_EQ(moved, 1);
}

WT_TEST(Gallery, DragAndDropBetweenControls) {
    Gallery g;
    TGalleryForm* f = g.form;
    TListItem* item = f->listView->Items().Add();
    item->SetCaption(u"clip.avi");
    f->listView->SetDragMode(TDragMode::dmAutomatic);
    std::vector<std::string> log;
    f->listBox->OnDragOver = [&](TObject*, TObject* source, int, int, TDragState state, bool& accept) {
        accept = source == f->listView;
        if (state == TDragState::dsDragEnter) log.push_back("enter");
    };
    f->listBox->OnDragDrop = [&](TObject*, TObject* source, int, int) {
        log.push_back(source == f->listView ? "drop from list view" : "drop from elsewhere");
    };
    f->listView->OnEndDrag = [&](TObject*, TObject* target, int, int) {
        log.push_back(target == f->listBox ? "ended on list box" : "ended nowhere");
    };
    // The moves and the release wait in the queue; the drag reads them.
    auto dragTo = [&](TWinControl* target) {
        const HWND capture = f->listView->Handle();
        POINT p = target->ClientToScreen(POINT{10, 10});
        ScreenToClient(capture, &p);
        PostMessageW(capture, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(p.x, p.y));
        PostMessageW(capture, WM_LBUTTONUP, 0, MAKELPARAM(p.x, p.y));
        f->listView->BeginDrag(true);
    };
    dragTo(f->listBox);
    CHECK(log == (std::vector<std::string>{"enter", "drop from list view", "ended on list box"}));
    log.clear();
    dragTo(f->edit);  // no drag-over handler: refused
    CHECK(log == std::vector<std::string>(1, "ended nowhere"));
    CHECK(!f->listView->Dragging());
    CHECK(GetCapture() == nullptr);
}

WT_TEST(Gallery, TheFileListBoxListsAFolderByMask) {
    Gallery g;
    TGalleryForm* f = g.form;
    WCHAR temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const String dir = com::U16(temp) + u"gallery-files\\";
    CreateDirectoryW(com::W(dir), nullptr);
    CreateDirectoryW(com::W(dir + u"sub.avi"), nullptr);
    for (const char16_t* n : {u"b.avi", u"a.MPG", u"c.txt"}) {
        const HANDLE h = CreateFileW(com::W(dir + n), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        CloseHandle(h);
    }
    f->fileList->SetMask(u"*.avi;*.MPG");
    f->fileList->SetDirectory(dir);
    TStrings& items = f->fileList->Items();
    CHECK_EQ(items.Count(), 2);  // no folder, no .txt
    CHECK(items.Count() == 2 && items[0] == u"a.MPG" && items[1] == u"b.avi");
    for (const char16_t* n : {u"b.avi", u"a.MPG", u"c.txt"}) DeleteFileW(com::W(dir + n));
    RemoveDirectoryW(com::W(dir + u"sub.avi"));
    RemoveDirectoryW(com::W(dir));
}

WT_TEST(Gallery, AReplacedWindowProcSeesTheMessagesAndCanHandOn) {
    Gallery g;
    TGalleryForm* f = g.form;
    TButton* b = f->button;
    const TWndMethod old = b->WindowProc;
    std::vector<UINT> seen;
    b->WindowProc = [&](TMessage& m) {
        seen.push_back(m.Msg);
        old(m);
    };
    int clicks = 0;
    b->OnClick = [&](TObject*) { ++clicks; };
    ft::ClickButton(*b);
    CHECK_EQ(clicks, 1);
    CHECK(std::find(seen.begin(), seen.end(), CN_COMMAND) != seen.end());
    SendMessageW(b->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
    CHECK(std::find(seen.begin(), seen.end(), CM_MOUSEENTER) != seen.end());
    b->SetEnabled(false);
    CHECK(std::find(seen.begin(), seen.end(), CM_ENABLEDCHANGED) != seen.end());
    b->WindowProc = old;
    const size_t before = seen.size();
    SendMessageW(b->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(4, 4));
    CHECK_EQ(seen.size(), before);
    // A windowless control is painted through its WindowProc as well: the
    // parent's DC comes with WM_PAINT, its origin at the control.
    TLabel* label = f->label;
    const TWndMethod oldLabel = label->WindowProc;
    int painted = 0;
    label->WindowProc = [&](TMessage& m) {
        if (m.Msg != WM_PAINT) return oldLabel(m);
        ++painted;
        const HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
        const RECT whole{0, 0, label->Width(), label->Height()};
        FillRect(reinterpret_cast<HDC>(m.WParam), &whole, red);
        DeleteObject(red);
    };
    const HWND panel = f->left->Handle();
    auto pixelAt = [&](int x, int y) {
        RedrawWindow(panel, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        const HDC dc = GetDC(panel);
        const COLORREF c = GetPixel(dc, x, y);
        ReleaseDC(panel, dc);
        return c;
    };
    CHECK_EQ(pixelAt(label->Left() + 1, label->Top() + 1), RGB(255, 0, 0));
    CHECK(painted > 0);
    label->WindowProc = oldLabel;
    CHECK(pixelAt(label->Left() + 1, label->Top() + 1) != RGB(255, 0, 0));

    // The components in creation order, by name and class.
    CHECK(f->Component(0) == f->images);
    CHECK(f->FindComponent(u"LISTVIEW") == f->listView);
    CHECK(std::string(f->treeView->ClassName()) == "TTreeView");
    CHECK(dynamic_cast<TCustomTreeView*>(f->treeView) != nullptr);
    CHECK(dynamic_cast<TCustomListView*>(f->listView) != nullptr);
    CHECK(dynamic_cast<TCustomEdit*>(f->spin) != nullptr);
}
