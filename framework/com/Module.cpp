#include "framework/com/Module.h"

#include <vector>

#include "framework/com/WinText.h"

namespace com {

std::u16string Module::PathOf(HMODULE module) {
    std::vector<WCHAR> buf(MAX_PATH);
    for (;;) {
        const DWORD n = GetModuleFileNameW(module, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0) return {};
        if (n < buf.size()) return U16(buf.data(), n);
        buf.resize(buf.size() * 2);
    }
}

void Module::PinInProcess() {
    HMODULE pinned = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCWSTR>(&Module::PinInProcess), &pinned);
}

}  // namespace com
