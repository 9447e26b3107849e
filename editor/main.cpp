// edictor.exe: Tarnwall's rule editor.
#include <windows.h>

#include "main_frame.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int showCommand) {
  edictor::CEdictorApp app;
  // A second editor ends here, silently, with no window and no message, and leaves the
  // running one as it is.
  if (!app.ClaimInstance()) return 0;
  if (!app.InitInstance(showCommand)) return 1;
  return app.Run();
}
