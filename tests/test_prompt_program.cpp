// The monitor's connection prompt end to end: the real wayguard.exe asked by the real
// interceptor.exe, killed and started again, and the real editor told of a new rule.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "drive.h"
#include "monitor_fixture.h"
#include "traffic_consumer.h"

#include <commctrl.h>

namespace {

// The installed outbound default: Ask, logged.
void outbound_default_asks() {
  PFW_RULE_RECORD outbound = {0, 0, 0, PFW_OUTBOUND, PFW_ASK, 1};
  ASSERT_TRUE(regtest::write_value(regtest::kRuleSet, "0,0,0,1", REG_BINARY, &outbound, sizeof outbound));
}

struct Found {
  DWORD process;
  HWND hwnd;
};

BOOL CALLBACK find_prompt(HWND hwnd, LPARAM param) {
  auto* f = reinterpret_cast<Found*>(param);
  DWORD process = 0;
  GetWindowThreadProcessId(hwnd, &process);
  char text[64] = "";
  GetWindowTextA(hwnd, text, sizeof text);
  if (process == f->process && IsWindowVisible(hwnd) && strcmp(text, "Tarnwall") == 0 &&
      GetDlgItem(hwnd, IDC_PROMPT_DIRECTION))
    f->hwnd = hwnd;
  return TRUE;
}

class PromptProgramTest : public RegistryTest {
 protected:
  void SetUp() override {
    RegistryTest::SetUp();
    regtest::install_starting_set();
    outbound_default_asks();
    PFW_OPTIONS o = {};
    o.run_mode = PFW_MODE_FILTER;
    o.log_allow = o.log_deny = 1;
    ASSERT_TRUE(PFW_SetOptionsInRegistry(o));
    PFW_InitializeGlobalData();
    PFW_SetRunMode(PFW_MODE_FILTER);
    PFW_SetGlobalMonitorHwnd(nullptr);
  }
  void TearDown() override {
    stop_monitor();
    PFW_SetGlobalMonitorHwnd(nullptr);
    RegistryTest::TearDown();
  }
  void start_monitor() {
    STARTUPINFOA si{};
    si.cb = sizeof si;
    std::string cmd = "\"" + program_directory() + "wayguard.exe\"";
    ASSERT_TRUE(CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &monitor));
    CloseHandle(monitor.hThread);
    for (int i = 0; i < 1500; i++) {
      HWND h = PFW_GetGlobalMonitorHwnd();
      DWORD owner = 0;
      if (h && IsWindow(h)) GetWindowThreadProcessId(h, &owner);
      if (owner == monitor.dwProcessId) return;
      Sleep(20);
    }
    FAIL() << "the monitor recorded no window";
  }
  void stop_monitor() {
    if (!monitor.hProcess) return;
    TerminateProcess(monitor.hProcess, 9);
    WaitForSingleObject(monitor.hProcess, 10000);
    CloseHandle(monitor.hProcess);
    monitor = {};
  }
  HWND prompt(DWORD ms = 20000) {
    Found f{monitor.dwProcessId, nullptr};
    for (DWORD start = GetTickCount(); !f.hwnd && GetTickCount() - start < ms; Sleep(50))
      EnumWindows(find_prompt, reinterpret_cast<LPARAM>(&f));
    return f.hwnd;
  }
  // The prompt's "Add this as new rule" and Allow, then the visible "Configure new rule"
  // the monitor opens (null when neither came within the bounded waits).
  HWND configure_new_rule() {
    HWND p = prompt();
    EXPECT_NE(p, nullptr) << "no prompt came";
    if (!p) return nullptr;
    SendMessageA(GetDlgItem(p, IDC_PROMPT_ADD_RULE), BM_CLICK, 0, 0);
    post_click(p, IDOK);
    HWND configure = nullptr;
    for (int i = 0; i < 500 && !configure; i++, Sleep(20)) {
      configure = FindWindowA(nullptr, "Configure new rule");
      if (configure && !IsWindowVisible(configure)) configure = nullptr;
    }
    EXPECT_NE(configure, nullptr) << "no \"Configure new rule\" came";
    return configure;
  }
  // interceptor.exe on its own thread, so the test can answer meanwhile.
  std::thread intercept(const std::string& args, const std::string& input, ProgramRun& run) {
    return std::thread(
        [=, &run] { run = run_program("\"" + program_directory() + "interceptor.exe\" " + args, input, nullptr); });
  }
  // Whether a request of `program` shows in the channel within a bounded wait.
  static bool request_of(const char* program) {
    PFW_PROMPT_BLOCK* channel = PFW_OpenPromptChannel();
    bool seen = false;
    for (DWORD start = GetTickCount(); channel && !seen && GetTickCount() - start < 20000; Sleep(5))
      for (const PFW_PROMPT_REQUEST& r : channel->slots)
        seen = seen || (r.state != PFW_PROMPT_FREE && strcmp(r.program, program) == 0);
    if (channel) PFW_ClosePromptChannel(channel);
    return seen;
  }
  static int count(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) n++;
    return n;
  }

  PROCESS_INFORMATION monitor = {};
};

