// tessary.h - the public face of tessary.dll, Tarnwall's rule store.
//
// The rule set lives in four lists in named shared memory (protocols,
// addresses, applications, rules), each guarded by a named semaphore, with
// the registry as the lasting copy. A small global state block carries the
// run mode, lock, password, arming timer, logging switches, window handles and
// a one-record traffic mailbox.
//
// Every record below is a format shared between processes and stored in the
// registry; its layout is checked to the byte at the end of this header.
#ifndef TARNWALL_TESSARY_H
#define TARNWALL_TESSARY_H

#include <windows.h>
#include <stddef.h>
#include <stdint.h>

#ifdef TESSARY_BUILD
#define PFW_API __declspec(dllexport)
#else
#define PFW_API __declspec(dllimport)
#endif

#include "tessary_records.h"

// ---------------------------------------------------------------------------
// Named kernel objects
// ---------------------------------------------------------------------------
#define PFW_PROTOCOL_MAP_NAME       "PFW_VirtualProtocolMap"
#define PFW_ADDRESS_MAP_NAME        "VirtualAddressMap"
#define PFW_APP_MAP_NAME            "VirtualAppMap"
#define PFW_RULE_MAP_NAME           "VirtualRuleMap"
#define PFW_PROTOCOL_SEMAPHORE_NAME "PFW_ProtocolSemaphore"
#define PFW_ADDRESS_SEMAPHORE_NAME  "PFW_AddressSemaphore"
#define PFW_APP_SEMAPHORE_NAME      "PFW_ApplicationSemaphore"
#define PFW_RULE_SEMAPHORE_NAME     "PFW_RuleSemaphore"
#define PFW_GLOBAL_MAP_NAME         "PFW_GLOBAL_DATA_MAP"
#define PFW_GLOBAL_SEMAPHORE_NAME   "PFW_GLOBAL_DATA_SEMAPHORE"

// Registered window messages.
#define PFW_PRIVATE_MESSAGE_NAME "PFW_PRIVATEWINDOWSMESSAGE"
#define PFW_TRAY_MESSAGE_NAME    "LWM_SYSTEMTRAY_MESSAGE"
// Posted by the monitor to the recorded editor window when its prompt has added a rule;
// wParam is the new rule's key.
#define PFW_RULE_ADDED_MESSAGE_NAME "PFW_RULEADDEDMESSAGE"
// wParam of PFW_PRIVATEWINDOWSMESSAGE.
#define PFW_TRAFFIC_NOTIFY  1
#define PFW_ACTIVITY_NOTIFY 2
#define PFW_PROMPT_NOTIFY   3  // a prompt request waits in the prompt channel

// ---------------------------------------------------------------------------
// Shared list layout
// ---------------------------------------------------------------------------
#define PFW_MAP_BYTES       65535u
#define PFW_ROOT_OFFSET     8u
#define PFW_FIRST_SLOT      24u  // protocols, addresses, applications
#define PFW_RULE_FIRST_SLOT 20u  // rules: their root has no any_key
#define PFW_PROTOCOL_SLOTS  861u
#define PFW_ADDRESS_SLOTS   584u
#define PFW_APP_SLOTS       545u
#define PFW_RULE_SLOTS      1364u

// The full rule key text "%d,%d,%d,%d" of four 32-bit numbers fits in this.
#define PFW_RULE_KEY_TEXT_MAX 48

#define PFW_ANY_PROTOCOL_TEXT "<AnyProtocol>"
#define PFW_ANY_ADDRESS_TEXT  "<AnyAddress>"
#define PFW_ANY_APP_TEXT      "<AnyApplication>"

#pragma pack(push, 4)

// Root of the protocol, address and application lists (16 bytes at offset 8).
struct PFW_LIST_ROOT {
  uint32_t head;      // offset of the newest entry; 0 = empty
  uint32_t next_key;  // key the next automatically keyed entry receives
  int32_t count;      // slots used since the list was created; never decreases
  uint32_t any_key;   // key of the wildcard entry; 0 until one is added
};
struct PFW_PROTO_ROOT : PFW_LIST_ROOT {};
struct PFW_ADR_ROOT : PFW_LIST_ROOT {};
struct PFW_APP_ROOT : PFW_LIST_ROOT {};

// Root of the rule list (12 bytes at offset 8).
struct PFW_RULE_ROOT {
  uint32_t head;
  uint32_t next_key;
  int32_t count;
};

struct PFW_PROTO {  // 76 bytes
  int32_t kind;
  uint32_t key;
  char key_text[PFW_KEY_TEXT_SIZE];
  int32_t any;
  char name[PFW_PROTO_NAME_SIZE];
  int32_t transport;
  uint32_t port;
  uint32_t next;
};

