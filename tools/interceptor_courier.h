// interceptor_courier.h - how the interceptor reaches the monitor: lamps and
// traffic lines through the registered message "PFW_PRIVATEWINDOWSMESSAGE".
//
// Only while a monitor window is recorded in the global state block and exists:
//   - lamps: PFW_ACTIVITY_NOTIFY, posted; lParam 1 lights the right-hand lamp
//     (under the Block button) for a connection stopped, lParam 0 the left-hand
//     lamp (under the Stand By button) for one let through. A lamp stays lit
//     for its 30 ms timer and a lit lamp ignores a second message, so at most
//     one message per lamp is posted in that time;
//   - traffic lines: deposited with PFW_SetGlobalTraffic, then PFW_TRAFFIC_NOTIFY
//     is posted. The interceptor goes on deciding the next attempt while the
//     monitor writes the line; the next deposit waits until it has taken it.
//
// Without a monitor nothing is deposited: nobody would empty the mailbox, and
// the next deposit, ours or another producer's, would wait for ever. For the
// same reason a line must not stay in the mailbox when the monitor does not
// take it (a monitor that is not ready yet passes the message by; its window
// may go away). A watch thread looks at every deposit that waits: once the
// waiting has lasted the answer time it offers the line in the mailbox again,
// twice, and then takes it back with PFW_GetGlobalTraffic, which lets the
// deposit go on. With several producers the line taken back could be another's;
// it is only ever one that no monitor took in all that time.
#ifndef TARNWALL_INTERCEPTOR_COURIER_H
#define TARNWALL_INTERCEPTOR_COURIER_H

#include <atomic>
#include <string>

#include "tessary.h"

namespace interceptor {

enum class Delivery {
  kNotLogged,  // the decision says no line
  kNoMonitor,  // a line was due, but no monitor window is recorded or it is gone
  kSent,       // deposited and the monitor told; whether it took it is seen later
  kDropped,    // the monitor could not be told; the line was taken back at once
};

const char* delivery_word(Delivery d);

class Courier {
 public:
  static constexpr DWORD kDefaultAnswerMs = 2000;

  // Needs the global state block: PFW_InitializeGlobalData first. answer_ms:
  // how long the monitor has to take a line before it is offered again.
  explicit Courier(DWORD answer_ms = kDefaultAnswerMs);
  ~Courier();
  Courier(const Courier&) = delete;
  Courier& operator=(const Courier&) = delete;

  // The recorded monitor window if it exists (and the mailbox can be
  // watched), else null.
  HWND monitor();
  // Returns whether a message was posted (false when throttled or refused).
  bool lamp(HWND monitor, bool stopped);
  // Deposits the line, waiting for the one before to be taken, and tells the monitor.
  Delivery deliver(HWND monitor, const std::string& line);
  // Waits until the last line sent has been taken, handling this thread's
  // messages meanwhile; if the monitor does not take it, takes it back.
  // Returns false when a line was taken back.
  bool settle();
  // Lines sent that the monitor did not take, since the start.
  int taken_back() const { return taken_back_.load(); }

 private:
  static DWORD WINAPI watch_main(void* self);
  void watch();
  // Waits up to ms for the mailbox to be empty, handling this thread's messages.
  bool mailbox_emptied(DWORD ms);
  // Empties the mailbox if a line is still in it; true when one was.
  bool take_back();

  UINT message_ = 0;
  DWORD answer_ms_;
  HANDLE mailbox_ = nullptr;  // our own handle to the mailbox semaphore, for settle()
  HANDLE stop_ = nullptr;     // ends the watch thread
  HANDLE watcher_ = nullptr;
  // The last window found to exist, and when.
  HWND known_ = nullptr;
  DWORD known_at_ = 0;
  DWORD lamp_at_[2] = {0, 0};
  bool lamp_posted_[2] = {false, false};
  // What the watch thread looks at: whether a deposit waits, which one, and
  // the window it is for.
  std::atomic<bool> depositing_{false};
  std::atomic<unsigned> deposit_number_{0};
  std::atomic<HWND> target_{nullptr};
  std::atomic<int> taken_back_{0};
  std::atomic<bool> taking_back_{false};
  bool in_flight_ = false;  // a line was sent since the last settle
};

}  // namespace interceptor

#endif
