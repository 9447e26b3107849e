// editor_shot.exe <picture.bmp> [--close]: waits for a running Edictor to record its window,
// says what its default-rule captions and its list show, saves a picture of its window and,
// with --close, closes it the way its close box does. For the main job, which shows the
// editor on the installed rule set.
#include <windows.h>
#include <commctrl.h>
#include <stdio.h>
#include <string.h>

#include "screenshot.h"
#include "tessary.h"
#include "../resources/edictor_ids.h"

static const char* kUsage = "usage: editor_shot <picture.bmp> [--close]\n";

int main(int argc, char** argv) {
  if (argc < 2) {
    fputs(kUsage, stderr);
    return 2;
  }
  bool close = argc > 2 && strcmp(argv[2], "--close") == 0;
  PFW_InitializeGlobalData();
  HWND view = nullptr;
  for (int waited = 0; waited < 30000 && !view; waited += 100) {
    HWND recorded = PFW_GetGlobalEdictorHwnd();
    if (recorded && IsWindow(recorded) && IsWindowVisible(GetAncestor(recorded, GA_ROOT)))
      view = recorded;
    else
      Sleep(100);
  }
  if (!view) {
    fputs("no Edictor window was recorded within 30 seconds\n", stderr);
    return 1;
  }
  HWND frame = GetAncestor(view, GA_ROOT);
  char text[128] = "";
  GetWindowTextA(frame, text, sizeof text);
  printf("window: \"%s\"\n", text);
  GetDlgItemTextA(view, IDC_CAPTION_IN, text, sizeof text);
  printf("left caption: \"%s\"\n", text);
  GetDlgItemTextA(view, IDC_CAPTION_OUT, text, sizeof text);
  printf("right caption: \"%s\"\n", text);
  LRESULT rows = SendDlgItemMessageA(view, IDC_RULE_LIST, LVM_GETITEMCOUNT, 0, 0);
  LRESULT nodes = 0;
  for (int id = IDC_TREE_PROTOCOL_IN; id <= IDC_TREE_APP_OUT; ++id)
    nodes += SendDlgItemMessageA(view, id, TVM_GETCOUNT, 0, 0);
  printf("rules in the list: %ld; nodes in the six trees: %ld\n", static_cast<long>(rows), static_cast<long>(nodes));
  SetForegroundWindow(frame);
  // The screen once the editor has painted, caption included.
  bool saved = winui::SaveScreenshot(frame, argv[1], true);
  printf("picture: %s\n", saved ? "saved" : "could not be saved");
  if (close) {
    DWORD process = 0;
    GetWindowThreadProcessId(frame, &process);
    HANDLE handle = OpenProcess(SYNCHRONIZE, FALSE, process);
    PostMessageA(frame, WM_CLOSE, 0, 0);
    bool ended = handle && WaitForSingleObject(handle, 15000) == WAIT_OBJECT_0;
    if (handle) CloseHandle(handle);
    printf("closed: %s; recorded editor window afterwards: %s\n", ended ? "yes" : "no",
           PFW_GetGlobalEdictorHwnd() ? "still set" : "none");
  }
  return saved ? 0 : 1;
}
