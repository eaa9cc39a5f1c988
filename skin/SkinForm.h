// TSkinForm skins one top-level window, a form of the framework or a bare
// window (a system dialog, a message box): it takes over the window's
// procedure, draws the whole frame (borders, title bar with text, icon and
// buttons, and the menu-bar band) from the skin in force, sizes the frame,
// answers hit tests, cuts the window into a region, follows the mouse over
// its title-bar buttons with a 250 ms timer, and has the window's controls
// skinned. The skin manager makes one per window it skins.
//
// TNCObject is a clickable part of the frame with a mouse state;
// TWinSysButton is a title-bar button bound to one button of the skin.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "framework/forms/Controls.h"
#include "framework/forms/Graphics.h"
#include "framework/forms/Messages.h"
#include "skin/SkinRules.h"

namespace forms {
class TCustomForm;
class TTimer;
}  // namespace forms

namespace skin {

class TDataSkinSysButton;
class TSkinControl;
class TSkinData;
class TSkinForm;
class TSkinMenuBar;

// Private messages of the skin engine.
constexpr UINT WM_SKIN_RESKIN = 0x3401;      // through a form's WindowProc: re-skin
constexpr UINT WM_SKIN_NCREPAINT = 0x3502;   // repaint the frame
constexpr UINT WM_SKIN_ATTACHED = 0x3503;    // posted after attaching: finish
constexpr UINT WM_SKIN_ASK = 0x3504;         // answered 1 by a skinned window

enum TNCState { ncNormal = 1, ncPressed = 2, ncHot = 3 };

class TNCObject {
public:
    explicit TNCObject(TSkinForm& owner) : m_form(owner) {}
    virtual ~TNCObject();
    TNCObject(const TNCObject&) = delete;
    TNCObject& operator=(const TNCObject&) = delete;

    RECT Rect{};  // window coordinates
    bool Visible = true;
    int State = ncNormal;

    virtual void MouseDown();
    virtual void MouseUp();
    virtual void MouseMove();
    virtual void MouseLeave();
    virtual void Paint() {}

protected:
    TSkinForm& m_form;
};

class TWinSysButton : public TNCObject {
public:
    TWinSysButton(TSkinForm& owner, TDataSkinSysButton& element) : TNCObject(owner), Element(element) {}
    TDataSkinSysButton& Element;
    // The window's icon (system-menu buttons).
    bool IsIcon() const;
    // Alone, in its mouse state, straight onto the window.
    void Paint() override;
    // In the title bar being composed.
    void PaintTitle(HDC dc, bool active);
};

class TSkinForm : public forms::TComponent {
public:
    FORMS_CLASS(TSkinForm)
    // Owner: the framework form, or none for a bare window.
    explicit TSkinForm(forms::TComponent* owner);
    ~TSkinForm() override;

    // Skins a framework form (its WindowProc too) or a bare window; nothing
    // when the window is skinned already.
    void AttachForm(TSkinData* skin, forms::TCustomForm* form);
    void AttachWindow(TSkinData* skin);
    // Applies the skin again after it changed.
    void Reskin();
    // Skinning switched off: the window gets back its procedure, menu,
    // caption buttons, colour and client size.
    void Detach();
    // The window is going (or the manager): undo the subclassing only.
    void DetachOnDestroy();
    void DetachPlain();
    void UpdateRegion();
    void FrameChanged();
    void DropRegion();
    void SetSysStyles(bool on);
    void FreeSysButtons();
    // Border widths and title-bar buttons from the skin.
    void LoadNCMetrics();
    static void RefreshWindow(HWND window);
    // Adds a control skinner unless it is there; true when it was.
    bool AddSkinner(TSkinControl* skinner);
    TSkinControl* FindSkinnerByHandle(HWND window) const;
    static forms::String GetWindowTextOf(HWND window);
    static forms::String GetClassNameOf(HWND window);
    // The frame, drawn onto a window DC; and onto the window's own.
    void PaintNC(HDC dc);
    void RepaintFrame();
    // Screen point to window point (the frame's own arithmetic).
    POINT ScreenToWindow(POINT screen) const;
    // The object under a window point, if any.
    TNCObject* ObjectAt(POINT windowPoint);
    // The skin's button's action, with the cursor's screen point.
    void DoAction(TWinSysButton& button, POINT screen);
    // The system menu at a screen point.
    void ShowSystemMenu(POINT screen);
    // The window's icon at the small icon size, magenta where it has none.
    forms::TBitmap& IconBitmap() { return m_iconBitmap; }

