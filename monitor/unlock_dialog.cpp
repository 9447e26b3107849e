#include "unlock_dialog.h"

#include "monitor_rules.h"
#include "wayguard_ids.h"

namespace wayguard {

namespace {
HWND g_open = nullptr;
}

HWND OpenUnlockWindow() { return g_open; }

CUnlockDialog::CUnlockDialog(const char* stored)
    : Dialog(IDD_UNLOCK), hasStored_(stored != nullptr), stored_(stored ? stored : "") {}

void CUnlockDialog::OnDestroy() {
  if (g_open == hwnd_) g_open = nullptr;
}

BOOL CUnlockDialog::OnInitDialog() {
  g_open = hwnd_;
  SetFocus(Item(IDC_UNLOCK_PASSWORD));
  return FALSE;
}

void CUnlockDialog::OnOK() {
  EndDialog(PasswordMatches(GetItemText(IDC_UNLOCK_PASSWORD), hasStored_ ? stored_.c_str() : nullptr) ? IDOK
                                                                                                      : IDCANCEL);
}

}  // namespace wayguard
