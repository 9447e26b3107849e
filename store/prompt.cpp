// prompt.cpp - the prompt channel: requests from the interceptor to the
// monitor to ask the user about one connection, and the answers back.
//
// Every process that asks or answers may end at any moment, so nothing here
// trusts another process to finish what it began: a request names its asker
// and the time its asker stops waiting, and whoever looks at a slot frees one
// whose asker is gone or whose time is up. The asker frees its own slot once
// it has its answer or gives up, and a monitor's answer to a request no longer
// there is simply lost. The semaphore is held only to read or change slots;
// a process killed while holding it would otherwise stop the channel for good,
// so a wait that lasts far longer than any hold takes the channel over.
#include <stdio.h>
#include <string.h>

#include <map>
#include <mutex>
#include <vector>

#include "tessary.h"

namespace {

// No hold lasts near this long; a holder that has not let go by then has ended.
constexpr DWORD kTakeOverMs = 5000;

struct Open {
  HANDLE mapping = nullptr;
  HANDLE semaphore = nullptr;
  PFW_PROMPT_BLOCK* view = nullptr;
  int uses = 0;
};
// One mapping per process, shared by all its opens.
Open g_open;
std::mutex g_open_mutex;
// The answer events of this process's requests, kept until their wait: a named
// event lives only while a handle to it is open, and an answer must find it.
std::map<uint32_t, HANDLE> g_events;

class Hold {
 public:
  Hold() {
    DWORD r = WaitForSingleObject(g_open.semaphore, kTakeOverMs);
    held_ = r == WAIT_OBJECT_0 || r == WAIT_TIMEOUT;  // taken over: see above
  }
  ~Hold() {
    if (held_) ReleaseSemaphore(g_open.semaphore, 1, nullptr);
  }
  bool held() const { return held_; }

 private:
  bool held_ = false;
};

bool valid(PFW_PROMPT_BLOCK* channel) { return channel && channel == g_open.view; }

void event_name(char* name, size_t size, uint32_t id) {
  snprintf(name, size, "%s%lu", PFW_PROMPT_EVENT_PREFIX, (unsigned long)id);
}

// Whether the process still runs. One that cannot be opened is taken as gone.
bool alive(uint32_t pid) {
  if (pid == GetCurrentProcessId()) return true;
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
  if (!process) return false;
  bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
  CloseHandle(process);
  return running;
}

bool expired(const PFW_PROMPT_REQUEST& r, DWORD now) { return (int32_t)(r.expires - now) <= 0; }

template <size_t N>
void copy_cut(char (&field)[N], const char* text) {
  memset(field, 0, N);
  if (text) strncpy(field, text, N - 1);
}

PFW_PROMPT_REQUEST* find(PFW_PROMPT_BLOCK* channel, uint32_t id) {
  if (id == 0) return nullptr;
  for (PFW_PROMPT_REQUEST& r : channel->slots)
    if (r.id == id && r.state != PFW_PROMPT_FREE) return &r;
  return nullptr;
}

void free_slot(PFW_PROMPT_REQUEST& r) { memset(&r, 0, sizeof r); }

bool same_connection(const PFW_PROMPT_REQUEST& a, const PFW_PROMPT_REQUEST& b) {
  return a.direction == b.direction && a.transport == b.transport && a.port == b.port && a.address == b.address &&
         strncmp(a.program, b.program, sizeof a.program) == 0;
}

void signal_answer(uint32_t id) {
  char name[64];
  event_name(name, sizeof name, id);
  if (HANDLE e = OpenEventA(EVENT_MODIFY_STATE, FALSE, name)) {
    SetEvent(e);
    CloseHandle(e);
  }
}

}  // namespace

