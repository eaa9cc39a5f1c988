#include "framework/forms/StdCtrls.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <set>

#include "framework/com/Owners.h"
#include "framework/com/WinText.h"
#include "framework/forms/Forms.h"

namespace forms {
namespace {

// Lines of a list box or combo box, kept by the system control itself.
class ListControlStrings final : public TStrings {
public:
    struct Messages {
        UINT count, textLength, text, insert, add, remove, reset, getData, setData;
    };
    ListControlStrings(TWinControl& control, const Messages& m) : m_control(control), m_msg(m) {}

    int Count() const override { return static_cast<int>(Send(m_msg.count, 0, 0)); }
    String Get(int index) const override {
        CheckIndex(index, Count());
        const LRESULT n = Send(m_msg.textLength, static_cast<WPARAM>(index), 0);
        if (n <= 0) return {};
        std::u16string s(static_cast<size_t>(n) + 1, u'\0');
        const LRESULT got = Send(m_msg.text, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&s[0]));
        s.resize(static_cast<size_t>(std::max<LRESULT>(0, got)));
        return s;
    }
    void* GetObject(int index) const override {
        CheckIndex(index, Count());
        return reinterpret_cast<void*>(Send(m_msg.getData, static_cast<WPARAM>(index), 0));
    }
    void PutObject(int index, void* object) override {
        CheckIndex(index, Count());
        Send(m_msg.setData, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(object));
    }
    void Insert(int index, const String& s) override {
        if (index < 0 || index > Count()) throw EListError("List index out of bounds (" + std::to_string(index) + ")");
        if (Send(m_msg.insert, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(com::W(s))) < 0)
            throw EOutOfResources("Insufficient space for the item");
    }
    // Sorted lists place added lines themselves.
    int Add(const String& s) override {
        const LRESULT index = Send(m_msg.add, 0, reinterpret_cast<LPARAM>(com::W(s)));
        if (index < 0) throw EOutOfResources("Insufficient space for the item");
        return static_cast<int>(index);
    }
    void Delete(int index) override {
        CheckIndex(index, Count());
        Send(m_msg.remove, static_cast<WPARAM>(index), 0);
    }
    void Clear() override { Send(m_msg.reset, 0, 0); }

protected:
    void SetUpdateState(bool updating) override {
        const HWND h = m_control.Handle();
        SendMessageW(h, WM_SETREDRAW, updating ? FALSE : TRUE, 0);
        if (!updating) InvalidateRect(h, nullptr, TRUE);
    }

private:
    LRESULT Send(UINT msg, WPARAM w, LPARAM l) const { return SendMessageW(m_control.Handle(), msg, w, l); }
    TWinControl& m_control;
    Messages m_msg;
};

const ListControlStrings::Messages kComboMessages{CB_GETCOUNT,    CB_GETLBTEXTLEN, CB_GETLBTEXT,
                                                  CB_INSERTSTRING, CB_ADDSTRING,   CB_DELETESTRING,
                                                  CB_RESETCONTENT, CB_GETITEMDATA, CB_SETITEMDATA};
const ListControlStrings::Messages kListMessages{LB_GETCOUNT,    LB_GETTEXTLEN,  LB_GETTEXT,
                                                 LB_INSERTSTRING, LB_ADDSTRING,  LB_DELETESTRING,
                                                 LB_RESETCONTENT, LB_GETITEMDATA, LB_SETITEMDATA};

// The lines of a memo: its text split at line breaks.
class MemoStrings final : public TStrings {
public:
    explicit MemoStrings(TMemo& memo) : m_memo(memo) {}
    int Count() const override { return static_cast<int>(Split().size()); }
    String Get(int index) const override {
        const auto lines = Split();
        CheckIndex(index, static_cast<int>(lines.size()));
        return lines[static_cast<size_t>(index)];
    }
    void Insert(int index, const String& s) override {
        auto lines = Split();
        if (index < 0 || index > static_cast<int>(lines.size()))
            throw EListError("List index out of bounds (" + std::to_string(index) + ")");
        lines.insert(lines.begin() + index, s);
        Join(lines);
    }
    void Delete(int index) override {
        auto lines = Split();
        CheckIndex(index, static_cast<int>(lines.size()));
        lines.erase(lines.begin() + index);
        Join(lines);
    }
    void Put(int index, const String& s) override {
        auto lines = Split();
        CheckIndex(index, static_cast<int>(lines.size()));
        lines[static_cast<size_t>(index)] = s;
        Join(lines);
    }
    void Clear() override { m_memo.SetText(String()); }

private:
    std::vector<String> Split() const {
        TStringList list;
        list.SetText(m_memo.GetText());
        std::vector<String> out;
        for (int i = 0; i < list.Count(); ++i) out.push_back(list[i]);
        return out;
    }
    void Join(const std::vector<String>& lines) {
        String text;
        for (size_t i = 0; i < lines.size(); ++i) {
            if (i) text += u"\r\n";
            text += lines[i];
        }
        m_memo.SetText(text);
    }
    TMemo& m_memo;
};

}  // namespace

