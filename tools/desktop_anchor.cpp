// desktop_anchor - holds the Wine session's desktop open while tests and the main job run.
//
// Wine closes a desktop a second after the last program using it ends, and the next
// program that makes a window starts its desktop process afresh. That process inherits
// the starting program's output, so a caller reading that output (ctest) waited for it
// to wind down: well over a second after every window test. One program that keeps a
// window on the desktop for the whole session leaves it open. The window is message-only:
// nothing shows, nothing takes focus, and the session's end (wineserver -k) ends it.
#include <windows.h>

int main() {
  HWND window = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  if (!window) return 1;
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
  return 0;
}
