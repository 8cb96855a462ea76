; ORBANTIS for Windows: installs the automation server (orbantis.exe), its command-line
; client (orbantis-cli.exe), the README, the licence and the script examples, for all
; users (Program Files, HKLM) or for the current user only (%LOCALAPPDATA%\Programs,
; HKCU), and registers the server with its own switches.
;
; Build with makensis 3 (Debian: apt-get install nsis). makensis works in this script's
; folder, so give absolute paths:
;
;   makensis -DSRC_DIR=/abs/build-windows -DOUT_FILE=/abs/build-windows/orbantis-setup.exe \
;            -DVERSION=1.0.0 packaging/windows/orbantis.nsi
;
;   SRC_DIR       folder holding orbantis.exe and orbantis-cli.exe
;   SERVER_EXE    the server, if not SRC_DIR/orbantis.exe
;   CLI_EXE       the client, if not SRC_DIR/orbantis-cli.exe
;   OUT_FILE      the installer to write (default orbantis-setup.exe beside this script)
;   VERSION       MAJOR.MINOR.PATCH, numbers only
;   TOP_DIR       the repository, for README.md, packaging/copyright and examples/windows
;                 (default: two folders up; makensis runs in this script's folder unless
;                 given /NOCD); README_FILE, LICENSE_FILE and EXAMPLES_DIR name them one
;                 by one instead
;
; Run:
;   orbantis-setup.exe                    asks; all users when run by an administrator
;   orbantis-setup.exe /S /AllUsers       silent, all users
;   orbantis-setup.exe /S /CurrentUser    silent, the current user only
;   ... /D=C:\Other Folder                another folder (last on the line, no quotes)
;   "FOLDER\uninstall.exe" /S             silent removal; it copies itself to %TEMP% and
;                                         returns at once. To wait for it and get its exit
;                                         status, copy it out of FOLDER and run the copy
;                                         with /S _?=FOLDER (last, no quotes); run in place
;                                         with _?= it cannot remove itself and the folder
;
; Exit status: 0 done; 2 aborted (the installer: the server's registration failed, and
; what was installed is removed again); 740 all users asked for without administrator
; rights.

; The server is a 64-bit program. A 32-bit installer would see Program Files (x86) and the
; WOW6432Node view of HKLM\Software, and would not run at all under a wine64-only Wine.
Target amd64-unicode
SetCompressor /SOLID lzma
ManifestDPIAware true

!define PRODUCT "ORBANTIS"
!define PROG_ID "ORBANTIS.KELMORA"
!define PUBLISHER "The ORBANTIS developers"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\ORBANTIS"

; ---------------------------------------------------------------- inputs

!ifndef VERSION
  !error "VERSION is missing: makensis -DVERSION=1.0.0 ..."
!endif
; The file-version resource wants four numbers.
!searchparse "${VERSION}" "" VERSION_MAJOR "." VERSION_MINOR "." VERSION_PATCH

!ifndef SERVER_EXE | CLI_EXE
  !ifndef SRC_DIR
    !error "SRC_DIR is missing: makensis -DSRC_DIR=/abs/build-windows ... (or SERVER_EXE and CLI_EXE)"
  !endif
!endif
!define /ifndef SERVER_EXE "${SRC_DIR}/orbantis.exe"
!define /ifndef CLI_EXE "${SRC_DIR}/orbantis-cli.exe"
!define /ifndef TOP_DIR "../.."
!define /ifndef README_FILE "${TOP_DIR}/README.md"
!define /ifndef LICENSE_FILE "${TOP_DIR}/packaging/copyright"
!define /ifndef EXAMPLES_DIR "${TOP_DIR}/examples/windows"
!define /ifndef OUT_FILE "orbantis-setup.exe"

Name "${PRODUCT}"
OutFile "${OUT_FILE}"
BrandingText "${PRODUCT} ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION_MAJOR}.${VERSION_MINOR}.${VERSION_PATCH}.0"
VIFileVersion "${VERSION_MAJOR}.${VERSION_MINOR}.${VERSION_PATCH}.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "${PRODUCT} fiscal printer driver setup"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "LegalCopyright" "${PUBLISHER}"

; ---------------------------------------------------------------- all users or one

; Administrators get the choice (a page, or /AllUsers and /CurrentUser), all users by
; default; other users install for themselves. A previous installation's place and mode
; are taken again, so an update lands on top of it.
!define MULTIUSER_EXECUTIONLEVEL Highest
!define MULTIUSER_MUI
!define MULTIUSER_INSTALLMODE_COMMANDLINE
!define MULTIUSER_USE_PROGRAMFILES64
!define MULTIUSER_INSTALLMODE_INSTDIR "${PRODUCT}"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_VALUENAME "InstallLocation"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_VALUENAME "InstallLocation"
; The uninstaller does not ask: it serves the installation it sits in (un.onInit).
!define MULTIUSER_NOUNINSTALL

