// interceptor_courier.cpp - lamps and traffic lines to the monitor window.
#include "interceptor_courier.h"

#include <string.h>

namespace interceptor {
namespace {

// The monitor's lamp timer: a lamp lit by one message stays lit this long.
constexpr DWORD kLampMs = 30;
// How long a window found to exist is trusted without asking again.
constexpr DWORD kRecheckMs = 100;
// A line is offered this many times in all before it is taken back.
constexpr int kOffers = 3;
// How often the watch thread looks at a waiting deposit, and how often a wait
// for the mailbox looks whether the window still exists.
constexpr DWORD kWatchMs = 50;
constexpr DWORD kAliveCheckMs = 250;

}  // namespace

const char* delivery_word(Delivery d) {
  switch (d) {
    case Delivery::kNotLogged:
      return "not logged";
    case Delivery::kNoMonitor:
      return "no monitor";
    case Delivery::kSent:
      return "sent";
    case Delivery::kDropped:
      return "dropped, the monitor could not be told";
  }
  return "?";
}

Courier::Courier(DWORD answer_ms)
    : message_(RegisterWindowMessageA(PFW_PRIVATE_MESSAGE_NAME)),
      answer_ms_(answer_ms),
      mailbox_(OpenSemaphoreA(SYNCHRONIZE | SEMAPHORE_MODIFY_STATE, FALSE, PFW_GLOBAL_SEMAPHORE_NAME)),
      stop_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
  if (stop_) watcher_ = CreateThread(nullptr, 0, watch_main, this, 0, nullptr);
}

Courier::~Courier() {
  settle();
  if (watcher_) {
    SetEvent(stop_);
    WaitForSingleObject(watcher_, INFINITE);
    CloseHandle(watcher_);
  }
  if (stop_) CloseHandle(stop_);
  if (mailbox_) CloseHandle(mailbox_);
}

HWND Courier::monitor() {
  HWND hwnd = PFW_GetGlobalMonitorHwnd();
  // Without the watch a line could be left in the mailbox: tell no one.
  if (!hwnd || !mailbox_ || !watcher_) return nullptr;
  DWORD now = GetTickCount();
  if (hwnd == known_ && now - known_at_ < kRecheckMs) return hwnd;
  if (!IsWindow(hwnd)) {
    known_ = nullptr;
    return nullptr;
  }
  known_ = hwnd;
  known_at_ = now;
  return hwnd;
}

bool Courier::lamp(HWND monitor, bool stopped) {
  int which = stopped ? 1 : 0;
  DWORD now = GetTickCount();
  if (lamp_posted_[which] && now - lamp_at_[which] < kLampMs) return false;
  if (!PostMessageA(monitor, message_, PFW_ACTIVITY_NOTIFY, stopped ? 1 : 0)) return false;
  lamp_posted_[which] = true;
  lamp_at_[which] = now;
  return true;
}

DWORD WINAPI Courier::watch_main(void* self) {
  ((Courier*)self)->watch();
  return 0;
}

void Courier::watch() {
  unsigned watched = 0;
  int offers = 0;
  DWORD offered_at = 0;
  while (WaitForSingleObject(stop_, kWatchMs) == WAIT_TIMEOUT) {
    if (!depositing_.load()) continue;
    DWORD now = GetTickCount();
    unsigned number = deposit_number_.load();
    if (number != watched) {  // a wait that began since the last look
      watched = number;
      offers = 1;
      offered_at = now;
      continue;
    }
    if (now - offered_at < answer_ms_) continue;
    // The line in the mailbox was announced to the window of our last line,
    // or, when another producer's holds it, to the monitor as now recorded.
    HWND target = target_.load();
    if (!target) target = PFW_GetGlobalMonitorHwnd();
    if (offers < kOffers && IsWindow(target)) {
      PostMessageA(target, message_, PFW_TRAFFIC_NOTIFY, 0);
      offers++;
    } else {
      // Left in the mailbox, the line would hold it for good; taking it back
      // frees the mailbox for the waiting deposit.
      // Counted before the mailbox is freed, so the deposit it lets go on sees
      // the count and its note comes before that deposit's line.
      taking_back_.store(true);
      if (take_back()) taken_back_++;
      taking_back_.store(false);
      offers = 1;
    }
    offered_at = now;
  }
}

bool Courier::mailbox_emptied(DWORD ms) {
  if (!mailbox_) return false;
  DWORD start = GetTickCount();
  for (DWORD spent = 0; spent < ms; spent = GetTickCount() - start) {
    DWORD slice = ms - spent < kAliveCheckMs ? ms - spent : kAliveCheckMs;
    DWORD r = MsgWaitForMultipleObjects(1, &mailbox_, FALSE, slice, QS_ALLINPUT);
    if (r == WAIT_OBJECT_0) {
      // Only a look: the mailbox is given straight back for the next deposit.
      ReleaseSemaphore(mailbox_, 1, nullptr);
      return true;
    }
    if (r == WAIT_OBJECT_0 + 1) {
      MSG msg;
      while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
      }
    } else if (r != WAIT_TIMEOUT || !IsWindow(target_.load())) {
      return false;
    }
  }
  return false;
}

bool Courier::take_back() {
  PFW_TRAFFIC back;
  return PFW_GetGlobalTraffic(&back) != 0;
}

bool Courier::settle() {
  if (!in_flight_) return true;
  in_flight_ = false;
  HWND target = target_.load();
  for (int offer = 1;; offer++) {
    if (mailbox_emptied(answer_ms_)) return true;
    if (offer >= kOffers || !IsWindow(target)) break;
    PostMessageA(target, message_, PFW_TRAFFIC_NOTIFY, 0);
  }
  known_ = nullptr;
  if (!take_back()) return true;  // taken after all, at the last moment
  taken_back_++;
  return false;
}

Delivery Courier::deliver(HWND monitor, const std::string& line) {
  PFW_TRAFFIC record;
  memset(&record, 0, sizeof record);
  memcpy(record.text, line.data(), line.size() < sizeof record.text ? line.size() : sizeof record.text - 1);
  deposit_number_.fetch_add(1);
  depositing_.store(true);
  // Waits while the line before, ours or another producer's, is still in the mailbox.
  int waited = PFW_SetGlobalTraffic(record);
  depositing_.store(false);
  while (taking_back_.load()) Sleep(0);  // a take-back that let us in is counted first
  if (waited != 0) return Delivery::kDropped;
  target_.store(monitor);
  if (!PostMessageA(monitor, message_, PFW_TRAFFIC_NOTIFY, 0)) {
    known_ = nullptr;
    take_back();
    return Delivery::kDropped;
  }
  in_flight_ = true;
  return Delivery::kSent;
}

}  // namespace interceptor
