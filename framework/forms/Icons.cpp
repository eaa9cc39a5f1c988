#include "framework/forms/Icons.h"

#include <vector>

#include "framework/com/WinText.h"

namespace forms {

TIcon::~TIcon() {
    if (m_icon) DestroyIcon(m_icon);
}

void TIcon::Take(HICON icon) {
    if (m_icon && m_icon != icon) DestroyIcon(m_icon);
    m_icon = icon;
    m_width = m_height = 0;
    m_data.clear();
    ICONINFO info{};
    if (icon && GetIconInfo(icon, &info)) {
        BITMAP bm{};
        if (info.hbmColor && GetObjectW(info.hbmColor, sizeof bm, &bm)) {
            m_width = bm.bmWidth;
            m_height = bm.bmHeight;
        } else if (info.hbmMask && GetObjectW(info.hbmMask, sizeof bm, &bm)) {
            // A monochrome icon: mask and image one above the other.
            m_width = bm.bmWidth;
            m_height = bm.bmHeight / 2;
        }
        if (info.hbmColor) DeleteObject(info.hbmColor);
        if (info.hbmMask) DeleteObject(info.hbmMask);
    }
    Changed();
}

void TIcon::SetHandle(HICON icon) { Take(icon); }

HICON TIcon::ReleaseHandle() {
    const HICON icon = m_icon;
    m_icon = nullptr;
    m_width = m_height = 0;
    m_data.clear();
    return icon;
}

HICON TIcon::CopyAt(int width, int height) const {
    if (!m_icon) return nullptr;
    HICON copy = static_cast<HICON>(CopyImage(m_icon, IMAGE_ICON, width, height, LR_COPYFROMRESOURCE));
    if (!copy) copy = static_cast<HICON>(CopyImage(m_icon, IMAGE_ICON, width, height, 0));
    return copy;
}

void TIcon::Draw(TCanvas& canvas, const RECT& rect) {
    if (!m_icon) return;
    DrawIconEx(canvas.Handle(), rect.left, rect.top, m_icon, rect.right - rect.left, rect.bottom - rect.top, 0,
               nullptr, DI_NORMAL);
}

void TIcon::LoadFromStream(TStream& stream) {
    const int64_t size = stream.Size() - stream.Position();
    if (size < 6 || size > (16 << 20)) throw EInvalidGraphic("Invalid icon data");
    std::vector<uint8_t> data(static_cast<size_t>(size));
    stream.ReadBuffer(data.data(), static_cast<int64_t>(data.size()));
    // The directory: reserved 0, type 1, count, then 16-byte entries.
    auto u16 = [&](size_t at) { return static_cast<unsigned>(data[at] | data[at + 1] << 8); };
    auto u32 = [&](size_t at) {
        return static_cast<uint32_t>(data[at] | data[at + 1] << 8 | data[at + 2] << 16 | uint32_t(data[at + 3]) << 24);
    };
    const unsigned count = u16(4);
    if (u16(0) != 0 || u16(2) != 1 || count == 0 || 6 + 16ull * count > data.size())
        throw EInvalidGraphic("Invalid icon data");
    const int want = GetSystemMetrics(SM_CXICON);
    size_t best = 0;
    int bestScore = -1;
    for (unsigned i = 0; i < count; ++i) {
        const size_t e = 6 + 16 * i;
        const int w = data[e] ? data[e] : 256;
        const uint32_t bytes = u32(e + 8), offset = u32(e + 12);
        if (offset > data.size() || bytes > data.size() - offset || bytes == 0) continue;
        const int score = 100000 - (w > want ? w - want : want - w) * 8 + u16(e + 6);
        if (score > bestScore) {
            bestScore = score;
            best = e;
        }
    }
    if (bestScore < 0) throw EInvalidGraphic("Invalid icon data");
    HICON icon = CreateIconFromResourceEx(data.data() + u32(best + 12), u32(best + 8), TRUE, 0x00030000, 0, 0,
                                          LR_DEFAULTCOLOR);
    if (!icon) throw EInvalidGraphic("Invalid icon data");
    Take(icon);
    m_data = std::move(data);
}

void TIcon::SaveToStream(TStream& stream) {
    if (!m_icon) return;
    if (m_data.empty()) throw EInvalidGraphicOperation("Icons made from a handle cannot be saved");
    stream.WriteBuffer(m_data.data(), static_cast<int64_t>(m_data.size()));
}

void TIcon::Assign(const TObject& source) {
    if (const auto* other = dynamic_cast<const TIcon*>(&source)) {
        Take(other->m_icon ? CopyIcon(other->m_icon) : nullptr);
        return;
    }
    TGraphic::Assign(source);
}

void TIcon::LoadFromResourceName(HINSTANCE instance, const String& name) {
    HICON icon = static_cast<HICON>(LoadImageW(instance, com::W(name), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
    if (!icon) throw EInvalidGraphic("Icon resource " + TextToUtf8(name) + " not found");
    Take(icon);
}

void TIcon::LoadFromResourceID(HINSTANCE instance, int id) {
    HICON icon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
    if (!icon) throw EInvalidGraphic("Icon resource " + std::to_string(id) + " not found");
    Take(icon);
}

}  // namespace forms
