; tarnwall.nsi - installs Tarnwall and makes its starting rule set.
;
; Built by installer.cmake, which passes:
;   BIN              folder of the built programs and tessary.dll
;   GENERATED        folder of starting_values.nsh
;   OUTFILE          the installer to write
;   WIZARD_DATA      folder of the wizard's provider and application lists (may not exist)
;   HELP_FILE        the help file (may not exist)
;   PRODUCT_VERSION  x.y
;
; Silent use: "tarnwall-setup.exe /S" installs, "uninstall.exe /S _?=<install folder>"
; uninstalls in place so that the caller can wait for it.

Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include "${GENERATED}/starting_values.nsh"
!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"

!define BASE_KEY "SOFTWARE\${SV_MAKER}\${SV_PRODUCT}\${SV_VERSION}"
!define RULES_KEY "${BASE_KEY}\Rules"
!define RULE_SET_KEY "${RULES_KEY}\${SV_RULE_SET_NAME}"
!define UNINSTALL_KEY "SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\${SV_UNINSTALL_KEY_NAME}"
; "EdictorPath" is read back into a buffer of 255 bytes, its NUL included.
!define EDICTOR_PATH_LIMIT 254

!include "WinMessages.nsh"
; Edictor's File > Exit.
!define EDICTOR_EXIT_COMMAND 32772
!define SYNCHRONIZE 0x00100000

Name "${SV_PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${SV_INSTALL_SUBDIR}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${PRODUCT_VERSION}.0.0"
VIAddVersionKey "ProductName" "${SV_PRODUCT}"
VIAddVersionKey "CompanyName" "${SV_MAKER}"
VIAddVersionKey "FileDescription" "${SV_PRODUCT} Setup"
VIAddVersionKey "FileVersion" "${PRODUCT_VERSION}"
VIAddVersionKey "ProductVersion" "${PRODUCT_VERSION}"
VIAddVersionKey "LegalCopyright" "${SV_MAKER}"

!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_WELCOME
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE DirectoryLeave
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!if /FileExists "${BIN}/kindler.exe"
  ; The wizard writes the user's first rules; offer it once the files are in place.
  !define MUI_FINISHPAGE_RUN "$INSTDIR\kindler.exe"
  !define MUI_FINISHPAGE_RUN_TEXT "Run the Tarnwall Setup Wizard"
!endif
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

Function .onInit
  ; Our programs are 64-bit and read the 64-bit registry.
  SetRegView 64
  SetShellVarContext all
  ; A silent install has no folder page: a folder given with /D is checked here.
  ${If} ${Silent}
    Call CheckInstallFolder
    ${If} $0 != ""
      SetErrorLevel 2
      Quit
    ${EndIf}
  ${EndIf}
FunctionEnd

; $0: empty when $INSTDIR can be used, else why not. The programs read their paths as
; 8-bit text in the system's code page: a folder name outside it comes back garbled, and
; "EdictorPath" must fit its 254 bytes in that code page.
Function CheckInstallFolder
  Push $1
  Push $2
  ; Bytes in the ANSI code page, NUL included, and whether a character had no place in it
  ; (a UTF-8 code page has a place for every character and takes no such question).
  System::Call 'kernel32::GetACP() i .r2'
  ${If} $2 == 65001
    System::Call 'kernel32::WideCharToMultiByte(i 0, i 0, w "$INSTDIR\${SV_EDICTOR_PROGRAM}", i -1, p 0, i 0, p 0, p 0) i .r1'
    StrCpy $2 0
  ${Else}
    System::Call 'kernel32::WideCharToMultiByte(i 0, i 0x400, w "$INSTDIR\${SV_EDICTOR_PROGRAM}", i -1, p 0, i 0, p 0, *i 0 r2) i .r1'
  ${EndIf}
  StrCpy $0 ""
  ${If} $2 != 0
  ${OrIf} $1 == 0
    StrCpy $0 "The folder $INSTDIR has characters in its name that Tarnwall's programs cannot read.  Please choose a folder whose name uses only the characters of this computer's language setting."
  ${Else}
    IntOp $1 $1 - 1
    ${If} $1 > ${EDICTOR_PATH_LIMIT}
      StrCpy $0 "The folder $INSTDIR is too long: the Edictor's path in it would be $1 characters, and it may have at most ${EDICTOR_PATH_LIMIT}.  Please choose a shorter folder."
    ${EndIf}
  ${EndIf}
  Pop $2
  Pop $1
