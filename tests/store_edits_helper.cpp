// store_edits_helper: the second process of the rename race.
//
//   store_edits_helper <rounds>   join the lists, signal TarnwallRenameReady, run
//                                 rename_race as side 1 and end.
//
// Exit code: the renames it won; codes from 1000 up name the step that failed.
#include <stdlib.h>

#include "list_set.h"
#include "store_edits_race.h"

int main(int argc, char** argv) {
  if (argc != 2) return 1000;
  HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, "TarnwallRenameReady");
  HANDLE meeting = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, TARNWALL_RENAME_BARRIER_NAME);
  if (!ready || !meeting) return 1001;
  auto* barrier = (RaceBarrier*)MapViewOfFile(meeting, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(RaceBarrier));
  tessary::ListSet lists;
  if (!barrier || !lists.ok()) return 1002;
  SetEvent(ready);
  int won = rename_race(1, atoi(argv[1]), lists.protocols, lists.addresses, lists.apps, barrier);
  lists.close();
  return won < 0 ? 1003 : won;
}
