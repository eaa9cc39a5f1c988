// The program's start: its windows in their order, and the tips at start.
#pragma once

#include "framework/forms/Forms.h"

namespace app {

// Main window (which finds the program folder every other window reads),
// progress window (the second conversion control), output settings, query
// dialog, options (which applies the saved settings to the others), about
// box, tips. A window that cannot be built raises out of here.
void CreateProgramWindows(forms::TApplication& application);
// Shows the tips window when the options window's "Show Everyday Tips" is
// checked.
void ShowStartupTips();

}  // namespace app
