// test_monitor_rules.cpp - the monitor's rules without a window: the countdown, the
// refused entries, the mode table's lookups, the lock, the connection log's text, the
// traffic message's codes and the options dialog's pages and buttons.
#include <gtest/gtest.h>

#include <algorithm>

#include <stdio.h>
#include <string.h>
#include <windows.h>

#include "connection_log.h"
#include "monitor_rules.h"
#include "wayguard_app.h"
#include "wayguard_ids.h"

using namespace wayguard;

TEST(MonitorRules, ModesTipsAndMenuState) {
  struct Case {
    int mode, index, button;
    UINT command, icon;
    const char *start, *change;
  } cases[] = {
      {PFW_MODE_STANDBY, 0, IDC_STANDBY, ID_MODE_STANDBY, IDI_STANDBY, "Tarnwall - Stand By", "Tarnwall - Stand By"},
      {PFW_MODE_FILTER, 1, IDC_FILTER, ID_MODE_FILTER, IDI_FILTER, "Tarnwall - Filter", "Tarnwall - Armed and Active"},
      {PFW_MODE_BLOCK, 2, IDC_BLOCK, ID_MODE_BLOCK, IDI_BLOCK, "Tarnwall - Block", "Tarnwall - Fully Armed"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ModeIndexOf(c.mode), c.index);
    EXPECT_EQ(ModeOfButton(c.button), c.mode);
    EXPECT_EQ(ModeOfCommand(c.command), c.mode);
    EXPECT_EQ(TrayIcon(c.mode), c.icon);
    EXPECT_EQ(TrayTip(c.mode, true), c.start);
    EXPECT_EQ(TrayTip(c.mode, false), c.change);
    EXPECT_EQ(MenuFor(c.mode, false, false, false).checkedMode, c.command);
  }
  // A mode the monitor never sets: nothing painted or checked, but a tip and an icon all the same.
  for (int odd : {-1, 3, 1000}) {
    EXPECT_EQ(LookOfMode(odd), nullptr);
    EXPECT_EQ(ModeIndexOf(odd), -1);
    EXPECT_EQ(MenuFor(odd, false, false, false).checkedMode, 0u);
    EXPECT_NE(TrayIcon(odd), 0u);
    EXPECT_FALSE(TrayTip(odd, true).empty());
  }
  EXPECT_EQ(ModeOfButton(IDC_LOCK), -1);
  EXPECT_EQ(ModeOfCommand(ID_ABOUT), -1);
  MenuState locked = MenuFor(PFW_MODE_BLOCK, true, true, true);
  EXPECT_TRUE(locked.modesGrayed && locked.advancedChecked);
  EXPECT_STREQ(locked.showText, "Hide Monitor");
  EXPECT_STREQ(MenuFor(PFW_MODE_BLOCK, false, false, false).showText, "Show Monitor");
  EXPECT_EQ(MonitorHeight(false), 125);
  EXPECT_EQ(MonitorHeight(true), 205);
}

TEST(MonitorRules, LockLooksAndPasswordsCompareExactly) {
  EXPECT_STREQ(LookOfLock(true).statusText, "Locked");
  EXPECT_FALSE(LookOfLock(true).controlsEnabled);
  EXPECT_EQ(LookOfLock(true).lockIcon, (UINT)IDI_LOCKED);
  EXPECT_STREQ(LookOfLock(false).statusText, "Unlocked");
  EXPECT_TRUE(LookOfLock(false).controlsEnabled);
  EXPECT_EQ(LookOfLock(false).lockIcon, (UINT)IDI_UNLOCKED);
  struct Case {
    const char *entered, *stored;
    bool match;
  } cases[] = {{"Secret", "Secret", true},
               {"secret", "Secret", false},
               {"Secret ", "Secret", false},
               {"Secre", "Secret", false},
               {"", "", true},
               {"x", "", false},
               {"", nullptr, false}};
  for (const Case& c : cases) EXPECT_EQ(PasswordMatches(c.entered, c.stored), c.match) << c.entered;
}

