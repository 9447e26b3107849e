// The monitor's connection prompt in the test's own process, where the test asks through
// the prompt channel and answers through the prompt's buttons. The real programs:
// test_prompt_program.cpp; the rules without a window: test_prompt_rules.cpp.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "prompt_question.h"
#include "drive.h"
#include "monitor_fixture.h"
#include "prompt.h"
#include "traffic_consumer.h"

#include <commctrl.h>

namespace {

// The installed outbound default: Ask, logged.
void outbound_default_asks() {
  PFW_RULE_RECORD outbound = {0, 0, 0, PFW_OUTBOUND, PFW_ASK, 1};
  ASSERT_TRUE(regtest::write_value(regtest::kRuleSet, "0,0,0,1", REG_BINARY, &outbound, sizeof outbound));
}

class MonitorPromptTest : public MonitorTest {
 protected:
  void SetUp() override {
    MonitorTest::SetUp();
    outbound_default_asks();
    values_before = regtest::value_names(regtest::kRuleSet).size();
    channel = PFW_OpenPromptChannel();
    ASSERT_NE(channel, nullptr);
  }
  void TearDown() override {
    for (uint32_t id : asked) PFW_WaitPromptAnswer(channel, id, 0, nullptr);
    PFW_ClosePromptChannel(channel);
    MonitorTest::TearDown();
  }
  uint32_t ask(const PFW_PROMPT_REQUEST& q, unsigned timeout_ms = 60000) {
    uint32_t id = 0;
    EXPECT_EQ(PFW_AskPrompt(channel, &q, timeout_ms, &id, nullptr), 1);
    asked.push_back(id);
    return id;
  }
  // The answer the request got: PFW_ALLOW, PFW_DENY, or -1 for none.
  int answer_of(uint32_t id) {
    int answer = -1;
    return PFW_WaitPromptAnswer(channel, id, 0, &answer) ? answer : -1;
  }

  PFW_PROMPT_BLOCK* channel = nullptr;
  std::vector<uint32_t> asked;
  size_t values_before = 0;  // of the active rule set
};

// One prompt at a time: its answer reaches the requests for the same
// connection; another connection gets a prompt of its own afterwards.
TEST_F(MonitorPromptTest, EachConnectionIsAskedOnceAndTheButtonsAnswerIt) {
  start_monitor();
  uint32_t first = ask(question("NEW.EXE"));
  uint32_t same = ask(question("NEW.EXE"));
  uint32_t other = ask(question("MAIL.EXE", 25, "10.0.0.25", "SMTP"));
  std::vector<std::vector<std::string>> shown;
  auto read = [&](HWND prompt) {
    shown.push_back({item_text(prompt, IDC_PROMPT_DIRECTION), item_text(prompt, IDC_PROMPT_APPLICATION),
                     item_text(prompt, IDC_PROMPT_SERVICE), item_text(prompt, IDC_PROMPT_ADDRESS)});
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(prompt, IDC_PROMPT_ADD_RULE)));
    EXPECT_EQ(LOWORD(SendMessageA(prompt, DM_GETDEFID, 0, 0)), IDOK) << "Allow is the default";
  };
  DialogScript script;
  script
      .Then("Tarnwall",
            [&](HWND prompt) {
              read(prompt);
              screenshot(prompt, "prompt-request");
              post_click(prompt, IDOK);
            })
      // The next prompt, not the first one still closing on its posted click.
      .When(
          "Tarnwall", [](HWND prompt) { return item_text(prompt, IDC_PROMPT_APPLICATION) == "MAIL.EXE"; },
          [&](HWND prompt) {
            read(prompt);
            post_click(prompt, IDC_PROMPT_DENY);
          });
  script.Arm();
  EXPECT_EQ(traffic(PFW_PROMPT_NOTIFY), 1);
  EXPECT_TRUE(script.Finished());
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0], (std::vector<std::string>{"Outbound", "NEW.EXE", "Alt Web (TCP port 8080)", "10.0.0.9"}));
  EXPECT_EQ(shown[1], (std::vector<std::string>{"Outbound", "MAIL.EXE", "SMTP (TCP port 25)", "10.0.0.25"}));
  EXPECT_EQ(answer_of(first), PFW_ALLOW);
  EXPECT_EQ(answer_of(same), PFW_ALLOW);
  EXPECT_EQ(answer_of(other), PFW_DENY);
  EXPECT_EQ(traffic(PFW_PROMPT_NOTIFY), 1) << "nothing waits: no prompt";
}