!include MultiUser.nsh
!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh

!define MUI_ABORTWARNING

!insertmacro MUI_PAGE_LICENSE "${LICENSE_FILE}"
!insertmacro MULTIUSER_PAGE_INSTALLMODE
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

; ---------------------------------------------------------------- shared by both sides

; $R3: a LocalServer32 command line; the program's path is left in $R3 (without the
; quotes, without the switches after it).
!macro COMMAND_PROGRAM
  StrCpy $R4 $R3 1
  ${If} $R4 == '"'
    StrCpy $R3 $R3 "" 1
    StrCpy $R6 '"'
  ${Else}
    StrCpy $R6 " "
  ${EndIf}
  StrCpy $R5 0
  ${Do}
    StrCpy $R4 $R3 1 $R5
    ${If} $R4 == $R6
    ${OrIf} $R4 == ""
      ${ExitDo}
    ${EndIf}
    IntOp $R5 $R5 + 1
  ${Loop}
  StrCpy $R3 $R3 $R5
!macroend

!macro REMOVAL UN
  ; Only when the server could not remove its own registration (its file gone or broken):
  ; the ProgID, class and type-library keys, if the class starts the orbantis.exe of this
  ; folder, so that no class is left pointing at a deleted file. The registration of a
  ; server elsewhere is not ours to touch. (The interface keys of the type library cannot
  ; be found without it and stay.)
  Function ${UN}ForgetClass
    ReadRegStr $R2 SHCTX "Software\Classes\${PROG_ID}\CLSID" ""
    ${If} $R2 == ""
      Return
    ${EndIf}
    ReadRegStr $R3 SHCTX "Software\Classes\CLSID\$R2\LocalServer32" ""
    !insertmacro COMMAND_PROGRAM
    ${GetFileName} $R3 $R7
    ${GetParent} $R3 $R3
    ; The server writes the short form of a path with a blank in it.
    GetFullPathName /SHORT $R3 $R3
    GetFullPathName /SHORT $R8 $INSTDIR
    ${If} $R3 != $R8
    ${OrIf} $R7 != "orbantis.exe"
      DetailPrint "${PROG_ID} belongs to $R3\$R7; left as it is"
      Return
    ${EndIf}
    ReadRegStr $R4 SHCTX "Software\Classes\CLSID\$R2\TypeLib" ""
    ${If} $R4 != ""
      DeleteRegKey SHCTX "Software\Classes\TypeLib\$R4"
    ${EndIf}
    DeleteRegKey SHCTX "Software\Classes\CLSID\$R2"
    DeleteRegKey SHCTX "Software\Classes\${PROG_ID}"
    DetailPrint "Removed the keys of ${PROG_ID} ($R2)"
  FunctionEnd

  ; Everything an installation put on the machine, for the mode in
  ; $MultiUser.InstallMode. The installer runs it too, to take back a half-done
  ; installation.
  Function ${UN}RemoveInstallation
    ; Unregister first, while the server's file is still there.
    ${If} $MultiUser.InstallMode == "AllUsers"
      StrCpy $R0 "/UnregServer"
    ${Else}
      StrCpy $R0 "/UnregServerPerUser"
    ${EndIf}
    StrCpy $R1 "no orbantis.exe"
    ${If} ${FileExists} "$INSTDIR\orbantis.exe"
      DetailPrint "orbantis.exe $R0"
      ClearErrors
      ExecWait '"$INSTDIR\orbantis.exe" $R0' $R1
      ${If} ${Errors}
        StrCpy $R1 "could not start"
      ${EndIf}
    ${EndIf}
    ${If} $R1 != 0
      DetailPrint "orbantis.exe $R0: $R1"
      Call ${UN}ForgetClass
    ${EndIf}

    ; A server still serving a client holds its file: it goes at the next restart.
    Delete /REBOOTOK "$INSTDIR\orbantis.exe"
    Delete /REBOOTOK "$INSTDIR\orbantis-cli.exe"
    Delete "$INSTDIR\README.md"
    Delete "$INSTDIR\LICENSE.txt"
    ; The examples folder is ours as a whole (its files are whatever examples/windows held).
    RMDir /r "$INSTDIR\examples"
    Delete /REBOOTOK "$INSTDIR\uninstall.exe"
    DeleteRegKey SHCTX "${UNINSTALL_KEY}"
    ; Only our files go from the folder itself: one the user put more into stays. The
    ; working folder must not be the one to remove.
    SetOutPath "$TEMP"
    RMDir /REBOOTOK "$INSTDIR"
  FunctionEnd
!macroend
!insertmacro REMOVAL ""
!insertmacro REMOVAL "un."

; ---------------------------------------------------------------- installer

