; The A_Tavrel installer. An ANSI installer: the Unicode stub needs
; Windows NT, and this one must run on Windows 95, 98 and Me as well.
;
; makensis -DVERSION=3.10.1 -DVERSION_MAJOR=3 -DVERSION_MINOR=10
;          -DVERSION_REVISION=1 -DSTAGE=<tree> -DOUTFILE=<setup.exe> -DICON=<ico>
;          A_Tavrel.nsi
;
; STAGE holds the install tree: Tavrel\A_Tavrel.exe,
; Common\language\english.lng, common\license\UrlList.txt, ReadMe.txt.
;
; Silent use: setup.exe /S [/D=folder] installs; Uninstall.exe /S
; [/REMOVESETTINGS] uninstalls. Exit code 0 on success, 2 when a newer
; version or a program that will not close stopped it.

Unicode false
SetCompressor /SOLID lzma

!ifndef VERSION | VERSION_MAJOR | VERSION_MINOR | VERSION_REVISION | STAGE | OUTFILE | ICON
  !error "VERSION, VERSION_MAJOR, VERSION_MINOR, VERSION_REVISION, STAGE, OUTFILE and ICON must be defined"
!endif

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"
!include "WinMessages.nsh"

!define PRODUCT "A_Tavrel"
; The program's file version is major.minor.0.revision (3.10.0.1).
!define /math VERSION_MS_HIGH ${VERSION_MAJOR} * 65536
!define /math VERSION_MS ${VERSION_MS_HIGH} + ${VERSION_MINOR}
!define VERSION_LS ${VERSION_REVISION}
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
; The start-with-Windows value is named after the program's product word.
!define RUN_VALUE "Tavrel"
!define MACHINE_KEY "Software\VRN\Tavrel"
!define USER_KEY "Software\VRN Program Settings\VRN\Tavrel"
; The main window: the program's form class, titled with its form's name.
!define WINDOW_CLASS "A_Tavrel_Form"
!define WINDOW_TITLE "FrmMain"
!define MENU_FOLDER "$SMPROGRAMS\${PRODUCT}"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\${PRODUCT}"
InstallDirRegKey HKLM "${UNINST_KEY}" "InstallLocation"
RequestExecutionLevel admin
ManifestDPIAware true
XPStyle on
ShowInstDetails hide
ShowUninstDetails hide
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION_MAJOR}.${VERSION_MINOR}.0.${VERSION_REVISION}"
VIAddVersionKey "ProductName" "vrn Tavrel XP"
VIAddVersionKey "FileDescription" "${PRODUCT} ${VERSION} Setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "CompanyName" "v.r.n"
VIAddVersionKey "LegalCopyright" "v.r.n"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Start ${PRODUCT} now"
!define MUI_FINISHPAGE_RUN_FUNCTION StartProgram
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\ReadMe.txt"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!define MUI_FINISHPAGE_SHOWREADME_TEXT "Show the read-me"

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!define MUI_COMPONENTSPAGE_TEXT_TOP "The uninstaller removes the program. Your settings and the error log stay unless you tick them."
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

; --- shared by installer and uninstaller ----------------------------------

; The version of the program installed in $INSTDIR compared with this
; package's: $R0 is -1 (none or older), 0 (the same) or 1 (newer), $R1 the
; installed version as text.
!macro DEFINE_INSTALLED_VERSION UN
Function ${UN}InstalledVersion
  StrCpy $R0 -1
  StrCpy $R1 ""
  ClearErrors
  GetDLLVersion "$INSTDIR\Tavrel\A_Tavrel.exe" $R2 $R3
  ${IfNot} ${Errors}
    IntOp $R4 $R2 >> 16
    IntOp $R5 $R2 & 0xFFFF
    IntOp $R6 $R3 & 0xFFFF
    StrCpy $R1 "$R4.$R5.$R6"
    IntCmpU $R2 ${VERSION_MS} 0 older newer
    IntCmpU $R3 ${VERSION_LS} same older newer
    same:
      StrCpy $R0 0
      Goto done
    newer:
      StrCpy $R0 1
    older:
  ${EndIf}
  done:
FunctionEnd
!macroend
!insertmacro DEFINE_INSTALLED_VERSION ""
!insertmacro DEFINE_INSTALLED_VERSION "un."

; Every running copy is asked to close the way the user closes it, so it
; saves its settings; one that is still there after fifteen seconds is the
; user's to close (Retry), or the setup stops (Cancel, and in silent mode).
!macro DEFINE_CLOSE_PROGRAM UN
Function ${UN}CloseProgram
  StrCpy $R8 0
  loop:
    FindWindow $R7 "${WINDOW_CLASS}" "${WINDOW_TITLE}"
    StrCmp $R7 0 closed
    ${If} $R8 = 0
      DetailPrint "Closing the running ${PRODUCT}"
      SendMessage $R7 ${WM_CLOSE} 0 0 /TIMEOUT=5000
    ${EndIf}
    Sleep 500
    IntOp $R8 $R8 + 1
    IntCmp $R8 30 0 loop 0
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
        "${PRODUCT} is still running.$\r$\nClose it, then press Retry." /SD IDCANCEL IDRETRY retry
    SetErrorLevel 2
    Abort "${PRODUCT} is still running."
    retry:
      StrCpy $R8 0
      Goto loop
  closed:
FunctionEnd
!macroend
!insertmacro DEFINE_CLOSE_PROGRAM ""
!insertmacro DEFINE_CLOSE_PROGRAM "un."

; --- installer -------------------------------------------------------------

Function .onInit
  SetShellVarContext all
FunctionEnd

