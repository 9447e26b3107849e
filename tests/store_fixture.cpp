#include "store_fixture.h"

#include <string.h>

unsigned long ip(const char* dotted) {
  unsigned a = 0, b = 0, c = 0, d = 0;
  sscanf(dotted, "%u.%u.%u.%u", &a, &b, &c, &d);
  return (unsigned long)(a | (b << 8) | (c << 16) | (d << 24));
}

bool StoreTest::reopen_lists() {
  bool ok = lists_.open();
  protocols = lists_.protocols;
  addresses = lists_.addresses;
  apps = lists_.apps;
  rules = lists_.rules;
  return ok;
}

void StoreTest::SetUp() {
  ASSERT_TRUE(reopen_lists());
  // Each test starts from empty lists: nothing else holds them.
  ASSERT_EQ(protocols->count, 0);
  ASSERT_EQ(rules->count, 0);
}

void StoreTest::TearDown() { lists_.close(); }

long StoreTest::semaphore_count(const char* name) {
  HANDLE s = OpenSemaphoreA(SEMAPHORE_ALL_ACCESS, FALSE, name);
  if (!s) return -1;
  long count = 0;
  if (WaitForSingleObject(s, 0) == WAIT_OBJECT_0) {
    ReleaseSemaphore(s, 1, &count);
    count += 1;
  }
  CloseHandle(s);
  return count;
}

HANDLE start_helper(const std::string& command_line) {
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  std::string cmd = command_line;
  if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return nullptr;
  CloseHandle(pi.hThread);
  return pi.hProcess;
}

int run_helper(const std::string& command_line, DWORD timeout_ms) {
  HANDLE p = start_helper(command_line);
  if (!p) return -1;
  DWORD code = (DWORD)-2;
  if (WaitForSingleObject(p, timeout_ms) == WAIT_OBJECT_0)
    GetExitCodeProcess(p, &code);
  else
    TerminateProcess(p, 99);
  CloseHandle(p);
  return (int)code;
}