// ---- TLabel -------------------------------------------------------------------------

TLabel::TLabel(TComponent* owner) : TGraphicControl(owner) {
    m_parentColor = true;
    m_width = 65;
    m_height = 17;
}

void TLabel::SetParent(TWinControl* parent) {
    TGraphicControl::SetParent(parent);
    AdjustBounds();
}

void TLabel::SetAutoSize(bool on) {
    m_autoSize = on;
    AdjustBounds();
}

void TLabel::SetAlignment(TAlignment a) {
    m_alignment = a;
    Invalidate();
}

void TLabel::SetWordWrap(bool on) {
    m_wordWrap = on;
    AdjustBounds();
}

void TLabel::SetTransparent(bool on) {
    m_transparent = on;
    Invalidate();
}

void TLabel::FontChanged() {
    TGraphicControl::FontChanged();
    AdjustBounds();
}

UINT TLabel::DrawFlags() const {
    UINT flags = DT_EXPANDTABS;
    if (m_wordWrap) flags |= DT_WORDBREAK;
    if (m_alignment == TAlignment::taCenter) flags |= DT_CENTER;
    else if (m_alignment == TAlignment::taRightJustify) flags |= DT_RIGHT;
    return flags;
}

void TLabel::AdjustBounds() {
    if (!m_autoSize) return;
    RECT r{0, 0, m_wordWrap ? m_width : 0, 0};
    {
        const com::WindowDc dc(nullptr);
        const com::SelectedObject font(dc.Get(), m_font.Handle());
        String text = m_text.empty() ? String(u" ") : m_text;
        DrawTextW(dc.Get(), com::W(text), static_cast<int>(text.size()), &r, DrawFlags() | DT_CALCRECT);
    }
    SetBounds(m_left, m_top, r.right - r.left, r.bottom - r.top);
}

void TLabel::Paint(TCanvas& canvas) {
    RECT r{0, 0, m_width, m_height};
    if (!m_transparent) {
        canvas.Brush().SetColor(m_color);
        canvas.FillRect(r);
    }
    canvas.Brush().SetStyle(TBrushStyle::bsClear);
    canvas.Font().SetColor(m_enabled ? m_font.Color() : clGrayText);
    canvas.Select();
    DrawTextW(canvas.Handle(), com::W(m_text), static_cast<int>(m_text.size()), &r, DrawFlags());
}

TLinkLabel::TLinkLabel(TComponent* owner) : TLabel(owner) {
    m_font.SetColor(clBlue);
    m_font.SetStyle(fsUnderline);
    m_parentFont = false;
    SetCursor(crHandPoint);
}

// ---- Buttons -------------------------------------------------------------------------

TButtonControl::TButtonControl(TComponent* owner) : TWinControl(owner) {
    m_clickEvents = false;
    m_parentColor = true;
}

void TButtonControl::CreateParams(TCreateParams& p) {
    TWinControl::CreateParams(p);
    p.baseClass = L"BUTTON";
}

void TButtonControl::WndProc(TMessage& m) {
    if (m.Msg == CN_COMMAND && HIWORD(m.WParam) == BN_CLICKED) {
        ButtonClicked();
        return;
    }
    TWinControl::WndProc(m);
}

TButton::TButton(TComponent* owner) : TButtonControl(owner) {
    m_width = 75;
    m_height = 25;
    SetTabStop(true);
}

void TButton::CreateParams(TCreateParams& p) {
    TButtonControl::CreateParams(p);
    p.style |= m_default ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
}

