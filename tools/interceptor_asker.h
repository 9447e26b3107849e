// interceptor_asker.h - putting the question to the user: an attempt that an
// ask rule governs in Filter mode goes to the monitor through the prompt
// channel (tessary.h), and the interceptor waits for the answer, up to a
// time-out, without holding up any other attempt.
//
// The request is put in the channel and PFW_PROMPT_NOTIFY posted to the
// recorded monitor window. With no monitor window, or a channel that cannot
// take the request (every slot in use), nobody is asked and the attempt is
// denied at once, as with no monitor; the question says why. A monitor may put
// a shown request's expiry later (while the user makes a rule of the answer):
// a wait whose own time is up looks at the channel before it gives up.
// Waiting is done by one thread for all requests at once: wait_async() hands a
// request over and returns; its completion runs on that thread when the
// answer comes or the time is up. A monitor that starts while requests wait
// is told about them, so a prompt lost with a killed monitor comes back.
#ifndef TARNWALL_INTERCEPTOR_ASKER_H
#define TARNWALL_INTERCEPTOR_ASKER_H

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "interceptor_core.h"

namespace interceptor {

class Asker {
 public:
  static constexpr DWORD kDefaultTimeoutMs = 30000;

  explicit Asker(DWORD timeout_ms = kDefaultTimeoutMs);
  ~Asker();
  Asker(const Asker&) = delete;
  Asker& operator=(const Asker&) = delete;

  DWORD timeout_ms() const { return timeout_ms_; }

  struct Question {
    uint32_t id = 0;
    HANDLE answered = nullptr;      // set when the answer is in
    DWORD deadline = 0;             // GetTickCount() when waiting stops, unless the channel says later
    const char* refused = nullptr;  // when nobody could be asked because of the channel, why
  };
  // Puts the question; false when nobody can be asked. protocol_name: the
  // governing rule's protocol, when it names one.
  bool ask(const Attempt& attempt, const std::string& protocol_name, Question& question);
  // Waits for the answer: PFW_ALLOW, PFW_DENY or kNoAnswer; an answer the
  // monitor gave from memory carries kRememberedAnswer besides.
  int wait(Question& question);
  // The same, on the waiting thread: done(answer) runs there.
  void wait_async(Question question, std::function<void(int answer)> done);
  // Returns once every question handed to wait_async is done.
  void finish();

 private:
  struct Pending {
    Question question;
    std::function<void(int)> done;
  };
  static DWORD WINAPI wait_main(void* self);
  void wait_loop();
  int collect(Question& question);
  // The question's time is up: true, with its deadline moved, when the monitor extended it.
  bool extended(Question& question);
  PFW_PROMPT_BLOCK* channel();
  void tell_new_monitor();

  DWORD timeout_ms_;
  UINT message_ = 0;
  PFW_PROMPT_BLOCK* channel_ = nullptr;
  SRWLOCK lock_ = SRWLOCK_INIT;
  CONDITION_VARIABLE idle_ = CONDITION_VARIABLE_INIT;
  std::vector<Pending> pending_;
  size_t completing_ = 0;  // taken out of pending_, done() still to run
  bool ending_ = false;
  HANDLE wake_ = nullptr;
  HANDLE waiter_ = nullptr;
  std::atomic<HWND> told_{nullptr};  // the monitor window last told a question waits
};

}  // namespace interceptor

#endif
