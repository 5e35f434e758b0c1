; The Sentrova installer, for all users of the machine.
;   makensis -DPROGRAM=<64-bit sentrova.exe> [-DPROGRAM32=<32-bit sentrova.exe>]
;            -DOUTFILE=<setup.exe> -DVERSION=<x.y.z> sentrova.nsi
; Install: the program that fits the machine (64-bit on 64-bit Windows, the
; 32-bit one on 32-bit Windows) goes to Program Files\Sentrova, registers its
; COM server (sentrova.exe /regserver) and gets an uninstaller and an entry
; under Add/Remove Programs; when the program cannot write its registration,
; the setup says so and ends with code 2. Uninstall: sentrova.exe
; /unregserver, the values the program wrote itself, then the files and the
; entry (both kept, with code 2, while a running copy keeps sentrova.exe). The
; user's settings (the program's values in the toolbar host's configuration,
; the keep-list included) stay unless asked for: /REMOVESETTINGS on the
; command line, or "Yes" to the question an interactive uninstall asks.
; A running copy of the program is asked to end first, the way the toolbar
; host asks it, so that its file can be replaced or removed; the host starts
; the new program at its next request. If it does not end, nothing is changed:
; the user is told (a silent run ends with exit code 2).
; A 32-bit installer, so that it runs on both kinds of Windows.
Unicode true
Target x86-unicode
!include LogicLib.nsh
!include FileFunc.nsh
!include x64.nsh

!ifndef VERSION
  !define VERSION "1.0.0"
!endif
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Sentrova"

Name "Sentrova"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Sentrova"
RequestExecutionLevel admin
SetCompressor /SOLID lzma

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; 64-bit Windows keeps the program's entry in its 64-bit registry view.
!macro InitView
  SetShellVarContext all
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
!macroend

Function .onInit
  !insertmacro InitView
!ifndef PROGRAM32
  ${IfNot} ${RunningX64}
    MessageBox MB_OK|MB_ICONSTOP "This Sentrova installer is for 64-bit Windows." /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
!endif
FunctionEnd

Function un.onInit
  !insertmacro InitView
FunctionEnd

; Asks a running program to end as the toolbar host does (TB4Shutdown_VRX,
; which it obeys from its main loop) and waits for its process to go. Aborts
; the install or uninstall, with nothing changed yet, if it does not end.
!define STILL_RUNNING "Sentrova is still running and could not be closed. Close your browser windows and try again."
!macro EndRunningProgram un
Function ${un}EndRunningProgram
  FindWindow $0 "VRXWndClass"
  ${If} $0 <> 0
    DetailPrint "Asking the running Sentrova to end"
    System::Call 'user32::GetWindowThreadProcessId(p r0, *i .r1)'
    ; SYNCHRONIZE
    System::Call 'kernel32::OpenProcess(i 0x00100000, i 0, i r1) p .r2'
    ; EVENT_MODIFY_STATE
    System::Call 'kernel32::OpenEventW(i 0x0002, i 0, w "TB4Shutdown_VRX") p .r3'
    ${If} $3 <> 0
      System::Call 'kernel32::SetEvent(p r3)'
      System::Call 'kernel32::CloseHandle(p r3)'
    ${EndIf}
    StrCpy $4 258 ; WAIT_TIMEOUT
    ${If} $2 <> 0
      System::Call 'kernel32::WaitForSingleObject(p r2, i 30000) i .r4'
      System::Call 'kernel32::CloseHandle(p r2)'
    ${EndIf}
    ${If} $4 <> 0
      MessageBox MB_OK|MB_ICONSTOP "${STILL_RUNNING}" /SD IDOK
      SetErrorLevel 2
      Abort
    ${EndIf}
  ${EndIf}
FunctionEnd
!macroend
!insertmacro EndRunningProgram ""
!insertmacro EndRunningProgram "un."

Section "Sentrova"
  Call EndRunningProgram
  SetOutPath "$INSTDIR"
!ifdef PROGRAM32
  ${If} ${RunningX64}
    File "/oname=sentrova.exe" "${PROGRAM}"
  ${Else}
    File "/oname=sentrova.exe" "${PROGRAM32}"
  ${EndIf}
!else
  File "/oname=sentrova.exe" "${PROGRAM}"
!endif
  ; The program writes its COM registration itself and says by its exit
  ; code whether it could; without it the toolbar cannot start the program.
  ClearErrors
  ExecWait '"$INSTDIR\sentrova.exe" /regserver' $0
  ${If} ${Errors}
  ${OrIf} $0 != 0
    DetailPrint "Sentrova could not register itself with Windows (exit code $0)."
    MessageBox MB_OK|MB_ICONEXCLAMATION "Sentrova could not register itself with Windows, so the toolbar cannot start it.$\r$\nRun the setup again as an administrator." /SD IDOK
    SetErrorLevel 2
  ${EndIf}
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Sentrova"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Sentrova"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\sentrova.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; The brand values the program writes back under the host's key when they
; are missing, in the host's (32-bit) view and, on 64-bit systems, the other.
!macro RemoveBrandValues
  DeleteRegValue HKLM "Software\Quillbox" "BRAND_LONG"
  DeleteRegValue HKLM "Software\Quillbox" "BRAND_CODE"
  DeleteRegValue HKLM "Software\Quillbox" "BRAND_DOMAIN"
  DeleteRegValue HKLM "Software\Quillbox" "BRAND_FOLDER"
  DeleteRegKey /ifempty HKLM "Software\Quillbox"
!macroend

; The user's settings: the program's values in the toolbar host's
; configuration, and the times it noted when it last asked.
!macro RemoveUserSettings
  DeleteRegKey HKCU "Software\Quillbox\TB4\Config\VRX"
  DeleteRegValue HKCU "Software\Toolbar" "AsQ"
  DeleteRegValue HKCU "Software\Quillbox" "AsQ"
!macroend

Section "Uninstall"
  Call un.EndRunningProgram
  ExecWait '"$INSTDIR\sentrova.exe" /unregserver'
  SetRegView 32
  !insertmacro RemoveBrandValues
  SetRegView 64
  !insertmacro RemoveBrandValues

  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/REMOVESETTINGS" $1
  ${If} ${Errors}
    ${IfNot} ${Silent}
      MessageBox MB_YESNO|MB_DEFBUTTON2 "Also remove your Sentrova settings?" /SD IDNO IDNO keep
      !insertmacro RemoveUserSettings
      keep:
    ${EndIf}
  ${Else}
    !insertmacro RemoveUserSettings
  ${EndIf}

  ; The clean-up after a restart that the program may have scheduled, in the
  ; machine's RunOnce key or, for a standard user, the user's own.
  DeleteRegValue HKLM "Software\Microsoft\Windows\CurrentVersion\RunOnce" "VRX"
  DeleteRegValue HKCU "Software\Microsoft\Windows\CurrentVersion\RunOnce" "VRX"

  ; Last. A running copy keeps sentrova.exe: then the uninstaller and the
  ; entry under Add/Remove Programs stay, so that the uninstall can be run
  ; again once the program has ended.
  Delete "$INSTDIR\sentrova.exe"
  ${If} ${FileExists} "$INSTDIR\sentrova.exe"
    DetailPrint "sentrova.exe is in use and stays; run the uninstall again once it has ended."
    MessageBox MB_OK|MB_ICONEXCLAMATION "Sentrova is still running, so it could not be removed completely.$\r$\nRun the uninstall again once it has ended." /SD IDOK
    SetErrorLevel 2
  ${Else}
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
  ${EndIf}
SectionEnd
