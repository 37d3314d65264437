; The Windows installer of Varnetik: installs varnetik.exe, varnetik-slave.exe, the licence and the
; read-me, a Start-menu entry and an entry in the installed-programs list with an uninstaller.
;
; The CMake target windows-packages builds it (scripts/package-windows) and defines:
;   VERSION          the project's version, as shown to the user
;   VERSION_NUMERIC  the same as four numbers, for the file's version resource
;   PUBLISHER        the publisher named in the installed-programs list
;   FILES            the folder holding the files to install
;   ICON             the program's icon
;   OUTFILE          the installer to write
;
; Technicians often have no administrator rights, so it installs for the current user by default
; (%LOCALAPPDATA%\Programs\Varnetik, HKCU, no elevation). /ALLUSERS, or the choice on the first page,
; installs for all users (Program Files, HKLM); an installer without administrator rights then starts
; itself again through the consent prompt. /S installs without questions; /D=<folder> (last) sets the
; folder. A newer version installed over an older one runs the old one's uninstaller first, so that
; there is one entry and no file only the old version had.

; A 64-bit installer for 64-bit programs (and Wine's 64-bit loader runs it without a 32-bit Wine).
Unicode true
Target amd64-unicode
ManifestDPIAware true
ManifestSupportedOS Win10
RequestExecutionLevel user
SetCompressor /SOLID lzma

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include WinVer.nsh
!include nsDialogs.nsh

; The relaunch below lays out SHELLEXECUTEINFOW for 8-byte pointers.
!if ${NSIS_PTR_SIZE} != 8
  !error "varnetik.nsi expects the 64-bit installer stub"
!endif

!define PRODUCT "Varnetik"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Varnetik"
!define UNINSTALLER "Uninstall.exe"
!define START_MENU_LINK "$SMPROGRAMS\Varnetik.lnk"
; Per-monitor DPI v2, which the window uses, came with Windows 10 1703 (build 15063).
!define LOWEST_WINDOWS_BUILD 15063

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
BrandingText "${PRODUCT} ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION_NUMERIC}"
VIFileVersion "${VERSION_NUMERIC}"
VIAddVersionKey /LANG=0 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=0 "FileDescription" "${PRODUCT} ${VERSION} Setup"
VIAddVersionKey /LANG=0 "LegalCopyright" "MIT License"

; The files of an installation, named once for the installer and the uninstaller.
!macro ForEachProgramFile action
  !insertmacro ${action} "varnetik.exe"
  !insertmacro ${action} "varnetik-slave.exe"
  !insertmacro ${action} "LICENSE.txt"
  !insertmacro ${action} "LIESMICH.txt"
!macroend
!macro InstallProgramFile name
  File "${FILES}\${name}"
!macroend
!macro RemoveProgramFile name
  Delete "$INSTDIR\${name}"
!macroend

Var PerMachine          ; 1: for all users of the machine
Var ModeFromCommandLine ; 1: /ALLUSERS or /CURRENTUSER was given, the page does not ask
Var DirFromCommandLine  ; the /D= folder, empty when none was given
Var AllUsersRadio

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING

Page custom InstallModePage InstallModePageLeave
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\varnetik.exe"
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\LIESMICH.txt"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "German"

; True (1 in $0) when this process holds administrator rights; under UAC an administrator's
; unelevated process counts as a user.
!macro DefineIsAdmin prefix
  Function ${prefix}IsAdmin
    UserInfo::GetAccountType
    Pop $0
    ${If} $0 == "Admin"
      StrCpy $0 1
    ${Else}
      StrCpy $0 0
    ${EndIf}
  FunctionEnd
!macroend
!insertmacro DefineIsAdmin ""
!insertmacro DefineIsAdmin "un."

; Starts this program again with the arguments in $0 through the consent prompt ("runas"), waits for
; it and ends with its exit code. Declining the prompt ends with 1223 (ERROR_CANCELLED).
!macro DefineRelaunchElevated prefix
  Function ${prefix}RelaunchElevated
    ; SHELLEXECUTEINFOW, 112 bytes: cbSize, fMask = SEE_MASK_NOCLOSEPROCESS, hwnd, lpVerb, lpFile,
    ; lpParameters, lpDirectory, nShow = SW_SHOWNORMAL and 4 bytes of padding, hInstApp, lpIDList,
    ; lpClass, hkeyClass, dwHotKey and 4 bytes of padding, hIcon, hProcess.
    System::Call '*(i 112, i 0x40, p $HWNDPARENT, w "runas", w "$EXEPATH", w "$0", p 0, i 1, i 0, p 0, p 0, p 0, p 0, i 0, i 0, p 0, p 0) p .r1'
    System::Call 'shell32::ShellExecuteExW(p r1) i .r2'
    ${If} $2 = 0
      System::Free $1
      MessageBox MB_ICONSTOP "Ohne Administratorrechte kann ${PRODUCT} nicht für alle Benutzer eingerichtet werden." /SD IDOK
      SetErrorLevel 1223
      Quit
    ${EndIf}
    System::Call '*$1(i, i, p, p, p, p, p, i, i, p, p, p, p, i, i, p, p .r3)'
    System::Free $1
    System::Call 'kernel32::WaitForSingleObject(p r3, i -1)'
    System::Call 'kernel32::GetExitCodeProcess(p r3, *i .r4)'
    System::Call 'kernel32::CloseHandle(p r3)'
    SetErrorLevel $4
    Quit
  FunctionEnd
!macroend
!insertmacro DefineRelaunchElevated ""
!insertmacro DefineRelaunchElevated "un."

; Sets the shell folders, the registry hive (SHCTX) and the folder for the chosen mode. An existing
; installation of that mode keeps its folder, unless /D= names another.
Function ApplyInstallMode
  ${If} $PerMachine = 1
    SetShellVarContext all
    StrCpy $INSTDIR "$PROGRAMFILES64\${PRODUCT}"
  ${Else}
    SetShellVarContext current
    StrCpy $INSTDIR "$LOCALAPPDATA\Programs\${PRODUCT}"
  ${EndIf}
  ReadRegStr $0 SHCTX "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 != ""
    StrCpy $INSTDIR $0
  ${EndIf}
  ${If} $DirFromCommandLine != ""
    StrCpy $INSTDIR $DirFromCommandLine
  ${EndIf}
FunctionEnd

; For all users without administrator rights: start again elevated, with the same arguments.
Function ElevateIfPerMachine
  ${If} $PerMachine = 1
    Call IsAdmin
    ${If} $0 = 0
      ${GetParameters} $0
      StrCpy $0 "$0 /ALLUSERS"
      ${If} $DirFromCommandLine != ""
        StrCpy $0 "$0 /D=$DirFromCommandLine"
      ${EndIf}
      Call RelaunchElevated
    ${EndIf}
  ${EndIf}
FunctionEnd

Function .onInit
  ${IfNot} ${AtLeastWin10}
  ${OrIfNot} ${AtLeastBuild} ${LOWEST_WINDOWS_BUILD}
    MessageBox MB_ICONSTOP "${PRODUCT} braucht Windows 10 Version 1703 oder neuer." /SD IDOK
    SetErrorLevel 1
    Quit
  ${EndIf}
  StrCpy $DirFromCommandLine $INSTDIR

  ; Without a choice, an installation for all users that exists without one for this user is kept
  ; in its mode, so that an update does not add a second entry.
  StrCpy $PerMachine 0
  ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ReadRegStr $1 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 == ""
  ${AndIf} $1 != ""
    StrCpy $PerMachine 1
  ${EndIf}
  ${GetParameters} $2
  ClearErrors
  ${GetOptions} $2 "/ALLUSERS" $3
  ${IfNot} ${Errors}
    StrCpy $PerMachine 1
    StrCpy $ModeFromCommandLine 1
  ${EndIf}
  ClearErrors
  ${GetOptions} $2 "/CURRENTUSER" $3
  ${IfNot} ${Errors}
    StrCpy $PerMachine 0
    StrCpy $ModeFromCommandLine 1
  ${EndIf}
  ${If} $ModeFromCommandLine = 1
  ${OrIf} ${Silent}
    Call ElevateIfPerMachine
  ${EndIf}
  Call ApplyInstallMode
FunctionEnd

Function InstallModePage
  ${If} $ModeFromCommandLine = 1
    Abort
  ${EndIf}
  !insertmacro MUI_HEADER_TEXT "Installationsart" "Für wen soll ${PRODUCT} eingerichtet werden?"
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateRadioButton} 0 10u 100% 12u "Nur für mich (ohne Administratorrechte)"
  Pop $1
  ${NSD_CreateRadioButton} 0 30u 100% 12u "Für alle Benutzer dieses Computers (Administratorrechte nötig)"
  Pop $AllUsersRadio
  ${If} $PerMachine = 1
    ${NSD_Check} $AllUsersRadio
  ${Else}
    ${NSD_Check} $1
  ${EndIf}
  nsDialogs::Show