TEST_F(PromptProgramTest, TheRealMonitorAsksAndTheInterceptorFollowsTheButtons) {
  start_monitor();
  for (int button : {IDOK, IDC_PROMPT_DENY}) {
    ProgramRun run;
    std::thread t = intercept("--ask-ms 20000 \"out tcp 8080 10.0.0.9 NEW.EXE\"", "", run);
    HWND p = prompt();
    EXPECT_NE(p, nullptr);
    if (p) {
      EXPECT_EQ(item_text(p, IDC_PROMPT_APPLICATION), "NEW.EXE");
      EXPECT_EQ(item_text(p, IDC_PROMPT_SERVICE), "TCP port 8080");
      EXPECT_EQ(item_text(p, IDC_PROMPT_ADDRESS), "10.0.0.9");
      post_click(p, button);
    }
    t.join();
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_NE(run.out.find(button == IDOK ? "-> ask:allow" : "-> ask:deny [asked"), std::string::npos) << run.out;
  }

  // Twenty attempts at once from one program to one place: one prompt.
  ProgramRun run;
  std::string input;
  for (int i = 0; i < 20; i++) input += "out tcp 8080 10.0.0.9 BURST.EXE\n";
  std::thread t = intercept("--ask-ms 20000", input, run);
  HWND p = prompt();
  EXPECT_NE(p, nullptr);
  // Every attempt has asked: twenty requests for BURST.EXE in the channel.
  PFW_PROMPT_BLOCK* channel = PFW_OpenPromptChannel();
  EXPECT_NE(channel, nullptr);
  int asked = 0;
  for (DWORD start = GetTickCount(); channel && asked < 20 && GetTickCount() - start < 20000; Sleep(20)) {
    asked = 0;
    for (const PFW_PROMPT_REQUEST& r : channel->slots)
      asked += r.state != PFW_PROMPT_FREE && strcmp(r.program, "BURST.EXE") == 0;
  }
  EXPECT_EQ(asked, 20) << "twenty BURST.EXE requests in the channel within 20 s";
  if (channel) PFW_ClosePromptChannel(channel);
  if (p) post_click(p, IDOK);
  t.join();
  EXPECT_EQ(count(run.out, "BURST.EXE -> ask:allow"), 20) << run.out;
  EXPECT_EQ(prompt(1000), nullptr) << "a second prompt";
}

