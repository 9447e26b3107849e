// shared_list.cpp - create, join and remove the shared lists, and their lock.
#include "shared_list.h"

#include <atomic>

namespace tessary {
namespace {

const ListLayout kLayouts[kListCount] = {
    {PFW_PROTOCOL_MAP_NAME, PFW_PROTOCOL_SEMAPHORE_NAME, sizeof(PFW_PROTO_ROOT), PFW_FIRST_SLOT, sizeof(PFW_PROTO),
     PFW_PROTOCOL_SLOTS},
    {PFW_ADDRESS_MAP_NAME, PFW_ADDRESS_SEMAPHORE_NAME, sizeof(PFW_ADR_ROOT), PFW_FIRST_SLOT, sizeof(PFW_ADR),
     PFW_ADDRESS_SLOTS},
    {PFW_APP_MAP_NAME, PFW_APP_SEMAPHORE_NAME, sizeof(PFW_APP_ROOT), PFW_FIRST_SLOT, sizeof(PFW_APP), PFW_APP_SLOTS},
    {PFW_RULE_MAP_NAME, PFW_RULE_SEMAPHORE_NAME, sizeof(PFW_RULE_ROOT), PFW_RULE_FIRST_SLOT, sizeof(PFW_RULE),
     PFW_RULE_SLOTS},
};

// One process may open a list more than once (a program and the wizard entry
// points each hold their own root). Every open keeps its own view and handles,
// so removing one never pulls the ground from under another.
constexpr int kMaxOpens = 16;

struct Open {
  char* view = nullptr;
  HANDLE mapping = nullptr;
  HANDLE semaphore = nullptr;
  int32_t committed = 0;  // slots known to be committed in this view
};

struct ListOpens {
  Open opens[kMaxOpens];
  int newest = -1;  // index of the most recent open still held
};

ListOpens g_lists[kListCount];
CRITICAL_SECTION g_table_lock;
INIT_ONCE g_table_once = INIT_ONCE_STATIC_INIT;
std::atomic<uint64_t> g_holds{0};

BOOL CALLBACK init_table(PINIT_ONCE, PVOID, PVOID*) {
  InitializeCriticalSection(&g_table_lock);
  return TRUE;
}

struct TableGuard {
  TableGuard() {
    InitOnceExecuteOnce(&g_table_once, init_table, nullptr, nullptr);
    EnterCriticalSection(&g_table_lock);
  }
  ~TableGuard() { LeaveCriticalSection(&g_table_lock); }
};

Open* find_open(ListId list, const void* root) {
  ListOpens& lo = g_lists[list];
  for (Open& o : lo.opens)
    if (o.view && o.view + PFW_ROOT_OFFSET == (const char*)root) return &o;
  return lo.newest >= 0 ? &lo.opens[lo.newest] : nullptr;
}

void close_open(Open& o) {
  if (o.view) UnmapViewOfFile(o.view);
  if (o.mapping) CloseHandle(o.mapping);
  if (o.semaphore) CloseHandle(o.semaphore);
  o = Open{};
}

}  // namespace

const ListLayout& layout_of(ListId list) { return kLayouts[list]; }

uint64_t lock_holds() { return g_holds.load(std::memory_order_relaxed); }

// How long a process that finds the mapping made waits for its semaphore to appear.
constexpr ULONGLONG kJoinPatienceMs = 5000;

void* open_list(ListId list) {
  const ListLayout& lay = kLayouts[list];
  TableGuard guard;
  ListOpens& lo = g_lists[list];
  int index = -1;
  for (int i = 0; i < kMaxOpens && index < 0; i++)
    if (!lo.opens[i].view) index = i;
  if (index < 0) return nullptr;

  // A process that finds the mapping already made can get there between its
  // creator's mapping and semaphore, or just as the last holder lets go of both.
  // Letting go and starting over settles either: the creator soon has its
  // semaphore, or the old list is gone and this process creates it afresh.
  ULONGLONG deadline = GetTickCount64() + kJoinPatienceMs;
  for (;;) {
    Open o;
    o.mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, SEC_RESERVE | PAGE_READWRITE, 0, PFW_MAP_BYTES,
                                   lay.map_name);
    if (!o.mapping) return nullptr;
    bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
    o.view = (char*)MapViewOfFile(o.mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0);
    if (!o.view) {
      close_open(o);
      return nullptr;
    }
    if (existed) {
      // Joining: the creator may still hold the semaphore while it initialises the
      // root; our first operation waits for it, the join itself does not.
      o.semaphore = OpenSemaphoreA(SEMAPHORE_ALL_ACCESS, FALSE, lay.semaphore_name);
      if (!o.semaphore && GetLastError() == ERROR_FILE_NOT_FOUND && GetTickCount64() < deadline) {
        close_open(o);
        Sleep(1);
        continue;
      }
      if (!o.semaphore || !VirtualAlloc(o.view + PFW_ROOT_OFFSET, lay.root_bytes, MEM_COMMIT, PAGE_READWRITE)) {
        close_open(o);
        return nullptr;
      }
    } else {
      // Creating: the semaphore starts taken so nobody reads the root before it is set.
      o.semaphore = CreateSemaphoreA(nullptr, 0, 1, lay.semaphore_name);
      if (!o.semaphore) {
        close_open(o);
        return nullptr;
      }
      if (!VirtualAlloc(o.view + PFW_ROOT_OFFSET, lay.root_bytes, MEM_COMMIT, PAGE_READWRITE)) {
        ReleaseSemaphore(o.semaphore, 1, nullptr);
        close_open(o);
        return nullptr;
      }
      RootHead* r = (RootHead*)(o.view + PFW_ROOT_OFFSET);
      r->head = 0;
      r->next_key = 0;
      r->count = 0;
      ReleaseSemaphore(o.semaphore, 1, nullptr);
    }
    lo.opens[index] = o;
    lo.newest = index;
    return o.view + PFW_ROOT_OFFSET;
  }
}

