#include "framework/forms/ComCtrls.h"

#include <algorithm>
#include <numeric>
#include <unordered_map>

#include "framework/com/WinText.h"
#include "framework/forms/Printers.h"

namespace forms {

namespace {

// Redraw of a list or tree held off while its items change in a batch; the
// calls nest, and the last EndRedrawHold draws the control once.
void BeginRedrawHold(TWinControl& control, int& depth) {
    if (depth++ == 0 && control.HandleAllocated()) SendMessageW(control.Handle(), WM_SETREDRAW, FALSE, 0);
}

void EndRedrawHold(TWinControl& control, int& depth) {
    if (depth > 0 && --depth == 0 && control.HandleAllocated()) {
        SendMessageW(control.Handle(), WM_SETREDRAW, TRUE, 0);
        InvalidateRect(control.Handle(), nullptr, TRUE);
    }
}

// Asks a handler that may forbid an action on an item; what it leaves in
// allow (the default when there is no handler) is the answer.
template <class Handler, class Item>
bool Ask(const Handler& handler, TObject* sender, Item* item, bool allow = true) {
    if (handler) handler(sender, item, allow);
    return allow;
}

// Moves a control's listener from the image list it used to the new one,
// then applies the new one at once.
void FollowImages(TImageList*& field, TImageList* images, void* listener, const std::function<void()>& apply) {
    if (field) field->RemoveChangeListener(listener);
    field = images;
    if (images) images->AddChangeListener(listener, apply);
    apply();
}

// One state bit (LVIS_SELECTED, LVIS_FOCUSED) of a list view's item.
bool ItemState(const TCustomListView& view, int index, UINT bit) {
    if (!view.HandleAllocated()) return false;
    return SendMessageW(const_cast<TCustomListView&>(view).Handle(), LVM_GETITEMSTATE, static_cast<WPARAM>(index),
                        bit) != 0;
}

void SetItemState(TCustomListView& view, int index, UINT bit, bool on) {
    LVITEMW it{};
    it.stateMask = bit;
    it.state = on ? bit : 0;
    SendMessageW(view.Handle(), LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&it));
}

}  // namespace

// ---- TPageControl -------------------------------------------------------------------

TPageControl::TPageControl(TComponent* owner) : TWinControl(owner) {
    m_width = 289;
    m_height = 193;
    SetTabStop(true);
}

TPageControl::~TPageControl() {
    // The sheets are freed with the children; they must not call back.
    for (TTabSheet* p : m_pages) p->m_pageControl = nullptr;
    m_pages.clear();
    m_active = nullptr;
}

void TPageControl::CreateParams(TCreateParams& p) {
    TWinControl::CreateParams(p);
    p.baseClass = WC_TABCONTROLW;
    p.style |= WS_CLIPCHILDREN;
    p.exStyle |= WS_EX_CONTROLPARENT;
}

void TPageControl::InitializeWnd() {
    for (size_t i = 0; i < m_pages.size(); ++i) {
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        const String text = m_pages[i]->GetText();
        item.pszText = const_cast<WCHAR*>(com::W(text));
        SendMessageW(m_handle, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
    }
    if (m_active) SendMessageW(m_handle, TCM_SETCURSEL, static_cast<WPARAM>(m_active->PageIndex()), 0);
    LayoutSheets();
}

RECT TPageControl::DisplayRect() {
    RECT r = ClientRect();
    if (m_handle) SendMessageW(m_handle, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&r));
    return r;
}

