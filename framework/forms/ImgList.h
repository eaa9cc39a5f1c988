// Image lists: equal-sized images kept by the common controls, drawn by
// list views, tree views and tool bars.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <vector>

#include "framework/forms/Component.h"
#include "framework/forms/Graphics.h"

namespace forms {

class TImageList : public TComponent {
public:
    FORMS_CLASS(TImageList)
    explicit TImageList(TComponent* owner);
    ~TImageList() override;

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    // Clears the list when the size changes.
    void SetSize(int width, int height);
    int Count();
    // A list that wraps someone else's (the shell's) is never destroyed here.
    bool ShareImages() const { return m_share; }
    void SetShareImages(bool on) { m_share = on; }
    HIMAGELIST Handle();
    void SetHandle(HIMAGELIST handle);
    TColor BkColor() const { return m_bkColor; }
    void SetBkColor(TColor color);

    // Each returns the index of the first image added; a strip wider than
    // Width adds one image per Width pixels.
    int Add(TBitmap& image, TBitmap* mask);
    int AddMasked(TBitmap& image, TColor maskColor);
    int AddIcon(HICON icon);
    // A bitmap resource holding a strip of images.
    int AddResource(HINSTANCE instance, const String& name, TColor maskColor);
    void Delete(int index);
    void Clear();
    void Draw(TCanvas& canvas, int x, int y, int index, bool enabled = true);

    // Listeners (the controls that show this list) hear of a new handle.
    void AddChangeListener(void* key, std::function<void()> listener);
    void RemoveChangeListener(void* key);

private:
    void CreateList();
    void Changed();
    int m_width = 16;
    int m_height = 16;
    bool m_share = false;
    TColor m_bkColor = clNone;
    HIMAGELIST m_handle = nullptr;
    std::vector<std::pair<void*, std::function<void()>>> m_listeners;
};

}  // namespace forms
