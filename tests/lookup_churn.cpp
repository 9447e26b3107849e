// lookup_churn: joins the lists and keeps adding and deleting entries and rules
// for a given number of rounds, so a lookup in another process races with it.
#include <stdio.h>
#include <stdlib.h>

#include "list_set.h"

int main(int argc, char** argv) {
  int rounds = argc > 1 ? atoi(argv[1]) : 500;
  tessary::ListSet lists;
  if (!lists.ok()) return 2;
  PFW_PROTO_ROOT* protocols = lists.protocols;
  PFW_APP_ROOT* apps = lists.apps;
  PFW_RULE_ROOT* rules = lists.rules;
  HANDLE go = OpenEventA(SYNCHRONIZE, FALSE, "TarnwallChurnGo");
  if (!go || WaitForSingleObject(go, 30000) != WAIT_OBJECT_0) return 3;

  PFW_AddApp(apps, 0, "CHURN.EXE", "churn");
  int app_key = -1;
  if (!PFW_GetExactAppByName(apps, "CHURN.EXE", &app_key, nullptr)) return 4;
  // Slots are never reused, so each list's capacity bounds how much churn it takes.
  for (int i = 0; i < rounds && rules->count + 2 < (int)PFW_RULE_SLOTS; i++) {
    if (i % 4 == 0 && protocols->count + 1 < (int)PFW_PROTOCOL_SLOTS) {
      unsigned port = (i % 8 == 0) ? 80 : 443;
      int key = -1;
      if (PFW_GetExactProtocolByService(protocols, PFW_TCP, port, &key, nullptr)) PFW_DeleteProtocol(protocols, key);
      PFW_AddProtocol(protocols, 0, "web", PFW_TCP, port);
    }
    int proto_key = -1;
    PFW_GetProtocolByService(protocols, PFW_TCP, 80, &proto_key, nullptr);
    PFW_AddRule(rules, proto_key, 0, app_key, i % 2, i % 3, 1);
    PFW_AddRule(rules, 0, 0, app_key, i % 2, (i + 1) % 3, 0);
    int key = -1;
    if (PFW_GetRuleByNumbers(rules, 0, 0, app_key, i % 2, &key, nullptr)) PFW_DeleteRule(rules, key);
    if (i % 3 == 0 && PFW_GetRuleByNumbers(rules, proto_key, 0, app_key, i % 2, &key, nullptr))
      PFW_DeleteRule(rules, key);
  }
  return 0;
}