Function .onInit
  ; /D= has set the folder before this runs; the mode's default must not replace it.
  StrCpy $R9 $INSTDIR

  ; MultiUser would ask with a message box, which blocks a silent run for good.
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/AllUsers" $R1
  ${IfNot} ${Errors}
    UserInfo::GetAccountType
    Pop $R1
    ${If} $R1 != "Admin"
    ${AndIf} $R1 != "Power"
      MessageBox MB_OK|MB_ICONSTOP "Installing ${PRODUCT} for all users needs administrator rights." /SD IDOK
      SetErrorLevel 740 ; ERROR_ELEVATION_REQUIRED
      Quit
    ${EndIf}
  ${EndIf}

  !insertmacro MULTIUSER_INIT

  ${If} $R9 != ""
    StrCpy $INSTDIR $R9
  ${EndIf}
FunctionEnd

Section "${PRODUCT}" SecMain
  SectionIn RO

  SetOutPath "$INSTDIR"
  File "/oname=orbantis.exe" "${SERVER_EXE}"
  File "/oname=orbantis-cli.exe" "${CLI_EXE}"
  File "/oname=README.md" "${README_FILE}"
  File "/oname=LICENSE.txt" "${LICENSE_FILE}"
  SetOutPath "$INSTDIR\examples"
  File /r "${EXAMPLES_DIR}/*"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; The server writes its own keys (class, ProgID, LocalServer32, type library) and says
  ; by its exit status whether it could. A class that clients cannot create is no
  ; installation: take everything back and say so.
  ${If} $MultiUser.InstallMode == "AllUsers"
    StrCpy $R0 "/RegServer"
  ${Else}
    StrCpy $R0 "/RegServerPerUser"
  ${EndIf}
  DetailPrint "orbantis.exe $R0"
  ClearErrors
  ExecWait '"$INSTDIR\orbantis.exe" $R0' $R1
  ${If} ${Errors}
    StrCpy $R1 "could not start"
  ${EndIf}
  ${If} $R1 != 0
    ; RemoveInstallation uses the R registers.
    StrCpy $0 "orbantis.exe $R0: $R1"
    DetailPrint "$0"
    Call RemoveInstallation
    MessageBox MB_OK|MB_ICONSTOP "The ${PRODUCT} server could not register itself ($0). Nothing was installed." /SD IDOK
    SetErrorLevel 2
    Abort
  ${EndIf}

  ; Add/Remove Programs, in HKLM or HKCU with the mode (SHCTX).
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\orbantis.exe,0"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $R2 $R3 $R4
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $R2
SectionEnd

; ---------------------------------------------------------------- uninstaller

Function un.onInit
  ; The uninstaller serves the installation whose folder it sits in: the entry that names
  ; this folder says all users or current user. Compared in short form, so that a path
  ; typed either way matches.
  GetFullPathName /SHORT $R0 $INSTDIR
  ReadRegStr $R1 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ReadRegStr $R2 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $R1 != ""
    GetFullPathName /SHORT $R1 $R1
  ${EndIf}
  ${If} $R2 != ""
    GetFullPathName /SHORT $R2 $R2
  ${EndIf}

  ${If} $R1 != ""
  ${AndIf} $R1 == $R0
    StrCpy $MultiUser.InstallMode "CurrentUser"
  ${ElseIf} $R2 != ""
  ${AndIf} $R2 == $R0
    StrCpy $MultiUser.InstallMode "AllUsers"
  ${Else}
    ; No entry names this folder (taken out by hand): the command line, else where the
    ; folder lies.
    ${GetParameters} $R3
    ClearErrors
    ${GetOptions} $R3 "/CurrentUser" $R4
    ${IfNot} ${Errors}
      StrCpy $MultiUser.InstallMode "CurrentUser"
    ${Else}
      ClearErrors
      ${GetOptions} $R3 "/AllUsers" $R4
      ${IfNot} ${Errors}
        StrCpy $MultiUser.InstallMode "AllUsers"
      ${Else}
        SetShellVarContext current
        GetFullPathName /SHORT $R5 $LOCALAPPDATA
        StrLen $R6 $R5
        StrCpy $R7 $R0 $R6
        ${If} $R5 != ""
        ${AndIf} $R7 == $R5
          StrCpy $MultiUser.InstallMode "CurrentUser"
        ${Else}
          StrCpy $MultiUser.InstallMode "AllUsers"
        ${EndIf}
      ${EndIf}
    ${EndIf}
  ${EndIf}

  ${If} $MultiUser.InstallMode == "AllUsers"
    UserInfo::GetAccountType
    Pop $R1
    ${If} $R1 != "Admin"
    ${AndIf} $R1 != "Power"
      MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} was installed for all users; removing it needs administrator rights." /SD IDOK
      SetErrorLevel 740 ; ERROR_ELEVATION_REQUIRED
      Quit
    ${EndIf}
    SetShellVarContext all
  ${Else}
    SetShellVarContext current
  ${EndIf}
FunctionEnd

Section "Uninstall"
  Call un.RemoveInstallation
SectionEnd