void TPageControl::LayoutSheets() {
    if (!m_handle) return;
    const RECT r = DisplayRect();
    for (TTabSheet* p : m_pages) p->SetBounds(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

void TPageControl::ShowOnly(TTabSheet* page) {
    for (TTabSheet* p : m_pages)
        if (p != page) p->SetVisible(false);
    if (page) {
        page->SetVisible(true);
        if (page->HandleAllocated()) SetWindowPos(page->Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
}

void TPageControl::InsertPage(TTabSheet* page) {
    m_pages.push_back(page);
    if (m_handle) {
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        const String text = page->GetText();
        item.pszText = const_cast<WCHAR*>(com::W(text));
        SendMessageW(m_handle, TCM_INSERTITEMW, m_pages.size() - 1, reinterpret_cast<LPARAM>(&item));
        LayoutSheets();
    }
    if (!m_active) SetActivePage(page);
    else page->SetVisible(false);
}

void TPageControl::RemovePage(TTabSheet* page) {
    const auto it = std::find(m_pages.begin(), m_pages.end(), page);
    if (it == m_pages.end()) return;
    const int index = static_cast<int>(it - m_pages.begin());
    m_pages.erase(it);
    if (m_handle) SendMessageW(m_handle, TCM_DELETEITEM, static_cast<WPARAM>(index), 0);
    if (m_active == page) SetActivePage(m_pages.empty() ? nullptr : m_pages[std::min<size_t>(index, m_pages.size() - 1)]);
}

void TPageControl::UpdateTab(TTabSheet* page) {
    if (!m_handle) return;
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    const String text = page->GetText();
    item.pszText = const_cast<WCHAR*>(com::W(text));
    SendMessageW(m_handle, TCM_SETITEMW, static_cast<WPARAM>(page->PageIndex()), reinterpret_cast<LPARAM>(&item));
    LayoutSheets();
}

void TPageControl::SetActivePage(TTabSheet* page) {
    if (page && page->m_pageControl != this) return;
    m_active = page;
    if (m_handle && page) SendMessageW(m_handle, TCM_SETCURSEL, static_cast<WPARAM>(page->PageIndex()), 0);
    ShowOnly(page);
}

int TPageControl::ActivePageIndex() const { return m_active ? m_active->PageIndex() : -1; }

void TPageControl::SetActivePageIndex(int index) {
    SetActivePage(index >= 0 && index < PageCount() ? m_pages[static_cast<size_t>(index)] : nullptr);
}

void TPageControl::WndProc(TMessage& m) {
    switch (m.Msg) {
    case CN_NOTIFY: {
        const auto* hdr = reinterpret_cast<const NMHDR*>(m.LParam);
        if (hdr->code == TCN_SELCHANGING) {
            bool allow = true;
            if (OnChanging) OnChanging(this, allow);
            m.Result = allow ? FALSE : TRUE;
            return;
        }
        if (hdr->code == TCN_SELCHANGE) {
            const int index = static_cast<int>(SendMessageW(m_handle, TCM_GETCURSEL, 0, 0));
            if (index >= 0 && index < PageCount()) {
                m_active = m_pages[static_cast<size_t>(index)];
                ShowOnly(m_active);
            }
            if (OnChange) OnChange(this);
            return;
        }
        break;
    }
    case WM_SIZE:
        TWinControl::WndProc(m);
        LayoutSheets();
        return;
    default:
        break;
    }
    TWinControl::WndProc(m);
}

TTabSheet::TTabSheet(TComponent* owner) : TWinControl(owner) { m_parentColor = true; }

TTabSheet::~TTabSheet() {
    if (m_pageControl) m_pageControl->RemovePage(this);
}

void TTabSheet::CreateParams(TCreateParams& p) {
    TWinControl::CreateParams(p);
    p.style |= WS_CLIPCHILDREN;
    p.exStyle |= WS_EX_CONTROLPARENT;
}

void TTabSheet::SetPageControl(TPageControl* control) {
    if (control == m_pageControl) return;
    if (m_pageControl) m_pageControl->RemovePage(this);
    m_pageControl = control;
    SetParent(control);
    if (control) control->InsertPage(this);
}

int TTabSheet::PageIndex() const {
    if (!m_pageControl) return -1;
    const auto& pages = m_pageControl->m_pages;
    const auto it = std::find(pages.begin(), pages.end(), this);
    return it == pages.end() ? -1 : static_cast<int>(it - pages.begin());
}

void TTabSheet::TextChanged() {
    if (m_pageControl) m_pageControl->UpdateTab(this);
}

// ---- Progress and track bars ----------------------------------------------------------

TProgressBar::TProgressBar(TComponent* owner) : TWinControl(owner) {
    m_width = 150;
    m_height = 16;
}

void TProgressBar::CreateParams(TCreateParams& p) {
    TWinControl::CreateParams(p);
    p.baseClass = PROGRESS_CLASSW;
}

void TProgressBar::InitializeWnd() {
    SendMessageW(m_handle, PBM_SETRANGE32, static_cast<WPARAM>(m_min), m_max);
    SendMessageW(m_handle, PBM_SETPOS, static_cast<WPARAM>(m_position), 0);
}

void TProgressBar::SetRange(int min, int max) {
    m_min = min;
    m_max = max;
    m_position = std::max(min, std::min(max, m_position));
    if (m_handle) InitializeWnd();
}

void TProgressBar::SetPosition(int position) {
    m_position = std::max(m_min, std::min(m_max, position));
    if (m_handle) SendMessageW(m_handle, PBM_SETPOS, static_cast<WPARAM>(m_position), 0);
}

TTrackBar::TTrackBar(TComponent* owner) : TWinControl(owner) {
    m_width = 150;
    m_height = 45;
    SetTabStop(true);
}

void TTrackBar::CreateParams(TCreateParams& p) {
    TWinControl::CreateParams(p);
    p.baseClass = TRACKBAR_CLASSW;
    p.style |= TBS_HORZ | TBS_AUTOTICKS;
}

void TTrackBar::InitializeWnd() {
    SendMessageW(m_handle, TBM_SETRANGEMIN, FALSE, m_min);
    SendMessageW(m_handle, TBM_SETRANGEMAX, FALSE, m_max);
    SendMessageW(m_handle, TBM_SETPOS, TRUE, m_position);
}

void TTrackBar::SetRange(int min, int max) {
    m_min = min;
    m_max = max;
    if (m_handle) InitializeWnd();
}

int TTrackBar::Position() {
    if (m_handle) m_position = static_cast<int>(SendMessageW(m_handle, TBM_GETPOS, 0, 0));
    return m_position;
}

void TTrackBar::SetPosition(int position) {
    position = std::max(m_min, std::min(m_max, position));
    if (position == Position()) return;
    m_position = position;
    if (m_handle) SendMessageW(m_handle, TBM_SETPOS, TRUE, position);
    if (OnChange) OnChange(this);
}

void TTrackBar::WndProc(TMessage& m) {
    if (m.Msg == CN_HSCROLL || m.Msg == CN_VSCROLL) {
        const int before = m_position;
        if (Position() != before && OnChange) OnChange(this);
        return;
    }
    TWinControl::WndProc(m);
}

// ---- List view -----------------------------------------------------------------------

// The texts of an item's further columns; every change goes to the control.
class SubItemStrings final : public TStrings {
public:
    explicit SubItemStrings(TListItem& item) : m_item(item) {}
    int Count() const override { return static_cast<int>(m_lines.size()); }
    String Get(int index) const override {
        CheckIndex(index, Count());
        return m_lines[static_cast<size_t>(index)];
    }
    void Put(int index, const String& s) override {
        CheckIndex(index, Count());
        m_lines[static_cast<size_t>(index)] = s;
        Changed();
    }
    void Insert(int index, const String& s) override {
        if (index < 0 || index > Count()) throw EListError("List index out of bounds (" + std::to_string(index) + ")");
        m_lines.insert(m_lines.begin() + index, s);
        Changed();
    }
    void Delete(int index) override {
        CheckIndex(index, Count());
        m_lines.erase(m_lines.begin() + index);
        Changed();
    }
    void Clear() override {
        m_lines.clear();
        Changed();
    }

protected:
    void SetUpdateState(bool updating) override {
        if (!updating) Changed();
    }

private:
    void Changed() {
        if (UpdateCount() == 0) m_item.UpdateSubItems();
    }
    TListItem& m_item;
    std::vector<String> m_lines;
};

void TListColumn::SetCaption(const String& caption) {
    m_caption = caption;
    Apply();
}

int TListColumn::Width() {
    if (m_owner.HandleAllocated())
        m_width = static_cast<int>(SendMessageW(m_owner.Handle(), LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(Index()), 0));
    return m_width;
}

void TListColumn::SetWidth(int width) {
    m_width = width;
    Apply();
}

void TListColumn::SetAlignment(TAlignment a) {
    m_alignment = a;
    Apply();
}

int TListColumn::Index() const {
    for (int i = 0; i < m_owner.ColumnCount(); ++i)
        if (m_owner.Column(i) == this) return i;
    return -1;
}

void TListColumn::Apply() {
    if (!m_owner.HandleAllocated()) return;
    LVCOLUMNW c{};
    c.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
    c.pszText = const_cast<WCHAR*>(com::W(m_caption));
    c.cx = m_width;
    c.fmt = m_alignment == TAlignment::taCenter ? LVCFMT_CENTER
            : m_alignment == TAlignment::taRightJustify ? LVCFMT_RIGHT
                                                        : LVCFMT_LEFT;
    SendMessageW(m_owner.Handle(), LVM_SETCOLUMNW, static_cast<WPARAM>(Index()), reinterpret_cast<LPARAM>(&c));
}

TListItem::TListItem(TCustomListView& owner) : m_owner(owner), m_subItems(new SubItemStrings(*this)) {}

TListItem::~TListItem() = default;

int TListItem::Index() const { return m_owner.IndexOfItem(this); }

void TListItem::SetCaption(const String& caption) {
    m_caption = caption;
    if (!m_owner.HandleAllocated()) return;
    LVITEMW it{};
    it.iSubItem = 0;
    it.pszText = const_cast<WCHAR*>(com::W(m_caption));
    SendMessageW(m_owner.Handle(), LVM_SETITEMTEXTW, static_cast<WPARAM>(Index()), reinterpret_cast<LPARAM>(&it));
}

void TListItem::SetImageIndex(int index) {
    m_imageIndex = index;
    if (!m_owner.HandleAllocated()) return;
    LVITEMW it{};
    it.mask = LVIF_IMAGE;
    it.iItem = Index();
    it.iImage = index;
    SendMessageW(m_owner.Handle(), LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&it));
}

void TListItem::UpdateSubItems() {
    if (!m_owner.HandleAllocated()) return;
    const int index = Index();
    if (index < 0) return;
    for (int i = 1; i < m_owner.ColumnCount(); ++i) {
        const String text = i - 1 < m_subItems->Count() ? m_subItems->Get(i - 1) : String();
        LVITEMW it{};
        it.iSubItem = i;
        it.pszText = const_cast<WCHAR*>(com::W(text));
        SendMessageW(m_owner.Handle(), LVM_SETITEMTEXTW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&it));
    }
}

bool TListItem::Selected() const { return ItemState(m_owner, Index(), LVIS_SELECTED); }

void TListItem::SetSelected(bool on) { SetItemState(m_owner, Index(), LVIS_SELECTED, on); }

bool TListItem::Focused() const { return ItemState(m_owner, Index(), LVIS_FOCUSED); }

void TListItem::SetFocused(bool on) { SetItemState(m_owner, Index(), LVIS_FOCUSED, on); }

void TListItem::MakeVisible(bool partialOk) {
    SendMessageW(m_owner.Handle(), LVM_ENSUREVISIBLE, static_cast<WPARAM>(Index()), partialOk);
}

void TListItem::Delete() { m_owner.Items().Delete(Index()); }

TListItem* TListItems::Add() { return Insert(Count()); }

TListItem* TListItems::Add(const String& caption, int imageIndex, const std::vector<String>& subItems) {
    auto* item = new TListItem(m_owner);
    item->m_caption = caption;
    item->m_imageIndex = imageIndex;
    TStrings& subs = *item->m_subItems;
    subs.BeginUpdate();
    for (const String& s : subItems) subs.Add(s);
    subs.EndUpdate();  // not in the list yet: nothing is sent
    m_items.emplace_back(item);
    m_owner.InsertNative(Count() - 1, item);
    return item;
}

TListItem* TListItems::Insert(int index) {
    if (index < 0 || index > Count()) throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    auto* item = new TListItem(m_owner);
    m_items.insert(m_items.begin() + index, std::unique_ptr<TListItem>(item));
    m_owner.InsertNative(index, item);
    return item;
}

TListItem* TListItems::Item(int index) const {
    if (index < 0 || index >= Count()) throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    return m_items[static_cast<size_t>(index)].get();
}

int TListItems::IndexOf(const TListItem* item) const {
    // From the end: the item just added is the one asked about most.
    for (size_t i = m_items.size(); i-- > 0;)
        if (m_items[i].get() == item) return static_cast<int>(i);
    return -1;
}

void TListItems::Delete(int index) {
    TListItem* item = Item(index);
    if (m_owner.OnDeletion) m_owner.OnDeletion(&m_owner, item);
    if (m_owner.HandleAllocated()) SendMessageW(m_owner.Handle(), LVM_DELETEITEM, static_cast<WPARAM>(index), 0);
    m_items.erase(m_items.begin() + index);
}

void TListItems::Clear() {
    if (m_owner.OnDeletion)
        for (auto& item : m_items) m_owner.OnDeletion(&m_owner, item.get());
    if (m_owner.HandleAllocated()) SendMessageW(m_owner.Handle(), LVM_DELETEALLITEMS, 0, 0);
    m_items.clear();
}

void TListItems::BeginUpdate() { BeginRedrawHold(m_owner, m_updating); }

void TListItems::EndUpdate() { EndRedrawHold(m_owner, m_updating); }

TCustomListView::TCustomListView(TComponent* owner) : TWinControl(owner) {
    m_width = 250;
    m_height = 150;
    m_color = clWindow;
    m_clickEvents = false;
    SetTabStop(true);
}

TCustomListView::~TCustomListView() {
    if (m_smallImages) m_smallImages->RemoveChangeListener(this);
    if (m_largeImages) m_largeImages->RemoveChangeListener(this);
    DestroyHandle();
}

void TCustomListView::CreateParams(TCreateParams& p) {
    TWinControl::CreateParams(p);
    p.baseClass = WC_LISTVIEWW;
    p.style |= LVS_SHAREIMAGELISTS;
    switch (m_viewStyle) {
    case TViewStyle::vsIcon: p.style |= LVS_ICON; break;
    case TViewStyle::vsSmallIcon: p.style |= LVS_SMALLICON; break;
    case TViewStyle::vsList: p.style |= LVS_LIST; break;
    case TViewStyle::vsReport: p.style |= LVS_REPORT; break;
    }
    if (!m_multiSelect) p.style |= LVS_SINGLESEL;
    if (!m_readOnly) p.style |= LVS_EDITLABELS;
    if (!m_hideSelection) p.style |= LVS_SHOWSELALWAYS;
    if (!m_showHeaders) p.style |= LVS_NOCOLUMNHEADER;
    p.exStyle |= WS_EX_CLIENTEDGE;
}

void TCustomListView::InitializeWnd() {
    ApplyExtendedStyle();
    ApplyImages();
    for (size_t i = 0; i < m_columns.size(); ++i) {
        LVCOLUMNW c{};
        c.mask = LVCF_TEXT | LVCF_WIDTH;
        c.pszText = const_cast<WCHAR*>(com::W(m_columns[i]->m_caption));
        c.cx = m_columns[i]->m_width;
        SendMessageW(m_handle, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&c));
        m_columns[i]->Apply();
    }
    for (int i = 0; i < m_items.Count(); ++i) InsertNative(i, m_items.Item(i));
}

void TCustomListView::ApplyExtendedStyle() {
    if (!m_handle) return;
    DWORD ex = 0;
    if (m_rowSelect) ex |= LVS_EX_FULLROWSELECT;
    if (m_gridLines) ex |= LVS_EX_GRIDLINES;
    SendMessageW(m_handle, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES, ex);
}

void TCustomListView::ApplyImages() {
    if (!m_handle) return;
    SendMessageW(m_handle, LVM_SETIMAGELIST, LVSIL_SMALL,
                 reinterpret_cast<LPARAM>(m_smallImages ? m_smallImages->Handle() : nullptr));
    SendMessageW(m_handle, LVM_SETIMAGELIST, LVSIL_NORMAL,
                 reinterpret_cast<LPARAM>(m_largeImages ? m_largeImages->Handle() : nullptr));
}

void TCustomListView::SetViewStyle(TViewStyle style) {
    m_viewStyle = style;
    if (!m_handle) return;
    static const DWORD styles[] = {LVS_ICON, LVS_SMALLICON, LVS_LIST, LVS_REPORT};
    ChangeStyle(styles[static_cast<int>(style)], LVS_TYPEMASK);
}

void TCustomListView::SetMultiSelect(bool on) {
    m_multiSelect = on;
    ChangeStyle(on ? 0 : LVS_SINGLESEL, on ? LVS_SINGLESEL : 0);
}

void TCustomListView::SetReadOnly(bool on) {
    m_readOnly = on;
    ChangeStyle(on ? 0 : LVS_EDITLABELS, on ? LVS_EDITLABELS : 0);
}

void TCustomListView::SetRowSelect(bool on) {
    m_rowSelect = on;
    ApplyExtendedStyle();
}

void TCustomListView::SetGridLines(bool on) {
    m_gridLines = on;
    ApplyExtendedStyle();
}

void TCustomListView::SetHideSelection(bool on) {
    m_hideSelection = on;
    ChangeStyle(on ? 0 : LVS_SHOWSELALWAYS, on ? LVS_SHOWSELALWAYS : 0);
}

void TCustomListView::SetShowColumnHeaders(bool on) {
    m_showHeaders = on;
    ChangeStyle(on ? 0 : LVS_NOCOLUMNHEADER, on ? LVS_NOCOLUMNHEADER : 0);
}

TListColumn* TCustomListView::AddColumn(const String& caption, int width) {
    auto* c = new TListColumn(*this);
    c->m_caption = caption;
    c->m_width = width;
    m_columns.emplace_back(c);
    if (m_handle) {
        LVCOLUMNW col{};
        col.mask = LVCF_TEXT | LVCF_WIDTH;
        col.pszText = const_cast<WCHAR*>(com::W(caption));
        col.cx = width;
        const int column = ColumnCount() - 1;
        SendMessageW(m_handle, LVM_INSERTCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&col));
        // The items' texts for it, which the control had no room for.
        for (int i = 0; column > 0 && i < m_items.Count(); ++i) {
            TListItem* item = m_items.Item(i);
            if (column - 1 >= item->m_subItems->Count()) continue;
            const String text = item->m_subItems->Get(column - 1);
            LVITEMW it{};
            it.iSubItem = column;
            it.pszText = const_cast<WCHAR*>(com::W(text));
            SendMessageW(m_handle, LVM_SETITEMTEXTW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&it));
        }
    }
    return c;
}

