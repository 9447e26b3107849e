// Kindler's window in this process, driven by real window messages: the two paths through
// the pages, group-row pages, the provider-page messages, the exit question, start-up
// failures and Finish. Data files are written to a folder of the test's own, which is the
// current directory while a test runs, as the program's folder is for the wizard.
#include <windows.h>
#include <commctrl.h>

#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "controls.h"
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

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::string Record(const std::string& group, const std::string& app, int port) {
  return group + ",Service of " + app + "," + app + ",Port" + std::to_string(port) + "," + std::to_string(port) +
         ",TCP,OUT,ALL\r\n";
}

class WizardPagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    winui::InitCommonControls();
    dir_ = BinDir() + "\\wizard_pages";
    CreateDirectoryA(dir_.c_str(), nullptr);
    GetCurrentDirectoryA(MAX_PATH, previous_);
    SetCurrentDirectoryA(dir_.c_str());
    const std::string icon = BinDir() + "\\trffc13.ico";
    for (const char* name : {"trffc13.ico", "A.ICO", "B.ICO", "C.ICO", "E.ICO", "X.ICO"})
      CopyFileA(icon.c_str(), name, FALSE);
    WriteFile("PROVIDER.LST",
              "A.LST,A.ICO,Alpha Net\r\nB.LST,B.ICO,Bravo Online\r\nC.LST,C.ICO,Cobalt\r\n"
              "E.LST,E.ICO,Empty Link\r\nX.LST,X.ICO,Broken Line\r\n");
    // A: five groups; B: one more and a shared one; C: one shared; E: none; X: a bad record.
    WriteFile("A.LST", Record("Email", "mail.exe", 25) + Record("Web", "web.exe", 80) + Record("News", "news.exe", 119) +
                           Record("Files", "ftp.exe", 21) + Record("Chat", "chat.exe", 6667));
    WriteFile("B.LST", Record("Web", "browser.exe", 443) + Record("Games", "games.exe", 2800));
    WriteFile("C.LST", Record("Email", "cmail.exe", 110));
    WriteFile("E.LST", "\r\n");
    WriteFile("X.LST", Record("Email", "mail.exe", 25) + "Web,Browser,web.exe,HTTP,80,tcp,OUT,ALL\r\n");
    winui::SetMessageBoxHook([this](const winui::MessageBoxCall& call) {
      boxes_.push_back(call);
      return answer_;
    });
  }
  void TearDown() override {
    wizard_.reset();
    winui::SetMessageBoxHook({});
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
  void InstallStore() {
    regtest::make_layout();
    regtest::install_starting_set();
    registry_ = true;
  }

  HWND Control(int id) const { return GetDlgItem(hwnd_, id); }
  HWND Row(int r) const { return Control(IDC_PICS(r)); }
  bool Visible(HWND control) const { return IsWindowVisible(control) != FALSE; }
  void Press(int id) { SendMessageA(hwnd_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)Control(id)); }
  void Next() { Press(IDC_CMDNEXT); }
  void Back() { Press(IDC_CMDBACK); }
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
    RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    std::string shots = BinDir() + "\\..\\screenshots";
    CreateDirectoryA(shots.c_str(), nullptr);
    winui::SaveScreenshot(hwnd_, (shots + "\\" + name + ".bmp").c_str());
  }
  // Goes from page 1 to page 3 (or wherever accepting leads) with these providers.
  void ToPage3(std::vector<int> items) {
    Next();
    Choose(items);
    Next();
  }

  std::string dir_;
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

// Whether a quit waits in this thread's queue: a message box shown then ends at once on
// Windows, before anyone can read it.
bool QuitPending() {
  MSG msg;
  return PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE) != FALSE;
}

TEST(WizardSentence, NamesJoined) {
  std::vector<std::string> many;
  for (int i = 0; i < 30; ++i) many.push_back("P" + std::to_string(i));
  std::vector<std::string> twentyOne(many.begin(), many.begin() + 21);
  EXPECT_EQ(JoinProviderNames({"A"}), "A");
  EXPECT_EQ(JoinProviderNames({"A", "B"}), "A and B");
  EXPECT_EQ(JoinProviderNames({"A", "B", "C"}), "A, B and C");
  EXPECT_EQ(JoinProviderNames(twentyOne).substr(JoinProviderNames(twentyOne).size() - 13), ", P19 and P20");
  EXPECT_EQ(JoinProviderNames(many), "P0, P1, P2 and 27 other providers");
}

