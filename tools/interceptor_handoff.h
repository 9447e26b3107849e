// interceptor_handoff.h - attempts decided by several threads at once and
// delivered by one, in the order they came in.
//
// Each attempt spends most of its time waiting on the Wine server: the rule
// lookup's list holds, then the mailbox and the message. Those waits overlap
// well across threads, so two threads decide while a third delivers. A ring of
// slots, one per attempt taken in and not yet delivered, keeps the order and
// bounds what is held: submit() waits while the ring is full.
//
// Built on a slim lock and condition variables rather than kernel objects:
// under Wine every wait on or signal of a kernel object is a round trip to the
// server, which is the very cost being hidden. A side is woken only when it
// is known to sleep, and a full ring lets the reader go only when a quarter is free.
#ifndef TARNWALL_INTERCEPTOR_HANDOFF_H
#define TARNWALL_INTERCEPTOR_HANDOFF_H

#include <windows.h>

#include <functional>
#include <utility>
#include <vector>

namespace interceptor {

template <typename T>
class Ordered {
 public:
  // decide runs on one of the deciding threads, on items in any order and
  // several at once; deliver runs on the delivering thread, one item at a time
  // in the order submitted. An item submitted with needs_deciding false goes
  // straight to delivery, still in its place.
  Ordered(size_t depth, int deciders, std::function<void(T&)> decide, std::function<void(T&)> deliver)
      : slots_(depth ? depth : 1), decide_(std::move(decide)), deliver_(std::move(deliver)) {
    HANDLE deliverer = CreateThread(nullptr, 0, deliver_main, this, 0, nullptr);
    if (deliverer) threads_.push_back(deliverer);
    for (int i = 0; deliverer && i < deciders; i++)
      if (HANDLE t = CreateThread(nullptr, 0, decide_main, this, 0, nullptr)) threads_.push_back(t);
    if (threads_.size() < 2) {  // no threads to be had: submit() does it all
      finish();
      inline_ = true;
    }
  }
  ~Ordered() { finish(); }
  Ordered(const Ordered&) = delete;
  Ordered& operator=(const Ordered&) = delete;

  void submit(T item, bool needs_deciding = true) {
    if (inline_) {
      if (needs_deciding) decide_(item);
      deliver_(item);
      return;
    }
    AcquireSRWLockExclusive(&lock_);
    while (taken_ - delivered_ >= slots_.size()) sleep(&not_full_, sleeping_submitter_);
    Slot& s = slots_[taken_ % slots_.size()];
    s.item = std::move(item);
    s.state = needs_deciding ? Slot::kWaiting : Slot::kDecided;
    taken_++;
    if (needs_deciding)
      wake(&to_decide_, sleeping_deciders_, false);
    else
      wake(&decided_, sleeping_deliverer_, false);
    ReleaseSRWLockExclusive(&lock_);
  }

  // Returns once everything submitted has been delivered and the threads have ended.
  void finish() {
    if (inline_ || threads_.empty()) return;
    AcquireSRWLockExclusive(&lock_);
    ending_ = true;
    WakeAllConditionVariable(&to_decide_);
    WakeAllConditionVariable(&decided_);
    ReleaseSRWLockExclusive(&lock_);
    stop_threads();
  }

 private:
  struct Slot {
    enum State { kFree, kWaiting, kDeciding, kDecided } state = kFree;
    T item{};
  };

  static DWORD WINAPI decide_main(void* self) {
    ((Ordered*)self)->decide_loop();
    return 0;
  }
  static DWORD WINAPI deliver_main(void* self) {
    ((Ordered*)self)->deliver_loop();
    return 0;
  }

  // Both run with lock_ held.
  void sleep(CONDITION_VARIABLE* cv, int& sleeping) {
    sleeping++;
    SleepConditionVariableSRW(cv, &lock_, INFINITE, 0);
    sleeping--;
  }
  void wake(CONDITION_VARIABLE* cv, int sleeping, bool all) {
    if (!sleeping) return;
    if (all)
      WakeAllConditionVariable(cv);
    else
      WakeConditionVariable(cv);
  }

  void decide_loop() {
    AcquireSRWLockExclusive(&lock_);
    for (;;) {
      while (next_to_decide_ == taken_ && !ending_) sleep(&to_decide_, sleeping_deciders_);
      if (next_to_decide_ == taken_) break;  // ending, and nothing left
      Slot& s = slots_[next_to_decide_ % slots_.size()];
      next_to_decide_++;
      if (s.state != Slot::kWaiting) continue;  // needs no deciding
      s.state = Slot::kDeciding;
      // The slot stays put until it is delivered, and only this thread touches
      // its item meanwhile.
      ReleaseSRWLockExclusive(&lock_);
      decide_(s.item);
      AcquireSRWLockExclusive(&lock_);
      s.state = Slot::kDecided;
      if (&s == &slots_[delivered_ % slots_.size()]) wake(&decided_, sleeping_deliverer_, false);
    }
    ReleaseSRWLockExclusive(&lock_);
  }

  void deliver_loop() {
    AcquireSRWLockExclusive(&lock_);
    for (;;) {
      Slot& s = slots_[delivered_ % slots_.size()];
      while (!(delivered_ < taken_ && s.state == Slot::kDecided) && !(ending_ && delivered_ == taken_))
        sleep(&decided_, sleeping_deliverer_);
      if (delivered_ == taken_) break;  // ending, and all delivered
      T item = std::move(s.item);
      ReleaseSRWLockExclusive(&lock_);
      deliver_(item);
      AcquireSRWLockExclusive(&lock_);
      s.state = Slot::kFree;
      s.item = T{};
      delivered_++;
      // The reader is let go only once a quarter of the ring is free, so it
      // reads a run of attempts and the deciders decide a run, instead of
      // every thread waking once per line.
      if (taken_ - delivered_ <= slots_.size() - slots_.size() / 4) wake(&not_full_, sleeping_submitter_, false);
    }
    ReleaseSRWLockExclusive(&lock_);
  }

  void stop_threads() {
    for (HANDLE t : threads_) {
      if (!t) continue;
      WaitForSingleObject(t, INFINITE);
      CloseHandle(t);
    }
    threads_.clear();
  }

  SRWLOCK lock_ = SRWLOCK_INIT;
  CONDITION_VARIABLE not_full_ = CONDITION_VARIABLE_INIT;
  CONDITION_VARIABLE to_decide_ = CONDITION_VARIABLE_INIT;
  CONDITION_VARIABLE decided_ = CONDITION_VARIABLE_INIT;
  std::vector<Slot> slots_;
  // Counts of items ever: taken in, handed to a decider, delivered.
  size_t taken_ = 0, next_to_decide_ = 0, delivered_ = 0;
  int sleeping_submitter_ = 0, sleeping_deciders_ = 0, sleeping_deliverer_ = 0;
  bool ending_ = false;
  bool inline_ = false;
  std::function<void(T&)> decide_, deliver_;
  std::vector<HANDLE> threads_;
};

}  // namespace interceptor

#endif