TEST_F(MonitorPromptTest, APromptWhoseAskerStopsWaitingClosesByItself) {
  start_monitor();
  uint32_t id = ask(question("SHORT.EXE"), 800);
  DialogScript script;
  script.Then("Tarnwall", [](HWND) {});  // seen, and left alone
  script.Arm();
  DWORD start = GetTickCount();
  traffic(PFW_PROMPT_NOTIFY);
  EXPECT_TRUE(script.Finished());
  EXPECT_LT(GetTickCount() - start, 5000u);
  EXPECT_EQ(answer_of(id), -1);
}

TEST_F(MonitorPromptTest, LockedThePromptOffersNoNewRule) {
  PFW_OPTIONS o = default_options();
  o.lock_status = 1;
  arrange(o);
  start_monitor();
  uint32_t id = ask(question("NEW.EXE"));
  DialogScript script;
  script.Then("Tarnwall", [](HWND prompt) {
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(prompt, IDC_PROMPT_ADD_RULE)));
    SendMessageA(GetDlgItem(prompt, IDC_PROMPT_ADD_RULE), BM_SETCHECK, BST_CHECKED, 0);  // even so
    post_click(prompt, IDOK);
  });
  script.Arm();
  traffic(PFW_PROMPT_NOTIFY);
  EXPECT_TRUE(script.Finished());
  EXPECT_EQ(answer_of(id), PFW_ALLOW);
  EXPECT_EQ(regtest::value_names(regtest::kRuleSet).size(), values_before) << "no rule was added";
}

// "For 15 minutes": the prompt's answer holds for a burst of the same connection,
// which is answered without a prompt and marked remembered; once the monitor's
// clock has passed the quarter hour the next request is asked again. The
// drop-down is chosen with the keys a user presses, once the prompt takes keys.
TEST_F(MonitorPromptTest, FifteenMinutesAnswersABurstOnceAndThenAsksAgain) {
  uint64_t now = 5000;
  wayguard::ReplaceMonitorMemory([&now] { return now; });
  start_monitor();
  uint32_t first = ask(question("BURST.EXE"));
  DWORD shown = 0;
  HWND seen = nullptr;
  DialogScript script;
  script
      .When(
          "Tarnwall",
          [&](HWND p) {
            if (!seen) seen = p, shown = GetTickCount();
            return GetTickCount() - shown > wayguard::kPromptKeyGraceMs + 200;
          },
          [&](HWND p) {
            HWND life = GetDlgItem(p, IDC_PROMPT_LIFE);
            EXPECT_TRUE(IsWindowEnabled(life));
            EXPECT_EQ(SendMessageA(life, CB_GETCURSEL, 0, 0), 0) << "this connection only by default";
            PostMessageA(life, WM_KEYDOWN, VK_DOWN, 0x00500001);
            PostMessageA(life, WM_KEYUP, VK_DOWN, 0xC0500001);
          })
      .When(
          "Tarnwall", [](HWND p) { return SendMessageA(GetDlgItem(p, IDC_PROMPT_LIFE), CB_GETCURSEL, 0, 0) == 1; },
          [&](HWND p) {
            EXPECT_EQ(item_text(p, IDC_PROMPT_LIFE), "For 15 minutes");
            screenshot(p, "prompt-remember");
            post_click(p, IDOK);
          });
  script.Arm();
  traffic(PFW_PROMPT_NOTIFY);
  EXPECT_TRUE(script.Finished());
  EXPECT_EQ(answer_of(first), PFW_ALLOW);

  // The burst: answered without a prompt, each marked remembered.
  std::vector<uint32_t> burst;
  for (int i = 0; i < 5; i++) burst.push_back(ask(question("BURST.EXE")));
  traffic(PFW_PROMPT_NOTIFY);
  for (uint32_t id : burst) {
    int answer = -1, remembered = 0;
    EXPECT_EQ(PFW_WaitPromptAnswerFrom(channel, id, 0, &answer, &remembered), 1);
    EXPECT_EQ(answer, PFW_ALLOW);
    EXPECT_EQ(remembered, 1);
  }
  // Locked: nothing new is offered, but the remembered answer still answers.
  PFW_SetLockStatus(1);
  uint32_t locked = ask(question("BURST.EXE"));
  traffic(PFW_PROMPT_NOTIFY);
  EXPECT_EQ(answer_of(locked), PFW_ALLOW);
  uint32_t other = ask(question("OTHER.EXE"));
  DialogScript lockedScript;
  lockedScript.Then("Tarnwall", [](HWND p) {
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(p, IDC_PROMPT_LIFE)));
    EXPECT_EQ(item_text(p, IDC_PROMPT_LIFE), "This connection only");
    SendMessageA(GetDlgItem(p, IDC_PROMPT_LIFE), CB_SETCURSEL, 2, 0);  // even so
    post_click(p, IDC_PROMPT_DENY);
  });
  lockedScript.Arm();
  traffic(PFW_PROMPT_NOTIFY);
  EXPECT_TRUE(lockedScript.Finished());
  EXPECT_EQ(answer_of(other), PFW_DENY);
  EXPECT_EQ(wayguard::MonitorMemory().size(), 1u) << "locked, the answer was not remembered";
  PFW_SetLockStatus(0);

  // A quarter of an hour later: asked again.
  now += wayguard::kFifteenMinutesMs;
  uint32_t later = ask(question("BURST.EXE"));
  DialogScript again;
  again.Then("Tarnwall", [](HWND p) { post_click(p, IDC_PROMPT_DENY); });
  again.Arm();
  traffic(PFW_PROMPT_NOTIFY);
  EXPECT_TRUE(again.Finished());
  EXPECT_EQ(answer_of(later), PFW_DENY);
  EXPECT_EQ(wayguard::MonitorMemory().size(), 0u);
  wayguard::ReplaceMonitorMemory({});  // the test's clock ends with it
}

