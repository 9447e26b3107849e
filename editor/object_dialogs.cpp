#include "object_dialogs.h"

#include <commctrl.h>
#include <commdlg.h>
#include <string.h>

#include "edictor_app.h"
#include "edictor_ids.h"
#include "help_topics.h"
#include "seams.h"

namespace edictor {

namespace {

void Show(HWND owner, const Refusal& refusal) {
  winui::ShowMessageBox(owner, refusal.text.c_str(), refusal.caption.c_str(), refusal.flags);
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

// --- Add Protocol -----------------------------------------------------------------------

class CAddProtocolDialog : public CHelpedDialog {
 public:
  explicit CAddProtocolDialog(const Lists& lists) : CHelpedDialog(IDD_ADD_PROTOCOL), lists_(lists) {}
  ProtocolEntry entry;

 protected:
  BOOL OnInitDialog() override {
    SendItem(IDC_PROTO_NAME, EM_LIMITTEXT, kProtocolNameMax);
    SendItem(IDC_PROTO_PORT, EM_LIMITTEXT, kPortDigitsMax);
    SendItem(IDC_PROTO_SPIN, UDM_SETRANGE32, 0, 32767);
    SendItem(IDC_PROTO_SPIN, UDM_SETPOS32, 0, 0);
    SetItemText(IDC_PROTO_PORT, "0");
    CheckRadioButton(hwnd_, IDC_PROTO_TCP, IDC_PROTO_UDP, IDC_PROTO_TCP);
    return TRUE;
  }
  void OnOK() override {
    ProtocolTyped typed{GetItemText(IDC_PROTO_NAME), GetItemText(IDC_PROTO_PORT),
                        IsChecked(IDC_PROTO_UDP) ? PFW_UDP : PFW_TCP};
    if (Check refused = CheckProtocol(lists_, typed, &entry)) return Show(hwnd_, *refused);
    EndDialog(IDOK);
  }

 private:
  Lists lists_;
};

// --- Add Application --------------------------------------------------------------------

class CAddApplicationDialog : public CHelpedDialog {
 public:
  explicit CAddApplicationDialog(const Lists& lists) : CHelpedDialog(IDD_ADD_APPLICATION), lists_(lists) {}
  AppEntry entry;

 protected:
  BOOL OnInitDialog() override {
    SendItem(IDC_APP_NAME, EM_LIMITTEXT, kAppNameMax);
    SendItem(IDC_APP_DESCRIPTION, EM_LIMITTEXT, kAppDescriptionMax);
    return TRUE;
  }
  bool OnCommand(int id, int code, HWND control) override {
    if (id != IDC_APP_BROWSE || code != BN_CLICKED) return Dialog::OnCommand(id, code, control);
    std::string path = chooseApplicationFile ? chooseApplicationFile(hwnd_) : std::string();
    if (!path.empty()) {
      std::string file = BareFileName(path);
      SetItemText(IDC_APP_NAME, file.c_str());
      SetItemText(IDC_APP_DESCRIPTION, file.c_str());
    }
    return true;
  }
  void OnOK() override {
    AppEntry typed{GetItemText(IDC_APP_NAME), GetItemText(IDC_APP_DESCRIPTION)};
    if (Check refused = CheckApplication(lists_, typed)) return Show(hwnd_, *refused);
    entry = typed;
    EndDialog(IDOK);
  }

 private:
  Lists lists_;
};

// --- Add Address ------------------------------------------------------------------------

class CAddAddressDialog : public CHelpedDialog {
 public:
  CAddAddressDialog(const Lists& lists, bool online) : CHelpedDialog(IDD_ADD_ADDRESS), lists_(lists), online_(online) {}
  AddressEntry entry;

 protected:
  BOOL OnInitDialog() override {
    SendItem(IDC_ADR_NAME, EM_LIMITTEXT, kAddressNameMax);
    for (int i = 0; i < 4; ++i) {
      SendItem(IDC_ADR_FIRST1 + i, EM_LIMITTEXT, 3);
      SendItem(IDC_ADR_LAST1 + i, EM_LIMITTEXT, 3);
    }
    EnableItem(IDC_ADR_RESOLVE, online_);
    SetType(PFW_SINGLE_ADDRESS);
    return TRUE;
  }
  bool OnCommand(int id, int code, HWND control) override {
    if (code == BN_CLICKED) {
      if (id == IDC_ADR_RESOLVE) {
        Resolve();
        return true;
      }
      if (id == IDC_ADR_SINGLE) {
        SetType(PFW_SINGLE_ADDRESS);
        return true;
      }
      if (id == IDC_ADR_NETWORK) {
        SetType(PFW_NETWORK_ADDRESS);
        return true;
      }
    }
    return Dialog::OnCommand(id, code, control);
  }
  void OnOK() override {
    AddressTyped typed;
    typed.name = GetItemText(IDC_ADR_NAME);
    typed.type = IsChecked(IDC_ADR_NETWORK) ? PFW_NETWORK_ADDRESS : PFW_SINGLE_ADDRESS;
    for (int i = 0; i < 4; ++i) {
      typed.first[static_cast<size_t>(i)] = GetItemText(IDC_ADR_FIRST1 + i);
      typed.last[static_cast<size_t>(i)] = GetItemText(IDC_ADR_LAST1 + i);
    }
    if (Check refused = CheckAddress(lists_, typed, &entry)) return Show(hwnd_, *refused);
    EndDialog(IDOK);
  }

 private:
  void SetType(int type) {
    CheckRadioButton(hwnd_, IDC_ADR_SINGLE, IDC_ADR_NETWORK,
                     type == PFW_NETWORK_ADDRESS ? IDC_ADR_NETWORK : IDC_ADR_SINGLE);
    for (int i = 0; i < 4; ++i) {
      if (type != PFW_NETWORK_ADDRESS) SetItemText(IDC_ADR_LAST1 + i, "");
      EnableItem(IDC_ADR_LAST1 + i, type == PFW_NETWORK_ADDRESS);
    }
  }
  void Resolve() {
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
  Lists lists_;
  bool online_;
};

}  // namespace

std::function<std::string(HWND)> chooseApplicationFile = OpenFileDialog;

bool SystemResolve(const std::string& host, unsigned char address[4]) {
  hostent* entry = gethostbyname(host.c_str());
  if (!entry || !entry->h_addr_list || !entry->h_addr_list[0] || entry->h_length < 4) return false;
  memcpy(address, entry->h_addr_list[0], 4);
  return true;
}

HostResolver resolveHost = SystemResolve;

std::optional<ProtocolEntry> RunAddProtocolDialog(HWND owner, const Lists& lists) {
  CAddProtocolDialog dialog(lists);
  if (dialog.DoModal(owner) != IDOK) return std::nullopt;
  return dialog.entry;
}

std::optional<AppEntry> RunAddApplicationDialog(HWND owner, const Lists& lists) {
  CAddApplicationDialog dialog(lists);
  if (dialog.DoModal(owner) != IDOK) return std::nullopt;
  return dialog.entry;
}

std::optional<AddressEntry> RunAddAddressDialog(HWND owner, const Lists& lists, bool online) {
  CAddAddressDialog dialog(lists, online);
  if (dialog.DoModal(owner) != IDOK) return std::nullopt;
  return dialog.entry;
}

}  // namespace edictor