void TCustomListView::ClearColumns() {
    if (m_handle)
        for (int i = ColumnCount() - 1; i >= 0; --i) SendMessageW(m_handle, LVM_DELETECOLUMN, static_cast<WPARAM>(i), 0);
    m_columns.clear();
}

HWND TCustomListView::HeaderHandle() { return reinterpret_cast<HWND>(SendMessageW(Handle(), LVM_GETHEADER, 0, 0)); }

void TCustomListView::SetSmallImages(TImageList* images) {
    FollowImages(m_smallImages, images, this, [this] { ApplyImages(); });
}

void TCustomListView::SetLargeImages(TImageList* images) {
    FollowImages(m_largeImages, images, this, [this] { ApplyImages(); });
}

void TCustomListView::Notification(TComponent* component, TOperation operation) {
    TWinControl::Notification(component, operation);
    if (operation != TOperation::opRemove) return;
    if (component == m_smallImages) SetSmallImages(nullptr);
    if (component == m_largeImages) SetLargeImages(nullptr);
}

void TCustomListView::InsertNative(int index, TListItem* item) {
    if (!m_handle) return;
    LVITEMW it{};
    it.mask = LVIF_TEXT | LVIF_PARAM | LVIF_IMAGE;
    it.iItem = index;
    it.pszText = const_cast<WCHAR*>(com::W(item->m_caption));
    it.lParam = reinterpret_cast<LPARAM>(item);
    it.iImage = item->m_imageIndex;
    SendMessageW(m_handle, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&it));
    // A new item's further columns are empty already.
    if (item->m_subItems->Count() > 0) item->UpdateSubItems();
}

TListItem* TCustomListView::ItemOfIndex(int index) const {
    return index >= 0 && index < m_items.Count() ? m_items.Item(index) : nullptr;
}

