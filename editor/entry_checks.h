// entry_checks.h - what the Create New dialogs and Add Rule accept, and the creation steps
// that follow them, as functions of the typed values and the shared lists: no window.
//
// A check returns the refusal the dialog shows (text, caption, message-box flags) and the
// dialog stays open; or nothing, and the dialog closes with the accepted entry.
#pragma once
#include <windows.h>

#include <array>
#include <optional>
#include <string>

#include "rule_view.h"

namespace edictor {

// Longest texts the boxes take: the record fields less their NUL (an address name one less).
constexpr int kProtocolNameMax = PFW_PROTO_NAME_SIZE - 1;         // 19
constexpr int kAppNameMax = PFW_APP_NAME_SIZE - 1;                // 29
constexpr int kAppDescriptionMax = PFW_APP_DESCRIPTION_SIZE - 1;  // 41
constexpr int kAddressNameMax = PFW_ADR_NAME_SIZE - 2;            // 30
constexpr int kPortDigitsMax = 5;

// A decimal number of digits only; false for an empty text, any other character or a
// value above `max`.
bool ParseNumber(const std::string& text, unsigned long max, unsigned long* value);
// The file name without its folder.
std::string BareFileName(const std::string& path);
// A copy in capitals, as the store keeps application names.
std::string Capitals(const std::string& text);
// An address in network byte order as its dotted form reads.
std::string DottedAddress(unsigned long address);
// True for a text of nothing but spaces (or nothing at all): a node nobody could see or pick.
bool IsBlank(const std::string& text);
// What the user is told when the store refused a new entry the dialog had let through:
// `what` is "protocol", "application" or "address"; `exists` when an entry like it was
// added meanwhile (by another program), otherwise the list has no room left.
std::string CreateRefusal(const char* what, bool exists);

// A message the dialog shows instead of closing.
struct Refusal {
  std::string text;
  std::string caption;
  UINT flags = MB_OK | MB_ICONINFORMATION;
};
using Check = std::optional<Refusal>;

// The entries the Create New dialogs hand back, as the creation steps take them.
struct ProtocolEntry {
  std::string name;
  int transport = PFW_TCP;
  unsigned port = 0;
};
struct AppEntry {
  std::string name;  // as typed; stored in capitals
  std::string description;
};
struct AddressEntry {
  std::string name;
  int type = PFW_SINGLE_ADDRESS;
  unsigned long first = 0;  // network byte order, as typed
  unsigned long last = 0;   // the same as first for a single address
};

// The boxes as typed. On acceptance `accepted` (when given) receives the entry.
struct ProtocolTyped {
  std::string name;
  std::string port;
  int transport = PFW_TCP;
};
Check CheckProtocol(const Lists& lists, const ProtocolTyped& typed, ProtocolEntry* accepted = nullptr);
Check CheckApplication(const Lists& lists, const AppEntry& typed);
struct AddressTyped {
  std::string name;
  int type = PFW_SINGLE_ADDRESS;
  std::array<std::string, 4> first;  // the octet boxes, left to right
  std::array<std::string, 4> last;
};
Check CheckAddress(const Lists& lists, const AddressTyped& typed, AddressEntry* accepted = nullptr);

// Add Rule's choice. Incomplete (a box without selection, no direction or action): the
// dialog stays open and says nothing.
struct RuleChoice {
  const PFW_PROTO* protocol = nullptr;
  const PFW_ADR* address = nullptr;
  const PFW_APP* app = nullptr;
  int direction = -1;
  int action = -1;
  int log = 0;
};
bool RuleComplete(const RuleChoice& choice);
// A complete choice: refused when a rule with the same protocol, address, application and
// direction exists, whatever its action.
Check CheckRule(const Lists& lists, const RuleChoice& choice);
// Adds the checked rule to the list and the registry: its key, or -1 when it cannot be
// found after the add ("Rule creation failed!").
int CreateRule(const Lists& lists, const RuleChoice& choice);

// The creation steps: each returns the new record, or null with `refusal` (when given)
// saying why the store refused it.
const PFW_PROTO* CreateProtocol(const Lists& lists, const ProtocolEntry& entry, std::string* refusal = nullptr);
const PFW_APP* CreateApplication(const Lists& lists, const AppEntry& entry, std::string* refusal = nullptr);
const PFW_ADR* CreateAddress(const Lists& lists, const AddressEntry& entry, std::string* refusal = nullptr);

}  // namespace edictor
