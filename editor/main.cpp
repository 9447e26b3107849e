// edictor.exe: Tarnwall's rule editor.
#include <windows.h>

#include "instance_claim.h"
#include "main_frame.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int showCommand) {
    // Claimed before anything else: a second editor ends here, silently, with no window
    // and no message, and leaves the running one as it is.
    winui::InstanceClaim claim(edictor::kInstanceMutexName);
    if (!claim.owned()) return 0;
    edictor::CEdictorApp app;
    if (!app.InitInstance(showCommand)) return 1;
    return app.Run();
}
