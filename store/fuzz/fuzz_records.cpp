// libFuzzer target for the registry record decoding (store/record_decode.h),
// built natively with clang, ASan and UBSan (store/fuzz/run.sh). The first
// input byte picks the record, the next four the value's type, the rest is the
// value's data; the same bytes are also read as a rule set's value name.
// Whatever they are: a value is a record exactly when it is binary, not empty
// and no longer than the record; missing bytes are zero; texts end inside
// their fields; and the options' password comes back as it was stored.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "../record_decode.h"

namespace {

void check(bool condition) {
  if (!condition) std::abort();
}

template <typename Record>
void decode(uint32_t type, const uint8_t* data, size_t size) {
  Record r;
  memset(&r, 0xA5, sizeof r);  // what a reused buffer might hold
  bool ok = tessary::decode_record(type, data, size, r);
  check(ok == (type == tessary::kRegistryBinary && size > 0 && size <= sizeof r));
  const unsigned char* bytes = (const unsigned char*)&r;
  if (!ok) {
    for (size_t i = 0; i < sizeof r; i++) check(bytes[i] == 0);
    return;
  }
  for (size_t i = size; i < sizeof r; i++) check(bytes[i] == 0);
}

void texts_end(const PFW_PROTO_RECORD& r) { check(memchr(r.name, 0, sizeof r.name)); }
void texts_end(const PFW_ADR_RECORD& r) { check(memchr(r.name, 0, sizeof r.name)); }
void texts_end(const PFW_APP_RECORD& r) {
  check(memchr(r.name, 0, sizeof r.name) && memchr(r.description, 0, sizeof r.description));
}
void texts_end(const PFW_RULE_RECORD&) {}

template <typename Record>
void decode_texts(uint32_t type, const uint8_t* data, size_t size) {
  decode<Record>(type, data, size);
  Record r;
  if (tessary::decode_record(type, data, size, r)) texts_end(r);
}

void options(uint32_t type, const uint8_t* data, size_t size) {
  PFW_OPTIONS got;
  bool ok = tessary::decode_options(type, data, size, got);
  check(ok == (type == tessary::kRegistryBinary && size > 0 && size <= sizeof got));
  if (!ok) return;
  check(memchr(got.password, 0, sizeof got.password));
  // Stored again whole and read back, the options are what was read.
  PFW_OPTIONS stored = got;
  tessary::scramble_password(stored, sizeof stored);
  PFW_OPTIONS again;
  check(tessary::decode_options(tessary::kRegistryBinary, &stored, sizeof stored, again));
  check(memcmp(&got, &again, sizeof got) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 5) return 0;
  uint32_t type;
  memcpy(&type, data + 1, sizeof type);
  // Mostly binary values, as a registry holds them; any other type now and then.
  if ((data[0] & 0x80) == 0) type = tessary::kRegistryBinary;
  const uint8_t* value = data + 5;
  size_t value_size = size - 5;
  switch (data[0] % 5) {
    case 0:
      decode_texts<PFW_PROTO_RECORD>(type, value, value_size);
      break;
    case 1:
      decode_texts<PFW_ADR_RECORD>(type, value, value_size);
      break;
    case 2:
      decode_texts<PFW_APP_RECORD>(type, value, value_size);
      break;
    case 3:
      decode_texts<PFW_RULE_RECORD>(type, value, value_size);
      break;
    default:
      options(type, value, value_size);
      break;
  }
  // A value's name as the enumeration hands it over: cut to its buffer and ended.
  char name[48];
  size_t n = value_size < sizeof name - 1 ? value_size : sizeof name - 1;
  memcpy(name, value, n);
  name[n] = 0;
  tessary::RuleValue kind = tessary::rule_value_of(name);
  check(kind != tessary::RuleValue::kInboundDefault || strcmp(name, "0,0,0,0") == 0);
  return 0;
}