TListItem* TCustomListView::Selected() {
    const int i = static_cast<int>(SendMessageW(Handle(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    return ItemOfIndex(i);
}

void TCustomListView::SetSelected(TListItem* item) {
    LVITEMW it{};
    it.stateMask = LVIS_SELECTED;
    it.state = 0;
    SendMessageW(Handle(), LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&it));
    if (item) {
        item->SetSelected(true);
        item->SetFocused(true);
    }
}

int TCustomListView::SelCount() { return static_cast<int>(SendMessageW(Handle(), LVM_GETSELECTEDCOUNT, 0, 0)); }

TListItem* TCustomListView::ItemFocused() {
    const int i = static_cast<int>(SendMessageW(Handle(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
    return ItemOfIndex(i);
}

TListItem* TCustomListView::GetItemAt(int x, int y) {
    LVHITTESTINFO hit{};
    hit.pt = POINT{x, y};
    const int i = static_cast<int>(SendMessageW(Handle(), LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    return (hit.flags & LVHT_ONITEM) ? ItemOfIndex(i) : nullptr;
}

void TCustomListView::SelectAll() {
    LVITEMW it{};
    it.stateMask = LVIS_SELECTED;
    it.state = LVIS_SELECTED;
    SendMessageW(Handle(), LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&it));
}

bool TCustomListView::IsEditing() {
    return m_handle && SendMessageW(m_handle, LVM_GETEDITCONTROL, 0, 0) != 0;
}

namespace {
int CALLBACK CompareByRank(LPARAM a, LPARAM b, LPARAM ranks) {
    const auto& r = *reinterpret_cast<const std::unordered_map<LPARAM, int>*>(ranks);
    return r.at(a) - r.at(b);
}
}  // namespace

void TCustomListView::CustomSort(const std::function<int(TListItem* a, TListItem* b)>& compare) {
    auto& items = m_items.m_items;
    std::stable_sort(items.begin(), items.end(),
                     [&](const std::unique_ptr<TListItem>& a, const std::unique_ptr<TListItem>& b) {
                         return compare(a.get(), b.get()) < 0;
                     });
    if (!m_handle) return;
    std::unordered_map<LPARAM, int> ranks;
    for (size_t i = 0; i < items.size(); ++i) ranks[reinterpret_cast<LPARAM>(items[i].get())] = static_cast<int>(i);
    SendMessageW(m_handle, LVM_SORTITEMS, reinterpret_cast<WPARAM>(&ranks), reinterpret_cast<LPARAM>(&CompareByRank));
}

void TCustomListView::AlphaSort() {
    if (OnCompare) {
        CustomSort([this](TListItem* a, TListItem* b) {
            int result = 0;
            OnCompare(this, a, b, 0, result);
            return result;
        });
        return;
    }
    CustomSort([](TListItem* a, TListItem* b) { return CompareText(a->Caption(), b->Caption()); });
}

bool TCustomListView::CanEdit(TListItem* item) { return Ask(OnEditing, this, item, !m_readOnly); }

void TCustomListView::Edited(TListItem* item, String& text) {
    if (OnEdited) OnEdited(this, item, text);
}

void TCustomListView::WndProc(TMessage& m) {
    switch (m.Msg) {
    case CN_NOTIFY: {
        const auto* hdr = reinterpret_cast<const NMHDR*>(m.LParam);
        switch (hdr->code) {
        case LVN_ITEMCHANGED: {
            const auto* lv = reinterpret_cast<const NMLISTVIEW*>(m.LParam);
            if ((lv->uChanged & LVIF_STATE) && ((lv->uNewState ^ lv->uOldState) & LVIS_SELECTED) && OnSelectItem)
                if (TListItem* item = ItemOfIndex(lv->iItem))
                    OnSelectItem(this, item, (lv->uNewState & LVIS_SELECTED) != 0);
            return;
        }
        case NM_CLICK:
            Click();
            return;
        case NM_DBLCLK:
            DblClick();
            return;
        case LVN_COLUMNCLICK: {
            const auto* lv = reinterpret_cast<const NMLISTVIEW*>(m.LParam);
            if (OnColumnClick && lv->iSubItem >= 0 && lv->iSubItem < ColumnCount())
                OnColumnClick(this, Column(lv->iSubItem));
            return;
        }
        case LVN_BEGINDRAG:
        case LVN_BEGINRDRAG:
            if (DragMode() == TDragMode::dmAutomatic) BeginDrag(true);
            return;
        case LVN_BEGINLABELEDITW: {
            const auto* d = reinterpret_cast<const NMLVDISPINFOW*>(m.LParam);
            m.Result = CanEdit(ItemOfIndex(d->item.iItem)) ? FALSE : TRUE;
            return;
        }
        case LVN_ENDLABELEDITW: {
            const auto* d = reinterpret_cast<const NMLVDISPINFOW*>(m.LParam);
            if (d->item.pszText) {
                if (TListItem* item = ItemOfIndex(d->item.iItem)) {
                    String text = com::U16(d->item.pszText);
                    Edited(item, text);
                    item->SetCaption(text);
                }
            }
            m.Result = FALSE;
            return;
        }
        default:
            return;
        }
    }
    case WM_LBUTTONDOWN:
        // The control detects drags itself (LVN_BEGINDRAG).
        DefaultHandler(m);
        MouseDown(TMouseButton::mbLeft, ShiftStateOf(m.WParam), LOWORD(m.LParam), HIWORD(m.LParam));
        return;
    case WM_LBUTTONDBLCLK:
        DefaultHandler(m);
        return;
    default:
        break;
    }
    TWinControl::WndProc(m);
}

// ---- Tree view -----------------------------------------------------------------------

TTreeNode::~TTreeNode() {
    for (TTreeNode* c : m_children) delete c;
}

void TTreeNode::Update() {
    if (!m_item || !m_owner.HandleAllocated()) return;
    TVITEMW it{};
    it.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_CHILDREN;
    it.hItem = m_item;
    it.pszText = const_cast<WCHAR*>(com::W(m_text));
    it.iImage = m_imageIndex;
    it.iSelectedImage = m_selectedIndex;
    it.cChildren = (m_hasChildren || !m_children.empty()) ? 1 : 0;
    SendMessageW(m_owner.Handle(), TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&it));
}

void TTreeNode::SetText(const String& text) {
    m_text = text;
    Update();
}

void TTreeNode::SetImageIndex(int index) {
    m_imageIndex = index;
    Update();
}

void TTreeNode::SetSelectedIndex(int index) {
    m_selectedIndex = index;
    Update();
}

void TTreeNode::SetHasChildren(bool on) {
    m_hasChildren = on;
    Update();
}

TTreeNode* TTreeNode::Item(int index) const {
    if (index < 0 || index >= Count()) throw EListError("Tree view index out of bounds (" + std::to_string(index) + ")");
    return m_children[static_cast<size_t>(index)];
}

int TTreeNode::Index() const {
    const auto& siblings = const_cast<TCustomTreeView&>(m_owner).m_nodes.SiblingsOf(m_parent);
    return static_cast<int>(std::find(siblings.begin(), siblings.end(), this) - siblings.begin());
}

TTreeNode* TTreeNode::GetNextSibling() const {
    const auto& siblings = const_cast<TCustomTreeView&>(m_owner).m_nodes.SiblingsOf(m_parent);
    const size_t i = static_cast<size_t>(Index());
    return i + 1 < siblings.size() ? siblings[i + 1] : nullptr;
}

TTreeNode* TTreeNode::GetPrevSibling() const {
    const auto& siblings = const_cast<TCustomTreeView&>(m_owner).m_nodes.SiblingsOf(m_parent);
    const int i = Index();
    return i > 0 ? siblings[static_cast<size_t>(i - 1)] : nullptr;
}

TTreeNode* TTreeNode::GetNext() const {
    if (!m_children.empty()) return m_children.front();
    for (const TTreeNode* n = this; n; n = n->m_parent)
        if (TTreeNode* next = n->GetNextSibling()) return next;
    return nullptr;
}

TTreeNode* TTreeNode::GetNextVisible() const {
    if (!m_children.empty() && Expanded()) return m_children.front();
    for (const TTreeNode* n = this; n; n = n->m_parent)
        if (TTreeNode* next = n->GetNextSibling()) return next;
    return nullptr;
}

TTreeNode* TTreeNode::GetPrevVisible() const {
    TTreeNode* prev = GetPrevSibling();
    if (!prev) return m_parent;
    // The last shown descendant of the previous sibling.
    while (!prev->m_children.empty() && prev->Expanded()) prev = prev->m_children.back();
    return prev;
}

int TTreeNode::Level() const {
    int level = 0;
    for (TTreeNode* p = m_parent; p; p = p->m_parent) ++level;
    return level;
}

bool TTreeNode::Expanded() const {
    if (!m_item) return false;
    return (SendMessageW(m_owner.Handle(), TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(m_item), TVIS_EXPANDED) &
            TVIS_EXPANDED) != 0;
}

// TVM_EXPAND sends no notifications, so the events are raised here.
void TTreeNode::Expand(bool recurse) {
    if (!Expanded() && m_owner.CanExpand(this)) {
        // The window first: making it gives the node its item.
        const HWND tree = m_owner.Handle();
        m_owner.m_expandingInCode = true;
        SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(m_item));
        m_owner.m_expandingInCode = false;
        m_owner.Expand(this);
    }
    if (recurse)
        for (TTreeNode* c : std::vector<TTreeNode*>(m_children)) c->Expand(true);
}

void TTreeNode::Collapse(bool recurse) {
    if (recurse)
        for (TTreeNode* c : m_children) c->Collapse(true);
    if (Expanded() && m_owner.CanCollapse(this)) {
        m_owner.m_expandingInCode = true;
        SendMessageW(m_owner.Handle(), TVM_EXPAND, TVE_COLLAPSE, reinterpret_cast<LPARAM>(m_item));
        m_owner.m_expandingInCode = false;
        m_owner.Collapse(this);
    }
}

bool TTreeNode::Selected() const {
    return m_item && reinterpret_cast<HTREEITEM>(SendMessageW(m_owner.Handle(), TVM_GETNEXTITEM, TVGN_CARET, 0)) == m_item;
}

void TTreeNode::SetSelected(bool on) {
    if (on) SendMessageW(m_owner.Handle(), TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(m_item));
    else if (Selected()) SendMessageW(m_owner.Handle(), TVM_SELECTITEM, TVGN_CARET, 0);
}

void TTreeNode::MakeVisible() { SendMessageW(m_owner.Handle(), TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(m_item)); }

namespace {
int CALLBACK CompareTreeRanks(LPARAM a, LPARAM b, LPARAM ranks) {
    const auto& r = *reinterpret_cast<const std::unordered_map<LPARAM, int>*>(ranks);
    return r.at(a) - r.at(b);
}
}  // namespace

void TTreeNode::AlphaSort() {
    std::stable_sort(m_children.begin(), m_children.end(), [](const TTreeNode* a, const TTreeNode* b) {
        return lstrcmpiW(com::W(a->m_text), com::W(b->m_text)) < 0;
    });
    if (!m_item || !m_owner.HandleAllocated()) return;
    std::unordered_map<LPARAM, int> ranks;
    for (size_t i = 0; i < m_children.size(); ++i) ranks[reinterpret_cast<LPARAM>(m_children[i])] = static_cast<int>(i);
    TVSORTCB sort{m_item, &CompareTreeRanks, reinterpret_cast<LPARAM>(&ranks)};
    SendMessageW(m_owner.Handle(), TVM_SORTCHILDRENCB, 0, reinterpret_cast<LPARAM>(&sort));
}

void TTreeNode::EditText() { SendMessageW(m_owner.Handle(), TVM_EDITLABELW, 0, reinterpret_cast<LPARAM>(m_item)); }

void TTreeNode::Delete() { m_owner.m_nodes.Delete(this); }

void TTreeNode::DeleteChildren() {
    while (!m_children.empty()) m_owner.m_nodes.Delete(m_children.back());
}

TTreeNodes::~TTreeNodes() {
    for (TTreeNode* n : m_roots) delete n;
}

TTreeNode* TTreeNodes::InsertNode(TTreeNode* parent, size_t position, const String& text) {
    auto& siblings = SiblingsOf(parent);
    auto* node = new TTreeNode(m_owner, parent);
    node->m_text = text;
    siblings.insert(siblings.begin() + static_cast<long>(std::min(position, siblings.size())), node);
    m_owner.InsertNative(node);
    if (parent) parent->Update();
    return node;
}

TTreeNode* TTreeNodes::Add(TTreeNode* sibling, const String& text) {
    TTreeNode* parent = sibling ? sibling->m_parent : nullptr;
    return InsertNode(parent, SiblingsOf(parent).size(), text);
}

TTreeNode* TTreeNodes::AddFirst(TTreeNode* sibling, const String& text) {
    return InsertNode(sibling ? sibling->m_parent : nullptr, 0, text);
}

TTreeNode* TTreeNodes::AddChild(TTreeNode* parent, const String& text) {
    return InsertNode(parent, SiblingsOf(parent).size(), text);
}

TTreeNode* TTreeNodes::AddChildFirst(TTreeNode* parent, const String& text) { return InsertNode(parent, 0, text); }

TTreeNode* TTreeNodes::Insert(TTreeNode* sibling, const String& text) {
    if (!sibling) return Add(nullptr, text);
    return InsertNode(sibling->m_parent, static_cast<size_t>(sibling->Index()), text);
}

namespace {
void ForgetItems(TTreeNode* node, const std::function<void(TTreeNode*)>& visit) {
    for (int i = 0; i < node->Count(); ++i) ForgetItems(node->Item(i), visit);
    visit(node);
}
}  // namespace

void TTreeNodes::Delete(TTreeNode* node) {
    if (!node) return;
    if (m_owner.OnDeletion) ForgetItems(node, [&](TTreeNode* n) { m_owner.OnDeletion(&m_owner, n); });
    auto& siblings = SiblingsOf(node->m_parent);
    siblings.erase(std::find(siblings.begin(), siblings.end(), node));
    if (node->m_item && m_owner.HandleAllocated())
        SendMessageW(m_owner.Handle(), TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(node->m_item));
    TTreeNode* parent = node->m_parent;
    delete node;
    if (parent) parent->Update();
}

void TTreeNodes::Clear() {
    BeginUpdate();
    while (!m_roots.empty()) Delete(m_roots.back());
    EndUpdate();
}

int TTreeNodes::Count() const {
    int n = 0;
    std::function<void(const TTreeNode*)> count = [&](const TTreeNode* node) {
        ++n;
        for (const TTreeNode* c : node->m_children) count(c);
    };
    for (const TTreeNode* r : m_roots) count(r);
    return n;
}

void TTreeNodes::BeginUpdate() { BeginRedrawHold(m_owner, m_updating); }

void TTreeNodes::EndUpdate() { EndRedrawHold(m_owner, m_updating); }

TCustomTreeView::TCustomTreeView(TComponent* owner) : TWinControl(owner) {
    m_width = 121;
    m_height = 97;
    m_color = clWindow;
    SetTabStop(true);
}

TCustomTreeView::~TCustomTreeView() {
    if (m_images) m_images->RemoveChangeListener(this);
    DestroyHandle();
}

void TCustomTreeView::CreateParams(TCreateParams& p) {
    TWinControl::CreateParams(p);
    p.baseClass = WC_TREEVIEWW;
    if (m_showLines) p.style |= TVS_HASLINES;
    if (m_showRoot) p.style |= TVS_LINESATROOT;
    if (m_showButtons) p.style |= TVS_HASBUTTONS;
    if (!m_readOnly) p.style |= TVS_EDITLABELS;
    if (!m_hideSelection) p.style |= TVS_SHOWSELALWAYS;
    p.exStyle |= WS_EX_CLIENTEDGE;
}

void TCustomTreeView::InitializeWnd() {
    if (m_images) SendMessageW(m_handle, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(m_images->Handle()));
    std::function<void(TTreeNode*)> insert = [&](TTreeNode* n) {
        InsertNative(n);
        for (TTreeNode* c : n->m_children) insert(c);
    };
    for (TTreeNode* r : m_nodes.m_roots) insert(r);
}

void TCustomTreeView::InsertNative(TTreeNode* node) {
    if (!m_handle) return;
    TVINSERTSTRUCTW ins{};
    ins.hParent = node->m_parent ? node->m_parent->m_item : TVI_ROOT;
    const TTreeNode* previous = node->GetPrevSibling();
    ins.hInsertAfter = previous && previous->m_item ? previous->m_item : TVI_FIRST;
    ins.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_CHILDREN;
    ins.item.pszText = const_cast<WCHAR*>(com::W(node->m_text));
    ins.item.lParam = reinterpret_cast<LPARAM>(node);
    ins.item.iImage = node->m_imageIndex;
    ins.item.iSelectedImage = node->m_selectedIndex;
    ins.item.cChildren = (node->m_hasChildren || !node->m_children.empty()) ? 1 : 0;
    node->m_item = reinterpret_cast<HTREEITEM>(SendMessageW(m_handle, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&ins)));
}

void TCustomTreeView::SetImages(TImageList* images) {
    FollowImages(m_images, images, this, [this] {
        if (m_handle)
            SendMessageW(m_handle, TVM_SETIMAGELIST, TVSIL_NORMAL,
                         reinterpret_cast<LPARAM>(m_images ? m_images->Handle() : nullptr));
    });
}

void TCustomTreeView::Notification(TComponent* component, TOperation operation) {
    TWinControl::Notification(component, operation);
    if (operation == TOperation::opRemove && component == m_images) SetImages(nullptr);
}

void TCustomTreeView::SetReadOnly(bool on) {
    m_readOnly = on;
    ChangeStyle(on ? 0 : TVS_EDITLABELS, on ? TVS_EDITLABELS : 0);
}

void TCustomTreeView::SetHideSelection(bool on) {
    m_hideSelection = on;
    ChangeStyle(on ? 0 : TVS_SHOWSELALWAYS, on ? TVS_SHOWSELALWAYS : 0);
}

TTreeNode* TCustomTreeView::Selected() {
    const auto item = reinterpret_cast<HTREEITEM>(SendMessageW(Handle(), TVM_GETNEXTITEM, TVGN_CARET, 0));
    if (!item) return nullptr;
    TVITEMW it{};
    it.mask = TVIF_PARAM;
    it.hItem = item;
    SendMessageW(m_handle, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&it));
    return NodeOf(it.lParam);
}

void TCustomTreeView::SetSelected(TTreeNode* node) {
    if (node) node->SetSelected(true);
    else SendMessageW(Handle(), TVM_SELECTITEM, TVGN_CARET, 0);
}

TTreeNode* TCustomTreeView::GetNodeAt(int x, int y) {
    TVHITTESTINFO hit{};
    hit.pt = POINT{x, y};
    const auto item = reinterpret_cast<HTREEITEM>(SendMessageW(Handle(), TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    if (!item || !(hit.flags & (TVHT_ONITEM | TVHT_ONITEMRIGHT | TVHT_ONITEMINDENT | TVHT_ONITEMBUTTON))) return nullptr;
    TVITEMW it{};
    it.mask = TVIF_PARAM;
    it.hItem = item;
    SendMessageW(m_handle, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&it));
    return NodeOf(it.lParam);
}

UINT TCustomTreeView::GetHitTestInfoAt(int x, int y) {
    TVHITTESTINFO hit{};
    hit.pt = POINT{x, y};
    SendMessageW(Handle(), TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit));
    return hit.flags;
}

void TCustomTreeView::FullExpand() {
    for (TTreeNode* r : std::vector<TTreeNode*>(m_nodes.m_roots)) r->Expand(true);
}

bool TCustomTreeView::CanExpand(TTreeNode* node) { return Ask(OnExpanding, this, node); }

void TCustomTreeView::Expand(TTreeNode* node) {
    if (OnExpanded) OnExpanded(this, node);
}

bool TCustomTreeView::CanCollapse(TTreeNode* node) { return Ask(OnCollapsing, this, node); }

void TCustomTreeView::Collapse(TTreeNode* node) {
    if (OnCollapsed) OnCollapsed(this, node);
}

bool TCustomTreeView::CanChange(TTreeNode* node) { return Ask(OnChanging, this, node); }

void TCustomTreeView::Change(TTreeNode* node) {
    if (OnChange) OnChange(this, node);
}

bool TCustomTreeView::CanEdit(TTreeNode* node) { return Ask(OnEditing, this, node, !m_readOnly); }

void TCustomTreeView::Edit(TTreeNode* node, String& text) {
    if (OnEdited) OnEdited(this, node, text);
}

void TCustomTreeView::WndProc(TMessage& m) {
    if (m.Msg == CN_NOTIFY) {
        const auto* hdr = reinterpret_cast<const NMHDR*>(m.LParam);
        const auto* tv = reinterpret_cast<const NMTREEVIEWW*>(m.LParam);
        switch (hdr->code) {
        case TVN_ITEMEXPANDINGW:
        case TVN_ITEMEXPANDINGA: {
            if (m_expandingInCode) {
                m.Result = FALSE;
                return;
            }
            TTreeNode* node = NodeOf(tv->itemNew.lParam);
            const bool allow = tv->action == TVE_EXPAND ? CanExpand(node) : CanCollapse(node);
            m.Result = allow ? FALSE : TRUE;
            return;
        }
        case TVN_ITEMEXPANDEDW:
        case TVN_ITEMEXPANDEDA: {
            if (m_expandingInCode) return;
            TTreeNode* node = NodeOf(tv->itemNew.lParam);
            if (tv->action == TVE_EXPAND) Expand(node);
            else Collapse(node);
            return;
        }
        case TVN_SELCHANGINGW:
        case TVN_SELCHANGINGA:
            m.Result = CanChange(NodeOf(tv->itemNew.lParam)) ? FALSE : TRUE;
            return;
        case TVN_SELCHANGEDW:
        case TVN_SELCHANGEDA:
            Change(NodeOf(tv->itemNew.lParam));
            return;
        case TVN_BEGINDRAGW:
        case TVN_BEGINDRAGA:
        case TVN_BEGINRDRAGW:
        case TVN_BEGINRDRAGA:
            if (DragMode() == TDragMode::dmAutomatic) BeginDrag(true);
            return;
        case TVN_BEGINLABELEDITW: {
            const auto* d = reinterpret_cast<const NMTVDISPINFOW*>(m.LParam);
            m.Result = CanEdit(NodeOf(d->item.lParam)) ? FALSE : TRUE;
            return;
        }
        case TVN_ENDLABELEDITW: {
            const auto* d = reinterpret_cast<const NMTVDISPINFOW*>(m.LParam);
            if (d->item.pszText) {
                TVITEMW it{};
                it.mask = TVIF_PARAM;
                it.hItem = d->item.hItem;
                SendMessageW(m_handle, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&it));
                if (TTreeNode* node = NodeOf(it.lParam)) {
                    String text = com::U16(d->item.pszText);
                    Edit(node, text);
                    node->SetText(text);
                }
            }
            m.Result = FALSE;
            return;
        }
        case NM_CLICK:
            Click();
            return;
        case NM_DBLCLK:
            DblClick();
            return;
        default:
            return;
        }
    }
    if (m.Msg == WM_LBUTTONDOWN) {
        DefaultHandler(m);
        MouseDown(TMouseButton::mbLeft, ShiftStateOf(m.WParam), LOWORD(m.LParam), HIWORD(m.LParam));
        return;
    }
    if (m.Msg == WM_LBUTTONDBLCLK) {
        DefaultHandler(m);
        return;
    }
    TWinControl::WndProc(m);
}

// ---- Rich edit -----------------------------------------------------------------------

namespace {

const HMODULE g_richEditLibrary = LoadLibraryW(L"riched20.dll");

// Paragraphs of a rich edit; its text separates them with CR.
class RichEditStrings final : public TStrings {
public:
    explicit RichEditStrings(TRichEdit& edit) : m_edit(edit) {}

    int Count() const override { return static_cast<int>(Paragraphs().size()); }
    String Get(int index) const override {
        const auto p = Paragraphs();
        CheckIndex(index, static_cast<int>(p.size()));
        return p[static_cast<size_t>(index)];
    }
    void Put(int index, const String& s) override {
        const auto p = Paragraphs();
        CheckIndex(index, static_cast<int>(p.size()));
        const int start = StartOf(p, index);
        Replace(start, start + static_cast<int>(p[static_cast<size_t>(index)].size()), s, false);
    }
    void Insert(int index, const String& s) override {
        const auto p = Paragraphs();
        if (index < 0 || index > static_cast<int>(p.size()))
            throw EListError("List index out of bounds (" + std::to_string(index) + ")");
        const int start = StartOf(p, index);
        Replace(start, start, s + u"\r", index == static_cast<int>(p.size()));
    }
    void Delete(int index) override {
        const auto p = Paragraphs();
        CheckIndex(index, static_cast<int>(p.size()));
        const int start = StartOf(p, index);
        Replace(start, start + static_cast<int>(p[static_cast<size_t>(index)].size()) + 1, String(), false);
    }
    void Clear() override { m_edit.SetText(String()); }
    void SaveToStream(TStream& stream) const override { m_edit.SaveToStream(stream); }
    void LoadFromStream(TStream& stream) override { m_edit.LoadFromStream(stream); }

protected:
    void SetUpdateState(bool updating) override {
        SendMessageW(m_edit.Handle(), WM_SETREDRAW, updating ? FALSE : TRUE, 0);
        if (!updating) InvalidateRect(m_edit.Handle(), nullptr, TRUE);
    }

private:
    String AllText() const {
        const HWND h = m_edit.Handle();
        GETTEXTLENGTHEX len{GTL_NUMCHARS | GTL_PRECISE, 1200};
        const LRESULT n = SendMessageW(h, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&len), 0);
        if (n <= 0) return {};
        std::u16string s(static_cast<size_t>(n) + 1, u'\0');
        GETTEXTEX get{};
        get.cb = static_cast<DWORD>(s.size() * sizeof(char16_t));
        get.flags = GT_DEFAULT;
        get.codepage = 1200;
        const LRESULT got = SendMessageW(h, EM_GETTEXTEX, reinterpret_cast<WPARAM>(&get), reinterpret_cast<LPARAM>(&s[0]));
        s.resize(static_cast<size_t>(std::max<LRESULT>(0, got)));
        return s;
    }
    std::vector<String> Paragraphs() const {
        const String text = AllText();
        std::vector<String> out;
        size_t start = 0;
        while (start < text.size()) {
            size_t end = text.find_first_of(u"\r\n", start);
            if (end == String::npos) end = text.size();
            out.push_back(text.substr(start, end - start));
            if (end < text.size() && text[end] == u'\r') ++end;
            if (end < text.size() && text[end] == u'\n') ++end;
            start = end;
        }
        return out;
    }
    static int StartOf(const std::vector<String>& p, int index) {
        int start = 0;
        for (int i = 0; i < index; ++i) start += static_cast<int>(p[static_cast<size_t>(i)].size()) + 1;
        return start;
    }
    // Replaces [from, to) with text. Appending at the end keeps the format
    // the selection had there (a colour set on the empty selection).
    void Replace(int from, int to, const String& text, bool atEnd) {
        const HWND h = m_edit.Handle();
        CHARRANGE old{};
        SendMessageW(h, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&old));
        const int length = m_edit.GetTextLen();
        CHARFORMAT2W format{};
        format.cbSize = sizeof format;
        const bool keepFormat = atEnd && old.cpMin == old.cpMax && old.cpMin >= length;
        if (keepFormat) SendMessageW(h, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
        CHARRANGE r{from, to};
        SendMessageW(h, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&r));
        if (keepFormat) SendMessageW(h, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
        SendMessageW(h, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(com::W(text)));
    }
    TRichEdit& m_edit;
};

struct StreamCookie {
    TStream* stream;
    bool failed;
};

DWORD CALLBACK StreamOut(DWORD_PTR cookie, LPBYTE buffer, LONG count, LONG* done) {
    auto* c = reinterpret_cast<StreamCookie*>(cookie);
    try {
        c->stream->WriteBuffer(buffer, count);
        *done = count;
        return 0;
    } catch (...) {
        c->failed = true;
        *done = 0;
        return 1;
    }
}

DWORD CALLBACK StreamIn(DWORD_PTR cookie, LPBYTE buffer, LONG count, LONG* done) {
    auto* c = reinterpret_cast<StreamCookie*>(cookie);
    try {
        *done = static_cast<LONG>(c->stream->Read(buffer, count));
        return 0;
    } catch (...) {
        c->failed = true;
        *done = 0;
        return 1;
    }
}

}  // namespace