// With N minutes set the first tick shows N:00, tick N*60 shows 0:01, the next expires; the
// stored copy goes down with it and once more at expiry, ending one below zero.
TEST(MonitorRules, CountdownRunsDownToBlockAndTheStoredCountEndsBelowZero) {
  for (uint32_t minutes : {0u, 1u, 2u}) {
    uint32_t global = minutes * 60, storedCount = minutes * 60;
    std::vector<std::string> shown;
    int ticks = 0;
    for (;;) {
      Tick t = CountdownTick(global, storedCount);
      ticks++;
      storedCount = t.nextStored;
      if (t.expired) {
        EXPECT_TRUE(t.statusText.empty());
        break;
      }
      global = t.nextGlobal;
      shown.push_back(t.statusText);
      ASSERT_LT(ticks, 1000);
    }
    EXPECT_EQ(ticks, (int)minutes * 60 + 1);
    EXPECT_EQ(storedCount, 0xFFFFFFFFu);
    EXPECT_EQ(global, 0u);
    if (minutes == 2) {
      EXPECT_EQ(shown.front(), "Time-out in 2:00");
      EXPECT_EQ(shown[1], "Time-out in 1:59");
      EXPECT_EQ(shown[60], "Time-out in 1:00");
      EXPECT_EQ(shown[61], "Time-out in 0:59");
      EXPECT_EQ(shown.back(), "Time-out in 0:01");
    }
  }
  EXPECT_EQ(TimeoutText(0xFFFFFFFCu), "Time-out in 71582788:12");  // counted unsigned
}

TEST(MonitorRules, MinutesPasswordsAndLogNamesAreRefusedWithAMessage) {
  struct Minutes {
    const char* text;
    bool ok;
    uint32_t seconds;
    const char* error_part;
  } minutes[] = {
      {"0", true, 0, nullptr},
      {"2", true, 120, nullptr},
      {" 15 ", true, 900, nullptr},
      {"71582788", true, 4294967280u, nullptr},
      {"71582789", false, 0, "at most 71582788 minutes"},
      {"99999999999999999999", false, 0, "at most"},
      {"", false, 0, "Enter timer value first!"},
      {"   ", false, 0, "Enter timer value first!"},
      {"12abc", false, 0, "whole number"},
      {"-5", false, 0, "whole number"},
      {"1.5", false, 0, "whole number"},
  };
  for (const Minutes& m : minutes) {
    std::string error;
    std::optional<uint32_t> seconds = SecondsFromMinutes(m.text, error);
    EXPECT_EQ(seconds.has_value(), m.ok) << m.text;
    if (m.ok) {
      EXPECT_EQ(*seconds, m.seconds) << m.text;
    } else {
      EXPECT_NE(error.find(m.error_part), std::string::npos) << m.text << ": " << error;
    }
  }
  std::string error;
  EXPECT_TRUE(PasswordFits(std::string(59, 'p'), error));
  EXPECT_FALSE(PasswordFits(std::string(60, 'p'), error));
  EXPECT_NE(error.find("at most 59 characters"), std::string::npos);
  EXPECT_TRUE(LogFileNameFits(std::string(259, 'f'), error));
  for (size_t length : {260u, 499u, 500u, 5000u}) {
    error.clear();
    EXPECT_FALSE(LogFileNameFits(std::string(length, 'f'), error)) << length;
    EXPECT_NE(error.find("at most 259 characters"), std::string::npos);
  }
}

TEST(MonitorRules, TrafficTextEndsAtItsNulOrAt199) {
  PFW_TRAFFIC record;
  memset(record.text, 'x', sizeof record.text);
  EXPECT_EQ(TrafficText(record), std::string(199, 'x'));
  strcpy(record.text, "short\n");
  EXPECT_EQ(TrafficText(record), "short\n");
  record.text[0] = 0;
  EXPECT_EQ(TrafficText(record), "");
  EXPECT_EQ(InTextMode("a\nb\r\n\n"), "a\r\nb\r\r\n\r\n");
  EXPECT_EQ(InTextMode("no end"), "no end");
  EXPECT_FALSE(AppendToLog("", "x"));
  EXPECT_FALSE(AppendToLog(nullptr, "x"));
}

