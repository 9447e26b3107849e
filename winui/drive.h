// winui drive helpers: working another window's controls with the messages a user's
// keys produce, for the tests and the main job's tools.
#pragma once
#include <windows.h>

namespace winui {

// Moves a drop-down list's choice to `index` with the Down and Up keys, pressing again
// while the choice has not moved (a window may ignore keys for a moment after it shows,
// as the connection prompt does), and back when a late key went one too far. False
// when the choice is not there after `ms`.
inline bool ChooseByKeys(HWND box, int index, DWORD ms) {
  const DWORD start = GetTickCount();
  for (;;) {
    const LRESULT at = SendMessageA(box, CB_GETCURSEL, 0, 0);
    if (at == index) return true;
    if (GetTickCount() - start >= ms) return false;
    const bool down = at < index;
    const LPARAM scan = (down ? 0x50 : 0x48) << 16;
    PostMessageA(box, WM_KEYDOWN, down ? VK_DOWN : VK_UP, scan | 1);
    PostMessageA(box, WM_KEYUP, down ? VK_DOWN : VK_UP, scan | 0xC0000001);
    // Until this key is taken or passed over: the choice moves, or a short while passes.
    for (DWORD pressed = GetTickCount(); GetTickCount() - pressed < 100;) {
      if (SendMessageA(box, CB_GETCURSEL, 0, 0) != at) break;
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, 0);
    }
  }
}

}  // namespace winui
