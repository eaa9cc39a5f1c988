// Per-module state of an in-process server: its instance handle, and the
// standard entry points' shared pieces.
#pragma once

#include <windows.h>

#include <string>

namespace com {

class Module {
public:
    static void SetInstance(HINSTANCE instance) { s_instance = instance; }
    static HINSTANCE Instance() { return s_instance; }
    // Full path of this module, as GetModuleFileName reports it.
    static std::u16string Path() { return PathOf(s_instance); }
    static std::u16string PathOf(HMODULE module);
    // Keeps the module loaded until the process ends. Wine cannot load a
    // winelib module again once it was unloaded (the second load faults),
    // and COM unloads idle servers.
    static void PinInProcess();

private:
    static inline HINSTANCE s_instance = nullptr;
};

}  // namespace com
