// shared_list.h - what the four shared lists have in common: create or join,
// remove, the per-process handles, the lock, and the insert, unlink and walk steps.
//
// The mapping holds offsets, never pointers: each process maps it at its own
// address, so every link is turned into a pointer against the caller's view.
#ifndef TARNWALL_SHARED_LIST_H
#define TARNWALL_SHARED_LIST_H

#include <string.h>

#include "tessary.h"

namespace tessary {

enum ListId { kProtocols = 0, kAddresses = 1, kApps = 2, kRules = 3, kListCount = 4 };

struct ListLayout {
  const char* map_name;
  const char* semaphore_name;
  uint32_t root_bytes;
  uint32_t first_slot;
  uint32_t entry_bytes;
  uint32_t slots;
};

const ListLayout& layout_of(ListId list);

// Create the named mapping or join it; returns the root inside this process's view, or null.
void* open_list(ListId list);
// Drop this process's view and handles of the open whose root this is (the newest open
// when the root is unknown); returns the result of closing the semaphore handle.
int remove_list(ListId list, void* root);

// The header every list root starts with (the rule root has no any_key).
struct RootHead {
  uint32_t head;
  uint32_t next_key;
  int32_t count;
};

inline char* mapping_base(const void* root) { return (char*)root - PFW_ROOT_OFFSET; }

// The undo journal of one list, a named mapping of our own beside the list's
// ("<semaphore name>_Journal"), so the list's mapping keeps its layout. Before a
// change the holder copies the bytes it is about to write (the root, one link or
// one entry's fields) into the journal and then marks it valid: the change's
// intent is committed. It makes the change and clears the mark: that is the
// change's commit point. A holder that dies in between leaves a valid journal,
// and the next owner of the lock writes the saved bytes back, so a half-done
// change is undone whole.
#define PFW_JOURNAL_SUFFIX "_Journal"
constexpr uint32_t kJournalValid = 0x4A524E4Cu;  // any other value: nothing to undo
constexpr uint32_t kJournalRangeBytes = 128;
enum ChangeKind : uint32_t { kChangeNone = 0, kChangeAdd = 1, kChangeUnlink = 2, kChangeEntry = 3 };

struct ListJournal {
  volatile uint32_t state;  // kJournalValid while a change is under way
  uint32_t change;          // ChangeKind
  uint32_t ranges;          // used entries of range[]
  struct Range {
    uint32_t offset;  // from the start of the list's mapping
    uint32_t size;
    uint8_t bytes[kJournalRangeBytes];
  } range[2];
};

// Holds one list for its lifetime: the companion mutex ("<semaphore name>_Owner")
// first, then the semaphore (owned_lock.h). The hold that follows a holder's
// death undoes that holder's half-done change before anything is read. Before
// anything is read it also makes sure every used slot is committed in this
// process's view, since pages that another process committed need not be
// visible in ours yet.
class ListLock {
 public:
  ListLock(ListId list, void* root);
  ~ListLock();
  ListLock(const ListLock&) = delete;
  ListLock& operator=(const ListLock&) = delete;
  bool held() const { return held_; }
  // The holder committed the slot that brought the list to this count.
  void slot_committed(int32_t count);
  // Records the bytes a change is about to write (one or two ranges inside the
  // mapping), then marks the journal valid. Every write to the list happens
  // between this and commit_change.
  void begin_change(ChangeKind kind, const void* at, uint32_t size, const void* at2 = nullptr, uint32_t size2 = 0);
  // The change's commit point: from here on it stands.
  void commit_change();
  const ListJournal* journal() const { return journal_; }

