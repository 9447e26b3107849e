// wayguard.exe: the connection monitor.
#include <windows.h>

#include "startup.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return wayguard::CMonitorApp().Run(); }
