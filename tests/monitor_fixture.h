// monitor_fixture.h - the monitor window made in the test's own process, over an installed-
// looking registry, with the message-box and tray seams recorded, and a way to act on the
// modal windows (dialogs, message boxes, the popup menu) that the monitor opens.
#ifndef TARNWALL_MONITOR_FIXTURE_H
#define TARNWALL_MONITOR_FIXTURE_H

#include <windows.h>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dialog_script.h"
#include "monitor_dialog.h"
#include "registry_fixture.h"
#include "seams.h"
#include "tessary.h"
#include "wayguard_ids.h"

struct TrayCall {
  DWORD message;  // NIM_ADD, NIM_MODIFY, NIM_DELETE
  NOTIFYICONDATAA data;
};

// Clicks a button the way a user's click ends up: BN_CLICKED from the control, posted.
void post_click(HWND dialog, int id);
std::string item_text(HWND dialog, int id);

class MonitorTest : public RegistryTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The options the registry holds and the global state block takes before the monitor starts.
  static PFW_OPTIONS default_options();
  void arrange(const PFW_OPTIONS& options);
  void start_monitor();

  // The stored options record read from the registry directly, its password unscrambled.
  PFW_OPTIONS stored() const;
  std::string stored_log_name() const;

  HWND hwnd() const { return monitor->hwnd(); }
  LRESULT send(UINT msg, WPARAM w = 0, LPARAM l = 0) const { return SendMessageA(hwnd(), msg, w, l); }
  void click(int id) const { send(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(hwnd(), id)); }
  void command(int id) const { send(WM_COMMAND, MAKEWPARAM(id, 0), 0); }
  // The traffic message, and then the wait until the log writer has written what it took.
  LRESULT traffic(WPARAM w, LPARAM l = 0) const {
    LRESULT result = send(monitor->trafficMessage(), w, l);
    monitor->FlushLog();
    return result;
  }
  bool enabled(int id) const { return IsWindowEnabled(GetDlgItem(hwnd(), id)) != FALSE; }
  std::string text(int id) const { return item_text(hwnd(), id); }
  int height() const;
  const TrayCall* last_tray(DWORD message) const;
  void screenshot(HWND window, const char* name) const;

  std::string log_path;
  std::unique_ptr<wayguard::CMonitorDialog> monitor;
  std::vector<TrayCall> tray;
  std::vector<winui::MessageBoxCall> boxes;
  std::deque<int> answers;  // buttons the hooked message boxes answer; IDOK when empty
};

#endif