// "Until Wayguard ends" with the real programs: the drop-down chosen with the Down key,
// a burst of the same connection answered from memory with no prompt, Block mode still
// denying it, and a new monitor remembering nothing.
TEST_F(PromptProgramTest, UntilWayguardEndsAnswersABurstButNotBlockModeNorTheNextMonitor) {
  start_monitor();
  const std::string attempt = "\"out tcp 8080 10.0.0.9 KEPT.EXE\"";
  ProgramRun run;
  std::thread t = intercept("--ask-ms 20000 " + attempt, "", run);
  HWND p = prompt();
  ASSERT_NE(p, nullptr);
  // The prompt passes keys over for its first half second; the choice is pressed until it shows.
  EXPECT_TRUE(winui::ChooseByKeys(GetDlgItem(p, IDC_PROMPT_LIFE), 2, 10000))
      << "\"Until Wayguard ends\" was not chosen with the Down key within 10 s";
  EXPECT_EQ(item_text(p, IDC_PROMPT_LIFE), "Until Wayguard ends");
  post_click(p, IDOK);
  t.join();
  EXPECT_EQ(count(run.out, "KEPT.EXE -> ask:allow [asked, the user allowed it]"), 1) << run.out;

  run = run_program("\"" + program_directory() + "interceptor.exe\" --ask-ms 20000 " + attempt + " " + attempt + " " +
                        attempt + " " + attempt,
                    "", nullptr);
  EXPECT_EQ(count(run.out, "KEPT.EXE -> ask:allow (remembered)"), 4) << run.out;
  EXPECT_EQ(prompt(500), nullptr) << "a prompt for a remembered connection";

  PFW_SetRunMode(PFW_MODE_BLOCK);
  run = run_program("\"" + program_directory() + "interceptor.exe\" --ask-ms 20000 " + attempt, "", nullptr);
  PFW_SetRunMode(PFW_MODE_FILTER);
  EXPECT_NE(run.out.find("KEPT.EXE -> deny [block mode] mode=block"), std::string::npos) << run.out;

  stop_monitor();
  start_monitor();
  t = intercept("--ask-ms 20000 " + attempt, "", run);
  p = prompt();
  EXPECT_NE(p, nullptr) << "the new monitor remembered";
  if (p) post_click(p, IDC_PROMPT_DENY);
  t.join();
  EXPECT_NE(run.out.find("KEPT.EXE -> ask:deny [asked, the user denied it]"), std::string::npos) << run.out;
}

TEST_F(PromptProgramTest, AKilledMonitorLeavesNothingStuckAndWithoutOneNobodyIsAsked) {
  ProgramRun run;
  run = run_program("\"" + program_directory() + "interceptor.exe\" \"out tcp 8080 10.0.0.9 NEW.EXE\"", "", nullptr);
  EXPECT_NE(run.out.find("-> ask:deny [ask rule, no monitor to ask]"), std::string::npos) << run.out;

  // Killed with the prompt open: a new monitor shows it again and its answer counts.
  start_monitor();
  std::thread t = intercept("--ask-ms 30000 \"out tcp 8080 10.0.0.9 NEW.EXE\"", "", run);
  EXPECT_NE(prompt(), nullptr);
  stop_monitor();
  start_monitor();
  HWND p = prompt();
  EXPECT_NE(p, nullptr);
  if (p) post_click(p, IDC_PROMPT_DENY);
  t.join();
  EXPECT_NE(run.out.find("-> ask:deny [asked, the user denied it]"), std::string::npos) << run.out;

  // Killed once the request is in the channel, and no monitor after it: the wait ends by its
  // time-out, whether or not the prompt had shown.
  t = intercept("--ask-ms 2000 \"out tcp 8080 10.0.0.9 NEW.EXE\"", "", run);
  EXPECT_TRUE(request_of("NEW.EXE")) << "the attempt's request never reached the channel";
  stop_monitor();
  t.join();
  EXPECT_NE(run.out.find("-> ask:timeout"), std::string::npos) << run.out;
}

// The interceptor's own wait honours the monitor's extensions: "Configure new rule" stays
// open well past the attempt's three seconds, and the attempt is still allowed.
TEST_F(PromptProgramTest, TheInterceptorWaitsWhileTheUserMakesTheRule) {
  start_monitor();
  ProgramRun run;
  DWORD asked_at = GetTickCount();
  std::thread t = intercept("--ask-ms 3000 \"out tcp 8080 10.0.0.9 SLOW.EXE\"", "", run);
  HWND configure = configure_new_rule();
  // The user takes their time: the attempt's own three seconds pass with the dialog open,
  // and the attempt waits on past them.
  while (configure && GetTickCount() - asked_at < 3500 && IsWindow(configure)) Sleep(50);
  if (configure) post_click(configure, IDOK);
  t.join();
  EXPECT_NE(run.out.find("SLOW.EXE -> ask:allow"), std::string::npos) << run.out;
}

