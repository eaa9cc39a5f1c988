#include "framework/forms/ImgList.h"

#include <algorithm>

namespace forms {

TImageList::TImageList(TComponent* owner) : TComponent(owner) {}

TImageList::~TImageList() {
    if (m_handle && !m_share) ImageList_Destroy(m_handle);
}

void TImageList::CreateList() {
    m_handle = ImageList_Create(m_width, m_height, ILC_COLOR24 | ILC_MASK, 4, 4);
    if (!m_handle) throw EOutOfResources("Cannot create an image list");
    if (m_bkColor != clNone) ImageList_SetBkColor(m_handle, ColorToRGB(m_bkColor));
}

HIMAGELIST TImageList::Handle() {
    if (!m_handle) {
        CreateList();
        Changed();
    }
    return m_handle;
}

void TImageList::SetHandle(HIMAGELIST handle) {
    if (handle == m_handle) return;
    if (m_handle && !m_share) ImageList_Destroy(m_handle);
    m_handle = handle;
    if (m_handle) {
        int w = 0, h = 0;
        ImageList_GetIconSize(m_handle, &w, &h);
        m_width = w;
        m_height = h;
    }
    Changed();
}

void TImageList::SetSize(int width, int height) {
    if (width == m_width && height == m_height) return;
    m_width = width;
    m_height = height;
    if (m_handle) {
        if (!m_share) ImageList_Destroy(m_handle);
        m_handle = nullptr;
        m_share = false;
        Changed();
    }
}

void TImageList::SetBkColor(TColor color) {
    m_bkColor = color;
    if (m_handle) ImageList_SetBkColor(m_handle, color == clNone ? CLR_NONE : ColorToRGB(color));
}

int TImageList::Count() { return m_handle ? ImageList_GetImageCount(m_handle) : 0; }

int TImageList::Add(TBitmap& image, TBitmap* mask) {
    const int first = ImageList_Add(Handle(), image.Handle(), mask ? mask->MaskHandle() : nullptr);
    if (first < 0) throw EInvalidOperation("Invalid image size");
    return first;
}

int TImageList::AddMasked(TBitmap& image, TColor maskColor) {
    // The image list changes the source bitmap; hand it a copy.
    TBitmap copy;
    copy.Assign(image);
    const int first = ImageList_AddMasked(Handle(), copy.Handle(), ColorToRGB(maskColor));
    if (first < 0) throw EInvalidOperation("Invalid image size");
    return first;
}

int TImageList::AddIcon(HICON icon) {
    const int index = ImageList_AddIcon(Handle(), icon);
    if (index < 0) throw EInvalidOperation("Invalid image");
    return index;
}

int TImageList::AddResource(HINSTANCE instance, const String& name, TColor maskColor) {
    TBitmap strip;
    strip.LoadFromResourceName(instance, name);
    return AddMasked(strip, maskColor);
}

void TImageList::Delete(int index) {
    if (m_handle) ImageList_Remove(m_handle, index);
}

void TImageList::Clear() {
    if (m_handle) ImageList_Remove(m_handle, -1);
}

void TImageList::Draw(TCanvas& canvas, int x, int y, int index, bool enabled) {
    if (!m_handle) return;
    ImageList_Draw(m_handle, index, canvas.Handle(), x, y, enabled ? ILD_TRANSPARENT : ILD_BLEND50);
}

void TImageList::AddChangeListener(void* key, std::function<void()> listener) {
    RemoveChangeListener(key);
    m_listeners.emplace_back(key, std::move(listener));
}

void TImageList::RemoveChangeListener(void* key) {
    m_listeners.erase(std::remove_if(m_listeners.begin(), m_listeners.end(),
                                     [&](const auto& l) { return l.first == key; }),
                      m_listeners.end());
}

void TImageList::Changed() {
    for (auto& l : std::vector<std::pair<void*, std::function<void()>>>(m_listeners)) l.second();
}

}  // namespace forms