TEST_F(WizardPagesTest, ProviderPathWithSixGroupsAndScreenshots) {
  Start();
  EXPECT_EQ(ListView_GetItemCount(Control(IDC_LVWPROVIDERS)), 6);
  EXPECT_FALSE(IsWindowEnabled(Control(IDC_CMDBACK)));
  EXPECT_TRUE(Visible(Control(IDC_LBLPAGE1A)));
  Shot("kindler_page1");
  Next();
  EXPECT_EQ(wizard_->currentPage(), 2);
  EXPECT_FALSE(Visible(Control(IDC_LBLPAGE1A)));
  Choose({0, 1});
  Shot("kindler_page2");
  Next();
  ASSERT_EQ(wizard_->currentPage(), 3);
  EXPECT_EQ(Text(Control(IDC_LBLPAGE3A)).substr(0, 62), "As a user of Alpha Net and Bravo Online, Tarnwall gives you th");
  Shot("kindler_page3");
  Next();
  ASSERT_EQ(wizard_->currentPage(), 4);
  EXPECT_EQ(wizard_->groupPageCount(), 2);
  for (int r = 1; r <= 5; ++r) EXPECT_TRUE(Visible(Row(r))) << r;
  EXPECT_EQ(Text(GetDlgItem(Row(1), IDC_LBLS(1))), "Email");
  EXPECT_EQ(IsDlgButtonChecked(Row(1), IDC_OPTS(1, 1)), UINT(BST_CHECKED));  // new groups ask
  // Deny for Web (row 2) by a click on its option.
  SendMessageA(GetDlgItem(Row(2), IDC_OPTS(2, 0)), BM_CLICK, 0, 0);
  EXPECT_EQ(lists_->Groups()[1].access, kDeny);
  // The row with the focus shows its name in bold.
  SetFocus(GetDlgItem(Row(2), IDC_OPTS(2, 0)));
  LOGFONTA font{};
  GetObjectA((HFONT)SendMessageA(GetDlgItem(Row(2), IDC_LBLS(2)), WM_GETFONT, 0, 0), sizeof font, &font);
  EXPECT_EQ(font.lfWeight, FW_BOLD);
  Shot("kindler_page4");
  Next();
  ASSERT_EQ(wizard_->currentPage(), 4);
  EXPECT_EQ(wizard_->groupPage(), 1);
  EXPECT_TRUE(Visible(Row(1)));
  EXPECT_EQ(Text(GetDlgItem(Row(1), IDC_LBLS(1))), "Games");
  for (int r = 2; r <= 5; ++r) EXPECT_FALSE(Visible(Row(r))) << r;
  SendMessageA(GetDlgItem(Row(1), IDC_OPTS(1, 2)), BM_CLICK, 0, 0);
  EXPECT_EQ(lists_->Groups()[5].access, kAllow);
  Next();
  ASSERT_EQ(wizard_->currentPage(), 6);
  EXPECT_EQ(Text(Control(IDC_CMDNEXT)), "&Finish");
  EXPECT_FALSE(Visible(Control(IDC_LBLPAGE6D)));
  Shot("kindler_page6");
  // Back from 6: the last group-row page, with the choice shown as set.
  Back();
  EXPECT_EQ(wizard_->currentPage(), 4);
  EXPECT_EQ(wizard_->groupPage(), 1);
  EXPECT_EQ(Text(Control(IDC_CMDNEXT)), "&Next >");
  EXPECT_EQ(IsDlgButtonChecked(Row(1), IDC_OPTS(1, 2)), UINT(BST_CHECKED));
  Back();
  EXPECT_EQ(wizard_->groupPage(), 0);
  EXPECT_EQ(IsDlgButtonChecked(Row(2), IDC_OPTS(2, 0)), UINT(BST_CHECKED));
  Back();
  EXPECT_EQ(wizard_->currentPage(), 3);
  Back();
  EXPECT_EQ(wizard_->currentPage(), 2);
  // Alpha alone now: Games goes, Web keeps Deny. Five groups make one row page.
  Choose({0});
  Next();
  EXPECT_EQ(Text(Control(IDC_LBLPAGE3A)).substr(0, 32), "As a user of Alpha Net, Tarnwall");
  EXPECT_EQ(lists_->GroupCount(), 5);
  EXPECT_EQ(lists_->Groups()[1].access, kDeny);
  EXPECT_EQ(wizard_->groupPageCount(), 1);
  Next();
  Next();
  EXPECT_EQ(wizard_->currentPage(), 6);
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(WizardPagesTest, OtherAlonePathAndThreeNames) {
  Start();
  ToPage3({0, 1, 2});
  EXPECT_EQ(Text(Control(IDC_LBLPAGE3A)).substr(0, 56), "As a user of Alpha Net, Bravo Online and Cobalt, Tarnwal");
  Back();
  Choose({5});  // Other
  Next();
  ASSERT_EQ(wizard_->currentPage(), 5);
  EXPECT_TRUE(wizard_->otherOnly());
  EXPECT_EQ(lists_->RuleCount(), 0);
  Shot("kindler_page5");
  Next();
  EXPECT_EQ(wizard_->currentPage(), 6);
  Back();
  EXPECT_EQ(wizard_->currentPage(), 5);
  Back();
  EXPECT_EQ(wizard_->currentPage(), 2);
  Back();
  EXPECT_EQ(wizard_->currentPage(), 1);
  EXPECT_FALSE(IsWindowEnabled(Control(IDC_CMDBACK)));
}

TEST_F(WizardPagesTest, ProviderPageRefusals) {
  Start();
  Next();
  struct Case {
    std::vector<int> items;
    const char* text;
  } cases[] = {
      {{}, "Please select at least one Internet Service Provider.  If your provider is not listed, select 'Other'."},
      {{0, 5}, "'Other' may only be selected on its own.  Please select at least one Internet Service Provider.  "
               "If your provider is not listed, select 'Other'."},
      {{4}, "Errors found processing application list for Broken Line (X.LST)."},
  };
  for (const auto& c : cases) {
    boxes_.clear();
    Choose(c.items);
    Next();
    EXPECT_EQ(wizard_->currentPage(), 2);
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].text, c.text);
    EXPECT_EQ(boxes_[0].caption, c.items.size() == 1 ? kSetupTitle : kConfigurationTitle);
    EXPECT_EQ(boxes_[0].flags, UINT(MB_ICONEXCLAMATION | MB_OK));
  }
}

