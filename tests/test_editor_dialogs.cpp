// Add Rule and the three Create New dialogs, each driven inside its own modal loop by
// clicks and typed text: their refusals and messages, what reaches the lists and the
// registry, and how a new rule shows in the view.
#include <gtest/gtest.h>

#include "editor_fixture.h"
#include "screenshot.h"
#include "object_dialogs.h"
#include "store_fixture.h"

using namespace edictor;
using namespace regtest;

namespace {

class DialogTest : public EditorTest {
 protected:
  void SetUp() override {
    EditorTest::SetUp();
    http = Protocol("HTTP", PFW_TCP, 80);
    proxy = Address("Web Proxy", "10.0.0.8");
    lan = Address("Office LAN", "192.168.1.0", "192.168.1.255");
    browser = App("BROWSER.EXE", "Browser");
    Open();
  }
  // Opens Add Rule with the Insert key, as the frame's loop would translate it.
  bool AddRule(DialogScript& script) {
    return script.Run([&] {
      MSG key{frameHwnd(), WM_KEYDOWN, VK_INSERT, 0x00520001, GetTickCount(), {}};
      ASSERT_TRUE(TranslateAcceleratorA(frameHwnd(), frame().accelerators(), &key));
    });
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const auto& box : boxes) texts.push_back(box.caption + ": " + box.text);
    return texts;
  }
  int http = -1, proxy = -1, lan = -1, browser = -1;
};

void FillRule(HWND d, const char* protocol, const char* address, const char* app) {
  Choose(d, IDC_PROTOCOL_BOX, protocol);
  Choose(d, IDC_ADDRESS_BOX, address);
  Choose(d, IDC_APP_BOX, app);
}

TEST_F(DialogTest, AddRuleRefusesDuplicatesAndShowsTheNewRule) {
  DialogScript script;
  script.Then("Add Rule", [&](HWND d) {
    EXPECT_EQ(SendDlgItemMessageA(d, IDC_PROTOCOL_BOX, CB_GETCOUNT, 0, 0), 2);
    EXPECT_EQ(SendDlgItemMessageA(d, IDC_PROTOCOL_BOX, CB_GETCURSEL, 0, 0), CB_ERR);
    EXPECT_EQ(IsDlgButtonChecked(d, IDC_OUTBOUND), BST_CHECKED);
    EXPECT_EQ(IsDlgButtonChecked(d, IDC_ALLOW), BST_CHECKED);
    EXPECT_EQ(IsDlgButtonChecked(d, IDC_LOG), BST_UNCHECKED);
    // Two of three boxes: nothing happens, the dialog stays.
    Choose(d, IDC_PROTOCOL_BOX, "HTTP");
    Choose(d, IDC_ADDRESS_BOX, "Web Proxy");
    Click(d, IDOK);
    EXPECT_TRUE(IsWindow(d));
    EXPECT_TRUE(boxes.empty());
    // The installed outbound default rule differs only in its objects; this one is new.
    Choose(d, IDC_APP_BOX, "Browser");
    Click(d, IDC_INBOUND);
    Click(d, IDC_DENY);
    Click(d, IDC_LOG);
    Click(d, IDOK);
    if (IsWindowVisible(d)) Click(d, IDCANCEL);  // refused: the checks below say so
  });
  ASSERT_TRUE(AddRule(script));
  EXPECT_TRUE(boxes.empty());
  int key = -1;
  PFW_RULE* rule = PFW_GetRuleByNumbers(rules, http, proxy, browser, PFW_INBOUND, &key, nullptr);
  ASSERT_NE(rule, nullptr);
  EXPECT_EQ(rule->action, PFW_DENY);
  EXPECT_EQ(rule->log, 1);
  EXPECT_TRUE(value_exists(kRuleSet, PFW_CreateRuleKey(http, proxy, browser, PFW_INBOUND)));
  EXPECT_NE(DumpTree(view().Tree(kTabProtocol, PFW_INBOUND))
                .find("HTTP [3]\n  Web Proxy [5]\n    Browser [4]\n      Deny [1]\n"),
            std::string::npos);
  EXPECT_EQ(DumpTree(view().Tree(kTabProtocol, PFW_OUTBOUND)).find("HTTP"), std::string::npos);
  EXPECT_EQ(view().List().Count(), 3);

  // The same four values with another action are refused; the other direction is not.
  DialogScript again;
  again.Then("Add Rule", [&](HWND d) {
    FillRule(d, "HTTP", "Web Proxy", "Browser");
    Click(d, IDC_INBOUND);
    Click(d, IDC_ASK);
    Click(d, IDOK);
    EXPECT_TRUE(IsWindow(d));
    Click(d, IDC_OUTBOUND);
    Click(d, IDOK);
    if (IsWindowVisible(d)) Click(d, IDCANCEL);
  });
  ASSERT_TRUE(AddRule(again));
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "A rule with these parameters already exists!");
  EXPECT_EQ(boxes[0].caption, "Add Rule");
  EXPECT_EQ(boxes[0].flags, static_cast<UINT>(MB_OK | MB_ICONINFORMATION));
  EXPECT_NE(PFW_GetRuleByNumbers(rules, http, proxy, browser, PFW_OUTBOUND, nullptr, nullptr), nullptr);
  EXPECT_EQ(view().List().Count(), 4);
  Screenshot(frameHwnd(), "editor_after_add_rule");
}

