// The common controls: page control and tab sheets, progress bar, track
// bar, list view, tree view, rich edit, tool bar and status bar.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <richedit.h>

#include <functional>
#include <memory>
#include <vector>

#include "framework/forms/Controls.h"
#include "framework/forms/ImgList.h"
#include "framework/forms/StdCtrls.h"
#include "framework/forms/Strings.h"

namespace forms {

// ---- Page control -------------------------------------------------------------------

class TTabSheet;

class TPageControl : public TWinControl {
public:
    FORMS_CLASS(TPageControl)
    explicit TPageControl(TComponent* owner);
    ~TPageControl() override;

    int PageCount() const { return static_cast<int>(m_pages.size()); }
    TTabSheet* Pages(int index) const { return m_pages.at(static_cast<size_t>(index)); }
    TTabSheet* ActivePage() const { return m_active; }
    void SetActivePage(TTabSheet* page);
    int ActivePageIndex() const;
    void SetActivePageIndex(int index);
    // The client area a sheet covers.
    RECT DisplayRect();

    TNotifyEvent OnChange;
    std::function<void(TObject* sender, bool& allowChange)> OnChanging;

protected:
    void CreateParams(TCreateParams& params) override;
    void InitializeWnd() override;
    void WndProc(TMessage& message) override;

private:
    friend class TTabSheet;
    void InsertPage(TTabSheet* page);
    void RemovePage(TTabSheet* page);
    void UpdateTab(TTabSheet* page);
    void LayoutSheets();
    void ShowOnly(TTabSheet* page);
    std::vector<TTabSheet*> m_pages;
    TTabSheet* m_active = nullptr;
};

class TTabSheet : public TWinControl {
public:
    FORMS_CLASS(TTabSheet)
    explicit TTabSheet(TComponent* owner);
    ~TTabSheet() override;
    TPageControl* PageControl() const { return m_pageControl; }
    void SetPageControl(TPageControl* control);
    int PageIndex() const;

protected:
    void CreateParams(TCreateParams& params) override;
    bool PaintsOwnBackground() const override { return true; }
    void TextChanged() override;

private:
    friend class TPageControl;
    TPageControl* m_pageControl = nullptr;
};

// ---- Progress and track bars ----------------------------------------------------------

class TProgressBar : public TWinControl {
public:
    FORMS_CLASS(TProgressBar)
    explicit TProgressBar(TComponent* owner);
    int Min() const { return m_min; }
    int Max() const { return m_max; }
    void SetRange(int min, int max);
    int Position() const { return m_position; }
    void SetPosition(int position);

protected:
    void CreateParams(TCreateParams& params) override;
    void InitializeWnd() override;

private:
    int m_min = 0, m_max = 100, m_position = 0;
};

class TTrackBar : public TWinControl {
public:
    FORMS_CLASS(TTrackBar)
    explicit TTrackBar(TComponent* owner);
    int Min() const { return m_min; }
    int Max() const { return m_max; }
    void SetRange(int min, int max);
    int Position();
    void SetPosition(int position);

