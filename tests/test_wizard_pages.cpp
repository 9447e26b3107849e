// Kindler's window in this process, driven by the clicks and keys a user gives: one
// wiring case per page (the control reaches the decision, the decision reaches the
// controls), the provider-page messages, the exit question, start-up failures and Finish.
// Where Next and Back lead, and what each page shows, is tested without a window
// (test_wizard_flow.cpp). The data files lie in a folder of the suite's own, which is the
// current directory while a case runs, as the program's folder is for the wizard.
#include <windows.h>
#include <commctrl.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "controls.h"
#include "dialog_script.h"
#include "frame.h"
#include "frm_wizard.h"
#include "help/tarnwall_help.h"
#include "kindler_ids.h"
#include "registry_fixture.h"
#include "screenshot.h"
#include "seams.h"

using namespace kindler;

namespace {

std::string BinDir() {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string s = path;
  return s.substr(0, s.find_last_of("\\/"));
}

void WriteFile(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

std::string Record(const std::string& group, const std::string& app, int port) {
  return group + ",Service of " + app + "," + app + ",Port" + std::to_string(port) + "," + std::to_string(port) +
         ",TCP,OUT,ALL\r\n";
}

const char kProviders[] =
    "A.LST,A.ICO,Alpha Net\r\nB.LST,B.ICO,Bravo Online\r\nC.LST,C.ICO,Cobalt\r\n"
    "E.LST,E.ICO,Empty Link\r\nX.LST,X.ICO,Broken Line\r\n";
constexpr int kOtherItem = 5;

// Whether a quit waits in this thread's queue: a message box shown then ends at once on
// Windows, before anyone can read it.
bool QuitPending() {
  MSG msg;
  return PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE) != FALSE;
}

// A left click in the middle of a control, handled by the control itself. With `pump`,
// whatever the click leads to has run when this returns, unless it opened a modal loop;
// without, the modal loop the caller is in takes the click.
void Click(HWND control, bool pump = true) {
  RECT r;
  GetClientRect(control, &r);
  LPARAM at = MAKELPARAM(r.right / 2, r.bottom / 2);
  PostMessageA(control, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageA(control, WM_LBUTTONUP, 0, at);
  if (pump) winui::PumpMessages();
}

class WizardPagesTest : public ::testing::Test {
 protected:
  // The data files once for every case.
  static void SetUpTestSuite() {
    winui::InitCommonControls();
    dir_ = BinDir() + "\\wizard_pages";
    CreateDirectoryA(dir_.c_str(), nullptr);
    const std::string icon = BinDir() + "\\trffc13.ico";
    for (const char* name : {"trffc13.ico", "A.ICO", "B.ICO", "C.ICO", "E.ICO", "X.ICO"})
      CopyFileA(icon.c_str(), (dir_ + "\\" + name).c_str(), FALSE);
    // A: five groups; B: one more and a shared one; C: one shared; E: none; X: a bad record.
    WriteFile(dir_ + "\\A.LST", Record("Email", "mail.exe", 25) + Record("Web", "web.exe", 80) +
                                    Record("News", "news.exe", 119) + Record("Files", "ftp.exe", 21) +
                                    Record("Chat", "chat.exe", 6667));
    WriteFile(dir_ + "\\B.LST", Record("Web", "browser.exe", 443) + Record("Games", "games.exe", 2800));
    WriteFile(dir_ + "\\C.LST", Record("Email", "cmail.exe", 110));
    WriteFile(dir_ + "\\E.LST", "\r\n");
    WriteFile(dir_ + "\\X.LST", Record("Email", "mail.exe", 25) + "Web,Browser,web.exe,HTTP,80,tcp,OUT,ALL\r\n");
  }

  void SetUp() override {
    GetCurrentDirectoryA(MAX_PATH, previous_);
    SetCurrentDirectoryA(dir_.c_str());
    WriteFile("PROVIDER.LST", kProviders);
    winui::SetMessageBoxHook([this](const winui::MessageBoxCall& call) {
      boxes_.push_back(call);
      return answer_;
    });
  }
  void TearDown() override {
    wizard_.reset();
    winui::SetMessageBoxHook({});
    winui::SetHelpHook({});
    SetCurrentDirectoryA(previous_);
    if (registry_) regtest::delete_maker_key();
  }

  void Start(const char* library = "tessary") {
    lists_ = std::make_unique<WizardLists>(ReadFileFromDisk, [](const std::string& message) {
      winui::ShowMessageBox(nullptr, message.c_str(), kSetupTitle, MB_ICONEXCLAMATION | MB_OK);
    });
    wizard_ = std::make_unique<FrmWizard>(*lists_, library);
    wizard_->SetProgramStarter([this](const std::string& command) {
      started_.push_back(command);
      return startResult_;
    });
    ASSERT_TRUE(StartWizard(*wizard_, *lists_));
    hwnd_ = wizard_->hwnd();
  }
  void InstallStore(const char* edictorPath) {
    regtest::make_layout();
    regtest::install_starting_set();
    registry_ = true;
    if (edictorPath)
      ASSERT_TRUE(regtest::write_string(regtest::kRules, "EdictorPath", edictorPath));
    else
      regtest::delete_value(regtest::kRules, "EdictorPath");
  }

  HWND Control(int id) const { return GetDlgItem(hwnd_, id); }
  HWND Row(int r) const { return Control(IDC_PICS(r)); }
  HWND Option(int r, int i) const { return GetDlgItem(Row(r), IDC_OPTS(r, i)); }
  bool Visible(HWND control) const { return IsWindowVisible(control) != FALSE; }
  bool Checked(int r, int i) const { return IsDlgButtonChecked(Row(r), IDC_OPTS(r, i)) == BST_CHECKED; }
  void Next() { Click(Control(IDC_CMDNEXT)); }
  void Back() { Click(Control(IDC_CMDBACK)); }
  void Choose(std::vector<int> items) {
    HWND list = Control(IDC_LVWPROVIDERS);
    ListView_SetItemState(list, -1, 0, LVIS_SELECTED);
    for (int i : items) ListView_SetItemState(list, i, LVIS_SELECTED, LVIS_SELECTED);
  }
  std::string Text(HWND control) const {
    char text[1024] = "";
    GetWindowTextA(control, text, sizeof text);
    return text;
  }
  void Shot(const char* name) {
    winui::PumpMessages();
    RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
    std::string shots = BinDir() + "\\..\\screenshots";
    CreateDirectoryA(shots.c_str(), nullptr);
    winui::SaveScreenshot(hwnd_, (shots + "\\" + name + ".bmp").c_str());
  }
  // From page 1 through the provider page with these providers chosen.
  void AcceptProviders(std::vector<int> items) {
    Next();
    Choose(items);
    Next();
  }

  static std::string dir_;
  char previous_[MAX_PATH] = "";
  std::unique_ptr<WizardLists> lists_;
  std::unique_ptr<FrmWizard> wizard_;
  HWND hwnd_ = nullptr;
  std::vector<winui::MessageBoxCall> boxes_;
  int answer_ = IDOK;
  std::vector<std::string> started_;
  bool startResult_ = true;
  bool registry_ = false;
};

std::string WizardPagesTest::dir_;

// Pages 1 to 4 and 6 along the provider path, and back: each page's controls show what
// the page state says, the buttons reach Next and Back, and an option reaches its group.
TEST_F(WizardPagesTest, ProviderPathShowsEachPage) {
  Start();
  EXPECT_EQ(ListView_GetItemCount(Control(IDC_LVWPROVIDERS)), 6);
  EXPECT_FALSE(IsWindowEnabled(Control(IDC_CMDBACK)));
  EXPECT_TRUE(Visible(Control(IDC_LBLPAGE1A)));
  Shot("kindler_page1");
  Next();
  ASSERT_EQ(wizard_->currentPage(), 2);
  EXPECT_FALSE(Visible(Control(IDC_LBLPAGE1A)));
  EXPECT_TRUE(Visible(Control(IDC_LVWPROVIDERS)));
  EXPECT_TRUE(IsWindowEnabled(Control(IDC_CMDBACK)));
  Choose({0, 1});
  Shot("kindler_page2");
  Next();
  ASSERT_EQ(wizard_->currentPage(), 3);
  EXPECT_FALSE(Visible(Control(IDC_LVWPROVIDERS)));
  EXPECT_EQ(Text(Control(IDC_LBLPAGE3A)).substr(0, 62),
            "As a user of Alpha Net and Bravo Online, Tarnwall gives you th");
  Shot("kindler_page3");
  Next();
  ASSERT_EQ(wizard_->currentPage(), 4);
  for (int r = 1; r <= 5; ++r) EXPECT_TRUE(Visible(Row(r))) << r;
  EXPECT_EQ(Text(GetDlgItem(Row(1), IDC_LBLS(1))), "Email");
  EXPECT_TRUE(Checked(1, 1));  // new groups ask
  Click(Option(2, 0));         // Deny for Web
  EXPECT_EQ(lists_->Groups()[1].access, kDeny);
  // The row with the focus shows its name in bold.
  LOGFONTA font{};
  GetObjectA((HFONT)SendMessageA(GetDlgItem(Row(2), IDC_LBLS(2)), WM_GETFONT, 0, 0), sizeof font, &font);
  EXPECT_EQ(font.lfWeight, FW_BOLD);
  Shot("kindler_page4");
  Next();
  ASSERT_EQ(wizard_->groupPage(), 1);
  EXPECT_EQ(Text(GetDlgItem(Row(1), IDC_LBLS(1))), "Games");
  for (int r = 2; r <= 5; ++r) EXPECT_FALSE(Visible(Row(r))) << r;
  Click(Option(1, 2));  // Allow for Games
  EXPECT_EQ(lists_->Groups()[5].access, kAllow);
  Next();
  ASSERT_EQ(wizard_->currentPage(), 6);
  EXPECT_EQ(Text(Control(IDC_CMDNEXT)), "&Finish");
  EXPECT_TRUE(Visible(Control(IDC_CHKSTARTEDICTOR)));
  EXPECT_FALSE(Visible(Control(IDC_LBLPAGE6D)));
  Shot("kindler_page6");
  // Back from 6: the last group-row page, with the choice shown as set.
  Back();
  EXPECT_EQ(wizard_->currentPage(), 4);
  EXPECT_EQ(wizard_->groupPage(), 1);
  EXPECT_EQ(Text(Control(IDC_CMDNEXT)), "&Next >");
  EXPECT_FALSE(Visible(Control(IDC_CHKSTARTEDICTOR)));
  EXPECT_TRUE(Checked(1, 2));
  Back();
  EXPECT_EQ(wizard_->groupPage(), 0);
  EXPECT_TRUE(Checked(2, 0));
  Back();
  EXPECT_EQ(wizard_->currentPage(), 3);
  for (int r = 1; r <= 5; ++r) EXPECT_FALSE(Visible(Row(r))) << r;
  Back();
  Back();
  EXPECT_EQ(wizard_->currentPage(), 1);
  EXPECT_TRUE(Visible(Control(IDC_LBLPAGE1A)));
  EXPECT_FALSE(IsWindowEnabled(Control(IDC_CMDBACK)));
  EXPECT_TRUE(boxes_.empty());
}

// Page 5 on the "Other" path, and the keys: Enter is Next.
TEST_F(WizardPagesTest, OtherAloneShowsPageFive) {
  Start();
  AcceptProviders({kOtherItem});
  ASSERT_EQ(wizard_->currentPage(), 5);
  EXPECT_TRUE(wizard_->otherOnly());
  EXPECT_TRUE(Visible(Control(IDC_LBLPAGE5A)));
  Shot("kindler_page5");
  HWND next = Control(IDC_CMDNEXT);
  ASSERT_EQ(GetFocus(), next);
  PostMessageA(next, WM_KEYDOWN, VK_RETURN, 0);
  PostMessageA(next, WM_KEYUP, VK_RETURN, 0);
  // Through the wizard's own loop, as the program's dialog keys go.
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (IsDialogMessageA(hwnd_, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  EXPECT_EQ(wizard_->currentPage(), 6);
  Back();
  EXPECT_EQ(wizard_->currentPage(), 5);
  EXPECT_TRUE(Visible(Control(IDC_LBLPAGE5A)));
  Back();
  EXPECT_EQ(wizard_->currentPage(), 2);
  EXPECT_FALSE(Visible(Control(IDC_LBLPAGE5A)));
}

// A refusal and a failing list keep page 2 and are shown in the right words and titles.
TEST_F(WizardPagesTest, ProviderPageRefusalsAreShown) {
  Start();
  Next();
  Choose({0, kOtherItem});
  Next();
  EXPECT_EQ(wizard_->currentPage(), 2);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text,
            "'Other' may only be selected on its own.  Please select at least one Internet Service Provider.  "
            "If your provider is not listed, select 'Other'.");
  EXPECT_EQ(boxes_[0].caption, kConfigurationTitle);
  EXPECT_EQ(boxes_[0].flags, UINT(MB_ICONEXCLAMATION | MB_OK));
  Choose({4});
  Next();
  EXPECT_EQ(wizard_->currentPage(), 2);
  ASSERT_EQ(boxes_.size(), 2u);
  EXPECT_EQ(boxes_[1].text, "Errors found processing application list for Broken Line (X.LST).");
  EXPECT_EQ(boxes_[1].caption, kSetupTitle);
  EXPECT_TRUE(Visible(Control(IDC_LVWPROVIDERS)));
}

// The real message box, answered by a click on its OK button.
TEST_F(WizardPagesTest, ARealMessageBoxIsAnswered) {
  Start();
  Next();
  winui::SetMessageBoxHook({});
  Choose({});
  DialogScript script;
  script.Then(kConfigurationTitle, [](HWND box) { Click(GetDlgItem(box, IDOK), false); });
  EXPECT_TRUE(script.Run([&] { Next(); }));
  EXPECT_EQ(wizard_->currentPage(), 2);
  EXPECT_TRUE(IsWindowVisible(hwnd_));
}

TEST_F(WizardPagesTest, ProvidersWithoutServicesSkipTheGroupPage) {
  Start();
  AcceptProviders({3});
  ASSERT_EQ(wizard_->currentPage(), 3);
  Next();
  ASSERT_EQ(wizard_->currentPage(), 6);
  EXPECT_TRUE(Visible(Control(IDC_LBLPAGE6D)));
  Shot("kindler_page6_no_services");
  Back();
  EXPECT_EQ(wizard_->currentPage(), 3);
  EXPECT_FALSE(Visible(Control(IDC_LBLPAGE6D)));
  for (int r = 1; r <= 5; ++r) EXPECT_FALSE(Visible(Row(r)));
}

TEST_F(WizardPagesTest, ExitQuestionOnCloseBoxAndCancel) {
  Start();
  Next();
  answer_ = IDNO;
  SendMessageA(hwnd_, WM_SYSCOMMAND, SC_CLOSE, 0);
  ASSERT_TRUE(IsWindow(hwnd_));
  EXPECT_EQ(wizard_->currentPage(), 2);
  EXPECT_TRUE(Visible(Control(IDC_LVWPROVIDERS)));
  Click(Control(IDC_CMDCANCEL));
  ASSERT_TRUE(IsWindow(hwnd_));
  EXPECT_TRUE(wizard_->cancelRequested());
  ASSERT_EQ(boxes_.size(), 2u);
  for (const auto& box : boxes_) {
    EXPECT_EQ(box.text,
              "Click 'Yes' if you are sure you want to exit the Tarnwall Setup Wizard.  You may run the wizard at any "
              "time should you so desire.");
    EXPECT_EQ(box.caption, kConfigurationTitle);
    EXPECT_EQ(box.flags, UINT(MB_YESNO | MB_ICONQUESTION));
  }
  answer_ = IDYES;
  Click(Control(IDC_CMDCANCEL));
  EXPECT_FALSE(IsWindow(hwnd_));
}

TEST_F(WizardPagesTest, StartUpFailuresEndWithTheStopMessage) {
  struct Case {
    const char* providers;  // null: no PROVIDER.LST
    const char* start;
  } cases[] = {
      {nullptr, "Could not load the provider list - wizard cannot continue.  Error code = 2,1.  Error text = "},
      {"A.LST,A.ICO,Alpha\r\nB.LST", "Could not load the provider list - wizard cannot continue.  Error code = 101,2."},
      {"A.LST,NOICON.ICO,Alpha\r\n", "Could not load the provider list - wizard cannot continue.  Error code = 105,2."},
  };
  for (const auto& c : cases) {
    boxes_.clear();
    DeleteFileA("PROVIDER.LST");
    if (c.providers) WriteFile("PROVIDER.LST", c.providers);
    WizardLists lists;
    FrmWizard wizard(lists);
    EXPECT_FALSE(StartWizard(wizard, lists));
    EXPECT_FALSE(wizard.hwnd());
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].text.substr(0, strlen(c.start)), c.start);
    EXPECT_EQ(boxes_[0].caption, kSetupTitle);
    EXPECT_EQ(boxes_[0].flags, UINT(MB_ICONSTOP | MB_OK));
  }
}

TEST_F(WizardPagesTest, FinishSavesClosesAndStartsEdictor) {
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  InstallStore(self);
  Start();
  AcceptProviders({2});
  Next();
  Next();
  ASSERT_EQ(wizard_->currentPage(), 6);
  Next();
  EXPECT_FALSE(IsWindow(hwnd_));
  EXPECT_TRUE(boxes_.empty());
  ASSERT_EQ(started_.size(), 1u);
  EXPECT_EQ(started_[0], ShortPath(self));
  EXPECT_EQ(regtest::value_names(regtest::kRuleSet).size(), 2u + 1u);  // the defaults and Cobalt's one
}

// What Finish does when the save fails, when the box is cleared and when Edictor does not
// start. Whether the store saves is test_wizard_save's; which path is started, the plain tests'.
TEST_F(WizardPagesTest, FinishFailuresAndTheClearedBox) {
  struct Case {
    const char* library;
    bool ticked;
    const char* message;  // null: none
    size_t starts;
  } cases[] = {
      {"no_such_store", true, "The rule set could not be saved.", 0},
      {"tessary", true, "Could not start the Tarnwall Edictor.", 1},
      {"tessary", false, nullptr, 0},
  };
  InstallStore("C:\\no\\such\\edictor.exe");
  startResult_ = false;
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.library) + (c.ticked ? ", ticked" : ", cleared"));
    boxes_.clear();
    started_.clear();
    Start(c.library);
    AcceptProviders({kOtherItem});
    Next();
    if (!c.ticked) Click(Control(IDC_CHKSTARTEDICTOR));
    Next();
    bool saved = !c.message || std::string(c.message) != "The rule set could not be saved.";
    EXPECT_EQ(IsWindow(hwnd_) == FALSE, saved);
    if (!saved) {
      EXPECT_EQ(wizard_->currentPage(), 6);
    }
    ASSERT_EQ(boxes_.size(), c.message ? 1u : 0u);
    if (c.message) {
      EXPECT_EQ(boxes_[0].text, c.message);
      EXPECT_EQ(boxes_[0].caption, kSetupTitle);
    }
    EXPECT_EQ(started_.size(), c.starts);
    if (c.starts) {
      EXPECT_EQ(started_[0], "");  // a path that does not exist has no short form
    }
    wizard_.reset();
  }
}

