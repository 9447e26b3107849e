#include "add_rule_dialog.h"

#include <string.h>

#include <string>

#include "edictor_ids.h"
#include "object_dialogs.h"
#include "seams.h"
#include "tree_dialog.h"

namespace edictor {

namespace {
template <size_t N> std::string Text(const char (&field)[N]) { return std::string(field, strnlen(field, N)); }
}  // namespace

CAddRuleDialog::CAddRuleDialog(const Lists& lists, bool online)
    : CHelpedDialog(IDD_ADD_RULE), lists_(lists), online_(online) {}

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
    direction_ = PFW_OUTBOUND;
    action_ = PFW_ALLOW;
    log_ = 0;
    ShowValues();
    return TRUE;
}

void CAddRuleDialog::ShowValues() const {
    CheckRadioButton(hwnd_, IDC_INBOUND, IDC_OUTBOUND, direction_ == PFW_INBOUND ? IDC_INBOUND : IDC_OUTBOUND);
    int action = action_ == PFW_DENY ? IDC_DENY : action_ == PFW_ASK ? IDC_ASK : IDC_ALLOW;
    CheckRadioButton(hwnd_, IDC_ALLOW, IDC_ASK, action);
    SetCheck(IDC_LOG, log_ != 0);
}

void CAddRuleDialog::ReadValues() {
    direction_ = IsChecked(IDC_INBOUND) ? PFW_INBOUND : IsChecked(IDC_OUTBOUND) ? PFW_OUTBOUND : -1;
    action_ = IsChecked(IDC_ALLOW) ? PFW_ALLOW : IsChecked(IDC_DENY) ? PFW_DENY : IsChecked(IDC_ASK) ? PFW_ASK : -1;
    log_ = IsChecked(IDC_LOG) ? 1 : 0;
}

void CAddRuleDialog::CreateNew(int id) {
    std::string refusal;
    const char* caption = "";
    if (id == IDC_NEW_PROTOCOL) {
        CAddProtocolDialog dialog(lists_);
        if (dialog.DoModal(hwnd_) != IDOK) return;
        caption = "Add Protocol";
        if (const PFW_PROTO* p = CreateProtocol(lists_, dialog, &refusal)) AddItem(IDC_PROTOCOL_BOX, Text(p->name).c_str(), p, true);
    } else if (id == IDC_NEW_ADDRESS) {
        CAddAddressDialog dialog(lists_, online_);
        if (dialog.DoModal(hwnd_) != IDOK) return;
        caption = "Add Address";
        if (const PFW_ADR* a = CreateAddress(lists_, dialog, &refusal)) AddItem(IDC_ADDRESS_BOX, Text(a->name).c_str(), a, true);
    } else if (id == IDC_NEW_APP) {
        CAddApplicationDialog dialog(lists_);
        if (dialog.DoModal(hwnd_) != IDOK) return;
        caption = "Add Application";
        if (const PFW_APP* a = CreateApplication(lists_, dialog, &refusal))
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
    ReadValues();
    auto protocol = static_cast<const PFW_PROTO*>(SelectedRecord(IDC_PROTOCOL_BOX));
    auto address = static_cast<const PFW_ADR*>(SelectedRecord(IDC_ADDRESS_BOX));
    auto app = static_cast<const PFW_APP*>(SelectedRecord(IDC_APP_BOX));
    if (!protocol || !address || !app || direction_ < 0 || action_ < 0) return;
    int p = static_cast<int>(protocol->key), a = static_cast<int>(address->key), x = static_cast<int>(app->key);

    if (PFW_GetRuleByNumbers(lists_.rules, p, a, x, direction_, nullptr, nullptr)) {
        winui::ShowMessageBox(hwnd_, "A rule with these parameters already exists!", "Add Rule",
                              MB_OK | MB_ICONINFORMATION);
        return;
    }
    PFW_AddRule(lists_.rules, p, a, x, direction_, action_, log_);
    int key = -1;
    if (PFW_RULE* rule = PFW_GetRuleByNumbers(lists_.rules, p, a, x, direction_, &key, nullptr)) {
        PFW_AddRuleIntoRegistry(*rule);
        resultKey_ = key;
    } else {
        winui::ShowMessageBox(hwnd_, "Rule creation failed!", kProgramTitle, MB_OK);
        resultKey_ = -1;
    }
    EndDialog(IDOK);
}

}  // namespace edictor
