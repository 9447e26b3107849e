// global_helper: the second process of the global state tests. It joins (or
// creates) the global state block and plays one part, chosen by its arguments:
//
//   hold <ready-event> <done-event> [run-mode]   init, set the mode, signal, wait
//   deposit <text>                                init, deposit one record, exit
//   consume <count> <prefix>                      take <prefix>0 .. <prefix>count-1 in order
//   expect <run-mode> <password> <log-file>       init and compare what the block holds
//   monitor <notified-event>                      record a window as the monitor's, set the
//                                                 event at the first traffic message and
//                                                 never take the line: a monitor about to die
//
// Exit code 0 means the part went as expected.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "tessary.h"

namespace {

int hold(int argc, char** argv) {
  if (argc < 4) return 2;
  PFW_InitializeGlobalData();
  if (argc > 4) PFW_SetRunMode(atoi(argv[4]));
  HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[2]);
  HANDLE done = OpenEventA(SYNCHRONIZE, FALSE, argv[3]);
  if (!ready || !done) return 3;
  SetEvent(ready);
  return WaitForSingleObject(done, 60000) == WAIT_OBJECT_0 ? 0 : 4;
}

int deposit(int argc, char** argv) {
  if (argc < 3) return 2;
  PFW_InitializeGlobalData();
  PFW_TRAFFIC record = {};
  strncpy(record.text, argv[2], sizeof record.text - 1);
  return PFW_SetGlobalTraffic(record) == 0 ? 0 : 5;
}

int consume(int argc, char** argv) {
  if (argc < 4) return 2;
  PFW_InitializeGlobalData();
  int count = atoi(argv[2]);
  DWORD deadline = GetTickCount() + 30000;
  for (int i = 0; i < count;) {
    PFW_TRAFFIC record;
    if (!PFW_GetGlobalTraffic(&record)) {
      if ((LONG)(GetTickCount() - deadline) > 0) return 6;
      Sleep(0);
      continue;
    }
    char expected[PFW_TRAFFIC_SIZE];
    snprintf(expected, sizeof expected, "%s%d", argv[3], i);
    if (strcmp(record.text, expected) != 0) {
      fprintf(stderr, "record %d: got '%s', expected '%s'\n", i, record.text, expected);
      return 7;
    }
    i++;
  }
  return 0;
}

int expect(int argc, char** argv) {
  if (argc < 5) return 2;
  PFW_InitializeGlobalData();
  int failures = 0;
  auto check = [&](bool ok, const char* what) {
    if (!ok) fprintf(stderr, "global_helper expect: %s differs\n", what), failures++;
  };
  check(PFW_GetRunMode() == atoi(argv[2]), "run mode");
  check(strcmp(PFW_GetPassword(), argv[3]) == 0, "password");
  check(strcmp(PFW_GetLogFileName(), argv[4]) == 0, "log file name");
  return failures ? 8 : 0;
}

}  // namespace

HANDLE g_notified = nullptr;
UINT g_traffic_message = 0;

LRESULT CALLBACK monitor_procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == g_traffic_message && wparam == PFW_TRAFFIC_NOTIFY) SetEvent(g_notified);
  return DefWindowProcA(hwnd, message, wparam, lparam);
}

int monitor(int argc, char** argv) {
  if (argc < 3) return 2;
  PFW_InitializeGlobalData();
  g_notified = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[2]);
  g_traffic_message = RegisterWindowMessageA(PFW_PRIVATE_MESSAGE_NAME);
  WNDCLASSA wc = {};
  wc.lpfnWndProc = monitor_procedure;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "TarnwallDyingMonitor";
  if (!g_notified || !RegisterClassA(&wc)) return 3;
  HWND hwnd = CreateWindowA(wc.lpszClassName, "", 0, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance, nullptr);
  if (!hwnd) return 3;
  PFW_SetGlobalMonitorHwnd(hwnd);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
  return 0;
}

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  if (!strcmp(argv[1], "monitor")) return monitor(argc, argv);
  if (!strcmp(argv[1], "hold")) return hold(argc, argv);
  if (!strcmp(argv[1], "deposit")) return deposit(argc, argv);
  if (!strcmp(argv[1], "consume")) return consume(argc, argv);
  if (!strcmp(argv[1], "expect")) return expect(argc, argv);
  return 2;
}