struct PFW_ADR {  // 112 bytes
  int32_t kind;
  uint32_t key;
  char key_text[PFW_ADR_KEY_TEXT_SIZE];
  int32_t any;
  uint32_t low;   // network byte order
  uint32_t high;  // network byte order
  char name[PFW_ADR_NAME_SIZE];
  int32_t type;
  uint32_t next;
};

struct PFW_APP {  // 120 bytes
  int32_t kind;
  uint32_t key;
  char key_text[PFW_KEY_TEXT_SIZE];
  int32_t any;
  char name[PFW_APP_NAME_SIZE];
  char description[PFW_APP_DESCRIPTION_SIZE];  // at byte 74, not 4-aligned
  uint32_t next;
};

struct PFW_RULE {  // 48 bytes
  int32_t kind;
  uint32_t key;
  char key_text[PFW_RULE_KEY_TEXT_SIZE];  // first 11 characters of the key text
  uint32_t protocol_key;
  uint32_t address_key;
  uint32_t app_key;
  int32_t direction;
  int32_t action;
  int32_t log;
  uint32_t next;
};

// Copies handed to callers stop before the trailing link.
#define PFW_PROTO_COPY_BYTES offsetof(PFW_PROTO, next)
#define PFW_ADR_COPY_BYTES   offsetof(PFW_ADR, next)
#define PFW_APP_COPY_BYTES   offsetof(PFW_APP, next)
#define PFW_RULE_COPY_BYTES  offsetof(PFW_RULE, next)

// ---------------------------------------------------------------------------
// Global state block
// ---------------------------------------------------------------------------
struct PFW_TRAFFIC {  // 200 bytes: one NUL-terminated line of at most 199 characters
  char text[PFW_TRAFFIC_SIZE];
};

struct PFW_GLOBAL_DATA {  // 804 bytes: "PFW_GLOBAL_DATA_MAP"
  int32_t traffic_pending;
  uint32_t monitor_hwnd;  // window handles keep their 32 significant bits
  uint32_t edictor_hwnd;
  PFW_OPTIONS options;
  PFW_TRAFFIC traffic;
  char log_file_name[PFW_LOG_FILE_NAME_SIZE];
};

// ---------------------------------------------------------------------------
// Registry records
// ---------------------------------------------------------------------------
#define PFW_REGISTRY_BASE         "SOFTWARE\\Velmora\\Tarnwall\\1.0"
#define PFW_KEY_SOFTWARE          "SOFTWARE"
#define PFW_KEY_MAKER             "Velmora"
#define PFW_KEY_PRODUCT           "Tarnwall"
#define PFW_KEY_VERSION           "1.0"
#define PFW_KEY_PROTOCOLS         "Protocols"
#define PFW_KEY_ADDRESSES         "Addresses"
#define PFW_KEY_APPS              "Applications"
#define PFW_KEY_RULES             "Rules"
#define PFW_VALUE_ACTIVE_RULE_SET "ActiveRuleSet"
#define PFW_VALUE_OPTIONS         "Options"
#define PFW_VALUE_EDICTOR_PATH    "EdictorPath"
#define PFW_VALUE_LOG_FILE        "LogFile"
#define PFW_RULE_SET_NAME_SIZE    40
#define PFW_EDICTOR_PATH_SIZE     255
#define PFW_LOG_PATH_SIZE         260

#pragma pack(pop)

// ---------------------------------------------------------------------------
// Shared lists: create or join, remove, key texts
// ---------------------------------------------------------------------------
extern "C" {
PFW_API PFW_PROTO_ROOT* PFW_CreateProtocolList(void);
PFW_API PFW_PROTO_ROOT* PFW_JoinProtocolList(void);
PFW_API PFW_ADR_ROOT* PFW_CreateAddressList(void);
PFW_API PFW_ADR_ROOT* PFW_JoinAddressList(void);
PFW_API PFW_APP_ROOT* PFW_CreateAppList(void);
PFW_API PFW_APP_ROOT* PFW_JoinAppList(void);
PFW_API PFW_RULE_ROOT* PFW_CreateRuleList(void);
PFW_API PFW_RULE_ROOT* PFW_JoinRuleList(void);

PFW_API int PFW_RemoveProtocolList(PFW_PROTO_ROOT* root);
PFW_API int PFW_RemoveAddressList(PFW_ADR_ROOT* root);
PFW_API int PFW_RemoveAppList(PFW_APP_ROOT* root);
PFW_API int PFW_RemoveRuleList(PFW_RULE_ROOT* root);

// Key texts. The result is this thread's buffer, valid until its next key-text call.
PFW_API const char* PFW_CreateProtocolKey(int any, int transport, unsigned port);
PFW_API const char* PFW_CreateAddressKey(int any, unsigned long low, unsigned long high, int type);
PFW_API const char* PFW_CreateAppKey(int any, const char* name);
// The full text of any four keys, never cut: it names the rule's registry value.
PFW_API const char* PFW_CreateRuleKey(int protocol_key, int address_key, int app_key, int direction);
}