FunctionEnd

Function InstallModePageLeave
  ${NSD_GetState} $AllUsersRadio $0
  ${If} $0 = ${BST_CHECKED}
    StrCpy $PerMachine 1
  ${Else}
    StrCpy $PerMachine 0
  ${EndIf}
  Call ElevateIfPerMachine
  Call ApplyInstallMode
FunctionEnd

; Runs the uninstaller of an installation of this mode in place (_?= keeps it from copying itself
; away and returning at once), then removes it and its folder when empty.
Function RemovePreviousInstallation
  ReadRegStr $0 SHCTX "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 != ""
  ${AndIf} ${FileExists} "$0\${UNINSTALLER}"
    DetailPrint "Entferne die vorhandene Installation in $0"
    ExecWait '"$0\${UNINSTALLER}" /S _?=$0' $1
    Delete "$0\${UNINSTALLER}"
    RMDir "$0"
  ${EndIf}
FunctionEnd

Section "Varnetik"
  Call RemovePreviousInstallation
  SetOutPath "$INSTDIR"
  !insertmacro ForEachProgramFile InstallProgramFile
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"
  CreateShortcut "${START_MENU_LINK}" "$INSTDIR\varnetik.exe"

  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\varnetik.exe"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; The uninstaller belongs to an installation for all users when the machine's entry names its folder.
Function un.onInit
  SetShellVarContext current
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 == $INSTDIR
    SetShellVarContext all
    Call un.IsAdmin
    ${If} $0 = 0
      ${GetParameters} $0
      StrCpy $0 "$0 _?=$INSTDIR"
      Call un.RelaunchElevated
    ${EndIf}
  ${EndIf}
FunctionEnd

; Removes only what the installer put there: files the user added to the folder stay, and so does
; the folder then.
Section "Uninstall"
  !insertmacro ForEachProgramFile RemoveProgramFile
  Delete "$INSTDIR\${UNINSTALLER}"
  RMDir "$INSTDIR"
  Delete "${START_MENU_LINK}"
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"
SectionEnd
