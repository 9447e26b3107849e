// test_monitor_program.cpp - the real wayguard.exe: one monitor at a time, a dead one not
// counting, the end of the session as its way out; and, installed, the connection log
// filled by the stand-in interceptor and the run mode switched through the monitor.
#include <gtest/gtest.h>
#include <shlobj.h>
#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "wait_until.h"
#include "store_fixture.h"
#include "tessary.h"
#include "traffic_consumer.h"
#include "wayguard_ids.h"

namespace {

const char* const kMakerKey = "SOFTWARE\\Velmora";

struct Seen {
  DWORD process;
  const char* title;
  bool found;
};

BOOL CALLBACK find_window_of(HWND hwnd, LPARAM param) {
  auto* seen = reinterpret_cast<Seen*>(param);
  DWORD process = 0;
  GetWindowThreadProcessId(hwnd, &process);
  char text[128] = "";
  GetWindowTextA(hwnd, text, sizeof text);
  if (process == seen->process && IsWindowVisible(hwnd) && strcmp(text, seen->title) == 0) seen->found = true;
  return TRUE;
}

bool shows_window(DWORD process, const char* title) {
  Seen seen{process, title, false};
  EnumWindows(find_window_of, reinterpret_cast<LPARAM>(&seen));
  return seen.found;
}

// A running wayguard.exe, ended by the end of the session (or killed) when the test is done.
struct Monitor {
  PROCESS_INFORMATION pi{};
  bool start(const std::string& program) {
    STARTUPINFOA si{};
    si.cb = sizeof si;
    std::string cmd = "\"" + program + "\"";
    if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
    CloseHandle(pi.hThread);
    return true;
  }
  // The monitor window it recorded, once it has one that exists.
  HWND window(DWORD ms = 15000) const {
    HWND found = nullptr;
    WaitUntil(
        [&] {
          HWND h = PFW_GetGlobalMonitorHwnd();
          DWORD owner = 0;
          if (h && IsWindow(h)) GetWindowThreadProcessId(h, &owner);
          if (owner == pi.dwProcessId) found = h;
          return found != nullptr;
        },
        ms);
    return found;
  }
  int end_session() {
    HWND h = window(0);
    if (h) {
      SendMessageTimeoutA(h, WM_QUERYENDSESSION, 0, 0, SMTO_BLOCK, 5000, nullptr);
      SendMessageTimeoutA(h, WM_ENDSESSION, TRUE, 0, SMTO_BLOCK, 5000, nullptr);
    }
    return wait_exit(10000);
  }
  int wait_exit(DWORD ms) {
    DWORD code = (DWORD)-2;
    if (WaitForSingleObject(pi.hProcess, ms) == WAIT_OBJECT_0) GetExitCodeProcess(pi.hProcess, &code);
    return (int)code;
  }
  void kill() {
    if (pi.hProcess && WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT) {
      TerminateProcess(pi.hProcess, 9);
      WaitForSingleObject(pi.hProcess, 5000);
    }
  }
  ~Monitor() {
    kill();
    if (pi.hProcess) CloseHandle(pi.hProcess);
  }
};

std::string built(const char* name) { return program_directory() + name; }

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace

TEST(MonitorProgram, ASecondMonitorShowsNothingAndEnds) {
  PFW_InitializeGlobalData();
  Monitor first;
  ASSERT_TRUE(first.start(built("wayguard.exe")));
  HWND running = first.window();
  ASSERT_NE(running, nullptr);

  Monitor second;
  ASSERT_TRUE(second.start(built("wayguard.exe")));
  bool splashed = false;
  for (DWORD started = GetTickCount();
       WaitForSingleObject(second.pi.hProcess, 20) == WAIT_TIMEOUT && GetTickCount() - started < 15000;)
    splashed = splashed || shows_window(second.pi.dwProcessId, "About Tarnwall");
  EXPECT_EQ(second.wait_exit(0), 1) << "the second monitor did not end within 15 s";
  EXPECT_FALSE(splashed);
  EXPECT_EQ(PFW_GetGlobalMonitorHwnd(), running);
  EXPECT_TRUE(IsWindow(running));
  EXPECT_EQ(first.end_session(), 0);
  EXPECT_EQ(PFW_GetGlobalMonitorHwnd(), nullptr);
}

// Two monitors started at the same moment, twenty times: each time one ends at once as a
// second start does (exit 1) while the other runs on. The one that runs is killed, mostly
// in its splash, which also shows that a killed monitor's claim passes to the next start.
TEST(MonitorProgram, TwoMonitorsStartedTogetherGiveOneTwentyTimesOver) {
  PFW_InitializeGlobalData();
  PFW_SetGlobalMonitorHwnd(nullptr);
  for (int round = 0; round < 20; round++) {
    SCOPED_TRACE(round);
    Monitor a, b;
    ASSERT_TRUE(a.start(built("wayguard.exe")));
    ASSERT_TRUE(b.start(built("wayguard.exe")));
    HANDLE both[2] = {a.pi.hProcess, b.pi.hProcess};
    DWORD first = WaitForMultipleObjects(2, both, FALSE, 15000);
    ASSERT_TRUE(first == WAIT_OBJECT_0 || first == WAIT_OBJECT_0 + 1) << "neither ended: two monitors run";
    Monitor& ended = first == WAIT_OBJECT_0 ? a : b;
    Monitor& runs = first == WAIT_OBJECT_0 ? b : a;
    EXPECT_EQ(ended.wait_exit(0), 1);
    EXPECT_EQ(WaitForSingleObject(runs.pi.hProcess, 0), (DWORD)WAIT_TIMEOUT) << "both ended";
    if (round == 19) {
      EXPECT_NE(runs.window(), nullptr);
      EXPECT_EQ(runs.end_session(), 0);
      EXPECT_EQ(PFW_GetGlobalMonitorHwnd(), nullptr);
    }
  }
}

// The monitor ends with the session: every line it has taken, and the one still in the
// mailbox, is in the file by the time WM_ENDSESSION returns, since Windows may end the
// process right then (the test does, with TerminateProcess). Lines still queued for the
// writer are there depending on the disk's pace; the one in the mailbox always is.
TEST(MonitorProgram, LinesPendingAtTheEndOfTheSessionAreAllInTheLog) {
  PFW_InitializeGlobalData();
  PFW_SetGlobalMonitorHwnd(nullptr);
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  std::string log = std::string(temp) + "session_end.log", saved = PFW_GetLogFileName();
  DeleteFileA(log.c_str());
  PFW_SetLogFileName(log.c_str());
  Monitor monitor;
  ASSERT_TRUE(monitor.start(built("wayguard.exe")));
  HWND window = monitor.window();
  ASSERT_NE(window, nullptr);
  UINT message = RegisterWindowMessageA(PFW_PRIVATE_MESSAGE_NAME);
  const int kLines = 3000;
  for (int i = 0; i < kLines; i++) {
    PFW_TRAFFIC record = {};
    snprintf(record.text, sizeof record.text, "session line %05d\n", i);
    ASSERT_EQ(PFW_SetGlobalTraffic(record), (int)WAIT_OBJECT_0);
    // The last one is deposited and the session ends before its message is sent.
    if (i < kLines - 1) PostMessageA(window, message, PFW_TRAFFIC_NOTIFY, 0);
  }
  SendMessageTimeoutA(window, WM_QUERYENDSESSION, 0, 0, SMTO_BLOCK, 5000, nullptr);
  SendMessageTimeoutA(window, WM_ENDSESSION, TRUE, 0, SMTO_BLOCK, 30000, nullptr);
  TerminateProcess(monitor.pi.hProcess, 9);
  WaitForSingleObject(monitor.pi.hProcess, 10000);
  std::vector<std::string> lines = lines_of(read_file(log));
  EXPECT_EQ((int)lines.size(), kLines);
  for (int i = 0; i < (int)lines.size() && i < kLines; i++) {
    char want[32];
    snprintf(want, sizeof want, "session line %05d\r", i);
    if (lines[i] != want) {
      ADD_FAILURE() << "line " << i << ": " << lines[i];
      break;
    }
  }
  PFW_SetLogFileName(saved.c_str());
  PFW_SetGlobalMonitorHwnd(nullptr);
  DeleteFileA(log.c_str());
}

// A handle left by a monitor that was killed does not lock out the next one; the end of the
// session ends a monitor and leaves no handle behind, so the next start is not refused.
TEST(MonitorProgram, AKilledMonitorDoesNotLockOutTheNext) {
  PFW_InitializeGlobalData();
  {
    Monitor killed;
    ASSERT_TRUE(killed.start(built("wayguard.exe")));
    ASSERT_NE(killed.window(), nullptr);
    killed.kill();
  }
  HWND dead = PFW_GetGlobalMonitorHwnd();
  ASSERT_NE(dead, nullptr);
  EXPECT_FALSE(IsWindow(dead));

  Monitor next;
  ASSERT_TRUE(next.start(built("wayguard.exe")));
  // The splash shows while the monitor window is made; the window is there before it goes.
  EXPECT_TRUE(WaitUntil([&] { return shows_window(next.pi.dwProcessId, "About Tarnwall"); }, 15000))
      << "no splash within 15 s";
  HWND window = next.window();
  ASSERT_NE(window, nullptr);
  EXPECT_NE(window, dead);
  EXPECT_FALSE(IsWindowVisible(window));  // hidden behind its tray icon
  EXPECT_EQ(next.end_session(), 0);
  EXPECT_EQ(PFW_GetGlobalMonitorHwnd(), nullptr);

  Monitor again;
  ASSERT_TRUE(again.start(built("wayguard.exe")));
  EXPECT_NE(again.window(), nullptr);
  EXPECT_EQ(again.end_session(), 0);
}

// Installed: connections through the installed interceptor reach the log in order; the run
// mode switched in the monitor decides the interceptor's next answers.
TEST(MonitorProgram, InstalledMonitorLogsTheInterceptorsLinesAndSwitchesItsMode) {
  char folder[MAX_PATH] = "";
  SHGetFolderPathA(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT, folder);
  const std::string dir = std::string(folder) + "\\Velmora\\Tarnwall";
  ASSERT_EQ(run_helper("\"" + built("tarnwall-setup.exe") + "\" /S", 120000), 0);
  PFW_InitializeGlobalData();  // made now, from the installed options
  std::string log = PFW_GetLogFileName();
  ASSERT_FALSE(log.empty());
  DeleteFileA(log.c_str());

  Monitor monitor;
  ASSERT_TRUE(monitor.start(dir + "\\wayguard.exe"));
  HWND window = monitor.window();
  ASSERT_NE(window, nullptr);

  // Inbound attempts meet the installed inbound rule, Deny, logged.
  std::string attempts;
  const int kCount = 40;
  for (int i = 0; i < kCount; i++) attempts += "in tcp " + std::to_string(1000 + i) + " 192.0.2.1 SERVER.EXE\n";
  ProgramRun filter = run_program("\"" + dir + "\\interceptor.exe\"", attempts, nullptr);
  EXPECT_EQ(filter.exit_code, 0) << filter.err;
  std::vector<std::string> logged;
  EXPECT_TRUE(WaitUntil([&] { return (int)(logged = lines_of(read_file(log))).size() >= kCount; }, 10000));
  ASSERT_EQ((int)logged.size(), kCount);
  for (int i = 0; i < kCount; i++) {
    EXPECT_NE(logged[i].find("/" + std::to_string(1000 + i) + " "), std::string::npos) << logged[i];
    EXPECT_NE(logged[i].find("deny"), std::string::npos) << logged[i];
    EXPECT_EQ(logged[i].back(), '\r');  // CR LF in the file
  }

  // Stand By through the monitor's menu command: the next decisions allow, and (as installed)
  // Stand By logs nothing. Then Block: denied and logged again.
  SendMessageA(window, WM_COMMAND, ID_MODE_STANDBY, 0);
  EXPECT_EQ(PFW_GetRunMode(), PFW_MODE_STANDBY);
  ProgramRun standby =
      run_program("\"" + dir + "\\interceptor.exe\" \"in tcp 2000 192.0.2.1 SERVER.EXE\"", "", nullptr);
  EXPECT_NE(standby.out.find("allow"), std::string::npos) << standby.out;
  SendMessageA(window, WM_COMMAND, ID_MODE_BLOCK, 0);
  ProgramRun block = run_program("\"" + dir + "\\interceptor.exe\" \"in tcp 2001 192.0.2.1 SERVER.EXE\"", "", nullptr);
  EXPECT_NE(block.out.find("deny"), std::string::npos) << block.out;
  EXPECT_TRUE(WaitUntil([&] { return (int)(logged = lines_of(read_file(log))).size() == kCount + 1; }, 5000));
  EXPECT_NE(logged.back().find("/2001 "), std::string::npos);

  // Killed, and a new one starts at once.
  monitor.kill();
  Monitor next;
  ASSERT_TRUE(next.start(dir + "\\wayguard.exe"));
  EXPECT_NE(next.window(), nullptr);
  EXPECT_EQ(next.end_session(), 0);

  EXPECT_EQ(run_helper("\"" + dir + "\\uninstall.exe\" /S _?=" + dir, 120000), 0);
  DeleteFileA((dir + "\\uninstall.exe").c_str());
  RemoveDirectoryA(dir.c_str());
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, kMakerKey);
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, kMakerKey);
  DeleteFileA(log.c_str());
}
