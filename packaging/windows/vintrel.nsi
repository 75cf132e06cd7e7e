; The Windows installer: a per-user install (no administrator rights) into
; %LOCALAPPDATA%\Programs\Vintrel, where the program folder stays writable for setup.ini and the
; output folder. scripts/package-windows.sh defines VERSION, VERSION4, STAGE, OUTFILE and ICON and
; writes the file lists install_files.nsh and uninstall_files.nsh beside this script's copy.
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
ManifestDPIAware true

!include "MUI2.nsh"
!include "FileFunc.nsh"

!define APP "Vintrel"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Vintrel"
!define PROGID "Vintrel.Video"

Name "${APP}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Vintrel"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
VIProductVersion "${VERSION4}"
VIAddVersionKey "ProductName" "${APP}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "${APP} Setup"
VIAddVersionKey "CompanyName" "Vintrel developers"
VIAddVersionKey "LegalCopyright" "GPL-3.0-or-later"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_FINISHPAGE_RUN "$INSTDIR\vintrel.exe"
!insertmacro MUI_PAGE_LICENSE "${STAGE}/LICENSE"
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE CheckInstallFolder
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!define MUI_FINISHPAGE_TITLE "Vintrel was removed"
!define MUI_FINISHPAGE_TEXT "Your settings (setup.ini) and your converted videos (the output folder) were kept in $INSTDIR when they were there. Delete that folder yourself if you no longer need them."
!insertmacro MUI_UNPAGE_FINISH
!insertmacro MUI_LANGUAGE "English"

; The "Open with" entries: a program id of our own, offered beside whatever opens each type.
!macro OpenWith EXT
  WriteRegStr HKCU "Software\Classes\${EXT}\OpenWithProgids" "${PROGID}" ""
!macroend
!macro NoLongerOpenWith EXT
  DeleteRegValue HKCU "Software\Classes\${EXT}\OpenWithProgids" "${PROGID}"
  DeleteRegKey /ifempty HKCU "Software\Classes\${EXT}\OpenWithProgids"
  DeleteRegKey /ifempty HKCU "Software\Classes\${EXT}"
!macroend
!macro EachType MACRO
  !insertmacro ${MACRO} ".avi"
  !insertmacro ${MACRO} ".flv"
  !insertmacro ${MACRO} ".wmv"
  !insertmacro ${MACRO} ".asf"
  !insertmacro ${MACRO} ".mov"
  !insertmacro ${MACRO} ".mp4"
  !insertmacro ${MACRO} ".mpg"
  !insertmacro ${MACRO} ".mpeg"
!macroend

!include "folder_guard.nsh"

Section "Vintrel"
  SetShellVarContext current
  !include "install_files.nsh"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  ${RecordInstalledFile} "uninstall.exe"
  CreateShortCut "$SMPROGRAMS\Vintrel.lnk" "$INSTDIR\vintrel.exe" "" "$INSTDIR\vintrel.exe" 0

  WriteRegStr HKCU "Software\Classes\${PROGID}" "" "Video (Vintrel)"
  WriteRegStr HKCU "Software\Classes\${PROGID}\DefaultIcon" "" "$INSTDIR\vintrel.exe,0"
  WriteRegStr HKCU "Software\Classes\${PROGID}\shell\open" "FriendlyAppName" "Vintrel"
  WriteRegStr HKCU "Software\Classes\${PROGID}\shell\open\command" "" '"$INSTDIR\vintrel.exe" "%1"'
  !insertmacro EachType OpenWith

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Vintrel"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Vintrel developers"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\vintrel.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "MadeFolder" $MadeFolder
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
  ; Tell Explorer the "Open with" lists changed.
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd

; Only what the installer put there goes, and nothing reached through a link or junction someone
; put in its place; setup.ini and the output folder stay, and so does the folder while they are in
; it or when the installer did not make it.
Section "Uninstall"
  SetShellVarContext current
  Delete "$SMPROGRAMS\Vintrel.lnk"
  StrCpy $R0 "$INSTDIR"
  Call un.ReparsePoint
  StrCmp $R1 1 files_done
  !include "uninstall_files.nsh"
  ${RemoveInstalledFile} "uninstall.exe"
  ClearErrors
  ReadRegDWORD $0 HKCU "${UNINSTALL_KEY}" "MadeFolder"
  IfErrors files_done
  StrCmp $0 1 0 files_done
  RMDir "$INSTDIR"
files_done:

  DeleteRegKey HKCU "Software\Classes\${PROGID}"
  !insertmacro EachType NoLongerOpenWith
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd
