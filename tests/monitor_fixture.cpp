#include "monitor_fixture.h"

#include <gtest/gtest.h>

#include <string.h>

#include "frame.h"
#include "screenshot.h"

void post_click(HWND dialog, int id) {
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(dialog, id));
}

std::string item_text(HWND dialog, int id) {
  char text[1024] = "";
  GetDlgItemTextA(dialog, id, text, sizeof text);
  return text;
}

PFW_OPTIONS MonitorTest::default_options() {
  PFW_OPTIONS o{};
  o.run_mode = PFW_MODE_FILTER;
  o.log_fully_armed = 1;
  o.log_stand_by = 0;
  o.log_allow = 1;
  o.log_deny = 1;
  return o;
}

void MonitorTest::SetUp() {
  // The cases of a suite share a process, and a file chooser of an earlier case may have
  // moved the current folder: the pictures go to ..\screenshots from the programs' folder.
  char self[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, self, sizeof self);
  if (char* slash = strrchr(self, '\\')) *slash = 0;
  SetCurrentDirectoryA(self);
  RegistryTest::SetUp();
  regtest::install_starting_set();
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  log_path = std::string(temp) + "wayguard-test.log";
  DeleteFileA(log_path.c_str());
  PFW_InitializeGlobalData();
  arrange(default_options());
  winui::SetNotifyIconHook([this](DWORD message, const NOTIFYICONDATAA& data) {
    tray.push_back({message, data});
    return TRUE;
  });
  winui::SetMessageBoxHook([this](const winui::MessageBoxCall& call) {
    boxes.push_back(call);
    if (answers.empty()) return IDOK;
    int answer = answers.front();
    answers.pop_front();
    return answer;
  });
  CreateDirectoryA("..\\screenshots", nullptr);
}

void MonitorTest::arrange(const PFW_OPTIONS& o) {
  ASSERT_TRUE(PFW_SetOptionsInRegistry(o));
  ASSERT_TRUE(PFW_SetLogFileNameInRegistry(log_path.c_str()));
  // The block may have been made by an earlier test of this process: set it as a new one would be.
  PFW_SetLockStatus(o.lock_status);
  PFW_SetPassword(o.password);
  PFW_SetRunMode(o.run_mode);
  PFW_SetLogFullyArmed(o.log_fully_armed);
  PFW_SetLogStandBy(o.log_stand_by);
  PFW_SetTimerActive(o.timer_active);
  PFW_SetTimerCountDown((int)o.timer_countdown);
  PFW_SetLogAllow(o.log_allow);
  PFW_SetLogDeny(o.log_deny);
  PFW_SetLogFileName(log_path.c_str());
  PFW_SetGlobalMonitorHwnd(nullptr);
}

void MonitorTest::start_monitor() {
  monitor = std::make_unique<wayguard::CMonitorDialog>();
  ASSERT_TRUE(monitor->Create(nullptr));
  winui::PumpMessages();
}

void MonitorTest::TearDown() {
  monitor.reset();
  winui::SetNotifyIconHook({});
  winui::SetMessageBoxHook({});
  PFW_SetGlobalMonitorHwnd(nullptr);
  PFW_SetTimerActive(0);
  DeleteFileA(log_path.c_str());
  RegistryTest::TearDown();
}

PFW_OPTIONS MonitorTest::stored() const {
  PFW_OPTIONS o{};
  std::vector<unsigned char> bytes;
  EXPECT_TRUE(regtest::read_value(regtest::kRules, "Options", &bytes));
  EXPECT_EQ(bytes.size(), sizeof o);
  memcpy(&o, bytes.data(), bytes.size() < sizeof o ? bytes.size() : sizeof o);
  for (int i = 0; i < PFW_PASSWORD_SIZE; i++) o.password[i] ^= (char)(PFW_SCRAMBLE_BYTE ^ (PFW_PASSWORD_SIZE - i));
  return o;
}

std::string MonitorTest::stored_log_name() const {
  std::vector<unsigned char> bytes;
  if (!regtest::read_value(regtest::kRuleSet, "LogFile", &bytes)) return "(missing)";
  return std::string(bytes.begin(), bytes.end()).c_str();
}

int MonitorTest::height() const {
  RECT r;
  GetWindowRect(hwnd(), &r);
  return r.bottom - r.top;
}

const TrayCall* MonitorTest::last_tray(DWORD message) const {
  for (auto it = tray.rbegin(); it != tray.rend(); ++it)
    if (it->message == message) return &*it;
  return nullptr;
}

void MonitorTest::screenshot(HWND window, const char* name) const {
  std::string path = std::string("..\\screenshots\\") + name + ".bmp";
  EXPECT_TRUE(winui::SaveScreenshot(window, path.c_str())) << path;
}