FunctionEnd

Function DirectoryLeave
  Call CheckInstallFolder
  ${If} $0 != ""
    MessageBox MB_OK|MB_ICONEXCLAMATION "$0" /SD IDOK
    Abort
  ${EndIf}
FunctionEnd

; $R0: how many folders, from the folder in $R1 upwards, do not exist yet (and so are
; made by this installation).
Function CountNewFolders
  Push $R1
  StrCpy $R0 0
  ${DoWhile} $R1 != ""
    ${If} ${FileExists} "$R1\*.*"
      ${Break}
    ${EndIf}
    IntOp $R0 $R0 + 1
    ${GetParent} $R1 $R1
  ${Loop}
  Pop $R1
FunctionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Section "Tarnwall" SecMain
  SectionIn RO
  ; Which folders this installation makes, so that the uninstaller removes those and no
  ; folder that was there before. A reinstall into the same folder finds them made and
  ; keeps what the first installation recorded.
  ClearErrors
  ReadRegStr $R2 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  StrCpy $R1 "$INSTDIR"
  Call CountNewFolders
  ${If} $R0 > 0
  ${OrIf} $R2 != "$INSTDIR"
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "CreatedFolders" $R0
  ${EndIf}
  StrCpy $R1 "$APPDATA\${SV_LOG_SUBDIR}"
  Call CountNewFolders
  ${If} $R0 > 0
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "CreatedLogFolders" $R0
  ${EndIf}
  SetOutPath "$INSTDIR"
  File "${BIN}/${SV_LIBRARY}"
  CreateDirectory "$SMPROGRAMS\${SV_MENU_FOLDER}"
  !insertmacro SV_INSTALL_PROGRAMS
  !if /FileExists "${WIZARD_DATA}/PROVIDER.LST"
    File "${WIZARD_DATA}/*.*"
  !endif
  !if /FileExists "${HELP_FILE}"
    SetOutPath "$WINDIR"
    File "${HELP_FILE}"
    SetOutPath "$INSTDIR"
  !endif

  WriteINIStr "$WINDIR\${SV_FEEDBACK_FILE}" "InternetShortcut" "URL" "${SV_FEEDBACK_URL}"

  ; The connection log is written by the monitor, which runs as the user, so its folder
  ; lies below the common application data folder, which users may write.
  CreateDirectory "$APPDATA\${SV_LOG_SUBDIR}"

  ; A reinstall over an existing rule set keeps the user's rules and options; only a
  ; machine without one gets the starting rule set.
  ClearErrors
  ReadRegStr $0 HKLM "${RULES_KEY}" "ActiveRuleSet"
  ${If} ${Errors}
  ${OrIf} $0 == ""
    Call WriteStartingValues
  ${EndIf}
  ; The program may have moved.
  WriteRegStr HKLM "${RULES_KEY}" "EdictorPath" "$INSTDIR\${SV_EDICTOR_PROGRAM}"

  WriteUninstaller "$INSTDIR\${SV_UNINSTALLER}"
  CreateShortCut "$SMPROGRAMS\${SV_MENU_FOLDER}\Uninstall ${SV_PRODUCT}.lnk" "$INSTDIR\${SV_UNINSTALLER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${SV_PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${SV_MAKER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${PRODUCT_VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${SV_UNINSTALLER}"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${SV_UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Function WriteStartingValues
  WriteRegBin HKLM "${BASE_KEY}\Protocols" "${SV_PROTO_ANY_VALUE}" "${SV_PROTO_ANY_RECORD}"
  WriteRegBin HKLM "${BASE_KEY}\Addresses" "${SV_ADR_ANY_VALUE}" "${SV_ADR_ANY_RECORD}"
  WriteRegBin HKLM "${BASE_KEY}\Applications" "${SV_APP_ANY_VALUE}" "${SV_APP_ANY_RECORD}"
  ; Loading numbers the rules in the order the registry lists them, and keys 0 and 1
  ; are the default inbound and outbound rules: write them first and in that order.
  WriteRegBin HKLM "${RULE_SET_KEY}" "${SV_RULE_INBOUND_VALUE}" "${SV_RULE_INBOUND_RECORD}"
  WriteRegBin HKLM "${RULE_SET_KEY}" "${SV_RULE_OUTBOUND_VALUE}" "${SV_RULE_OUTBOUND_RECORD}"
  WriteRegStr HKLM "${RULE_SET_KEY}" "LogFile" "$APPDATA\${SV_LOG_SUBDIR}\${SV_LOG_FILE}"
  WriteRegBin HKLM "${RULES_KEY}" "Options" "${SV_OPTIONS_RECORD}"
  ; Written last: its presence marks a complete rule set for a later reinstall.
  WriteRegStr HKLM "${RULES_KEY}" "ActiveRuleSet" "${SV_RULE_SET_NAME}"
FunctionEnd

; Ends every running program whose window matches through the program's own quit path
; (MESSAGE with WPARAM, sent to that window), and waits for its process to end.
!macro CloseProgram CLASS TITLE MESSAGE WPARAM
  ${For} $R5 1 8
    FindWindow $R6 "${CLASS}" "${TITLE}"
    ${If} $R6 == 0
      ${Break}
    ${EndIf}
    System::Call 'user32::GetWindowThreadProcessId(p R6, *i 0 r7)'
    System::Call 'kernel32::OpenProcess(i ${SYNCHRONIZE}, i 0, i r7) p .r8'
    !if "${MESSAGE}" == "${WM_ENDSESSION}"
      SendMessage $R6 ${WM_QUERYENDSESSION} 0 0 /TIMEOUT=5000
    !endif
    SendMessage $R6 ${MESSAGE} ${WPARAM} 0 /TIMEOUT=5000
    ${If} $8 != 0
      System::Call 'kernel32::WaitForSingleObject(p r8, i 10000)'
      System::Call 'kernel32::CloseHandle(p r8)'
    ${EndIf}
  ${Next}
!macroend

; Removes the folder in $R1 and, going up, as many of its parents as $R0 counts in all,
; each only when empty.
Function un.RemoveMadeFolders
  ${DoWhile} $R0 > 0
    RMDir "$R1"
    ${If} ${FileExists} "$R1\*.*"
      ${Break}
    ${EndIf}
    IntOp $R0 $R0 - 1
    ${GetParent} $R1 $R1
  ${Loop}
FunctionEnd

Section "Uninstall"
  ; Files in use would stay behind: the monitor and the editor end first, each by the
  ; way it ends with the Windows session or its Exit command.
  !insertmacro CloseProgram "#32770" "Tarnwall Wayguard" ${WM_ENDSESSION} 1
  !insertmacro CloseProgram "TarnwallEdictorFrame" "" ${WM_COMMAND} ${EDICTOR_EXIT_COMMAND}

  ; What the installation made; one without a record made its own folder alone.
  ClearErrors
  ReadRegDWORD $R8 HKLM "${UNINSTALL_KEY}" "CreatedFolders"
  ${If} ${Errors}
    StrCpy $R8 1
  ${EndIf}
  ClearErrors
  ReadRegDWORD $R9 HKLM "${UNINSTALL_KEY}" "CreatedLogFolders"
  ${If} ${Errors}
    StrCpy $R9 2
  ${EndIf}

  !insertmacro SV_REMOVE_PROGRAMS
  Delete "$INSTDIR\${SV_LIBRARY}"
  !if /FileExists "${WIZARD_DATA}/PROVIDER.LST"
    Delete "$INSTDIR\PROVIDER.LST"
    Delete "$INSTDIR\*.lst"
    Delete "$INSTDIR\*.ico"
  !endif
  !if /FileExists "${HELP_FILE}"
    Delete "$WINDIR\Tarnwall.hlp"
  !endif
  Delete "$WINDIR\${SV_FEEDBACK_FILE}"
  Delete "$SMPROGRAMS\${SV_MENU_FOLDER}\Uninstall ${SV_PRODUCT}.lnk"
  RMDir "$SMPROGRAMS\${SV_MENU_FOLDER}"

  ; The connection log is the user's record and stays; its folders go when empty.
  StrCpy $R0 $R9
  StrCpy $R1 "$APPDATA\${SV_LOG_SUBDIR}"
  Call un.RemoveMadeFolders

  DeleteRegKey HKLM "${BASE_KEY}"
  DeleteRegKey /ifempty HKLM "SOFTWARE\${SV_MAKER}\${SV_PRODUCT}"
  DeleteRegKey /ifempty HKLM "SOFTWARE\${SV_MAKER}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"

  Delete "$INSTDIR\${SV_UNINSTALLER}"
  StrCpy $R0 $R8
  StrCpy $R1 "$INSTDIR"
  Call un.RemoveMadeFolders
SectionEnd
