// find_or_add.h - look-up-or-add under one hold of a list, for the setup
// wizard's entry points: each call costs one hold instead of a look-up, an add
// and a second look-up, and no other process can add the same entry in between.
#ifndef TARNWALL_FIND_OR_ADD_H
#define TARNWALL_FIND_OR_ADD_H

#include "tessary.h"

namespace tessary {

// The specific entry for a service (never the wildcard), or a new one under this name.
PFW_PROTO* find_or_add_service(PFW_PROTO_ROOT* root, const char* name, int transport, unsigned port, int* key,
                               PFW_PROTO* copy, bool* added);

// The first entry with this program name as stored, or a new one with this description.
PFW_APP* find_or_add_app(PFW_APP_ROOT* root, const char* name, const char* description, int* key, PFW_APP* copy,
                         bool* added);

// The specific entry for exactly this one address (never the wildcard), or a new single address.
PFW_ADR* find_or_add_single_address(PFW_ADR_ROOT* root, unsigned long address, const char* name, int* key,
                                    PFW_ADR* copy, bool* added);

// The rule with these four numbers takes the action (its log flag stays), or a new
// logged rule is added.
PFW_RULE* set_or_add_rule(PFW_RULE_ROOT* root, int protocol_key, int address_key, int app_key, int direction,
                          int action, int* key, PFW_RULE* copy, bool* added);

}  // namespace tessary

#endif  // TARNWALL_FIND_OR_ADD_H
