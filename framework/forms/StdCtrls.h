// The standard controls: labels, buttons, check boxes, radio buttons,
// edits, memos, combo boxes, list boxes, group boxes and the spin edit.
#pragma once

#include <windows.h>

#include <memory>

#include "framework/forms/Controls.h"
#include "framework/forms/Strings.h"

namespace forms {

enum class TAlignment { taLeftJustify, taRightJustify, taCenter };

// A caption drawn by its parent; sized to its text unless AutoSize is off.
class TLabel : public TGraphicControl {
public:
    FORMS_CLASS(TLabel)
    explicit TLabel(TComponent* owner);

    bool AutoSize() const { return m_autoSize; }
    void SetAutoSize(bool on);
    TAlignment Alignment() const { return m_alignment; }
    void SetAlignment(TAlignment a);
    bool WordWrap() const { return m_wordWrap; }
    void SetWordWrap(bool on);
    bool Transparent() const { return m_transparent; }
    void SetTransparent(bool on);
    void SetParent(TWinControl* parent) override;
    void Paint(TCanvas& canvas) override;

protected:
    void TextChanged() override { AdjustBounds(); }
    void FontChanged() override;
    void AdjustBounds();
    UINT DrawFlags() const;

private:
    bool m_autoSize = true;
    TAlignment m_alignment = TAlignment::taLeftJustify;
    bool m_wordWrap = false;
    bool m_transparent = false;
};

// A label that reads as a link: blue, underlined, a hand cursor.
class TLinkLabel : public TLabel {
public:
    FORMS_CLASS(TLinkLabel)
    explicit TLinkLabel(TComponent* owner);
};

// Base of the BUTTON-class controls.
class TButtonControl : public TWinControl {
public:
    FORMS_CLASS(TButtonControl)
    explicit TButtonControl(TComponent* owner);

protected:
    void CreateParams(TCreateParams& params) override;
    void WndProc(TMessage& message) override;
    // BN_CLICKED from the system control.
    virtual void ButtonClicked() = 0;
};

class TButton : public TButtonControl {
public:
    FORMS_CLASS(TButton)
    explicit TButton(TComponent* owner);

    bool Default() const { return m_default; }
    void SetDefault(bool on);
    bool Cancel() const { return m_cancel; }
    void SetCancel(bool on) { m_cancel = on; }
    int ModalResult() const { return m_modalResult; }
    void SetModalResult(int result) { m_modalResult = result; }
    bool IsDefaultButton() const override { return m_default; }
    bool IsCancelButton() const override { return m_cancel; }
    // Sets the form's ModalResult, then fires OnClick.
    void Click() override;

protected:
    void CreateParams(TCreateParams& params) override;
    void ButtonClicked() override { Click(); }

private:
    bool m_default = false;
    bool m_cancel = false;
    int m_modalResult = 0;
};

// Changing Checked, by the user or in code, fires OnClick.
class TCheckBox : public TButtonControl {
public:
    FORMS_CLASS(TCheckBox)
    explicit TCheckBox(TComponent* owner);
    bool Checked() const { return m_checked; }
    void SetChecked(bool on);

protected:
    void CreateParams(TCreateParams& params) override;
    void InitializeWnd() override;
    void ButtonClicked() override { SetChecked(!m_checked); }

private:
    bool m_checked = false;
};

// Radio buttons with the same parent form one group. Becoming checked,
// by the user or in code, unchecks the others and fires OnClick.
class TRadioButton : public TButtonControl {
public:
    FORMS_CLASS(TRadioButton)
    explicit TRadioButton(TComponent* owner);
    bool Checked() const { return m_checked; }
    void SetChecked(bool on);

protected:
    void CreateParams(TCreateParams& params) override;
    void InitializeWnd() override;
    void ButtonClicked() override {
        if (!m_checked) SetChecked(true);
    }

private:
    bool m_checked = false;
};

class TGroupBox : public TButtonControl {
public:
    FORMS_CLASS(TGroupBox)
    explicit TGroupBox(TComponent* owner);

protected:
    void CreateParams(TCreateParams& params) override;
    void WndProc(TMessage& message) override;
    bool PaintsOwnBackground() const override { return true; }
    void ButtonClicked() override {}
};

class TCustomEdit : public TWinControl {
public:
    FORMS_CLASS(TCustomEdit)
    explicit TCustomEdit(TComponent* owner);

    bool ReadOnly() const { return m_readOnly; }
    void SetReadOnly(bool on);
    int MaxLength() const { return m_maxLength; }
    void SetMaxLength(int length);
    int SelStart();
    int SelLength();
    void SetSelStart(int start);
    void SetSelLength(int length);
    void SelectAll();
    void Clear() { SetText(String()); }