    TNotifyEvent OnChange;

protected:
    void CreateParams(TCreateParams& params) override;
    void InitializeWnd() override;
    void WndProc(TMessage& message) override;

private:
    int m_min = 0, m_max = 10, m_position = 0;
};

// ---- List view -----------------------------------------------------------------------

class TCustomListView;
class TListItem;

enum class TViewStyle { vsIcon, vsSmallIcon, vsList, vsReport };

class TListColumn : public TObject {
public:
    FORMS_CLASS(TListColumn)
    const String& Caption() const { return m_caption; }
    void SetCaption(const String& caption);
    int Width();
    void SetWidth(int width);
    TAlignment Alignment() const { return m_alignment; }
    void SetAlignment(TAlignment a);
    int Index() const;

private:
    friend class TCustomListView;
    explicit TListColumn(TCustomListView& owner) : m_owner(owner) {}
    void Apply();
    TCustomListView& m_owner;
    String m_caption;
    int m_width = 50;
    TAlignment m_alignment = TAlignment::taLeftJustify;
};

class TListItem : public TObject {
public:
    FORMS_CLASS(TListItem)
    ~TListItem() override;
    const String& Caption() const { return m_caption; }
    void SetCaption(const String& caption);
    // Texts of the columns after the first (the control shows those its
    // columns have room for; the item keeps them all).
    TStrings& SubItems() { return *m_subItems; }
    int ImageIndex() const { return m_imageIndex; }
    void SetImageIndex(int index);
    bool Selected() const;
    void SetSelected(bool on);
    bool Focused() const;
    void SetFocused(bool on);
    void* Data() const { return m_data; }
    void SetData(void* data) { m_data = data; }
    int Index() const;
    TCustomListView& ListView() const { return m_owner; }
    void MakeVisible(bool partialOk);
    void Delete();

private:
    friend class TCustomListView;
    friend class TListItems;
    friend class SubItemStrings;
    explicit TListItem(TCustomListView& owner);
    void UpdateSubItems();
    TCustomListView& m_owner;
    String m_caption;
    std::unique_ptr<TStrings> m_subItems;
    int m_imageIndex = -1;
    void* m_data = nullptr;
};

class TListItems {
public:
    explicit TListItems(TCustomListView& owner) : m_owner(owner) {}
    TListItem* Add();
    // An item with its texts and image, given to the control in one go.
    TListItem* Add(const String& caption, int imageIndex, const std::vector<String>& subItems);
    TListItem* Insert(int index);
    int Count() const { return static_cast<int>(m_items.size()); }
    TListItem* Item(int index) const;  // EListError out of range
    TListItem* operator[](int index) const { return Item(index); }
    void Delete(int index);
    void Clear();
    void BeginUpdate();
    void EndUpdate();
    int IndexOf(const TListItem* item) const;

private:
    friend class TCustomListView;
    TCustomListView& m_owner;
    std::vector<std::unique_ptr<TListItem>> m_items;
    int m_updating = 0;
};

class TCustomListView : public TWinControl {
public:
    FORMS_CLASS(TCustomListView)
    using TItemEvent = std::function<void(TObject* sender, TListItem* item)>;

    explicit TCustomListView(TComponent* owner);
    ~TCustomListView() override;

    TViewStyle ViewStyle() const { return m_viewStyle; }
    void SetViewStyle(TViewStyle style);
    bool MultiSelect() const { return m_multiSelect; }
    void SetMultiSelect(bool on);
    bool ReadOnly() const { return m_readOnly; }
    void SetReadOnly(bool on);
    bool RowSelect() const { return m_rowSelect; }
    void SetRowSelect(bool on);
    bool GridLines() const { return m_gridLines; }
    void SetGridLines(bool on);
    bool HideSelection() const { return m_hideSelection; }
    void SetHideSelection(bool on);
    bool ShowColumnHeaders() const { return m_showHeaders; }
    void SetShowColumnHeaders(bool on);

    TListColumn* AddColumn(const String& caption, int width);
    void ClearColumns();
    int ColumnCount() const { return static_cast<int>(m_columns.size()); }
    // The header control of the report view (its child window of id 0).
    HWND HeaderHandle();
    TListColumn* Column(int index) const { return m_columns.at(static_cast<size_t>(index)).get(); }
    TListItems& Items() { return m_items; }

    TImageList* SmallImages() const { return m_smallImages; }
    void SetSmallImages(TImageList* images);
    TImageList* LargeImages() const { return m_largeImages; }
    void SetLargeImages(TImageList* images);

    // The first selected item, or nullptr; setting selects only that one.
    TListItem* Selected();
    void SetSelected(TListItem* item);
    int SelCount();
    TListItem* ItemFocused();
    TListItem* GetItemAt(int x, int y);
    void SelectAll();
    // A caption is being edited in place.
    bool IsEditing();
    // Orders the items by compare (negative: a before b).
    void CustomSort(const std::function<int(TListItem* a, TListItem* b)>& compare);
    // Through OnCompare when it is assigned, else by caption.
    void AlphaSort();
    void Clear() { m_items.Clear(); }

    std::function<void(TObject* sender, TListItem* item, bool selected)> OnSelectItem;
    std::function<void(TObject* sender, TListColumn* column)> OnColumnClick;
    std::function<void(TObject* sender, TListItem* a, TListItem* b, int data, int& compare)> OnCompare;
    std::function<void(TObject* sender, TListItem* item, bool& allowEdit)> OnEditing;
    std::function<void(TObject* sender, TListItem* item, String& text)> OnEdited;
    TItemEvent OnDeletion;

protected:
    void CreateParams(TCreateParams& params) override;
    void InitializeWnd() override;
    void WndProc(TMessage& message) override;
    void Notification(TComponent* component, TOperation operation) override;
    virtual bool CanEdit(TListItem* item);
    virtual void Edited(TListItem* item, String& text);

private:
    friend class TListItem;
    friend class TListItems;
    friend class TListColumn;
    int IndexOfItem(const TListItem* item) const { return m_items.IndexOf(item); }
    TListItem* ItemOfIndex(int index) const;
    void InsertNative(int index, TListItem* item);
    void ApplyExtendedStyle();
    void ApplyImages();

