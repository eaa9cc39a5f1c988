// Screenshots for tests: ImageMagick's import grabs a rectangle of the X
// display the Wine windows are shown on. Call it once the window under
// test has painted.
#pragma once

#include <windows.h>

#include <string>

namespace ft {

// The Unix path of a file in the build tree's "screenshots" folder (made
// when missing).
std::string ScreenshotPath(const std::string& fileName);
// Grabs the screen rectangle into a PNG file; false when import is missing
// or fails (within 20 seconds).
bool TakeScreenshot(const std::string& unixPath, const RECT& screenRect);

}  // namespace ft
