// list_worker: the other processes of the recovery tests (test_list_recovery.cpp).
//
//   list_worker ops <id> <n> <seed>   join the lists, wait for TarnwallWorkGo, make n
//                                     mixed changes and lookups, each change written
//                                     to the registry after the list as the programs
//                                     do; record what it did in the tally; end.
//   list_worker churn <seed>          the same without end, counting each operation
//                                     in the tally's progress, until killed.
//   list_worker keeper                join the lists and keep them; at each
//                                     TarnwallProbe check the four lists' structure
//                                     and make one rule lookup, write the findings
//                                     into the tally and set TarnwallProbeDone;
//                                     end at TarnwallKeeperEnd.
//
// Renames, action changes and deletes touch only entries and rules this worker
// added itself (their names carry its id): each record then has one writer, so
// the registry can be compared with the lists at the end. A churning worker
// stores a rule's three entries again before the rule, so a rule in the
// registry always names stored entries even when an earlier worker was killed
// between an entry's list add and its registry write.
//
// Exit codes: 0 when all went well; from 1000 up the step that failed.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <random>
#include <string>
#include <vector>

#include "list_set.h"
#include "list_worker.h"
#include "tessary.h"

namespace {

// Workers of one stress run, sharing the protocol keys of their rules out.
constexpr int kWorkersAtOnce = 4;

using Lists = tessary::ListSet;

WorkerTally* open_tally() {
  HANDLE m = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, TARNWALL_WORKER_TALLY_NAME);
  if (!m) return nullptr;
  return (WorkerTally*)MapViewOfFile(m, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(WorkerTally));
}

class Worker {
 public:
  // alone: the one worker writing (churn). It stores a rule's entries again
  // before the rule; with several, a copy stored again could overwrite another
  // worker's newer rename.
  Worker(int id, unsigned seed, Lists& l, WorkerCounts& counts, bool alone)
      : id_(id), rng_(seed), l_(l), c_(counts), alone_(alone) {}

  // One operation picked at random; false when something the store promises failed.
  bool step() {
    switch (pick(20)) {
      case 0:
      case 1:
      case 2:
        return add_protocol();
      case 3:
      case 4:
        return add_address();
      case 5:
      case 6:
        return add_app();
      case 7:
      case 8:
      case 9:
      case 10:
        return add_rule();
      case 11:
        return delete_rule();
      case 12:
      case 13:
        return set_action();
      case 14:
        return rename_protocol();
      case 15:
        return rename_app();
      default:
        return lookup();
    }
  }

 private:
  unsigned pick(unsigned n) { return (unsigned)(rng_() % n); }

  bool add_protocol() {
    // Ports from a small range, so that workers meet on the same key text.
    unsigned port = 1000 + pick(400);
    int transport = (int)pick(2);
    char name[PFW_PROTO_NAME_SIZE];
    snprintf(name, sizeof name, "W%d P%u", id_, port);
    if (PFW_AddProtocol(l_.protocols, 0, name, (PFW_TRANSPORT)transport, port) != 1) return true;  // taken
    c_.adds[0]++;
    PFW_PROTO p;
    if (!PFW_GetProtocolByKey(l_.protocols, PFW_CreateProtocolKey(0, transport, port), nullptr, &p)) return false;
    return PFW_AddProtocolIntoRegistry(p) == 1;
  }

  bool add_address() {
    unsigned long ip = (unsigned long)(10 | (pick(4) << 8) | (pick(64) << 16) | (1u << 24));
    char name[PFW_ADR_NAME_SIZE];
    snprintf(name, sizeof name, "W%d host", id_);
    if (PFW_AddAddress(l_.addresses, 0, ip, ip, name, PFW_SINGLE_ADDRESS) != 1) return true;
    c_.adds[1]++;
    PFW_ADR a;
    if (!PFW_GetExactAddressByIP(l_.addresses, ip, nullptr, &a)) return false;
    return PFW_AddAddressIntoRegistry(a) == 1;
  }