    TListItems m_items{*this};
    std::vector<std::unique_ptr<TListColumn>> m_columns;
    TViewStyle m_viewStyle = TViewStyle::vsIcon;
    bool m_multiSelect = false;
    bool m_readOnly = false;
    bool m_rowSelect = false;
    bool m_gridLines = false;
    bool m_hideSelection = true;
    bool m_showHeaders = true;
    TImageList* m_smallImages = nullptr;
    TImageList* m_largeImages = nullptr;
};

class TListView : public TCustomListView {
public:
    FORMS_CLASS(TListView)
    using TCustomListView::TCustomListView;
};

// ---- Tree view -----------------------------------------------------------------------

class TCustomTreeView;

class TTreeNode : public TObject {
public:
    FORMS_CLASS(TTreeNode)
    ~TTreeNode() override;
    const String& Text() const { return m_text; }
    void SetText(const String& text);
    int ImageIndex() const { return m_imageIndex; }
    void SetImageIndex(int index);
    int SelectedIndex() const { return m_selectedIndex; }
    void SetSelectedIndex(int index);
    // Shows the expand button before the children exist (for lazy filling).
    bool HasChildren() const { return m_hasChildren; }
    void SetHasChildren(bool on);
    void* Data() const { return m_data; }
    void SetData(void* data) { m_data = data; }

    TTreeNode* Parent() const { return m_parent; }
    int Count() const { return static_cast<int>(m_children.size()); }
    TTreeNode* Item(int index) const;  // EListError out of range
    TTreeNode* GetFirstChild() const { return m_children.empty() ? nullptr : m_children.front(); }
    TTreeNode* GetNextSibling() const;
    TTreeNode* GetPrevSibling() const;
    // The next node in tree order (children first, then siblings, then
    // the parents' siblings), over the nodes that exist.
    TTreeNode* GetNext() const;
    // The neighbours on screen: through expanded nodes only.
    TTreeNode* GetNextVisible() const;
    TTreeNode* GetPrevVisible() const;
    int Index() const;
    int Level() const;

    bool Expanded() const;
    void Expand(bool recurse);
    void Collapse(bool recurse);
    bool Selected() const;
    void SetSelected(bool on);
    void MakeVisible();
    // Orders the children by their texts, ignoring case.
    void AlphaSort();
    void EditText();
    void Delete();
    void DeleteChildren();
    HTREEITEM ItemId() const { return m_item; }
    TCustomTreeView& TreeView() const { return m_owner; }

private:
    friend class TTreeNodes;
    friend class TCustomTreeView;
    TTreeNode(TCustomTreeView& owner, TTreeNode* parent) : m_owner(owner), m_parent(parent) {}
    void Update();
    TCustomTreeView& m_owner;
    TTreeNode* m_parent;
    std::vector<TTreeNode*> m_children;
    HTREEITEM m_item = nullptr;
    String m_text;
    int m_imageIndex = -1;
    int m_selectedIndex = -1;
    bool m_hasChildren = false;
    void* m_data = nullptr;
};

class TTreeNodes {
public:
    explicit TTreeNodes(TCustomTreeView& owner) : m_owner(owner) {}
    ~TTreeNodes();
    // As the last sibling of sibling (a top-level node when it is nullptr).
    TTreeNode* Add(TTreeNode* sibling, const String& text);
    TTreeNode* AddFirst(TTreeNode* sibling, const String& text);
    TTreeNode* AddChild(TTreeNode* parent, const String& text);
    TTreeNode* AddChildFirst(TTreeNode* parent, const String& text);
    // Before sibling.
    TTreeNode* Insert(TTreeNode* sibling, const String& text);
    void Delete(TTreeNode* node);
    void Clear();
    int Count() const;  // every node
    TTreeNode* GetFirstNode() const { return m_roots.empty() ? nullptr : m_roots.front(); }
    int RootCount() const { return static_cast<int>(m_roots.size()); }
    TTreeNode* Root(int index) const { return m_roots.at(static_cast<size_t>(index)); }
    void BeginUpdate();
    void EndUpdate();

private:
    friend class TTreeNode;
    friend class TCustomTreeView;
    TTreeNode* InsertNode(TTreeNode* parent, size_t position, const String& text);
    std::vector<TTreeNode*>& SiblingsOf(TTreeNode* parent) { return parent ? parent->m_children : m_roots; }
    TCustomTreeView& m_owner;
    std::vector<TTreeNode*> m_roots;
    int m_updating = 0;
};

class TCustomTreeView : public TWinControl {
public:
    FORMS_CLASS(TCustomTreeView)
    using TNodeEvent = std::function<void(TObject* sender, TTreeNode* node)>;
    using TNodeAllowEvent = std::function<void(TObject* sender, TTreeNode* node, bool& allow)>;