void TButton::SetDefault(bool on) {
    if (on == m_default) return;
    m_default = on;
    if (m_handle) SendMessageW(m_handle, BM_SETSTYLE, on ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
}

void TButton::Click() {
    if (m_modalResult != 0)
        if (TCustomForm* form = GetParentForm(this)) form->SetModalResult(m_modalResult);
    TButtonControl::Click();
}

TCheckBox::TCheckBox(TComponent* owner) : TButtonControl(owner) {
    m_width = 97;
    m_height = 17;
    SetTabStop(true);
}

void TCheckBox::CreateParams(TCreateParams& p) {
    TButtonControl::CreateParams(p);
    p.style |= BS_CHECKBOX | BS_MULTILINE;
}

void TCheckBox::InitializeWnd() { SendMessageW(m_handle, BM_SETCHECK, m_checked ? BST_CHECKED : BST_UNCHECKED, 0); }

void TCheckBox::SetChecked(bool on) {
    if (on == m_checked) return;
    m_checked = on;
    if (m_handle) SendMessageW(m_handle, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
    Click();
}

TRadioButton::TRadioButton(TComponent* owner) : TButtonControl(owner) {
    m_width = 113;
    m_height = 17;
}

void TRadioButton::CreateParams(TCreateParams& p) {
    TButtonControl::CreateParams(p);
    p.style |= BS_RADIOBUTTON | BS_MULTILINE;
}

void TRadioButton::InitializeWnd() {
    SendMessageW(m_handle, BM_SETCHECK, m_checked ? BST_CHECKED : BST_UNCHECKED, 0);
    SetTabStop(m_checked);
}

void TRadioButton::SetChecked(bool on) {
    if (on == m_checked) return;
    m_checked = on;
    SetTabStop(on);
    if (m_handle) SendMessageW(m_handle, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
    if (!on) return;
    if (TWinControl* parent = Parent())
        for (int i = 0; i < parent->ControlCount(); ++i)
            if (auto* other = dynamic_cast<TRadioButton*>(parent->Controls(i)); other && other != this)
                other->SetChecked(false);
    Click();
}

TGroupBox::TGroupBox(TComponent* owner) : TButtonControl(owner) {
    m_width = 185;
    m_height = 105;
}

void TGroupBox::CreateParams(TCreateParams& p) {
    TButtonControl::CreateParams(p);
    p.style |= BS_GROUPBOX | WS_CLIPCHILDREN;
    p.exStyle |= WS_EX_CONTROLPARENT;
}

void TGroupBox::WndProc(TMessage& m) {
    // The system's group box lets the mouse through; ours keeps it, so that
    // the labels on it can be clicked.
    if (m.Msg == WM_NCHITTEST) {
        m.Result = HTCLIENT;
        return;
    }
    TButtonControl::WndProc(m);
}

// ---- Edits ----------------------------------------------------------------------------

TCustomEdit::TCustomEdit(TComponent* owner) : TWinControl(owner) {
    m_width = 121;
    m_height = 21;
    m_color = clWindow;
    SetTabStop(true);
}

void TCustomEdit::CreateParams(TCreateParams& p) {
    TWinControl::CreateParams(p);
    p.baseClass = L"EDIT";
    p.style |= ES_AUTOHSCROLL;
    if (m_readOnly) p.style |= ES_READONLY;
    p.exStyle |= WS_EX_CLIENTEDGE;
}

void TCustomEdit::InitializeWnd() {
    if (m_maxLength) SendMessageW(m_handle, EM_LIMITTEXT, static_cast<WPARAM>(m_maxLength), 0);
}

void TCustomEdit::SetReadOnly(bool on) {
    m_readOnly = on;
    if (m_handle) SendMessageW(m_handle, EM_SETREADONLY, on, 0);
}

void TCustomEdit::SetMaxLength(int length) {
    m_maxLength = length;
    if (m_handle) SendMessageW(m_handle, EM_LIMITTEXT, static_cast<WPARAM>(length), 0);
}

int TCustomEdit::SelStart() {
    DWORD start = 0;
    SendMessageW(Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), 0);
    return static_cast<int>(start);
}

int TCustomEdit::SelLength() {
    DWORD start = 0, end = 0;
    SendMessageW(Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return static_cast<int>(end - start);
}

void TCustomEdit::SetSelStart(int start) { SendMessageW(Handle(), EM_SETSEL, start, start); }

void TCustomEdit::SetSelLength(int length) {
    const int start = SelStart();
    SendMessageW(Handle(), EM_SETSEL, start, start + length);
}

void TCustomEdit::SelectAll() { SendMessageW(Handle(), EM_SETSEL, 0, -1); }

void TCustomEdit::Change() {
    if (OnChange) OnChange(this);
}

void TCustomEdit::WndProc(TMessage& m) {
    if (m.Msg == CN_COMMAND) {
        if (HIWORD(m.WParam) == EN_CHANGE) Change();
        return;
    }
    TWinControl::WndProc(m);
}

TMemo::TMemo(TComponent* owner) : TCustomEdit(owner), m_lines(new MemoStrings(*this)) {
    m_width = 185;
    m_height = 89;
}

TMemo::~TMemo() { DestroyHandle(); }

void TMemo::CreateParams(TCreateParams& p) {
    TCustomEdit::CreateParams(p);
    p.style &= ~ES_AUTOHSCROLL;
    p.style |= ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL;
    if (!m_wordWrap) p.style |= ES_AUTOHSCROLL;
    if (m_scrollBars == TScrollStyle::ssVertical || m_scrollBars == TScrollStyle::ssBoth) p.style |= WS_VSCROLL;
    if (m_scrollBars == TScrollStyle::ssHorizontal || m_scrollBars == TScrollStyle::ssBoth) p.style |= WS_HSCROLL;
}

// ---- TSpinEdit ------------------------------------------------------------------------

TSpinEdit::TSpinEdit(TComponent* owner) : TCustomEdit(owner) {
    m_text.assign(1, u'0');  // not "= u\"0\"": GCC 12 warns wrongly there
}

void TSpinEdit::InitializeWnd() {
    TCustomEdit::InitializeWnd();
    m_upDown = CreateWindowExW(0, UPDOWN_CLASSW, L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, m_handle, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    // The arrows only report clicks; the value lives in the text.
    SendMessageW(m_upDown, UDM_SETRANGE32, 0, 1000);
    SendMessageW(m_upDown, UDM_SETPOS32, 0, 500);
    PlaceButton();
}

void TSpinEdit::PlaceButton() {
    if (!m_upDown) return;
    RECT r;
    GetClientRect(m_handle, &r);
    const int w = 15;
    MoveWindow(m_upDown, r.right - w, 0, w, r.bottom, TRUE);
    SendMessageW(m_handle, EM_SETMARGINS, EC_RIGHTMARGIN, MAKELPARAM(0, w + 2));
}

int TSpinEdit::CheckValue(int value) const {
    if (m_max != m_min) value = std::max(m_min, std::min(m_max, value));
    return value;
}

int TSpinEdit::Value() const {
    int v;
    return TryStrToInt(Trim(GetText()), v) ? v : m_min;
}

void TSpinEdit::SetValue(int value) { SetText(IntToStr(CheckValue(value))); }

void TSpinEdit::KeyDown(WORD& key, TShiftState shift) {
    if (key == VK_UP || key == VK_DOWN) {
        if (!ReadOnly()) SetValue(Value() + (key == VK_UP ? m_increment : -m_increment));
        key = 0;
        return;
    }
    TCustomEdit::KeyDown(key, shift);
}

void TSpinEdit::WndProc(TMessage& m) {
    switch (m.Msg) {
    case WM_NOTIFY: {
        const auto* hdr = reinterpret_cast<const NMHDR*>(m.LParam);
        if (hdr->hwndFrom == m_upDown && hdr->code == UDN_DELTAPOS) {
            const auto* ud = reinterpret_cast<const NMUPDOWN*>(m.LParam);
            if (!ReadOnly()) SetValue(Value() + (ud->iDelta > 0 ? m_increment : -m_increment));
            m.Result = 1;
            return;
        }
        break;
    }
    case WM_SIZE:
        TCustomEdit::WndProc(m);
        PlaceButton();
        return;
    case CM_EXIT:
        if (CheckValue(Value()) != Value()) SetValue(Value());
        break;
    default:
        break;
    }
    TCustomEdit::WndProc(m);
}

// ---- Combo box ------------------------------------------------------------------------

TCustomComboBox::TCustomComboBox(TComponent* owner)
    : TWinControl(owner), m_items(new ListControlStrings(*this, kComboMessages)) {
    m_width = 145;
    m_height = 21;
    m_color = clWindow;
    SetTabStop(true);
}

TCustomComboBox::~TCustomComboBox() { DestroyHandle(); }

void TCustomComboBox::CreateParams(TCreateParams& p) {
    TWinControl::CreateParams(p);
    p.baseClass = L"COMBOBOX";
    p.style |= WS_VSCROLL | CBS_AUTOHSCROLL;
    switch (m_style) {
    case TComboBoxStyle::csDropDown: p.style |= CBS_DROPDOWN; break;
    case TComboBoxStyle::csSimple: p.style |= CBS_SIMPLE; break;
    case TComboBoxStyle::csDropDownList: p.style |= CBS_DROPDOWNLIST; break;
    }
    // The window's height is that of the dropped-down list.
    if (m_style != TComboBoxStyle::csSimple) p.height = m_height + m_dropDownCount * 16;
}

void TCustomComboBox::SetBounds(int left, int top, int width, int height) {
    if (!m_handle || m_style == TComboBoxStyle::csSimple) {
        TWinControl::SetBounds(left, top, width, height);
        return;
    }
    SetWindowPos(m_handle, nullptr, left, top, width, height + m_dropDownCount * 16, SWP_NOZORDER | SWP_NOACTIVATE);
    RECT r;
    GetWindowRect(m_handle, &r);
    MapWindowPoints(HWND_DESKTOP, GetParent(m_handle), reinterpret_cast<POINT*>(&r), 2);
    m_left = r.left;
    m_top = r.top;
    m_width = r.right - r.left;
    m_height = r.bottom - r.top;
}

int TCustomComboBox::ItemIndex() { return static_cast<int>(SendMessageW(Handle(), CB_GETCURSEL, 0, 0)); }

void TCustomComboBox::SetItemIndex(int index) {
    // Windows clears the selection for an index beyond the items; Wine keeps it.
    if (index < 0 || index >= m_items->Count()) index = -1;
    if (ItemIndex() != index) SendMessageW(Handle(), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void TCustomComboBox::SetText(const String& text) {
    if (m_style == TComboBoxStyle::csDropDownList && m_handle) {
        int found = -1;
        for (int i = 0; i < m_items->Count() && found < 0; ++i)
            if (m_items->Get(i) == text) found = i;
        SetItemIndex(found);
        return;
    }
    TWinControl::SetText(text);
}

void TCustomComboBox::Change() {
    if (OnChange) OnChange(this);
}

void TCustomComboBox::WndProc(TMessage& m) {
    if (m.Msg == CN_COMMAND) {
        switch (HIWORD(m.WParam)) {
        case CBN_SELCHANGE:
            Click();
            Change();
            break;
        case CBN_EDITCHANGE:
            Change();
            break;
        default:
            break;
        }
        return;
    }
    TWinControl::WndProc(m);
}

// ---- List boxes -----------------------------------------------------------------------

TCustomListBox::TCustomListBox(TComponent* owner)
    : TWinControl(owner), m_items(new ListControlStrings(*this, kListMessages)) {
    m_width = 121;
    m_height = 97;
    m_color = clWindow;
    m_clickEvents = false;
    SetTabStop(true);
}

TCustomListBox::~TCustomListBox() { DestroyHandle(); }

void TCustomListBox::CreateParams(TCreateParams& p) {
    TWinControl::CreateParams(p);
    p.baseClass = L"LISTBOX";
    p.style |= LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL;
    if (m_sorted) p.style |= LBS_SORT;
    p.exStyle |= WS_EX_CLIENTEDGE;
}

int TCustomListBox::ItemIndex() { return static_cast<int>(SendMessageW(Handle(), LB_GETCURSEL, 0, 0)); }

void TCustomListBox::SetItemIndex(int index) { SendMessageW(Handle(), LB_SETCURSEL, static_cast<WPARAM>(index), 0); }

void TCustomListBox::WndProc(TMessage& m) {
    switch (m.Msg) {
    case CN_COMMAND:
        if (HIWORD(m.WParam) == LBN_SELCHANGE) Click();
        else if (HIWORD(m.WParam) == LBN_DBLCLK) DblClick();
        return;
    case WM_LBUTTONDBLCLK:
        // LBN_DBLCLK raises the double click.
        DefaultHandler(m);
        return;
    default:
        break;
    }
    TWinControl::WndProc(m);
}

TFileListBox::TFileListBox(TComponent* owner) : TCustomListBox(owner) { SetSorted(true); }

void TFileListBox::SetDirectory(const String& folder) {
    m_directory = folder;
    if (HandleAllocated()) Update();
}

void TFileListBox::SetMask(const String& mask) {
    m_mask = mask;
    if (HandleAllocated()) Update();
}

void TFileListBox::Update() {
    Items().BeginUpdate();
    Items().Clear();
    std::set<String> seen;
    const String folder = IncludeTrailingBackslash(m_directory);
    size_t start = 0;
    while (start <= m_mask.size()) {
        size_t end = m_mask.find(u';', start);
        if (end == String::npos) end = m_mask.size();
        const String pattern = Trim(m_mask.substr(start, end - start));
        start = end + 1;
        if (pattern.empty()) continue;
        WIN32_FIND_DATAW fd;
        const HANDLE find = FindFirstFileW(com::W(folder + pattern), &fd);
        if (find == INVALID_HANDLE_VALUE) continue;
        do {
            if (fd.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM))
                continue;
            const String name = com::U16(fd.cFileName);
            if (seen.insert(LowerCase(name)).second) Items().Add(name);
        } while (FindNextFileW(find, &fd));
        FindClose(find);
    }
    Items().EndUpdate();
}

}  // namespace forms