extern "C" {

PFW_PROMPT_BLOCK* PFW_OpenPromptChannel(void) {
  std::lock_guard<std::mutex> guard(g_open_mutex);
  if (g_open.view) {
    g_open.uses++;
    return g_open.view;
  }
  // The mapping's pages start zeroed: an all-free channel needs no filling, so
  // creating and joining are the same step, with no window for a half-made block.
  HANDLE semaphore = CreateSemaphoreA(nullptr, 1, 1, PFW_PROMPT_SEMAPHORE_NAME);
  HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(PFW_PROMPT_BLOCK),
                                      PFW_PROMPT_MAP_NAME);
  void* view = mapping ? MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(PFW_PROMPT_BLOCK)) : nullptr;
  if (!semaphore || !view) {
    if (view) UnmapViewOfFile(view);
    if (mapping) CloseHandle(mapping);
    if (semaphore) CloseHandle(semaphore);
    return nullptr;
  }
  g_open = Open{mapping, semaphore, (PFW_PROMPT_BLOCK*)view, 1};
  Hold hold;
  if (g_open.view->slot_count == 0) g_open.view->slot_count = PFW_PROMPT_SLOTS;
  return g_open.view;
}

int PFW_ClosePromptChannel(PFW_PROMPT_BLOCK* channel) {
  std::lock_guard<std::mutex> guard(g_open_mutex);
  if (!valid(channel) || g_open.uses <= 0) return 0;
  if (--g_open.uses > 0) return 1;
  for (auto& e : g_events) CloseHandle(e.second);
  g_events.clear();
  UnmapViewOfFile(g_open.view);
  CloseHandle(g_open.mapping);
  CloseHandle(g_open.semaphore);
  g_open = Open{};
  return 1;
}