 private:
  ListId list_;
  void* root_ = nullptr;
  void* open_ = nullptr;
  HANDLE owner_ = nullptr;
  HANDLE semaphore_ = nullptr;
  ListJournal* journal_ = nullptr;
  bool held_ = false;
};

// Writes a valid journal's bytes back and clears it; true when there was a
// change to undo. Refuses (and clears) a journal whose ranges leave the mapping.
bool undo_half_done(ListId list, char* base, ListJournal* journal);

// The structure every hold may rely on: head and links inside the mapping, on
// slot boundaries and below count, no cycle; every linked entry of the list's
// kind, its key below next_key and given once; any_key, when set, naming a
// wildcard if that entry is linked; no change half done. True when sound, else
// problem says what is wrong. Call under the list's hold.
bool check_structure(ListId list, const void* root, const ListJournal* journal, char* problem, size_t size);

// Holds taken from a dead holder, and half-done changes undone, by this process.
uint64_t dead_holders();
uint64_t undone_changes();

// The entry at a link, or null for 0 and for any link that does not name a used slot.
void* entry_at(ListId list, const void* root, uint32_t offset);

// Counts waits taken on list semaphores by this process (for the benchmarks).
uint64_t lock_holds();

// Copies src into a fixed field of size bytes, cut to fit and always terminated.
inline void copy_field(char* field, size_t size, const char* src) {
  if (!src) src = "";
  size_t n = strnlen(src, size - 1);
  memcpy(field, src, n);
  memset(field + n, 0, size - n);
}

template <typename Entry>
inline uint32_t next_of(const Entry* e) {
  return e->next;
}

// Walks the list newest first under one hold and returns the first entry that
// passes the test, filling the optional outputs; null on a miss.
template <typename Entry, typename Test>
Entry* walk_list(ListId list, void* root, Test test, int* out_key, Entry* out_copy) {
  if (!root || ((RootHead*)root)->head == 0) return nullptr;  // empty: no hold needed
  Entry* found = nullptr;
  {
    ListLock lock(list, root);
    if (!lock.held()) return nullptr;
    RootHead* r = (RootHead*)root;
    int steps = r->count;  // a damaged link can never make the walk loop forever
    for (Entry* e = (Entry*)entry_at(list, root, r->head); e && steps-- > 0;
         e = (Entry*)entry_at(list, root, e->next)) {
      if (test(*e)) {
        found = e;
        if (out_key) *out_key = (int)e->key;
        if (out_copy) memcpy(out_copy, e, offsetof(Entry, next));
        break;
      }
    }
  }
  return found;
}

// Links a new entry in front, under a hold the caller already has. Null when a
// duplicate exists, the key would be given twice, or the list is full.
// Automatic keys when has_key is false, else the explicit key.
template <typename Entry, typename IsDuplicate, typename Fill>
Entry* insert_held(ListId list, void* root, ListLock& lock, IsDuplicate is_duplicate, Fill fill, bool has_key,
                   uint32_t key, bool any) {
  const ListLayout& lay = layout_of(list);
  RootHead* r = (RootHead*)root;
  // The duplicate test and the insert share the caller's hold, so two processes
  // adding the same key text at once cannot both succeed.
  // A key is never given twice while the list exists: an explicit key already in
  // use is refused, and so is any add after which next_key would wrap to 0.
  uint32_t new_key = has_key ? key : r->next_key;
  if (new_key == UINT32_MAX) return nullptr;
  int steps = r->count;
  for (Entry* e = (Entry*)entry_at(list, root, r->head); e && steps-- > 0; e = (Entry*)entry_at(list, root, e->next)) {
    if (is_duplicate(*e) || (has_key && e->key == key)) return nullptr;
  }
  if (r->count < 0 || (uint32_t)r->count >= lay.slots) return nullptr;  // the slot would end past the mapping
  uint32_t offset = lay.first_slot + (uint32_t)r->count * lay.entry_bytes;
  char* slot = mapping_base(root) + offset;
  if (!VirtualAlloc(slot, lay.entry_bytes, MEM_COMMIT, PAGE_READWRITE)) return nullptr;
  // Undoing an add puts the root back: the slot beyond count is unused again.
  lock.begin_change(kChangeAdd, root, lay.root_bytes);
  r->count++;
  lock.slot_committed(r->count);
  Entry* e = (Entry*)slot;
  memset(e, 0, sizeof(Entry));
  fill(*e);
  if (has_key) {
    e->key = key;
    r->next_key = (r->next_key > key ? r->next_key : key) + 1;
  } else {
    e->key = r->next_key++;
  }
  if (any && list != kRules) ((PFW_LIST_ROOT*)root)->any_key = e->key;
  e->next = r->head;
  r->head = offset;
  lock.commit_change();
  return e;
}

// One add under one hold: 1 when the entry was linked in front, 0 when refused.
template <typename Entry, typename IsDuplicate, typename Fill>
int insert_entry(ListId list, void* root, IsDuplicate is_duplicate, Fill fill, bool has_key, uint32_t key, bool any) {
  if (!root) return 0;
  ListLock lock(list, root);
  if (!lock.held()) return 0;
  return insert_held<Entry>(list, root, lock, is_duplicate, fill, has_key, key, any) ? 1 : 0;
}

// Finds the first entry (newest first) that `wanted` accepts and lets `on_found`
// change it, or else adds a new one with an automatic key, all under one hold:
// nobody can add the same entry between the look-up and the add. Fills the key
// and the copy (before the link) of the entry found or added; null when neither.
template <typename Entry, typename Wanted, typename OnFound, typename IsDuplicate, typename Fill>
Entry* find_or_insert_entry(ListId list, void* root, Wanted wanted, OnFound on_found, IsDuplicate is_duplicate,
                            Fill fill, bool any, int* out_key, Entry* out_copy, bool* added) {
  *added = false;
  if (!root) return nullptr;
  ListLock lock(list, root);
  if (!lock.held()) return nullptr;
  RootHead* r = (RootHead*)root;
  Entry* hit = nullptr;
  int steps = r->count;
  for (Entry* e = (Entry*)entry_at(list, root, r->head); e && steps-- > 0 && !hit;
       e = (Entry*)entry_at(list, root, e->next))
    if (wanted(*e)) hit = e;
  if (hit) {
    lock.begin_change(kChangeEntry, hit, offsetof(Entry, next));
    on_found(*hit);
    lock.commit_change();
  } else {
    hit = insert_held<Entry>(list, root, lock, is_duplicate, fill, false, 0, any);
    *added = hit != nullptr;
  }
  if (!hit) return nullptr;
  *out_key = (int)hit->key;
  memcpy(out_copy, hit, offsetof(Entry, next));
  return hit;
}

// Unlinks the entry with this key under one hold; 1 when found.
template <typename Entry>
int unlink_entry(ListId list, void* root, uint32_t key) {
  if (!root || ((RootHead*)root)->head == 0) return 0;
  ListLock lock(list, root);
  if (!lock.held()) return 0;
  RootHead* r = (RootHead*)root;
  uint32_t* link = &r->head;
  int steps = r->count;
  for (Entry* e = (Entry*)entry_at(list, root, *link); e && steps-- > 0; e = (Entry*)entry_at(list, root, *link)) {
    if (e->key == key) {
      lock.begin_change(kChangeUnlink, link, sizeof *link);
      *link = e->next;
      lock.commit_change();
      return 1;
    }
    link = &e->next;
  }
  return 0;
}

}  // namespace tessary

#endif  // TARNWALL_SHARED_LIST_H
