// prompt_helper - the other process of the prompt channel tests:
//   prompt_helper ask [MS [PORT]]  puts a request (program HELPER.EXE, TCP port PORT, default 80),
//                                  releases the semaphore "TarnwallTestAsking" first, and
//                                  waits MS (default 60000) for its answer, the monitor's
//                                  extensions included; exit 10 allowed, 11 denied, 20 no answer.
//                                  The semaphore is released before the channel is opened.
//   prompt_helper take             takes the next request as a monitor would, never answers it,
//                                  and waits to be killed
//   prompt_helper hold HELD LETGO [half]
//                                  holds the channel as every call does, sets event HELD, and
//                                  lets go when event LETGO is set (no time-out); with "half" it
//                                  first leaves a request half written, as a holder killed in
//                                  the middle of an ask would
//   prompt_helper churn            asks, takes, answers and collects without end, to be killed
// Exit 2 wrong usage or no channel, 3 the ask was refused.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "tessary.h"

namespace {

struct HoldArgs {
  HANDLE held, let_go;
  bool half;
};

void hold_inside(PFW_PROMPT_BLOCK* channel, void* context) {
  auto* args = static_cast<HoldArgs*>(context);
  if (args->half) {
    for (PFW_PROMPT_REQUEST& r : channel->slots) {
      if (r.state != PFW_PROMPT_FREE) continue;
      // Everything but the state, which would have committed it.
      r.id = channel->next_id + 1;
      r.asker_pid = GetCurrentProcessId();
      r.expires = GetTickCount() + 60000;
      strcpy(r.program, "HALF.EXE");
      break;
    }
  }
  SetEvent(args->held);
  WaitForSingleObject(args->let_go, INFINITE);
}

PFW_PROMPT_REQUEST question(unsigned port, const char* program = "HELPER.EXE") {
  PFW_PROMPT_REQUEST q = {};
  strcpy(q.program, program);
  q.direction = PFW_OUTBOUND;
  q.transport = PFW_TCP;
  q.port = port;
  q.address = 0x0100000A;
  return q;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  // Told before the channel is opened: opening it already takes a hold.
  if (!strcmp(argv[1], "ask"))
    if (HANDLE asking = OpenSemaphoreA(SEMAPHORE_MODIFY_STATE, FALSE, "TarnwallTestAsking")) {
      ReleaseSemaphore(asking, 1, nullptr);
      CloseHandle(asking);
    }
  PFW_PROMPT_BLOCK* channel = PFW_OpenPromptChannel();
  if (!channel) return 2;
  if (!strcmp(argv[1], "ask")) {
    unsigned ms = argc > 2 ? (unsigned)atoi(argv[2]) : 60000;
    unsigned port = argc > 3 ? (unsigned)atoi(argv[3]) : 80;
    PFW_PROMPT_REQUEST q = question(port);
    uint32_t id = 0;
    if (!PFW_AskPrompt(channel, &q, ms, &id, nullptr)) return 3;
    int answer = -1;
    if (!PFW_WaitPromptAnswer(channel, id, ms, &answer)) return 20;
    return 10 + answer;
  }
  if (!strcmp(argv[1], "take")) {
    PFW_PROMPT_REQUEST r;
    for (int i = 0; i < 500 && !PFW_TakePromptRequest(channel, &r); i++) Sleep(10);
    Sleep(INFINITE);
  }
  if (!strcmp(argv[1], "hold") && argc > 3) {
    HoldArgs args{OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[2]), OpenEventA(SYNCHRONIZE, FALSE, argv[3]),
                  argc > 4 && !strcmp(argv[4], "half")};
    if (!args.held || !args.let_go) return 2;
    return PFW_WithPromptChannelHeld(channel, hold_inside, &args) ? 0 : 4;
  }
  if (!strcmp(argv[1], "churn")) {
    for (unsigned n = 0;; n++) {
      PFW_PROMPT_REQUEST q = question(n % 7, "CHURN.EXE"), r;
      uint32_t id = 0;
      if (PFW_AskPrompt(channel, &q, 60000, &id, nullptr) && PFW_TakePromptRequest(channel, &r))
        PFW_AnswerPrompt(channel, r.id, PFW_ALLOW);
      PFW_WaitPromptAnswer(channel, id, 0, nullptr);
    }
  }
  return 2;
}