// The writer keeps the order lines were handed over in, writes what is still queued when it
// ends, and takes each line's file name as it was handed over.
TEST(MonitorRules, LogWriterKeepsOrderAndWritesWhatIsQueuedWhenItEnds) {
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  const std::string first = std::string(temp) + "writer-first.log", second = std::string(temp) + "writer-second.log";
  DeleteFileA(first.c_str());
  DeleteFileA(second.c_str());
  std::string expected;
  {
    LogWriter writer;
    for (int i = 0; i < 2000; i++) {
      std::string line = "line " + std::to_string(i) + "\n";
      writer.Append(first.c_str(), line);
      expected += InTextMode(line);
    }
    writer.Append(second.c_str(), "elsewhere\n");
    writer.Append("", "dropped\n");
  }
  auto read = [](const std::string& path) {
    std::string all;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return all;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) all.append(buffer, n);
    fclose(f);
    return all;
  };
  EXPECT_EQ(read(first), expected);
  EXPECT_EQ(read(second), "elsewhere\r\n");
  DeleteFileA(first.c_str());
  DeleteFileA(second.c_str());
}

// The traffic message's codes: 1 logs, 2 lights the right lamp for lParam 1 and the left for
// anything else, 3 asks the user; every other code is not the monitor's.
TEST(MonitorRules, TrafficCodesAndTheTimerTextOnPaint) {
  EXPECT_EQ(ActionOfTraffic(PFW_TRAFFIC_NOTIFY, 0), TrafficAction::kLog);
  EXPECT_EQ(ActionOfTraffic(PFW_ACTIVITY_NOTIFY, 1), TrafficAction::kRightLamp);
  for (LPARAM other : {0, 2, -1}) EXPECT_EQ(ActionOfTraffic(PFW_ACTIVITY_NOTIFY, other), TrafficAction::kLeftLamp);
  EXPECT_EQ(ActionOfTraffic(PFW_PROMPT_NOTIFY, 0), TrafficAction::kPrompt);
  for (WPARAM code : {0, 4, 99}) EXPECT_EQ(ActionOfTraffic(code, 1), TrafficAction::kNone) << code;
  EXPECT_STREQ(TimerStatusOnPaint(false), "Timer not set");
  EXPECT_EQ(TimerStatusOnPaint(true), nullptr);
  EXPECT_EQ(kSplashMs, 2000u);
}

// Which page opens, what each page shows, and that showing one hides the others' controls.
TEST(MonitorRules, OptionsPagesShowTheirControlsAndThePasswordPageStartsAfresh) {
  EXPECT_EQ(FirstPage(true), OptionsPage::kTimer);
  EXPECT_EQ(FirstPage(false), OptionsPage::kLogging);
  EXPECT_EQ(PageOfTab(1), OptionsPage::kPassword);
  EXPECT_EQ(PageOfTab(2), OptionsPage::kTimer);
  for (int odd : {0, -1, 3}) EXPECT_EQ(PageOfTab(odd), OptionsPage::kLogging) << odd;
  EXPECT_STREQ(PageTitle(OptionsPage::kLogging), "Logging");
  EXPECT_STREQ(PageTitle(OptionsPage::kPassword), "Password");
  EXPECT_STREQ(PageTitle(OptionsPage::kTimer), "Timer");

  auto sorted = [](std::vector<int> v) {
    std::sort(v.begin(), v.end());
    return v;
  };
  std::vector<int> every;
  for (int page = 0; page < kOptionsPageCount; page++) {
    PageLook look = LookOfPage(static_cast<OptionsPage>(page), false);
    every.insert(every.end(), look.shown.begin(), look.shown.end());
  }
  EXPECT_EQ(sorted(every), sorted(AllPageControls())) << "each control on one page";
  EXPECT_EQ(sorted(LookOfPage(OptionsPage::kLogging, true).shown),
            sorted({IDC_FILENAME, IDC_LOG_FULLY_ARMED, IDC_FILENAME_LABEL, IDC_LOG_STAND_BY, IDC_BROWSE}));

  PageLook password = LookOfPage(OptionsPage::kPassword, false);
  EXPECT_EQ(sorted(password.disabled), sorted(NewPasswordControls()));
  EXPECT_EQ(sorted(NewPasswordControls()),
            sorted({IDC_NEW_PASSWORD, IDC_AGAIN_PASSWORD, IDC_NEW_LABEL, IDC_AGAIN_LABEL, IDC_CHANGE_PASSWORD}));
  EXPECT_EQ(sorted(password.emptied), sorted({IDC_CURRENT_PASSWORD, IDC_NEW_PASSWORD, IDC_AGAIN_PASSWORD}));
  // The current password opens the new fields only when it matches exactly; none set: at once.
  EXPECT_TRUE(OpensNewPassword("Secret", "Secret"));
  for (const char* wrong : {"Secre", "secret", "Secret "}) EXPECT_FALSE(OpensNewPassword(wrong, "Secret")) << wrong;
  EXPECT_TRUE(OpensNewPassword("", ""));

  PageLook idle = LookOfPage(OptionsPage::kTimer, false), running = LookOfPage(OptionsPage::kTimer, true);
  EXPECT_EQ(sorted(idle.shown), sorted({IDC_MINUTES, IDC_TIMER_LABEL, IDC_MINUTES_LABEL, IDC_SET_TIMER}));
  EXPECT_TRUE(idle.disabled.empty());
  EXPECT_EQ(idle.timerButtonText, nullptr) << "keeps its label";
  EXPECT_EQ(sorted(running.disabled), sorted(MinutesControls()));
  EXPECT_STREQ(running.timerButtonText, "Stop Timer");
}