// The request of a prompt_helper process, once it is in the channel.
bool helper_request(PFW_PROMPT_BLOCK* channel, HANDLE helper) {
  DWORD pid = GetProcessId(helper);
  for (DWORD start = GetTickCount(); GetTickCount() - start < 30000; Sleep(10))
    for (const PFW_PROMPT_REQUEST& r : channel->slots)
      if (r.state == PFW_PROMPT_WAITING && r.asker_pid == pid) return true;
  return false;
}

// The slot of a prompt_helper process's request, or null.
PFW_PROMPT_REQUEST* helper_slot(PFW_PROMPT_BLOCK* channel, HANDLE helper) {
  DWORD pid = GetProcessId(helper);
  for (PFW_PROMPT_REQUEST& r : channel->slots)
    if (r.state != PFW_PROMPT_FREE && r.asker_pid == pid) return &r;
  return nullptr;
}

DWORD exit_code(HANDLE process, DWORD ms = 15000) {
  DWORD code = (DWORD)-2;
  if (WaitForSingleObject(process, ms) == WAIT_OBJECT_0) GetExitCodeProcess(process, &code);
  return code;
}

// The asker is killed while its prompt is up: the prompt closes at once, long before the
// asker's minute would have run out, and its request no longer counts as waiting.
TEST_F(MonitorPromptTest, APromptClosesAtOnceWhenItsAskerIsKilled) {
  start_monitor();
  HANDLE asker = start_helper("prompt_helper.exe ask 60000");
  ASSERT_TRUE(helper_request(channel, asker));
  DWORD killed_at = 0;
  DialogScript script;
  script.Then("Tarnwall", [&](HWND) {
    TerminateProcess(asker, 9);
    killed_at = GetTickCount();
  });
  script.Arm();
  traffic(PFW_PROMPT_NOTIFY);
  DWORD closed_at = GetTickCount();
  EXPECT_TRUE(script.Finished());
  EXPECT_LT(closed_at - killed_at, 3000u) << "the prompt stayed up for a killed asker";
  for (const PFW_PROMPT_REQUEST& r : channel->slots) EXPECT_EQ(r.state, PFW_PROMPT_FREE) << r.program;
  EXPECT_TRUE(boxes.empty());
  CloseHandle(asker);
}