// ---------------------------------------------------------------------------
// Protocol and address lists
// ---------------------------------------------------------------------------
PFW_API int PFW_AddProtocol(PFW_PROTO_ROOT* root, int any, const char* name, PFW_TRANSPORT transport, unsigned port);
PFW_API int PFW_AddProtocol(PFW_PROTO_ROOT* root, int any, const char* name, PFW_TRANSPORT transport, unsigned port,
                            unsigned key);
PFW_API int PFW_AddAddress(PFW_ADR_ROOT* root, int any, unsigned long low, unsigned long high, const char* name,
                           PFW_ADDRESS_TYPE type);
PFW_API int PFW_AddAddress(PFW_ADR_ROOT* root, int any, unsigned long low, unsigned long high, const char* name,
                           PFW_ADDRESS_TYPE type, unsigned key);

extern "C" {
PFW_API int PFW_DeleteProtocol(PFW_PROTO_ROOT* root, int key);
PFW_API PFW_PROTO* PFW_GetProtocolByKey(PFW_PROTO_ROOT* root, const char* key_text, int* out_key, PFW_PROTO* out_copy);
PFW_API PFW_PROTO* PFW_GetProtocolByName(PFW_PROTO_ROOT* root, const char* name, int* out_key, PFW_PROTO* out_copy);
PFW_API PFW_PROTO* PFW_GetProtocolByIndex(PFW_PROTO_ROOT* root, int key, PFW_PROTO* out_copy);
PFW_API PFW_PROTO* PFW_GetProtocolByService(PFW_PROTO_ROOT* root, int transport, unsigned port, int* out_key,
                                            PFW_PROTO* out_copy);
PFW_API PFW_PROTO* PFW_GetExactProtocolByService(PFW_PROTO_ROOT* root, int transport, unsigned port, int* out_key,
                                                 PFW_PROTO* out_copy);

PFW_API int PFW_DeleteAddress(PFW_ADR_ROOT* root, int key);
PFW_API int PFW_CompareAddresses(unsigned long a, unsigned long b);
PFW_API PFW_ADR* PFW_GetAddressByIP(PFW_ADR_ROOT* root, unsigned long address, int* out_key, PFW_ADR* out_copy);
PFW_API PFW_ADR* PFW_GetExactAddressByIP(PFW_ADR_ROOT* root, unsigned long address, int* out_key, PFW_ADR* out_copy);
PFW_API PFW_ADR* PFW_GetExactAddressByRange(PFW_ADR_ROOT* root, unsigned long a, unsigned long b, int* out_key,
                                            PFW_ADR* out_copy);
PFW_API PFW_ADR* PFW_GetAddressByIndex(PFW_ADR_ROOT* root, int key, PFW_ADR* out_copy);
PFW_API PFW_ADR* PFW_GetAddressByKey(PFW_ADR_ROOT* root, const char* key_text, int* out_key, PFW_ADR* out_copy);
PFW_API PFW_ADR* PFW_GetAddressByName(PFW_ADR_ROOT* root, const char* name, int* out_key, PFW_ADR* out_copy);
}

// ---------------------------------------------------------------------------
// Application and rule lists
// ---------------------------------------------------------------------------
PFW_API int PFW_AddApp(PFW_APP_ROOT* root, int any, const char* name, const char* description);
PFW_API int PFW_AddApp(PFW_APP_ROOT* root, int any, const char* name, const char* description, unsigned key);

