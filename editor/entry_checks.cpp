#include "entry_checks.h"

#include <stdio.h>
#include <string.h>

#include <utility>

#include "edictor_app.h"

namespace edictor {

namespace {

template <size_t N>
std::string Text(const char (&field)[N]) {
  return std::string(field, strnlen(field, N));
}

template <typename... Args>
std::string Format(const char* format, Args... args) {
  char buffer[512];
  snprintf(buffer, sizeof buffer, format, args...);
  return buffer;
}

Refusal Inform(std::string text, const char* caption) { return {std::move(text), caption, MB_OK | MB_ICONINFORMATION}; }

// Boxes are limited to what the record holds, but a text can still arrive longer (set by a
// program, or a file name from Browse): it is refused rather than cut.
Check TooLong(const std::string& text, int max, const char* what, const char* caption) {
  if (static_cast<int>(text.size()) <= max) return std::nullopt;
  return Inform(Format("The %s may hold at most %d characters.", what, max), caption);
}

// Four octet boxes as one address in network byte order (the left box first).
bool ReadOctets(const std::array<std::string, 4>& boxes, unsigned long* address) {
  unsigned long value = 0;
  for (int i = 0; i < 4; ++i) {
    unsigned long octet = 0;
    if (!ParseNumber(boxes[static_cast<size_t>(i)], 255, &octet)) return false;
    value |= octet << (8 * i);
  }
  *address = value;
  return true;
}

}  // namespace

bool ParseNumber(const std::string& text, unsigned long max, unsigned long* value) {
  if (text.empty() || text.size() > 10) return false;
  unsigned long long n = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    n = n * 10 + static_cast<unsigned>(c - '0');
  }
  if (n > max) return false;
  *value = static_cast<unsigned long>(n);
  return true;
}

