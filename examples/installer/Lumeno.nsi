; Sets Lumeno up as the product's own installer does, and removes it again,
; calling the hook module Gantrel.dll at the same moments through the System
; plugin: every entry point is stdcall, takes three 32-bit arguments (owner
; window, an unused value, a text pointer) and answers a 32-bit integer.
;
;   makensis -DOUTFILE=/tmp/LumenoSetup.exe examples/installer/Lumeno.nsi
;
; makensis works in this script's folder: the module is taken from the win32
; build (out/win32/Gantrel.dll) unless -DMODULE gives another, full, path.
;
; Optional: -DDATABASE_PATH=... to store another spelling of the database
; folder in dbPath (the default is $INSTDIR\Database).
;
; What the module answered is appended to $INSTDIR\hooks.log, one line per
; call in the form "Name = result", the way gantrel-host prints it.

Unicode false ; the module's texts are in the ANSI code page
!include FileFunc.nsh
!include WordFunc.nsh

!ifndef MODULE
  !define MODULE "../../out/win32/Gantrel.dll"
!endif
!ifndef OUTFILE
  !define OUTFILE "LumenoSetup.exe"
!endif
!ifndef DATABASE_PATH
  !define DATABASE_PATH "$INSTDIR\Database"
!endif

!define APPLICATION_KEY "Software\Corvanet\Lumeno"
!define MACHINE_KEY "SOFTWARE\Corvanet\Lumeno"
!define UNINSTALL_KEY "SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Corvanet VKT"
!define SHELL_CLASS "{5c3e9d21-7a40-4b6e-a9d2-13f0c8e47b65}"
!define MENU_HANDLERS "*\shellex\ContextMenuHandlers"
!define APPROVED_KEY "SOFTWARE\Microsoft\Windows\CurrentVersion\Shell Extensions\Approved"

Name "Lumeno"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\Corvanet\Lumeno"
RequestExecutionLevel admin
ShowInstDetails show
ShowUninstDetails show

Page directory
Page instfiles
UninstPage instfiles

; Appends one line to hooks.log.
!macro LogResult TEXT
  FileOpen $9 "$INSTDIR\hooks.log" a
  FileSeek $9 0 END
  FileWrite $9 `${TEXT}$\r$\n`
  FileClose $9
!macroend

Section "Lumeno"
  SetOutPath "$INSTDIR\Program"
  File "${MODULE}"
  SetOutPath "$INSTDIR\Database"
  File /r "../cycle/database/*"

  ; The settings SetupServer imports: a quoted value is text, any other a
  ; number.
  FileOpen $0 "$INSTDIR\Program\settings.ini" w
  FileWrite $0 'Port=8080$\r$\n'
  FileWrite $0 'Title="Lumeno"$\r$\n'
  FileWrite $0 'MaxClients=25$\r$\n'
  FileWrite $0 'dbPath="${DATABASE_PATH}"$\r$\n'
  FileClose $0

  System::Call '$INSTDIR\Program\Gantrel.dll::IsWs2(i $HWNDPARENT, i 0, t "") i .r0'
  !insertmacro LogResult "IsWs2 = $0"
  System::Call '$INSTDIR\Program\Gantrel.dll::SetupServer(i $HWNDPARENT, i 0, t "$INSTDIR\Program\settings.ini") i .r0'
  !insertmacro LogResult "SetupServer = $0"

  ; The machine's copy of the settings and the shell extension's
  ; registration, which UninstUnInitialize removes again.
  WriteRegStr HKLM "${MACHINE_KEY}" "InstallPath" "$INSTDIR"
  WriteRegStr HKCR "CLSID\${SHELL_CLASS}" "" "Lumeno VKT Menu"
  WriteRegStr HKCR "CLSID\${SHELL_CLASS}\InprocServer32" "" "$INSTDIR\Program\VKTMenu.dll"
  WriteRegStr HKCR "VKTFile" "" "Lumeno VKT File"
  WriteRegStr HKCR "VKTFile\shell\open\command" "" '"$INSTDIR\Program\Lumeno.exe" "%1"'
  WriteRegStr HKCR "${MENU_HANDLERS}\VKTMenu" "" "${SHELL_CLASS}"
  WriteRegStr HKLM "${APPROVED_KEY}\${SHELL_CLASS}" "" "Lumeno VKT Menu"

  ; The uninstall entry in the host's form, then the module's option.
  WriteUninstaller "$INSTDIR\uninst.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Lumeno"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninst.exe" -f"$INSTDIR\Program\remove.log"'
  System::Call '$INSTDIR\Program\Gantrel.dll::SetUninstallInfo(i $HWNDPARENT, i 0, t "") i .r0'
  !insertmacro LogResult "SetUninstallInfo = $0"
  ; The System plugin hands the module a buffer of NSIS_MAX_STRLEN (1024)
  ; bytes for t .r1: the 1000 bytes GetVKTFolder needs.
  System::Call '$INSTDIR\Program\Gantrel.dll::GetVKTFolder(i $HWNDPARENT, i 0, t .r1) i .r0 ?u'
  !insertmacro LogResult "GetVKTFolder = $0"
  !insertmacro LogResult 'GetVKTFolder buffer: "$1"'
SectionEnd

; The module the uninstall command names in its -c option, as the system
; runs that command: "<uninstaller>" -f"<file>" -c"<folder>\Gantrel.dll".
; The empty text when there is none.
Function un.ModuleFromCommandLine
  ${GetParameters} $R0
  ClearErrors
  ${WordFind} " $R0" ' -c"' "E+1}" $R1
  IfErrors none
  ${WordFind} $R1 '"' "+1{" $R0
  Return
  none:
  StrCpy $R0 ""
FunctionEnd

Section "Uninstall"
  Call un.ModuleFromCommandLine
  StrCmp $R0 "" files
  ; The user may say no, or the product may still be running: the module
  ; answers -1 and nothing is removed.
  System::Call '$R0::UninstInitialize(i $HWNDPARENT, i 0, t "") i .r0'
  !insertmacro LogResult "UninstInitialize = $0"
  ; The stop shows in the exit code too: 2, as for any removal the script ends.
  IntCmp $0 -1 0 +3 +3
    SetErrorLevel 2
    Abort "Lumeno stays installed."
  System::Call '$R0::UninstUnInitialize(i $HWNDPARENT, i 0, t "") i .r0 ?u'
  !insertmacro LogResult "UninstUnInitialize = $0"

  files:
  Delete "$INSTDIR\Program\Gantrel.dll"
  Delete "$INSTDIR\Program\settings.ini"
  RMDir "$INSTDIR\Program"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  Delete "$INSTDIR\uninst.exe"
  RMDir "$INSTDIR"
SectionEnd
