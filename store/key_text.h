// key_text.h - the texts that detect duplicate entries and name registry values.
#ifndef TARNWALL_KEY_TEXT_H
#define TARNWALL_KEY_TEXT_H

#include <stdio.h>

#include "shared_list.h"

namespace tessary {

// Numbers are the signed decimal forms of the 32-bit fields; an address is its
// field read as a little-endian integer, so 255.255.255.255 is written -1.
inline void protocol_key_text(char* out, size_t size, int any, int transport, unsigned port) {
  if (any)
    snprintf(out, size, "%s", PFW_ANY_PROTOCOL_TEXT);
  else
    snprintf(out, size, "%d;%d", transport, (int)port);
}

inline void address_key_text(char* out, size_t size, int any, unsigned long low, unsigned long high, int type) {
  if (any)
    snprintf(out, size, "%s", PFW_ANY_ADDRESS_TEXT);
  else
    snprintf(out, size, "%d;%ld;%ld", type, (long)(int32_t)low, (long)(int32_t)high);
}

// An application's key text is its name as stored, so it is cut to the name field.
inline void app_key_text(char* out, size_t size, int any, const char* name) {
  if (any) {
    snprintf(out, size, "%s", PFW_ANY_APP_TEXT);
  } else {
    char cut[PFW_APP_NAME_SIZE];
    copy_field(cut, sizeof cut, name);
    snprintf(out, size, "%s", cut);
  }
}

// The whole text, which can be longer than the rule's 12-byte field.
inline void rule_key_text(char* out, size_t size, int protocol_key, int address_key, int app_key, int direction) {
  snprintf(out, size, "%d,%d,%d,%d", protocol_key, address_key, app_key, direction);
}

}  // namespace tessary

#endif  // TARNWALL_KEY_TEXT_H
