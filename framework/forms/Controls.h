// Visual controls. TControl carries what every control has (parent,
// bounds, caption, font, colour, events, drag and drop) and is drawn by its
// parent when it has no window (TGraphicControl); TWinControl owns a window.
//
// Every message a control receives goes through its WindowProc, which the
// skin engine may replace (keeping the old one to call on). Notifications
// the system sends to a parent are reflected to the child as CN_* messages.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <vector>

#include "framework/forms/Component.h"
#include "framework/forms/Graphics.h"
#include "framework/forms/Messages.h"

namespace forms {

class TWinControl;
class TPopupMenu;

enum class TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
enum class TMouseButton { mbLeft, mbRight, mbMiddle };
using TShiftState = unsigned;
enum : unsigned { ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32, ssDouble = 64 };
enum class TDragMode { dmManual, dmAutomatic };
enum class TDragState { dsDragEnter, dsDragLeave, dsDragMove };

// Cursors: 0 is the control's class cursor; negative values are system cursors.
using TCursor = int;
constexpr TCursor crDefault = 0, crArrow = -2, crIBeam = -4, crHourGlass = -11, crDrag = -12, crNoDrop = -13,
                  crHSplit = -14, crVSplit = -15, crHandPoint = -21, crSizeWE = -9, crSizeNS = -7;
HCURSOR CursorHandle(TCursor cursor);

using TMouseEvent = std::function<void(TObject* sender, TMouseButton button, TShiftState shift, int x, int y)>;
using TMouseMoveEvent = std::function<void(TObject* sender, TShiftState shift, int x, int y)>;
using TKeyEvent = std::function<void(TObject* sender, WORD& key, TShiftState shift)>;
using TKeyPressEvent = std::function<void(TObject* sender, char16_t& key)>;
using TDragOverEvent =
    std::function<void(TObject* sender, TObject* source, int x, int y, TDragState state, bool& accept)>;
using TDragDropEvent = std::function<void(TObject* sender, TObject* source, int x, int y)>;
using TEndDragEvent = std::function<void(TObject* sender, TObject* target, int x, int y)>;
using TWndMethod = std::function<void(TMessage& message)>;

TShiftState ShiftStateOf(WPARAM keys);
// Inside a catch block at a callback boundary (window procedure, timer,
// COM event): hands the exception to the application object, which shows
// its error box. Exceptions never cross into the system's code.
void HandleCallbackException() noexcept;
TShiftState KeyboardShiftState();

class TControl : public TComponent {
public:
    FORMS_CLASS(TControl)
    explicit TControl(TComponent* owner);
    ~TControl() override;

    TWinControl* Parent() const { return m_parent; }
    virtual void SetParent(TWinControl* parent);

