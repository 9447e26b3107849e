// prompt_helper - the other process of the prompt channel tests:
//   prompt_helper ask   puts a request (program HELPER.EXE) and waits a minute for its answer
//   prompt_helper take  takes the next request as a monitor would, and never answers it
// Either way it then waits to be killed.
#include <string.h>

#include "tessary.h"

int main(int argc, char** argv) {
  PFW_PROMPT_BLOCK* channel = PFW_OpenPromptChannel();
  if (!channel || argc < 2) return 2;
  if (!strcmp(argv[1], "ask")) {
    PFW_PROMPT_REQUEST q = {};
    strcpy(q.program, "HELPER.EXE");
    uint32_t id = 0;
    if (!PFW_AskPrompt(channel, &q, 60000, &id, nullptr)) return 3;
    int answer = -1;
    PFW_WaitPromptAnswer(channel, id, 60000, &answer);
  } else if (!strcmp(argv[1], "take")) {
    PFW_PROMPT_REQUEST r;
    for (int i = 0; i < 500 && !PFW_TakePromptRequest(channel, &r); i++) Sleep(10);
  }
  Sleep(INFINITE);
  return 0;
}
