// prompt.cpp - the prompt channel: requests from the interceptor to the
// monitor to ask the user about one connection, and the answers back.
//
// Every process that asks or answers may end at any moment, so nothing here
// trusts another process to finish what it began. The channel is held through
// owned_lock.h: the semaphore together with its companion mutex, with no
// time-out, so a slow holder is waited for and a dead one is known to the one
// process that inherits its hold, which repairs the slots before going on.
// Each change's commit point is a slot's state, written last with a release
// store; a request names its asker and taker by process id and creation time.
#include <stdio.h>
#include <string.h>

#include <map>
#include <mutex>
#include <vector>

#include "owned_lock.h"
#include "tessary.h"

namespace {

struct Open {
  HANDLE mapping = nullptr;
  HANDLE semaphore = nullptr;
  HANDLE owner = nullptr;  // the semaphore's companion mutex
  PFW_PROMPT_BLOCK* view = nullptr;
  int uses = 0;
};
// One mapping per process, shared by all its opens.
Open g_open;
std::mutex g_open_mutex;
// The answer events of this process's requests, kept until their wait: a named
// event lives only while a handle to it is open, and an answer must find it.
std::map<uint32_t, HANDLE> g_events;

void event_name(char* name, size_t size, uint32_t id) {
  snprintf(name, size, "%s%lu", PFW_PROMPT_EVENT_PREFIX, (unsigned long)id);
}

void signal_answer(uint32_t id) {
  char name[64];
  event_name(name, sizeof name, id);
  if (HANDLE e = OpenEventA(EVENT_MODIFY_STATE, FALSE, name)) {
    SetEvent(e);
    CloseHandle(e);
  }
}

// --- identities ----------------------------------------------------------

uint64_t created_of(HANDLE process) {
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
  return ((uint64_t)created.dwHighDateTime << 32) | created.dwLowDateTime;
}

struct Identity {
  uint32_t pid;
  uint64_t created;
};

const Identity& self() {
  static const Identity me{GetCurrentProcessId(), created_of(GetCurrentProcess())};
  return me;
}

enum class Life { kAlive, kGone, kUnknown };

// Only a definite answer counts as gone: no process with the id, one that has
// ended, or one that started at another time (the id was reused). A process
// that cannot be opened or asked is unknown, and its requests run to expiry.
Life life_of(uint32_t pid, uint64_t created) {
  if (pid == 0) return Life::kGone;
  if (pid == self().pid) return created == self().created ? Life::kAlive : Life::kGone;
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, pid);
  bool can_wait = process != nullptr;
  if (!process && GetLastError() != ERROR_INVALID_PARAMETER)
    process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  if (!process) return GetLastError() == ERROR_INVALID_PARAMETER ? Life::kGone : Life::kUnknown;
  Life life = Life::kAlive;
  DWORD code = 0;
  if (can_wait && WaitForSingleObject(process, 0) == WAIT_OBJECT_0)
    life = Life::kGone;
  else if (!can_wait && GetExitCodeProcess(process, &code) && code != STILL_ACTIVE)
    life = Life::kGone;
  else {
    uint64_t started = created_of(process);
    if (!started)
      life = Life::kUnknown;
    else if (started != created)
      life = Life::kGone;
  }
  CloseHandle(process);
  return life;
}

bool asker_gone(const PFW_PROMPT_REQUEST& r) { return life_of(r.asker_pid, r.asker_created) == Life::kGone; }
bool taken_by_me(const PFW_PROMPT_REQUEST& r) { return r.taker_pid == self().pid && r.taker_created == self().created; }

// --- slots ---------------------------------------------------------------

bool expired(const PFW_PROMPT_REQUEST& r, DWORD now) { return (int32_t)(r.expires - now) <= 0; }
bool later(uint32_t a, uint32_t b) { return (int32_t)(a - b) > 0; }

void commit_state(PFW_PROMPT_REQUEST& r, int32_t state) { __atomic_store_n(&r.state, state, __ATOMIC_RELEASE); }

// The state first: a slot freed half way is free, with leftovers the next repair clears.
void free_slot(PFW_PROMPT_REQUEST& r) {
  commit_state(r, PFW_PROMPT_FREE);
  memset(&r, 0, sizeof r);
}

bool all_zero(const PFW_PROMPT_REQUEST& r) {
  const char* p = (const char*)&r;
  for (size_t i = 0; i < sizeof r; i++)
    if (p[i]) return false;
  return true;
}