Function StartProgram
  SetOutPath "$INSTDIR\Tavrel"
  Exec '"$INSTDIR\Tavrel\A_Tavrel.exe"'
FunctionEnd

Section "${PRODUCT}" SecProgram
  SectionIn RO
  Call InstalledVersion
  ${If} $R0 = 1
    MessageBox MB_YESNO|MB_ICONQUESTION \
        "A newer version of ${PRODUCT} ($R1) is installed in $INSTDIR.$\r$\nReplace it with version ${VERSION}?" \
        /SD IDNO IDYES replace
    SetErrorLevel 2
    Abort "${PRODUCT} $R1 stays installed."
    replace:
  ${EndIf}
  Call CloseProgram

  SetOutPath "$INSTDIR\Tavrel"
  File "${STAGE}/Tavrel/A_Tavrel.exe"
  SetOutPath "$INSTDIR\Common\language"
  File "${STAGE}/Common/language/english.lng"
  SetOutPath "$INSTDIR\common\license"
  File "${STAGE}/common/license/UrlList.txt"
  SetOutPath "$INSTDIR"
  File "${STAGE}/ReadMe.txt"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  ; The shortcut starts the program in its own folder.
  CreateDirectory "${MENU_FOLDER}"
  SetOutPath "$INSTDIR\Tavrel"
  CreateShortCut "${MENU_FOLDER}\${PRODUCT}.lnk" "$INSTDIR\Tavrel\A_Tavrel.exe"
  SetOutPath "$INSTDIR"
  CreateShortCut "${MENU_FOLDER}\Read me.lnk" "$INSTDIR\ReadMe.txt"
  CreateShortCut "${MENU_FOLDER}\Uninstall ${PRODUCT}.lnk" "$INSTDIR\Uninstall.exe"

  WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "${PRODUCT} ${VERSION}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\Tavrel\A_Tavrel.exe,0"
  WriteRegStr HKLM "${UNINST_KEY}" "Publisher" "v.r.n"
  WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKLM "${UNINST_KEY}" "EstimatedSize" "$0"
SectionEnd

; --- uninstaller -----------------------------------------------------------

Section "un.${PRODUCT}" SecUnProgram
  SectionIn RO
  Call un.InstalledVersion
  ${If} $R0 = 1
    MessageBox MB_YESNO|MB_ICONQUESTION \
        "The ${PRODUCT} in $INSTDIR is version $R1, newer than this uninstaller (${VERSION}).$\r$\nRemove it anyway?" \
        /SD IDNO IDYES remove
    SetErrorLevel 2
    Abort "${PRODUCT} $R1 stays installed."
    remove:
  ${EndIf}
  Call un.CloseProgram

  Delete "$INSTDIR\Tavrel\A_Tavrel.exe"
  RMDir "$INSTDIR\Tavrel"
  Delete "$INSTDIR\Common\language\english.lng"
  RMDir "$INSTDIR\Common\language"
  Delete "$INSTDIR\common\license\UrlList.txt"
  RMDir "$INSTDIR\common\license"
  ; The new-version check's copy of the versions file.
  Delete "$INSTDIR\temp\versions.txt"
  RMDir "$INSTDIR\temp"
  Delete "$INSTDIR\ReadMe.txt"
  Delete "$INSTDIR\Uninstall.exe"

  Delete "${MENU_FOLDER}\${PRODUCT}.lnk"
  Delete "${MENU_FOLDER}\Read me.lnk"
  Delete "${MENU_FOLDER}\Uninstall ${PRODUCT}.lnk"
  RMDir "${MENU_FOLDER}"

  ; "Start with Windows" writes the machine's Run key, or the user's where
  ; the machine's cannot be written.
  DeleteRegValue HKLM "${RUN_KEY}" "${RUN_VALUE}"
  DeleteRegValue HKCU "${RUN_KEY}" "${RUN_VALUE}"

  ; The machine-wide record (the version that ran last, the speech set-up)
  ; lives below the machine's code; an administrator's host settings stay.
  StrCpy $0 0
  machine_loop:
    EnumRegKey $1 HKLM "${MACHINE_KEY}" $0
    StrCmp $1 "" machine_done
    ${If} $1 == "Hosts"
      IntOp $0 $0 + 1
    ${Else}
      DeleteRegKey HKLM "${MACHINE_KEY}\$1"
    ${EndIf}
    Goto machine_loop
  machine_done:
  DeleteRegKey /ifempty HKLM "${MACHINE_KEY}"
  DeleteRegKey /ifempty HKLM "Software\VRN"

  DeleteRegKey HKLM "${UNINST_KEY}"
SectionEnd

Section /o "un.My settings and the error log" SecUnSettings
  DeleteRegKey HKCU "${USER_KEY}"
  DeleteRegKey /ifempty HKCU "Software\VRN Program Settings\VRN"
  DeleteRegKey /ifempty HKCU "Software\VRN Program Settings"
  Delete "$INSTDIR\Common\error.log"
SectionEnd

Section "-un.Folders"
  RMDir "$INSTDIR\Common"
  RMDir "$INSTDIR"
SectionEnd

; After the sections: it selects one of them.
Function un.onInit
  SetShellVarContext all
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/REMOVESETTINGS" $1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SecUnSettings}
  ${EndIf}
FunctionEnd

!insertmacro MUI_UNFUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecUnProgram} "The program, its Start menu folder and its start-with-Windows entry."
  !insertmacro MUI_DESCRIPTION_TEXT ${SecUnSettings} "Your options, the window's place and Common\error.log."
!insertmacro MUI_UNFUNCTION_DESCRIPTION_END
