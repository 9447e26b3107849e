// store_demo - builds a small rule set in the shared lists and shows which rule
// governs a handful of connections, and why.
#include <stdio.h>
#include <winsock2.h>
#include <ws2tcpip.h>

#include "list_set.h"
#include "tessary.h"

namespace {

unsigned long dotted(const char* text) {
  in_addr a{};
  inet_pton(AF_INET, text, &a);
  return a.s_addr;  // network byte order, as the address list keeps it
}

const char* action_name(int action) { return action == PFW_ALLOW ? "Allow" : action == PFW_DENY ? "Deny" : "Ask"; }

using Lists = tessary::ListSet;

// A rule by the names of its parts, so the demo reads like a rule set.
void add_rule(Lists& l, const char* protocol, const char* address, const char* app, int direction, int action) {
  int p = 0, a = 0, x = 0;
  PFW_PROTO pc;
  PFW_ADR ac;
  PFW_APP xc;
  PFW_GetProtocolByName(l.protocols, protocol, &p, &pc);
  PFW_GetAddressByName(l.addresses, address, &a, &ac);
  PFW_GetAppByDescription(l.apps, app, &x, &xc);
  PFW_AddRule(l.rules, p, a, x, direction, action, 1);
  printf("  rule %-8s %-9s %-13s %-12s %-16s -> %s\n", PFW_CreateRuleKey(p, a, x, direction),
         direction == PFW_INBOUND ? "inbound" : "outbound", protocol, address, app, action_name(action));
}

void show(Lists& l, int direction, int transport, unsigned port, const char* address, const char* app) {
  int key = -1;
  PFW_RULE rule;
  PFW_RULE* found = PFW_GetRule(l.rules, l.addresses, l.protocols, l.apps, port, transport, dotted(address), app,
                                direction, &key, &rule);
  printf("  %-8s %s %-5u %-15s %-14s -> ", direction == PFW_INBOUND ? "inbound" : "outbound",
         transport == PFW_TCP ? "TCP" : "UDP", port, address, app);
  if (!found) {
    printf("no rule\n");
    return;
  }
  PFW_PROTO p;
  PFW_ADR a;
  PFW_APP x;
  PFW_GetProtocolByIndex(l.protocols, (int)rule.protocol_key, &p);
  PFW_GetAddressByIndex(l.addresses, (int)rule.address_key, &a);
  PFW_GetAppByIndex(l.apps, (int)rule.app_key, &x);
  printf("%-5s by rule %d (%s / %s / %s)\n", action_name(rule.action), key, p.name, a.name, x.description);
}

}  // namespace

int main() {
  Lists l;
  if (!l.ok()) {
    printf("The rule store is not available.\n");
    return 1;
  }
  // Lists another program holds are the user's rule set: the demonstration
  // must not add its rules to them.
  if (l.protocols->count || l.addresses->count || l.apps->count || l.rules->count) {
    printf("The shared lists are in use by another program; the demonstration needs them to itself.\n");
    return 1;
  }
  printf("Entries:\n");
  PFW_AddProtocol(l.protocols, 1, "Any Protocol", PFW_TCP, 0, 0);
  PFW_AddProtocol(l.protocols, 0, "HTTP", PFW_TCP, 80);
  PFW_AddProtocol(l.protocols, 0, "DNS", PFW_UDP, 53);
  PFW_AddProtocol(l.protocols, 0, "FTP", PFW_TCP, 21);
  PFW_AddAddress(l.addresses, 1, 0, 0, "Any Address", PFW_SINGLE_ADDRESS, 0);
  PFW_AddAddress(l.addresses, 0, dotted("192.168.1.0"), dotted("192.168.1.255"), "Home Net", PFW_NETWORK_ADDRESS);
  PFW_AddAddress(l.addresses, 0, dotted("192.168.1.1"), dotted("192.168.1.1"), "Name Server", PFW_SINGLE_ADDRESS);
  PFW_AddApp(l.apps, 1, "", "Any Application", 0);
  PFW_AddApp(l.apps, 0, "IEXPLORE.EXE", "Web Browser");
  PFW_AddApp(l.apps, 0, "FTP.EXE", "File Transfer");
  printf("  %d protocols, %d addresses, %d applications\n\nRules:\n", l.protocols->count, l.addresses->count,
         l.apps->count);
  add_rule(l, "Any Protocol", "Any Address", "Any Application", PFW_INBOUND, PFW_DENY);
  add_rule(l, "Any Protocol", "Any Address", "Any Application", PFW_OUTBOUND, PFW_ASK);
  add_rule(l, "HTTP", "Any Address", "Web Browser", PFW_OUTBOUND, PFW_ALLOW);
  add_rule(l, "DNS", "Name Server", "Any Application", PFW_OUTBOUND, PFW_ALLOW);
  add_rule(l, "Any Protocol", "Home Net", "File Transfer", PFW_OUTBOUND, PFW_ALLOW);
  add_rule(l, "FTP", "Any Address", "File Transfer", PFW_OUTBOUND, PFW_DENY);

  printf("\nWhich rule governs each connection (the most specific one wins):\n");
  show(l, PFW_OUTBOUND, PFW_TCP, 80, "203.0.113.7", "IEXPLORE.EXE");
  show(l, PFW_OUTBOUND, PFW_UDP, 53, "192.168.1.1", "IEXPLORE.EXE");
  show(l, PFW_OUTBOUND, PFW_UDP, 53, "198.51.100.2", "IEXPLORE.EXE");
  show(l, PFW_OUTBOUND, PFW_TCP, 21, "192.168.1.40", "FTP.EXE");
  show(l, PFW_OUTBOUND, PFW_TCP, 21, "203.0.113.9", "FTP.EXE");
  show(l, PFW_INBOUND, PFW_TCP, 80, "203.0.113.7", "IEXPLORE.EXE");
  return 0;
}
