// Panels, bevels, splitters and timers.
#pragma once

#include <windows.h>

#include "framework/forms/Controls.h"

namespace forms {

enum class TBevelCut { bvNone, bvLowered, bvRaised };

class TPanel : public TCustomControl {
public:
    FORMS_CLASS(TPanel)
    explicit TPanel(TComponent* owner);
    TBevelCut BevelOuter() const { return m_bevelOuter; }
    void SetBevelOuter(TBevelCut cut);
    TBevelCut BevelInner() const { return m_bevelInner; }
    void SetBevelInner(TBevelCut cut);
    void Paint(TCanvas& canvas) override;

protected:
    void CreateParams(TCreateParams& params) override;
    void TextChanged() override { Invalidate(); }

private:
    TBevelCut m_bevelOuter = TBevelCut::bvRaised;
    TBevelCut m_bevelInner = TBevelCut::bvNone;
};

enum class TBevelShape { bsBox, bsFrame, bsTopLine, bsBottomLine, bsLeftLine, bsRightLine, bsSpacer };
enum class TBevelStyle { bsLowered, bsRaised };

class TBevel : public TGraphicControl {
public:
    FORMS_CLASS(TBevel)
    explicit TBevel(TComponent* owner);
    TBevelShape Shape() const { return m_shape; }
    void SetShape(TBevelShape shape);
    TBevelStyle Style() const { return m_style; }
    void SetStyle(TBevelStyle style);
    void Paint(TCanvas& canvas) override;

private:
    TBevelShape m_shape = TBevelShape::bsBox;
    TBevelStyle m_style = TBevelStyle::bsLowered;
};

// Dragged with the mouse, it resizes the control it sits beside (the
// sibling with the same Align whose edge touches it).
class TSplitter : public TGraphicControl {
public:
    FORMS_CLASS(TSplitter)
    explicit TSplitter(TComponent* owner);
    int MinSize() const { return m_minSize; }
    void SetMinSize(int size) { m_minSize = size; }
    void Paint(TCanvas& canvas) override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
    // Moves the splitter by delta pixels along its axis, as a drag would.
    void MoveBy(int delta);

    TNotifyEvent OnMoved;

private:
    TControl* FindControl() const;
    bool Horizontal() const;
    int m_minSize = 30;
    bool m_dragging = false;
    POINT m_downAt{};
};

class TTimer : public TComponent {
public:
    FORMS_CLASS(TTimer)
    explicit TTimer(TComponent* owner);
    ~TTimer() override;
    bool Enabled() const { return m_enabled; }
    void SetEnabled(bool on);
    UINT Interval() const { return m_interval; }
    void SetInterval(UINT ms);

    TNotifyEvent OnTimer;

private:
    void Update();
    HWND m_window = nullptr;
    bool m_enabled = true;
    UINT m_interval = 1000;
    bool m_armed = false;
};

}  // namespace forms