extern "C" {
PFW_API int PFW_DeleteApp(PFW_APP_ROOT* root, int key);
PFW_API PFW_APP* PFW_GetAppByName(PFW_APP_ROOT* root, const char* name, int* out_key, PFW_APP* out_copy);
PFW_API PFW_APP* PFW_GetExactAppByName(PFW_APP_ROOT* root, const char* name, int* out_key, PFW_APP* out_copy);
PFW_API PFW_APP* PFW_GetAppByDescription(PFW_APP_ROOT* root, const char* description, int* out_key, PFW_APP* out_copy);
PFW_API PFW_APP* PFW_GetAppByIndex(PFW_APP_ROOT* root, int key, PFW_APP* out_copy);

PFW_API int PFW_AddRule(PFW_RULE_ROOT* root, int protocol_key, int address_key, int app_key, int direction, int action,
                        int log);
PFW_API int PFW_DeleteRule(PFW_RULE_ROOT* root, int key);
PFW_API PFW_RULE* PFW_GetRuleByNumbers(PFW_RULE_ROOT* root, int protocol_key, int address_key, int app_key,
                                       int direction, int* out_key, PFW_RULE* out_copy);
PFW_API PFW_RULE* PFW_GetRuleByIndex(PFW_RULE_ROOT* root, int key, PFW_RULE* out_copy);

// The most specific rule for one connection, or null. Both outputs must be given.
PFW_API PFW_RULE* PFW_GetRule(PFW_RULE_ROOT* rules, PFW_ADR_ROOT* addresses, PFW_PROTO_ROOT* protocols,
                              PFW_APP_ROOT* apps, unsigned port, int transport, unsigned long address,
                              const char* app_name, int direction, int* out_key, PFW_RULE* out_copy);

// The same lookup, which also copies the protocol, address and application
// entries the rule names (without their links), each taken while its list was
// held for the lookup: naming the deciding rule costs no hold of its own. Null
// with out_entries untouched when no rule governs or an output is missing.
struct PFW_RULE_ENTRIES {
  PFW_PROTO protocol;
  PFW_ADR address;
  PFW_APP app;
};
PFW_API PFW_RULE* PFW_GetRuleWithEntries(PFW_RULE_ROOT* rules, PFW_ADR_ROOT* addresses, PFW_PROTO_ROOT* protocols,
                                         PFW_APP_ROOT* apps, unsigned port, int transport, unsigned long address,
                                         const char* app_name, int direction, int* out_key, PFW_RULE* out_copy,
                                         PFW_RULE_ENTRIES* out_entries);

// Specificity of a candidate: p, x, a are 1 for a specific protocol,
// application and address. (p + x + a) * (4p + 2x + a).
PFW_API int PFW_RuleScore(int specific_protocol, int specific_app, int specific_address);
}

// ---------------------------------------------------------------------------
// Changes to entries already in a list, each under one hold of that list, so
// readers in other processes never see half a change. 1 done, 0 refused: the key
// is not linked, the action is not 0, 1 or 2, or (renames) the text is empty, the
// key is 0 (that entry keeps its installed text) or another entry of the list
// already has the text. The text is cut to its field first, and the duplicate
// test is made on the cut text in the same hold as the write. Renaming an entry
// to its own text is done and changes nothing. The optional copy is the changed
// entry (without its link), ready for the registry's modify functions.
// An application is renamed by its description, the text the user sees; its
// program name is what connections match and does not change.
// ---------------------------------------------------------------------------
extern "C" {
PFW_API int PFW_SetRuleAction(PFW_RULE_ROOT* root, int key, int action, PFW_RULE* out_copy);
PFW_API int PFW_RenameProtocol(PFW_PROTO_ROOT* root, int key, const char* name, PFW_PROTO* out_copy);
PFW_API int PFW_RenameAddress(PFW_ADR_ROOT* root, int key, const char* name, PFW_ADR* out_copy);
PFW_API int PFW_RenameApp(PFW_APP_ROOT* root, int key, const char* description, PFW_APP* out_copy);
}

// ---------------------------------------------------------------------------
// Registry persistence
// ---------------------------------------------------------------------------
extern "C" {
PFW_API int PFW_LoadProtocolSetFromRegistry(PFW_PROTO_ROOT* root);
PFW_API int PFW_LoadAddressSetFromRegistry(PFW_ADR_ROOT* root);
PFW_API int PFW_LoadApplicationSetFromRegistry(PFW_APP_ROOT* root);
PFW_API int PFW_LoadRuleSetFromRegistry(PFW_RULE_ROOT* root);

PFW_API int PFW_AddProtocolIntoRegistry(PFW_PROTO entry);
PFW_API int PFW_ModifyProtocolInRegistry(PFW_PROTO entry);
PFW_API int PFW_AddAddressIntoRegistry(PFW_ADR entry);
PFW_API int PFW_ModifyAddressInRegistry(PFW_ADR entry);
PFW_API int PFW_AddApplicationIntoRegistry(PFW_APP entry);
PFW_API int PFW_ModifyApplicationInRegistry(PFW_APP entry);
PFW_API int PFW_AddRuleIntoRegistry(PFW_RULE entry);
PFW_API int PFW_ModifyRuleInRegistry(PFW_RULE entry);
PFW_API int PFW_DeleteRuleInRegistry(PFW_RULE entry);

PFW_API int PFW_GetOptionsFromRegistry(PFW_OPTIONS* options);
PFW_API int PFW_SetOptionsInRegistry(PFW_OPTIONS options);
// Both path readers return a buffer from malloc; the caller frees it.
PFW_API char* PFW_GetLogFileNameFromRegistry(void);
PFW_API int PFW_SetLogFileNameInRegistry(const char* path);
PFW_API char* PFW_GetEdictorPathFromRegistry(void);
// Frees a buffer the path readers returned, for callers built with another runtime.
PFW_API void PFW_FreeBuffer(void* buffer);
}

