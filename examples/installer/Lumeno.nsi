; Sets Lumeno up as the product's own installer does, and removes it again,
; calling the hook module Gantrel.dll at the same moments through the System
; plugin: every entry point is stdcall, takes three 32-bit arguments (owner
; window, an unused value, a text pointer) and answers a 32-bit integer.
;
;   makensis -DOUTFILE=/tmp/LumenoSetup.exe examples/installer/Lumeno.nsi
;
; A Unicode installer, NSIS's default; -DANSI builds the same script as an
; ANSI one. Either way the module's texts go through the System plugin's "m"
; type, which passes and reads ANSI text (the module's) in both kinds.
;
; makensis works in this script's folder: the module is taken from the win32
; build (out/win32/Gantrel.dll) unless -DMODULE gives another, full, path.
;
; Optional: -DDATABASE_PATH=... to store another spelling of the database
; folder in dbPath (the default is $INSTDIR\Database).
;
; What the module answered is appended to $INSTDIR\hooks.log, one line per
; call in the form "Name = result", the way gantrel-host prints it.
;
; Exit codes: 0 when the set-up or the removal is done; 2 when the script
; stopped it: an install folder the ANSI code page cannot carry, a call to the
; module that did not happen, or a removal the user declined or the running
; product prevented. A silent run (/S) shows no box and waits for nobody.

!ifdef ANSI
  Unicode false
!else
  Unicode true
!endif
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
!define PRODUCT_WINDOW "LumenoMainWindow"

Name "Lumeno"
OutFile "${OUTFILE}"
; C:\Program Files (x86)\Corvanet\Lumeno for this 32-bit installer on 64-bit
; Windows.
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

; CallModule FILE FUNCTION TEXT FIRST SECOND [OPTIONS]: calls FUNCTION of the
; module FILE with the owner window, 0 and TEXT (an "m" argument: "value" or
; .rN), leaves its result in $0 and logs it. The path is quoted, since the
; System plugin reads a "(" in an unquoted one ("Program Files (x86)") as
; the start of the call and calls nothing. Any answer but FIRST or SECOND
; stops the run: "error" (the System plugin found no library or no such
; function) or the preset "not called" (it made no call at all).
!macro CallModule PREFIX FILE FUNCTION TEXT FIRST SECOND OPTIONS
  StrCpy $0 "not called"
  System::Call '"${FILE}"::${FUNCTION}(i $HWNDPARENT, i 0, m ${TEXT}) i .r0 ${OPTIONS}'
  !insertmacro LogResult "${FUNCTION} = $0"
  StrCpy $R7 "${FUNCTION}"
  StrCpy $R8 "${FIRST}"
  StrCpy $R9 "${SECOND}"
  Call ${PREFIX}ExpectResult
!macroend

; ExpectResult: $0 is the answer of the call named $R7, which may be $R8 or
; $R9; anything else ends the run with exit code 2.
!macro ExpectResultFunction PREFIX
Function ${PREFIX}ExpectResult
  StrCmp $0 $R8 done
  StrCmp $0 $R9 done
  MessageBox MB_OK|MB_ICONSTOP "Gantrel.dll did not answer $R7 ($0).$\r$\nLumeno cannot be set up or removed here." /SD IDOK
  SetErrorLevel 2
  Quit
  done:
FunctionEnd
!macroend
!insertmacro ExpectResultFunction ""
!insertmacro ExpectResultFunction "un."

; The module takes ANSI text, so every folder it is handed must survive the
; trip into the ANSI code page: a character the code page cannot carry
; becomes "?" or a look-alike ("O" for an omega), and the module would be
; handed a path that names nothing, or another folder. $R0 is the empty text
; for a folder that survives. A Unicode installer asks about the folder
; itself; an ANSI one only ever saw the folder after that trip, so it asks
; about the command line its /D= came in, and refuses the "?" that its
; directory page leaves for such a character.
Function InstallFolderProblem
  StrCpy $R0 ""
  StrCpy $3 1
!ifdef ANSI
  System::Call 'kernel32::GetCommandLineW() i .r5'
  ; WC_NO_BEST_FIT_CHARS: no look-alikes, and $3 tells whether any
  ; character was replaced.
  System::Call 'kernel32::WideCharToMultiByte(i 0, i 0x400, i r5, i -1, m .r2, i ${NSIS_MAX_STRLEN}, i 0, *i 0 r3) i .r4'
!else
  System::Call 'kernel32::WideCharToMultiByte(i 0, i 0x400, w "$INSTDIR", i -1, m .r2, i ${NSIS_MAX_STRLEN}, i 0, *i 0 r3) i .r4'
!endif
  IntCmp $4 0 lost
  IntCmp $3 0 0 lost lost
  ClearErrors
  ${WordFind} "$INSTDIR" "?" "E*" $3
  IfErrors done
  lost:
  StrCpy $R0 "The folder $INSTDIR has characters that the system's code page cannot carry, and Lumeno's setup module takes only such text.$\r$\nChoose a folder whose name the code page carries."
  done:
FunctionEnd

; The directory page takes no folder the module could not be handed.
Function .onVerifyInstDir
  Call InstallFolderProblem
  StrCmp $R0 "" +2
  Abort
FunctionEnd

Section "Lumeno"
  ; Before anything is copied: a silent run (/D=) never saw the page.
  Call InstallFolderProblem
  StrCmp $R0 "" carried
    MessageBox MB_OK|MB_ICONSTOP "$R0" /SD IDOK
    SetErrorLevel 2
    Quit
  carried:

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

  !define HOOKS "$INSTDIR\Program\Gantrel.dll"
  ; 1 when Windows Sockets 2.0 starts, 0 when not: both are answers.
  !insertmacro CallModule "" "${HOOKS}" IsWs2 '""' 1 0 ""
  !insertmacro CallModule "" "${HOOKS}" SetupServer '"$INSTDIR\Program\settings.ini"' 0 0 ""

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
  !insertmacro CallModule "" "${HOOKS}" SetUninstallInfo '""' 1 1 ""
  ; "m .r1" hands the module a buffer of NSIS_MAX_STRLEN (1024) bytes, the
  ; 1000 GetVKTFolder needs, and reads its ANSI answer back; ?u unloads the
  ; module after this last call.
  !insertmacro CallModule "" "${HOOKS}" GetVKTFolder .r1 1 1 "?u"
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
  IfSilent silent
  ; UninstInitialize asks the user and refuses while the product runs: on
  ; -1 nothing is removed, and the uninstaller ends with 2 at once (the
  ; module's box has told the user why).
  !insertmacro CallModule "un." "$R0" UninstInitialize '""' 0 -1 ""
  IntCmp $0 -1 0 registrations registrations
    SetErrorLevel 2
    Quit

  ; A silent removal asks nobody, so it cannot call UninstInitialize, whose
  ; box would wait for a user: the script looks for the running product
  ; itself, and CleanupDatabase removes the database without a question.
  silent:
  FindWindow $1 "${PRODUCT_WINDOW}"
  IntCmp $1 0 cleanup
    !insertmacro LogResult "${PRODUCT_WINDOW} is open: Lumeno stays installed"
    SetErrorLevel 2
    Quit
  cleanup:
  !insertmacro CallModule "un." "$R0" CleanupDatabase '""' 1 1 ""

  registrations:
  !insertmacro CallModule "un." "$R0" UninstUnInitialize '""' 0 0 "?u"

  files:
  Delete "$INSTDIR\Program\Gantrel.dll"
  Delete "$INSTDIR\Program\settings.ini"
  RMDir "$INSTDIR\Program"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  Delete "$INSTDIR\uninst.exe"
  RMDir "$INSTDIR"
  ; A removal the user watched ends by itself.
  SetAutoClose true
SectionEnd