// The user takes longer over "Configure new rule" than the asker would have waited: the
// monitor keeps it waiting, and the answer reaches it. An asker killed meanwhile is
// reported to the user once. The asker's own time is cut short by the test in the channel
// as the dialog opens, and the keep-alive's tick is sent at once: no real time passes. (That
// an extended request is still answered after its asker's own time is the channel's.)
TEST_F(MonitorPromptTest, AnAnswerAfterALongConfigureNewRuleReachesTheAsker) {
  start_monitor();
  for (bool kill : {false, true}) {
    SCOPED_TRACE(kill);
    boxes.clear();
    HANDLE asker = start_helper("prompt_helper.exe ask 60000 " + std::to_string(kill ? 8081 : 8080));
    ASSERT_TRUE(helper_request(channel, asker));
    DialogScript script;
    script
        .Then("Tarnwall",
              [&](HWND prompt) {
                SendMessageA(GetDlgItem(prompt, IDC_PROMPT_ADD_RULE), BM_CLICK, 0, 0);
                post_click(prompt, IDOK);
              })
        .Then("Configure new rule", [&](HWND dialog) {
          PFW_PROMPT_REQUEST* slot = helper_slot(channel, asker);
          ASSERT_NE(slot, nullptr);
          // The asker's own time runs out a moment from now.
          uint32_t soon = GetTickCount() + 500;
          slot->expires = soon;
          if (kill) {
            TerminateProcess(asker, 9);
            WaitForSingleObject(asker, 10000);
          }
          SendMessageA(dialog, WM_TIMER, wayguard::CNewRuleDialog::kKeepAliveTimer, 0);
          if (!kill) {
            EXPECT_GE((int32_t)(slot->expires - soon), (int32_t)(wayguard::CNewRuleDialog::kKeepAliveSpanMs - 1000))
                << "the asker was not kept waiting";
          } else {
            EXPECT_EQ(boxes.size(), 1u) << "the user was told at the tick";
          }
          SendMessageA(dialog, WM_TIMER, wayguard::CNewRuleDialog::kKeepAliveTimer, 0);  // told once only
          post_click(dialog, IDOK);
        });
    script.Arm();
    traffic(PFW_PROMPT_NOTIFY);
    EXPECT_TRUE(script.Finished());
    if (!kill) {
      EXPECT_EQ(exit_code(asker), (DWORD)(10 + PFW_ALLOW));
      EXPECT_TRUE(boxes.empty());
    } else {
      ASSERT_EQ(boxes.size(), 1u) << "told once";
      EXPECT_EQ(boxes[0].text, wayguard::kAskerStoppedWaiting);
    }
    CloseHandle(asker);
  }
}

// Locked, with the unlock dialog open and the user typing its password: the prompt comes
// clear of it, leaves the focus in the password box, lets an Enter in its first half
// second pass unanswered, and keeps Allow as the button a later Enter presses.
TEST_F(MonitorPromptTest, ThePromptTakesNoKeysMeantForTheUnlockDialogAndKeepsClearOfIt) {
  PFW_OPTIONS o = default_options();
  o.lock_status = 1;
  arrange(o);
  start_monitor();
  uint32_t id = ask(question("NEW.EXE"));
  HWND unlock = nullptr, prompt = nullptr;
  DWORD shown = 0;
  auto is_unlock = [](HWND h) { return GetDlgItem(h, IDC_UNLOCK_PASSWORD) != nullptr; };
  auto enter = [](HWND button) {
    PostMessageA(button, WM_KEYDOWN, VK_RETURN, 0x001C0001);
    PostMessageA(button, WM_KEYUP, VK_RETURN, 0xC01C0001);
  };
  DialogScript script(20000);
  script
      .When("Tarnwall", is_unlock,
            [&](HWND u) {
              unlock = u;
              SetFocus(GetDlgItem(u, IDC_UNLOCK_PASSWORD));
              traffic(PFW_PROMPT_NOTIFY);  // the question comes while the user types
            })
      .When(
          "Tarnwall", [](HWND h) { return GetDlgItem(h, IDC_PROMPT_DIRECTION) != nullptr; },
          [&](HWND p) {
            prompt = p;
            shown = GetTickCount();
            EXPECT_EQ(GetFocus(), GetDlgItem(unlock, IDC_UNLOCK_PASSWORD)) << "the prompt took the focus";
            RECT at, box, both;
            GetWindowRect(p, &at);
            GetWindowRect(GetDlgItem(unlock, IDC_UNLOCK_PASSWORD), &box);
            EXPECT_FALSE(IntersectRect(&both, &at, &box)) << "over the password box";
            screenshot(p, "prompt-beside-unlock");
            enter(GetDlgItem(p, IDOK));
          })
      .When(
          "Tarnwall", [&](HWND h) { return h == prompt && GetTickCount() - shown > 800; },
          [&](HWND p) {
            EXPECT_EQ(PFW_PromptIsWaiting(channel, id), 1) << "an Enter meant for the password answered";
            EXPECT_EQ(LOWORD(SendMessageA(p, DM_GETDEFID, 0, 0)), IDOK);
            enter(GetDlgItem(p, IDOK));
          })
      .When("Tarnwall", is_unlock, [&](HWND u) { post_click(u, IDCANCEL); });
  script.Arm();
  click(IDC_LOCK);
  EXPECT_TRUE(script.Finished());
  EXPECT_EQ(answer_of(id), PFW_ALLOW);
}