// ---------------------------------------------------------------------------
// Global state block
// ---------------------------------------------------------------------------
extern "C" {
PFW_API void PFW_InitializeGlobalData(void);
PFW_API HWND PFW_SetGlobalMonitorHwnd(HWND hwnd);
PFW_API HWND PFW_GetGlobalMonitorHwnd(void);
PFW_API HWND PFW_SetGlobalEdictorHwnd(HWND hwnd);
PFW_API HWND PFW_GetGlobalEdictorHwnd(void);
PFW_API int PFW_SetRunMode(int mode);
PFW_API int PFW_GetRunMode(void);
PFW_API int PFW_SetLockStatus(int locked);
PFW_API int PFW_GetLockStatus(void);
PFW_API int PFW_SetPassword(const char* password);
PFW_API char* PFW_GetPassword(void);
PFW_API int PFW_SetLogFullyArmed(int on);
PFW_API int PFW_GetLogFullyArmed(void);
PFW_API int PFW_SetLogStandBy(int on);
PFW_API int PFW_GetLogStandBy(void);
PFW_API int PFW_SetTimerActive(int on);
PFW_API int PFW_GetTimerActive(void);
PFW_API int PFW_SetTimerCountDown(int seconds);
PFW_API int PFW_GetTimerCountDown(void);
PFW_API int PFW_SetLogAllow(int on);
PFW_API int PFW_GetLogAllow(void);
PFW_API int PFW_SetLogDeny(int on);
PFW_API int PFW_GetLogDeny(void);
PFW_API int PFW_SetLogFileName(const char* path);
PFW_API char* PFW_GetLogFileName(void);
// Waits for the mailbox and returns still holding it; the consumer frees it.
PFW_API int PFW_SetGlobalTraffic(PFW_TRAFFIC traffic);
PFW_API int PFW_GetGlobalTraffic(PFW_TRAFFIC* traffic);
}

// ---------------------------------------------------------------------------
// Prompt channel: the interceptor asks the user about a connection that an Ask
// rule governs, through the monitor. A named mapping of its own,
// "PFW_PROMPT_MAP" (PFW_PROMPT_BLOCK), guarded by "PFW_PROMPT_SEMAPHORE", holds
// PFW_PROMPT_SLOTS requests; the asker posts PFW_PROMPT_NOTIFY to the monitor
// and waits, up to its time-out, on the event "PFW_PROMPT_ANSWER_<id>", which
// an answer sets.
//
// Ownership. Our processes hold the semaphore only together with its companion
// mutex "PFW_PROMPT_SEMAPHORE_Owner" (taken first, let go last), with no
// time-out: a slow holder is waited for, and the one waiter that is handed the
// mutex of a holder that died carries on with its count, checks the slots and
// repairs a change the dead holder left half done. A slot's state is its commit
// point: a request is written whole while its state says free, and the state is
// set last, so a free slot with anything in it is a half-written request.
//
// Identities. A request names its asker, and a shown one its taker (the
// monitor), by process id and the process's creation time, so a process that
// gets a dead one's id is not taken for it. Only a definite "no such process"
// counts as gone; a process that cannot be looked at (another account) is left
// to the request's expiry. A request whose asker is gone or whose time is up is
// never shown and its slot is reused; an answered one is kept for its living
// asker; one taken by a monitor that has since ended is offered again.
// ---------------------------------------------------------------------------
#define PFW_PROMPT_MAP_NAME       "PFW_PROMPT_MAP"
#define PFW_PROMPT_SEMAPHORE_NAME "PFW_PROMPT_SEMAPHORE"
#define PFW_PROMPT_EVENT_PREFIX   "PFW_PROMPT_ANSWER_"
#define PFW_PROMPT_SLOTS          128
#define PFW_PROMPT_PROGRAM_SIZE   PFW_APP_NAME_SIZE
#define PFW_PROMPT_PROTOCOL_SIZE  PFW_PROTO_NAME_SIZE
// state of a slot
#define PFW_PROMPT_FREE     0
#define PFW_PROMPT_WAITING  1  // asked, not yet taken by a monitor
#define PFW_PROMPT_SHOWN    2  // taken by the monitor named by taker_pid and taker_created
#define PFW_PROMPT_ANSWERED 3  // answer holds PFW_ALLOW or PFW_DENY

