// record_decode.h - turning a stored registry value into a record.
//
// A value may have been damaged by another program, a disk error or a bad
// restore, so nothing about its type, length or text fields is trusted: a value
// that is not binary, is empty or is longer than the record is no record; a
// short one keeps zeros where its bytes are missing; every text ends inside its
// field. No system headers, so the decoding also builds natively for fuzzing
// (store/fuzz).
#ifndef TARNWALL_RECORD_DECODE_H
#define TARNWALL_RECORD_DECODE_H

#include <string.h>

#include "tessary_records.h"

namespace tessary {

constexpr uint32_t kRegistryBinary = 3;  // REG_BINARY

template <size_t N>
inline void end_inside(char (&field)[N]) {
  field[N - 1] = 0;
}
inline void end_texts(PFW_PROTO_RECORD& r) { end_inside(r.name); }
inline void end_texts(PFW_ADR_RECORD& r) { end_inside(r.name); }
inline void end_texts(PFW_APP_RECORD& r) {
  end_inside(r.name);
  end_inside(r.description);
}
inline void end_texts(PFW_RULE_RECORD&) {}
// The password ends inside its field once it is unscrambled (decode_options).
inline void end_texts(PFW_OPTIONS&) {}

// One stored value as a record; false (and a zero record) when it is none.
template <typename Record>
inline bool decode_record(uint32_t type, const void* data, size_t size, Record& out) {
  memset(&out, 0, sizeof out);
  if (type != kRegistryBinary || !data || size == 0 || size > sizeof out) return false;
  memcpy(&out, data, size);
  end_texts(out);
  return true;
}

// The password field is stored scrambled; the same operation restores it.
// Bytes the stored value did not hold are plain zeros, not scrambled ones.
inline void scramble_password(PFW_OPTIONS& options, size_t bytes_present) {
  unsigned char* field = (unsigned char*)options.password;
  for (size_t i = 0; i < PFW_PASSWORD_SIZE; i++) {
    if (offsetof(PFW_OPTIONS, password) + i >= bytes_present) break;
    field[i] = (unsigned char)(field[i] ^ PFW_SCRAMBLE_BYTE ^ (PFW_PASSWORD_SIZE - i));
  }
}

// The stored "Options" value: the password restored and ending inside its field.
inline bool decode_options(uint32_t type, const void* data, size_t size, PFW_OPTIONS& out) {
  if (!decode_record(type, data, size, out)) return false;
  scramble_password(out, size);
  out.password[PFW_PASSWORD_SIZE - 1] = 0;
  return true;
}

// What a value of the active rule set is, by its name: the inbound and outbound
// default rules (which must receive keys 0 and 1, so they are loaded first), the
// log file's path, or any other rule.
enum class RuleValue { kInboundDefault, kOutboundDefault, kLogFile, kOther };
inline RuleValue rule_value_of(const char* name) {
  if (strcmp(name, "0,0,0,0") == 0) return RuleValue::kInboundDefault;
  if (strcmp(name, "0,0,0,1") == 0) return RuleValue::kOutboundDefault;
  if (strcmp(name, "LogFile") == 0) return RuleValue::kLogFile;
  return RuleValue::kOther;
}

}  // namespace tessary

#endif  // TARNWALL_RECORD_DECODE_H