CHARFORMAT2W TTextAttributes::Get() {
    CHARFORMAT2W f{};
    f.cbSize = sizeof f;
    SendMessageW(m_edit.Handle(), EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&f));
    return f;
}

void TTextAttributes::Set(CHARFORMAT2W& f) {
    f.cbSize = sizeof f;
    SendMessageW(m_edit.Handle(), EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&f));
}

TColor TTextAttributes::Color() {
    const CHARFORMAT2W f = Get();
    return (f.dwEffects & CFE_AUTOCOLOR) ? clWindowText : static_cast<TColor>(f.crTextColor);
}

void TTextAttributes::SetColor(TColor color) {
    CHARFORMAT2W f{};
    f.dwMask = CFM_COLOR;
    if (color == clWindowText) f.dwEffects = CFE_AUTOCOLOR;
    else f.crTextColor = ColorToRGB(color);
    Set(f);
}

String TTextAttributes::Name() { return com::U16(Get().szFaceName); }

void TTextAttributes::SetName(const String& name) {
    CHARFORMAT2W f{};
    f.dwMask = CFM_FACE;
    const size_t n = std::min<size_t>(name.size(), LF_FACESIZE - 1);
    std::copy(name.begin(), name.begin() + static_cast<long>(n), reinterpret_cast<char16_t*>(f.szFaceName));
    Set(f);
}

