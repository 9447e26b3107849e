// global_state.cpp - the small block of state every Tarnwall process shares
// ("PFW_GLOBAL_DATA_MAP"): window handles, options, log file name, and the
// one-record traffic mailbox guarded by "PFW_GLOBAL_DATA_SEMAPHORE".
//
// The accessors take no lock: each field is a 32-bit value or a string with a
// single writer. The semaphore belongs to the mailbox alone; its count is 1
// while the mailbox is empty. A producer takes it and leaves it taken; the
// consumer, usually in another process, gives it back after emptying the box.
#include <stdlib.h>
#include <string.h>

#include <mutex>

#include "shared_list.h"

namespace {

// This process's hold on the block; kept until the process ends.
HANDLE g_semaphore = nullptr;
HANDLE g_mapping = nullptr;
PFW_GLOBAL_DATA* g_block = nullptr;
std::mutex g_init_mutex;

// What the string getters hand out while the block is unavailable: callers
// read it as an empty string, and one that writes within the field's width
// harms nothing.
char g_no_password[PFW_PASSWORD_SIZE];
char g_no_log_file_name[PFW_LOG_FILE_NAME_SIZE];

volatile LONG* pending_flag() { return (volatile LONG*)&g_block->traffic_pending; }

// Window handles keep 32 significant bits so that every process reads the same
// value; widening sign-extends, as the system itself does for handles.
uint32_t handle_bits(HWND hwnd) { return (uint32_t)(uintptr_t)hwnd; }
HWND handle_of(uint32_t bits) { return (HWND)(intptr_t)(int32_t)bits; }

// Fills a block this process has just created: log file name and options from
// the registry, everything else zero. A value that cannot be read leaves its
// part empty rather than holding whatever a partial read left behind.
void fill_new_block(PFW_GLOBAL_DATA* block) {
  memset(block, 0, sizeof *block);

  char* path = PFW_GetLogFileNameFromRegistry();
  if (path) {
    // The reader's buffer is PFW_LOG_PATH_SIZE bytes and the stored text need not end in NUL.
    size_t n = strnlen(path, PFW_LOG_PATH_SIZE);
    if (n >= sizeof block->log_file_name) n = sizeof block->log_file_name - 1;
    memcpy(block->log_file_name, path, n);
    free(path);
  }

  PFW_OPTIONS options;
  memset(&options, 0, sizeof options);
  if (PFW_GetOptionsFromRegistry(&options)) {
    // A stored password without its NUL would run on into the fields after it.
    options.password[PFW_PASSWORD_SIZE - 1] = 0;
    block->options = options;
  }
}

}  // namespace

extern "C" {

void PFW_InitializeGlobalData(void) {
  std::lock_guard<std::mutex> once(g_init_mutex);
  if (g_semaphore) return;

  // Created taken: nobody can deposit before the creator of the block has filled it.
  HANDLE semaphore = CreateSemaphoreA(nullptr, 0, 1, PFW_GLOBAL_SEMAPHORE_NAME);
  if (!semaphore) return;
  g_semaphore = semaphore;

  HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(PFW_GLOBAL_DATA),
                                      PFW_GLOBAL_MAP_NAME);
  if (!mapping) return;
  bool created = GetLastError() != ERROR_ALREADY_EXISTS;
  void* view = MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(PFW_GLOBAL_DATA));
  if (!view) {
    CloseHandle(mapping);
    return;
  }
  g_mapping = mapping;

  if (created) {
    fill_new_block((PFW_GLOBAL_DATA*)view);
    g_block = (PFW_GLOBAL_DATA*)view;
    // The mailbox is now empty and free for the first time. A joiner releases
    // nothing: the creator has done so, or a waiting record holds the semaphore.
    ReleaseSemaphore(g_semaphore, 1, nullptr);
  } else {
    g_block = (PFW_GLOBAL_DATA*)view;
  }
}

HWND PFW_SetGlobalMonitorHwnd(HWND hwnd) {
  if (!g_block) return nullptr;
  g_block->monitor_hwnd = handle_bits(hwnd);
  return handle_of(g_block->monitor_hwnd);
}

