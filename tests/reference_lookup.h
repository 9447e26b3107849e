// reference_lookup.h - the rule lookup done step by step, one semaphore hold per
// enumeration step and one per rule walk, exactly as the lookup was first
// described. The library's PFW_GetRule must give the same answers with at most
// one hold per list; the tests and the benchmark compare the two.
#ifndef TARNWALL_REFERENCE_LOOKUP_H
#define TARNWALL_REFERENCE_LOOKUP_H

#include <stdint.h>

#include "tessary.h"

// Semaphore holds the reference took itself in this process (rule walks through the
// library's own lookups are counted by PFW_GetLockHoldCount).
uint64_t reference_holds();

PFW_RULE* reference_get_rule(PFW_RULE_ROOT* rules, PFW_ADR_ROOT* addresses, PFW_PROTO_ROOT* protocols,
                             PFW_APP_ROOT* apps, unsigned port, int transport, unsigned long address,
                             const char* app_name, int direction, int* out_key, PFW_RULE* out_copy);

#endif