#pragma pack(push, 4)
struct PFW_PROMPT_REQUEST {  // 108 bytes
  uint32_t id;               // unique while the channel exists; 0 in a free slot
  int32_t state;             // written last: the request's commit point
  uint32_t asker_pid;
  uint32_t taker_pid;
  uint32_t expires;   // GetTickCount() when the asker stops waiting; a monitor may put it later
  int32_t direction;  // PFW_INBOUND, PFW_OUTBOUND
  int32_t transport;  // PFW_TCP, PFW_UDP
  uint32_t port;
  uint32_t address;  // remote address, network byte order
  int32_t answer;
  char program[PFW_PROMPT_PROGRAM_SIZE];         // the program's name as the connection gave it
  char protocol_name[PFW_PROMPT_PROTOCOL_SIZE];  // the service's name, or empty when none is known
  uint8_t remembered;  // with an answer: 1 when the monitor answered from memory, without a prompt
  char reserved[1];
  uint64_t asker_created;  // the asker's creation time (a FILETIME): with asker_pid, one process
  uint64_t taker_created;  // the same for the taker
};
struct PFW_PROMPT_BLOCK {  // "PFW_PROMPT_MAP"
  uint32_t next_id;
  uint32_t slot_count;  // PFW_PROMPT_SLOTS
  PFW_PROMPT_REQUEST slots[PFW_PROMPT_SLOTS];
};
#pragma pack(pop)

extern "C" {
// Creates or joins the channel; null when it cannot be had. Each open is closed once.
PFW_API PFW_PROMPT_BLOCK* PFW_OpenPromptChannel(void);
PFW_API int PFW_ClosePromptChannel(PFW_PROMPT_BLOCK* channel);
// Puts a request in a free slot: direction, transport, port, address, program
// and protocol_name are taken from question (texts cut to their fields); the
// asker's identity and expiry (now + timeout_ms) are filled in. out_answered,
// if not null, receives the request's answer event, which the caller closes.
// 1 asked, 0 refused (empty program name, no channel; or every slot in use,
// when GetLastError() gives ERROR_BUSY). A slot whose asker still lives and
// still waits, or has an answer it has not collected, is never taken.
PFW_API int PFW_AskPrompt(PFW_PROMPT_BLOCK* channel, const PFW_PROMPT_REQUEST* question, unsigned timeout_ms,
                          uint32_t* out_id, HANDLE* out_answered);
// The asking process waits for the answer: until timeout_ms has passed and the
// request's expiry, which the monitor may have put later, is past too. With
// timeout_ms 0 it looks once. Either way the request is finished: 1 answered
// (out_answer PFW_ALLOW or PFW_DENY), 0 no answer; the slot is freed. Every
// request asked is finished this way once.
PFW_API int PFW_WaitPromptAnswer(PFW_PROMPT_BLOCK* channel, uint32_t id, unsigned timeout_ms, int* out_answer);
// The same; out_remembered (if not null) receives 1 when the answer came from
// the monitor's memory of an earlier answer (PFW_AnswerPromptFromMemory), else 0.
PFW_API int PFW_WaitPromptAnswerFrom(PFW_PROMPT_BLOCK* channel, uint32_t id, unsigned timeout_ms, int* out_answer,
                                     int* out_remembered);
// 1 while the request stands unanswered; out_expires (if not null) receives its
// expiry as it is now. An asker whose own time is up asks this before it gives up.
PFW_API int PFW_GetPromptExpiry(PFW_PROMPT_BLOCK* channel, uint32_t id, uint32_t* out_expires);
// The monitor's side. The oldest request that waits, whose asker lives and
// still waits, is marked shown by this process and copied out: 1, or 0 when
// none waits. Requests whose asker is gone or whose time is up are freed.
PFW_API int PFW_TakePromptRequest(PFW_PROMPT_BLOCK* channel, PFW_PROMPT_REQUEST* out_request);
// Answers the request and every other waiting one for the same program,
// direction, transport, port and address (those shown by another live
// monitor excepted). Returns how many were answered; 0 when the request is
// gone (its asker gave up or has ended).
PFW_API int PFW_AnswerPrompt(PFW_PROMPT_BLOCK* channel, uint32_t id, int answer);
// The same for an answer the monitor remembered, given without a prompt: the
// requests it answers are marked remembered for their askers.
PFW_API int PFW_AnswerPromptFromMemory(PFW_PROMPT_BLOCK* channel, uint32_t id, int answer);
// 1 while the request stands unanswered and its asker still waits.
PFW_API int PFW_PromptIsWaiting(PFW_PROMPT_BLOCK* channel, uint32_t id);
// Keeps the asker of a request this process shows waiting: its expiry becomes
// at least now + ms. 1 done; 0 when the request is gone, answered, not shown by
// this process, or its asker has ended.
PFW_API int PFW_ExtendPrompt(PFW_PROMPT_BLOCK* channel, uint32_t id, unsigned ms);
// Gives back a request this process shows without answering it: it waits again
// for the next monitor. 1 done, 0 when it is not shown by this process.
PFW_API int PFW_ReturnPromptRequest(PFW_PROMPT_BLOCK* channel, uint32_t id);
// For tests: runs inside(channel, context) while holding the channel exactly
// as every call above does (and repairing it first after a dead holder).
PFW_API int PFW_WithPromptChannelHeld(PFW_PROMPT_BLOCK* channel, void (*inside)(PFW_PROMPT_BLOCK*, void*),
                                      void* context);
}