// The session ends with a prompt open: before WM_ENDSESSION returns, its request is given
// back for the next monitor; with the answer chosen and "Configure new rule" open, the
// answer is sent.
TEST_F(MonitorPromptTest, TheEndOfTheSessionGivesTheShownRequestBackOrSendsItsAnswer) {
  for (bool chosen : {false, true}) {
    SCOPED_TRACE(chosen);
    start_monitor();
    uint32_t id = ask(question(chosen ? "CHOSEN.EXE" : "OPEN.EXE"));
    DialogScript script;
    if (chosen)
      script.Then("Tarnwall", [](HWND prompt) {
        SendMessageA(GetDlgItem(prompt, IDC_PROMPT_ADD_RULE), BM_CLICK, 0, 0);
        post_click(prompt, IDC_PROMPT_DENY);
      });
    script.Then(chosen ? "Configure new rule" : "Tarnwall", [&](HWND) { send(WM_ENDSESSION, TRUE); });
    script.Arm();
    SendMessageA(hwnd(), monitor->trafficMessage(), PFW_PROMPT_NOTIFY, 0);
    EXPECT_TRUE(script.Finished());
    EXPECT_FALSE(IsWindow(hwnd())) << "the monitor ended with the session";
    if (chosen) {
      EXPECT_EQ(answer_of(id), PFW_DENY);
    } else {
      PFW_PROMPT_REQUEST taken;
      ASSERT_EQ(PFW_TakePromptRequest(channel, &taken), 1) << "not given back";
      EXPECT_EQ(taken.id, id);
    }
  }
}

