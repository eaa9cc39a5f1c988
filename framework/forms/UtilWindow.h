// Hidden windows that deliver messages to a function: timers, thread
// synchronisation, the media player and the application object use them.
#pragma once

#include <windows.h>

#include <functional>

#include "framework/forms/Messages.h"

namespace forms {

// Returns true when it handled the message (and set Result); otherwise the
// default window procedure answers it.
using TMessageMethod = std::function<bool(TMessage& message)>;

// A hidden top-level window of the given class. Exceptions thrown by the
// method are handed to the application object.
HWND AllocateHWnd(TMessageMethod method, const WCHAR* className = L"TPUtilWindow");
void DeallocateHWnd(HWND hwnd);

}  // namespace forms
