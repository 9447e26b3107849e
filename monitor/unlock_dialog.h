// CUnlockDialog - asks for the password (template 130). Ends with IDOK only when the text
// equals the password byte for byte; a wrong one ends it like Cancel, without a message.
#pragma once
#include "dialog.h"

namespace wayguard {

class CUnlockDialog : public winui::Dialog {
public:
    CUnlockDialog();

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnDestroy() override;
};

// The unlock dialog on screen, or null: the prompt keeps clear of its password box.
HWND OpenUnlockWindow();

}  // namespace wayguard
