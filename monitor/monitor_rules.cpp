#include "monitor_rules.h"

#include <stdio.h>
#include <string.h>

#include "wayguard_ids.h"

namespace wayguard {

namespace {

const ModeLook kModes[3] = {
    {PFW_MODE_FILTER,
     "Filter",
     RGB(200, 200, 0),
     {66, 70},
     IDI_FILTER,
     "Tarnwall - Filter",
     "Tarnwall - Armed and Active",
     IDC_FILTER,
     ID_MODE_FILTER,
     1},
    {PFW_MODE_BLOCK,
     "Block",
     RGB(200, 0, 0),
     {70, 70},
     IDI_BLOCK,
     "Tarnwall - Block",
     "Tarnwall - Fully Armed",
     IDC_BLOCK,
     ID_MODE_BLOCK,
     2},
    {PFW_MODE_STANDBY,
     "Stand By",
     RGB(0, 200, 50),
     {63, 70},
     IDI_STANDBY,
     "Tarnwall - Stand By",
     "Tarnwall - Stand By",
     IDC_STANDBY,
     ID_MODE_STANDBY,
     0},
};

// The longest texts the fields of the global state block and the registry can keep.
constexpr size_t kPasswordMax = PFW_PASSWORD_SIZE - 1;
// The block holds 499 characters, but the registry copy and every file function stop at
// MAX_PATH: a longer name could neither be kept for the next start nor opened.
constexpr size_t kLogFileNameMax = PFW_LOG_PATH_SIZE - 1;
constexpr uint32_t kMaxMinutes = 0xFFFFFFFFu / 60;

const std::vector<int> kLoggingPage = {IDC_FILENAME, IDC_LOG_FULLY_ARMED, IDC_FILENAME_LABEL, IDC_LOG_STAND_BY,
                                       IDC_BROWSE};
const std::vector<int> kPasswordPage = {IDC_CURRENT_LABEL,  IDC_NEW_PASSWORD, IDC_NEW_LABEL,      IDC_CURRENT_PASSWORD,
                                        IDC_AGAIN_PASSWORD, IDC_AGAIN_LABEL,  IDC_CHANGE_PASSWORD};
const std::vector<int> kNewPasswordControls = {IDC_NEW_PASSWORD, IDC_AGAIN_PASSWORD, IDC_NEW_LABEL, IDC_AGAIN_LABEL,
                                               IDC_CHANGE_PASSWORD};
const std::vector<int> kTimerPage = {IDC_MINUTES, IDC_TIMER_LABEL, IDC_MINUTES_LABEL, IDC_SET_TIMER};
const std::vector<int> kMinutesControls = {IDC_MINUTES, IDC_TIMER_LABEL, IDC_MINUTES_LABEL};
const char kStopTimer[] = "Stop Timer";
const char kSetTimer[] = "Set Timer";

}  // namespace

const ModeLook* LookOfMode(int runMode) {
  for (const ModeLook& look : kModes)
    if (look.runMode == runMode) return &look;
  return nullptr;
}

int ModeOfButton(int controlId) {
  for (const ModeLook& look : kModes)
    if (look.button == controlId) return look.runMode;
  return -1;
}

int ModeOfCommand(UINT command) {
  for (const ModeLook& look : kModes)
    if (look.command == command) return look.runMode;
  return -1;
}

int ModeIndexOf(int runMode) {
  const ModeLook* look = LookOfMode(runMode);
  return look ? look->modeIndex : -1;
}

std::string TrayTip(int runMode, bool atStart) {
  if (const ModeLook* look = LookOfMode(runMode)) return atStart ? look->startTip : look->changeTip;
  return "Tarnwall - mode " + std::to_string(runMode);
}

UINT TrayIcon(int runMode) {
  const ModeLook* look = LookOfMode(runMode);
  return look ? look->icon : IDI_FILTER;
}

MenuState MenuFor(int runMode, bool locked, bool expanded, bool shown) {
  const ModeLook* look = LookOfMode(runMode);
  return MenuState{look ? look->command : 0u, locked, expanded, shown ? "Hide Monitor" : "Show Monitor"};
}

LockLook LookOfLock(bool locked) {
  if (locked) return LockLook{"Locked", false, IDI_LOCKED};
  return LockLook{"Unlocked", true, IDI_UNLOCKED};
}

bool PasswordMatches(const std::string& entered, const char* stored) { return stored && entered == stored; }

std::string TimeoutText(uint32_t seconds) {
  char text[40];
  snprintf(text, sizeof text, "Time-out in %u:%02u", seconds / 60, seconds % 60);
  return text;
}

Tick CountdownTick(uint32_t globalCountdown, uint32_t storedCountdown) {
  Tick tick{};
  tick.nextStored = storedCountdown - 1;  // wraps below zero by design
  if (globalCountdown != 0) {
    tick.nextGlobal = globalCountdown - 1;
    tick.statusText = TimeoutText(globalCountdown);
  } else {
    tick.expired = true;
    tick.nextGlobal = globalCountdown;
  }
  return tick;
}

std::optional<uint32_t> SecondsFromMinutes(const std::string& text, std::string& error) {
  size_t begin = text.find_first_not_of(" \t");
  size_t end = text.find_last_not_of(" \t");
  if (begin == std::string::npos) {
    error = kTimerEmpty;
    return std::nullopt;
  }
  uint64_t minutes = 0;
  for (size_t i = begin; i <= end; i++) {
    char c = text[i];
    if (c < '0' || c > '9') {
      error = "Enter the time as a whole number of minutes!";
      return std::nullopt;
    }
    minutes = minutes * 10 + static_cast<uint64_t>(c - '0');
    if (minutes > kMaxMinutes) {
      error = "The timer takes at most " + std::to_string(kMaxMinutes) + " minutes!";
      return std::nullopt;
    }
  }
  return static_cast<uint32_t>(minutes * 60);
}

bool PasswordFits(const std::string& password, std::string& error) {
  if (password.size() <= kPasswordMax) return true;
  error = "The password is too long: it may have at most " + std::to_string(kPasswordMax) + " characters.";
  return false;
}

bool LogFileNameFits(const std::string& name, std::string& error) {
  if (name.size() <= kLogFileNameMax) return true;
  error = "The log file name is too long: it may have at most " + std::to_string(kLogFileNameMax) + " characters.";
  return false;
}

TrafficAction ActionOfTraffic(WPARAM code, LPARAM lParam) {
  switch (code) {
    case PFW_TRAFFIC_NOTIFY:
      return TrafficAction::kLog;
    case PFW_ACTIVITY_NOTIFY:
      return lParam == 1 ? TrafficAction::kRightLamp : TrafficAction::kLeftLamp;
    case PFW_PROMPT_NOTIFY:
      return TrafficAction::kPrompt;
    default:
      return TrafficAction::kNone;
  }
}

const char* TimerStatusOnPaint(bool timerActive) { return timerActive ? nullptr : kTimerNotSet; }

const char* PageTitle(OptionsPage page) {
  switch (page) {
    case OptionsPage::kPassword:
      return "Password";
    case OptionsPage::kTimer:
      return "Timer";
    default:
      return "Logging";
  }
}

OptionsPage FirstPage(bool fromTimerButton) { return fromTimerButton ? OptionsPage::kTimer : OptionsPage::kLogging; }

OptionsPage PageOfTab(int index) {
  if (index == static_cast<int>(OptionsPage::kPassword)) return OptionsPage::kPassword;
  if (index == static_cast<int>(OptionsPage::kTimer)) return OptionsPage::kTimer;
  return OptionsPage::kLogging;
}

const std::vector<int>& AllPageControls() {
  static const std::vector<int> all = [] {
    std::vector<int> ids = kLoggingPage;
    ids.insert(ids.end(), kPasswordPage.begin(), kPasswordPage.end());
    ids.insert(ids.end(), kTimerPage.begin(), kTimerPage.end());
    return ids;
  }();
  return all;
}

const std::vector<int>& NewPasswordControls() { return kNewPasswordControls; }
const std::vector<int>& MinutesControls() { return kMinutesControls; }

PageLook LookOfPage(OptionsPage page, bool timerActive) {
  switch (page) {
    case OptionsPage::kPassword:
      return PageLook{
          kPasswordPage, kNewPasswordControls, {IDC_NEW_PASSWORD, IDC_AGAIN_PASSWORD, IDC_CURRENT_PASSWORD}, nullptr};
    case OptionsPage::kTimer:
      if (timerActive) return PageLook{kTimerPage, kMinutesControls, {}, kStopTimer};
      return PageLook{kTimerPage, {}, {}, nullptr};
    default:
      return PageLook{kLoggingPage, {}, {}, nullptr};
  }
}

PasswordChange CheckPasswordChange(const std::string& fresh, const std::string& again) {
  if (fresh != again) return PasswordChange{false, kPasswordMismatch, MB_OK | MB_ICONEXCLAMATION};
  std::string error;
  if (!PasswordFits(fresh, error)) return PasswordChange{false, error, MB_OK | MB_ICONEXCLAMATION};
  return PasswordChange{true, kPasswordChanged, MB_OK | MB_ICONINFORMATION};
}

TimerPress PressTimerButton(bool timerActive, const std::string& minutesText) {
  if (timerActive) return TimerPress{TimerChange{false, 0}, "", 0, kSetTimer, true};
  std::string error;
  std::optional<uint32_t> seconds = SecondsFromMinutes(minutesText, error);
  if (!seconds) {
    UINT flags = error == kTimerEmpty ? MB_OK : MB_OK | MB_ICONEXCLAMATION;
    return TimerPress{std::nullopt, error, flags, nullptr, true};
  }
  return TimerPress{TimerChange{true, *seconds}, kTimerSet, MB_OK, kStopTimer, false};
}

std::optional<std::string> RefuseLogging(const LoggingSettings& settings) {
  std::string error;
  if (LogFileNameFits(settings.fileName, error)) return std::nullopt;
  return error;
}

}  // namespace wayguard
