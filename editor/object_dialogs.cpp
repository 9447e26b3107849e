#include "object_dialogs.h"

#include <commctrl.h>
#include <commdlg.h>
#include <stdio.h>
#include <string.h>

#include "edictor_ids.h"
#include "seams.h"
#include "tree_dialog.h"

namespace edictor {

namespace {

template <size_t N> std::string Text(const char (&field)[N]) { return std::string(field, strnlen(field, N)); }

template <typename... Args> std::string Format(const char* format, Args... args) {
    char buffer[512];
    snprintf(buffer, sizeof buffer, format, args...);
    return buffer;
}

void Inform(HWND owner, const std::string& text, const char* caption) {
    winui::ShowMessageBox(owner, text.c_str(), caption, MB_OK | MB_ICONINFORMATION);
}

// Boxes are limited to what the record holds, but a text can still arrive longer (set by a
// program, or a file name from Browse): it is refused here rather than cut.
bool FitsField(HWND owner, const std::string& text, int max, const char* what, const char* caption) {
    if (static_cast<int>(text.size()) <= max) return true;
    Inform(owner, Format("The %s may hold at most %d characters.", what, max), caption);
    return false;
}

std::string OpenFileDialog(HWND owner) {
    char path[MAX_PATH] = "";
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = "Applications\0*.exe\0All Files\0*.*\0";
    ofn.lpstrFile = path;
    ofn.nMaxFile = sizeof path;
    ofn.lpstrTitle = "Select Application";
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;
    return GetOpenFileNameA(&ofn) ? std::string(path) : std::string();
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

CAddProtocolDialog::CAddProtocolDialog(const Lists& lists) : CHelpedDialog(IDD_ADD_PROTOCOL), lists_(lists) {}

BOOL CAddProtocolDialog::OnInitDialog() {
    SendItem(IDC_PROTO_NAME, EM_LIMITTEXT, kProtocolNameMax);
    SendItem(IDC_PROTO_PORT, EM_LIMITTEXT, kPortDigitsMax);
    SendItem(IDC_PROTO_SPIN, UDM_SETRANGE32, 0, 32767);
    SendItem(IDC_PROTO_SPIN, UDM_SETPOS32, 0, 0);
    SetItemText(IDC_PROTO_PORT, "0");
    CheckRadioButton(hwnd_, IDC_PROTO_TCP, IDC_PROTO_UDP, IDC_PROTO_TCP);
    return TRUE;
}

void CAddProtocolDialog::OnOK() {
    std::string typed = GetItemText(IDC_PROTO_NAME);
    int typedTransport = IsChecked(IDC_PROTO_UDP) ? PFW_UDP : PFW_TCP;
    unsigned long typedPort = 0;
    if (!FitsField(hwnd_, typed, kProtocolNameMax, "protocol name", "Add Protocol")) return;
    if (IsBlank(typed)) {
        Inform(hwnd_, "Enter a name for the protocol.", "Add Protocol");
        return;
    }
    if (!ParseNumber(GetItemText(IDC_PROTO_PORT), 65535, &typedPort)) {
        Inform(hwnd_, "Enter the port as a number from 0 to 65535.", "Add Protocol");
        return;
    }
    if (const PFW_PROTO* existing = PFW_GetExactProtocolByService(lists_.protocols, typedTransport,
                                                                  static_cast<unsigned>(typedPort), nullptr, nullptr)) {
        Inform(hwnd_,
               Format("An entry for %s Port %d already exists!\nExisting name: %s",
                      typedTransport == PFW_UDP ? "UDP" : "TCP", static_cast<int>(typedPort),
                      Text(existing->name).c_str()),
               "Add Protocol");
        return;
    }
    if (PFW_GetProtocolByName(lists_.protocols, typed.c_str(), nullptr, nullptr)) {
        Inform(hwnd_, "A protocol with this name already exists!", "Add Protocol");
        return;
    }
    name = typed;
    transport = typedTransport;
    port = static_cast<unsigned>(typedPort);
    EndDialog(IDOK);
}

const PFW_PROTO* CreateProtocol(const Lists& lists, const CAddProtocolDialog& dialog, std::string* refusal) {
    if (!PFW_AddProtocol(lists.protocols, 0, dialog.name.c_str(), static_cast<PFW_TRANSPORT>(dialog.transport),
                         dialog.port)) {
        bool exists = PFW_GetProtocolByName(lists.protocols, dialog.name.c_str(), nullptr, nullptr) ||
                      PFW_GetExactProtocolByService(lists.protocols, dialog.transport, dialog.port, nullptr, nullptr);
        if (refusal) *refusal = CreateRefusal("protocol", exists);
        return nullptr;
    }
    PFW_PROTO* entry = PFW_GetProtocolByName(lists.protocols, dialog.name.c_str(), nullptr, nullptr);
    if (entry) PFW_AddProtocolIntoRegistry(*entry);
    return entry;
}

// --- Add Application --------------------------------------------------------------------

std::function<std::string(HWND)> CAddApplicationDialog::chooseFile = OpenFileDialog;

CAddApplicationDialog::CAddApplicationDialog(const Lists& lists) : CHelpedDialog(IDD_ADD_APPLICATION), lists_(lists) {}

BOOL CAddApplicationDialog::OnInitDialog() {
    SendItem(IDC_APP_NAME, EM_LIMITTEXT, kAppNameMax);
    SendItem(IDC_APP_DESCRIPTION, EM_LIMITTEXT, kAppDescriptionMax);
    return TRUE;
}

bool CAddApplicationDialog::OnCommand(int id, int code, HWND control) {
    if (id == IDC_APP_BROWSE && code == BN_CLICKED) {
        std::string path = chooseFile ? chooseFile(hwnd_) : std::string();
        if (!path.empty()) {
            std::string file = BareFileName(path);
            SetItemText(IDC_APP_NAME, file.c_str());
            SetItemText(IDC_APP_DESCRIPTION, file.c_str());
        }
        return true;
    }
    return Dialog::OnCommand(id, code, control);
}

void CAddApplicationDialog::OnOK() {
    std::string typed = GetItemText(IDC_APP_NAME);
    std::string typedDescription = GetItemText(IDC_APP_DESCRIPTION);
    if (!FitsField(hwnd_, typed, kAppNameMax, "file name", "Add Application")) return;
    if (!FitsField(hwnd_, typedDescription, kAppDescriptionMax, "description", "Add Application")) return;
    if (IsBlank(typed) || IsBlank(typedDescription)) {
        Inform(hwnd_, IsBlank(typed) ? "Enter the application's file name." : "Enter a description for the application.",
               "Add Application");
        return;
    }
    // Looked up as it will be stored, in capitals, so that a name typed in small letters
    // meets its stored twin here and not as a silent refusal of the store.
    std::string stored = Capitals(typed);
    if (const PFW_APP* existing = PFW_GetExactAppByName(lists_.apps, stored.c_str(), nullptr, nullptr)) {
        Inform(hwnd_,
               Format("Application \"%s\" already exists.\nDescription: %s", Text(existing->name).c_str(),
                      Text(existing->description).c_str()),
               "Add Application");
        return;
    }
    if (const PFW_APP* existing = PFW_GetAppByDescription(lists_.apps, typedDescription.c_str(), nullptr, nullptr)) {
        Inform(hwnd_,
               Format("Application with description \"%s\" already exists.\nName: %s",
                      Text(existing->description).c_str(), Text(existing->name).c_str()),
               "Add Application");
        return;
    }
    name = typed;
    description = typedDescription;
    EndDialog(IDOK);
}

const PFW_APP* CreateApplication(const Lists& lists, const CAddApplicationDialog& dialog, std::string* refusal) {
    std::string stored = Capitals(dialog.name);
    if (!PFW_AddApp(lists.apps, 0, stored.c_str(), dialog.description.c_str())) {
        bool exists = PFW_GetExactAppByName(lists.apps, stored.c_str(), nullptr, nullptr) ||
                      PFW_GetAppByDescription(lists.apps, dialog.description.c_str(), nullptr, nullptr);
        if (refusal) *refusal = CreateRefusal("application", exists);
        return nullptr;
    }
    PFW_APP* entry = PFW_GetExactAppByName(lists.apps, stored.c_str(), nullptr, nullptr);
    if (entry) PFW_AddApplicationIntoRegistry(*entry);
    return entry;
}

// --- Add Address ------------------------------------------------------------------------

CAddAddressDialog::CAddAddressDialog(const Lists& lists, bool online)
    : CHelpedDialog(IDD_ADD_ADDRESS), lists_(lists), online_(online) {}

BOOL CAddAddressDialog::OnInitDialog() {
    SendItem(IDC_ADR_NAME, EM_LIMITTEXT, kAddressNameMax);
    for (int i = 0; i < 4; ++i) {
        SendItem(IDC_ADR_FIRST1 + i, EM_LIMITTEXT, 3);
        SendItem(IDC_ADR_LAST1 + i, EM_LIMITTEXT, 3);
    }
    EnableItem(IDC_ADR_RESOLVE, online_);
    SetType(PFW_SINGLE_ADDRESS);
    return TRUE;
}

void CAddAddressDialog::SetType(int newType) {
    CheckRadioButton(hwnd_, IDC_ADR_SINGLE, IDC_ADR_NETWORK,
                     newType == PFW_NETWORK_ADDRESS ? IDC_ADR_NETWORK : IDC_ADR_SINGLE);
    for (int i = 0; i < 4; ++i) {
        if (newType != PFW_NETWORK_ADDRESS) SetItemText(IDC_ADR_LAST1 + i, "");
        EnableItem(IDC_ADR_LAST1 + i, newType == PFW_NETWORK_ADDRESS);
    }
}

bool CAddAddressDialog::SystemResolve(const std::string& host, unsigned char address[4]) {
    hostent* entry = gethostbyname(host.c_str());
    if (!entry || !entry->h_addr_list || !entry->h_addr_list[0] || entry->h_length < 4) return false;
    memcpy(address, entry->h_addr_list[0], 4);
    return true;
}

CAddAddressDialog::Resolver CAddAddressDialog::resolveHost = CAddAddressDialog::SystemResolve;

void CAddAddressDialog::Resolve() {
    std::string host = GetItemText(IDC_ADR_NAME);
    if (host.empty() || !online_) return;
    unsigned char bytes[4] = {};
    if (!(resolveHost ? resolveHost(host, bytes) : SystemResolve(host, bytes))) {
        winui::ShowMessageBox(hwnd_, "Sorry, couldn't resolve name.", kProgramTitle, MB_OK | MB_ICONINFORMATION);
        return;
    }
    for (int i = 0; i < 4; ++i) SetItemText(IDC_ADR_FIRST1 + i, std::to_string(bytes[i]).c_str());
    SetType(PFW_SINGLE_ADDRESS);
}

bool CAddAddressDialog::OnCommand(int id, int code, HWND control) {
    if (code == BN_CLICKED) {
        if (id == IDC_ADR_RESOLVE) { Resolve(); return true; }
        if (id == IDC_ADR_SINGLE) { SetType(PFW_SINGLE_ADDRESS); return true; }
        if (id == IDC_ADR_NETWORK) { SetType(PFW_NETWORK_ADDRESS); return true; }
    }
    return Dialog::OnCommand(id, code, control);
}

bool CAddAddressDialog::ReadAddress(int firstId, unsigned long* address) {
    unsigned long value = 0;
    for (int i = 0; i < 4; ++i) {
        unsigned long octet = 0;
        if (!ParseNumber(GetItemText(firstId + i), 255, &octet)) {
            winui::ShowMessageBox(hwnd_, "Enter valid IP-Address!", kProgramTitle, MB_OK);
            return false;
        }
        value |= octet << (8 * i);
    }
    *address = value;
    return true;
}

void CAddAddressDialog::OnOK() {
    std::string typed = GetItemText(IDC_ADR_NAME);
    int typedType = IsChecked(IDC_ADR_NETWORK) ? PFW_NETWORK_ADDRESS : PFW_SINGLE_ADDRESS;
    if (!FitsField(hwnd_, typed, kAddressNameMax, "address name", "Add Address")) return;
    if (IsBlank(typed)) {
        Inform(hwnd_, "Enter a name for the address.", "Add Address");
        return;
    }
    if (const PFW_ADR* existing = PFW_GetAddressByName(lists_.addresses, typed.c_str(), nullptr, nullptr)) {
        if (existing->type == PFW_NETWORK_ADDRESS) {
            Inform(hwnd_,
                   Format("The address \"%s\" already exists.\nType: NETWORK ADDRESS\nIP-Range: %s-%s", typed.c_str(),
                          DottedAddress(existing->low).c_str(), DottedAddress(existing->high).c_str()),
                   "Add Address");
        } else {
            Inform(hwnd_,
                   Format("The address \"%s\" already exists.\nType: SINGLE ADDRESS\nIP-Address: %s", typed.c_str(),
                          DottedAddress(existing->low).c_str()),
                   "Add Address");
        }
        return;
    }
    unsigned long typedFirst = 0, typedLast = 0;
    if (!ReadAddress(IDC_ADR_FIRST1, &typedFirst)) return;
    if (typedType == PFW_NETWORK_ADDRESS) {
        if (!ReadAddress(IDC_ADR_LAST1, &typedLast)) return;
        if (const PFW_ADR* existing =
                PFW_GetExactAddressByRange(lists_.addresses, typedFirst, typedLast, nullptr, nullptr)) {
            Inform(hwnd_, Format("A network address with this address range already exists.\nName: %s",
                                 Text(existing->name).c_str()),
                   "Add Address");
            return;
        }
    } else {
        typedLast = typedFirst;
        if (const PFW_ADR* existing = PFW_GetExactAddressByIP(lists_.addresses, typedFirst, nullptr, nullptr)) {
            Inform(hwnd_, Format("A single address with this address already exists.\nName: %s",
                                 Text(existing->name).c_str()),
                   "Add Address");
            return;
        }
    }
    name = typed;
    type = typedType;
    first = typedFirst;
    last = typedLast;
    EndDialog(IDOK);
}

const PFW_ADR* CreateAddress(const Lists& lists, const CAddAddressDialog& dialog, std::string* refusal) {
    unsigned long low = dialog.first;
    unsigned long high = dialog.type == PFW_NETWORK_ADDRESS ? dialog.last : dialog.first;
    if (PFW_CompareAddresses(low, high) == 1) std::swap(low, high);
    if (!PFW_AddAddress(lists.addresses, 0, low, high, dialog.name.c_str(),
                        static_cast<PFW_ADDRESS_TYPE>(dialog.type))) {
        bool exists = PFW_GetAddressByName(lists.addresses, dialog.name.c_str(), nullptr, nullptr) ||
                      (dialog.type == PFW_NETWORK_ADDRESS
                           ? PFW_GetExactAddressByRange(lists.addresses, low, high, nullptr, nullptr)
                           : PFW_GetExactAddressByIP(lists.addresses, low, nullptr, nullptr));
        if (refusal) *refusal = CreateRefusal("address", exists);
        return nullptr;
    }
    PFW_ADR* entry = dialog.type == PFW_NETWORK_ADDRESS
                         ? PFW_GetExactAddressByRange(lists.addresses, low, high, nullptr, nullptr)
                         : PFW_GetExactAddressByIP(lists.addresses, low, nullptr, nullptr);
    if (entry) PFW_AddAddressIntoRegistry(*entry);
    return entry;
}

}  // namespace edictor
