; The Tonvela installer for 64-bit Windows. Built by CMake (target tonvela_installer), which
; passes the version, the program, the sample voice and the output file with /D options.
Unicode true
Target amd64-unicode
ManifestDPIAware true
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!include "FileFunc.nsh"
!include "LogicLib.nsh"
!include "MUI2.nsh"
!include "Sections.nsh"
!include "WinMessages.nsh"
!include "x64.nsh"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tonvela"
; The signed-in user's own programs to start at sign-in.
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define DISPLAY_NAME "Tonvela 语音提醒"
; The running program's top-level window.
!define WINDOW_CLASS "Tonvela.Form14021"
; How long a running Tonvela is given to end: 50 steps of 100 ms.
!define CLOSE_WAIT_STEPS 50

Name "${DISPLAY_NAME}"
OutFile "${OUTPUT}"
InstallDir "$PROGRAMFILES64\Tonvela"
BrandingText "Tonvela ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=2052 "ProductName" "Tonvela"
VIAddVersionKey /LANG=2052 "FileDescription" "${DISPLAY_NAME} 安装程序"
VIAddVersionKey /LANG=2052 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=2052 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=2052 "LegalCopyright" "Tonvela developers"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "SimpChinese"

; Asks a running Tonvela to close, as closing its window by hand does, and waits until it has
; ended: no window of it left and its program file free to be replaced, which it is not while the
; program runs. A process that has ended holds nothing more, its single-instance mutex included,
; so this holds whether or not the program has one. After five seconds it gives up; whatever file
; then cannot be replaced or removed fails the installation or the removal.
!macro CLOSE_TONVELA_FUNCTION prefix
Function ${prefix}CloseTonvela
  Push $0
  Push $1
  StrCpy $1 0
  ${Do}
    FindWindow $0 "${WINDOW_CLASS}"
    ${If} $0 <> 0
      ; A Tonvela busy with its voice may answer late; the message stays queued for it.
      SendMessage $0 ${WM_CLOSE} 0 0 /TIMEOUT=100
    ${ElseIfNot} ${FileExists} "$INSTDIR\tonvela.exe"
      ${ExitDo}
    ${Else}
      ClearErrors
      FileOpen $0 "$INSTDIR\tonvela.exe" a
      ${IfNot} ${Errors}
        FileClose $0
        ${ExitDo}
      ${EndIf}
    ${EndIf}
    Sleep 100
    IntOp $1 $1 + 1
  ${LoopUntil} $1 >= ${CLOSE_WAIT_STEPS}
  ClearErrors
  Pop $1
  Pop $0
FunctionEnd
!macroend
!insertmacro CLOSE_TONVELA_FUNCTION ""
!insertmacro CLOSE_TONVELA_FUNCTION "un."

Section "Tonvela" SecProgram
  SectionIn RO
  SetOutPath "$INSTDIR"
  Call CloseTonvela
  ; A file that could not be written (skipped in a silent install) sets the error flag.
  File "/oname=tonvela.exe" "${PROGRAM}"
  File "/oname=语音文件.WAV" "${VOICE}"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  ${If} ${Errors}
    DetailPrint "Tonvela could not be replaced in $INSTDIR"
    SetErrorLevel 2
    Abort
  ${EndIf}

  CreateShortcut "$SMPROGRAMS\Tonvela.lnk" "$INSTDIR\tonvela.exe"
  ; The sign-in entry is the next section's alone: an upgrade without it drops an old one.
  DeleteRegValue HKCU "${RUN_KEY}" "Tonvela"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${DISPLAY_NAME}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\tonvela.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Tonvela"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; Selected unless the command line says /NOAUTOSTART, in a silent install too.
Section "Start Tonvela when I sign in" SecAutostart
  WriteRegStr HKCU "${RUN_KEY}" "Tonvela" '"$INSTDIR\tonvela.exe"'
SectionEnd

Function .onInit
  ; Machine-wide shortcuts, and the 64-bit view of Program Files and the registry.
  SetShellVarContext all
  SetRegView 64
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/NOAUTOSTART" $1
  ${IfNot} ${Errors}
    !insertmacro UnselectSection ${SecAutostart}
  ${EndIf}
FunctionEnd

Function un.onInit
  SetShellVarContext all
  SetRegView 64
FunctionEnd

; Ends the removal with a failure when a file of it is still there. What could not be removed
; stays installed, with its entry, so the removal can be tried again.
!macro FAIL_IF_LEFT file
  ${If} ${FileExists} "${file}"
    DetailPrint "Tonvela could not be removed from $INSTDIR"
    SetErrorLevel 2
    Abort
  ${EndIf}
!macroend

Section "Uninstall"
  Call un.CloseTonvela
  ; The program first: if it still runs, nothing else is removed, the uninstaller included.
  Delete "$INSTDIR\tonvela.exe"
  !insertmacro FAIL_IF_LEFT "$INSTDIR\tonvela.exe"
  Delete "$INSTDIR\语音文件.WAV"
  Delete "$INSTDIR\uninstall.exe"
  !insertmacro FAIL_IF_LEFT "$INSTDIR\语音文件.WAV"
  !insertmacro FAIL_IF_LEFT "$INSTDIR\uninstall.exe"
  ; Only when empty: files the user put there are theirs.
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\Tonvela.lnk"
  DeleteRegValue HKCU "${RUN_KEY}" "Tonvela"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
