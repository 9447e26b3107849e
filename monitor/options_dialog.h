// COptionsDialog - "Options" (template 103): the Logging, Password and Timer pages behind
// one tab control. A page is shown by showing its controls; all are siblings of the tab.
// The dialog takes the Logging page's values in and gives them back on OK, for the monitor
// to store, whichever page shows. The Password page changes the password at once; the
// Timer page hands each set or stop to the monitor as it is pressed, since the countdown
// runs on while the dialog is open.
#pragma once
#include <windows.h>

#include <functional>
#include <optional>

#include "dialog.h"
#include "monitor_rules.h"

namespace wayguard {

class COptionsDialog : public winui::Dialog {
 public:
  // The monitor's side: whether the arming timer runs now (it may end while the dialog
  // is open), and the set or stop to apply.
  struct Host {
    std::function<bool()> timerActive;
    std::function<void(const TimerChange&)> changeTimer;
  };
  COptionsDialog(const LoggingSettings& logging, OptionsPage first, Host host);

  // After OK: the Logging page as the user left it.
  const LoggingSettings& logging() const { return logging_; }
  // The last set or stop pressed while the dialog was open, if any.
  const std::optional<TimerChange>& timerChange() const { return timerChange_; }

  void ShowPage(OptionsPage page);
  OptionsPage CurrentPage() const;

 protected:
  BOOL OnInitDialog() override;
  bool OnCommand(int id, int code, HWND control) override;
  LRESULT OnNotify(NMHDR* header) override;
  void OnOK() override;
  void OnDestroy() override;

 private:
  void HideAllPages();
  void Browse();
  void CurrentPasswordChanged();
  void ChangePassword();
  void PressTimer();
  int Message(const char* text, UINT flags);
  bool TimerActive() const { return host_.timerActive && host_.timerActive(); }
  COLORREF PageColour() const;
  static LRESULT CALLBACK PageColours(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR data);
  static LRESULT CALLBACK DisabledButtonText(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                             DWORD_PTR data);

  LoggingSettings logging_;
  OptionsPage first_;
  Host host_;
  std::optional<TimerChange> timerChange_;
  COLORREF pageColour_ = 0;
  HBRUSH pageBrush_ = nullptr;
};

}  // namespace wayguard