TEST_F(WizardPagesTest, ProvidersWithoutServicesSkipTheGroupPage) {
  Start();
  ToPage3({3});
  ASSERT_EQ(wizard_->currentPage(), 3);
  EXPECT_EQ(lists_->GroupCount(), 0);
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
  SendMessageA(hwnd_, WM_CLOSE, 0, 0);
  ASSERT_TRUE(IsWindow(hwnd_));
  EXPECT_EQ(wizard_->currentPage(), 2);
  Press(IDC_CMDCANCEL);
  ASSERT_TRUE(IsWindow(hwnd_));
  EXPECT_TRUE(wizard_->cancelRequested());
  ASSERT_EQ(boxes_.size(), 2u);
  EXPECT_EQ(boxes_[1].text,
            "Click 'Yes' if you are sure you want to exit the Tarnwall Setup Wizard.  You may run the wizard at any "
            "time should you so desire.");
  EXPECT_EQ(boxes_[1].caption, kConfigurationTitle);
  EXPECT_EQ(boxes_[1].flags, UINT(MB_YESNO | MB_ICONQUESTION));
  answer_ = IDYES;
  Press(IDC_CMDCANCEL);
  EXPECT_FALSE(IsWindow(hwnd_));
}

TEST_F(WizardPagesTest, ARealMessageBoxIsAnswered) {
  Start();
  Next();
  winui::SetMessageBoxHook({});
  // The box is modal on this thread; another thread finds it and presses OK.
  std::thread answerer([] {
    for (int i = 0; i < 200; ++i) {
      HWND box = FindWindowA("#32770", kConfigurationTitle);
      if (box) {
        PostMessageA(box, WM_COMMAND, IDOK, 0);
        return;
      }
      Sleep(25);
    }
  });
  Choose({});
  Next();
  answerer.join();
  EXPECT_EQ(wizard_->currentPage(), 2);
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
  InstallStore();
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  ASSERT_TRUE(regtest::write_string(regtest::kRules, "EdictorPath", self));
  Start();
  ToPage3({2});
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

TEST_F(WizardPagesTest, FinishFailuresAndEdictorNotStarted) {
  InstallStore();
  struct Case {
    const char* library;
    const char* edictorPath;  // null: none stored
    bool ticked;
    const char* message;      // null: none
    size_t starts;
  } cases[] = {
      {"no_such_store", "C:\\windows\\notepad.exe", true, "The rule set could not be saved.", 0},
      {"tessary", nullptr, true, "The rule set could not be saved.", 0},
      {"tessary", "C:\\no\\such\\edictor.exe", true, "Could not start the Tarnwall Edictor.", 1},
      {"tessary", "C:\\no\\such\\edictor.exe", false, nullptr, 0},
      {"tessary", "", true, nullptr, 0},
  };
  for (const auto& c : cases) {
    boxes_.clear();
    started_.clear();
    regtest::delete_value(regtest::kRules, "EdictorPath");
    if (c.edictorPath) regtest::write_string(regtest::kRules, "EdictorPath", c.edictorPath);
    startResult_ = c.edictorPath && *c.edictorPath && GetFileAttributesA(c.edictorPath) != INVALID_FILE_ATTRIBUTES;
    Start(c.library);
    Next();
    Choose({5});
    Next();
    Next();
    if (!c.ticked) SendMessageA(Control(IDC_CHKSTARTEDICTOR), BM_CLICK, 0, 0);
    Next();
    bool saved = !c.message || std::string(c.message) != "The rule set could not be saved.";
    EXPECT_EQ(IsWindow(hwnd_) == FALSE, saved) << c.library;
    if (!saved) {
      EXPECT_EQ(wizard_->currentPage(), 6);
    }
    ASSERT_EQ(boxes_.size(), c.message ? 1u : 0u) << c.library;
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
  HWND help = Control(IDC_CMDHELP);
  ASSERT_NE(help, nullptr);
  RECT r;
  GetClientRect(help, &r);
  LPARAM at = MAKELPARAM(r.right / 2, r.bottom / 2);
  PostMessageA(help, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageA(help, WM_LBUTTONUP, 0, at);
  bool asked = winui::PumpUntil([&] { return !helps.empty(); }, 5000);
  winui::SetHelpHook({});
  ASSERT_TRUE(asked) << "the Help button asked for no help";
  EXPECT_EQ(helps[0].command, static_cast<UINT>(HELP_CONTEXT));
  EXPECT_EQ(helps[0].data, static_cast<ULONG_PTR>(IDH_TARNWALL_KINDLER));
  EXPECT_NE(helps[0].path.find("\\Tarnwall.hlp"), std::string::npos) << helps[0].path;
}

// The program's own quit path: closing the window at Finish must not leave a quit
// pending while the message that comes after it is shown.
TEST_F(WizardPagesTest, EdictorNotStartedIsShownWithTheRealQuitPath) {
  InstallStore();
  ASSERT_TRUE(regtest::write_string(regtest::kRules, "EdictorPath", "C:\\no\\such\\edictor.exe"));
  startResult_ = false;
  Start();
  wizard_->SetQuitOnClose(true);
  Next();
  Choose({5});
  Next();
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
  EXPECT_EQ(boxes_[0].text.substr(0, 78), "Could not load the provider list - wizard cannot continue.  Error code = 105,2");
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
  Press(IDC_CMDCANCEL);
  ASSERT_FALSE(IsWindow(hwnd_));
  EXPECT_EQ(ImageList_GetImageCount(images), 6);
}

// Page 3 names each provider whole, however long its name.
TEST_F(WizardPagesTest, PageThreeNamesLongProvidersWhole) {
  const std::string longName = "Provider " + std::string(290, 'n') + " End";
  WriteFile("PROVIDER.LST", "A.LST,A.ICO,\"" + longName + "\"\r\nC.LST,C.ICO,Cobalt\r\n");
  Start();
  ToPage3({0, 1});
  ASSERT_EQ(wizard_->currentPage(), 3);
  std::string text(2048, '\0');
  text.resize(GetWindowTextA(Control(IDC_LBLPAGE3A), text.data(), (int)text.size()));
  const std::string start = "As a user of " + longName + " and Cobalt, Tarnwall";
  EXPECT_EQ(text.substr(0, start.size()), start);
}

TEST(WizardCodePage, LeadBytesOfTheSystemsCodePages) {
  CodePage sjis = CodePageOf(932);
  EXPECT_FALSE(sjis.utf8);
  EXPECT_TRUE(sjis.lead[0x81]);
  EXPECT_TRUE(sjis.lead[0xE0]);
  EXPECT_FALSE(sjis.lead['A']);
  EXPECT_FALSE(sjis.lead[0xA1]);  // a half-width katakana: one byte
  CodePage western = CodePageOf(1252);
  for (int b = 0; b < 256; ++b) EXPECT_FALSE(western.lead[b]) << b;
  EXPECT_TRUE(CodePageOf(CP_UTF8).utf8);
  EXPECT_EQ(CutToCharacters(std::string(39, 'd') + "\x93\x64", 40, sjis), std::string(39, 'd'));
}

}  // namespace