HWND PFW_GetGlobalMonitorHwnd(void) { return g_block ? handle_of(g_block->monitor_hwnd) : nullptr; }

HWND PFW_SetGlobalEdictorHwnd(HWND hwnd) {
  if (!g_block) return nullptr;
  g_block->edictor_hwnd = handle_bits(hwnd);
  return handle_of(g_block->edictor_hwnd);
}

HWND PFW_GetGlobalEdictorHwnd(void) { return g_block ? handle_of(g_block->edictor_hwnd) : nullptr; }

// The integer options: the setter returns what it wrote; without the block
// nothing is written and both sides answer 0.
#define PFW_INT_OPTION(Set, Get, field) \
  int Set(int value) {                  \
    if (!g_block) return 0;             \
    g_block->options.field = value;     \
    return value;                       \
  }                                     \
  int Get(void) { return g_block ? (int)g_block->options.field : 0; }

PFW_INT_OPTION(PFW_SetRunMode, PFW_GetRunMode, run_mode)
PFW_INT_OPTION(PFW_SetLockStatus, PFW_GetLockStatus, lock_status)
PFW_INT_OPTION(PFW_SetLogFullyArmed, PFW_GetLogFullyArmed, log_fully_armed)
PFW_INT_OPTION(PFW_SetLogStandBy, PFW_GetLogStandBy, log_stand_by)
PFW_INT_OPTION(PFW_SetTimerActive, PFW_GetTimerActive, timer_active)
PFW_INT_OPTION(PFW_SetTimerCountDown, PFW_GetTimerCountDown, timer_countdown)
PFW_INT_OPTION(PFW_SetLogAllow, PFW_GetLogAllow, log_allow)
PFW_INT_OPTION(PFW_SetLogDeny, PFW_GetLogDeny, log_deny)

#undef PFW_INT_OPTION

// The string setters cut what does not fit (59 and 499 characters) and always
// terminate the field; they return the bytes copied, NUL included. A null
// string empties the field.
int PFW_SetPassword(const char* password) {
  if (!g_block) return 0;
  tessary::copy_field(g_block->options.password, PFW_PASSWORD_SIZE, password);
  return (int)strlen(g_block->options.password) + 1;
}

char* PFW_GetPassword(void) { return g_block ? g_block->options.password : g_no_password; }

int PFW_SetLogFileName(const char* path) {
  if (!g_block) return 0;
  tessary::copy_field(g_block->log_file_name, PFW_LOG_FILE_NAME_SIZE, path);
  return (int)strlen(g_block->log_file_name) + 1;
}

char* PFW_GetLogFileName(void) { return g_block ? g_block->log_file_name : g_no_log_file_name; }

int PFW_SetGlobalTraffic(PFW_TRAFFIC traffic) {
  if (!g_block) return (int)WAIT_FAILED;
  DWORD waited = WaitForSingleObject(g_semaphore, INFINITE);
  if (waited != WAIT_OBJECT_0) return (int)waited;
  // The consumer takes the text up to its first NUL; a record without one is cut at 199 characters.
  traffic.text[PFW_TRAFFIC_SIZE - 1] = 0;
  memcpy(&g_block->traffic, &traffic, sizeof traffic);
  // The record is complete before the flag says so: the flag is what a consumer tests.
  InterlockedExchange(pending_flag(), 1);
  return (int)waited;  // still holding the mailbox: the consumer releases it
}

int PFW_GetGlobalTraffic(PFW_TRAFFIC* traffic) {
  if (!traffic || !g_block) return 0;
  // Claiming the record by clearing the flag means two consumers can never both
  // take it and release the semaphore twice; the producer cannot overwrite the
  // record before the release below.
  if (InterlockedCompareExchange(pending_flag(), 0, 1) != 1) return 0;
  memcpy(traffic, &g_block->traffic, sizeof *traffic);
  ReleaseSemaphore(g_semaphore, 1, nullptr);
  return 1;
}

}  // extern "C"