// The Help button, clicked with the mouse, opens the wizard's own topic of the help file.
TEST_F(WizardPagesTest, TheHelpButtonOpensTheWizardsTopic) {
  std::vector<winui::HelpCall> helps;
  winui::SetHelpHook([&](const winui::HelpCall& call) {
    helps.push_back(call);
    return TRUE;
  });
  Start();
  Click(Control(IDC_CMDHELP));
  ASSERT_EQ(helps.size(), 1u) << "the Help button asked for no help";
  EXPECT_EQ(helps[0].command, static_cast<UINT>(HELP_CONTEXT));
  EXPECT_EQ(helps[0].data, static_cast<ULONG_PTR>(IDH_TARNWALL_KINDLER));
  EXPECT_NE(helps[0].path.find("\\Tarnwall.hlp"), std::string::npos) << helps[0].path;
}

// The program's own quit path: closing the window at Finish must not leave a quit
// pending while the message that comes after it is shown.
TEST_F(WizardPagesTest, EdictorNotStartedIsShownWithTheRealQuitPath) {
  InstallStore("C:\\no\\such\\edictor.exe");
  startResult_ = false;
  Start();
  wizard_->SetQuitOnClose(true);
  AcceptProviders({kOtherItem});
  Next();
  ASSERT_EQ(wizard_->currentPage(), 6);
  std::vector<bool> quitPending;
  winui::SetMessageBoxHook([&](const winui::MessageBoxCall& call) {
    boxes_.push_back(call);
    quitPending.push_back(QuitPending());
    return IDOK;
  });
  PostMessageA(hwnd_, WM_COMMAND, MAKEWPARAM(IDC_CMDNEXT, BN_CLICKED), (LPARAM)Control(IDC_CMDNEXT));
  EXPECT_EQ(RunMessageLoop(*wizard_), 0);  // ends: the quit came after the message
  EXPECT_FALSE(IsWindow(hwnd_));
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text, "Could not start the Tarnwall Edictor.");
  EXPECT_FALSE(quitPending[0]) << "the message would end before it is seen";
}

