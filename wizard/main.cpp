// kindler.exe: Tarnwall's setup wizard.
#include <windows.h>

#include <string>

#include "controls.h"
#include "frm_wizard.h"
#include "seams.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  HCURSOR normal = SetCursor(LoadCursor(nullptr, IDC_WAIT));

  // Every relative name the wizard opens (PROVIDER.LST, the lists and icons it names)
  // lies beside the program. Should this fail, the names are tried where we are.
  char path[MAX_PATH] = "";
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (length > 0 && length < MAX_PATH) {
    std::string folder(path, length);
    folder.resize(folder.find_last_of("\\/") + 1);
    SetCurrentDirectoryA(folder.c_str());
  }

  winui::InitCommonControls();
  kindler::WizardLists lists(kindler::ReadFileFromDisk, [](const std::string& message) {
    winui::ShowMessageBox(GetActiveWindow(), message.c_str(), kindler::kSetupTitle, MB_ICONEXCLAMATION | MB_OK);
  });
  // The lists are 8-bit text in the system's code page; their fields are cut between its characters.
  lists.SetCodePage(kindler::CodePageOf(GetACP()));
  kindler::FrmWizard wizard(lists);
  wizard.SetQuitOnClose(true);
  bool started = kindler::StartWizard(wizard, lists);
  SetCursor(normal);
  if (!started) return 1;
  return kindler::RunMessageLoop(wizard);
}