int remove_list(ListId list, void* root) {
  TableGuard guard;
  ListOpens& lo = g_lists[list];
  Open* o = find_open(list, root);
  if (!o) return 0;
  UnmapViewOfFile(o->view);
  CloseHandle(o->mapping);
  int closed = CloseHandle(o->semaphore) ? 1 : 0;
  *o = Open{};
  lo.newest = -1;
  for (int i = kMaxOpens - 1; i >= 0 && lo.newest < 0; i--)
    if (lo.opens[i].view) lo.newest = i;
  return closed;
}

ListLock::ListLock(ListId list, void* root) {
  Open* o;
  {
    TableGuard guard;
    o = find_open(list, root);
    if (!o) return;
    semaphore_ = o->semaphore;
    if (o->view + PFW_ROOT_OFFSET == (char*)root) open_ = o;
  }
  if (WaitForSingleObject(semaphore_, INFINITE) != WAIT_OBJECT_0) return;
  held_ = true;
  g_holds.fetch_add(1, std::memory_order_relaxed);
  // Another process may have committed slots since we last looked.
  const ListLayout& lay = kLayouts[list];
  int32_t count = ((RootHead*)root)->count;
  if (count > (int32_t)lay.slots) count = (int32_t)lay.slots;
  if (open_ && count > o->committed) {
    char* from = o->view + lay.first_slot + (uint32_t)o->committed * lay.entry_bytes;
    if (VirtualAlloc(from, (uint32_t)(count - o->committed) * lay.entry_bytes, MEM_COMMIT, PAGE_READWRITE))
      o->committed = count;
  }
}

void ListLock::slot_committed(int32_t count) {
  Open* o = (Open*)open_;
  if (o && o->committed == count - 1) o->committed = count;
}

ListLock::~ListLock() {
  if (held_) ReleaseSemaphore(semaphore_, 1, nullptr);
}

void* entry_at(ListId list, const void* root, uint32_t offset) {
  const ListLayout& lay = kLayouts[list];
  if (offset < lay.first_slot) return nullptr;
  uint32_t rel = offset - lay.first_slot;
  int32_t count = ((const RootHead*)root)->count;
  if (rel % lay.entry_bytes != 0 || count <= 0 || rel / lay.entry_bytes >= (uint32_t)count) return nullptr;
  return mapping_base(root) + offset;
}

}  // namespace tessary
