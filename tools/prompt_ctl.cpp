// prompt_ctl - answers the monitor's connection prompt from outside, by window
// messages, as a user's clicks would: for the main job's showing.
//
//   prompt_ctl [--timeout MS] [--shot FILE.bmp] [--rule-shot FILE.bmp] [--for 15min|end] <allow|deny> [--add-rule]
//
// Waits for the prompt ("Tarnwall" with its connection fields), prints its
// texts, saves its picture, ticks "Add this as new rule" when asked to, and
// presses Allow or Deny; with --add-rule it then presses OK in "Configure new
// rule", leaving its lists at this connection's own entries. --for chooses how
// long the answer holds ("For 15 minutes" or "Until Wayguard ends") with the
// Down key a user presses in the drop-down, once the prompt takes keys.
// Exit codes: 0 answered; 1 wrong usage; 2 no prompt (or no new-rule window) in time.
#include <stdio.h>
#include <string.h>
#include <stdlib.h>
#include <windows.h>

#include <string>

#include "drive.h"
#include "screenshot.h"
#include "wayguard_ids.h"

namespace {

constexpr int kDirection = IDC_PROMPT_DIRECTION, kApplication = IDC_PROMPT_APPLICATION, kService = IDC_PROMPT_SERVICE,
              kAddress = IDC_PROMPT_ADDRESS, kAddRule = IDC_PROMPT_ADD_RULE, kDeny = IDC_PROMPT_DENY,
              kHeading = IDC_RULE_HEADING;

struct Search {
  const char* title;
  int control;  // a control the window must have
  HWND found;
};

BOOL CALLBACK find(HWND hwnd, LPARAM param) {
  auto* s = reinterpret_cast<Search*>(param);
  char text[64] = "";
  GetWindowTextA(hwnd, text, sizeof text);
  if (IsWindowVisible(hwnd) && strcmp(text, s->title) == 0 && GetDlgItem(hwnd, s->control)) {
    s->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

HWND wait_for(const char* title, int control, DWORD ms) {
  Search s{title, control, nullptr};
  for (DWORD start = GetTickCount(); GetTickCount() - start < ms; Sleep(50)) {
    EnumWindows(find, reinterpret_cast<LPARAM>(&s));
    if (s.found) return s.found;
  }
  return nullptr;
}

std::string text_of(HWND dialog, int id) {
  char text[256] = "";
  GetDlgItemTextA(dialog, id, text, sizeof text);
  return text;
}

void click(HWND dialog, int id) {
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(dialog, id));
}

void shot(HWND window, const char* path) {
  if (!path) return;
  if (!winui::SaveScreenshot(window, path)) fprintf(stderr, "prompt_ctl: no picture saved to %s\n", path);
}

// Chooses the answer's life in the drop-down with the Down key, as a user would; the
// prompt takes keys only half a second after it appeared, so a key it passed over is
// pressed again.
bool choose_life(HWND prompt, int times, DWORD ms) {
  return winui::ChooseByKeys(GetDlgItem(prompt, IDC_PROMPT_LIFE), times, ms);
}

}  // namespace

int main(int argc, char** argv) {
  DWORD timeout = 30000;
  const char *picture = nullptr, *rule_picture = nullptr;
  int answer = -1;
  bool add_rule = false;
  bool bad = false;
  int life = 0;  // Down presses: 1 "For 15 minutes", 2 "Until Wayguard ends"
  for (int i = 1; i < argc; i++) {
    if (!strcmp(argv[i], "--timeout") && i + 1 < argc)
      timeout = strtoul(argv[++i], nullptr, 10);
    else if (!strcmp(argv[i], "--shot") && i + 1 < argc)
      picture = argv[++i];
    else if (!strcmp(argv[i], "--rule-shot") && i + 1 < argc)
      rule_picture = argv[++i];
    else if (!strcmp(argv[i], "--add-rule"))
      add_rule = true;
    else if (!strcmp(argv[i], "--for") && i + 1 < argc) {
      i++;
      life = !strcmp(argv[i], "15min") ? 1 : !strcmp(argv[i], "end") ? 2 : -1;
      bad = bad || life < 0;
    } else if (!strcmp(argv[i], "allow"))
      answer = IDOK;
    else if (!strcmp(argv[i], "deny"))
      answer = kDeny;
    else
      answer = -2;
  }
  if (answer < 0 || bad) {
    fputs(
        "usage: prompt_ctl [--timeout MS] [--shot FILE.bmp] [--rule-shot FILE.bmp] [--for 15min|end] <allow|deny> "
        "[--add-rule]\n",
        stderr);
    return 1;
  }
  HWND prompt = wait_for("Tarnwall", kDirection, timeout);
  if (!prompt) {
    fputs("prompt_ctl: no prompt appeared\n", stderr);
    return 2;
  }
  printf("prompt \"Tarnwall\": direction %s, application %s, service %s, address %s\n",
         text_of(prompt, kDirection).c_str(), text_of(prompt, kApplication).c_str(), text_of(prompt, kService).c_str(),
         text_of(prompt, kAddress).c_str());
  if (life && !choose_life(prompt, life, timeout)) {
    fputs("prompt_ctl: the drop-down did not take the choice\n", stderr);
    return 2;
  }
  if (life) printf("chose \"%s\"\n", text_of(prompt, IDC_PROMPT_LIFE).c_str());
  shot(prompt, picture);
  if (add_rule) SendMessageA(GetDlgItem(prompt, kAddRule), BM_SETCHECK, BST_CHECKED, 0);
  printf("pressed %s%s\n", answer == IDOK ? "Allow" : "Deny", add_rule ? " with \"Add this as new rule\" ticked" : "");
  click(prompt, answer);
  if (!add_rule) return 0;
  HWND rule = wait_for("Configure new rule", kHeading, timeout);
  if (!rule) {
    fputs("prompt_ctl: \"Configure new rule\" did not appear\n", stderr);
    return 2;
  }
  printf("\"Configure new rule\": %s\n", text_of(rule, kHeading).c_str());
  shot(rule, rule_picture);
  click(rule, IDOK);
  printf("pressed OK\n");
  return 0;
}