template <size_t N>
void copy_cut(char (&field)[N], const char* text) {
  memset(field, 0, N);
  if (text) memcpy(field, text, strnlen(text, N - 1));
}

PFW_PROMPT_REQUEST* find(PFW_PROMPT_BLOCK* channel, uint32_t id) {
  if (id == 0) return nullptr;
  for (PFW_PROMPT_REQUEST& r : channel->slots)
    if (r.id == id && r.state != PFW_PROMPT_FREE) return &r;
  return nullptr;
}

bool same_connection(const PFW_PROMPT_REQUEST& a, const PFW_PROMPT_REQUEST& b) {
  return a.direction == b.direction && a.transport == b.transport && a.port == b.port && a.address == b.address &&
         strncmp(a.program, b.program, sizeof a.program) == 0;
}

// After a holder died: every slot committed or free and clean, states and
// answers valid, ids unique and behind next_id, texts terminated. Answers the
// dead holder committed are signalled again, in case it died before it could.
void repair(PFW_PROMPT_BLOCK* channel) {
  channel->slot_count = PFW_PROMPT_SLOTS;
  std::vector<uint32_t> answered;
  for (int i = 0; i < PFW_PROMPT_SLOTS; i++) {
    PFW_PROMPT_REQUEST& r = channel->slots[i];
    bool committed = r.state == PFW_PROMPT_WAITING || r.state == PFW_PROMPT_SHOWN || r.state == PFW_PROMPT_ANSWERED;
    if (committed && r.state == PFW_PROMPT_ANSWERED && r.answer != PFW_ALLOW && r.answer != PFW_DENY) committed = false;
    for (int j = 0; committed && j < i; j++)
      if (channel->slots[j].state != PFW_PROMPT_FREE && channel->slots[j].id == r.id) committed = false;
    if (!committed || r.id == 0) {
      if (!all_zero(r)) free_slot(r);
      continue;
    }
    r.program[sizeof r.program - 1] = 0;
    r.protocol_name[sizeof r.protocol_name - 1] = 0;
    if (later(r.id, channel->next_id)) channel->next_id = r.id;
    if (r.state == PFW_PROMPT_ANSWERED) answered.push_back(r.id);
  }
  for (uint32_t id : answered) signal_answer(id);
}

class Hold {
 public:
  Hold() : hold_(g_open.owner, g_open.semaphore) {
    if (hold_.after_dead_holder() && g_open.view) repair(g_open.view);
  }
  bool held() const { return hold_.held(); }

 private:
  tessary::OwnedHold hold_;
};

bool valid(PFW_PROMPT_BLOCK* channel) { return channel && channel == g_open.view; }

// A slot that may take a new request: free, or one whose asker has ended, or
// whose time is up, unless it holds an answer its living asker is to collect.
bool reusable(const PFW_PROMPT_REQUEST& r, DWORD now) {
  if (r.state == PFW_PROMPT_FREE) return true;
  Life asker = life_of(r.asker_pid, r.asker_created);
  if (asker == Life::kGone) return true;
  if (r.state == PFW_PROMPT_ANSWERED && asker == Life::kAlive) return false;
  return expired(r, now);
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
  HANDLE owner = tessary::open_owner_mutex(PFW_PROMPT_SEMAPHORE_NAME);
  HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(PFW_PROMPT_BLOCK),
                                      PFW_PROMPT_MAP_NAME);
  void* view = mapping ? MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(PFW_PROMPT_BLOCK)) : nullptr;
  if (!semaphore || !owner || !view) {
    if (view) UnmapViewOfFile(view);
    if (mapping) CloseHandle(mapping);
    if (owner) CloseHandle(owner);
    if (semaphore) CloseHandle(semaphore);
    return nullptr;
  }
  g_open = Open{mapping, semaphore, owner, (PFW_PROMPT_BLOCK*)view, 1};
  Hold hold;
  if (hold.held() && g_open.view->slot_count == 0) g_open.view->slot_count = PFW_PROMPT_SLOTS;
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
  CloseHandle(g_open.owner);
  CloseHandle(g_open.semaphore);
  g_open = Open{};
  return 1;
}