std::string BareFileName(const std::string& path) {
  size_t slash = path.find_last_of("\\/:");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Capitals(const std::string& text) {
  std::string upper = text;
  if (!upper.empty()) CharUpperBuffA(upper.data(), static_cast<DWORD>(upper.size()));
  return upper;
}

bool IsBlank(const std::string& text) { return text.find_first_not_of(' ') == std::string::npos; }

std::string CreateRefusal(const char* what, bool exists) {
  std::string text = std::string("The ") + what + " could not be added: ";
  if (exists) return text + "another program has just added an entry with the same name or value.";
  return text + "the " + what + " list is full.";
}

std::string DottedAddress(unsigned long address) {
  return Format("%lu.%lu.%lu.%lu", address & 0xFF, (address >> 8) & 0xFF, (address >> 16) & 0xFF,
                (address >> 24) & 0xFF);
}

// --- Add Protocol -----------------------------------------------------------------------

Check CheckProtocol(const Lists& lists, const ProtocolTyped& typed, ProtocolEntry* accepted) {
  const char* caption = "Add Protocol";
  if (Check tooLong = TooLong(typed.name, kProtocolNameMax, "protocol name", caption)) return tooLong;
  if (IsBlank(typed.name)) return Inform("Enter a name for the protocol.", caption);
  unsigned long port = 0;
  if (!ParseNumber(typed.port, 65535, &port)) return Inform("Enter the port as a number from 0 to 65535.", caption);
  int transport = typed.transport == PFW_UDP ? PFW_UDP : PFW_TCP;
  if (const PFW_PROTO* existing =
          PFW_GetExactProtocolByService(lists.protocols, transport, static_cast<unsigned>(port), nullptr, nullptr)) {
    return Inform(Format("An entry for %s Port %d already exists!\nExisting name: %s",
                         transport == PFW_UDP ? "UDP" : "TCP", static_cast<int>(port), Text(existing->name).c_str()),
                  caption);
  }
  if (PFW_GetProtocolByName(lists.protocols, typed.name.c_str(), nullptr, nullptr))
    return Inform("A protocol with this name already exists!", caption);
  if (accepted) *accepted = {typed.name, transport, static_cast<unsigned>(port)};
  return std::nullopt;
}

const PFW_PROTO* CreateProtocol(const Lists& lists, const ProtocolEntry& entry, std::string* refusal) {
  if (!PFW_AddProtocol(lists.protocols, 0, entry.name.c_str(), static_cast<PFW_TRANSPORT>(entry.transport),
                       entry.port)) {
    bool exists = PFW_GetProtocolByName(lists.protocols, entry.name.c_str(), nullptr, nullptr) ||
                  PFW_GetExactProtocolByService(lists.protocols, entry.transport, entry.port, nullptr, nullptr);
    if (refusal) *refusal = CreateRefusal("protocol", exists);
    return nullptr;
  }
  PFW_PROTO* made = PFW_GetProtocolByName(lists.protocols, entry.name.c_str(), nullptr, nullptr);
  if (made) PFW_AddProtocolIntoRegistry(*made);
  return made;
}

// --- Add Application --------------------------------------------------------------------

Check CheckApplication(const Lists& lists, const AppEntry& typed) {
  const char* caption = "Add Application";
  if (Check tooLong = TooLong(typed.name, kAppNameMax, "file name", caption)) return tooLong;
  if (Check tooLong = TooLong(typed.description, kAppDescriptionMax, "description", caption)) return tooLong;
  if (IsBlank(typed.name)) return Inform("Enter the application's file name.", caption);
  if (IsBlank(typed.description)) return Inform("Enter a description for the application.", caption);
  // Looked up as it will be stored, in capitals, so that a name typed in small letters
  // meets its stored twin here and not as a silent refusal of the store.
  std::string stored = Capitals(typed.name);
  if (const PFW_APP* existing = PFW_GetExactAppByName(lists.apps, stored.c_str(), nullptr, nullptr)) {
    return Inform(Format("Application \"%s\" already exists.\nDescription: %s", Text(existing->name).c_str(),
                         Text(existing->description).c_str()),
                  caption);
  }
  if (const PFW_APP* existing = PFW_GetAppByDescription(lists.apps, typed.description.c_str(), nullptr, nullptr)) {
    return Inform(Format("Application with description \"%s\" already exists.\nName: %s",
                         Text(existing->description).c_str(), Text(existing->name).c_str()),
                  caption);
  }
  return std::nullopt;
}

const PFW_APP* CreateApplication(const Lists& lists, const AppEntry& entry, std::string* refusal) {
  std::string stored = Capitals(entry.name);
  if (!PFW_AddApp(lists.apps, 0, stored.c_str(), entry.description.c_str())) {
    bool exists = PFW_GetExactAppByName(lists.apps, stored.c_str(), nullptr, nullptr) ||
                  PFW_GetAppByDescription(lists.apps, entry.description.c_str(), nullptr, nullptr);
    if (refusal) *refusal = CreateRefusal("application", exists);
    return nullptr;
  }
  PFW_APP* made = PFW_GetExactAppByName(lists.apps, stored.c_str(), nullptr, nullptr);
  if (made) PFW_AddApplicationIntoRegistry(*made);
  return made;
}

// --- Add Address ------------------------------------------------------------------------

Check CheckAddress(const Lists& lists, const AddressTyped& typed, AddressEntry* accepted) {
  const char* caption = "Add Address";
  if (Check tooLong = TooLong(typed.name, kAddressNameMax, "address name", caption)) return tooLong;
  if (IsBlank(typed.name)) return Inform("Enter a name for the address.", caption);
  if (const PFW_ADR* existing = PFW_GetAddressByName(lists.addresses, typed.name.c_str(), nullptr, nullptr)) {
    if (existing->type == PFW_NETWORK_ADDRESS) {
      return Inform(
          Format("The address \"%s\" already exists.\nType: NETWORK ADDRESS\nIP-Range: %s-%s", typed.name.c_str(),
                 DottedAddress(existing->low).c_str(), DottedAddress(existing->high).c_str()),
          caption);
    }
    return Inform(Format("The address \"%s\" already exists.\nType: SINGLE ADDRESS\nIP-Address: %s", typed.name.c_str(),
                         DottedAddress(existing->low).c_str()),
                  caption);
  }
  const Refusal invalid{"Enter valid IP-Address!", kProgramTitle, MB_OK};
  bool network = typed.type == PFW_NETWORK_ADDRESS;
  unsigned long first = 0, last = 0;
  if (!ReadOctets(typed.first, &first)) return invalid;
  if (network) {
    if (!ReadOctets(typed.last, &last)) return invalid;
    // The two ends as typed: a range typed high to low meets its stored twin only so.
    if (const PFW_ADR* existing = PFW_GetExactAddressByRange(lists.addresses, first, last, nullptr, nullptr)) {
      return Inform(
          Format("A network address with this address range already exists.\nName: %s", Text(existing->name).c_str()),
          caption);
    }
  } else {
    last = first;
    if (const PFW_ADR* existing = PFW_GetExactAddressByIP(lists.addresses, first, nullptr, nullptr)) {
      return Inform(
          Format("A single address with this address already exists.\nName: %s", Text(existing->name).c_str()),
          caption);
    }
  }
  if (accepted) *accepted = {typed.name, network ? PFW_NETWORK_ADDRESS : PFW_SINGLE_ADDRESS, first, last};
  return std::nullopt;
}

const PFW_ADR* CreateAddress(const Lists& lists, const AddressEntry& entry, std::string* refusal) {
  bool network = entry.type == PFW_NETWORK_ADDRESS;
  unsigned long low = entry.first;
  unsigned long high = network ? entry.last : entry.first;
  // Stored from low to high, whichever way it was typed.
  if (PFW_CompareAddresses(low, high) == 1) std::swap(low, high);
  if (!PFW_AddAddress(lists.addresses, 0, low, high, entry.name.c_str(), static_cast<PFW_ADDRESS_TYPE>(entry.type))) {
    bool exists = PFW_GetAddressByName(lists.addresses, entry.name.c_str(), nullptr, nullptr) ||
                  (network ? PFW_GetExactAddressByRange(lists.addresses, low, high, nullptr, nullptr)
                           : PFW_GetExactAddressByIP(lists.addresses, low, nullptr, nullptr));
    if (refusal) *refusal = CreateRefusal("address", exists);
    return nullptr;
  }
  PFW_ADR* made = network ? PFW_GetExactAddressByRange(lists.addresses, low, high, nullptr, nullptr)
                          : PFW_GetExactAddressByIP(lists.addresses, low, nullptr, nullptr);
  if (made) PFW_AddAddressIntoRegistry(*made);
  return made;
}

// --- Add Rule ---------------------------------------------------------------------------

bool RuleComplete(const RuleChoice& choice) {
  return choice.protocol && choice.address && choice.app && choice.direction >= 0 && choice.action >= 0;
}

Check CheckRule(const Lists& lists, const RuleChoice& choice) {
  if (!RuleComplete(choice)) return std::nullopt;
  if (PFW_GetRuleByNumbers(lists.rules, static_cast<int>(choice.protocol->key), static_cast<int>(choice.address->key),
                           static_cast<int>(choice.app->key), choice.direction, nullptr, nullptr))
    return Inform("A rule with these parameters already exists!", "Add Rule");
  return std::nullopt;
}

int CreateRule(const Lists& lists, const RuleChoice& choice) {
  if (!RuleComplete(choice)) return -1;
  int p = static_cast<int>(choice.protocol->key), a = static_cast<int>(choice.address->key);
  int x = static_cast<int>(choice.app->key);
  PFW_AddRule(lists.rules, p, a, x, choice.direction, choice.action, choice.log);
  int key = -1;
  PFW_RULE* rule = PFW_GetRuleByNumbers(lists.rules, p, a, x, choice.direction, &key, nullptr);
  if (!rule) return -1;
  PFW_AddRuleIntoRegistry(*rule);
  return key;
}

}  // namespace edictor
