// edictor.exe: Tarnwall's rule editor.
#include <windows.h>

#include "main_frame.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int showCommand) {
    edictor::CEdictorApp app;
    if (!app.InitInstance(showCommand)) return 1;
    return app.Run();
}
