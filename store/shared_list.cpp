// shared_list.cpp - create, join and remove the shared lists, and their lock.
#include "shared_list.h"

#include <stdio.h>

#include <algorithm>
#include <atomic>
#include <type_traits>

#include "owned_lock.h"

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
  HANDLE owner = nullptr;  // the semaphore's companion mutex
  HANDLE journal_mapping = nullptr;
  ListJournal* journal = nullptr;
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
std::atomic<uint64_t> g_dead_holders{0};
std::atomic<uint64_t> g_undone{0};

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

int close_open(Open& o) {
  if (o.view) UnmapViewOfFile(o.view);
  if (o.mapping) CloseHandle(o.mapping);
  if (o.journal) UnmapViewOfFile(o.journal);
  if (o.journal_mapping) CloseHandle(o.journal_mapping);
  int closed = o.semaphore && CloseHandle(o.semaphore) ? 1 : 0;
  if (o.owner) CloseHandle(o.owner);
  o = Open{};
  return closed;
}

// The journal's mapping: small, committed whole, zero (nothing to undo) when new.
bool open_journal(const ListLayout& lay, Open& o) {
  char name[MAX_PATH];
  int n = snprintf(name, sizeof name, "%s%s", lay.semaphore_name, PFW_JOURNAL_SUFFIX);
  if (n < 0 || n >= (int)sizeof name) return false;
  o.journal_mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(ListJournal), name);
  if (!o.journal_mapping) return false;
  o.journal = (ListJournal*)MapViewOfFile(o.journal_mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(ListJournal));
  return o.journal != nullptr;
}

// What follows the death of a holder: its half-done change undone, then the
// structure looked over. A list still unsound afterwards is reported, and used
// as it is: every walk is bounded by count and every link checked.
void after_dead_holder(ListId list, void* root, ListJournal* journal) {
  g_dead_holders.fetch_add(1, std::memory_order_relaxed);
  if (undo_half_done(list, mapping_base(root), journal)) g_undone.fetch_add(1, std::memory_order_relaxed);
  char problem[160];
  if (!check_structure(list, root, journal, problem, sizeof problem)) {
    char line[220];
    snprintf(line, sizeof line, "tessary: list %s after a dead holder: %s\n", kLayouts[list].semaphore_name, problem);
    OutputDebugStringA(line);
  }
}

}  // namespace

const ListLayout& layout_of(ListId list) { return kLayouts[list]; }

uint64_t lock_holds() { return g_holds.load(std::memory_order_relaxed); }

// Creating and joining are one path, taken under the list's companion mutex,
// so nobody reads a root before its creator has set it and a creator or joiner
// that dies at any step is seen by the next one through the abandoned mutex:
//   - before the mapping or the semaphore exists: the next opener makes them;
//   - after making the semaphore (created taken) but before releasing it: the
//     next opener inherits that count with the mutex;
//   - while setting the root: a new mapping is zero, which is the empty root.
void* open_list(ListId list) {
  const ListLayout& lay = kLayouts[list];
  Open o;
  o.owner = open_owner_mutex(lay.semaphore_name);
  if (!o.owner) return nullptr;
  DWORD got = WaitForSingleObject(o.owner, INFINITE);
  if (got != WAIT_OBJECT_0 && got != WAIT_ABANDONED) {
    close_open(o);
    return nullptr;
  }
  bool dead = got == WAIT_ABANDONED;
  bool semaphore_held = false;
  bool ok = false;
  do {
    o.mapping =
        CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, SEC_RESERVE | PAGE_READWRITE, 0, PFW_MAP_BYTES, lay.map_name);
    if (!o.mapping) break;
    bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
    o.view = (char*)MapViewOfFile(o.mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0);
    if (!o.view || !VirtualAlloc(o.view + PFW_ROOT_OFFSET, lay.root_bytes, MEM_COMMIT, PAGE_READWRITE)) break;
    if (!open_journal(lay, o)) break;
    // Made taken, or the one that exists. Whoever holds that one without our
    // mutex is a peer that takes only the semaphore, and is waited for; with
    // the mutex abandoned, a taken count is the dead holder's and is ours now.
    o.semaphore = CreateSemaphoreA(nullptr, 0, 1, lay.semaphore_name);
    if (!o.semaphore) break;
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
      DWORD sem = WaitForSingleObject(o.semaphore, dead ? 0 : INFINITE);
      if (sem != WAIT_OBJECT_0 && !(dead && sem == WAIT_TIMEOUT)) break;
    }
    semaphore_held = true;
    void* root = o.view + PFW_ROOT_OFFSET;
    if (!existed) memset(root, 0, lay.root_bytes);
    g_holds.fetch_add(1, std::memory_order_relaxed);
    if (dead) after_dead_holder(list, root, o.journal);
    ok = true;
  } while (false);
  if (semaphore_held) ReleaseSemaphore(o.semaphore, 1, nullptr);
  ReleaseMutex(o.owner);
  if (!ok) {
    close_open(o);
    return nullptr;
  }

  TableGuard guard;
  ListOpens& lo = g_lists[list];
  for (int i = 0; i < kMaxOpens; i++) {
    if (lo.opens[i].view) continue;
    lo.opens[i] = o;
    lo.newest = i;
    return o.view + PFW_ROOT_OFFSET;
  }
  close_open(o);
  return nullptr;
}