int PFW_AskPrompt(PFW_PROMPT_BLOCK* channel, const PFW_PROMPT_REQUEST* question, unsigned timeout_ms, uint32_t* out_id,
                  HANDLE* out_answered) {
  if (!valid(channel) || !question || !question->program[0]) return 0;
  Hold hold;
  if (!hold.held()) return 0;
  DWORD now = GetTickCount();
  PFW_PROMPT_REQUEST* slot = nullptr;
  for (PFW_PROMPT_REQUEST& r : channel->slots)
    if (r.state == PFW_PROMPT_FREE) {
      slot = &r;
      break;
    }
  for (int i = 0; !slot && i < PFW_PROMPT_SLOTS; i++)
    if (reusable(channel->slots[i], now)) slot = &channel->slots[i];
  if (!slot) {
    SetLastError(ERROR_BUSY);
    return 0;
  }
  uint32_t id = channel->next_id + 1;
  while (id == 0 || find(channel, id)) id++;  // 0 marks a free slot
  channel->next_id = id;
  // The event exists before anyone can see the request, so no answer is missed.
  char name[64];
  event_name(name, sizeof name, id);
  HANDLE answered = CreateEventA(nullptr, TRUE, FALSE, name);
  if (!answered) return 0;
  // Left set by an answer to a channel before this one, the event would wake the asker at once.
  if (GetLastError() == ERROR_ALREADY_EXISTS) ResetEvent(answered);
  HANDLE given = nullptr;
  if (out_answered &&
      !DuplicateHandle(GetCurrentProcess(), answered, GetCurrentProcess(), &given, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
    CloseHandle(answered);
    return 0;
  }
  // Written whole while the slot says free; the state, set last, commits it.
  free_slot(*slot);
  PFW_PROMPT_REQUEST& r = *slot;
  r.id = id;
  r.asker_pid = self().pid;
  r.asker_created = self().created;
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
  commit_state(r, PFW_PROMPT_WAITING);
  {
    std::lock_guard<std::mutex> guard(g_open_mutex);
    g_events[id] = answered;
  }
  if (out_id) *out_id = id;
  if (out_answered) *out_answered = given;
  return 1;
}

int PFW_WaitPromptAnswer(PFW_PROMPT_BLOCK* channel, uint32_t id, unsigned timeout_ms, int* out_answer) {
  return PFW_WaitPromptAnswerFrom(channel, id, timeout_ms, out_answer, nullptr);
}

int PFW_WaitPromptAnswerFrom(PFW_PROMPT_BLOCK* channel, uint32_t id, unsigned timeout_ms, int* out_answer,
                             int* out_remembered) {
  if (out_remembered) *out_remembered = 0;
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
  DWORD until = GetTickCount() + timeout_ms;
  for (;;) {
    DWORD now = GetTickCount();
    if (WaitForSingleObject(answered, later(until, now) ? until - now : 0) == WAIT_OBJECT_0 || timeout_ms == 0) break;
    // Out of time: unless the monitor put the request's expiry later meanwhile.
    uint32_t expires = 0;
    if (!PFW_GetPromptExpiry(channel, id, &expires) || !later(expires, GetTickCount())) break;
    until = expires;
  }
  CloseHandle(answered);
  Hold hold;
  if (!hold.held()) return 0;
  PFW_PROMPT_REQUEST* r = find(channel, id);
  if (!r || r->asker_pid != self().pid || r->asker_created != self().created) return 0;
  int done = r->state == PFW_PROMPT_ANSWERED ? 1 : 0;
  if (done && out_answer) *out_answer = r->answer;
  if (done && out_remembered) *out_remembered = r->remembered ? 1 : 0;
  free_slot(*r);
  return done;
}

int PFW_GetPromptExpiry(PFW_PROMPT_BLOCK* channel, uint32_t id, uint32_t* out_expires) {
  if (!valid(channel)) return 0;
  Hold hold;
  if (!hold.held()) return 0;
  PFW_PROMPT_REQUEST* r = find(channel, id);
  if (!r || r->state == PFW_PROMPT_ANSWERED) return 0;
  if (out_expires) *out_expires = r->expires;
  return 1;
}

int PFW_TakePromptRequest(PFW_PROMPT_BLOCK* channel, PFW_PROMPT_REQUEST* out_request) {
  if (!valid(channel)) return 0;
  Hold hold;
  if (!hold.held()) return 0;
  DWORD now = GetTickCount();
  PFW_PROMPT_REQUEST* oldest = nullptr;
  for (PFW_PROMPT_REQUEST& r : channel->slots) {
    if (r.state == PFW_PROMPT_FREE) continue;
    if (r.state == PFW_PROMPT_ANSWERED) {
      if (asker_gone(r)) free_slot(r);  // nobody left to collect it
      continue;
    }
    if (expired(r, now) || asker_gone(r)) {
      free_slot(r);
      continue;
    }
    // Shown by a monitor that has ended: nobody will answer it unless offered again.
    if (r.state == PFW_PROMPT_SHOWN && (taken_by_me(r) || life_of(r.taker_pid, r.taker_created) != Life::kGone))
      continue;
    if (!oldest || later(oldest->id, r.id)) oldest = &r;
  }
  if (!oldest) return 0;
  oldest->taker_pid = self().pid;
  oldest->taker_created = self().created;
  commit_state(*oldest, PFW_PROMPT_SHOWN);
  if (out_request) *out_request = *oldest;
  return 1;
}

}  // extern "C"

