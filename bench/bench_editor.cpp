// How long Edictor takes to come up on lists filled to capacity: from the view's
// construction to the filled, shown window, and what showing one rule costs in store calls.
#include <stdio.h>

#include "bench_support.h"
#include "controls.h"
#include "frame.h"
#include "main_frame.h"
#include "seams.h"

namespace {

// This process's own processor time: under a loaded machine the clock on the wall says little.
double cpu_ms() {
  FILETIME created, ended, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user);
  auto ms = [](const FILETIME& t) {
    return (static_cast<double>(t.dwHighDateTime) * 4294967296.0 + t.dwLowDateTime) / 1e4;
  };
  return ms(kernel) + ms(user);
}

// Names in an order unlike their keys, so that every insertion finds its place among siblings.
void name(char* out, size_t size, const char* kind, unsigned i) {
  snprintf(out, size, "%s %04u", kind, (i * 7919u) % 10007u);
}

}  // namespace

int main() {
  BenchLists lists;
  if (!lists.ok()) {
    printf("lists could not be made\n");
    return 1;
  }
  lists.add_wildcards();
  char text[64];
  unsigned protocols = 1, addresses = 1, apps = 1;
  for (unsigned i = 1; i < PFW_PROTOCOL_SLOTS; ++i) {
    name(text, sizeof text, "Service", i);
    if (PFW_AddProtocol(lists.protocols, 0, text, static_cast<PFW_TRANSPORT>(i % 2), 1000 + i)) ++protocols;
  }
  for (unsigned i = 1; i < PFW_ADDRESS_SLOTS; ++i) {
    name(text, sizeof text, "Host", i);
    if (PFW_AddAddress(lists.addresses, 0, ip(10, i >> 8, i & 0xFF, 1), ip(10, i >> 8, i & 0xFF, 1), text,
                       PFW_SINGLE_ADDRESS))
      ++addresses;
  }
  for (unsigned i = 1; i < PFW_APP_SLOTS; ++i) {
    char file[32];
    snprintf(file, sizeof file, "PROG%04u.EXE", i);
    name(text, sizeof text, "Program", i);
    if (PFW_AddApp(lists.apps, 0, file, text)) ++apps;
  }
  unsigned rules = 0;
  PFW_AddRule(lists.rules, 0, 0, 0, PFW_INBOUND, PFW_DENY, 1);
  PFW_AddRule(lists.rules, 0, 0, 0, PFW_OUTBOUND, PFW_ALLOW, 0);
  rules = 2;
  for (unsigned i = 2; i < PFW_RULE_SLOTS; ++i) {
    if (PFW_AddRule(lists.rules, static_cast<int>(i % protocols), static_cast<int>((i * 7) % addresses),
                    static_cast<int>((i * 13) % apps), static_cast<int>(i % 2), static_cast<int>(i % 3), 0))
      ++rules;
  }
  printf("lists filled: %u protocols, %u addresses, %u applications, %u rules\n", protocols, addresses, apps, rules);

  PFW_InitializeGlobalData();
  PFW_SetGlobalEdictorHwnd(nullptr);
  winui::InitCommonControls();
  winui::SetMessageBoxHook([](const winui::MessageBoxCall& call) {
    printf("unexpected message: %s\n", call.text.c_str());
    return IDOK;
  });

  double start = now_ms(), startCpu = cpu_ms();
  edictor::CEdictorApp app;
  app.frame().SetQuitOnDestroy(false);
  if (!app.InitInstance(SW_SHOW)) {
    printf("the editor could not be made\n");
    return 1;
  }
  edictor::CMainFrame& frame = app.frame();
  edictor::CTreeDialog& view = app.view();
  winui::PumpMessages();
  UpdateWindow(frame.hwnd());
  double shown = now_ms() - start, shownCpu = cpu_ms() - startCpu;

  int rows = view.List().Count();
  int nodes = 0;
  for (int tab = 0; tab < 3; ++tab) nodes += view.Tree(tab, PFW_INBOUND).Count() + view.Tree(tab, PFW_OUTBOUND).Count();
  printf("editor up and filled: %.0f ms (goal: at most 1500 ms), of it %.0f ms of this process's processor time\n",
         shown, shownCpu);
  printf("rules shown: %d list rows, %d tree nodes in six trees\n", rows, nodes);
  printf("store calls to show them: %ld, %.2f per rule shown\n", edictor::StoreCallCount(),
         rows ? static_cast<double>(edictor::StoreCallCount()) / rows : 0.0);

  // What the four lookups per rule take alone, without any window.
  double lookStart = now_ms();
  for (unsigned key = 0; key < lists.rules->next_key; ++key) {
    edictor::RuleView rule;
    edictor::LoadRuleView(view.lists(), static_cast<int>(key), &rule);
  }
  printf("the four lookups of every rule asked one by one, for comparison: %.0f ms\n", now_ms() - lookStart);

  // One header click: the sort looks every row's texts up once.
  NMLISTVIEW click{};
  click.hdr = {view.List().hwnd(), 1020, LVN_COLUMNCLICK};
  click.iItem = -1;
  click.iSubItem = 2;
  double sortStart = now_ms();
  SendMessageA(view.hwnd(), WM_NOTIFY, 1020, reinterpret_cast<LPARAM>(&click));
  printf("sorting %d rows by application: %.0f ms\n", rows, now_ms() - sortStart);

  DestroyWindow(frame.hwnd());
  winui::PumpMessages();
  return 0;
}
