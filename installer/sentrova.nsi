; The Sentrova installer, for all users of the machine.
;   makensis -DPROGRAM=<sentrova.exe> -DOUTFILE=<setup.exe> -DVERSION=<x.y.z> sentrova.nsi
; Install: the program goes to Program Files\Sentrova, registers its COM
; server (sentrova.exe /regserver) and gets an uninstaller and an entry under
; Add/Remove Programs. Uninstall: sentrova.exe /unregserver, then the files,
; the entry and the values the program wrote itself. The user's settings (the
; program's values in the toolbar host's configuration, the keep-list
; included) stay unless asked for: /REMOVESETTINGS on the command line, or
; "Yes" to the question an interactive uninstall asks.
; A 64-bit installer, like the program (Wine here has no 32-bit side).
Target amd64-unicode
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

Function .onInit
  SetShellVarContext all
  SetRegView 64
FunctionEnd

Function un.onInit
  SetShellVarContext all
  SetRegView 64
FunctionEnd

Section "Sentrova"
  SetOutPath "$INSTDIR"
  ; A running copy would keep the file; it ends when the host stops it.
  File "/oname=sentrova.exe" "${PROGRAM}"
  ExecWait '"$INSTDIR\sentrova.exe" /regserver'
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

  ; Last, so that an entry under Add/Remove Programs stays while anything
  ; of the program is left.
  Delete "$INSTDIR\sentrova.exe"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