int remove_list(ListId list, void* root) {
  TableGuard guard;
  ListOpens& lo = g_lists[list];
  Open* o = find_open(list, root);
  if (!o) return 0;
  int closed = close_open(*o);
  lo.newest = -1;
  for (int i = kMaxOpens - 1; i >= 0 && lo.newest < 0; i--)
    if (lo.opens[i].view) lo.newest = i;
  return closed;
}

ListLock::ListLock(ListId list, void* root) : list_(list), root_(root) {
  Open* o;
  {
    TableGuard guard;
    o = find_open(list, root);
    if (!o) return;
    semaphore_ = o->semaphore;
    owner_ = o->owner;
    journal_ = o->journal;
    if (o->view + PFW_ROOT_OFFSET == (char*)root) open_ = o;
  }
  Acquired got = acquire_owned(owner_, semaphore_);
  if (got == Acquired::kFailed) return;
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
  if (got == Acquired::kFromDeadHolder) after_dead_holder(list, root, journal_);
}

void ListLock::slot_committed(int32_t count) {
  Open* o = (Open*)open_;
  if (o && o->committed == count - 1) o->committed = count;
}

void ListLock::begin_change(ChangeKind kind, const void* at, uint32_t size, const void* at2, uint32_t size2) {
  ListJournal* j = journal_;
  if (!j) return;
  char* base = mapping_base(root_);
  const void* where[2] = {at, at2};
  uint32_t sizes[2] = {size, size2};
  uint32_t n = 0;
  for (int i = 0; i < 2; i++) {
    if (!where[i] || sizes[i] == 0 || sizes[i] > kJournalRangeBytes) continue;
    j->range[n].offset = (uint32_t)((const char*)where[i] - base);
    j->range[n].size = sizes[i];
    memcpy(j->range[n].bytes, where[i], sizes[i]);
    n++;
  }
  j->ranges = n;
  j->change = kind;
  MemoryBarrier();  // the saved bytes are complete before the mark says so
  j->state = kJournalValid;
  MemoryBarrier();
}

void ListLock::commit_change() {
  if (!journal_) return;
  MemoryBarrier();  // the change is complete before the mark goes
  journal_->state = 0;
  MemoryBarrier();
}

ListLock::~ListLock() {
  if (held_) release_owned(owner_, semaphore_);
}

bool undo_half_done(ListId list, char* base, ListJournal* j) {
  (void)list;
  if (!j || j->state != kJournalValid) return false;
  bool sound = j->ranges <= 2;
  for (uint32_t i = 0; sound && i < j->ranges; i++) {
    const ListJournal::Range& r = j->range[i];
    sound = r.size <= kJournalRangeBytes && r.offset >= PFW_ROOT_OFFSET && r.offset <= PFW_MAP_BYTES &&
            r.size <= PFW_MAP_BYTES - r.offset;
  }
  // A journal pointing outside the list is not ours to follow: nothing is written.
  for (uint32_t i = 0; sound && i < j->ranges; i++)
    memcpy(base + j->range[i].offset, j->range[i].bytes, j->range[i].size);
  MemoryBarrier();
  j->state = 0;
  MemoryBarrier();
  return sound;
}

