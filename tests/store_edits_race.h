// store_edits_race.h - what each process of the rename race does, shared by the
// test and its helper process so both sides run the very same steps.
#ifndef TARNWALL_STORE_EDITS_RACE_H
#define TARNWALL_STORE_EDITS_RACE_H

#include "test_lists_walk.h"

#define TARNWALL_RENAME_BARRIER_NAME "TarnwallRenameBarrier"

// The race's entries: round i uses keys 2i + 1 (renamed by side 0) and 2i + 2
// (side 1) of each of the three lists, all made before the race starts.
inline int rename_race_key(int side, int round) { return 2 * round + 1 + side; }

inline void rename_race_text(char* out, size_t size, int round) { snprintf(out, size, "Same %d", round); }

// Every round both sides meet, then rename their own protocol, address and
// application to one text shared by the round. Returns the renames this side
// won, or -1 when the other side went missing.
inline int rename_race(int side, int rounds, PFW_PROTO_ROOT* protocols, PFW_ADR_ROOT* addresses, PFW_APP_ROOT* apps,
                       RaceBarrier* barrier) {
  int won = 0;
  for (int i = 0; i < rounds; i++) {
    if (!meet(barrier, 2, i)) return -1;
    char text[32];
    rename_race_text(text, sizeof text, i);
    int key = rename_race_key(side, i);
    won += PFW_RenameProtocol(protocols, key, text, nullptr);
    won += PFW_RenameAddress(addresses, key, text, nullptr);
    won += PFW_RenameApp(apps, key, text, nullptr);
  }
  return won;
}

#endif
