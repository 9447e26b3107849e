// owned_lock.h - a named semaphore that our processes hold together with a
// companion named mutex, so that the death of a holder can be seen.
//
// A semaphore has no owner: a process killed while holding one leaves its count
// taken for good, and every later waiter stalls. A mutex does have an owner, and
// the system hands it to the next waiter as WAIT_ABANDONED when that owner dies.
// So every process of ours takes the companion mutex first and the semaphore
// second, and lets go in the opposite order. The one waiter that is handed an
// abandoned mutex is the one process that knows the holder died; since nobody
// of ours can hold the semaphore without the mutex, a semaphore that is still
// taken then was taken by the dead holder, and the new owner carries on with
// that count as its own (nothing is released that was not acquired by the
// hold it continues). A peer that takes only the semaphore is not covered.
//
// Nothing here waits with a time-out: a slow live holder is waited for.
#ifndef TARNWALL_OWNED_LOCK_H
#define TARNWALL_OWNED_LOCK_H

#include <windows.h>

namespace tessary {

// The companion mutex's name: the semaphore's name with this suffix.
#define PFW_OWNER_SUFFIX "_Owner"

// Opens the companion mutex of a named semaphore, creating it when absent.
// Null on failure (the name too long, or no handle to be had).
HANDLE open_owner_mutex(const char* semaphore_name);

enum class Acquired {
  kFailed,         // neither object was taken (a bad handle)
  kTaken,          // the previous holder let go in the ordinary way
  kFromDeadHolder  // the previous holder died holding the mutex: check and repair first
};

// Takes the mutex, then the semaphore, both without a time-out. With
// kFromDeadHolder, `inherited` tells whether the dead holder had the semaphore
// too (its change may be half-done) or had not yet taken it / had released it.
Acquired acquire_owned(HANDLE owner, HANDLE semaphore, bool* inherited = nullptr);

// Lets go of what acquire_owned took: the semaphore, then the mutex.
void release_owned(HANDLE owner, HANDLE semaphore);

// The same pair as one object, for the common case of a hold in one scope.
class OwnedHold {
 public:
  OwnedHold(HANDLE owner, HANDLE semaphore) : owner_(owner), semaphore_(semaphore) {
    result_ = acquire_owned(owner, semaphore, &inherited_);
  }
  ~OwnedHold() {
    if (held()) release_owned(owner_, semaphore_);
  }
  OwnedHold(const OwnedHold&) = delete;
  OwnedHold& operator=(const OwnedHold&) = delete;
  bool held() const { return result_ != Acquired::kFailed; }
  // The previous holder died; `inherited()` says whether it held the semaphore.
  bool after_dead_holder() const { return result_ == Acquired::kFromDeadHolder; }
  bool inherited() const { return inherited_; }

 private:
  HANDLE owner_;
  HANDLE semaphore_;
  Acquired result_ = Acquired::kFailed;
  bool inherited_ = false;
};

}  // namespace tessary

#endif  // TARNWALL_OWNED_LOCK_H
