// registry_load.cpp - filling empty lists from the registry.
//
// Values written by other programs or older versions may be damaged: every
// record is read into a zeroed buffer, a short one keeps zeros where its bytes
// are missing, and one that is too long or not binary data is passed over.
#include <algorithm>
#include <vector>

#include "key_text.h"
#include "record_decode.h"
#include "registry_access.h"
#include "shared_list.h"

using namespace tessary;

static_assert(kRegistryBinary == REG_BINARY);

namespace {

// Value names of protocols, addresses and applications are decimal keys.
constexpr DWORD kKeyNameChars = 16;
// Rule values are named by the whole key text of four numbers.
constexpr DWORD kRuleNameChars = PFW_RULE_KEY_TEXT_MAX;

// Calls on_value(name, record) for every value that decodes as a record
// (record_decode.h), in the registry's enumeration order.
template <typename Record, typename OnValue>
void enumerate_records(HKEY key, DWORD name_chars, OnValue on_value) {
  char name[kRuleNameChars];
  unsigned char data[sizeof(Record)];
  Record record;
  for (DWORD index = 0;; index++) {
    DWORD name_size = name_chars, size = sizeof data, type = REG_NONE;
    LONG r = reg_enum(key, index, name, &name_size, &type, data, &size);
    // A name or data too long for the buffers is passed over; any other failure
    // (the key gone, access refused) would repeat at every index, so it ends the walk.
    if (r == ERROR_MORE_DATA) continue;
    if (r != ERROR_SUCCESS) break;
    if (!decode_record(type, data, size, record)) continue;
    name[name_size < name_chars ? name_size : name_chars - 1] = 0;
    on_value((const char*)name, record);
  }
}

bool can_load(const void* root) { return root && ((const RootHead*)root)->next_key == 0; }

// The records of a protocol, address or application key in ascending order of
// their stored keys, which is the order they were made in. Added in that order,
// explicit keys leave next_key at the largest key plus one; in a registry's
// name order ("10" before "2") every start that adds an entry would push it
// further, without bound.
template <typename Record>
std::vector<Record> records_by_key(HKEY key) {
  std::vector<Record> records;
  enumerate_records<Record>(key, kKeyNameChars, [&](const char*, Record& r) { records.push_back(r); });
  std::stable_sort(records.begin(), records.end(), [](const Record& a, const Record& b) { return a.key < b.key; });
  return records;
}

}  // namespace

extern "C" {

int PFW_LoadProtocolSetFromRegistry(PFW_PROTO_ROOT* root) {
  if (!can_load(root)) return 0;
  KeyChain keys;
  HKEY key = keys.key(kKeyProtocols);
  if (!key) return 0;
  for (PFW_PROTO_RECORD& r : records_by_key<PFW_PROTO_RECORD>(key)) {
    // A second record claiming a key already given is refused by the add.
    PFW_AddProtocol(root, r.any, r.name, (PFW_TRANSPORT)r.transport, r.port, r.key);
  }
  return 1;
}

int PFW_LoadAddressSetFromRegistry(PFW_ADR_ROOT* root) {
  if (!can_load(root)) return 0;
  KeyChain keys;
  HKEY key = keys.key(kKeyAddresses);
  if (!key) return 0;
  for (PFW_ADR_RECORD& r : records_by_key<PFW_ADR_RECORD>(key)) {
    PFW_AddAddress(root, r.any, r.low, r.high, r.name, (PFW_ADDRESS_TYPE)r.type, r.key);
  }
  return 1;
}

int PFW_LoadApplicationSetFromRegistry(PFW_APP_ROOT* root) {
  if (!can_load(root)) return 0;
  KeyChain keys;
  HKEY key = keys.key(kKeyApps);
  if (!key) return 0;
  for (PFW_APP_RECORD& r : records_by_key<PFW_APP_RECORD>(key)) {
    PFW_AddApp(root, r.any, r.name, r.description, r.key);
  }
  return 1;
}

int PFW_LoadRuleSetFromRegistry(PFW_RULE_ROOT* root) {
  if (!can_load(root)) return 0;
  KeyChain keys;
  HKEY key = keys.rule_set();
  if (!key) return 0;
  // The inbound and outbound default rules must receive keys 0 and 1. The
  // installation writes them first, but not every registry lists values in the
  // order written (some list them by name), so they are taken first here.
  std::vector<PFW_RULE_RECORD> defaults[2], others;
  enumerate_records<PFW_RULE_RECORD>(key, kRuleNameChars, [&](const char* name, PFW_RULE_RECORD& r) {
    switch (rule_value_of(name)) {
      case RuleValue::kInboundDefault:
        defaults[0].push_back(r);
        break;
      case RuleValue::kOutboundDefault:
        defaults[1].push_back(r);
        break;
      case RuleValue::kOther:
        others.push_back(r);
        break;
      case RuleValue::kLogFile:
        break;
    }
  });
  for (auto* group : {&defaults[0], &defaults[1], &others})
    for (const PFW_RULE_RECORD& r : *group)
      PFW_AddRule(root, (int)r.protocol_key, (int)r.address_key, (int)r.app_key, r.direction, r.action, r.log);
  return 1;
}

}  // extern "C"