  bool add_app() {
    char name[PFW_APP_NAME_SIZE];
    snprintf(name, sizeof name, "PROG%u.EXE", pick(300));
    char description[PFW_APP_DESCRIPTION_SIZE];
    snprintf(description, sizeof description, "W%d program", id_);
    if (PFW_AddApp(l_.apps, 0, name, description) != 1) return true;
    c_.adds[2]++;
    PFW_APP x;
    if (!PFW_GetExactAppByName(l_.apps, name, nullptr, &x)) return false;
    return PFW_AddApplicationIntoRegistry(x) == 1;
  }

  bool add_rule() {
    PFW_PROTO p;
    PFW_ADR a;
    PFW_APP x;
    // Entries are never deleted, so a key below next_key found once stays. With
    // several workers each takes its own share of protocol keys for its rules:
    // a rule one deletes is then never added again by another before the first
    // has deleted its registry value.
    int protocol_key = (int)pick(l_.protocols->next_key);
    if (!alone_) protocol_key = protocol_key / kWorkersAtOnce * kWorkersAtOnce + id_ % kWorkersAtOnce;
    if (!PFW_GetProtocolByIndex(l_.protocols, protocol_key, &p)) return true;
    if (!PFW_GetAddressByIndex(l_.addresses, (int)pick(l_.addresses->next_key), &a)) return true;
    if (!PFW_GetAppByIndex(l_.apps, (int)pick(l_.apps->next_key), &x)) return true;
    int direction = (int)pick(2), action = (int)pick(3);
    if (PFW_AddRule(l_.rules, (int)p.key, (int)a.key, (int)x.key, direction, action, id_) != 1) return true;
    c_.adds[3]++;
    PFW_RULE r;
    int key = -1;
    if (!PFW_GetRuleByNumbers(l_.rules, (int)p.key, (int)a.key, (int)x.key, direction, &key, &r)) return false;
    mine_.push_back(r);
    if (alone_) {
      PFW_AddProtocolIntoRegistry(p);
      PFW_AddAddressIntoRegistry(a);
      PFW_AddApplicationIntoRegistry(x);
      // A value left by a worker killed between a delete's two steps is written over.
      return PFW_AddRuleIntoRegistry(r) == 1 || PFW_ModifyRuleInRegistry(r) == 1;
    }
    return PFW_AddRuleIntoRegistry(r) == 1;
  }

  bool delete_rule() {
    if (mine_.empty()) return true;
    size_t i = pick((unsigned)mine_.size());
    PFW_RULE r = mine_[i];
    mine_.erase(mine_.begin() + (long)i);
    if (PFW_DeleteRule(l_.rules, (int)r.key) != 1) return false;
    c_.deletes++;
    return PFW_DeleteRuleInRegistry(r) == 1 || alone_;
  }

  bool set_action() {
    if (mine_.empty()) return true;
    PFW_RULE& r = mine_[pick((unsigned)mine_.size())];
    PFW_RULE changed;
    if (PFW_SetRuleAction(l_.rules, (int)r.key, (int)pick(3), &changed) != 1) return false;
    r = changed;
    return PFW_ModifyRuleInRegistry(changed) == 1;
  }

  // An entry of its own, found by its name, gets a new one.
  bool rename_protocol() {
    char name[PFW_PROTO_NAME_SIZE];
    snprintf(name, sizeof name, "W%d P%u", id_, 1000 + pick(400));
    PFW_PROTO p;
    int key = -1;
    if (!PFW_GetProtocolByName(l_.protocols, name, &key, nullptr)) return true;
    char renamed[PFW_PROTO_NAME_SIZE];
    snprintf(renamed, sizeof renamed, "W%d R%u", id_, ++renames_);
    if (PFW_RenameProtocol(l_.protocols, key, renamed, &p) != 1) return false;
    return PFW_ModifyProtocolInRegistry(p) == 1;
  }

  bool rename_app() {
    char description[PFW_APP_DESCRIPTION_SIZE];
    snprintf(description, sizeof description, "W%d program", id_);
    int key = -1;
    if (!PFW_GetAppByDescription(l_.apps, description, &key, nullptr)) return true;
    char renamed[PFW_APP_DESCRIPTION_SIZE];
    snprintf(renamed, sizeof renamed, "W%d renamed %u", id_, ++renames_);
    PFW_APP x;
    if (PFW_RenameApp(l_.apps, key, renamed, &x) != 1) return false;
    return PFW_ModifyApplicationInRegistry(x) == 1;
  }