// Every slot in use: the interceptor asks nobody, denies as with no monitor, and says why.
TEST_F(PromptProgramTest, AFullChannelDecidesAsWithNoMonitorAndSaysSo) {
  start_monitor();
  PFW_PROMPT_BLOCK* channel = PFW_OpenPromptChannel();
  ASSERT_NE(channel, nullptr);
  std::vector<uint32_t> ids;
  for (int i = 0; i < PFW_PROMPT_SLOTS; i++) {
    PFW_PROMPT_REQUEST q = {};
    snprintf(q.program, sizeof q.program, "FILL%d.EXE", i);
    uint32_t id = 0;
    if (PFW_AskPrompt(channel, &q, 60000, &id, nullptr)) ids.push_back(id);
  }
  EXPECT_EQ(ids.size(), (size_t)PFW_PROMPT_SLOTS);
  ProgramRun run =
      run_program("\"" + program_directory() + "interceptor.exe\" \"out tcp 8080 10.0.0.9 NEW.EXE\"", "", nullptr);
  EXPECT_NE(run.out.find("-> ask:deny [ask rule, the prompt channel is full]"), std::string::npos) << run.out;
  for (uint32_t id : ids) PFW_WaitPromptAnswer(channel, id, 0, nullptr);
  PFW_ClosePromptChannel(channel);
}

// How many rows an editor's list and nodes its six trees show, read from outside its process.
struct EditorCounts {
  int rows = -1, nodes = 0;
  bool operator==(const EditorCounts&) const = default;
};
EditorCounts editor_counts(HWND view) {
  EditorCounts c;
  HWND list = FindWindowExA(view, nullptr, "SysListView32", nullptr);
  if (list) c.rows = (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
  for (HWND tree = FindWindowExA(view, nullptr, "SysTreeView32", nullptr); tree;
       tree = FindWindowExA(view, tree, "SysTreeView32", nullptr))
    c.nodes += (int)SendMessageA(tree, TVM_GETCOUNT, 0, 0);
  return c;
}

TEST_F(PromptProgramTest, ARuleThePromptAddsShowsInTheRunningEditor) {
  PFW_SetGlobalEdictorHwnd(nullptr);
  PROCESS_INFORMATION editor = {};
  STARTUPINFOA si{};
  si.cb = sizeof si;
  std::string cmd = "\"" + program_directory() + "edictor.exe\"";
  ASSERT_TRUE(CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &editor));
  CloseHandle(editor.hThread);
  HWND view = nullptr;
  EditorCounts before;
  for (int i = 0; i < 1000 && before.rows <= 0; i++, Sleep(20)) {
    view = PFW_GetGlobalEdictorHwnd();
    if (view && IsWindow(view)) before = editor_counts(view);
  }
  EXPECT_EQ(before.rows, 2) << "the two default rules";
  start_monitor();

  ProgramRun run;
  std::thread t = intercept("--ask-ms 20000 \"out tcp 8080 10.0.0.9 NEW.EXE\"", "", run);
  HWND configure = configure_new_rule();
  if (configure) post_click(configure, IDOK);
  t.join();
  EXPECT_NE(run.out.find("-> ask:allow"), std::string::npos) << run.out;

  // One row more; each outbound tree has the new protocol, address, program and rule.
  EditorCounts expected{before.rows + 1, before.nodes + 3 * 4}, after;
  for (int i = 0; i < 250 && !(after == expected); i++, Sleep(20)) after = editor_counts(view);
  EXPECT_EQ(after.rows, expected.rows);
  EXPECT_EQ(after.nodes, expected.nodes);
  TerminateProcess(editor.hProcess, 9);
  WaitForSingleObject(editor.hProcess, 10000);
  CloseHandle(editor.hProcess);
  PFW_SetGlobalEdictorHwnd(nullptr);
}

}  // namespace
