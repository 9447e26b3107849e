// test_monitor.cpp - the monitor window in this process: run modes and their tray tips,
// the popup menu, showing and sizing, the lamps, the connection log and the quit path; and
// the start-up window with its splash.
#include <gtest/gtest.h>

#include <stdio.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "frame.h"
#include "screenshot.h"
#include "monitor_fixture.h"
#include "monitor_rules.h"
#include "startup.h"
#include "help/tarnwall_help.h"

using namespace wayguard;

namespace {

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

bool file_exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void deposit(const char* text) {
  PFW_TRAFFIC record{};
  strncpy(record.text, text, sizeof record.text - 1);
  ASSERT_EQ(PFW_SetGlobalTraffic(record), 0);
}

bool checked(HWND dialog, int id) { return SendDlgItemMessageA(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED; }

// Whether the painted word's colour shows inside the window's client area near its origin.
bool shows_colour(HWND hwnd, POINT origin, COLORREF colour) {
  HDC dc = GetDC(hwnd);
  bool seen = false;
  for (int y = origin.y; y < origin.y + 18 && !seen; y++)
    for (int x = origin.x; x < origin.x + 60 && !seen; x++) seen = GetPixel(dc, x, y) == colour;
  ReleaseDC(hwnd, dc);
  return seen;
}

// Counts the requests that put a window of this thread on top of the others. Without a
// window manager Wine keeps a captioned window's place to itself, so the request is what
// can be seen.
int g_topmost_requests = 0;
HWND g_watched = nullptr;
LRESULT CALLBACK watch_positions(int code, WPARAM w, LPARAM l) {
  auto* sent = reinterpret_cast<CWPSTRUCT*>(l);
  if (code == HC_ACTION && sent->hwnd == g_watched && sent->message == WM_WINDOWPOSCHANGING) {
    auto* pos = reinterpret_cast<WINDOWPOS*>(sent->lParam);
    if (pos->hwndInsertAfter == HWND_TOPMOST && !(pos->flags & SWP_NOZORDER)) g_topmost_requests++;
  }
  return CallNextHookEx(nullptr, code, w, l);
}

}  // namespace

TEST_F(MonitorTest, StartUpRecordsTheWindowAndAddsTheTrayIconWithTheStartTip) {
  start_monitor();
  EXPECT_EQ(PFW_GetGlobalMonitorHwnd(), hwnd());
  EXPECT_FALSE(IsWindowVisible(hwnd()));
  EXPECT_TRUE(monitor->ready());
  EXPECT_EQ(height(), kCollapsedHeight);
  RECT r;
  GetWindowRect(hwnd(), &r);
  EXPECT_GE(r.right - r.left, kMonitorWidth);
  RECT lamp;  // the right-hand controls stay inside the window
  GetWindowRect(GetDlgItem(hwnd(), IDC_LAMP_RIGHT), &lamp);
  EXPECT_LE(lamp.right, r.right);
  EXPECT_TRUE(GetWindowLongA(hwnd(), GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
  const TrayCall* add = last_tray(NIM_ADD);
  ASSERT_NE(add, nullptr);
  EXPECT_EQ(add->data.cbSize, (DWORD)NOTIFYICONDATAA_V1_SIZE);
  EXPECT_EQ(add->data.uID, 1u);
  EXPECT_EQ(add->data.hWnd, hwnd());
  EXPECT_EQ(add->data.uFlags, (UINT)(NIF_MESSAGE | NIF_ICON | NIF_TIP));
  EXPECT_EQ(add->data.uCallbackMessage, RegisterWindowMessageA("LWM_SYSTEMTRAY_MESSAGE"));
  EXPECT_STREQ(add->data.szTip, "Tarnwall - Filter");
  EXPECT_EQ(add->data.hIcon, monitor->TrayIconOf(PFW_MODE_FILTER));
  EXPECT_TRUE(checked(hwnd(), IDC_FILTER));
  EXPECT_EQ(text(IDC_LOCK_STATUS), "Unlocked");
  for (int id : {IDC_STANDBY, IDC_FILTER, IDC_BLOCK, IDC_LOCK, IDC_TIMER, IDC_OPTIONS}) EXPECT_TRUE(enabled(id)) << id;
  // Tool tips come from the string resource named by the control's id.
  const std::pair<int, const char*> tips[] = {{IDC_STANDBY, "Switch to Stand By mode"},
                                              {IDC_FILTER, "Switch to Filter mode"},
                                              {IDC_BLOCK, "Switch to Blocking mode"},
                                              {IDC_LOCK, "Lock/Unlock Tarnwall"},
                                              {IDC_TIMER, "Set/Stop Timer"},
                                              {IDC_OPTIONS, "Set Options"}};
  for (auto [id, tip] : tips) {
    NMTTDISPINFOA info{};
    info.hdr.hwndFrom = nullptr;
    info.hdr.idFrom = (UINT_PTR)GetDlgItem(hwnd(), id);
    info.hdr.code = TTN_NEEDTEXTA;
    info.uFlags = TTF_IDISHWND;
    send(WM_NOTIFY, 0, (LPARAM)&info);
    EXPECT_STREQ(info.lpszText, tip);
  }
}

TEST_F(MonitorTest, StartingInBlockGivesTheStartTipThenTheChangeTip) {
  PFW_OPTIONS o = default_options();
  o.run_mode = PFW_MODE_BLOCK;
  arrange(o);
  start_monitor();
  EXPECT_STREQ(last_tray(NIM_ADD)->data.szTip, "Tarnwall - Block");
  EXPECT_TRUE(checked(hwnd(), IDC_BLOCK));
  command(ID_SHOW_MONITOR);
  winui::PumpMessages();
  EXPECT_TRUE(shows_colour(hwnd(), {70, 70}, RGB(200, 0, 0)));
  screenshot(hwnd(), "monitor-block");
  click(IDC_FILTER);
  EXPECT_STREQ(last_tray(NIM_MODIFY)->data.szTip, "Tarnwall - Armed and Active");
  click(IDC_BLOCK);
  const TrayCall* modify = last_tray(NIM_MODIFY);
  EXPECT_STREQ(modify->data.szTip, "Tarnwall - Fully Armed");
  EXPECT_EQ(modify->data.uFlags, (UINT)(NIF_ICON | NIF_TIP));
  EXPECT_EQ(modify->data.hIcon, monitor->TrayIconOf(PFW_MODE_BLOCK));
}

// Each mode from its button and from its menu command: the block, the stored record (read
// back whole, the rest untouched), the tray, the radio group and the painted word.
TEST_F(MonitorTest, EveryModeFromButtonAndMenuIsWrittenEverywhere) {
  PFW_OPTIONS o = default_options();
  strcpy(o.password, "Keep Me");
  o.log_stand_by = 1;
  arrange(o);
  start_monitor();
  command(ID_SHOW_MONITOR);
  struct Case {
    bool menu;
    int mode;
    const char* tip;
    int button;
    const char* shot;
  } cases[] = {
      {false, PFW_MODE_STANDBY, "Tarnwall - Stand By", IDC_STANDBY, "monitor-standby"},
      {false, PFW_MODE_BLOCK, "Tarnwall - Fully Armed", IDC_BLOCK, nullptr},
      {false, PFW_MODE_FILTER, "Tarnwall - Armed and Active", IDC_FILTER, "monitor-filter"},
      {true, PFW_MODE_BLOCK, "Tarnwall - Fully Armed", IDC_BLOCK, nullptr},
      {true, PFW_MODE_STANDBY, "Tarnwall - Stand By", IDC_STANDBY, nullptr},
      {true, PFW_MODE_FILTER, "Tarnwall - Armed and Active", IDC_FILTER, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.menu ? "menu " : "button ") + c.tip);
    const ModeLook* look = LookOfMode(c.mode);
    if (c.menu) {
      command((int)look->command);
    } else {
      SendDlgItemMessageA(hwnd(), c.button, BM_CLICK, 0, 0);  // the radio group selects, then tells
    }
    winui::PumpMessages();
    EXPECT_EQ(PFW_GetRunMode(), c.mode);
    PFW_OPTIONS s = stored();
    EXPECT_EQ(s.run_mode, c.mode);
    EXPECT_STREQ(s.password, "Keep Me");
    EXPECT_EQ(s.log_stand_by, 1);
    EXPECT_STREQ(last_tray(NIM_MODIFY)->data.szTip, c.tip);
    EXPECT_EQ(monitor->modeIndex(), look->modeIndex);
    for (int id : {IDC_STANDBY, IDC_FILTER, IDC_BLOCK}) EXPECT_EQ(checked(hwnd(), id), id == c.button) << id;
    EXPECT_TRUE(shows_colour(hwnd(), look->origin, look->colour));
    if (c.shot) screenshot(hwnd(), c.shot);
  }
}

TEST_F(MonitorTest, StartingLockedDisablesModesTimerAndOptions) {
  PFW_OPTIONS o = default_options();
  o.lock_status = 1;
  arrange(o);
  start_monitor();
  EXPECT_EQ(text(IDC_LOCK_STATUS), "Locked");
  EXPECT_EQ(text(IDC_LOCK), "Unlock");
  for (int id : {IDC_STANDBY, IDC_FILTER, IDC_BLOCK, IDC_TIMER, IDC_OPTIONS}) EXPECT_FALSE(enabled(id)) << id;
  EXPECT_TRUE(enabled(IDC_LOCK));
  EXPECT_EQ((HICON)SendDlgItemMessageA(hwnd(), IDC_LOCK, BM_GETIMAGE, IMAGE_ICON, 0), monitor->ButtonIcon(IDI_LOCKED));
}

// The popup menu as built for each state: checks, grays and the Show/Hide text.
TEST_F(MonitorTest, PopupMenuFollowsModeLockExpandedAndShown) {
  start_monitor();
  struct Case {
    int mode;
    int locked;
    bool expand;
    bool show;
  } cases[] = {{PFW_MODE_FILTER, 0, false, false},
               {PFW_MODE_BLOCK, 1, true, true},
               {PFW_MODE_STANDBY, 0, true, false},
               {7, 1, false, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    PFW_SetRunMode(c.mode);  // as another process might: the menu reads the block
    PFW_SetLockStatus(c.locked);
    if (monitor->expanded() != c.expand) command(ID_ADVANCED);
    if (monitor->shown() != c.show) command(ID_SHOW_MONITOR);
    HMENU menu = monitor->BuildPopupMenu();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(GetMenuItemCount(menu), 9);
    for (UINT cmd : {ID_MODE_FILTER, ID_MODE_BLOCK, ID_MODE_STANDBY}) {
      UINT state = GetMenuState(menu, cmd, MF_BYCOMMAND);
      EXPECT_EQ((state & MF_CHECKED) != 0, ModeOfCommand(cmd) == c.mode) << cmd;
      EXPECT_EQ((state & MF_GRAYED) != 0, c.locked != 0) << cmd;
    }
    for (UINT cmd : {ID_ADVANCED, ID_SHOW_MONITOR, ID_EDICTOR, ID_ABOUT})
      EXPECT_FALSE(GetMenuState(menu, cmd, MF_BYCOMMAND) & MF_GRAYED) << cmd;
    EXPECT_EQ((GetMenuState(menu, ID_ADVANCED, MF_BYCOMMAND) & MF_CHECKED) != 0, c.expand);
    char label[64] = "";
    GetMenuStringA(menu, ID_SHOW_MONITOR, label, sizeof label, MF_BYCOMMAND);
    EXPECT_STREQ(label, c.show ? "Hide Monitor" : "Show Monitor");
    DestroyMenu(menu);
  }
}

// Right-click in the window and on the tray icon: the same real popup menu, read while open.
TEST_F(MonitorTest, RightClicksOpenThePopupMenu) {
  start_monitor();
  PFW_SetLockStatus(1);
  command(ID_SHOW_MONITOR);
  int seen = 0;
  auto read_menu = [&](HWND menu_window) {
    HMENU menu = (HMENU)SendMessageA(menu_window, MN_GETHMENU, 0, 0);
    char label[64] = "";
    GetMenuStringA(menu, ID_SHOW_MONITOR, label, sizeof label, MF_BYCOMMAND);
    EXPECT_STREQ(label, "Hide Monitor");
    EXPECT_TRUE(GetMenuState(menu, ID_MODE_BLOCK, MF_BYCOMMAND) & MF_GRAYED);
    EXPECT_TRUE(GetMenuState(menu, ID_MODE_FILTER, MF_BYCOMMAND) & MF_CHECKED);
    if (seen++ == 0) {
      RECT r;
      GetWindowRect(menu_window, &r);
      winui::PumpMessages();
      winui::SaveScreenshot(nullptr, "..\\screenshots\\monitor-popup-menu.bmp");
    }
    EndMenu();
  };
  {
    DialogScript script;
    script.Then("#32768", read_menu).Arm();
    send(WM_CONTEXTMENU, (WPARAM)hwnd(), MAKELPARAM(60, 60));  // posts the tray message
    winui::PumpUntil([&] { return script.Finished(); }, 15000);
  }
  {
    DialogScript script;
    script.Then("#32768", read_menu).Arm();
    send(monitor->trayMessage(), 1, WM_RBUTTONDOWN);
    EXPECT_TRUE(script.Finished());
  }
  EXPECT_EQ(seen, 2);
}

TEST_F(MonitorTest, ShowHideCloseAndTheDoubleClickHeightToggle) {
  start_monitor();
  g_watched = hwnd();
  HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROC, watch_positions, nullptr, GetCurrentThreadId());
  send(monitor->trayMessage(), 1, WM_LBUTTONDBLCLK);
  EXPECT_TRUE(IsWindowVisible(hwnd()));
  EXPECT_TRUE(monitor->shown());
  EXPECT_GE(g_topmost_requests, 1);
  screenshot(hwnd(), "monitor-collapsed");

  // A double-click in the client area goes by way of a posted Advanced command.
  send(WM_LBUTTONDBLCLK, 0, MAKELPARAM(20, 60));
  winui::PumpMessages();
  EXPECT_EQ(height(), kExpandedHeight);
  EXPECT_TRUE(monitor->expanded());
  screenshot(hwnd(), "monitor-expanded");
  send(WM_LBUTTONDBLCLK, 0, MAKELPARAM(20, 60));
  winui::PumpMessages();
  EXPECT_EQ(height(), kCollapsedHeight);

  send(WM_CLOSE);
  EXPECT_FALSE(IsWindowVisible(hwnd()));
  EXPECT_FALSE(monitor->shown());
  EXPECT_EQ(PFW_GetGlobalMonitorHwnd(), hwnd());  // closing only hides
  int before = g_topmost_requests;
  command(ID_SHOW_MONITOR);
  EXPECT_TRUE(IsWindowVisible(hwnd()));
  EXPECT_GT(g_topmost_requests, before);  // every time it is shown
  UnhookWindowsHookEx(hook);
  command(ID_SHOW_MONITOR);
  EXPECT_FALSE(IsWindowVisible(hwnd()));
  command(ID_SHOW_MONITOR);
  send(WM_COMMAND, IDCANCEL);  // Escape hides it as the close box does
  EXPECT_FALSE(IsWindowVisible(hwnd()));
  EXPECT_FALSE(monitor->shown());
  EXPECT_TRUE(IsWindow(hwnd()));
  send(monitor->trayMessage(), 1, WM_LBUTTONDOWN);  // brings to top, shows nothing
  EXPECT_FALSE(IsWindowVisible(hwnd()));
}

TEST_F(MonitorTest, AboutBoxFromTheMenuClosesWithOk) {
  start_monitor();
  DialogScript script;
  script.Then("About Tarnwall", [&](HWND about) {
    EXPECT_EQ(item_text(about, IDOK), "OK");
    winui::SaveScreenshot(about, "..\\screenshots\\monitor-about.bmp");
    SendDlgItemMessageA(about, IDOK, BM_CLICK, 0, 0);
  });
  script.Arm();
  command(ID_ABOUT);
  EXPECT_TRUE(script.Finished());
}

TEST_F(MonitorTest, LampsLightOneAtATimeAndGoDarkOnTheirTimer) {
  start_monitor();
  auto image = [&](int id) { return (HBITMAP)SendDlgItemMessageA(hwnd(), id, STM_GETIMAGE, IMAGE_BITMAP, 0); };
  struct Case {
    LPARAM lparam;
    bool right;
  } cases[] = {{1, true}, {0, false}, {2, false}, {-1, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lparam);
    EXPECT_EQ(traffic(PFW_ACTIVITY_NOTIFY, c.lparam), 1);
    EXPECT_EQ(monitor->lampLit(true), c.right);
    EXPECT_EQ(monitor->lampLit(false), !c.right);
    int lit = c.right ? IDC_LAMP_RIGHT : IDC_LAMP_LEFT, dark = c.right ? IDC_LAMP_LEFT : IDC_LAMP_RIGHT;
    EXPECT_EQ(image(lit), monitor->litLamp());
    EXPECT_EQ(image(dark), monitor->darkLamp());
    // A lit lamp is not lit again: a picture changed meanwhile stays as it is.
    SendDlgItemMessageA(hwnd(), lit, STM_SETIMAGE, IMAGE_BITMAP, (LPARAM)monitor->darkLamp());
    traffic(PFW_ACTIVITY_NOTIFY, c.lparam);
    EXPECT_EQ(image(lit), monitor->darkLamp());
    SendDlgItemMessageA(hwnd(), lit, STM_SETIMAGE, IMAGE_BITMAP, (LPARAM)monitor->litLamp());
    EXPECT_TRUE(winui::PumpUntil([&] { return !monitor->lampLit(c.right); }, 2000));
    EXPECT_EQ(image(lit), monitor->darkLamp());
  }
  // Both at once, each going dark on its own timer message.
  traffic(PFW_ACTIVITY_NOTIFY, 1);
  traffic(PFW_ACTIVITY_NOTIFY, 0);
  EXPECT_TRUE(monitor->lampLit(true) && monitor->lampLit(false));
  send(WM_TIMER, CMonitorDialog::kRightLampTimer);
  EXPECT_FALSE(monitor->lampLit(true));
  EXPECT_TRUE(monitor->lampLit(false));
}

// What reaches the file for a run of records: line feeds become CR LF, records without a
// line end run on, a repeated message writes nothing, a record with no NUL is cut at 199.
TEST_F(MonitorTest, LogAppendsRecordsInTextMode) {
  start_monitor();
  ASSERT_FALSE(file_exists(log_path));
  EXPECT_EQ(traffic(PFW_TRAFFIC_NOTIFY), 1);  // nothing waiting: nothing written, not even a file
  EXPECT_FALSE(file_exists(log_path));

  deposit("first line\n");
  EXPECT_EQ(traffic(PFW_TRAFFIC_NOTIFY), 1);
  EXPECT_EQ(traffic(PFW_TRAFFIC_NOTIFY), 1);  // the same record told twice
  deposit("runs on ");
  traffic(PFW_TRAFFIC_NOTIFY);
  deposit("into this\r\nand\n\n");
  traffic(PFW_TRAFFIC_NOTIFY);
  EXPECT_EQ(read_file(log_path), "first line\r\nruns on into this\r\r\nand\r\n\r\n");

  PFW_TRAFFIC full;
  memset(full.text, 'x', sizeof full.text);
  ASSERT_EQ(PFW_SetGlobalTraffic(full), 0);
  traffic(PFW_TRAFFIC_NOTIFY);
  std::string all = read_file(log_path);
  EXPECT_EQ(all.size(), strlen("first line\r\nruns on into this\r\r\nand\r\n\r\n") + 199);

  // Deleted between two lines: the next line makes it again. Open by a reader: still written.
  ASSERT_TRUE(DeleteFileA(log_path.c_str()));
  deposit("again\n");
  traffic(PFW_TRAFFIC_NOTIFY);
  HANDLE reader = CreateFileA(log_path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  deposit("while read\n");
  traffic(PFW_TRAFFIC_NOTIFY);
  CloseHandle(reader);
  EXPECT_EQ(read_file(log_path), "again\r\nwhile read\r\n");

  // A log that cannot be opened drops the line and frees the mailbox all the same.
  PFW_SetLogFileName("Z:\\no such folder\\at all\\x.log");
  deposit("dropped\n");
  EXPECT_EQ(traffic(PFW_TRAFFIC_NOTIFY), 1);
  deposit("after\n");  // would wait for ever if the mailbox had stayed full
  PFW_SetLogFileName(log_path.c_str());
  traffic(PFW_TRAFFIC_NOTIFY);
  EXPECT_EQ(read_file(log_path), "again\r\nwhile read\r\nafter\r\n");
}

TEST_F(MonitorTest, OtherCodesOfTheTrafficMessageDoNothing) {
  start_monitor();
  deposit("waiting\n");
  for (WPARAM code : {0, 4, 99}) {  // 3 asks the user: the prompt tests
    EXPECT_EQ(traffic(code, 1), 0) << code;
    EXPECT_FALSE(monitor->lampLit(true) || monitor->lampLit(false));
  }
  EXPECT_FALSE(file_exists(log_path));
  traffic(PFW_TRAFFIC_NOTIFY);  // the record waited for its own message
  EXPECT_EQ(read_file(log_path), "waiting\r\n");
}

TEST_F(MonitorTest, EndOfSessionTakesTheQuitPath) {
  start_monitor();
  bool quit = false;
  monitor->onQuit = [&] { quit = true; };
  HWND window = hwnd();
  EXPECT_EQ(SendMessageA(window, WM_QUERYENDSESSION, 0, 0), TRUE);
  EXPECT_TRUE(IsWindow(window));                  // asked, not yet ended
  SendMessageA(window, WM_ENDSESSION, FALSE, 0);  // the session goes on
  EXPECT_TRUE(IsWindow(window));
  SendMessageA(window, WM_ENDSESSION, TRUE, 0);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_TRUE(quit);
  EXPECT_EQ(PFW_GetGlobalMonitorHwnd(), nullptr);
  const TrayCall* removed = last_tray(NIM_DELETE);
  ASSERT_NE(removed, nullptr);
  EXPECT_EQ(removed->data.uID, 1u);
  EXPECT_EQ(removed->data.hWnd, window);
  EXPECT_EQ(std::count_if(tray.begin(), tray.end(), [](const TrayCall& c) { return c.message == NIM_DELETE; }), 1);
}

// "Edictor" starts whatever "EdictorPath" names, without looking whether it runs; with no
// path stored nothing happens and nothing is said.
TEST_F(MonitorTest, EdictorStartsFromItsStoredPath) {
  start_monitor();
  ASSERT_TRUE(regtest::delete_value(regtest::kRules, "EdictorPath"));
  command(ID_EDICTOR);
  EXPECT_TRUE(boxes.empty());

  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  const std::string marker = std::string(temp) + "edictor-started.txt", script = std::string(temp) + "edictor.bat";
  DeleteFileA(marker.c_str());
  FILE* bat = fopen(script.c_str(), "w");
  ASSERT_NE(bat, nullptr);
  fprintf(bat, "@echo started> \"%s\"\n", marker.c_str());
  fclose(bat);
  ASSERT_TRUE(regtest::write_string(regtest::kRules, "EdictorPath", script.c_str()));
  command(ID_EDICTOR);
  EXPECT_TRUE(winui::PumpUntil([&] { return file_exists(marker); }, 15000));
  DeleteFileA(marker.c_str());
  DeleteFileA(script.c_str());
}

// F1 in the monitor opens the monitor's own topic: the system's F1 message reaches a
// control, whose default handling asks its window for help.
TEST_F(MonitorTest, F1OpensTheMonitorsTopic) {
  std::vector<winui::HelpCall> helps;
  winui::SetHelpHook([&](const winui::HelpCall& call) {
    helps.push_back(call);
    return TRUE;
  });
  start_monitor();
  const UINT keyF1 = 0x004D;  // WM_KEYF1, which the system sends when F1 is pressed
  PostMessageA(GetDlgItem(hwnd(), IDC_FILTER), keyF1, 0, 0);
  bool asked = winui::PumpUntil([&] { return !helps.empty(); }, 5000);
  if (!asked) {
    // Where the system's default handling does not turn it into WM_HELP, the message it
    // would have sent.
    HELPINFO info{sizeof info, HELPINFO_WINDOW, IDC_FILTER, GetDlgItem(hwnd(), IDC_FILTER), 0, {}};
    send(WM_HELP, 0, (LPARAM)&info);
  }
  winui::SetHelpHook({});
  ASSERT_EQ(helps.size(), 1u);
  EXPECT_EQ(helps[0].owner, hwnd());
  EXPECT_EQ(helps[0].command, (UINT)HELP_CONTEXT);
  EXPECT_EQ(helps[0].data, (ULONG_PTR)IDH_TARNWALL_WAYGUARD);
}

// ---------------------------------------------------------------------------
// Start-up: the splash on a timer while the message loop runs
// ---------------------------------------------------------------------------

class MonitorStartup : public MonitorTest {};

namespace {
wayguard::CStartupDialog* g_startup = nullptr;
HWND g_splash_seen = nullptr;
DWORD g_started = 0;
bool g_splash_outlived = false;
// Ends the start-up window (by the monitor's quit path) once the splash has gone, or fails
// after ten seconds of splash.
void CALLBACK quit_after_splash(HWND, UINT, UINT_PTR timer, DWORD) {
  if (!g_startup || !g_splash_seen) return;
  bool gone = g_startup->splash() == nullptr && !IsWindow(g_splash_seen);
  if (!gone && GetTickCount() - g_started < 10000) return;
  g_splash_outlived = !gone;
  KillTimer(nullptr, timer);
  g_startup->monitor().Quit();
}
int g_dialogs_made = 0;
LRESULT CALLBACK count_dialogs(int code, WPARAM w, LPARAM l) {
  if (code == HCBT_CREATEWND) {
    char name[16] = "";
    GetClassNameA(reinterpret_cast<HWND>(w), name, sizeof name);
    if (strcmp(name, "#32770") == 0) g_dialogs_made++;
  }
  return CallNextHookEx(nullptr, code, w, l);
}
}  // namespace

// The monitor window is made, recorded and answering while the About box shows without its
// OK button; the About box goes when its time is up, and the program lives on until quit.
TEST_F(MonitorStartup, TheMonitorAnswersDuringTheSplashWhichGoesOnItsTimer) {
  wayguard::CStartupDialog startup(100);
  g_startup = &startup;
  g_splash_seen = nullptr;
  g_splash_outlived = false;
  DialogScript script;
  script.Then(wayguard::kAboutCaption, [&](HWND about) {
    g_splash_seen = about;
    g_started = GetTickCount();
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(about, IDOK)));
    EXPECT_EQ(item_text(about, IDOK), "OK");
    SetTimer(nullptr, 0, 20, quit_after_splash);
    HWND recorded = PFW_GetGlobalMonitorHwnd();
    EXPECT_EQ(recorded, startup.monitor().hwnd());
    if (!recorded) return;
    EXPECT_FALSE(IsWindowVisible(recorded));
    EXPECT_EQ(SendMessageA(recorded, startup.monitor().trafficMessage(), PFW_ACTIVITY_NOTIFY, 1), 1);
    EXPECT_TRUE(startup.monitor().lampLit(true)) << "a message during the splash went unserved";
  });
  script.Arm();
  startup.DoModal(nullptr);
  g_startup = nullptr;
  EXPECT_TRUE(script.Finished());
  EXPECT_FALSE(g_splash_outlived) << "the splash did not go on its timer";
  EXPECT_FALSE(startup.refused());
  EXPECT_EQ(PFW_GetGlobalMonitorHwnd(), nullptr) << "the quit path leaves no handle";
}

// A live monitor recorded already: the start-up window ends at once, and no splash is made.
TEST_F(MonitorStartup, ASecondStartShowsNoSplash) {
  HWND other = CreateWindowA("STATIC", "other monitor", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(other, nullptr);
  PFW_SetGlobalMonitorHwnd(other);
  g_dialogs_made = 0;
  HHOOK hook = SetWindowsHookExA(WH_CBT, count_dialogs, nullptr, GetCurrentThreadId());
  wayguard::CStartupDialog startup;
  startup.DoModal(nullptr);
  UnhookWindowsHookEx(hook);
  EXPECT_TRUE(startup.refused());
  EXPECT_EQ(g_dialogs_made, 1) << "only the hidden start-up window";
  EXPECT_EQ(PFW_GetGlobalMonitorHwnd(), other) << "the running monitor keeps its record";
  EXPECT_FALSE(last_tray(NIM_ADD));
  DestroyWindow(other);
}