TEST_F(WizardPagesTest, StopMessageIsShownWithTheRealQuitPath) {
  WriteFile("PROVIDER.LST", "A.LST,NOICON.ICO,Alpha\r\n");
  WizardLists lists;
  FrmWizard wizard(lists);
  wizard.SetQuitOnClose(true);
  std::vector<bool> quitPending;
  winui::SetMessageBoxHook([&](const winui::MessageBoxCall& call) {
    boxes_.push_back(call);
    quitPending.push_back(QuitPending());
    return IDOK;
  });
  EXPECT_FALSE(StartWizard(wizard, lists));
  EXPECT_FALSE(wizard.hwnd());
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text.substr(0, 78),
            "Could not load the provider list - wizard cannot continue.  Error code = 105,2");
  EXPECT_FALSE(quitPending[0]) << "the message would end before it is seen";
  // The program's end is on its way all the same.
  MSG msg;
  EXPECT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

// The provider pictures belong to the wizard, not to the list view that shows them: they
// outlive the window and are destroyed once, with the wizard.
TEST_F(WizardPagesTest, ProviderImagesOutliveTheListView) {
  Start();
  HIMAGELIST images = ListView_GetImageList(Control(IDC_LVWPROVIDERS), LVSIL_NORMAL);
  ASSERT_TRUE(images);
  ASSERT_EQ(ImageList_GetImageCount(images), 6);
  answer_ = IDYES;
  Click(Control(IDC_CMDCANCEL));
  ASSERT_FALSE(IsWindow(hwnd_));
  EXPECT_EQ(ImageList_GetImageCount(images), 6);
}

}  // namespace
