// TIcon: a picture holding a Win32 icon. The application object keeps the
// program's own icon in one, and every form shows it in its title bar.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "framework/forms/Graphics.h"

namespace forms {

class TIcon : public TGraphic {
public:
    FORMS_CLASS(TIcon)
    TIcon() = default;
    ~TIcon() override;

    void Draw(TCanvas& canvas, const RECT& rect) override;
    bool Empty() const override { return !m_icon; }
    int Width() const override { return m_width; }
    int Height() const override { return m_height; }
    // An icon's size comes with its image.
    void SetWidth(int) override {}
    void SetHeight(int) override {}
    // Icon file data (.ico): the image nearest the system icon size.
    void LoadFromStream(TStream& stream) override;
    // Writes the icon file data the icon was loaded from; raises
    // EInvalidGraphicOperation for an icon made from a handle.
    void SaveToStream(TStream& stream) override;
    void Assign(const TObject& source) override;

    // An icon resource (group) of a module, at the system icon size.
    void LoadFromResourceName(HINSTANCE instance, const String& name);
    void LoadFromResourceID(HINSTANCE instance, int id);

    HICON Handle() const { return m_icon; }
    // Takes the icon over (it is destroyed with this picture).
    void SetHandle(HICON icon);
    // Gives the icon up: the caller destroys it.
    HICON ReleaseHandle();
    // A new icon of the given size made from this one (the caller destroys
    // it); nullptr when empty.
    HICON CopyAt(int width, int height) const;

private:
    void Take(HICON icon);
    HICON m_icon = nullptr;
    int m_width = 0;
    int m_height = 0;
    std::vector<uint8_t> m_data;  // the icon file data it was loaded from
};

}  // namespace forms
