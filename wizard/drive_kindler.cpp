// kindler_drive.exe: runs an installed kindler.exe the way a user would, but by window
// messages, for the main job. It visits all six pages (the "Other" page on the way, then
// back), chooses a provider and an access for its first two groups, saves a picture of
// every page, presses Finish, and prints the rules the wizard added.
//
//   kindler_drive <kindler.exe> <screenshot folder> [provider index]
#include <windows.h>
#include <commctrl.h>
#include <stdio.h>
#include <stdlib.h>

#include <set>
#include <string>

#include "kindler_ids.h"
#include "screenshot.h"
#include "list_set.h"
#include "tessary.h"

namespace {

HWND g_wizard = nullptr;
std::string g_shots;

void Press(int id) { SendMessageA(g_wizard, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(g_wizard, id)); }
void Key(int id, WPARAM key) {
  SendMessageA(GetDlgItem(g_wizard, id), WM_KEYDOWN, key, 0);
  SendMessageA(GetDlgItem(g_wizard, id), WM_KEYUP, key, 0);
}
void Shot(const char* name) {
  // Painted before the picture is taken: SaveScreenshot waits until the wizard has painted, caption included.
  RedrawWindow(g_wizard, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
  std::string path = g_shots + "\\" + name + ".bmp";
  printf("  %-26s %s\n", name, winui::SaveScreenshot(g_wizard, path.c_str()) ? "saved" : "NOT saved");
}
bool Visible(int id) { return IsWindowVisible(GetDlgItem(g_wizard, id)) != FALSE; }

struct Store {
  tessary::ListSet set;
  PFW_PROTO_ROOT* protocols = set.protocols;
  PFW_ADR_ROOT* addresses = set.addresses;
  PFW_APP_ROOT* apps = set.apps;
  PFW_RULE_ROOT* rules = set.rules;
  Store() { set.load_from_registry(); }
  // One line per rule. Keys are given afresh at each load, so rules are told apart by what they say.
  std::set<std::string> Lines() const {
    std::set<std::string> lines;
    for (unsigned k = 0; k < rules->next_key; ++k) {
      std::string line = Describe(k);
      if (!line.empty()) lines.insert(line);
    }
    return lines;
  }
  std::string Describe(unsigned key) const {
    PFW_RULE r;
    PFW_PROTO p = {};
    PFW_ADR a = {};
    PFW_APP app = {};
    if (!PFW_GetRuleByIndex(rules, (int)key, &r)) return "";
    PFW_GetProtocolByIndex(protocols, (int)r.protocol_key, &p);
    PFW_GetAddressByIndex(addresses, (int)r.address_key, &a);
    PFW_GetAppByIndex(apps, (int)r.app_key, &app);
    static const char* const actions[] = {"allow", "deny", "ask"};
    char service[64], line[200];
    if (p.any)
      snprintf(service, sizeof service, "%s", p.name);
    else
      snprintf(service, sizeof service, "%s %s %u", p.name, p.transport == PFW_UDP ? "UDP" : "TCP", p.port);
    snprintf(line, sizeof line, "  %-8s %-22s %-14s %-16s %s", r.direction == PFW_INBOUND ? "in" : "out", service,
             a.name, app.name, r.action >= 0 && r.action <= 2 ? actions[r.action] : "?");
    return line;
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: kindler_drive <kindler.exe> <screenshot folder> [provider index]\n");
    return 2;
  }
  g_shots = argv[2];
  int provider = argc > 3 ? atoi(argv[3]) : 0;
  std::set<std::string> before;
  {
    Store store;
    before = store.Lines();
  }

  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  std::string cmd = std::string("\"") + argv[1] + "\"";
  if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    fprintf(stderr, "cannot start %s\n", argv[1]);
    return 1;
  }
  CloseHandle(pi.hThread);
  for (int i = 0; i < 400 && !g_wizard; ++i, Sleep(50)) g_wizard = FindWindowA("KindlerWizard", nullptr);
  if (!g_wizard) {
    fprintf(stderr, "the wizard's window did not appear within 20 s\n");
    TerminateProcess(pi.hProcess, 1);
    return 1;
  }
  WaitForInputIdle(pi.hProcess, 5000);

  printf("pages:\n");
  Shot("main-wizard-page1");
  Press(IDC_CMDNEXT);
  Key(IDC_LVWPROVIDERS, VK_END);  // "Other", last in the list
  Press(IDC_CMDNEXT);
  Shot("main-wizard-page5");
  Press(IDC_CMDBACK);
  Key(IDC_LVWPROVIDERS, VK_HOME);
  for (int i = 0; i < provider; ++i) Key(IDC_LVWPROVIDERS, VK_DOWN);
  Shot("main-wizard-page2");
  Press(IDC_CMDNEXT);
  if (!Visible(IDC_LBLPAGE3A)) {
    fprintf(stderr, "the provider page was not accepted\n");
    TerminateProcess(pi.hProcess, 1);
    return 1;
  }
  Shot("main-wizard-page3");
  Press(IDC_CMDNEXT);
  if (Visible(IDC_PICS(1))) {
    // Deny for the first group, Allow for the second; the others keep Ask.
    SendMessageA(GetDlgItem(GetDlgItem(g_wizard, IDC_PICS(1)), IDC_OPTS(1, 0)), BM_CLICK, 0, 0);
    SendMessageA(GetDlgItem(GetDlgItem(g_wizard, IDC_PICS(2)), IDC_OPTS(2, 2)), BM_CLICK, 0, 0);
    Shot("main-wizard-page4");
  }
  for (int i = 0; i < 12 && !Visible(IDC_CHKSTARTEDICTOR); ++i) Press(IDC_CMDNEXT);
  // The main job shows the rules here rather than in Edictor.
  SendMessageA(GetDlgItem(g_wizard, IDC_CHKSTARTEDICTOR), BM_CLICK, 0, 0);
  Shot("main-wizard-page6");
  PostMessageA(g_wizard, WM_COMMAND, MAKEWPARAM(IDC_CMDNEXT, BN_CLICKED), (LPARAM)GetDlgItem(g_wizard, IDC_CMDNEXT));
  DWORD code = 1;
  if (WaitForSingleObject(pi.hProcess, 60000) == WAIT_OBJECT_0)
    GetExitCodeProcess(pi.hProcess, &code);
  else
    TerminateProcess(pi.hProcess, 1);
  CloseHandle(pi.hProcess);
  printf("Finish: the wizard ended with code %lu\n", code);

  Store store;
  std::set<std::string> after = store.Lines();
  // A rule set kept from an earlier run may hold the same rules already; "+" marks what this run changed.
  size_t changed = 0;
  for (const std::string& line : after) changed += before.count(line) ? 0 : 1;
  printf("the rule set after Finish (%zu rules; + added or changed now: %zu):\n", after.size(), changed);
  printf("    %-8s %-22s %-14s %-16s %s\n", "way", "service", "address", "program", "action");
  for (const std::string& line : after) printf("%s %s\n", before.count(line) ? " " : "+", line.c_str());
  return code == 0 ? 0 : 1;
}
