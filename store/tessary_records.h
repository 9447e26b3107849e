// tessary_records.h - the codes and the registry's records of the rule store,
// without the system headers: what the record decoding needs, so that it also
// builds natively (the fuzz targets under store/fuzz). tessary.h includes it.
#ifndef TARNWALL_TESSARY_RECORDS_H
#define TARNWALL_TESSARY_RECORDS_H

#include <stddef.h>
#include <stdint.h>

// ---------------------------------------------------------------------------
// Codes (all 32-bit)
// ---------------------------------------------------------------------------
enum PFW_TRANSPORT : int32_t { PFW_TCP = 0, PFW_UDP = 1 };
enum PFW_ADDRESS_TYPE : int32_t { PFW_SINGLE_ADDRESS = 0, PFW_NETWORK_ADDRESS = 1 };
enum PFW_DIRECTION : int32_t { PFW_INBOUND = 0, PFW_OUTBOUND = 1 };
enum PFW_ACTION : int32_t { PFW_ALLOW = 0, PFW_DENY = 1, PFW_ASK = 2 };
enum PFW_RUN_MODE : int32_t { PFW_MODE_FILTER = 0, PFW_MODE_BLOCK = 1, PFW_MODE_STANDBY = 2 };

// Record kinds, the first field of every list entry.
enum PFW_KIND : int32_t { PFW_KIND_PROTOCOL = 0, PFW_KIND_ADDRESS = 1, PFW_KIND_APP = 2, PFW_KIND_RULE = 3 };

// Field widths, NUL included; the usable length is one less.
#define PFW_PROTO_NAME_SIZE      20
#define PFW_ADR_NAME_SIZE        32
#define PFW_APP_NAME_SIZE        30
#define PFW_APP_DESCRIPTION_SIZE 42
#define PFW_KEY_TEXT_SIZE        32
#define PFW_ADR_KEY_TEXT_SIZE    52
#define PFW_RULE_KEY_TEXT_SIZE   12
#define PFW_PASSWORD_SIZE        60
#define PFW_LOG_FILE_NAME_SIZE   500
#define PFW_TRAFFIC_SIZE         200

#pragma pack(push, 4)

struct PFW_OPTIONS {  // 92 bytes; also the registry value "Options"
  int32_t lock_status;
  char password[PFW_PASSWORD_SIZE];
  int32_t run_mode;
  int32_t log_fully_armed;
  int32_t log_stand_by;
  int32_t timer_active;
  uint32_t timer_countdown;
  int32_t log_allow;
  int32_t log_deny;
};

struct PFW_PROTO_RECORD {  // 36 bytes
  uint32_t key;
  int32_t any;
  char name[PFW_PROTO_NAME_SIZE];
  int32_t transport;
  uint32_t port;
};

struct PFW_ADR_RECORD {  // 52 bytes
  uint32_t key;
  int32_t any;
  uint32_t low;
  uint32_t high;
  char name[PFW_ADR_NAME_SIZE];
  int32_t type;
};

struct PFW_APP_RECORD {  // 80 bytes
  uint32_t key;
  int32_t any;
  char name[PFW_APP_NAME_SIZE];
  char description[PFW_APP_DESCRIPTION_SIZE];
};

struct PFW_RULE_RECORD {  // 24 bytes
  uint32_t protocol_key;
  uint32_t address_key;
  uint32_t app_key;
  int32_t direction;
  int32_t action;
  int32_t log;
};

#pragma pack(pop)

// Password bytes of the stored options record are kept as
// plain XOR PFW_SCRAMBLE_BYTE XOR (PFW_PASSWORD_SIZE - i).
#define PFW_SCRAMBLE_BYTE 0x6D

#endif  // TARNWALL_TESSARY_RECORDS_H
