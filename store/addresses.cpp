// addresses.cpp - the address list: single IPv4 addresses and ranges.
#include "find_or_add.h"
#include "key_text.h"
#include "shared_list.h"

using namespace tessary;

namespace {

// The key text and fields of a new entry; the same for every way of adding one.
struct NewAddress {
  char key_text[PFW_ADR_KEY_TEXT_SIZE];
  int any;
  unsigned long low, high;
  const char* name;
  int type;

  NewAddress(int any_, unsigned long low_, unsigned long high_, const char* name_, int type_)
      : any(any_), low(low_), high(high_), name(name_), type(type_) {
    // Callers pass the lower address first; a reversed pair keeps only the upper one.
    if (PFW_CompareAddresses(low, high) == 1) low = high;
    address_key_text(key_text, sizeof key_text, any, low, high, type);
  }
  auto duplicate() const {
    return [this](const PFW_ADR& e) { return strcmp(e.key_text, key_text) == 0; };
  }
  auto fill() const {
    return [this](PFW_ADR& e) {
      copy_field(e.key_text, sizeof e.key_text, key_text);
      e.any = any;
      e.low = (uint32_t)low;
      e.high = (uint32_t)high;
      copy_field(e.name, sizeof e.name, name);
      e.type = type;
      e.kind = PFW_KIND_ADDRESS;
    };
  }
};

int add_address(PFW_ADR_ROOT* root, int any, unsigned long low, unsigned long high, const char* name,
                PFW_ADDRESS_TYPE type, bool has_key, unsigned key) {
  NewAddress a(any, low, high, name, type);
  return insert_entry<PFW_ADR>(kAddresses, root, a.duplicate(), a.fill(), has_key, key, any == 1);
}

bool in_range(const PFW_ADR& e, unsigned long address) {
  return PFW_CompareAddresses(address, e.low) >= 0 && PFW_CompareAddresses(address, e.high) <= 0;
}

}  // namespace

PFW_ADR* tessary::find_or_add_single_address(PFW_ADR_ROOT* root, unsigned long address, const char* name, int* key,
                                             PFW_ADR* copy, bool* added) {
  uint32_t a = (uint32_t)address;
  NewAddress n(0, address, address, name, PFW_SINGLE_ADDRESS);
  return find_or_insert_entry<PFW_ADR>(
      kAddresses, root, [&](const PFW_ADR& e) { return e.any == 0 && e.low == a && e.high == a; }, [](PFW_ADR&) {},
      n.duplicate(), n.fill(), false, key, copy, added);
}

int PFW_AddAddress(PFW_ADR_ROOT* root, int any, unsigned long low, unsigned long high, const char* name,
                   PFW_ADDRESS_TYPE type) {
  return add_address(root, any, low, high, name, type, false, 0);
}

int PFW_AddAddress(PFW_ADR_ROOT* root, int any, unsigned long low, unsigned long high, const char* name,
                   PFW_ADDRESS_TYPE type, unsigned key) {
  return add_address(root, any, low, high, name, type, true, key);
}

extern "C" {

int PFW_DeleteAddress(PFW_ADR_ROOT* root, int key) { return unlink_entry<PFW_ADR>(kAddresses, root, key); }

// Orders addresses as their dotted forms read: the first octet is the most significant.
int PFW_CompareAddresses(unsigned long a, unsigned long b) {
  uint32_t x = (uint32_t)a, y = (uint32_t)b;
  if (x == y) return 0;
  x = __builtin_bswap32(x);
  y = __builtin_bswap32(y);
  return x > y ? 1 : -1;
}

PFW_ADR* PFW_GetAddressByIP(PFW_ADR_ROOT* root, unsigned long address, int* out_key, PFW_ADR* out_copy) {
  PFW_ADR* hit = walk_list<PFW_ADR>(
      kAddresses, root, [&](const PFW_ADR& e) { return in_range(e, address); }, out_key, out_copy);
  if (hit || !root) return hit;
  uint32_t any_key = root->any_key;
  PFW_ADR* any = PFW_GetAddressByIndex(root, (int)any_key, out_copy);
  if (any && out_key) *out_key = (int)any_key;
  return any;
}

PFW_ADR* PFW_GetExactAddressByIP(PFW_ADR_ROOT* root, unsigned long address, int* out_key, PFW_ADR* out_copy) {
  uint32_t a = (uint32_t)address;
  return walk_list<PFW_ADR>(
      kAddresses, root, [&](const PFW_ADR& e) { return e.low == a && e.high == a; }, out_key, out_copy);
}

PFW_ADR* PFW_GetExactAddressByRange(PFW_ADR_ROOT* root, unsigned long a, unsigned long b, int* out_key,
                                    PFW_ADR* out_copy) {
  uint32_t lo = (uint32_t)a, hi = (uint32_t)b;
  if (PFW_CompareAddresses(lo, hi) == 1) {
    uint32_t t = lo;
    lo = hi;
    hi = t;
  }
  return walk_list<PFW_ADR>(
      kAddresses, root, [&](const PFW_ADR& e) { return e.low == lo && e.high == hi; }, out_key, out_copy);
}

PFW_ADR* PFW_GetAddressByIndex(PFW_ADR_ROOT* root, int key, PFW_ADR* out_copy) {
  return walk_list<PFW_ADR>(
      kAddresses, root, [&](const PFW_ADR& e) { return e.key == (uint32_t)key; }, nullptr, out_copy);
}

PFW_ADR* PFW_GetAddressByKey(PFW_ADR_ROOT* root, const char* key_text, int* out_key, PFW_ADR* out_copy) {
  if (!key_text) return nullptr;
  return walk_list<PFW_ADR>(
      kAddresses, root, [&](const PFW_ADR& e) { return strcmp(e.key_text, key_text) == 0; }, out_key, out_copy);
}

PFW_ADR* PFW_GetAddressByName(PFW_ADR_ROOT* root, const char* name, int* out_key, PFW_ADR* out_copy) {
  if (!name) return nullptr;
  return walk_list<PFW_ADR>(
      kAddresses, root, [&](const PFW_ADR& e) { return strcmp(e.name, name) == 0; }, out_key, out_copy);
}

}  // extern "C"