// "Add this as new rule": each list in turn set to its wildcard; the rule is
// in the registry and decides the next such connection without asking.
// Stands in for a running editor: the keys of the rules it is told were added.
std::vector<WPARAM> g_added_notices;
LRESULT CALLBACK editor_stand_in(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  static const UINT notice = RegisterWindowMessageA(PFW_RULE_ADDED_MESSAGE_NAME);
  if (msg == notice) g_added_notices.push_back(wParam);
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

TEST_F(MonitorPromptTest, AddThisAsNewRuleAddsTheChosenRuleAndItsEntries) {
  start_monitor();
  WNDCLASSA stand_in_class = {};
  stand_in_class.lpfnWndProc = editor_stand_in;
  stand_in_class.hInstance = GetModuleHandleA(nullptr);
  stand_in_class.lpszClassName = "TarnwallEditorStandIn";
  RegisterClassA(&stand_in_class);
  HWND editor = CreateWindowA("TarnwallEditorStandIn", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(editor, nullptr);
  PFW_SetGlobalEdictorHwnd(editor);
  g_added_notices.clear();
  struct Case {
    int wildcard;  // the list set to its wildcard: IDC_RULE_APPLICATION, _PROTOCOL or _ADDRESS
    int button;
    int action;
  } cases[] = {
      {IDC_RULE_APPLICATION, IDOK, PFW_ALLOW},
      {IDC_RULE_PROTOCOL, IDC_PROMPT_DENY, PFW_DENY},
      {IDC_RULE_ADDRESS, IDOK, PFW_ALLOW},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.wildcard);
    std::string program = "NEW" + std::to_string(n++) + ".EXE";
    uint32_t id = ask(question(program.c_str()));
    std::vector<std::string> heading, lists[3];
    DialogScript script;
    script
        .Then("Tarnwall",
              [&](HWND prompt) {
                SendMessageA(GetDlgItem(prompt, IDC_PROMPT_ADD_RULE), BM_CLICK, 0, 0);
                post_click(prompt, c.button);
              })
        .Then("Configure new rule", [&](HWND dialog) {
          heading.push_back(item_text(dialog, IDC_RULE_HEADING));
          int boxes[3] = {IDC_RULE_APPLICATION, IDC_RULE_PROTOCOL, IDC_RULE_ADDRESS};
          for (int i = 0; i < 3; i++) {
            HWND box = GetDlgItem(dialog, boxes[i]);
            for (int k = 0; k < (int)SendMessageA(box, CB_GETCOUNT, 0, 0); k++) {
              char text[64] = "";
              SendMessageA(box, CB_GETLBTEXT, k, (LPARAM)text);
              lists[i].push_back(text);
            }
          }
          SendMessageA(GetDlgItem(dialog, c.wildcard), CB_SETCURSEL, 1, 0);
          if (c.wildcard == IDC_RULE_APPLICATION) screenshot(dialog, "prompt-new-rule");
          post_click(dialog, IDOK);
        });
    script.Arm();
    traffic(PFW_PROMPT_NOTIFY);
    ASSERT_TRUE(script.Finished());
    EXPECT_EQ(answer_of(id), c.action);
    EXPECT_EQ(heading, std::vector<std::string>{std::string(c.action == PFW_ALLOW ? "Allow" : "Deny") +
                                                " this outbound connection:"});
    EXPECT_EQ(lists[0], (std::vector<std::string>{program, "Any Application"}));
    EXPECT_EQ(lists[1], (std::vector<std::string>{"Alt Web (TCP port 8080)", "Any Protocol"}));
    EXPECT_EQ(lists[2], (std::vector<std::string>{"10.0.0.9", "Any Address"}));
  }
  EXPECT_EQ(regtest::value_names(regtest::kRuleSet).size(), values_before + 3);
  // The editor was told of each rule once, by its key.
  MSG msg;
  while (PeekMessageA(&msg, editor, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  PFW_SetGlobalEdictorHwnd(nullptr);
  DestroyWindow(editor);
  std::vector<WPARAM> notices = g_added_notices;

  // Loaded afresh from the registry, the rules decide the connections they were made for.
  PFW_PROTO_ROOT* protocols = PFW_CreateProtocolList();
  PFW_ADR_ROOT* addresses = PFW_CreateAddressList();
  PFW_APP_ROOT* apps = PFW_CreateAppList();
  PFW_RULE_ROOT* rules = PFW_CreateRuleList();
  PFW_LoadProtocolSetFromRegistry(protocols);
  PFW_LoadAddressSetFromRegistry(addresses);
  PFW_LoadApplicationSetFromRegistry(apps);
  PFW_LoadRuleSetFromRegistry(rules);
  struct Expect {
    const char* program;
    unsigned port;
    const char* address;
    int action;
  } expects[] = {
      {"ANYONE.EXE", 8080, "10.0.0.9", PFW_ALLOW},   // any application
      {"NEW1.EXE", 21, "10.0.0.9", PFW_DENY},        // any protocol
      {"NEW2.EXE", 8080, "192.168.7.7", PFW_ALLOW},  // any address
      {"NEW2.EXE", 21, "10.0.0.9", PFW_ASK},         // none of them: the default asks
  };
  for (const Expect& e : expects) {
    PFW_RULE rule;
    int key = -1;
    ASSERT_NE(PFW_GetRule(rules, addresses, protocols, apps, e.port, PFW_TCP, ip(e.address), e.program, PFW_OUTBOUND,
                          &key, &rule),
              nullptr)
        << e.program;
    EXPECT_EQ(rule.action, e.action) << e.program << " " << e.port;
    EXPECT_EQ(rule.log, 1);
    if (e.action != PFW_ASK) {
      EXPECT_EQ(std::count(notices.begin(), notices.end(), (WPARAM)key), 1) << e.program;
    }
  }
  EXPECT_EQ(notices.size(), 3u);
  int key = -1;
  PFW_PROTO p;
  ASSERT_TRUE(PFW_GetExactProtocolByService(protocols, PFW_TCP, 8080, &key, &p));
  EXPECT_STREQ(p.name, "Alt Web") << "the service's entry, added once";
  PFW_RemoveRuleList(rules);
  PFW_RemoveAppList(apps);
  PFW_RemoveAddressList(addresses);
  PFW_RemoveProtocolList(protocols);
}

}  // namespace
