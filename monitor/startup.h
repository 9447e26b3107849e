// The application: the hidden start-up window that the program lives as long as, the
// About box (also the splash), and the single-instance test.
#pragma once
#include <windows.h>

#include "dialog.h"
#include "monitor_dialog.h"

namespace wayguard {

class CAboutDialog : public winui::Dialog {
public:
    CAboutDialog();
};

// "Only one monitor runs": the name of the monitor's winui::InstanceClaim.
#define WAYGUARD_INSTANCE_NAME "PFW_WAYGUARD_INSTANCE"

// True when a monitor window is recorded in the global state block and still exists. A
// handle left behind by a monitor that was killed does not count, or no monitor could
// start again until every process holding the block had ended.
bool AnotherMonitorRuns();

class CStartupDialog : public winui::Dialog {
public:
    explicit CStartupDialog(DWORD splashMs = 2000);
    bool refused() const { return refused_; }
    CMonitorDialog& monitor() { return monitor_; }

protected:
    BOOL OnInitDialog() override;
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void Splash();
    DWORD splashMs_;
    bool refused_ = false;
    CMonitorDialog monitor_;
};

class CMonitorApp {
public:
    // Runs the program; 0 when it ran as the monitor, 1 when another monitor was running.
    int Run();
};

// The help file: the Windows directory followed by "\Tarnwall.hlp".
const char* HelpFilePath();

}  // namespace wayguard