int TTextAttributes::Size() { return Get().yHeight / 20; }

void TTextAttributes::SetSize(int points) {
    CHARFORMAT2W f{};
    f.dwMask = CFM_SIZE;
    f.yHeight = points * 20;
    Set(f);
}

unsigned TTextAttributes::Style() {
    const CHARFORMAT2W f = Get();
    unsigned s = 0;
    if (f.dwEffects & CFE_BOLD) s |= fsBold;
    if (f.dwEffects & CFE_ITALIC) s |= fsItalic;
    if (f.dwEffects & CFE_UNDERLINE) s |= fsUnderline;
    if (f.dwEffects & CFE_STRIKEOUT) s |= fsStrikeOut;
    return s;
}

void TTextAttributes::SetStyle(unsigned styles) {
    CHARFORMAT2W f{};
    f.dwMask = CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_STRIKEOUT;
    if (styles & fsBold) f.dwEffects |= CFE_BOLD;
    if (styles & fsItalic) f.dwEffects |= CFE_ITALIC;
    if (styles & fsUnderline) f.dwEffects |= CFE_UNDERLINE;
    if (styles & fsStrikeOut) f.dwEffects |= CFE_STRIKEOUT;
    Set(f);
}

TRichEdit::TRichEdit(TComponent* owner) : TCustomEdit(owner), m_lines(new RichEditStrings(*this)) {
    m_width = 185;
    m_height = 89;
}

