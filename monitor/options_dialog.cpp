#include "options_dialog.h"

#include <commdlg.h>
#include <string.h>

#include <string>

#include "controls.h"
#include "monitor_dialog.h"
#include "monitor_rules.h"
#include "seams.h"
#include "stored_options.h"
#include "tessary.h"
#include "wayguard_ids.h"

namespace wayguard {

namespace {

const int kLoggingPage[] = {IDC_FILENAME, IDC_LOG_FULLY_ARMED, IDC_FILENAME_LABEL, IDC_LOG_STAND_BY, IDC_BROWSE};
const int kPasswordPage[] = {IDC_CURRENT_LABEL, IDC_NEW_PASSWORD, IDC_NEW_LABEL, IDC_CURRENT_PASSWORD,
                             IDC_AGAIN_PASSWORD, IDC_AGAIN_LABEL, IDC_CHANGE_PASSWORD};
const int kNewPasswordControls[] = {IDC_NEW_PASSWORD, IDC_AGAIN_PASSWORD, IDC_NEW_LABEL, IDC_AGAIN_LABEL,
                                    IDC_CHANGE_PASSWORD};
const int kTimerPage[] = {IDC_MINUTES, IDC_TIMER_LABEL, IDC_MINUTES_LABEL, IDC_SET_TIMER};
const int kMinutesControls[] = {IDC_MINUTES, IDC_TIMER_LABEL, IDC_MINUTES_LABEL};

}  // namespace

COptionsDialog::COptionsDialog(HWND monitor) : Dialog(IDD_OPTIONS), monitor_(monitor) {}

int COptionsDialog::Message(const char* text, UINT flags) { return winui::ShowMessageBox(hwnd_, text, kCaption, flags); }

void COptionsDialog::HideAllPages() {
    for (int id : kLoggingPage) ShowItem(id, false);
    for (int id : kPasswordPage) ShowItem(id, false);
    for (int id : kTimerPage) ShowItem(id, false);
}

BOOL COptionsDialog::OnInitDialog() {
    HideAllPages();
    winui::TabCtrl tabs(Item(IDC_TAB));
    tabs.Insert(kLogging, "Logging");
    tabs.Insert(kPassword, "Password");
    tabs.Insert(kTimer, "Timer");
    Page first = openOnTimer ? kTimer : kLogging;
    tabs.SetCurrent(first);
    ShowPage(first);
    SendItem(IDC_FILENAME, EM_LIMITTEXT, PFW_LOG_FILE_NAME_SIZE + 100);  // room to see a name is too long
    SetItemText(IDC_FILENAME, PFW_GetLogFileName() ? PFW_GetLogFileName() : "");
    SetCheck(IDC_LOG_FULLY_ARMED, PFW_GetLogFullyArmed() != 0);
    SetCheck(IDC_LOG_STAND_BY, PFW_GetLogStandBy() != 0);
    openOnTimer = 0;
    return TRUE;
}

COptionsDialog::Page COptionsDialog::CurrentPage() const {
    return static_cast<Page>(winui::TabCtrl(Item(IDC_TAB)).Current());
}

void COptionsDialog::ShowPage(Page page) {
    switch (page) {
    case kLogging:
        for (int id : kLoggingPage) ShowItem(id, true);
        break;
    case kPassword:
        for (int id : kPasswordPage) ShowItem(id, true);
        for (int id : kNewPasswordControls) EnableItem(id, false);
        SetItemText(IDC_NEW_PASSWORD, "");
        SetItemText(IDC_AGAIN_PASSWORD, "");
        SetItemText(IDC_CURRENT_PASSWORD, "");
        // The emptying counts as a change: with no password set, the new fields open at once.
        CurrentPasswordChanged();
        break;
    case kTimer:
        for (int id : kTimerPage) ShowItem(id, true);
        if (PFW_GetTimerActive()) {
            for (int id : kMinutesControls) EnableItem(id, false);
            SetItemText(IDC_SET_TIMER, "Stop Timer");
        }
        break;
    }
}

LRESULT COptionsDialog::OnNotify(NMHDR* header) {
    if (header->idFrom == IDC_TAB && header->code == TCN_SELCHANGE) {
        HideAllPages();
        ShowPage(CurrentPage());
    }
    return 0;
}

bool COptionsDialog::OnCommand(int id, int code, HWND control) {
    switch (id) {
    case IDC_BROWSE: if (code == BN_CLICKED) Browse(); return true;
    case IDC_CURRENT_PASSWORD: if (code == EN_CHANGE) CurrentPasswordChanged(); return true;
    case IDC_CHANGE_PASSWORD: if (code == BN_CLICKED) ChangePassword(); return true;
    case IDC_SET_TIMER: if (code == BN_CLICKED) SetOrStopTimer(); return true;
    }
    return Dialog::OnCommand(id, code, control);
}

void COptionsDialog::Browse() {
    char file[MAX_PATH] = "";
    if (const char* current = PFW_GetLogFileName()) lstrcpynA(file, current, sizeof file);
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    // Owned by this dialog, so that the options stay modal under the file chooser.
    ofn.hwndOwner = hwnd_;
    ofn.lpstrFilter = "Log Files (*.log)\0*.log\0\0";
    ofn.lpstrFile = file;
    ofn.nMaxFile = sizeof file;
    ofn.lpstrDefExt = "log";
    ofn.Flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
    if (GetOpenFileNameA(&ofn)) SetItemText(IDC_FILENAME, file);
}

void COptionsDialog::OnOK() {
    std::string name = GetItemText(IDC_FILENAME);
    std::string error;
    if (!LogFileNameFits(name, error)) {
        Message(error.c_str(), MB_OK | MB_ICONEXCLAMATION);
        SetFocus(Item(IDC_FILENAME));
        return;
    }
    PFW_SetLogFileName(name.c_str());
    PFW_SetLogFileNameInRegistry(name.c_str());
    int fullyArmed = IsChecked(IDC_LOG_FULLY_ARMED) ? 1 : 0;
    int standBy = IsChecked(IDC_LOG_STAND_BY) ? 1 : 0;
    ChangeStoredOptions([&](PFW_OPTIONS& o) {
        o.log_fully_armed = fullyArmed;
        o.log_stand_by = standBy;
    });
    PFW_SetLogFullyArmed(fullyArmed);
    PFW_SetLogStandBy(standBy);
    EndDialog(IDOK);
}

void COptionsDialog::CurrentPasswordChanged() {
    if (!PasswordMatches(GetItemText(IDC_CURRENT_PASSWORD), PFW_GetPassword())) return;
    for (int id : kNewPasswordControls) EnableItem(id, true);
}

void COptionsDialog::ChangePassword() {
    std::string fresh = GetItemText(IDC_NEW_PASSWORD);
    if (fresh != GetItemText(IDC_AGAIN_PASSWORD)) {
        Message(kPasswordMismatch, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    std::string error;
    if (!PasswordFits(fresh, error)) {
        Message(error.c_str(), MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    PFW_SetPassword(fresh.c_str());
    ChangeStoredOptions([&](PFW_OPTIONS& o) {
        memset(o.password, 0, sizeof o.password);
        memcpy(o.password, fresh.c_str(), fresh.size());
    });
    Message(kPasswordChanged, MB_OK | MB_ICONINFORMATION);
}

void COptionsDialog::SetOrStopTimer() {
    if (!PFW_GetTimerActive()) {
        std::string text = GetItemText(IDC_MINUTES), error;
        std::optional<uint32_t> seconds = SecondsFromMinutes(text, error);
        if (!seconds) {
            Message(error.c_str(), error == kTimerEmpty ? MB_OK : MB_OK | MB_ICONEXCLAMATION);
            return;
        }
        PFW_SetTimerCountDown(static_cast<int>(*seconds));
        PFW_SetTimerActive(1);
        Message(kTimerSet, MB_OK);
        for (int id : kMinutesControls) EnableItem(id, false);
        SetItemText(IDC_SET_TIMER, "Stop Timer");
        ChangeStoredOptions([&](PFW_OPTIONS& o) {
            o.timer_countdown = *seconds;
            o.timer_active = 1;
        });
        SetTimer(monitor_, CMonitorDialog::kCountdownTimer, 1000, nullptr);
        return;
    }
    for (int id : kMinutesControls) EnableItem(id, true);
    SetItemText(IDC_SET_TIMER, "Set Timer");
    ChangeStoredOptions([](PFW_OPTIONS& o) { o.timer_active = 0; });
    PFW_SetTimerActive(0);
    KillTimer(monitor_, CMonitorDialog::kCountdownTimer);
    RedrawWindow(monitor_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

}  // namespace wayguard