    HWND Handle = nullptr;
    forms::TCustomForm* Form = nullptr;
    TSkinData* SkinData = nullptr;

    HWND MDIClient = nullptr;
    int WindowKind = 0;  // 0 plain, 1 MDI frame, 2 MDI child
    int BorderKind = 3;
    int Caps = 0;
    int ShowState = 0;  // 0 normal, 1 maximised, 2 minimised
    bool Active = true;
    bool RightToLeft = false;
    bool Sizeable = false;
    // 0 attached, 1 skinned, 3 re-skinning, 4 closing, 5 fitting, 6 destroyed.
    int SkinState = 0;
    DWORD Style = 0;
    DWORD ExStyle = 0;

    int BorderLeft = 0, BorderTop = 0, BorderRight = 0, BorderBottom = 0, MenuBarHeight = 0;
    SIZE SystemFrame{};
    RECT WindowRect{};
    RECT TitleTextRect{};
    int RightButtonsLeft = 0;

    std::vector<std::unique_ptr<TWinSysButton>> SysButtons;
    TNCObject* HotObject = nullptr;
    TSkinControl* HotControl = nullptr;

    std::unique_ptr<TSkinMenuBar> MenuBar;
    HMENU WindowMenu = nullptr;
    HMENU SysMenu = nullptr;
    bool Tracking = false;
    // The control skinners of this window (owned).
    std::vector<TSkinControl*> Skinners;
    forms::TTimer* Timer = nullptr;
    // Handed to the control skinners for their painting.
    forms::TCanvas SkinnerCanvas;

    bool RegionSet() const { return m_regionSet; }
    bool Subclassed() const { return m_oldProc != nullptr; }
    // Whether the window keeps the system's menu bar, drawn into the frame.
    bool SystemMenuBar() const { return !MenuBar && WindowMenu && MenuBarHeight > 0; }
    bool NonClientSkinned() const;
    bool MdiChildOutOfNormal() const;

protected:
    void Notification(forms::TComponent* component, forms::TOperation operation) override;

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK ClientProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT SkinWindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT MDIClientWindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
    void FormWindowProc(forms::TMessage& message);
    LRESULT CallOld(UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT CallOldClient(UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT MenuChanged(forms::TMessage* framework, UINT msg, WPARAM wParam, LPARAM lParam);

    void Finish();
    void FitWindowSize(bool reread);
    void ReadShowState();
    void LoadIcon();
    void BuildSysButtons();
    void UnhookClient();
    void FreeSkinners();
    void RestoreWindowProc();
    void PaintBorder(int kind, const RECT& rect, HDC dc);
    void PaintTitle(HDC dc, int width);
    void PaintTitleText(forms::TCanvas& canvas, const RECT& rect);
    void PaintMenuBand(HDC dc, int width);
    void LayoutButtons(int width);
    HRGN BorderRegion(int kind, const RECT& rect, bool transparent);
    void TimerTick();
    LRESULT NcCalcSize(WPARAM wParam, LPARAM lParam);
    LRESULT NcHitTest(WPARAM wParam, LPARAM lParam);
    LRESULT NcActivate(WPARAM wParam, LPARAM lParam);
    LRESULT NcPaint(WPARAM wParam, LPARAM lParam);
    LRESULT NcMouse(UINT msg, WPARAM wParam, LPARAM lParam);
    void MdiCommand(WPARAM command);

    WNDPROC m_oldProc = nullptr;
    // The replaced procedure after it was put back (messages in progress).
    WNDPROC m_detachedProc = nullptr;
    WNDPROC m_oldClientProc = nullptr;
    forms::TWndMethod m_oldWindowProc;
    bool m_formHooked = false;
    DWORD m_attachStyle = 0;

    forms::TBitmap m_iconBitmap;
    forms::TBitmap m_titleBitmap;
    HFONT m_titleFont = nullptr;
    bool m_regionSet = false;
    int m_regionWidth = 0, m_regionHeight = 0;
    DWORD m_lastSysMenu = 0;
    DWORD m_doubleClickTime = 0;
    forms::TColor m_oldColor = 0;
    bool m_savedMenuUpdate = true;
    HWND m_newChild = nullptr;
    // The system's menu bar as last laid out in the skinned frame.
    HMENU m_menuLaidOut = nullptr;
    RECT m_clientRect{};
};

// The caption prefix of the title text.
constexpr const char16_t* kCaptionPrefix = u"  ";

}  // namespace skin