TRichEdit::~TRichEdit() { DestroyHandle(); }

void TRichEdit::CreateParams(TCreateParams& p) {
    if (!g_richEditLibrary) throw EOutOfResources("The rich edit library is not available");
    TCustomEdit::CreateParams(p);
    p.baseClass = RICHEDIT_CLASS20W;
    p.style &= ~ES_AUTOHSCROLL;
    p.style |= ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN;
    if (m_scrollBars == TScrollStyle::ssVertical || m_scrollBars == TScrollStyle::ssBoth) p.style |= WS_VSCROLL;
    if (m_scrollBars == TScrollStyle::ssHorizontal || m_scrollBars == TScrollStyle::ssBoth) p.style |= WS_HSCROLL;
}

void TRichEdit::InitializeWnd() {
    TCustomEdit::InitializeWnd();
    SendMessageW(m_handle, EM_EXLIMITTEXT, 0, 0x7FFFFFF);
    SendMessageW(m_handle, EM_SETEVENTMASK, 0, ENM_CHANGE);
    SendMessageW(m_handle, EM_SETBKGNDCOLOR, 0, static_cast<LPARAM>(ColorToRGB(m_color)));
}

int TRichEdit::GetTextLen() {
    GETTEXTLENGTHEX len{GTL_NUMCHARS | GTL_PRECISE, 1200};
    return static_cast<int>(SendMessageW(Handle(), EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&len), 0));
}

int TRichEdit::SelStart() {
    CHARRANGE r{};
    SendMessageW(Handle(), EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&r));
    return r.cpMin;
}

int TRichEdit::SelLength() {
    CHARRANGE r{};
    SendMessageW(Handle(), EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&r));
    return r.cpMax - r.cpMin;
}

void TRichEdit::SetSelStart(int start) {
    CHARRANGE r{start, start};
    SendMessageW(Handle(), EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&r));
}

void TRichEdit::SetSelLength(int length) {
    CHARRANGE r{};
    SendMessageW(Handle(), EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&r));
    r.cpMax = r.cpMin + length;
    SendMessageW(Handle(), EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&r));
}

void TRichEdit::SaveToStream(TStream& stream) {
    StreamCookie cookie{&stream, false};
    EDITSTREAM es{reinterpret_cast<DWORD_PTR>(&cookie), 0, &StreamOut};
    SendMessageW(Handle(), EM_STREAMOUT, m_plainText ? SF_TEXT : SF_RTF, reinterpret_cast<LPARAM>(&es));
    if (cookie.failed || es.dwError) throw EWriteError("Cannot write the text");
}

void TRichEdit::LoadFromStream(TStream& stream) {
    const int64_t start = stream.Position();
    char head[5] = {};
    const bool rtf = stream.Read(head, 5) == 5 && std::string(head, 5) == "{\\rtf";
    stream.SetPosition(start);
    StreamCookie cookie{&stream, false};
    EDITSTREAM es{reinterpret_cast<DWORD_PTR>(&cookie), 0, &StreamIn};
    SendMessageW(Handle(), EM_STREAMIN, rtf && !m_plainText ? SF_RTF : SF_TEXT, reinterpret_cast<LPARAM>(&es));
    if (cookie.failed || es.dwError) throw EReadError("Cannot read the text");
}

int TRichEdit::RenderPages(HDC dc, const RECT& pagePixels, const std::function<void(int page)>& newPage) {
    const int dpiX = GetDeviceCaps(dc, LOGPIXELSX), dpiY = GetDeviceCaps(dc, LOGPIXELSY);
    FORMATRANGE fr{};
    fr.hdc = dc;
    fr.hdcTarget = dc;
    fr.rcPage = RECT{MulDiv(pagePixels.left, 1440, dpiX), MulDiv(pagePixels.top, 1440, dpiY),
                     MulDiv(pagePixels.right, 1440, dpiX), MulDiv(pagePixels.bottom, 1440, dpiY)};
    const int length = GetTextLen();
    int next = 0, pages = 0;
    struct Release {
        HWND h;
        ~Release() { SendMessageW(h, EM_FORMATRANGE, FALSE, 0); }
    } release{Handle()};
    do {
        if (pages > 0 && newPage) newPage(pages);
        fr.rc = fr.rcPage;
        fr.chrg.cpMin = next;
        fr.chrg.cpMax = -1;
        const int after = static_cast<int>(SendMessageW(m_handle, EM_FORMATRANGE, TRUE, reinterpret_cast<LPARAM>(&fr)));
        // Wine's rich edit lays out nothing here (a stub): draw it ourselves.
        if (pages == 0 && after == 0 && length > 0) return RenderParagraphs(dc, pagePixels, newPage);
        ++pages;
        if (after <= next) break;  // nothing fitted: stop rather than loop
        next = after;
    } while (next < length);
    return pages;
}

// Each paragraph in the edit's font (at the device's resolution) and in the
// colour of its first character, wrapped at the page width.
int TRichEdit::RenderParagraphs(HDC dc, const RECT& page, const std::function<void(int page)>& newPage) {
    CHARRANGE saved{};
    SendMessageW(m_handle, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&saved));
    TFont font;
    font.Assign(m_font);
    font.SetHeight(MulDiv(m_font.Height(), GetDeviceCaps(dc, LOGPIXELSY), 96));
    const HGDIOBJ oldFont = SelectObject(dc, font.Handle());
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    const COLORREF oldColor = GetTextColor(dc);
    const int width = page.right - page.left;
    int pages = 1, y = page.top, start = 0;
    const int count = m_lines->Count();
    for (int i = 0; i < count; ++i) {
        const String text = m_lines->Get(i);
        const String shown = text.empty() ? String(u" ") : text;
        RECT r{0, 0, width, 0};
        DrawTextW(dc, com::W(shown), static_cast<int>(shown.size()), &r, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
        const int height = r.bottom - r.top;
        if (y + height > page.bottom && y > page.top) {
            if (newPage) newPage(pages);
            ++pages;
            y = page.top;
        }
        CHARRANGE first{start, start + 1};
        SendMessageW(m_handle, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&first));
        SetTextColor(dc, ColorToRGB(m_selAttributes.Color()));
        RECT out{page.left, y, page.right, y + height};
        DrawTextW(dc, com::W(text), static_cast<int>(text.size()), &out, DT_WORDBREAK | DT_NOPREFIX);
        y += height;
        start += static_cast<int>(text.size()) + 1;
    }
    SetTextColor(dc, oldColor);
    SetBkMode(dc, oldMode);
    SelectObject(dc, oldFont);
    SendMessageW(m_handle, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&saved));
    return pages;
}

void TRichEdit::Print(const String& caption) {
    TPrinter& printer = Printer();
    printer.SetTitle(caption);
    printer.BeginDoc();
    try {
        RenderPages(printer.Handle(), RECT{0, 0, printer.PageWidth(), printer.PageHeight()},
                    [&](int) { printer.NewPage(); });
    } catch (...) {
        printer.Abort();
        throw;
    }
    printer.EndDoc();
}