TEST_F(DialogTest, CreateNewObjectsAreSelectedAndStayAfterCancel) {
  DialogScript script;
  script.Then("Add Rule", [&](HWND d) { Click(d, IDC_NEW_PROTOCOL); })
      .Then("Add Protocol",
            [&](HWND p) {
              SetText(p, IDC_PROTO_NAME, "Gopher");
              SetText(p, IDC_PROTO_PORT, "70");
              Click(p, IDC_PROTO_UDP);
              Click(p, IDOK);
              if (IsWindowVisible(p)) Click(p, IDCANCEL);
            })
      .Then("Add Rule", [&](HWND d) { Click(d, IDC_NEW_APP); })
      .Then("Add Application",
            [&](HWND a) {
              SetText(a, IDC_APP_NAME, "gopher.exe");
              SetText(a, IDC_APP_DESCRIPTION, "Gopher Client");
              Click(a, IDOK);
              if (IsWindowVisible(a)) Click(a, IDCANCEL);
            })
      .Then("Add Rule", [&](HWND d) { Click(d, IDC_NEW_ADDRESS); })
      .Then("Add Address",
            [&](HWND a) {
              SetText(a, IDC_ADR_NAME, "Campus");
              Click(a, IDC_ADR_NETWORK);
              const char* high[] = {"10", "9", "255", "255"};
              const char* low[] = {"10", "9", "0", "0"};
              for (int i = 0; i < 4; ++i) SetText(a, IDC_ADR_FIRST1 + i, high[i]);  // typed high to low
              for (int i = 0; i < 4; ++i) SetText(a, IDC_ADR_LAST1 + i, low[i]);
              Click(a, IDOK);
              if (IsWindowVisible(a)) Click(a, IDCANCEL);
            })
      .Then("Add Rule", [&](HWND d) {
        char text[64] = "";
        for (int box : {IDC_PROTOCOL_BOX, IDC_ADDRESS_BOX, IDC_APP_BOX}) {
          GetDlgItemTextA(d, box, text, sizeof text);
          EXPECT_NE(text[0], '\0') << box;
        }
        GetDlgItemTextA(d, IDC_PROTOCOL_BOX, text, sizeof text);
        EXPECT_STREQ(text, "Gopher");
        Screenshot(d, "editor_add_rule");
        Click(d, IDCANCEL);
      });
  ASSERT_TRUE(AddRule(script));
  EXPECT_TRUE(boxes.empty()) << boxes[0].text;
  PFW_PROTO* gopher = PFW_GetExactProtocolByService(protocols, PFW_UDP, 70, nullptr, nullptr);
  ASSERT_NE(gopher, nullptr);
  EXPECT_STREQ(gopher->name, "Gopher");
  PFW_APP* app = PFW_GetExactAppByName(apps, "GOPHER.EXE", nullptr, nullptr);
  ASSERT_NE(app, nullptr);
  EXPECT_STREQ(app->description, "Gopher Client");
  PFW_ADR* campus = PFW_GetAddressByName(addresses, "Campus", nullptr, nullptr);
  ASSERT_NE(campus, nullptr);
  EXPECT_EQ(campus->low, ip("10.9.0.0"));
  EXPECT_EQ(campus->high, ip("10.9.255.255"));
  EXPECT_EQ(campus->type, PFW_NETWORK_ADDRESS);
  // Each reached the registry, read back into fresh lists elsewhere.
  EXPECT_EQ(value_names(kProtocols).size(), 3u);
  EXPECT_EQ(value_names(kApps).size(), 3u);
  EXPECT_EQ(value_names(kAddresses).size(), 4u);
  EXPECT_EQ(rules->next_key, 2u);
  EXPECT_EQ(view().List().Count(), 2);
}