    TNotifyEvent OnChange;
    virtual void Change();

protected:
    void CreateParams(TCreateParams& params) override;
    void InitializeWnd() override;
    void WndProc(TMessage& message) override;

private:
    bool m_readOnly = false;
    int m_maxLength = 0;
};

class TEdit : public TCustomEdit {
public:
    FORMS_CLASS(TEdit)
    using TCustomEdit::TCustomEdit;
};

enum class TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };

class TMemo : public TCustomEdit {
public:
    FORMS_CLASS(TMemo)
    explicit TMemo(TComponent* owner);
    ~TMemo() override;
    TStrings& Lines() { return *m_lines; }
    TScrollStyle ScrollBars() const { return m_scrollBars; }
    void SetScrollBars(TScrollStyle style) { m_scrollBars = style; }
    bool WordWrap() const { return m_wordWrap; }
    void SetWordWrap(bool on) { m_wordWrap = on; }

protected:
    void CreateParams(TCreateParams& params) override;

private:
    std::unique_ptr<TStrings> m_lines;
    TScrollStyle m_scrollBars = TScrollStyle::ssNone;
    bool m_wordWrap = true;
};

// An edit with up and down arrows holding an integer.
class TSpinEdit : public TCustomEdit {
public:
    FORMS_CLASS(TSpinEdit)
    explicit TSpinEdit(TComponent* owner);

    int MinValue() const { return m_min; }
    int MaxValue() const { return m_max; }
    void SetMinValue(int v) { m_min = v; }
    void SetMaxValue(int v) { m_max = v; }
    int Increment() const { return m_increment; }
    void SetIncrement(int v) { m_increment = v; }
    // The text as an integer; text that is not one reads as MinValue.
    int Value() const;
    // Kept within MinValue..MaxValue (unless both are equal).
    void SetValue(int value);
    void KeyDown(WORD& key, TShiftState shift) override;

protected:
    void InitializeWnd() override;
    void WndProc(TMessage& message) override;

private:
    int CheckValue(int value) const;
    void PlaceButton();
    HWND m_upDown = nullptr;
    int m_min = 0;
    int m_max = 0;
    int m_increment = 1;
};

enum class TComboBoxStyle { csDropDown, csSimple, csDropDownList };

class TCustomComboBox : public TWinControl {
public:
    FORMS_CLASS(TCustomComboBox)
    explicit TCustomComboBox(TComponent* owner);
    ~TCustomComboBox() override;

    TComboBoxStyle Style() const { return m_style; }
    void SetStyle(TComboBoxStyle style) { m_style = style; }
    int DropDownCount() const { return m_dropDownCount; }
    void SetDropDownCount(int n) { m_dropDownCount = n; }
    TStrings& Items() { return *m_items; }
    int ItemIndex();
    // Without OnChange; an index beyond the items leaves no selection.
    void SetItemIndex(int index);
    // A drop-down list selects the item with this text.
    void SetText(const String& text) override;
    void SetBounds(int left, int top, int width, int height) override;

    TNotifyEvent OnChange;
    virtual void Change();

protected:
    void CreateParams(TCreateParams& params) override;
    void WndProc(TMessage& message) override;

private:
    std::unique_ptr<TStrings> m_items;
    TComboBoxStyle m_style = TComboBoxStyle::csDropDown;
    int m_dropDownCount = 8;
};

class TComboBox : public TCustomComboBox {
public:
    FORMS_CLASS(TComboBox)
    using TCustomComboBox::TCustomComboBox;
};

class TCustomListBox : public TWinControl {
public:
    FORMS_CLASS(TCustomListBox)
    explicit TCustomListBox(TComponent* owner);
    ~TCustomListBox() override;

    bool Sorted() const { return m_sorted; }
    void SetSorted(bool on) { m_sorted = on; }
    TStrings& Items() { return *m_items; }
    int ItemIndex();
    void SetItemIndex(int index);
    void Clear() { m_items->Clear(); }

protected:
    void CreateParams(TCreateParams& params) override;
    void WndProc(TMessage& message) override;

private:
    std::unique_ptr<TStrings> m_items;
    bool m_sorted = false;
};

class TListBox : public TCustomListBox {
public:
    FORMS_CLASS(TListBox)
    using TCustomListBox::TCustomListBox;
};

// The file names of one folder that match a mask ("*.avi;*.mpg"), sorted.
class TFileListBox : public TCustomListBox {
public:
    FORMS_CLASS(TFileListBox)
    explicit TFileListBox(TComponent* owner);

    const String& Directory() const { return m_directory; }
    void SetDirectory(const String& folder);
    const String& Mask() const { return m_mask; }
    void SetMask(const String& mask);
    // Reads the folder again.
    void Update();

private:
    String m_directory;
    String m_mask = u"*.*";
};

}  // namespace forms