// ---- Tool bar ------------------------------------------------------------------------

namespace {
int g_nextToolCommand = 0x8000;
}

TToolButton::TToolButton(TComponent* owner) : TControl(owner), m_command(g_nextToolCommand++) {
    m_width = 0;
    m_height = 0;
}

TToolButton::~TToolButton() {
    if (TToolBar* bar = Bar()) bar->RemoveButton(this);
}

TToolBar* TToolButton::Bar() const { return dynamic_cast<TToolBar*>(m_parent); }

void TToolButton::SetParent(TWinControl* parent) {
    if (TToolBar* old = Bar()) old->RemoveButton(this);
    TControl::SetParent(parent);
    if (TToolBar* bar = Bar()) bar->AddButton(this);
}

void TToolButton::SetImageIndex(int index) {
    m_imageIndex = index;
    if (TToolBar* bar = Bar()) bar->Rebuild();
}

void TToolButton::SetStyle(TToolButtonStyle style) {
    m_style = style;
    if (TToolBar* bar = Bar()) bar->Rebuild();
}

bool TToolButton::Down() const {
    TToolBar* bar = Bar();
    if (bar && bar->HandleAllocated())
        return SendMessageW(bar->Handle(), TB_ISBUTTONCHECKED, static_cast<WPARAM>(m_command), 0) != 0;
    return m_down;
}

void TToolButton::SetDown(bool on) {
    m_down = on;
    if (TToolBar* bar = Bar(); bar && bar->HandleAllocated())
        SendMessageW(bar->Handle(), TB_CHECKBUTTON, static_cast<WPARAM>(m_command), on);
}

void TToolButton::SetEnabled(bool enabled) {
    m_enabled = enabled;
    if (TToolBar* bar = Bar(); bar && bar->HandleAllocated())
        SendMessageW(bar->Handle(), TB_ENABLEBUTTON, static_cast<WPARAM>(m_command), enabled);
    Perform(CM_ENABLEDCHANGED);
}

void TToolButton::SetVisible(bool visible) {
    m_visible = visible;
    if (TToolBar* bar = Bar()) bar->Rebuild();
}

void TToolButton::TextChanged() {
    if (TToolBar* bar = Bar()) bar->Rebuild();
}

TToolBar::TToolBar(TComponent* owner) : TWinControl(owner) {
    m_width = 150;
    m_height = 29;
    SetAlign(TAlign::alTop);
}

TToolBar::~TToolBar() {
    if (m_images) m_images->RemoveChangeListener(this);
    m_buttons.clear();
    DestroyHandle();
}

void TToolBar::CreateParams(TCreateParams& p) {
    TWinControl::CreateParams(p);
    p.baseClass = TOOLBARCLASSNAMEW;
    p.style |= CCS_NODIVIDER | CCS_NOPARENTALIGN | CCS_NORESIZE | TBSTYLE_TOOLTIPS;
    if (m_flat) p.style |= TBSTYLE_FLAT;
}

void TToolBar::InitializeWnd() {
    SendMessageW(m_handle, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    Rebuild();
}

void TToolBar::SetImages(TImageList* images) { FollowImages(m_images, images, this, [this] { Rebuild(); }); }

void TToolBar::SetFlat(bool on) {
    m_flat = on;
    ChangeStyle(on ? TBSTYLE_FLAT : 0, on ? 0 : TBSTYLE_FLAT);
}

void TToolBar::SetButtonSize(int width, int height) {
    m_buttonWidth = width;
    m_buttonHeight = height;
    Rebuild();
}

void TToolBar::Notification(TComponent* component, TOperation operation) {
    TWinControl::Notification(component, operation);
    if (operation == TOperation::opRemove && component == m_images) SetImages(nullptr);
}

void TToolBar::AddButton(TToolButton* button) {
    m_buttons.push_back(button);
    Rebuild();
}

void TToolBar::RemoveButton(TToolButton* button) {
    m_buttons.erase(std::remove(m_buttons.begin(), m_buttons.end(), button), m_buttons.end());
    if (!(ComponentState() & csDestroying)) Rebuild();
}

void TToolBar::Rebuild() {
    if (!m_handle) return;
    while (SendMessageW(m_handle, TB_BUTTONCOUNT, 0, 0) > 0) SendMessageW(m_handle, TB_DELETEBUTTON, 0, 0);
    SendMessageW(m_handle, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(m_images ? m_images->Handle() : nullptr));
    if (m_images) SendMessageW(m_handle, TB_SETBITMAPSIZE, 0, MAKELPARAM(m_images->Width(), m_images->Height()));
    std::vector<TBBUTTON> buttons;
    std::vector<String> captions;
    captions.reserve(m_buttons.size());
    for (TToolButton* b : m_buttons) {
        if (!b->m_visible) continue;
        TBBUTTON t{};
        t.idCommand = b->m_command;
        if (b->m_style == TToolButtonStyle::tbsSeparator) {
            t.fsStyle = BTNS_SEP;
            t.iBitmap = 6;
        } else {
            t.iBitmap = b->m_imageIndex >= 0 ? b->m_imageIndex : I_IMAGENONE;
            t.fsStyle = b->m_style == TToolButtonStyle::tbsCheck ? BTNS_CHECK : BTNS_BUTTON;
            t.fsState = b->m_enabled ? TBSTATE_ENABLED : 0;
            if (b->m_down) t.fsState |= TBSTATE_CHECKED;
            if (m_showCaptions) {
                captions.push_back(b->m_text);
                t.iString = reinterpret_cast<INT_PTR>(com::W(captions.back()));
            } else {
                t.iString = -1;
            }
        }
        buttons.push_back(t);
    }
    if (!buttons.empty())
        SendMessageW(m_handle, TB_ADDBUTTONSW, buttons.size(), reinterpret_cast<LPARAM>(buttons.data()));
    if (!m_showCaptions) SendMessageW(m_handle, TB_SETBUTTONSIZE, 0, MAKELPARAM(m_buttonWidth, m_buttonHeight));
    SendMessageW(m_handle, TB_AUTOSIZE, 0, 0);
}

void TToolBar::WndProc(TMessage& m) {
    if (m.Msg == CN_COMMAND) {
        const int command = LOWORD(m.WParam);
        for (TToolButton* b : m_buttons)
            if ((b->m_command & 0xFFFF) == command) {
                if (b->m_style == TToolButtonStyle::tbsCheck) b->m_down = b->Down();
                b->Click();
                break;
            }
        return;
    }
    TWinControl::WndProc(m);
}

// ---- Status bar ----------------------------------------------------------------------

TStatusBar::TStatusBar(TComponent* owner) : TWinControl(owner) {
    m_width = 150;
    m_height = 19;
    SetAlign(TAlign::alBottom);
}

void TStatusBar::CreateParams(TCreateParams& p) {
    TWinControl::CreateParams(p);
    p.baseClass = STATUSCLASSNAMEW;
    p.style |= CCS_NOPARENTALIGN | CCS_NORESIZE;
    if (m_sizeGrip) p.style |= SBARS_SIZEGRIP;
}

void TStatusBar::InitializeWnd() { Apply(); }

void TStatusBar::SetSimplePanel(bool on) {
    m_simple = on;
    Apply();
}

void TStatusBar::SetSimpleText(const String& text) {
    m_simpleText = text;
    if (m_handle && m_simple) SendMessageW(m_handle, SB_SETTEXTW, 255 | SBT_NOBORDERS, reinterpret_cast<LPARAM>(com::W(text)));
}

void TStatusBar::AddPanel(int width) {
    m_panels.push_back(Panel{width, String()});
    Apply();
}

String TStatusBar::PanelText(int index) const { return m_panels.at(static_cast<size_t>(index)).text; }

void TStatusBar::SetPanelText(int index, const String& text) {
    m_panels.at(static_cast<size_t>(index)).text = text;
    if (m_handle && !m_simple)
        SendMessageW(m_handle, SB_SETTEXTW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(com::W(text)));
}

void TStatusBar::Apply() {
    if (!m_handle) return;
    SendMessageW(m_handle, SB_SIMPLE, m_simple, 0);
    if (m_simple) {
        SetSimpleText(m_simpleText);
        return;
    }
    std::vector<int> edges;
    int x = 0;
    for (size_t i = 0; i < m_panels.size(); ++i) {
        x += m_panels[i].width;
        edges.push_back(i + 1 == m_panels.size() ? -1 : x);
    }
    if (!edges.empty()) SendMessageW(m_handle, SB_SETPARTS, edges.size(), reinterpret_cast<LPARAM>(edges.data()));
    for (size_t i = 0; i < m_panels.size(); ++i)
        SendMessageW(m_handle, SB_SETTEXTW, i, reinterpret_cast<LPARAM>(com::W(m_panels[i].text)));
}

void TStatusBar::WndProc(TMessage& m) {
    if (m.Msg == WM_SIZE) {
        TWinControl::WndProc(m);
        Apply();
        return;
    }
    TWinControl::WndProc(m);
}

}  // namespace forms
