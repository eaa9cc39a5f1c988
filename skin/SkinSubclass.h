// The per-control skinners' side that the form skinner deals with. Each
// skinned control of a window has one TSkinControl, owned by the window's
// form skinner, which keeps them in its list, refreshes them after a skin
// change, tells the one under the mouse when the mouse has left, and frees
// them on detach. Which control gets which skinner is decided by the
// control enumeration, reached through SkinControlHooks.
#pragma once

#include <windows.h>

#include <functional>

#include "framework/forms/Component.h"
#include "framework/forms/Controls.h"

namespace forms {
class TCheckBox;
class TGroupBox;
class TMemo;
class TPanel;
}  // namespace forms

namespace skin {

class TSkinForm;

class TSkinControl : public forms::TComponent {
public:
    FORMS_CLASS(TSkinControl)
    using forms::TComponent::TComponent;

    // The skinned window (0 for a windowless control) and framework control
    // (none for a bare window).
    HWND Handle() const { return m_handle; }
    forms::TControl* Control() const { return m_control; }
    // Gives the control its own drawing back.
    virtual void Detach() {}
    // The skin changed: draw from the new one.
    virtual void RefreshSkin() {}
    // The mouse has left the control.
    virtual void SendMouseLeave() {}

protected:
    HWND m_handle = nullptr;
    forms::TControl* m_control = nullptr;
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