// ---------------------------------------------------------------------------
// Setup-wizard entry points (stdcall, plain names; bound by name at run time)
// ---------------------------------------------------------------------------
extern "C" {
PFW_API int WINAPI SW_Startup(char* edictor_path);
PFW_API int WINAPI SW_AddRule(const char* description, const char* app_name, const char* protocol_name, int port,
                              int transport, int direction, int action, int local_only);
PFW_API int WINAPI SW_Shutdown(void);
}
typedef int(WINAPI* SW_STARTUP_PROC)(char*);
typedef int(WINAPI* SW_ADDRULE_PROC)(const char*, const char*, const char*, int, int, int, int, int);
typedef int(WINAPI* SW_SHUTDOWN_PROC)(void);

// ---------------------------------------------------------------------------
// Diagnostics for the benchmarks: counts of this process's waits on the list
// semaphores and of its registry calls since it loaded the library.
// ---------------------------------------------------------------------------
extern "C" {
PFW_API unsigned long long PFW_GetLockHoldCount(void);
PFW_API unsigned long long PFW_GetRegistryCallCount(void);
// Holds this process took over from a holder that had died, and how many of
// those found a half-done change and undid it.
PFW_API unsigned long long PFW_GetDeadHolderCount(void);
PFW_API unsigned long long PFW_GetUndoneChangeCount(void);
// Looks over one list's structure under its hold (list: 0 protocols, 1
// addresses, 2 applications, 3 rules): links inside the mapping, on slot
// boundaries, below count and without a cycle; every linked entry of the
// list's kind, its key below next_key and linked once; any_key naming a
// wildcard; no change half done. 1 sound; 0 with problem saying what is wrong.
PFW_API int PFW_CheckListStructure(int list, void* root, char* problem, int problem_size);
}

// ---------------------------------------------------------------------------
// The layout is a contract between processes and with the registry.
// ---------------------------------------------------------------------------
static_assert(sizeof(PFW_LIST_ROOT) == 16 && sizeof(PFW_PROTO_ROOT) == 16 && sizeof(PFW_ADR_ROOT) == 16 &&
              sizeof(PFW_APP_ROOT) == 16);
static_assert(sizeof(PFW_RULE_ROOT) == 12);
static_assert(offsetof(PFW_LIST_ROOT, head) == 0 && offsetof(PFW_LIST_ROOT, next_key) == 4 &&
              offsetof(PFW_LIST_ROOT, count) == 8 && offsetof(PFW_LIST_ROOT, any_key) == 12);
static_assert(sizeof(PFW_PROTO) == 76 && offsetof(PFW_PROTO, key) == 4 && offsetof(PFW_PROTO, key_text) == 8 &&
              offsetof(PFW_PROTO, any) == 40 && offsetof(PFW_PROTO, name) == 44 &&
              offsetof(PFW_PROTO, transport) == 64 && offsetof(PFW_PROTO, port) == 68 &&
              offsetof(PFW_PROTO, next) == 72);
static_assert(sizeof(PFW_ADR) == 112 && offsetof(PFW_ADR, key_text) == 8 && offsetof(PFW_ADR, any) == 60 &&
              offsetof(PFW_ADR, low) == 64 && offsetof(PFW_ADR, high) == 68 && offsetof(PFW_ADR, name) == 72 &&
              offsetof(PFW_ADR, type) == 104 && offsetof(PFW_ADR, next) == 108);
