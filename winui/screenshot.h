// winui::SaveScreenshot - writes what a window shows (as on screen, with its children and
// any window over it) to a 24-bit BMP file, so tests and the main job can leave pictures
// for a person to look at. The test and main-job scripts turn them into PNG files.
#pragma once
#include <windows.h>

namespace winui {

// The picture is taken once the screen has settled (two readings alike) and, for a
// window, once its top-level window has painted, caption included; no fixed pause.
// `window` null takes the whole screen as it stands; with `wholeScreen` the whole
// screen is taken once `window` has painted. Returns false when nothing could be
// written, or when the window did not settle within a few seconds (the picture then
// shows it as it last was).
bool SaveScreenshot(HWND window, const char* bmpPath, bool wholeScreen = false);

}  // namespace winui
