#include "add_rule_dialog.h"

#include <string.h>

#include <string>

#include "edictor_app.h"
#include "edictor_ids.h"
#include "entry_checks.h"
#include "help_topics.h"
#include "object_dialogs.h"
#include "seams.h"

namespace edictor {

namespace {

template <size_t N>
std::string Text(const char (&field)[N]) {
  return std::string(field, strnlen(field, N));
}

class CAddRuleDialog : public CHelpedDialog {
 public:
  CAddRuleDialog(const Lists& lists, bool online) : CHelpedDialog(IDD_ADD_RULE), lists_(lists), online_(online) {}
  int resultKey = -1;

 protected:
  BOOL OnInitDialog() override;
  bool OnCommand(int id, int code, HWND control) override;
  void OnOK() override;

 private:
  // Adds an item with its record and selects it when `select`.
  void AddItem(int boxId, const char* text, const void* record, bool select) const;
  const void* SelectedRecord(int boxId) const;
  RuleChoice ReadChoice() const;
  void CreateNew(int id);

  Lists lists_;
  bool online_;
};

void CAddRuleDialog::AddItem(int boxId, const char* text, const void* record, bool select) const {
  LRESULT index = SendItem(boxId, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
  if (index < 0) return;
  SendItem(boxId, CB_SETITEMDATA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(record));
  if (select) SendItem(boxId, CB_SETCURSEL, static_cast<WPARAM>(index));
}

const void* CAddRuleDialog::SelectedRecord(int boxId) const {
  LRESULT index = SendItem(boxId, CB_GETCURSEL);
  if (index == CB_ERR) return nullptr;
  LRESULT data = SendItem(boxId, CB_GETITEMDATA, static_cast<WPARAM>(index));
  return data == CB_ERR ? nullptr : reinterpret_cast<const void*>(data);
}

BOOL CAddRuleDialog::OnInitDialog() {
  if (lists_.protocols) {
    for (unsigned k = 0; k < lists_.protocols->next_key; ++k) {
      if (const PFW_PROTO* p = PFW_GetProtocolByIndex(lists_.protocols, static_cast<int>(k), nullptr))
        AddItem(IDC_PROTOCOL_BOX, Text(p->name).c_str(), p, false);
    }
  }
  if (lists_.addresses) {
    for (unsigned k = 0; k < lists_.addresses->next_key; ++k) {
      if (const PFW_ADR* a = PFW_GetAddressByIndex(lists_.addresses, static_cast<int>(k), nullptr))
        AddItem(IDC_ADDRESS_BOX, Text(a->name).c_str(), a, false);
    }
  }
  if (lists_.apps) {
    for (unsigned k = 0; k < lists_.apps->next_key; ++k) {
      if (const PFW_APP* a = PFW_GetAppByIndex(lists_.apps, static_cast<int>(k), nullptr))
        AddItem(IDC_APP_BOX, Text(a->description).c_str(), a, false);
    }
  }
  // Outbound, Allow, not logged.
  CheckRadioButton(hwnd_, IDC_INBOUND, IDC_OUTBOUND, IDC_OUTBOUND);
  CheckRadioButton(hwnd_, IDC_ALLOW, IDC_ASK, IDC_ALLOW);
  SetCheck(IDC_LOG, false);
  return TRUE;
}

RuleChoice CAddRuleDialog::ReadChoice() const {
  RuleChoice choice;
  choice.protocol = static_cast<const PFW_PROTO*>(SelectedRecord(IDC_PROTOCOL_BOX));
  choice.address = static_cast<const PFW_ADR*>(SelectedRecord(IDC_ADDRESS_BOX));
  choice.app = static_cast<const PFW_APP*>(SelectedRecord(IDC_APP_BOX));
  choice.direction = IsChecked(IDC_INBOUND) ? PFW_INBOUND : IsChecked(IDC_OUTBOUND) ? PFW_OUTBOUND : -1;
  choice.action = IsChecked(IDC_ALLOW) ? PFW_ALLOW : IsChecked(IDC_DENY) ? PFW_DENY : IsChecked(IDC_ASK) ? PFW_ASK : -1;
  choice.log = IsChecked(IDC_LOG) ? 1 : 0;
  return choice;
}

void CAddRuleDialog::CreateNew(int id) {
  std::string refusal;
  const char* caption = "";
  if (id == IDC_NEW_PROTOCOL) {
    std::optional<ProtocolEntry> entry = RunAddProtocolDialog(hwnd_, lists_);
    if (!entry) return;
    caption = "Add Protocol";
    if (const PFW_PROTO* p = CreateProtocol(lists_, *entry, &refusal))
      AddItem(IDC_PROTOCOL_BOX, Text(p->name).c_str(), p, true);
  } else if (id == IDC_NEW_ADDRESS) {
    std::optional<AddressEntry> entry = RunAddAddressDialog(hwnd_, lists_, online_);
    if (!entry) return;
    caption = "Add Address";
    if (const PFW_ADR* a = CreateAddress(lists_, *entry, &refusal))
      AddItem(IDC_ADDRESS_BOX, Text(a->name).c_str(), a, true);
  } else if (id == IDC_NEW_APP) {
    std::optional<AppEntry> entry = RunAddApplicationDialog(hwnd_, lists_);
    if (!entry) return;
    caption = "Add Application";
    if (const PFW_APP* a = CreateApplication(lists_, *entry, &refusal))
      AddItem(IDC_APP_BOX, Text(a->description).c_str(), a, true);
  }
  // The dialog's own checks passed, so the store's refusal is news: the user hears it.
  if (!refusal.empty()) winui::ShowMessageBox(hwnd_, refusal.c_str(), caption, MB_OK | MB_ICONINFORMATION);
}

bool CAddRuleDialog::OnCommand(int id, int code, HWND control) {
  if ((id == IDC_NEW_PROTOCOL || id == IDC_NEW_ADDRESS || id == IDC_NEW_APP) && code == BN_CLICKED) {
    CreateNew(id);
    return true;
  }
  return Dialog::OnCommand(id, code, control);
}

void CAddRuleDialog::OnOK() {
  RuleChoice choice = ReadChoice();
  if (!RuleComplete(choice)) return;
  if (Check refused = CheckRule(lists_, choice)) {
    winui::ShowMessageBox(hwnd_, refused->text.c_str(), refused->caption.c_str(), refused->flags);
    return;
  }
  resultKey = CreateRule(lists_, choice);
  if (resultKey == -1) winui::ShowMessageBox(hwnd_, "Rule creation failed!", kProgramTitle, MB_OK);
  EndDialog(IDOK);
}

}  // namespace

std::optional<int> RunAddRuleDialog(HWND owner, const Lists& lists, bool online) {
  CAddRuleDialog dialog(lists, online);
  if (dialog.DoModal(owner) != IDOK) return std::nullopt;
  return dialog.resultKey;
}

}  // namespace edictor
