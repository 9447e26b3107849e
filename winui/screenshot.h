// winui::SaveScreenshot - writes what a window shows (as on screen, with its children and
// any window over it) to a 24-bit BMP file, so tests and the main job can leave pictures
// for a person to look at. The test and main-job scripts turn them into PNG files.
#pragma once
#include <windows.h>

namespace winui {

// `window` null takes the whole screen. Returns false when nothing could be written.
bool SaveScreenshot(HWND window, const char* bmpPath);

}  // namespace winui