static_assert(sizeof(PFW_APP) == 120 && offsetof(PFW_APP, key_text) == 8 && offsetof(PFW_APP, any) == 40 &&
              offsetof(PFW_APP, name) == 44 && offsetof(PFW_APP, description) == 74 && offsetof(PFW_APP, next) == 116);
static_assert(sizeof(PFW_RULE) == 48 && offsetof(PFW_RULE, key_text) == 8 && offsetof(PFW_RULE, protocol_key) == 20 &&
              offsetof(PFW_RULE, address_key) == 24 && offsetof(PFW_RULE, app_key) == 28 &&
              offsetof(PFW_RULE, direction) == 32 && offsetof(PFW_RULE, action) == 36 &&
              offsetof(PFW_RULE, log) == 40 && offsetof(PFW_RULE, next) == 44);
static_assert(PFW_FIRST_SLOT == PFW_ROOT_OFFSET + sizeof(PFW_LIST_ROOT));
static_assert(PFW_RULE_FIRST_SLOT == PFW_ROOT_OFFSET + sizeof(PFW_RULE_ROOT));
static_assert(PFW_PROTOCOL_SLOTS == (PFW_MAP_BYTES - PFW_FIRST_SLOT) / sizeof(PFW_PROTO));
static_assert(PFW_ADDRESS_SLOTS == (PFW_MAP_BYTES - PFW_FIRST_SLOT) / sizeof(PFW_ADR));
static_assert(PFW_APP_SLOTS == (PFW_MAP_BYTES - PFW_FIRST_SLOT) / sizeof(PFW_APP));
static_assert(PFW_RULE_SLOTS == (PFW_MAP_BYTES - PFW_RULE_FIRST_SLOT) / sizeof(PFW_RULE));
static_assert(sizeof(PFW_OPTIONS) == 92 && offsetof(PFW_OPTIONS, password) == 4 &&
              offsetof(PFW_OPTIONS, run_mode) == 64 && offsetof(PFW_OPTIONS, log_fully_armed) == 68 &&
              offsetof(PFW_OPTIONS, log_stand_by) == 72 && offsetof(PFW_OPTIONS, timer_active) == 76 &&
              offsetof(PFW_OPTIONS, timer_countdown) == 80 && offsetof(PFW_OPTIONS, log_allow) == 84 &&
              offsetof(PFW_OPTIONS, log_deny) == 88);
static_assert(sizeof(PFW_TRAFFIC) == 200);
static_assert(sizeof(PFW_GLOBAL_DATA) == 804 && offsetof(PFW_GLOBAL_DATA, monitor_hwnd) == 4 &&
              offsetof(PFW_GLOBAL_DATA, edictor_hwnd) == 8 && offsetof(PFW_GLOBAL_DATA, options) == 12 &&
              offsetof(PFW_GLOBAL_DATA, traffic) == 104 && offsetof(PFW_GLOBAL_DATA, log_file_name) == 304);
static_assert(sizeof(PFW_PROTO_RECORD) == 36 && offsetof(PFW_PROTO_RECORD, name) == 8 &&
              offsetof(PFW_PROTO_RECORD, transport) == 28 && offsetof(PFW_PROTO_RECORD, port) == 32);
static_assert(sizeof(PFW_ADR_RECORD) == 52 && offsetof(PFW_ADR_RECORD, low) == 8 &&
              offsetof(PFW_ADR_RECORD, high) == 12 && offsetof(PFW_ADR_RECORD, name) == 16 &&
              offsetof(PFW_ADR_RECORD, type) == 48);
static_assert(sizeof(PFW_APP_RECORD) == 80 && offsetof(PFW_APP_RECORD, name) == 8 &&
              offsetof(PFW_APP_RECORD, description) == 38);
static_assert(sizeof(PFW_RULE_RECORD) == 24);
static_assert(sizeof(PFW_PROMPT_REQUEST) == 108 && offsetof(PFW_PROMPT_REQUEST, answer) == 36 &&
              offsetof(PFW_PROMPT_REQUEST, program) == 40 && offsetof(PFW_PROMPT_REQUEST, protocol_name) == 70 &&
              offsetof(PFW_PROMPT_REQUEST, asker_created) == 92 && offsetof(PFW_PROMPT_REQUEST, taker_created) == 100);
static_assert(sizeof(PFW_PROMPT_BLOCK) == 8 + 108 * PFW_PROMPT_SLOTS);

#endif  // TARNWALL_TESSARY_H
