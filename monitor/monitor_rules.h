// The monitor's rules that need no window: what each run mode looks like (word, colour,
// icon, tips, button, menu command), what the popup menu shows, what the lock enables,
// how the arming countdown runs, which user entries are refused, what the traffic message
// asks for, and what the options dialog's pages show and their buttons do. The windows
// apply these; the tests check them directly.
#pragma once
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tessary.h"

namespace wayguard {

struct ModeLook {
  int runMode;       // PFW_MODE_*
  const char* word;  // painted in the monitor window
  COLORREF colour;
  POINT origin;           // client coordinates of the painted word
  UINT icon;              // tray icon and mode button picture
  const char* startTip;   // tray tip when the icon is added
  const char* changeTip;  // tray tip after the monitor changes the mode
  int button;             // the mode's radio button
  UINT command;           // the mode's popup-menu command
  int modeIndex;          // position of the button in the radio group
};

// The look of run mode 0..2, or null for any other value (nothing painted, nothing checked).
const ModeLook* LookOfMode(int runMode);
// The mode a button or a menu command selects, or -1.
int ModeOfButton(int controlId);
int ModeOfCommand(UINT command);
// The radio group's index for a run mode (Stand By 0, Filter 1, Block 2), -1 outside 0..2.
int ModeIndexOf(int runMode);

// The tray icon's tip and icon: the start tip when the icon is added, the change tip after.
// A run mode outside 0..2 (the monitor never sets one) falls back to Filter's picture and
// names the mode by its number, so the icon is never blank.
std::string TrayTip(int runMode, bool atStart);
UINT TrayIcon(int runMode);

// The popup menu for the current state.
struct MenuState {
  UINT checkedMode;      // 0 when no mode command is checked
  bool modesGrayed;      // while locked
  bool advancedChecked;  // while expanded
  const char* showText;  // "Hide Monitor" while shown
};
MenuState MenuFor(int runMode, bool locked, bool expanded, bool shown);

// Pixel size of the monitor window: 190 wide, or as wide as its template where the dialog
// font makes that wider; 125 high collapsed, 205 expanded.
constexpr int kMonitorWidth = 190;
inline int MonitorWidth(int templateWidth) { return templateWidth > kMonitorWidth ? templateWidth : kMonitorWidth; }
constexpr int kCollapsedHeight = 125;
constexpr int kExpandedHeight = 205;
inline int MonitorHeight(bool expanded) { return expanded ? kExpandedHeight : kCollapsedHeight; }

// What the lock changes in the monitor window.
struct LockLook {
  const char* statusText;  // "Locked" / "Unlocked"
  bool controlsEnabled;    // the three mode buttons, the timer and options buttons
  UINT lockIcon;
};
LockLook LookOfLock(bool locked);
// The unlock dialog's test: the whole text, byte for byte, letter case counts.
bool PasswordMatches(const std::string& entered, const char* stored);

// The arming countdown, one tick a second. `storedCountdown` is the options record's copy,
// which follows the global one down and is decreased once more at expiry, wrapping below 0.
struct Tick {
  bool expired;            // switch to Block now
  uint32_t nextGlobal;     // the global countdown after the tick (unchanged at expiry)
  uint32_t nextStored;     // the stored countdown after the tick
  std::string statusText;  // "Time-out in m:ss" while counting; empty at expiry
};
Tick CountdownTick(uint32_t globalCountdown, uint32_t storedCountdown);
std::string TimeoutText(uint32_t seconds);

// User entries the monitor refuses, with the message it shows. A value on success, or
// the message in `error`.
std::optional<uint32_t> SecondsFromMinutes(const std::string& text, std::string& error);
bool PasswordFits(const std::string& password, std::string& error);
bool LogFileNameFits(const std::string& name, std::string& error);

// What the traffic message (wParam, lParam) asks of the monitor; kNone goes to the
// default window procedure.
enum class TrafficAction { kNone, kLog, kRightLamp, kLeftLamp, kPrompt };
TrafficAction ActionOfTraffic(WPARAM code, LPARAM lParam);
// The timer status text painting sets, or null to leave the text as it is.
const char* TimerStatusOnPaint(bool timerActive);

// --- The options dialog ---------------------------------------------------------------

enum class OptionsPage { kLogging = 0, kPassword = 1, kTimer = 2 };
constexpr int kOptionsPageCount = 3;
const char* PageTitle(OptionsPage page);
// The timer button opens the dialog on the Timer page, the options button on Logging.
OptionsPage FirstPage(bool fromTimerButton);
// The page a tab index stands for; anything unknown is the Logging page.
OptionsPage PageOfTab(int index);
// Every control of the three pages: all are hidden before a page shows.
const std::vector<int>& AllPageControls();

// What showing a page does: its controls show; some are made unusable and some emptied
// (every visit to the Password page starts afresh); the timer button may be relabelled.
struct PageLook {
  std::vector<int> shown;
  std::vector<int> disabled;
  std::vector<int> emptied;
  const char* timerButtonText;  // null: the button keeps its text
};
PageLook LookOfPage(OptionsPage page, bool timerActive);
// The controls the current password opens: the new-password edits, labels and button.
const std::vector<int>& NewPasswordControls();
// Whether the current-password field's text opens them (a later mismatch closes nothing).
inline bool OpensNewPassword(const std::string& entered, const char* stored) {
  return PasswordMatches(entered, stored);
}

// Change Password: the two entries must agree and fit; the message says which.
struct PasswordChange {
  bool accepted;
  std::string message;
  UINT flags;  // of the message box
};
PasswordChange CheckPasswordChange(const std::string& fresh, const std::string& again);

// What the timer button does; the choice follows the timer-active state, not the label.
struct TimerChange {
  bool start;        // false: stop
  uint32_t seconds;  // when starting
};
struct TimerPress {
  std::optional<TimerChange> change;  // none: refused
  std::string message;                // the refusal, or "Timer set!"; empty when stopping
  UINT flags;                         // of the message box
  // With a change: the button's label afterwards, and whether the minutes field and its
  // labels are usable. A refusal leaves the controls as they are.
  const char* buttonText;
  bool minutesUsable;
};
TimerPress PressTimerButton(bool timerActive, const std::string& minutesText);
// The minutes field and its two labels, which a running timer makes unusable.
const std::vector<int>& MinutesControls();

// The Logging page as OK takes it; the monitor stores it.
struct LoggingSettings {
  std::string fileName;
  bool fullyArmed = false;
  bool standBy = false;
};
// The message OK shows instead of storing, or nothing when the page may be stored.
std::optional<std::string> RefuseLogging(const LoggingSettings& settings);

// Message texts of the monitor's message boxes (caption kCaption, wayguard_app.h).
inline constexpr const char* kPasswordChanged = "Password successfully changed!";
inline constexpr const char* kPasswordMismatch = "New password re-entered wrongly!";
inline constexpr const char* kTimerSet = "Timer set!";
inline constexpr const char* kTimerEmpty = "Enter timer value first!";
inline constexpr const char* kTimerNotSet = "Timer not set";
inline constexpr const char* kTimerInactive = "Timer inactive";

}  // namespace wayguard