// Mismatch, too long, then good entries; an empty password entered twice is a password too.
TEST(MonitorRules, PasswordChangesNeedTwoEqualEntriesThatFit) {
  struct Case {
    std::string fresh, again;
    bool accepted;
    const char* message;
    UINT icon;
  } cases[] = {
      {"New One", "New one", false, kPasswordMismatch, MB_ICONEXCLAMATION},
      {std::string(60, 'p'), std::string(60, 'p'), false, "at most 59 characters", MB_ICONEXCLAMATION},
      {std::string(59, 'q'), std::string(59, 'q'), true, kPasswordChanged, MB_ICONINFORMATION},
      {"", "", true, kPasswordChanged, MB_ICONINFORMATION},
  };
  for (const Case& c : cases) {
    PasswordChange change = CheckPasswordChange(c.fresh, c.again);
    EXPECT_EQ(change.accepted, c.accepted) << c.fresh;
    EXPECT_NE(change.message.find(c.message), std::string::npos) << change.message;
    EXPECT_EQ(change.flags & MB_ICONMASK, c.icon) << c.fresh;
  }
}

// The timer button follows the timer-active state, not its label: running, it stops and
// gives the minutes back; idle, it starts from the minutes or refuses them unchanged.
TEST(MonitorRules, TheTimerButtonStartsStopsOrRefuses) {
  TimerPress stop = PressTimerButton(true, "5");
  ASSERT_TRUE(stop.change.has_value());
  EXPECT_FALSE(stop.change->start);
  EXPECT_TRUE(stop.message.empty());
  EXPECT_STREQ(stop.buttonText, "Set Timer");
  EXPECT_TRUE(stop.minutesUsable);

  TimerPress start = PressTimerButton(false, "2");
  ASSERT_TRUE(start.change.has_value());
  EXPECT_TRUE(start.change->start);
  EXPECT_EQ(start.change->seconds, 120u);
  EXPECT_EQ(start.message, kTimerSet);
  EXPECT_EQ(start.flags, (UINT)MB_OK);
  EXPECT_STREQ(start.buttonText, "Stop Timer");
  EXPECT_FALSE(start.minutesUsable);

  TimerPress empty = PressTimerButton(false, "");
  EXPECT_FALSE(empty.change.has_value());
  EXPECT_EQ(empty.message, kTimerEmpty);
  EXPECT_EQ(empty.flags, (UINT)MB_OK);
  EXPECT_EQ(empty.buttonText, nullptr) << "a refusal leaves the button as it is";
  for (const char* minutes : {"12abc", "-3", "71582789", "123456789012"}) {
    TimerPress refused = PressTimerButton(false, minutes);
    EXPECT_FALSE(refused.change.has_value()) << minutes;
    EXPECT_NE(refused.message, kTimerSet) << minutes;
    EXPECT_EQ(refused.flags & MB_ICONMASK, (UINT)MB_ICONEXCLAMATION) << minutes;
  }
}

TEST(MonitorRules, OkRefusesALogNameTooLongToKeep) {
  EXPECT_FALSE(RefuseLogging(LoggingSettings{"C:\\x.log", true, false}).has_value());
  EXPECT_FALSE(RefuseLogging(LoggingSettings{"", false, false}).has_value()) << "an empty name is stored";
  std::optional<std::string> refused = RefuseLogging(LoggingSettings{"C:\\" + std::string(300, 'L'), false, false});
  ASSERT_TRUE(refused.has_value());
  EXPECT_NE(refused->find("at most 259 characters"), std::string::npos);
}