// Each Create New dialog: its boxes reach the check, a refusal reaches a message and keeps
// the dialog open, and what is accepted comes back as the entry. The checks' cases are
// EntryChecks'.
TEST_F(DialogTest, AddProtocolWiring) {
  std::optional<ProtocolEntry> entry;
  DialogScript script;
  script.Then("Add Protocol", [&](HWND d) {
    EXPECT_EQ(SendDlgItemMessageA(d, IDC_PROTO_NAME, EM_GETLIMITTEXT, 0, 0), 19);
    HWND port = GetDlgItem(d, IDC_PROTO_PORT);
    EXPECT_EQ(WindowText(port), "0");
    SendMessageA(port, WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ(WindowText(port), "32767");
    SendMessageA(port, WM_KEYDOWN, VK_UP, 0);
    EXPECT_EQ(WindowText(port), "0");
    SetText(d, IDC_PROTO_NAME, "QUIC");
    SetText(d, IDC_PROTO_PORT, "80");
    Click(d, IDOK);
    EXPECT_TRUE(IsWindowVisible(d)) << "a refusal closed the dialog";
    Click(d, IDC_PROTO_UDP);
    Click(d, IDOK);
    if (IsWindowVisible(d)) Click(d, IDCANCEL);  // refused: the checks below say so
  });
  ASSERT_TRUE(script.Run([&] { entry = RunAddProtocolDialog(frameHwnd(), view().lists()); }));
  EXPECT_EQ(Texts(),
            (std::vector<std::string>{"Add Protocol: An entry for TCP Port 80 already exists!\nExisting name: HTTP"}));
  EXPECT_EQ(boxes[0].flags, static_cast<UINT>(MB_OK | MB_ICONINFORMATION));
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->name, "QUIC");
  EXPECT_EQ(entry->transport, PFW_UDP);
  EXPECT_EQ(entry->port, 80u);
  EXPECT_EQ(value_names(kProtocols).size(), 2u) << "the dialog itself stores nothing";
}

TEST_F(DialogTest, AddApplicationWiring) {
  // Browse puts the bare file name into both boxes.
  chooseApplicationFile = [](HWND) { return std::string("C:\\Deep\\Down\\Some Folder\\mailer.exe"); };
  std::optional<AppEntry> entry;
  DialogScript script;
  script.Then("Add Application", [&](HWND d) {
    EXPECT_EQ(SendDlgItemMessageA(d, IDC_APP_NAME, EM_GETLIMITTEXT, 0, 0), 29);
    EXPECT_EQ(SendDlgItemMessageA(d, IDC_APP_DESCRIPTION, EM_GETLIMITTEXT, 0, 0), 41);
    SetText(d, IDC_APP_NAME, "browser.exe");
    SetText(d, IDC_APP_DESCRIPTION, "Other");
    Click(d, IDOK);
    EXPECT_TRUE(IsWindowVisible(d)) << "a refusal closed the dialog";
    Click(d, IDC_APP_BROWSE);
    EXPECT_EQ(WindowText(GetDlgItem(d, IDC_APP_NAME)), "mailer.exe");
    EXPECT_EQ(WindowText(GetDlgItem(d, IDC_APP_DESCRIPTION)), "mailer.exe");
    Click(d, IDOK);
    if (IsWindowVisible(d)) Click(d, IDCANCEL);
  });
  bool ran = script.Run([&] { entry = RunAddApplicationDialog(frameHwnd(), view().lists()); });
  chooseApplicationFile = nullptr;
  ASSERT_TRUE(ran);
  EXPECT_EQ(
      Texts(),
      (std::vector<std::string>{"Add Application: Application \"BROWSER.EXE\" already exists.\nDescription: Browser"}));
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->name, "mailer.exe");
  EXPECT_EQ(entry->description, "mailer.exe");
}

TEST_F(DialogTest, AddAddressWiring) {
  std::optional<AddressEntry> entry;
  DialogScript script;
  script.Then("Add Address", [&](HWND d) {
    EXPECT_EQ(SendDlgItemMessageA(d, IDC_ADR_NAME, EM_GETLIMITTEXT, 0, 0), 30);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(d, IDC_ADR_LAST1)));
    SetText(d, IDC_ADR_NAME, "Campus");
    const char* proxyOctets[] = {"10", "0", "0", "8"};
    for (int i = 0; i < 4; ++i) SetText(d, IDC_ADR_FIRST1 + i, proxyOctets[i]);
    Click(d, IDOK);
    EXPECT_TRUE(IsWindowVisible(d)) << "a refusal closed the dialog";
    Click(d, IDC_ADR_NETWORK);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(d, IDC_ADR_LAST1)));
    const char* high[] = {"10", "9", "255", "255"};
    const char* low[] = {"10", "9", "0", "0"};
    for (int i = 0; i < 4; ++i) SetText(d, IDC_ADR_FIRST1 + i, high[i]);  // typed high to low
    for (int i = 0; i < 4; ++i) SetText(d, IDC_ADR_LAST1 + i, low[i]);
    Click(d, IDOK);
    if (IsWindowVisible(d)) Click(d, IDCANCEL);
  });
  ASSERT_TRUE(script.Run([&] { entry = RunAddAddressDialog(frameHwnd(), view().lists(), true); }));
  EXPECT_EQ(
      Texts(),
      (std::vector<std::string>{"Add Address: A single address with this address already exists.\nName: Web Proxy"}));
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->name, "Campus");
  EXPECT_EQ(entry->type, PFW_NETWORK_ADDRESS);
  EXPECT_EQ(entry->first, ip("10.9.255.255"));
  EXPECT_EQ(entry->last, ip("10.9.0.0"));
}

