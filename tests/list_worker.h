// list_worker.h - what the recovery tests and their worker processes share: a
// named mapping with each worker's tally and the keeper's findings.
#ifndef TARNWALL_LIST_WORKER_H
#define TARNWALL_LIST_WORKER_H

#include <windows.h>
#include <stdint.h>

#define TARNWALL_WORKER_TALLY_NAME "TarnwallWorkerTally"

constexpr int kMaxWorkers = 8;

struct WorkerCounts {
  uint32_t adds[4];  // entries linked by this worker: protocols, addresses, applications, rules
  uint32_t deletes;  // rules it unlinked
  uint32_t lookups;
};

// What the keeper found at its last probe.
struct ProbeResult {
  int32_t sound;  // all four lists passed the structure check
  char problem[160];
  uint64_t dead_holders;  // holds the keeper took over from a dead holder, so far
  uint64_t undone;        // of those, half-done changes undone
  int32_t rule_count;
};

struct WorkerTally {
  WorkerCounts workers[kMaxWorkers];
  volatile LONG progress;  // operations a churning worker has finished
  ProbeResult probe;
};

#endif
