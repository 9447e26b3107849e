// wait_until.h - the tests' one bounded wait for something another program or thread
// brings about: the caller names what it waited for when the wait fails.
#pragma once
#include <windows.h>

// Looks at `done` every `step` ms until it holds or `ms` have passed; whether it held.
template <typename Done>
bool WaitUntil(Done done, DWORD ms, DWORD step = 20) {
  DWORD start = GetTickCount();
  for (;;) {
    if (done()) return true;
    if (GetTickCount() - start >= ms) return false;
    Sleep(step);
  }
}