    explicit TCustomTreeView(TComponent* owner);
    ~TCustomTreeView() override;

    TTreeNodes& Items() { return m_nodes; }
    TTreeNode* Selected();
    void SetSelected(TTreeNode* node);
    TTreeNode* GetNodeAt(int x, int y);
    // The TVHT_ flags of a client point.
    UINT GetHitTestInfoAt(int x, int y);
    TImageList* Images() const { return m_images; }
    void SetImages(TImageList* images);
    bool ReadOnly() const { return m_readOnly; }
    void SetReadOnly(bool on);
    bool HideSelection() const { return m_hideSelection; }
    void SetHideSelection(bool on);
    bool ShowLines() const { return m_showLines; }
    void SetShowLines(bool on) { m_showLines = on; }
    bool ShowRoot() const { return m_showRoot; }
    void SetShowRoot(bool on) { m_showRoot = on; }
    bool ShowButtons() const { return m_showButtons; }
    void SetShowButtons(bool on) { m_showButtons = on; }
    void FullExpand();

    TNodeAllowEvent OnExpanding;
    TNodeEvent OnExpanded;
    TNodeAllowEvent OnCollapsing;
    TNodeEvent OnCollapsed;
    TNodeAllowEvent OnChanging;
    TNodeEvent OnChange;
    TNodeAllowEvent OnEditing;
    std::function<void(TObject* sender, TTreeNode* node, String& text)> OnEdited;
    TNodeEvent OnDeletion;

protected:
    void CreateParams(TCreateParams& params) override;
    void InitializeWnd() override;
    void WndProc(TMessage& message) override;
    void Notification(TComponent* component, TOperation operation) override;
    virtual bool CanExpand(TTreeNode* node);
    virtual void Expand(TTreeNode* node);
    virtual bool CanCollapse(TTreeNode* node);
    virtual void Collapse(TTreeNode* node);
    virtual bool CanChange(TTreeNode* node);
    virtual void Change(TTreeNode* node);
    virtual bool CanEdit(TTreeNode* node);
    virtual void Edit(TTreeNode* node, String& text);
    static TTreeNode* NodeOf(LPARAM param) { return reinterpret_cast<TTreeNode*>(param); }

private:
    friend class TTreeNode;
    friend class TTreeNodes;
    void InsertNative(TTreeNode* node);
    TTreeNodes m_nodes{*this};
    // Set while a node expands or collapses in code, which has raised the
    // events itself (Wine's TVM_EXPAND notifies as well, Windows' does not).
    bool m_expandingInCode = false;
    TImageList* m_images = nullptr;
    bool m_readOnly = false;
    bool m_hideSelection = true;
    bool m_showLines = true;
    bool m_showRoot = true;
    bool m_showButtons = true;
};

class TTreeView : public TCustomTreeView {
public:
    FORMS_CLASS(TTreeView)
    using TCustomTreeView::TCustomTreeView;
};

// ---- Rich edit -----------------------------------------------------------------------

class TRichEdit;

// The character format of the selection (or, when it is empty, of the text
// typed or added next at that place).
class TTextAttributes {
public:
    explicit TTextAttributes(TRichEdit& edit) : m_edit(edit) {}
    TColor Color();
    void SetColor(TColor color);
    String Name();
    void SetName(const String& name);
    int Size();
    void SetSize(int points);
    unsigned Style();
    void SetStyle(unsigned styles);

private:
    CHARFORMAT2W Get();
    void Set(CHARFORMAT2W& format);
    TRichEdit& m_edit;
};

class TRichEdit : public TCustomEdit {
public:
    FORMS_CLASS(TRichEdit)
    explicit TRichEdit(TComponent* owner);
    ~TRichEdit() override;

    // Adding a line keeps the format the selection had at the end of the
    // text, so a colour set there colours the added line.
    TStrings& Lines() { return *m_lines; }
    TTextAttributes& SelAttributes() { return m_selAttributes; }
    TScrollStyle ScrollBars() const { return m_scrollBars; }
    void SetScrollBars(TScrollStyle style) { m_scrollBars = style; }
    bool PlainText() const { return m_plainText; }
    void SetPlainText(bool on) { m_plainText = on; }
    int GetTextLen();
    int SelStart();
    int SelLength();
    void SetSelStart(int start);
    void SetSelLength(int length);

