// The per-control skinners' side that the form skinner deals with. Each
// skinned control of a window has one TSkinControl, owned by the window's
// form skinner, which keeps them in its list, refreshes them after a skin
// change, tells the one under the mouse when the mouse has left, and frees
// them on detach. Which control gets which skinner is decided by the
// control enumeration, reached through SkinControlHooks.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>

#include "framework/forms/Component.h"
#include "framework/forms/Controls.h"
#include "framework/forms/Graphics.h"
#include "framework/forms/Messages.h"

namespace forms {
class TCheckBox;
class TGroupBox;
class TMemo;
class TPanel;
}  // namespace forms

namespace skin {

class TSkinForm;

class TSkinData;

// Framework notification that a control's look changed.
constexpr UINT CM_SKIN_NOTIFY = 0xB0D0;

class TSkinControl : public forms::TComponent {
public:
    FORMS_CLASS(TSkinControl)
    explicit TSkinControl(forms::TComponent* owner);
    ~TSkinControl() override;

    // The skinned window (0 for a windowless control) and framework control
    // (none for a bare window).
    HWND Handle() const { return m_handle; }
    forms::TControl* Control() const { return m_control; }
    bool Attached() const { return m_attached; }

    // Takes over a framework control's WindowProc (a second attach does
    // nothing); recolour: the control takes the skin's face colour.
    virtual void AttachControl(forms::TWinControl* control, TSkinData* skin, bool recolour, forms::TCanvas* canvas);
    // Takes over a bare window's procedure.
    virtual void AttachWindow(HWND window, TSkinData* skin, forms::TCanvas* canvas);
    // Gives the control its own drawing back.
    virtual void Detach();
    // True lets the message on to the control's own handling and then to
    // AfterMessage; false: answered here.
    virtual bool BeforeMessage(forms::TMessage& message);
    virtual void AfterMessage(forms::TMessage& message);
    // The whole window (DC 0: the window DC).
    virtual void PaintWindow(HDC dc);
    // The skin into rect (window coordinates from 0,0) of dc.
    virtual void PaintTo(HDC, const RECT&) {}
    // The skin changed: draw from the new one.
    virtual void RefreshSkin();
    // The mouse has left the control.
    virtual void SendMouseLeave();

    void SkinWndProc(forms::TMessage& message);
    void CallOriginal(forms::TMessage& message);
    void Redraw();
    // Sets or clears kPressed and paints the window.
    void ShowPressed(bool pressed);
    void FillFace(HDC dc, const RECT& rect);
    void PaintMessage(forms::TMessage& message);
    TSkinForm* FormSkinner() const;
    TSkinData* SkinData() const { return m_skinData; }

    enum : int { kHot = 1, kPressed = 2 };
    int State = 0;
    bool Focused = false;
    bool Enabled = true;
    forms::String Caption;
    RECT WindowRect{};
    forms::TControl* GraphicControl = nullptr;

protected:
    static LRESULT CALLBACK InstanceProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    // Registers with the owning form skinner.
    void Register();
    // Puts SkinWndProc into the control's WindowProc.
    void HookControl(forms::TControl* control);

    // What a control's WindowProc holds while skinned: messages go to the
    // skinner, or straight on to the replaced method once it detached (when
    // someone replaced WindowProc after us, the link stays in their chain).
    struct ProcLink {
        TSkinControl* self = nullptr;
        forms::TWndMethod old;
    };
    struct ProcThunk {
        std::shared_ptr<ProcLink> link;
        void operator()(forms::TMessage& message) const;
    };
    std::shared_ptr<ProcLink> m_link;

    HWND m_handle = nullptr;
    forms::TControl* m_control = nullptr;
    TSkinData* m_skinData = nullptr;
    forms::TCanvas* m_canvas = nullptr;
    WNDPROC m_oldWndProc = nullptr;
    bool m_attached = false;
    bool m_recolour = false;
    forms::TColor m_savedColor = 0;
};

// The framework classes that the skinner choice names by their base
// classes: the framework has no separate base class for these.
using TCustomCheckBox = forms::TCheckBox;
using TCustomGroupBox = forms::TGroupBox;
using TCustomPanel = forms::TPanel;
using TCustomMemo = forms::TMemo;

// How the controls of a skinned window get their skinners: the controls of
// a framework form by its components, a bare window's children by window
// class. Unset, the controls keep their own drawing.
struct SkinControlHooks {
    std::function<void(TSkinForm& form, forms::TWinControl& container)> skinChildControls;
    std::function<void(TSkinForm& form)> skinChildWindows;
};
SkinControlHooks& ControlSkinning();

// Runs a skinner's handling of one message of a window it has taken over;
// should that fail, the error goes to the application and the window's own
// procedure answers.
template <class Handling>
LRESULT GuardedMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, WNDPROC own, Handling handling) {
    try {
        return handling();
    } catch (...) {
        forms::HandleCallbackException();
        return own ? CallWindowProcW(own, hwnd, msg, wParam, lParam) : 0;
    }
}

}  // namespace skin
