#include "framework/com/WinText.h"

#include <objbase.h>

#include <vector>

namespace com {

std::string ToAnsi(const std::u16string& text) {
    if (text.empty()) return {};
    const int n = WideCharToMultiByte(CP_ACP, 0, W(text), static_cast<int>(text.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_ACP, 0, W(text), static_cast<int>(text.size()), out.data(), n,
                            nullptr, nullptr);
    return out;
}

std::u16string FromAnsi(std::string_view text) {
    if (text.empty()) return {};
    const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::u16string out(static_cast<size_t>(n > 0 ? n : 0), u'\0');
    if (n > 0)
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), W(out.data()), n);
    return out;
}

std::u16string GuidToString(REFGUID guid) {
    WCHAR buf[40] = {};
    StringFromGUID2(guid, buf, 40);
    return U16(buf);
}

}  // namespace com
