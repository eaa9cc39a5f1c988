// Debugger-output traces of the control library (never seen by users).
#pragma once

namespace convctl {

// printf-style; the formatted line is cut at 1024 characters.
void Trace(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace convctl
