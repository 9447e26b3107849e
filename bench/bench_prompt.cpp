// bench_prompt - what asking the user costs the interceptor.
//
//   1. One decision for a program whose first attempt was asked about and
//      answered with "Add this as new rule" (a rule for the program, any
//      protocol, any address), against one decided by any other such rule, and
//      one that finds only the Ask default: the answer a rule gives must cost
//      no more than any other lookup.
//   2. From the interceptor's request to the monitor being told: the request
//      put in the prompt channel and wParam 3 posted, until a monitor window on
//      another thread has the message and has taken the request; and the whole
//      round trip to the answer back at the asker.
//   3. A remembered answer: the monitor finds the connection in its memory
//      (RememberedAnswers, as Wayguard's) and answers without a prompt; its
//      round trip, which must cost no more than the plain one of 2.
// Usage: bench_prompt [decisions] [questions]   (defaults 3000, 300)
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <atomic>
#include <vector>

#include "bench_support.h"
#include "interceptor_session.h"
#include "remembered_answers.h"

using namespace interceptor;

namespace {

// The monitor's side, as small as it gets: take the request, note when, allow it.
struct Monitor {
  UINT message = RegisterWindowMessageA(PFW_PRIVATE_MESSAGE_NAME);
  PFW_PROMPT_BLOCK* channel = PFW_OpenPromptChannel();
  std::atomic<HWND> hwnd{nullptr};
  std::atomic<double> told_at{0};
  wayguard::RememberedAnswers* memory = nullptr;  // set: answers from it, as Wayguard does
  HANDLE thread = nullptr;
  static Monitor* self;

  static LRESULT CALLBACK procedure(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == self->message && wp == PFW_PROMPT_NOTIFY) {
      PFW_PROMPT_REQUEST r;
      while (PFW_TakePromptRequest(self->channel, &r)) {
        self->told_at = now_us();
        std::optional<int> known = self->memory ? self->memory->Recall(r) : std::nullopt;
        if (known)
          PFW_AnswerPromptFromMemory(self->channel, r.id, *known);
        else
          PFW_AnswerPrompt(self->channel, r.id, PFW_ALLOW);
      }
      return 1;
    }
    if (m == WM_CLOSE) {
      DestroyWindow(w);
      PostQuitMessage(0);
      return 0;
    }
    return DefWindowProcA(w, m, wp, lp);
  }
  static DWORD WINAPI main(void*) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = procedure;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "TarnwallBenchPromptMonitor";
    RegisterClassA(&wc);
    self->hwnd = CreateWindowExA(WS_EX_TOOLWINDOW, wc.lpszClassName, "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                 wc.hInstance, nullptr);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    return 0;
  }
  void start() {
    self = this;
    thread = CreateThread(nullptr, 0, main, nullptr, 0, nullptr);
    while (!hwnd.load()) Sleep(1);
  }
  ~Monitor() {
    if (hwnd.load()) PostMessageA(hwnd.load(), WM_CLOSE, 0, 0);
    if (thread) WaitForSingleObject(thread, 5000);
    if (channel) PFW_ClosePromptChannel(channel);
  }
};
Monitor* Monitor::self = nullptr;

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}
double mean(const std::vector<double>& v) {
  double sum = 0;
  for (double x : v) sum += x;
  return v.empty() ? 0 : sum / (double)v.size();
}

}  // namespace

