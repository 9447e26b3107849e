// owned_lock.cpp - the semaphore and its companion mutex: see owned_lock.h.
#include "owned_lock.h"

#include <stdio.h>

namespace tessary {

HANDLE open_owner_mutex(const char* semaphore_name) {
  char name[MAX_PATH];
  int n = snprintf(name, sizeof name, "%s%s", semaphore_name, PFW_OWNER_SUFFIX);
  if (n < 0 || n >= (int)sizeof name) return nullptr;
  // Not owned at creation: a creator that wants it waits like everybody else,
  // so there is one way in and one way to learn of a dead holder.
  return CreateMutexA(nullptr, FALSE, name);
}

Acquired acquire_owned(HANDLE owner, HANDLE semaphore, bool* inherited) {
  if (inherited) *inherited = false;
  if (!owner || !semaphore) return Acquired::kFailed;
  DWORD got = WaitForSingleObject(owner, INFINITE);
  if (got == WAIT_OBJECT_0) {
    if (WaitForSingleObject(semaphore, INFINITE) == WAIT_OBJECT_0) return Acquired::kTaken;
    ReleaseMutex(owner);
    return Acquired::kFailed;
  }
  if (got != WAIT_ABANDONED) return Acquired::kFailed;
  // We own the mutex now. A free semaphore means the dead holder never took it
  // or had given it back; a taken one was taken by the dead holder, and its
  // hold continues as ours.
  DWORD sem = WaitForSingleObject(semaphore, 0);
  if (sem == WAIT_TIMEOUT) {
    if (inherited) *inherited = true;
    return Acquired::kFromDeadHolder;
  }
  if (sem == WAIT_OBJECT_0) return Acquired::kFromDeadHolder;
  ReleaseMutex(owner);
  return Acquired::kFailed;
}

void release_owned(HANDLE owner, HANDLE semaphore) {
  ReleaseSemaphore(semaphore, 1, nullptr);
  ReleaseMutex(owner);
}

}  // namespace tessary