// Name resolution through its seam: both outcomes, no network needed.
TEST_F(DialogTest, ResolveFillsTheFirstAddressOrSaysItCannot) {
  std::vector<std::string> asked;
  resolveHost = [&](const std::string& host, unsigned char address[4]) {
    asked.push_back(host);
    if (host != "gateway.office") return false;
    const unsigned char known[4] = {192, 168, 7, 254};
    memcpy(address, known, 4);
    return true;
  };
  DialogScript script;
  script.Then("Add Address", [&](HWND d) {
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(d, IDC_ADR_RESOLVE)));
    Click(d, IDC_ADR_RESOLVE);  // no name: nothing asked
    Click(d, IDC_ADR_NETWORK);
    SetText(d, IDC_ADR_LAST1, "9");
    SetText(d, IDC_ADR_NAME, "gateway.office");
    Click(d, IDC_ADR_RESOLVE);
    std::string octets;
    for (int i = 0; i < 4; ++i) octets += WindowText(GetDlgItem(d, IDC_ADR_FIRST1 + i)) + ".";
    EXPECT_EQ(octets, "192.168.7.254.");
    EXPECT_EQ(IsDlgButtonChecked(d, IDC_ADR_SINGLE), BST_CHECKED);
    EXPECT_EQ(WindowText(GetDlgItem(d, IDC_ADR_LAST1)), "");
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(d, IDC_ADR_LAST1)));
    EXPECT_EQ(WindowText(GetDlgItem(d, IDC_ADR_NAME)), "gateway.office");
    // Unknown: said so, and the address typed before stays.
    SetText(d, IDC_ADR_NAME, "nowhere.office");
    Click(d, IDC_ADR_RESOLVE);
    EXPECT_EQ(WindowText(GetDlgItem(d, IDC_ADR_FIRST1 + 3)), "254");
    Click(d, IDCANCEL);
  });
  bool ran = script.Run([&] { RunAddAddressDialog(frameHwnd(), view().lists(), true); });
  resolveHost = SystemResolve;
  ASSERT_TRUE(ran);
  EXPECT_EQ(asked, (std::vector<std::string>{"gateway.office", "nowhere.office"}));
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(Texts()[0], "Tarnwall Edictor: Sorry, couldn't resolve name.");

  DialogScript greyed;
  greyed.Then("Add Address", [&](HWND d) {
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(d, IDC_ADR_RESOLVE)));
    Click(d, IDCANCEL);
  });
  ASSERT_TRUE(greyed.Run([&] { RunAddAddressDialog(frameHwnd(), view().lists(), false); }));
}

// The message box itself, not the hook: found on screen, read and answered.
TEST_F(DialogTest, ARealMessageBoxIsShownAndAnswered) {
  winui::SetMessageBoxHook(nullptr);
  std::string text;
  DialogScript script;
  script
      .Then("Add Rule",
            [&](HWND d) {
              FillRule(d, "Any Protocol", "Any Address", "Every program");
              Click(d, IDOK);  // the installed outbound default rule
            })
      .Then("Add Rule",
            [&](HWND box) {
              // The enabled one is the message box: the dialog waits under it.
              for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
                char cls[16] = "";
                GetClassNameA(child, cls, sizeof cls);
                if (strcmp(cls, "Static") == 0 && !WindowText(child).empty()) text = WindowText(child);
              }
              // Taken at once: a pause here would let the script's next step act on this box.
              winui::SaveScreenshot(nullptr, "..\\screenshots\\editor_duplicate_rule_message.bmp");
              PostMessageA(box, WM_COMMAND, IDOK, 0);
            })
      .Then("Add Rule", [&](HWND d) { Click(d, IDCANCEL); });
  ASSERT_TRUE(AddRule(script));
  EXPECT_EQ(text, "A rule with these parameters already exists!");
  EXPECT_EQ(rules->next_key, 2u);
}

}  // namespace
