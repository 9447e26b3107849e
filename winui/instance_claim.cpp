#include "instance_claim.h"

namespace winui {

InstanceClaim::InstanceClaim(const char* name) {
  mutex_ = CreateMutexA(nullptr, FALSE, name);
  if (!mutex_) return;
  // Taken, not merely made: a handle another process keeps open claims nothing.
  DWORD got = WaitForSingleObject(mutex_, 0);
  owned_ = got == WAIT_OBJECT_0 || got == WAIT_ABANDONED;
}

InstanceClaim::~InstanceClaim() {
  if (owned_) ReleaseMutex(mutex_);
  if (mutex_) CloseHandle(mutex_);
}

}  // namespace winui
