// list_helper: the second process of the list tests.
//
//   list_helper report <file>   join the lists, write what it sees to <file>, add
//                               entries of its own, remove the lists and end.
//   list_helper hold <file>     join, write what it sees to <file>.1, add HOLDER1.EXE,
//                               signal TarnwallHelperReady and wait for TarnwallHelperGo;
//                               then the same with <file>.2 and HOLDER2.EXE; then end.
//   list_helper race <id> <n> <competitors>
//                               signal TarnwallRaceReady, wait for TarnwallRaceGo, create
//                               or join the lists and run race_adds, meeting the other
//                               competitors before every round; signal TarnwallRaceDone
//                               and keep the lists until TarnwallRaceRelease.
//
// Exit codes: report and hold 0 when all went well; race the number of shared adds
// it won; codes from 1000 up name the step that failed.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "list_set.h"
#include "test_lists_walk.h"

namespace {

struct Lists : tessary::ListSet {
  bool report(const std::string& path) const {
    std::string text = describe_lists(protocols, addresses, apps, rules);
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = fwrite(text.data(), 1, text.size(), f) == text.size();
    return fclose(f) == 0 && ok;
  }
};

int report(const char* path) {
  Lists l;
  if (!l.ok()) return 1001;
  if (!l.report(path)) return 1002;
  // Entries of its own, and a rule that ties them together.
  if (PFW_AddProtocol(l.protocols, 0, "Helper", PFW_UDP, 5000) != 1) return 1003;
  if (PFW_AddAddress(l.addresses, 0, ip_of(10, 9, 9, 9), ip_of(10, 9, 9, 9), "Helper host", PFW_SINGLE_ADDRESS) != 1)
    return 1004;
  if (PFW_AddApp(l.apps, 0, "HELPER.EXE", "Helper") != 1) return 1005;
  int p = -1, a = -1, x = -1;
  if (!PFW_GetExactProtocolByService(l.protocols, PFW_UDP, 5000, &p, nullptr) ||
      !PFW_GetExactAddressByIP(l.addresses, ip_of(10, 9, 9, 9), &a, nullptr) ||
      !PFW_GetExactAppByName(l.apps, "HELPER.EXE", &x, nullptr))
    return 1006;
  if (PFW_AddRule(l.rules, p, a, x, PFW_OUTBOUND, PFW_ASK, 1) != 1) return 1007;
  l.close();
  return 0;
}

int hold(const char* path) {
  HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, "TarnwallHelperReady");
  HANDLE go = OpenEventA(SYNCHRONIZE, FALSE, "TarnwallHelperGo");
  if (!ready || !go) return 1101;
  Lists l;
  if (!l.ok()) return 1102;
  for (int stage = 1; stage <= 2; stage++) {
    if (!l.report(std::string(path) + "." + std::to_string(stage))) return 1103;
    std::string name = "HOLDER" + std::to_string(stage) + ".EXE";
    if (PFW_AddApp(l.apps, 0, name.c_str(), "Holder") != 1) return 1104;
    SetEvent(ready);
    if (WaitForSingleObject(go, 30000) != WAIT_OBJECT_0) return 1105;
  }
  l.close();
  return 0;
}

int race(int id, int rounds, int competitors) {
  HANDLE ready = OpenSemaphoreA(SEMAPHORE_MODIFY_STATE, FALSE, "TarnwallRaceReady");
  HANDLE done = OpenSemaphoreA(SEMAPHORE_MODIFY_STATE, FALSE, "TarnwallRaceDone");
  HANDLE go = OpenEventA(SYNCHRONIZE, FALSE, "TarnwallRaceGo");
  HANDLE release = OpenEventA(SYNCHRONIZE, FALSE, "TarnwallRaceRelease");
  HANDLE meeting = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, TARNWALL_RACE_BARRIER_NAME);
  if (!ready || !done || !go || !release || !meeting) return 1201;
  auto* barrier = (RaceBarrier*)MapViewOfFile(meeting, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(RaceBarrier));
  if (!barrier) return 1201;
  ReleaseSemaphore(ready, 1, nullptr);
  if (WaitForSingleObject(go, 30000) != WAIT_OBJECT_0) return 1202;
  Lists l;
  if (!l.ok()) return 1203;
  int won = race_adds(id, rounds, l.protocols, l.addresses, l.apps, l.rules, barrier, competitors);
  ReleaseSemaphore(done, 1, nullptr);
  if (WaitForSingleObject(release, 60000) != WAIT_OBJECT_0) return 1204;
  l.close();
  return won < 0 ? 1205 : won;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && strcmp(argv[1], "report") == 0) return report(argv[2]);
  if (argc == 3 && strcmp(argv[1], "hold") == 0) return hold(argv[2]);
  if (argc == 5 && strcmp(argv[1], "race") == 0) return race(atoi(argv[2]), atoi(argv[3]), atoi(argv[4]));
  fprintf(stderr, "usage: list_helper report <file> | hold <file> | race <id> <rounds> <competitors>\n");
  return 1000;
}
