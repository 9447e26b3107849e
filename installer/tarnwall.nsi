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

!define BASE_KEY "SOFTWARE\${SV_MAKER}\${SV_PRODUCT}\${SV_VERSION}"
!define RULES_KEY "${BASE_KEY}\Rules"
!define RULE_SET_KEY "${RULES_KEY}\${SV_RULE_SET_NAME}"
!define UNINSTALL_KEY "SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\${SV_UNINSTALL_KEY_NAME}"

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
FunctionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Section "Tarnwall" SecMain
  SectionIn RO
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

Section "Uninstall"
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

  ; The connection log is the user's record and stays; its folder goes when empty.
  RMDir "$APPDATA\${SV_LOG_SUBDIR}"
  RMDir "$APPDATA\${SV_MAKER}"

  DeleteRegKey HKLM "${BASE_KEY}"
  DeleteRegKey /ifempty HKLM "SOFTWARE\${SV_MAKER}\${SV_PRODUCT}"
  DeleteRegKey /ifempty HKLM "SOFTWARE\${SV_MAKER}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"

  Delete "$INSTDIR\${SV_UNINSTALLER}"
  RMDir "$INSTDIR"
  ; The maker's folder in Program Files, when nothing else of it is left.
  RMDir "$INSTDIR\.."
SectionEnd
