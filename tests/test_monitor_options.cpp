// test_monitor_options.cpp - the options dialog's pages, the lock and unlock dialog, and
// the arming countdown, driven through the monitor window in this process. Every change
// is checked in the global state block and in the stored record read back and unscrambled.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <string.h>

#include "frame.h"
#include "monitor_fixture.h"
#include "monitor_rules.h"
#include "options_dialog.h"
#include "screenshot.h"

using namespace wayguard;

namespace {

bool visible(HWND dialog, int id) { return IsWindowVisible(GetDlgItem(dialog, id)) != FALSE; }
bool usable(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }
void type(HWND dialog, int id, const std::string& text) { SetDlgItemTextA(dialog, id, text.c_str()); }
void press(HWND dialog, int id) { SendDlgItemMessageA(dialog, id, BM_CLICK, 0, 0); }

void select_tab(HWND dialog, int page) {
  HWND tab = GetDlgItem(dialog, IDC_TAB);
  SendMessageA(tab, TCM_SETCURSEL, page, 0);
  NMHDR header{tab, IDC_TAB, (UINT)TCN_SELCHANGE};
  SendMessageA(dialog, WM_NOTIFY, IDC_TAB, (LPARAM)&header);
}

int current_tab(HWND dialog) { return (int)SendDlgItemMessageA(dialog, IDC_TAB, TCM_GETCURSEL, 0, 0); }

RECT placed(HWND dialog, int id) {
  RECT r;
  GetWindowRect(GetDlgItem(dialog, id), &r);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

// A check box or label stands on the tab's page: inside it, past its text, the page's
// colour shows, the same as just above it.
void expect_page_behind(HWND dialog, int id) {
  RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  RECT r = placed(dialog, id);
  HDC dc = GetDC(dialog);
  int y = (r.top + r.bottom) / 2;
  COLORREF inside = GetPixel(dc, r.right - 3, y), beside = GetPixel(dc, r.right - 3, r.top - 3);
  ReleaseDC(dialog, dc);
  EXPECT_EQ(inside, beside) << id << ": a band of another colour on the page";
}

// "Change Password" keeps its layout's left edge and top and is wide enough for its text.
void expect_change_password_fits(HWND dialog) {
  RECT layout{71, 86, 71 + 62, 86 + 14};
  MapDialogRect(dialog, &layout);
  RECT at = placed(dialog, IDC_CHANGE_PASSWORD);
  EXPECT_EQ(at.left, layout.left);
  EXPECT_EQ(at.top, layout.top);
  HWND button = GetDlgItem(dialog, IDC_CHANGE_PASSWORD);
  HDC dc = GetDC(button);
  HGDIOBJ old = SelectObject(dc, (HFONT)SendMessageA(button, WM_GETFONT, 0, 0));
  SIZE text{};
  GetTextExtentPoint32A(dc, "Change Password", 15, &text);
  SelectObject(dc, old);
  ReleaseDC(button, dc);
  EXPECT_LT(text.cx + 8, at.right - at.left) << "the text is cut";
}

const int kLogging[] = {IDC_FILENAME, IDC_LOG_FULLY_ARMED, IDC_FILENAME_LABEL, IDC_LOG_STAND_BY, IDC_BROWSE};
const int kPassword[] = {IDC_CURRENT_LABEL,  IDC_NEW_PASSWORD, IDC_NEW_LABEL,      IDC_CURRENT_PASSWORD,
                         IDC_AGAIN_PASSWORD, IDC_AGAIN_LABEL,  IDC_CHANGE_PASSWORD};
const int kNewPassword[] = {IDC_NEW_PASSWORD, IDC_AGAIN_PASSWORD, IDC_NEW_LABEL, IDC_AGAIN_LABEL, IDC_CHANGE_PASSWORD};
const int kTimer[] = {IDC_MINUTES, IDC_TIMER_LABEL, IDC_MINUTES_LABEL, IDC_SET_TIMER};

// Exactly one page's controls show.
void expect_page(HWND dialog, int page) {
  EXPECT_EQ(current_tab(dialog), page);
  for (int id : kLogging) EXPECT_EQ(visible(dialog, id), page == 0) << id;
  for (int id : kPassword) EXPECT_EQ(visible(dialog, id), page == 1) << id;
  for (int id : kTimer) EXPECT_EQ(visible(dialog, id), page == 2) << id;
}

}  // namespace

class OptionsTest : public MonitorTest {
 protected:
  void SetUp() override {
    MonitorTest::SetUp();
    PFW_OPTIONS o = default_options();
    strcpy(o.password, "Secret");
    arrange(o);
    start_monitor();
  }
  // Opens the options dialog with `button` and runs `steps` on it; the last step ends it.
  void with_options(int button, std::function<void(HWND)> steps) {
    DialogScript script;
    script.Then("Options", steps).Arm();
    click(button);
    EXPECT_TRUE(script.Finished());
  }
  // Ticks are sent by the test; the window timer that would send them too is slowed down.
  void tick() { send(WM_TIMER, CMonitorDialog::kCountdownTimer); }
  bool countdown_timer_running() {
    if (!KillTimer(hwnd(), CMonitorDialog::kCountdownTimer)) return false;
    SetTimer(hwnd(), CMonitorDialog::kCountdownTimer, 3600 * 1000, nullptr);
    return true;
  }
  void set_timer(const char* minutes) {
    with_options(IDC_TIMER, [&](HWND d) {
      type(d, IDC_MINUTES, minutes);
      press(d, IDC_SET_TIMER);
      press(d, IDCANCEL);
    });
    countdown_timer_running();
  }
};

TEST_F(OptionsTest, EachButtonOpensItsPage) {
  with_options(IDC_OPTIONS, [&](HWND d) {
    expect_page(d, 0);
    EXPECT_EQ(item_text(d, IDC_FILENAME), log_path);
    EXPECT_EQ(SendDlgItemMessageA(d, IDC_LOG_FULLY_ARMED, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(SendDlgItemMessageA(d, IDC_LOG_STAND_BY, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    for (int id : {IDC_LOG_FULLY_ARMED, IDC_LOG_STAND_BY}) expect_page_behind(d, id);
    winui::SaveScreenshot(d, "..\\screenshots\\options-logging.bmp");
    select_tab(d, 1);
    expect_page(d, 1);
    expect_change_password_fits(d);
    for (int id : {IDC_NEW_LABEL, IDC_AGAIN_LABEL}) expect_page_behind(d, id);  // disabled labels too
    winui::SaveScreenshot(d, "..\\screenshots\\options-password.bmp");
    type(d, IDC_CURRENT_PASSWORD, "Secret");
    RedrawWindow(d, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    winui::SaveScreenshot(d, "..\\screenshots\\options-password-open.bmp");
    press(d, IDCANCEL);
  });
  with_options(IDC_TIMER, [&](HWND d) {
    expect_page(d, 2);
    EXPECT_EQ(item_text(d, IDC_SET_TIMER), "Set Timer");
    EXPECT_TRUE(usable(d, IDC_MINUTES));
    winui::SaveScreenshot(d, "..\\screenshots\\options-timer.bmp");
    press(d, IDCANCEL);
  });
  with_options(IDC_OPTIONS, [&](HWND d) {  // the Timer flag does not stick
    expect_page(d, 0);
    press(d, IDCANCEL);
  });
}

TEST_F(OptionsTest, PasswordPageStartsEmptyOnEveryVisitAndOpensOnTheCurrentPassword) {
  with_options(IDC_OPTIONS, [&](HWND d) {
    select_tab(d, 1);
    for (int id : kNewPassword) EXPECT_FALSE(usable(d, id)) << id;
    for (const char* wrong : {"Secre", "secret", "Secret "}) {
      type(d, IDC_CURRENT_PASSWORD, wrong);
      EXPECT_FALSE(usable(d, IDC_NEW_PASSWORD)) << wrong;
    }
    type(d, IDC_CURRENT_PASSWORD, "Secret");
    for (int id : kNewPassword) EXPECT_TRUE(usable(d, id)) << id;
    type(d, IDC_CURRENT_PASSWORD, "Secretx");  // a later mismatch does not close them again
    EXPECT_TRUE(usable(d, IDC_CHANGE_PASSWORD));
    type(d, IDC_NEW_PASSWORD, "abc");
    type(d, IDC_AGAIN_PASSWORD, "abc");
    select_tab(d, 2);
    select_tab(d, 1);
    for (int id : {IDC_CURRENT_PASSWORD, IDC_NEW_PASSWORD, IDC_AGAIN_PASSWORD}) EXPECT_EQ(item_text(d, id), "") << id;
    for (int id : kNewPassword) EXPECT_FALSE(usable(d, id)) << id;
    press(d, IDCANCEL);
  });
  // With no password set, the new-password fields open as the page shows.
  PFW_SetPassword("");
  with_options(IDC_OPTIONS, [&](HWND d) {
    select_tab(d, 1);
    for (int id : kNewPassword) EXPECT_TRUE(usable(d, id)) << id;
    press(d, IDCANCEL);
  });
}

// Mismatch, too long, then a good change: only the last is stored, in both places.
TEST_F(OptionsTest, ChangePasswordStoresOnlyMatchingEntriesThatFit) {
  with_options(IDC_OPTIONS, [&](HWND d) {
    select_tab(d, 1);
    type(d, IDC_CURRENT_PASSWORD, "Secret");
    struct Case {
      std::string fresh, again;
      const char* message;
      UINT icon;
      const char* stored;
    } cases[] = {
        {"New One", "New one", kPasswordMismatch, MB_ICONEXCLAMATION, "Secret"},
        {std::string(60, 'p'), std::string(60, 'p'), "at most 59 characters", MB_ICONEXCLAMATION, "Secret"},
        {std::string(59, 'q'), std::string(59, 'q'), kPasswordChanged, MB_ICONINFORMATION, nullptr},
        {"New One", "New One", kPasswordChanged, MB_ICONINFORMATION, "New One"},
        {"", "", kPasswordChanged, MB_ICONINFORMATION, ""},
    };
    for (const Case& c : cases) {
      SCOPED_TRACE(c.fresh);
      boxes.clear();
      type(d, IDC_NEW_PASSWORD, c.fresh);
      type(d, IDC_AGAIN_PASSWORD, c.again);
      press(d, IDC_CHANGE_PASSWORD);
      ASSERT_EQ(boxes.size(), 1u);
      EXPECT_NE(boxes[0].text.find(c.message), std::string::npos) << boxes[0].text;
      EXPECT_EQ(boxes[0].caption, "Wayguard");
      EXPECT_EQ(boxes[0].flags & MB_ICONMASK, c.icon);
      std::string expected = c.stored ? c.stored : c.fresh;
      EXPECT_STREQ(PFW_GetPassword(), expected.c_str());
      PFW_OPTIONS s = stored();
      EXPECT_STREQ(s.password, expected.c_str());
      EXPECT_EQ(s.run_mode, PFW_MODE_FILTER);  // the rest of the record as it was
      EXPECT_EQ(s.log_fully_armed, 1);
      EXPECT_EQ(item_text(d, IDC_NEW_PASSWORD), c.fresh);  // the fields keep their texts
    }
    press(d, IDCANCEL);
  });
}

TEST_F(OptionsTest, OkStoresTheLoggingPageFromAnyPageAndCancelStoresNothing) {
  const std::string other = log_path + ".other.log";
  with_options(IDC_OPTIONS, [&](HWND d) {
    type(d, IDC_FILENAME, other);
    press(d, IDC_LOG_STAND_BY);
    press(d, IDCANCEL);
  });
  EXPECT_EQ(std::string(PFW_GetLogFileName()), log_path);
  EXPECT_EQ(stored_log_name(), log_path);
  EXPECT_EQ(PFW_GetLogStandBy(), 0);
  EXPECT_EQ(stored().log_stand_by, 0);

  with_options(IDC_TIMER, [&](HWND d) {
    type(d, IDC_FILENAME, other);  // hidden on this page, still what OK stores
    press(d, IDC_LOG_STAND_BY);
    press(d, IDC_LOG_FULLY_ARMED);
    press(d, IDOK);
  });
  EXPECT_EQ(std::string(PFW_GetLogFileName()), other);
  EXPECT_EQ(stored_log_name(), other);
  EXPECT_EQ(PFW_GetLogStandBy(), 1);
  EXPECT_EQ(PFW_GetLogFullyArmed(), 0);
  PFW_OPTIONS s = stored();
  EXPECT_EQ(s.log_stand_by, 1);
  EXPECT_EQ(s.log_fully_armed, 0);
  EXPECT_STREQ(s.password, "Secret");
}

TEST_F(OptionsTest, ALogNameTooLongToKeepIsRefusedAndTheDialogStaysOpen) {
  std::string longer(300, 'L');
  with_options(IDC_OPTIONS, [&](HWND d) {
    type(d, IDC_FILENAME, "C:\\" + longer);
    press(d, IDOK);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].text.find("at most 259 characters"), std::string::npos);
    EXPECT_TRUE(IsWindowVisible(d));
    press(d, IDCANCEL);
  });
  EXPECT_EQ(std::string(PFW_GetLogFileName()), log_path);
  EXPECT_EQ(stored_log_name(), log_path);
}

TEST_F(OptionsTest, BrowseThenOkStoresTheChosenFullPath) {
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  const std::string chosen = std::string(temp) + "chosen.log";
  DialogScript script;
  script.Then("Options", [&](HWND d) { post_click(d, IDC_BROWSE); })
      .Then("Open",
            [&](HWND open) {
              winui::SaveScreenshot(open, "..\\screenshots\\options-browse.bmp");
              for (int id : {1148, 1152}) SetDlgItemTextA(open, id, chosen.c_str());  // the name box, either style
              PostMessageA(open, WM_COMMAND, IDOK, 0);
            })
      .Then("Options", [&](HWND d) {
        EXPECT_EQ(item_text(d, IDC_FILENAME), chosen);
        EXPECT_EQ(std::string(PFW_GetLogFileName()), log_path);  // nothing stored yet
        press(d, IDOK);
      });
  script.Arm();
  click(IDC_OPTIONS);
  EXPECT_TRUE(script.Finished());
  EXPECT_EQ(std::string(PFW_GetLogFileName()), chosen);
  EXPECT_EQ(stored_log_name(), chosen);
}

// 2 minutes: 2:00 after the first tick, then 1:59 down to 0:01, then Block.
TEST_F(OptionsTest, TwoMinutesCountDownToBlock) {
  command(ID_SHOW_MONITOR);  // shown, so that its painting says the timer is not set
  set_timer("2");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, kTimerSet);
  EXPECT_EQ(boxes[0].flags, (UINT)MB_OK);
  EXPECT_EQ(PFW_GetTimerActive(), 1);
  EXPECT_EQ(stored().timer_active, 1);
  EXPECT_EQ(stored().timer_countdown, 120u);
  EXPECT_TRUE(countdown_timer_running());
  struct Step {
    int tick;
    const char* status;
    uint32_t stored_count;
  } steps[] = {{1, "Time-out in 2:00", 119},
               {2, "Time-out in 1:59", 118},
               {61, "Time-out in 1:00", 59},
               {62, "Time-out in 0:59", 58},
               {120, "Time-out in 0:01", 0}};
  int done = 0;
  for (const Step& s : steps) {
    while (done < s.tick) {
      tick();
      done++;
    }
    EXPECT_EQ(text(IDC_TIMER_STATUS), s.status);
    EXPECT_EQ(stored().timer_countdown, s.stored_count);
    EXPECT_EQ(PFW_GetRunMode(), PFW_MODE_FILTER);
  }
  screenshot(hwnd(), "monitor-countdown");
  tick();
  EXPECT_EQ(PFW_GetRunMode(), PFW_MODE_BLOCK);
  EXPECT_EQ(PFW_GetTimerActive(), 0);
  PFW_OPTIONS s = stored();
  EXPECT_EQ(s.run_mode, PFW_MODE_BLOCK);
  EXPECT_EQ(s.timer_active, 0);
  EXPECT_EQ(s.timer_countdown, 0xFFFFFFFFu);  // one below zero
  EXPECT_STREQ(s.password, "Secret");
  EXPECT_STREQ(last_tray(NIM_MODIFY)->data.szTip, "Tarnwall - Fully Armed");
  EXPECT_EQ(SendDlgItemMessageA(hwnd(), IDC_BLOCK, BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(monitor->modeIndex(), 2);
  EXPECT_FALSE(countdown_timer_running());
  winui::PumpMessages();
  EXPECT_EQ(text(IDC_TIMER_STATUS), kTimerNotSet);
}

TEST_F(OptionsTest, ZeroMinutesArmsAtTheFirstTickWithoutATimeoutText) {
  PFW_SetLockStatus(1);  // expiry arms also while locked
  set_timer("0");
  tick();
  EXPECT_EQ(PFW_GetRunMode(), PFW_MODE_BLOCK);
  EXPECT_EQ(text(IDC_TIMER_STATUS).find("Time-out"), std::string::npos);
  EXPECT_EQ(stored().timer_countdown, 0xFFFFFFFFu);
}

TEST_F(OptionsTest, StopShowsTimerNotSetAndSettingAgainStartsFromTheNewMinutes) {
  command(ID_SHOW_MONITOR);
  set_timer("5");
  tick();
  tick();
  EXPECT_EQ(text(IDC_TIMER_STATUS), "Time-out in 4:59");
  with_options(IDC_TIMER, [&](HWND d) {
    EXPECT_EQ(item_text(d, IDC_SET_TIMER), "Stop Timer");
    for (int id : {IDC_MINUTES, IDC_TIMER_LABEL, IDC_MINUTES_LABEL}) EXPECT_FALSE(usable(d, id)) << id;
    press(d, IDC_SET_TIMER);  // stop
    EXPECT_EQ(item_text(d, IDC_SET_TIMER), "Set Timer");
    EXPECT_TRUE(usable(d, IDC_MINUTES));
    EXPECT_EQ(PFW_GetTimerActive(), 0);
    EXPECT_EQ(stored().timer_active, 0);
    EXPECT_EQ(stored().timer_countdown, 298u);  // kept as it was
    EXPECT_EQ(item_text(hwnd(), IDC_TIMER_STATUS), kTimerNotSet);
    type(d, IDC_MINUTES, "1");
    press(d, IDC_SET_TIMER);
    press(d, IDCANCEL);
  });
  EXPECT_TRUE(countdown_timer_running());
  tick();
  EXPECT_EQ(text(IDC_TIMER_STATUS), "Time-out in 1:00");
}

// Empty, not a number, and too many minutes: each refused with its message, nothing set.
// The first is answered in a real message box.
TEST_F(OptionsTest, MinutesThatAreEmptyNotANumberOrTooManyAreRefused) {
  winui::SetMessageBoxHook({});
  DialogScript script;
  script.Then("Options", [&](HWND d) { post_click(d, IDC_SET_TIMER); })
      .Then("Wayguard",
            [&](HWND box) {
              winui::SaveScreenshot(box, "..\\screenshots\\monitor-timer-empty.bmp");
              char text[128] = "";
              HWND label = GetDlgItem(box, 0xFFFF);
              if (label) GetWindowTextA(label, text, sizeof text);
              EXPECT_STREQ(text, kTimerEmpty);
              PostMessageA(box, WM_COMMAND, IDOK, 0);
            })
      .Then("Options", [&](HWND d) {
        EXPECT_EQ(item_text(d, IDC_SET_TIMER), "Set Timer");
        press(d, IDCANCEL);
      });
  script.Arm();
  click(IDC_TIMER);
  EXPECT_TRUE(script.Finished());
  EXPECT_EQ(PFW_GetTimerActive(), 0);

  winui::SetMessageBoxHook([this](const winui::MessageBoxCall& call) {
    boxes.push_back(call);
    return IDOK;
  });
  with_options(IDC_TIMER, [&](HWND d) {
    for (const char* minutes : {"12abc", "-3", "71582789", "123456789012"}) {
      boxes.clear();
      type(d, IDC_MINUTES, minutes);  // pasted: the digits-only field lets a paste through
      press(d, IDC_SET_TIMER);
      ASSERT_EQ(boxes.size(), 1u) << minutes;
      EXPECT_EQ(boxes[0].caption, "Wayguard");
      EXPECT_NE(boxes[0].text, kTimerSet);
      EXPECT_EQ(item_text(d, IDC_SET_TIMER), "Set Timer");
    }
    press(d, IDCANCEL);
  });
  EXPECT_EQ(PFW_GetTimerActive(), 0);
  EXPECT_EQ(stored().timer_active, 0);
  EXPECT_FALSE(countdown_timer_running());
}

// The countdown runs on while the Timer page shows; after expiry the button still reads
// "Stop Timer", and pressing it sets a new countdown from the minutes in the field.
TEST_F(OptionsTest, ExpiryWhileTheTimerPageShows) {
  with_options(IDC_TIMER, [&](HWND d) {
    type(d, IDC_MINUTES, "0");
    press(d, IDC_SET_TIMER);
    SendMessageA(hwnd(), WM_TIMER, CMonitorDialog::kCountdownTimer, 0);
    EXPECT_EQ(PFW_GetRunMode(), PFW_MODE_BLOCK);
    EXPECT_EQ(PFW_GetTimerActive(), 0);
    EXPECT_EQ(item_text(d, IDC_SET_TIMER), "Stop Timer");
    boxes.clear();
    press(d, IDC_SET_TIMER);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, kTimerSet);
    EXPECT_EQ(PFW_GetTimerActive(), 1);
    press(d, IDCANCEL);
  });
  EXPECT_TRUE(countdown_timer_running());
}

TEST_F(OptionsTest, LockAndUnlockWithRightWrongAndCaseDifferingPasswords) {
  click(IDC_LOCK);
  EXPECT_EQ(PFW_GetLockStatus(), 1);
  EXPECT_EQ(stored().lock_status, 1);
  EXPECT_EQ(text(IDC_LOCK_STATUS), "Locked");
  for (int id : {IDC_STANDBY, IDC_FILTER, IDC_BLOCK, IDC_TIMER, IDC_OPTIONS}) EXPECT_FALSE(enabled(id)) << id;
  EXPECT_TRUE(enabled(IDC_LOCK));
  EXPECT_EQ((HICON)SendDlgItemMessageA(hwnd(), IDC_LOCK, BM_GETIMAGE, IMAGE_ICON, 0), monitor->ButtonIcon(IDI_LOCKED));
  command(ID_SHOW_MONITOR);
  command(ID_ADVANCED);
  screenshot(hwnd(), "monitor-locked");

  struct Case {
    const char* entered;
    int press_button;
    bool unlocks;
  } cases[] = {{"wrong", IDOK, false}, {"secret", IDOK, false}, {"Secret", IDCANCEL, false}, {"Secret", IDOK, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.entered);
    DialogScript script;
    script.Then("Tarnwall", [&](HWND unlock) {
      EXPECT_EQ(GetFocus(), GetDlgItem(unlock, IDC_UNLOCK_PASSWORD));
      type(unlock, IDC_UNLOCK_PASSWORD, c.entered);
      if (c.unlocks) winui::SaveScreenshot(unlock, "..\\screenshots\\unlock.bmp");
      press(unlock, c.press_button);
    });
    script.Arm();
    click(IDC_LOCK);
    EXPECT_TRUE(script.Finished());
    EXPECT_TRUE(boxes.empty());  // a wrong password closes without a word
    EXPECT_EQ(PFW_GetLockStatus(), c.unlocks ? 0 : 1);
    EXPECT_EQ(stored().lock_status, c.unlocks ? 0 : 1);
    EXPECT_EQ(text(IDC_LOCK_STATUS), c.unlocks ? "Unlocked" : "Locked");
    for (int id : {IDC_STANDBY, IDC_FILTER, IDC_BLOCK, IDC_TIMER, IDC_OPTIONS, IDC_LOCK})
      EXPECT_EQ(enabled(id), c.unlocks || id == IDC_LOCK) << id;
  }
  EXPECT_EQ((HICON)SendDlgItemMessageA(hwnd(), IDC_LOCK, BM_GETIMAGE, IMAGE_ICON, 0),
            monitor->ButtonIcon(IDI_UNLOCKED));
  EXPECT_STREQ(stored().password, "Secret");
}
