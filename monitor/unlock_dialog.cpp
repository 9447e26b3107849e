#include "unlock_dialog.h"

#include "monitor_rules.h"
#include "tessary.h"
#include "wayguard_ids.h"

namespace wayguard {

CUnlockDialog::CUnlockDialog() : Dialog(IDD_UNLOCK) {}

BOOL CUnlockDialog::OnInitDialog() {
    SetFocus(Item(IDC_UNLOCK_PASSWORD));
    return FALSE;
}

void CUnlockDialog::OnOK() {
    EndDialog(PasswordMatches(GetItemText(IDC_UNLOCK_PASSWORD), PFW_GetPassword()) ? IDOK : IDCANCEL);
}

}  // namespace wayguard
