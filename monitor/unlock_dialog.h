// CUnlockDialog - asks for the password (template 130). Ends with IDOK only when the text
// equals the stored password it was given, byte for byte; a wrong one ends it like Cancel,
// without a message.
#pragma once
#include <string>

#include "dialog.h"

namespace wayguard {

class CUnlockDialog : public winui::Dialog {
 public:
  // `stored`: the password to compare with; null matches nothing.
  explicit CUnlockDialog(const char* stored);

 protected:
  BOOL OnInitDialog() override;
  void OnOK() override;
  void OnDestroy() override;

 private:
  bool hasStored_;
  std::string stored_;
};

// The unlock dialog on screen, or null: the prompt keeps clear of its password box.
HWND OpenUnlockWindow();

}  // namespace wayguard