namespace {

template <typename Entry>
bool check_entries(ListId list, const void* root, int kind, char* problem, size_t size) {
  const ListLayout& lay = kLayouts[list];
  const RootHead* r = (const RootHead*)root;
  if (r->count < 0 || (uint32_t)r->count > lay.slots) {
    snprintf(problem, size, "count %d is outside 0 to %u", (int)r->count, lay.slots);
    return false;
  }
  static thread_local uint8_t seen[PFW_RULE_SLOTS];
  memset(seen, 0, sizeof seen);
  uint32_t linked = 0;
  bool any_linked = false;
  const Entry* any_entry = nullptr;
  uint32_t any_key = list == kRules ? 0 : ((const PFW_LIST_ROOT*)root)->any_key;
  uint32_t where = 0;  // 0: the head
  for (uint32_t link = r->head; link != 0;) {
    const Entry* e = (const Entry*)entry_at(list, root, link);
    if (!e) {
      snprintf(problem, size, "link %u at %u is not a used slot", link, where);
      return false;
    }
    uint32_t slot = (link - lay.first_slot) / lay.entry_bytes;
    if (seen[slot]) {
      snprintf(problem, size, "link %u at %u closes a cycle", link, where);
      return false;
    }
    seen[slot] = 1;
    linked++;
    if (e->kind != kind) {
      snprintf(problem, size, "entry at %u has kind %d", link, (int)e->kind);
      return false;
    }
    if (e->key >= r->next_key) {
      snprintf(problem, size, "entry at %u has key %u, not below next key %u", link, e->key, r->next_key);
      return false;
    }
    if (any_key != 0 && e->key == any_key) any_linked = true, any_entry = e;
    where = link + (uint32_t)offsetof(Entry, next);
    link = e->next;
  }
  // Keys given once: compared pairwise only among linked entries, by slot.
  static thread_local uint32_t keys[PFW_RULE_SLOTS];
  uint32_t n = 0;
  for (uint32_t s = 0; s < (uint32_t)r->count; s++)
    if (seen[s]) keys[n++] = ((const Entry*)(mapping_base(root) + lay.first_slot + s * lay.entry_bytes))->key;
  std::sort(keys, keys + n);
  for (uint32_t i = 1; i < n; i++)
    if (keys[i] == keys[i - 1]) {
      snprintf(problem, size, "key %u is linked twice", keys[i]);
      return false;
    }
  if constexpr (!std::is_same_v<Entry, PFW_RULE>) {
    if (any_linked && any_entry->any == 0) {
      snprintf(problem, size, "any_key %u names an entry that is no wildcard", any_key);
      return false;
    }
  }
  (void)any_linked;
  (void)linked;
  return true;
}

}  // namespace

bool check_structure(ListId list, const void* root, const ListJournal* journal, char* problem, size_t size) {
  if (size) problem[0] = 0;
  if (journal && journal->state == kJournalValid) {
    snprintf(problem, size, "a change is half done (its journal is valid)");
    return false;
  }
  switch (list) {
    case kProtocols:
      return check_entries<PFW_PROTO>(list, root, PFW_KIND_PROTOCOL, problem, size);
    case kAddresses:
      return check_entries<PFW_ADR>(list, root, PFW_KIND_ADDRESS, problem, size);
    case kApps:
      return check_entries<PFW_APP>(list, root, PFW_KIND_APP, problem, size);
    case kRules:
      return check_entries<PFW_RULE>(list, root, PFW_KIND_RULE, problem, size);
    default:
      snprintf(problem, size, "no such list");
      return false;
  }
}

uint64_t dead_holders() { return g_dead_holders.load(std::memory_order_relaxed); }
uint64_t undone_changes() { return g_undone.load(std::memory_order_relaxed); }

void* entry_at(ListId list, const void* root, uint32_t offset) {
  const ListLayout& lay = kLayouts[list];
  if (offset < lay.first_slot) return nullptr;
  uint32_t rel = offset - lay.first_slot;
  int32_t count = ((const RootHead*)root)->count;
  if (rel % lay.entry_bytes != 0 || count <= 0 || rel / lay.entry_bytes >= (uint32_t)count) return nullptr;
  return mapping_base(root) + offset;
}

}  // namespace tessary
