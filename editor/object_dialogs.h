// The three dialogs that define a new protocol, application or address, opened from the
// Add Rule dialog's "Create New" buttons.
//
// Each runner shows its dialog modally over `owner` and hands back the accepted entry, or
// nothing when the user cancels. The dialogs only move values between their boxes and the
// checks of entry_checks.h; the caller runs the creation step on what comes back.
#pragma once
#include <winsock2.h>
#include <windows.h>

#include <functional>
#include <optional>
#include <string>

#include "entry_checks.h"

namespace edictor {

std::optional<ProtocolEntry> RunAddProtocolDialog(HWND owner, const Lists& lists);
std::optional<AppEntry> RunAddApplicationDialog(HWND owner, const Lists& lists);
// Resolve is usable only when `online`.
std::optional<AddressEntry> RunAddAddressDialog(HWND owner, const Lists& lists, bool online);

// Asks for the program's file behind Add Application's Browse; empty when the user
// cancels. The system's open-file dialog by default; tests replace it.
extern std::function<std::string(HWND owner)> chooseApplicationFile;

// Looks a host name up: true with its first IPv4 address's four bytes, in order. The
// system's resolver by default; tests replace it.
using HostResolver = std::function<bool(const std::string& host, unsigned char address[4])>;
extern HostResolver resolveHost;
bool SystemResolve(const std::string& host, unsigned char address[4]);

}  // namespace edictor