int PFW_AskPrompt(PFW_PROMPT_BLOCK* channel, const PFW_PROMPT_REQUEST* question, unsigned timeout_ms,
                  uint32_t* out_id, HANDLE* out_answered) {
  if (!valid(channel) || !question || !question->program[0]) return 0;
  Hold hold;
  if (!hold.held()) return 0;
  DWORD now = GetTickCount();
  PFW_PROMPT_REQUEST* slot = nullptr;
  for (PFW_PROMPT_REQUEST& r : channel->slots) {
    if (r.state == PFW_PROMPT_FREE) {
      slot = &r;
      break;
    }
  }
  if (!slot) {
    // Full: reuse a slot whose asker no longer waits.
    for (PFW_PROMPT_REQUEST& r : channel->slots)
      if (expired(r, now) || !alive(r.asker_pid)) {
        slot = &r;
        break;
      }
  }
  if (!slot) return 0;
  uint32_t id = ++channel->next_id;
  if (id == 0) id = ++channel->next_id;  // 0 marks a free slot
  // The event exists before anyone can see the request, so no answer is missed.
  char name[64];
  event_name(name, sizeof name, id);
  HANDLE answered = CreateEventA(nullptr, TRUE, FALSE, name);
  if (!answered) return 0;
  // Left set by an answer to a channel before this one, the event would wake the asker at once.
  if (GetLastError() == ERROR_ALREADY_EXISTS) ResetEvent(answered);
  PFW_PROMPT_REQUEST r;
  memset(&r, 0, sizeof r);
  r.id = id;
  r.state = PFW_PROMPT_WAITING;
  r.asker_pid = GetCurrentProcessId();
  r.expires = now + (timeout_ms ? timeout_ms : 1);
  r.direction = question->direction;
  r.transport = question->transport;
  r.port = question->port;
  r.address = question->address;
  r.answer = -1;
  // The caller's fields need not be terminated: copy at most a field's worth.
  char program[PFW_PROMPT_PROGRAM_SIZE + 1] = {}, protocol[PFW_PROMPT_PROTOCOL_SIZE + 1] = {};
  memcpy(program, question->program, sizeof question->program);
  memcpy(protocol, question->protocol_name, sizeof question->protocol_name);
  copy_cut(r.program, program);
  copy_cut(r.protocol_name, protocol);
  HANDLE given = nullptr;
  if (out_answered &&
      !DuplicateHandle(GetCurrentProcess(), answered, GetCurrentProcess(), &given, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
    CloseHandle(answered);
    return 0;
  }
  *slot = r;
  {
    std::lock_guard<std::mutex> guard(g_open_mutex);
    g_events[id] = answered;
  }
  if (out_id) *out_id = id;
  if (out_answered) *out_answered = given;
  return 1;
}

int PFW_WaitPromptAnswer(PFW_PROMPT_BLOCK* channel, uint32_t id, unsigned timeout_ms, int* out_answer) {
  if (!valid(channel) || id == 0) return 0;
  HANDLE answered = nullptr;
  {
    std::lock_guard<std::mutex> guard(g_open_mutex);
    auto e = g_events.find(id);
    if (e != g_events.end()) {
      answered = e->second;
      g_events.erase(e);
    }
  }
  if (!answered) return 0;  // not this process's request, or finished already
  WaitForSingleObject(answered, timeout_ms);
  CloseHandle(answered);
  Hold hold;
  if (!hold.held()) return 0;
  PFW_PROMPT_REQUEST* r = find(channel, id);
  if (!r || r->asker_pid != GetCurrentProcessId()) return 0;
  int done = r->state == PFW_PROMPT_ANSWERED ? 1 : 0;
  if (done && out_answer) *out_answer = r->answer;
  free_slot(*r);
  return done;
}

int PFW_TakePromptRequest(PFW_PROMPT_BLOCK* channel, PFW_PROMPT_REQUEST* out_request) {
  if (!valid(channel)) return 0;
  Hold hold;
  if (!hold.held()) return 0;
  DWORD now = GetTickCount(), self = GetCurrentProcessId();
  PFW_PROMPT_REQUEST* oldest = nullptr;
  for (PFW_PROMPT_REQUEST& r : channel->slots) {
    if (r.state != PFW_PROMPT_WAITING && r.state != PFW_PROMPT_SHOWN) continue;
    if (expired(r, now) || !alive(r.asker_pid)) {
      free_slot(r);
      continue;
    }
    // Shown by a monitor that has ended: nobody will answer it unless offered again.
    if (r.state == PFW_PROMPT_SHOWN && (r.taker_pid == self || alive(r.taker_pid))) continue;
    if (!oldest || (int32_t)(r.id - oldest->id) < 0) oldest = &r;
  }
  if (!oldest) return 0;
  oldest->state = PFW_PROMPT_SHOWN;
  oldest->taker_pid = self;
  if (out_request) *out_request = *oldest;
  return 1;
}

int PFW_AnswerPrompt(PFW_PROMPT_BLOCK* channel, uint32_t id, int answer) {
  if (!valid(channel) || (answer != PFW_ALLOW && answer != PFW_DENY)) return 0;
  std::vector<uint32_t> told;
  {
    Hold hold;
    if (!hold.held()) return 0;
    PFW_PROMPT_REQUEST* asked = find(channel, id);
    if (!asked || asked->state == PFW_PROMPT_ANSWERED) return 0;
    PFW_PROMPT_REQUEST like = *asked;
    DWORD self = GetCurrentProcessId();
    for (PFW_PROMPT_REQUEST& r : channel->slots) {
      bool waiting = r.state == PFW_PROMPT_WAITING || (r.state == PFW_PROMPT_SHOWN && r.taker_pid == self);
      if (!(&r == asked || (waiting && same_connection(r, like)))) continue;
      r.state = PFW_PROMPT_ANSWERED;
      r.answer = answer;
      told.push_back(r.id);
    }
  }
  for (uint32_t t : told) signal_answer(t);
  return (int)told.size();
}

int PFW_PromptIsWaiting(PFW_PROMPT_BLOCK* channel, uint32_t id) {
  if (!valid(channel)) return 0;
  Hold hold;
  if (!hold.held()) return 0;
  PFW_PROMPT_REQUEST* r = find(channel, id);
  return r && r->state != PFW_PROMPT_ANSWERED && !expired(*r, GetTickCount()) && alive(r->asker_pid) ? 1 : 0;
}

}  // extern "C"
