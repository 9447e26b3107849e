// COptionsDialog - "Options" (template 103): the Logging, Password and Timer pages behind
// one tab control. A page is shown by showing its controls; all are siblings of the tab.
// OK stores the Logging page whichever page shows; the Password and Timer pages act at
// once on their buttons.
#pragma once
#include <windows.h>

#include "dialog.h"

namespace wayguard {

class COptionsDialog : public winui::Dialog {
public:
    enum Page { kLogging = 0, kPassword = 1, kTimer = 2 };

    // `monitor`: the monitor window, which owns the countdown timer and is redrawn.
    explicit COptionsDialog(HWND monitor);

    // Set before opening to start on the Timer page; cleared by the initialisation.
    int openOnTimer = 0;

    void ShowPage(Page page);
    Page CurrentPage() const;

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    LRESULT OnNotify(NMHDR* header) override;
    void OnOK() override;

private:
    void HideAllPages();
    void Browse();
    void CurrentPasswordChanged();
    void ChangePassword();
    void SetOrStopTimer();
    int Message(const char* text, UINT flags);

    HWND monitor_;
};

}  // namespace wayguard