int main(int argc, char** argv) {
  int decisions = argc > 1 ? atoi(argv[1]) : 3000;
  int questions = argc > 2 ? atoi(argv[2]) : 300;
  BenchLists s;
  if (!s.ok()) return 2;
  s.add_wildcards();
  PFW_AddRule(s.rules, 0, 0, 0, PFW_INBOUND, PFW_DENY, 1);
  PFW_AddRule(s.rules, 0, 0, 0, PFW_OUTBOUND, PFW_ASK, 1);
  PFW_AddProtocol(s.protocols, 0, "HTTP", PFW_TCP, 80);
  for (const char* app : {"GOOD.EXE", "NEW.EXE"}) {
    PFW_AddApp(s.apps, 0, app, app);
    int key = -1;
    PFW_GetExactAppByName(s.apps, app, &key, nullptr);
    PFW_AddRule(s.rules, 0, 0, key, PFW_OUTBOUND, PFW_ALLOW, 1);  // NEW.EXE's as the prompt adds it
  }
  PFW_InitializeGlobalData();
  HWND saved = PFW_GetGlobalMonitorHwnd();
  int saved_mode = PFW_GetRunMode();
  PFW_SetRunMode(PFW_MODE_FILTER);
  PFW_SetGlobalMonitorHwnd(nullptr);
  Session session;
  std::string error;
  if (!session.open(error)) {
    fprintf(stderr, "bench_prompt: %s\n", error.c_str());
    return 2;
  }

  printf("bench_prompt: %d decisions of each kind, %d questions\n", decisions, questions);
  struct Kind {
    const char* what;
    const char* program;
    double total = 0;
  } kinds[] = {{"answered by the rule the prompt added", "NEW.EXE"},
               {"decided by another program's rule", "GOOD.EXE"},
               {"finding only the Ask default (not asked)", "OTHER.EXE"}};
  for (int i = 0; i < decisions; i++)
    for (Kind& k : kinds) {
      Attempt a;
      a.port = 80;
      a.address = ip(203, 0, 113, (i % 200) + 1);
      a.program = k.program;
      double t = now_us();
      Outcome o = session.decide(a);
      k.total += now_us() - t;
      if (o.decision.ask == (k.program != kinds[2].program)) return 3;  // a wrong decision: not measured
    }
  printf("  1. one decision (rule lookup, run mode, switches, line), mean of %d:\n", decisions);
  for (const Kind& k : kinds) printf("     %-42s %8.1f us\n", k.what, k.total / decisions);

  Monitor monitor;
  monitor.start();
  PFW_SetGlobalMonitorHwnd(monitor.hwnd.load());
  std::vector<double> told, round_trip;
  int allowed = 0;
  for (int i = 0; i < questions; i++) {
    Attempt a;
    a.port = 8080;
    a.address = ip(203, 0, 113, 7);
    a.program = "OTHER.EXE";
    monitor.told_at = 0;
    Asker::Question q;
    double t = now_us();
    if (!session.ask(a, q)) return 4;
    int answer = session.asker().wait(q);
    double back = now_us();
    allowed += answer == PFW_ALLOW;
    told.push_back(monitor.told_at.load() - t);
    round_trip.push_back(back - t);
  }
  printf("  2. from the request to the monitor told and holding it, %d questions:\n", questions);
  printf("     median %8.1f us, mean %8.1f us\n", median(told), mean(told));
  printf("     round trip to the answer back at the asker: median %8.1f us, mean %8.1f us (%d of %d allowed)\n",
         median(round_trip), mean(round_trip), allowed, questions);

  // 3. The same connection, remembered "For 15 minutes" by the monitor.
  wayguard::RememberedAnswers memory;
  PFW_PROMPT_REQUEST remembered = {};
  strcpy(remembered.program, "OTHER.EXE");
  remembered.direction = PFW_OUTBOUND;
  remembered.transport = PFW_TCP;
  remembered.port = 8080;
  remembered.address = (uint32_t)ip(203, 0, 113, 7);
  memory.Remember(remembered, PFW_ALLOW, wayguard::AnswerLife::kFifteenMinutes);
  monitor.memory = &memory;  // read on the monitor's thread only after the next post
  std::vector<double> from_memory;
  int marked = 0;
  for (int i = 0; i < questions; i++) {
    Attempt a;
    a.port = 8080;
    a.address = ip(203, 0, 113, 7);
    a.program = "OTHER.EXE";
    Asker::Question q;
    double t = now_us();
    if (!session.ask(a, q)) return 4;
    int answer = session.asker().wait(q);
    from_memory.push_back(now_us() - t);
    marked += answer == (PFW_ALLOW | kRememberedAnswer);
  }
  double plain = median(round_trip), recalled = median(from_memory);
  printf("  3. a remembered answer, round trip to the asker, %d questions:\n", questions);
  printf("     median %8.1f us, mean %8.1f us (%d of %d marked remembered); %.2f plain round trips\n", recalled,
         mean(from_memory), marked, questions, plain > 0 ? recalled / plain : 0.0);
  PFW_SetGlobalMonitorHwnd(saved);
  PFW_SetRunMode(saved_mode);
  session.close();
  return allowed == questions && marked == questions ? 0 : 1;
}
