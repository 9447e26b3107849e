// interceptor_asker.cpp - requests to the monitor and the waits for answers.
#include "interceptor_asker.h"

#include <string.h>

#include <algorithm>

namespace interceptor {
namespace {

// Beyond the events one wait can watch, answers are looked for this often.
constexpr DWORD kPollMs = 100;
constexpr size_t kMaxWatched = MAXIMUM_WAIT_OBJECTS - 1;  // one is the wake event
// While questions wait, how often the recorded monitor window is looked at.
constexpr DWORD kMonitorCheckMs = 500;

bool past(DWORD deadline, DWORD now) { return (int32_t)(deadline - now) <= 0; }

}  // namespace

Asker::Asker(DWORD timeout_ms)
    : timeout_ms_(timeout_ms),
      message_(RegisterWindowMessageA(PFW_PRIVATE_MESSAGE_NAME)),
      channel_(PFW_OpenPromptChannel()),
      wake_(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}

Asker::~Asker() {
  finish();
  AcquireSRWLockExclusive(&lock_);
  ending_ = true;
  ReleaseSRWLockExclusive(&lock_);
  if (waiter_) {
    SetEvent(wake_);
    WaitForSingleObject(waiter_, INFINITE);
    CloseHandle(waiter_);
  }
  if (wake_) CloseHandle(wake_);
  if (channel_) PFW_ClosePromptChannel(channel_);
}

// Opened again after a failure: a channel that could not be had once may be had later.
PFW_PROMPT_BLOCK* Asker::channel() {
  AcquireSRWLockExclusive(&lock_);
  if (!channel_) channel_ = PFW_OpenPromptChannel();
  PFW_PROMPT_BLOCK* c = channel_;
  ReleaseSRWLockExclusive(&lock_);
  return c;
}

bool Asker::ask(const Attempt& a, const std::string& protocol_name, Question& q) {
  q = Question{};
  HWND monitor = PFW_GetGlobalMonitorHwnd();
  if (!monitor || !IsWindow(monitor) || !channel()) return false;
  PFW_PROMPT_REQUEST r;
  memset(&r, 0, sizeof r);
  r.direction = a.direction;
  r.transport = a.transport;
  r.port = a.port;
  r.address = (uint32_t)a.address;
  // Cut to the fields; the channel cuts again, but must be handed terminated text.
  strncpy(r.program, a.program.c_str(), sizeof r.program - 1);
  strncpy(r.protocol_name, protocol_name.c_str(), sizeof r.protocol_name - 1);
  if (!PFW_AskPrompt(channel_, &r, timeout_ms_, &q.id, &q.answered)) {
    if (GetLastError() == ERROR_BUSY) q.refused = "ask rule, the prompt channel is full";
    return false;
  }
  q.deadline = GetTickCount() + timeout_ms_;
  told_.store(monitor);
  if (!PostMessageA(monitor, message_, PFW_PROMPT_NOTIFY, 0)) {
    collect(q);  // withdraws it: nobody was told
    return false;
  }
  return true;
}

int Asker::collect(Question& q) {
  int answer = kNoAnswer, remembered = 0;
  if (!PFW_WaitPromptAnswerFrom(channel_, q.id, 0, &answer, &remembered))
    answer = kNoAnswer;
  else if (remembered)
    answer |= kRememberedAnswer;
  if (q.answered) CloseHandle(q.answered);
  q.answered = nullptr;
  return answer;
}

bool Asker::extended(Question& q) {
  uint32_t expires = 0;
  if (!PFW_GetPromptExpiry(channel_, q.id, &expires) || past(expires, GetTickCount())) return false;
  q.deadline = expires;
  return true;
}

int Asker::wait(Question& q) {
  for (;;) {
    DWORD now = GetTickCount();
    if (q.answered && !past(q.deadline, now) && WaitForSingleObject(q.answered, q.deadline - now) == WAIT_OBJECT_0)
      break;
    if (!q.answered || !extended(q)) break;
  }
  return collect(q);
}

void Asker::wait_async(Question q, std::function<void(int)> done) {
  AcquireSRWLockExclusive(&lock_);
  if (!waiter_ && !ending_) waiter_ = CreateThread(nullptr, 0, wait_main, this, 0, nullptr);
  bool threaded = waiter_ != nullptr;
  if (threaded) pending_.push_back(Pending{q, std::move(done)});
  ReleaseSRWLockExclusive(&lock_);
  if (threaded)
    SetEvent(wake_);
  else
    done(wait(q));  // no thread to be had: wait here
}

void Asker::finish() {
  AcquireSRWLockExclusive(&lock_);
  while (!pending_.empty() || completing_) SleepConditionVariableSRW(&idle_, &lock_, INFINITE, 0);
  ReleaseSRWLockExclusive(&lock_);
}

// A monitor that ended with a prompt open took its request with it; the channel
// offers the request again, but only a monitor that is told looks. So a new
// monitor window, recorded while questions wait, is told once.
void Asker::tell_new_monitor() {
  HWND monitor = PFW_GetGlobalMonitorHwnd();
  if (!monitor || monitor == told_.load() || !IsWindow(monitor)) return;
  told_.store(monitor);
  PostMessageA(monitor, message_, PFW_PROMPT_NOTIFY, 0);
}

DWORD WINAPI Asker::wait_main(void* self) {
  ((Asker*)self)->wait_loop();
  return 0;
}

void Asker::wait_loop() {
  for (;;) {
    // Look at every pending question: answered or out of time, it is done.
    std::vector<Pending> done;
    std::vector<HANDLE> watched{wake_};
    DWORD now = GetTickCount(), sleep_ms = INFINITE;
    AcquireSRWLockExclusive(&lock_);
    if (ending_ && pending_.empty()) {
      ReleaseSRWLockExclusive(&lock_);
      return;
    }
    for (size_t i = 0; i < pending_.size();) {
      Pending& p = pending_[i];
      bool ready = !p.question.answered || WaitForSingleObject(p.question.answered, 0) == WAIT_OBJECT_0 ||
                   (past(p.question.deadline, now) && !extended(p.question));
      if (ready) {
        completing_++;
        done.push_back(std::move(p));
        pending_.erase(pending_.begin() + (ptrdiff_t)i);
        continue;
      }
      DWORD left = p.question.deadline - now;
      sleep_ms = std::min(sleep_ms, std::min(left, kMonitorCheckMs));
      if (watched.size() <= kMaxWatched)
        watched.push_back(p.question.answered);
      else
        sleep_ms = std::min(sleep_ms, kPollMs);
      i++;
    }
    bool waiting = !pending_.empty();
    ReleaseSRWLockExclusive(&lock_);
    if (waiting) tell_new_monitor();

    for (Pending& p : done) p.done(collect(p.question));
    if (!done.empty()) {
      AcquireSRWLockExclusive(&lock_);
      completing_ -= done.size();
      if (pending_.empty() && !completing_) WakeAllConditionVariable(&idle_);
      ReleaseSRWLockExclusive(&lock_);
      continue;  // look again before sleeping: more may have come meanwhile
    }
    WaitForMultipleObjects((DWORD)watched.size(), watched.data(), FALSE, sleep_ms);
  }
}

}  // namespace interceptor
