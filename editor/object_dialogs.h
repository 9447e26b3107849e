// The three dialogs that define a new protocol, application or address, opened from the
// Add Rule dialog's "Create New" buttons, and the creation steps that add what they
// describe to the shared list and the registry.
//
// Each dialog refuses a duplicate with a message and stays open; on OK its values are read
// by the matching Create* function, which returns the new shared record or null (a store
// refusal is silent).
#pragma once
#include <winsock2.h>
#include <windows.h>

#include <functional>
#include <string>

#include "dialog.h"
#include "help_topics.h"
#include "rule_view.h"

namespace edictor {

// Longest texts the boxes take: the record fields less their NUL (an address name one less).
constexpr int kProtocolNameMax = PFW_PROTO_NAME_SIZE - 1;       // 19
constexpr int kAppNameMax = PFW_APP_NAME_SIZE - 1;              // 29
constexpr int kAppDescriptionMax = PFW_APP_DESCRIPTION_SIZE - 1;  // 41
constexpr int kAddressNameMax = PFW_ADR_NAME_SIZE - 2;          // 30
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

class CAddProtocolDialog : public CHelpedDialog {
public:
    explicit CAddProtocolDialog(const Lists& lists);
    std::string name;
    int transport = PFW_TCP;
    unsigned port = 0;

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    Lists lists_;
};

class CAddApplicationDialog : public CHelpedDialog {
public:
    explicit CAddApplicationDialog(const Lists& lists);
    std::string name;
    std::string description;
    // Asks for the program's file; empty when the user cancels. Tests replace it.
    static std::function<std::string(HWND owner)> chooseFile;

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    void OnOK() override;

private:
    Lists lists_;
};

class CAddAddressDialog : public CHelpedDialog {
public:
    CAddAddressDialog(const Lists& lists, bool online);
    // Looks a host name up: true with its first IPv4 address's four bytes, in order. The
    // system's resolver by default; tests replace it.
    using Resolver = std::function<bool(const std::string& host, unsigned char address[4])>;
    static Resolver resolveHost;
    static bool SystemResolve(const std::string& host, unsigned char address[4]);
    std::string name;
    int type = PFW_SINGLE_ADDRESS;
    unsigned long first = 0;  // network byte order, as typed
    unsigned long last = 0;

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    void OnOK() override;

private:
    void SetType(int newType);
    void Resolve();
    // Reads four octet boxes from `firstId`; shows the invalid-address message when one fails.
    bool ReadAddress(int firstId, unsigned long* address);
    Lists lists_;
    bool online_;
};

// Each returns the new record, or null with `refusal` (when given) saying why.
const PFW_PROTO* CreateProtocol(const Lists& lists, const CAddProtocolDialog& dialog, std::string* refusal = nullptr);
const PFW_APP* CreateApplication(const Lists& lists, const CAddApplicationDialog& dialog,
                                 std::string* refusal = nullptr);
const PFW_ADR* CreateAddress(const Lists& lists, const CAddAddressDialog& dialog, std::string* refusal = nullptr);

}  // namespace edictor