  bool lookup() {
    int key = -1;
    PFW_RULE r;
    char name[PFW_APP_NAME_SIZE];
    snprintf(name, sizeof name, "PROG%u.EXE", pick(300));
    unsigned long ip = (unsigned long)(10 | (pick(4) << 8) | (pick(64) << 16) | (1u << 24));
    PFW_GetRule(l_.rules, l_.addresses, l_.protocols, l_.apps, 1000 + pick(400), (int)pick(2), ip, name, (int)pick(2),
                &key, &r);
    c_.lookups++;
    return true;
  }

  int id_;
  std::mt19937 rng_;
  Lists& l_;
  WorkerCounts& c_;
  bool alone_;
  std::vector<PFW_RULE> mine_;
  unsigned renames_ = 0;
};

int ops(int id, int n, unsigned seed) {
  WorkerTally* tally = open_tally();
  HANDLE go = OpenEventA(SYNCHRONIZE, FALSE, "TarnwallWorkGo");
  if (!tally || !go || id < 0 || id >= kMaxWorkers) return 1001;
  Lists l;
  if (!l.ok()) return 1002;
  if (WaitForSingleObject(go, 30000) != WAIT_OBJECT_0) return 1003;
  Worker w(id, seed, l, tally->workers[id], false);
  for (int i = 0; i < n; i++)
    if (!w.step()) return 1004;
  return 0;
}

int churn(unsigned seed) {
  WorkerTally* tally = open_tally();
  if (!tally) return 1101;
  Lists l;
  if (!l.ok()) return 1102;
  // Each victim its own id for its names, so its renames stay on its own entries.
  int id = (int)(seed % 1000) + kMaxWorkers;
  WorkerCounts scratch = {};
  Worker w(id, seed, l, scratch, true);
  for (;;) {
    if (!w.step()) return 1103;
    InterlockedIncrement(&tally->progress);
  }
}

int keeper() {
  WorkerTally* tally = open_tally();
  HANDLE probe = OpenEventA(SYNCHRONIZE, FALSE, "TarnwallProbe");
  HANDLE done = OpenEventA(EVENT_MODIFY_STATE, FALSE, "TarnwallProbeDone");
  HANDLE end = OpenEventA(SYNCHRONIZE, FALSE, "TarnwallKeeperEnd");
  if (!tally || !probe || !done || !end) return 1201;
  Lists l;
  if (!l.ok()) return 1202;
  void* roots[4] = {l.protocols, l.addresses, l.apps, l.rules};
  HANDLE waits[2] = {end, probe};
  for (;;) {
    DWORD w = WaitForMultipleObjects(2, waits, FALSE, 120000);
    if (w == WAIT_OBJECT_0) return 0;
    if (w != WAIT_OBJECT_0 + 1) return 1203;
    ProbeResult& r = tally->probe;
    r.sound = 1;
    r.problem[0] = 0;
    for (int list = 0; list < 4 && r.sound; list++)
      if (!PFW_CheckListStructure(list, roots[list], r.problem, sizeof r.problem)) r.sound = 0;
    int key = -1;
    PFW_RULE rule;
    PFW_GetRule(l.rules, l.addresses, l.protocols, l.apps, 1001, PFW_TCP, 0x0100000A, "PROG1.EXE", PFW_OUTBOUND, &key,
                &rule);
    r.dead_holders = PFW_GetDeadHolderCount();
    r.undone = PFW_GetUndoneChangeCount();
    r.rule_count = l.rules->count;
    SetEvent(done);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && strcmp(argv[1], "ops") == 0) return ops(atoi(argv[2]), atoi(argv[3]), (unsigned)atoi(argv[4]));
  if (argc == 3 && strcmp(argv[1], "churn") == 0) return churn((unsigned)atoi(argv[2]));
  if (argc == 2 && strcmp(argv[1], "keeper") == 0) return keeper();
  fprintf(stderr, "usage: list_worker ops <id> <n> <seed> | churn <seed> | keeper\n");
  return 1000;
}