    int Left() const { return m_left; }
    int Top() const { return m_top; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    void SetLeft(int v) { SetBounds(v, m_top, m_width, m_height); }
    void SetTop(int v) { SetBounds(m_left, v, m_width, m_height); }
    void SetWidth(int v) { SetBounds(m_left, m_top, v, m_height); }
    void SetHeight(int v) { SetBounds(m_left, m_top, m_width, v); }
    virtual void SetBounds(int left, int top, int width, int height);
    RECT BoundsRect() const { return RECT{m_left, m_top, m_left + m_width, m_top + m_height}; }
    virtual int ClientWidth() { return m_width; }
    virtual int ClientHeight() { return m_height; }
    virtual RECT ClientRect() { return RECT{0, 0, ClientWidth(), ClientHeight()}; }

    TAlign Align() const { return m_align; }
    void SetAlign(TAlign align);

    bool Visible() const { return m_visible; }
    virtual void SetVisible(bool visible);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    // Visible, and so is every parent.
    virtual bool Showing() const;
    bool Enabled() const { return m_enabled; }
    virtual void SetEnabled(bool enabled);

    String Caption() const { return GetText(); }
    void SetCaption(const String& text) { SetText(text); }
    virtual String GetText() const { return m_text; }
    virtual void SetText(const String& text);

    TColor Color() const { return m_color; }
    void SetColor(TColor color);
    bool ParentColor() const { return m_parentColor; }
    void SetParentColor(bool on);
    TFont& Font() { return m_font; }
    bool ParentFont() const { return m_parentFont; }
    void SetParentFont(bool on);
    TCursor Cursor() const { return m_cursor; }
    void SetCursor(TCursor cursor) { m_cursor = cursor; }
    TPopupMenu* PopupMenu() const { return m_popupMenu; }
    void SetPopupMenu(TPopupMenu* menu) { m_popupMenu = menu; }
    const String& Hint() const { return m_hint; }
    void SetHint(const String& hint) { m_hint = hint; }

    // Dragging between controls of the program. BeginDrag runs the drag
    // until the button is released or Escape is pressed.
    TDragMode DragMode() const { return m_dragMode; }
    void SetDragMode(TDragMode mode) { m_dragMode = mode; }
    void BeginDrag(bool immediate, int threshold = -1);
    bool Dragging() const;

    // Sends a message through WindowProc, without a window.
    LRESULT Perform(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);
    virtual void Invalidate();
    void Repaint();
    virtual POINT ClientToScreen(POINT p);
    virtual POINT ScreenToClient(POINT p);
    void BringToFront();
    void SendToBack();

    // Replaceable: the skin engine puts its own procedure in front and
    // calls the one it replaced.
    TWndMethod WindowProc;

    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;
    TMouseMoveEvent OnMouseMove;
    TNotifyEvent OnResize;
    TDragOverEvent OnDragOver;
    TDragDropEvent OnDragDrop;
    TEndDragEvent OnEndDrag;
    TNotifyEvent OnStartDrag;

    // The dynamic handlers; each fires its event.
    virtual void Click();
    virtual void DblClick();
    virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseMove(TShiftState shift, int x, int y);
    virtual void DragOver(TObject* source, int x, int y, TDragState state, bool& accept);
    virtual void DragDrop(TObject* source, int x, int y);
    virtual void DoEndDrag(TObject* target, int x, int y);
    virtual void DoStartDrag();
    virtual void Resize();

    // Draws a control without a window onto its parent's canvas (origin at
    // the control's top left). Windowed controls paint themselves.
    virtual void Paint(TCanvas& canvas) {}

protected:
    virtual void WndProc(TMessage& message);
    virtual void DefaultHandler(TMessage& message) {}
    void Notification(TComponent* component, TOperation operation) override;
    bool MouseMessage(TMessage& message);
    virtual void FontChanged();
    virtual void ColorChanged();
    virtual void TextChanged() {}
    // Click on mouse up (buttons raise Click from their own notification).
    bool m_clickEvents = true;

    TWinControl* m_parent = nullptr;
    int m_left = 0, m_top = 0, m_width = 0, m_height = 0;
    bool m_visible = true;
    bool m_enabled = true;
    String m_text;
    TFont m_font;
    TColor m_color = clBtnFace;
    bool m_parentColor = false;
    bool m_parentFont = true;
    bool m_fontFromParent = false;

private:
    friend class TWinControl;
    TAlign m_align = TAlign::alNone;
    TCursor m_cursor = crDefault;
    TPopupMenu* m_popupMenu = nullptr;
    String m_hint;
    TDragMode m_dragMode = TDragMode::dmManual;
    bool m_clicked = false;
};

// A control without a window, drawn by its parent.
class TGraphicControl : public TControl {
public:
    FORMS_CLASS(TGraphicControl)
    using TControl::TControl;
};

struct TCreateParams {
    String caption;
    DWORD style = 0;
    DWORD exStyle = 0;
    int x = 0, y = 0, width = 0, height = 0;
    HWND parent = nullptr;
    String windowClass;               // registered under this name
    const WCHAR* baseClass = nullptr;  // system class it builds on, if any
    UINT classStyle = CS_DBLCLKS;
};

class TWinControl : public TControl {
public:
    FORMS_CLASS(TWinControl)
    explicit TWinControl(TComponent* owner);
    ~TWinControl() override;

    HWND Handle();
    bool HandleAllocated() const { return m_handle != nullptr; }
    void HandleNeeded();
    // The framework control behind a window, if any.
    static TWinControl* FindControl(HWND hwnd);