namespace {

int answer_prompt(PFW_PROMPT_BLOCK* channel, uint32_t id, int answer, uint8_t remembered) {
  if (!valid(channel) || (answer != PFW_ALLOW && answer != PFW_DENY)) return 0;
  std::vector<uint32_t> told;
  {
    Hold hold;
    if (!hold.held()) return 0;
    PFW_PROMPT_REQUEST* asked = find(channel, id);
    if (!asked || asked->state == PFW_PROMPT_ANSWERED) return 0;
    if (asker_gone(*asked)) {
      free_slot(*asked);
      return 0;
    }
    PFW_PROMPT_REQUEST like = *asked;
    for (PFW_PROMPT_REQUEST& r : channel->slots) {
      bool waiting = r.state == PFW_PROMPT_WAITING || (r.state == PFW_PROMPT_SHOWN && taken_by_me(r));
      if (!(&r == asked || (waiting && same_connection(r, like)))) continue;
      r.answer = answer;
      r.remembered = remembered;
      commit_state(r, PFW_PROMPT_ANSWERED);
      told.push_back(r.id);
    }
  }
  for (uint32_t t : told) signal_answer(t);
  return (int)told.size();
}

}  // namespace

extern "C" {

int PFW_AnswerPrompt(PFW_PROMPT_BLOCK* channel, uint32_t id, int answer) {
  return answer_prompt(channel, id, answer, 0);
}

int PFW_AnswerPromptFromMemory(PFW_PROMPT_BLOCK* channel, uint32_t id, int answer) {
  return answer_prompt(channel, id, answer, 1);
}

int PFW_PromptIsWaiting(PFW_PROMPT_BLOCK* channel, uint32_t id) {
  if (!valid(channel)) return 0;
  Hold hold;
  if (!hold.held()) return 0;
  PFW_PROMPT_REQUEST* r = find(channel, id);
  return r && r->state != PFW_PROMPT_ANSWERED && !expired(*r, GetTickCount()) && !asker_gone(*r) ? 1 : 0;
}

int PFW_ExtendPrompt(PFW_PROMPT_BLOCK* channel, uint32_t id, unsigned ms) {
  if (!valid(channel)) return 0;
  Hold hold;
  if (!hold.held()) return 0;
  PFW_PROMPT_REQUEST* r = find(channel, id);
  if (!r || r->state != PFW_PROMPT_SHOWN || !taken_by_me(*r) || asker_gone(*r)) return 0;
  uint32_t until = GetTickCount() + ms;
  if (later(until, r->expires)) r->expires = until;
  return 1;
}

int PFW_ReturnPromptRequest(PFW_PROMPT_BLOCK* channel, uint32_t id) {
  if (!valid(channel)) return 0;
  Hold hold;
  if (!hold.held()) return 0;
  PFW_PROMPT_REQUEST* r = find(channel, id);
  if (!r || r->state != PFW_PROMPT_SHOWN || !taken_by_me(*r)) return 0;
  commit_state(*r, PFW_PROMPT_WAITING);
  r->taker_pid = 0;
  r->taker_created = 0;
  return 1;
}

int PFW_WithPromptChannelHeld(PFW_PROMPT_BLOCK* channel, void (*inside)(PFW_PROMPT_BLOCK*, void*), void* context) {
  if (!valid(channel) || !inside) return 0;
  Hold hold;
  if (!hold.held()) return 0;
  inside(channel, context);
  return 1;
}

}  // extern "C"
