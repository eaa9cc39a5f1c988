// The control skinners: each draws one kind of control of a skinned window
// from the skin (push buttons, check boxes and radio buttons, boxes, edits,
// combo boxes, progress bars, track bars, up-down arrows, status bars, size
// grips, tab controls, scroll bars, list views and their headers), and the
// enumeration that gives every control of a skinned window its skinner.
#pragma once

#include <windows.h>

#include <memory>

#include "framework/forms/Buttons.h"
#include "skin/SkinControlRules.h"
#include "skin/SkinSubclass.h"

namespace skin {

class TDataSkinObject;

// A new skinner of the kind, owned by the form skinner (none for kinds
// that have no skinner of their own).
TSkinControl* MakeSkinner(SkinnerKind kind, TSkinForm& owner);
// The framework form's components, in order, each given its skinner.
void SkinChildControls(TSkinForm& form, forms::TWinControl& container);
// A bare window's direct children, by window class.
void SkinChildWindows(TSkinForm& form);

class TSkinButton : public TSkinControl {
public:
    FORMS_CLASS(TSkinButton)
    using TSkinControl::TSkinControl;
    bool BeforeMessage(forms::TMessage& message) override;
    void AfterMessage(forms::TMessage& message) override;
    void PaintTo(HDC dc, const RECT& rect) override;

private:
    // Becomes the form's hot button; false when it already was.
    bool TakeHot(TSkinForm* form);
};

// Speed buttons have no window: the skinner takes over the control's
// WindowProc and draws into the DC its parent paints it with, or into the
// parent's DC at the button's place when it repaints at once.
class TSkinSpeedButton : public TSkinButton {
public:
    FORMS_CLASS(TSkinSpeedButton)
    using TSkinButton::TSkinButton;
    // A second attach does nothing.
    void AttachGraphic(forms::TSpeedButton* button, TSkinData* skin, forms::TCanvas* canvas);
    void Detach() override;
    bool BeforeMessage(forms::TMessage& message) override;
    void AfterMessage(forms::TMessage& message) override;
    void PaintWindow(HDC dc) override;
    // rect: the button's client area, in the DC's coordinates.
    void PaintTo(HDC dc, const RECT& rect) override;
};

class TSkinCheckBox : public TSkinControl {
public:
    FORMS_CLASS(TSkinCheckBox)
    using TSkinControl::TSkinControl;
    void AfterMessage(forms::TMessage& message) override;
    void PaintTo(HDC dc, const RECT& rect) override;

protected:
    void PaintBox(HDC dc, const RECT& rect, bool radio);
};

class TSkinRadioButton : public TSkinCheckBox {
public:
    FORMS_CLASS(TSkinRadioButton)
    using TSkinCheckBox::TSkinCheckBox;
    void PaintTo(HDC dc, const RECT& rect) override;
};

// Panels, group boxes, tool bars: only recoloured.
class TSkinBox : public TSkinControl {
public:
    FORMS_CLASS(TSkinBox)
    using TSkinControl::TSkinControl;
    void AttachControl(forms::TWinControl* control, TSkinData* skin, bool recolour, forms::TCanvas* canvas) override;
};

class TSkinUpDown : public TSkinControl {
public:
    FORMS_CLASS(TSkinUpDown)
    using TSkinControl::TSkinControl;
    bool BeforeMessage(forms::TMessage& message) override;
    void PaintTo(HDC dc, const RECT& rect) override;
    bool Inset = false;
    bool Horizontal = false;
};

class TSkinEdit : public TSkinControl {
public:
    FORMS_CLASS(TSkinEdit)
    using TSkinControl::TSkinControl;
    void AfterMessage(forms::TMessage& message) override;
    void PaintTo(HDC dc, const RECT& rect) override;

private:
    bool m_buddySearched = false;
};

class TSkinComBox : public TSkinControl {
public:
    FORMS_CLASS(TSkinComBox)
    using TSkinControl::TSkinControl;
    void AfterMessage(forms::TMessage& message) override;
    void PaintTo(HDC dc, const RECT& rect) override;
};

class TSkinProgress : public TSkinControl {
public:
    FORMS_CLASS(TSkinProgress)
    using TSkinControl::TSkinControl;
    bool BeforeMessage(forms::TMessage& message) override;
    void PaintTo(HDC dc, const RECT& rect) override;
};

class TSkinTrackBar : public TSkinControl {
public:
    FORMS_CLASS(TSkinTrackBar)
    using TSkinControl::TSkinControl;
    bool BeforeMessage(forms::TMessage& message) override;
};

class TSkinStatusBar : public TSkinControl {
public:
    FORMS_CLASS(TSkinStatusBar)
    using TSkinControl::TSkinControl;
    bool BeforeMessage(forms::TMessage& message) override;
    void PaintTo(HDC dc, const RECT& rect) override;
};

// Size boxes of bare windows.
class TSkinSizer : public TSkinControl {
public:
    FORMS_CLASS(TSkinSizer)
    using TSkinControl::TSkinControl;
    bool BeforeMessage(forms::TMessage& message) override;
    void PaintTo(HDC dc, const RECT& rect) override;
};

class TSkinTab : public TSkinControl {
public:
    FORMS_CLASS(TSkinTab)
    using TSkinControl::TSkinControl;
    void AttachWindow(HWND window, TSkinData* skin, forms::TCanvas* canvas) override;
    void PaintTo(HDC dc, const RECT& rect) override;
    void RefreshSkin() override;
    int Orientation = 0;

private:
    void PrepareImages();
    forms::TBitmap m_tabs;
    forms::TBitmap m_border;
    HWND m_arrows = nullptr;
};

// The non-client scroll bars of a scrollable control, and its thumb drag.
class TSkinScrollBar : public TSkinControl {
public:
    FORMS_CLASS(TSkinScrollBar)
    explicit TSkinScrollBar(forms::TComponent* owner);
    ~TSkinScrollBar() override;
    void Attach(forms::TWinControl* control, TSkinData* skin, bool handleClicks, forms::TCanvas* canvas);
    void AttachControl(forms::TWinControl* control, TSkinData* skin, bool recolour, forms::TCanvas* canvas) override;
    void Detach() override;
    bool BeforeMessage(forms::TMessage& message) override;
    void AfterMessage(forms::TMessage& message) override;
    void PaintTo(HDC dc, const RECT& rect) override;

    int HotPart = 0;
    bool Dragging = false;
    bool HandleClicks = false;
    // Per bar: 0 horizontal, 1 vertical.
    ThumbGeometry Thumb[2];

private:
    ScrollBarLayout Layout();
    void UpdateThumb(int bar, const ScrollBarLayout& layout);
    bool StartDrag(WPARAM hit, LPARAM screenPoint);
    void DragLoop(int bar, POINT start);
    void DrawBar(HDC dc, int bar, const SkinRect& rect, int arrow);
    bool m_inScroll[2] = {false, false};
    std::shared_ptr<bool> m_alive;
};

class TSkinHeader : public TSkinControl {
public:
    FORMS_CLASS(TSkinHeader)
    using TSkinControl::TSkinControl;
    void AttachWindow(HWND window, TSkinData* skin, forms::TCanvas* canvas) override;
    bool BeforeMessage(forms::TMessage& message) override;
    void PaintTo(HDC dc, const RECT& rect) override;
};

class TSkinListView : public TSkinScrollBar {
public:
    FORMS_CLASS(TSkinListView)
    using TSkinScrollBar::TSkinScrollBar;
    void AttachControl(forms::TWinControl* control, TSkinData* skin, bool recolour, forms::TCanvas* canvas) override;
    TSkinHeader* Header = nullptr;
};

}  // namespace skin
