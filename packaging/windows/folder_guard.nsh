; What the installer and the uninstaller may touch. The installer takes a folder it makes, an empty
; one, its own earlier install, or what an uninstall left behind (setup.ini and the output folder);
; any other folder it refuses when silent and asks about otherwise, since it would replace files
; of the same names. It records each file's time as it installed it. The uninstaller deletes only
; files that still have that time, and nothing through a reparse point (a link or junction) put in
; place of the folder, a folder inside it or a file: wine reports a link to a file as no reparse
; point and deletes the file it leads to, whose time tells it apart.

; 1 when this install made its folder; the uninstaller removes only such a folder.
Var MadeFolder
Var OnlyLeftovers

Function .onInit
  IfSilent 0 done
  Call CheckInstallFolder
done:
FunctionEnd

Function FindOnlyLeftovers
  StrCpy $OnlyLeftovers 1
  FindFirst $0 $1 "$INSTDIR\*"
loop:
  StrCmp $1 "" done
  StrCmp $1 "." next
  StrCmp $1 ".." next
  StrCmp $1 "setup.ini" next
  StrCmp $1 "output" next
  StrCpy $OnlyLeftovers 0
  Goto done
next:
  FindNext $0 $1
  Goto loop
done:
  FindClose $0
FunctionEnd

; Silent: quits with status 2 on a folder it may not take. By hand (the directory page's leave):
; asks, and stays on the page on No.
Function CheckInstallFolder
  StrCpy $MadeFolder 0
  ${DirState} "$INSTDIR" $0
  StrCmp $0 -1 0 exists
  StrCpy $MadeFolder 1
  Return
exists:
  StrCmp $0 0 0 full
  Return
full:
  ReadRegStr $1 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  StrCmp $1 $INSTDIR 0 leftovers
  IfFileExists "$INSTDIR\uninstall.exe" 0 leftovers
  ClearErrors
  ReadRegDWORD $MadeFolder HKCU "${UNINSTALL_KEY}" "MadeFolder"
  IfErrors 0 +2
  StrCpy $MadeFolder 1  ; installed before installs kept this, always into a folder of their own
  Return
leftovers:
  Call FindOnlyLeftovers
  StrCmp $OnlyLeftovers 1 0 foreign
  Return
foreign:
  IfSilent 0 ask
  SetErrorLevel 2
  Quit
ask:
  MessageBox MB_YESNO|MB_ICONEXCLAMATION|MB_DEFBUTTON2 \
    "$INSTDIR already holds files that Vintrel did not put there. Files of the same names as Vintrel's would be replaced, and removed when Vintrel is uninstalled.$\n$\nInstall into this folder anyway?" \
    /SD IDNO IDYES done
  Abort
done:
FunctionEnd

; $R0: a path. $R1: 1 when it is a reparse point, else 0 (also when it is not there).
Function un.ReparsePoint
  System::Call 'kernel32::GetFileAttributesW(w R0) i .R1'
  IntCmp $R1 -1 absent
  IntOp $R1 $R1 & 0x400
  IntCmp $R1 0 done
  StrCpy $R1 1
  Goto done
absent:
  StrCpy $R1 0
done:
FunctionEnd

; $R2: a path inside $INSTDIR ("data\conv.exe"). $R3: 1 when neither it nor a folder on its way
; below $INSTDIR is a reparse point, else 0.
Function un.PlainPath
  StrCpy $R3 0
  StrLen $R5 $R2
  StrCpy $R4 0
walk:
  IntCmp $R4 $R5 whole 0 whole
  StrCpy $R6 $R2 1 $R4
  StrCmp $R6 "\" 0 next
  StrCpy $R6 $R2 $R4
  StrCpy $R0 "$INSTDIR\$R6"
  Call un.ReparsePoint
  StrCmp $R1 1 done
next:
  IntOp $R4 $R4 + 1
  Goto walk
whole:
  StrCpy $R0 "$INSTDIR\$R2"
  Call un.ReparsePoint
  StrCmp $R1 1 done
  StrCpy $R3 1
done:
FunctionEnd

; $R2: a file inside $INSTDIR. $R3 set to 0 unless it has the time recorded when it was installed.
Function un.AsInstalled
  ClearErrors
  ReadRegStr $R4 HKCU "${UNINSTALL_KEY}\Files" $R2
  IfErrors changed
  GetFileTime "$INSTDIR\$R2" $R5 $R6
  IfErrors changed
  StrCmp $R4 "$R5 $R6" done
changed:
  StrCpy $R3 0
done:
FunctionEnd

!macro RecordInstalledFile PATH
  GetFileTime "$INSTDIR\${PATH}" $0 $1
  WriteRegStr HKCU "${UNINSTALL_KEY}\Files" "${PATH}" "$0 $1"
!macroend
!macro RemoveInstalledFile PATH
  StrCpy $R2 "${PATH}"
  Call un.PlainPath
  StrCmp $R3 1 0 +2
  Call un.AsInstalled
  StrCmp $R3 1 +3
  DetailPrint "Left $INSTDIR\${PATH}: changed since it was installed, or behind a link or junction"
  Goto +2
  Delete "$INSTDIR\${PATH}"
!macroend
!macro RemoveInstalledFolder PATH
  StrCpy $R2 "${PATH}"
  Call un.PlainPath
  StrCmp $R3 1 +3
  DetailPrint "Left $INSTDIR\${PATH}: a link or junction stands in its way"
  Goto +2
  RMDir "$INSTDIR\${PATH}"
!macroend
!define RecordInstalledFile "!insertmacro RecordInstalledFile"
!define RemoveInstalledFile "!insertmacro RemoveInstalledFile"
!define RemoveInstalledFolder "!insertmacro RemoveInstalledFolder"