    int ControlCount() const { return static_cast<int>(m_controls.size()); }
    TControl* Controls(int index) const { return m_controls.at(static_cast<size_t>(index)); }
    // The visible, enabled windowless child at a client point, topmost first.
    TControl* ControlAtPos(POINT p) const;

    void SetParent(TWinControl* parent) override;
    void SetBounds(int left, int top, int width, int height) override;
    void SetVisible(bool visible) override;
    void SetEnabled(bool enabled) override;
    String GetText() const override;
    void SetText(const String& text) override;
    int ClientWidth() override;
    int ClientHeight() override;
    RECT ClientRect() override;
    void Invalidate() override;
    bool Showing() const override;
    POINT ClientToScreen(POINT p) override;
    POINT ScreenToClient(POINT p) override;

    bool Focused();
    virtual bool CanFocus();
    void SetFocus();
    bool TabStop() const { return m_tabStop; }
    void SetTabStop(bool on);
    bool DoubleBuffered() const { return m_doubleBuffered; }
    void SetDoubleBuffered(bool on) { m_doubleBuffered = on; }
    int ControlId() const { return m_id; }

    // Lays out the children by their Align, in creation order: top, bottom,
    // left, right, then client.
    void Realign();

    TNotifyEvent OnEnter;
    TNotifyEvent OnExit;
    TKeyEvent OnKeyDown;
    TKeyEvent OnKeyUp;
    TKeyPressEvent OnKeyPress;

    virtual void KeyDown(WORD& key, TShiftState shift);
    virtual void KeyUp(WORD& key, TShiftState shift);
    virtual void KeyPress(char16_t& key);

    // The procedure the window had before the layer took it over (for the
    // system classes, their own procedure).
    void CallDefault(TMessage& message) { DefaultHandler(message); }

    // Buttons that answer Enter and Escape on their form.
    virtual bool IsDefaultButton() const { return false; }
    virtual bool IsCancelButton() const { return false; }

protected:
    virtual void CreateParams(TCreateParams& params);
    virtual void CreateWnd();
    // After the window exists: apply what was set before.
    virtual void InitializeWnd() {}
    void DestroyHandle();
    void WndProc(TMessage& message) override;
    void DefaultHandler(TMessage& message) override;
    void FontChanged() override;
    void ColorChanged() override;
    // Windows whose system class paints its own background leave it alone.
    virtual bool PaintsOwnBackground() const { return m_ownClass; }
    // Called in the own-class WM_PAINT; default fills nothing.
    virtual void PaintWindow(TCanvas& canvas) {}
    virtual HBRUSH ControlBrush();
    // Changes window styles in place.
    void ChangeStyle(DWORD add, DWORD remove);
    void ChangeExStyle(DWORD add, DWORD remove);
    bool OwnClass() const { return m_ownClass; }

    HWND m_handle = nullptr;

private:
    friend class TControl;
    friend LRESULT CALLBACK InitWndProc(HWND, UINT, WPARAM, LPARAM);
    friend LRESULT CALLBACK StdWndProc(HWND, UINT, WPARAM, LPARAM);
    void InsertControl(TControl* control);
    void RemoveControl(TControl* control);
    bool ReflectNotification(TMessage& message);
    bool RouteMouseToGraphic(TMessage& message);
    void PaintGraphicControls(HDC dc);
    void UpdateBoundsFromWindow();
    void TrackMouse();
    void ApplyParentFont();

    std::vector<TControl*> m_controls;
    WNDPROC m_defWndProc = nullptr;
    bool m_ownClass = false;
    bool m_tabStop = false;
    bool m_doubleBuffered = false;
    bool m_tracking = false;
    bool m_inRealign = false;
    int m_id = 0;
    TControl* m_captureControl = nullptr;
    TControl* m_hoverControl = nullptr;
    TBrush m_brush;
};

// A windowed control of the layer's own class that paints itself on a canvas.
class TCustomControl : public TWinControl {
public:
    FORMS_CLASS(TCustomControl)
    using TWinControl::TWinControl;

protected:
    void PaintWindow(TCanvas& canvas) override { Paint(canvas); }
};

}  // namespace forms