    // Rich text (or plain text when PlainText) to and from streams.
    void SaveToStream(TStream& stream);
    void LoadFromStream(TStream& stream);
    // Prints on the current printer, one document titled caption.
    void Print(const String& caption);
    // Lays the text out on pages of a device context and draws them;
    // newPage runs before each page after the first. Returns the page count.
    int RenderPages(HDC dc, const RECT& pagePixels, const std::function<void(int page)>& newPage);

protected:
    void CreateParams(TCreateParams& params) override;
    void InitializeWnd() override;

private:
    int RenderParagraphs(HDC dc, const RECT& page, const std::function<void(int page)>& newPage);
    std::unique_ptr<TStrings> m_lines;
    TTextAttributes m_selAttributes{*this};
    TScrollStyle m_scrollBars = TScrollStyle::ssNone;
    bool m_plainText = false;
};

// ---- Tool bar ------------------------------------------------------------------------

class TToolBar;

enum class TToolButtonStyle { tbsButton, tbsCheck, tbsSeparator };

// A button of a tool bar; its parent is the tool bar, which draws it.
class TToolButton : public TControl {
public:
    FORMS_CLASS(TToolButton)
    explicit TToolButton(TComponent* owner);
    ~TToolButton() override;
    void SetParent(TWinControl* parent) override;
    int ImageIndex() const { return m_imageIndex; }
    void SetImageIndex(int index);
    TToolButtonStyle Style() const { return m_style; }
    void SetStyle(TToolButtonStyle style);
    bool Down() const;
    void SetDown(bool on);
    void SetEnabled(bool enabled) override;
    void SetVisible(bool visible) override;
    int Command() const { return m_command; }

protected:
    void TextChanged() override;

private:
    friend class TToolBar;
    TToolBar* Bar() const;
    int m_imageIndex = -1;
    TToolButtonStyle m_style = TToolButtonStyle::tbsButton;
    bool m_down = false;
    int m_command;
};

class TToolBar : public TWinControl {
public:
    FORMS_CLASS(TToolBar)
    explicit TToolBar(TComponent* owner);
    ~TToolBar() override;

    TImageList* Images() const { return m_images; }
    void SetImages(TImageList* images);
    bool ShowCaptions() const { return m_showCaptions; }
    void SetShowCaptions(bool on) { m_showCaptions = on; }
    bool Flat() const { return m_flat; }
    void SetFlat(bool on);
    void SetButtonSize(int width, int height);
    int ButtonCount() const { return static_cast<int>(m_buttons.size()); }
    TToolButton* Buttons(int index) const { return m_buttons.at(static_cast<size_t>(index)); }

protected:
    void CreateParams(TCreateParams& params) override;
    void InitializeWnd() override;
    void WndProc(TMessage& message) override;
    void Notification(TComponent* component, TOperation operation) override;

private:
    friend class TToolButton;
    void AddButton(TToolButton* button);
    void RemoveButton(TToolButton* button);
    void Rebuild();
    std::vector<TToolButton*> m_buttons;
    TImageList* m_images = nullptr;
    bool m_showCaptions = false;
    bool m_flat = true;
    int m_buttonWidth = 23;
    int m_buttonHeight = 22;
};

// ---- Status bar ----------------------------------------------------------------------

class TStatusBar : public TWinControl {
public:
    FORMS_CLASS(TStatusBar)
    explicit TStatusBar(TComponent* owner);
    bool SimplePanel() const { return m_simple; }
    void SetSimplePanel(bool on);
    const String& SimpleText() const { return m_simpleText; }
    void SetSimpleText(const String& text);
    bool SizeGrip() const { return m_sizeGrip; }
    void SetSizeGrip(bool on) { m_sizeGrip = on; }
    // Panels of the given widths (the last one fills the rest).
    void AddPanel(int width);
    int PanelCount() const { return static_cast<int>(m_panels.size()); }
    String PanelText(int index) const;
    void SetPanelText(int index, const String& text);

protected:
    void CreateParams(TCreateParams& params) override;
    void InitializeWnd() override;
    void WndProc(TMessage& message) override;

private:
    void Apply();
    struct Panel {
        int width;
        String text;
    };
    std::vector<Panel> m_panels;
    bool m_simple = false;
    String m_simpleText;
    bool m_sizeGrip = true;
};

}  // namespace forms
