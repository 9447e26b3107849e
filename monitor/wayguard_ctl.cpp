// wayguard_ctl.exe: drives a running monitor from a script (the main job), with the
// messages a user or Windows would send it.
//   wait                 until a monitor window is recorded (up to 20 s)
//   show                 Show Monitor, as a double-click on the tray icon does
//   advanced             expand or collapse
//   mode <block|filter|standby>   the popup menu's mode command
//   shot <file.bmp>      a picture of the monitor window
//   end                  the end of the Windows session: the monitor takes its quit path
// Several commands may follow each other. Exit code 1 when no monitor runs.
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include "screenshot.h"
#include "tessary.h"
#include "wayguard_ids.h"

namespace {

HWND monitor_window() {
  HWND h = PFW_GetGlobalMonitorHwnd();
  return h && IsWindow(h) ? h : nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  PFW_InitializeGlobalData();
  for (int i = 1; i < argc; i++) {
    const char* what = argv[i];
    if (!strcmp(what, "wait")) {
      for (int tries = 0; tries < 1000 && !monitor_window(); tries++) Sleep(20);
    }
    HWND monitor = monitor_window();
    if (!monitor) {
      fprintf(stderr, "wayguard_ctl: no monitor is running\n");
      return 1;
    }
    if (!strcmp(what, "show")) {
      SendMessageA(monitor, RegisterWindowMessageA("LWM_SYSTEMTRAY_MESSAGE"), 1, WM_LBUTTONDBLCLK);
    } else if (!strcmp(what, "advanced")) {
      SendMessageA(monitor, WM_COMMAND, ID_ADVANCED, 0);
    } else if (!strcmp(what, "mode") && i + 1 < argc) {
      const char* mode = argv[++i];
      UINT command = !strcmp(mode, "block")     ? ID_MODE_BLOCK
                     : !strcmp(mode, "standby") ? ID_MODE_STANDBY
                                                : ID_MODE_FILTER;
      SendMessageA(monitor, WM_COMMAND, command, 0);
    } else if (!strcmp(what, "shot") && i + 1 < argc) {
      // The picture waits until the monitor has painted, caption included.
      if (!winui::SaveScreenshot(monitor, argv[++i])) fprintf(stderr, "wayguard_ctl: no picture taken\n");
    } else if (!strcmp(what, "end")) {
      DWORD_PTR answer = 0;
      SendMessageTimeoutA(monitor, WM_QUERYENDSESSION, 0, 0, SMTO_BLOCK, 5000, &answer);
      SendMessageTimeoutA(monitor, WM_ENDSESSION, TRUE, 0, SMTO_BLOCK, 5000, nullptr);
    } else if (strcmp(what, "wait") != 0) {
      fprintf(stderr, "wayguard_ctl: unknown command %s\n", what);
      return 2;
    }
  }
  return 0;
}
