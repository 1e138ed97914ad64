; The parallel port Quorvane drives, as the installer sets it: a page that
; offers the ports Windows lists, or takes the base of another, and in a
; silent install the command line's ${QUORVANE_PORT_SWITCH}BASE. The ports
; and the check of a base come from quorvane-porttest ("list --bases",
; "base VALUE"), run from this installer's own temporary folder, so that
; the installer lists the ports and reads a base exactly as the program
; does. The base is written where the program reads it, before the service
; can start; none chosen writes nothing, and the program keeps its own rule
; (the port at 0x378, else the only one) as it did before any setting.
;
; Included by quorvane.nsh, which defines QUORVANE_PORTTEST (the program's
; file name), QUORVANE_SETTINGS_KEY (under HKLM), QUORVANE_PORT_VALUE and
; QUORVANE_PORT_SWITCH, all from the build.
;
; A 32-bit installer writes the 32-bit view of HKLM\SOFTWARE, which is the
; view the 32-bit program reads.

; The base to write, as quorvane-porttest prints it ("0x278"); empty when
; nothing is to be written.
Var QuorvanePort
Var QuorvanePortBox

; quorvane-porttest in this installer's temporary folder, placed once.
!macro QuorvanePortTool
  InitPluginsDir
  ${IfNot} ${FileExists} "$PLUGINSDIR\${QUORVANE_PORTTEST}"
    File "/oname=$PLUGINSDIR\${QUORVANE_PORTTEST}" "${INST_DIR}\${QUORVANE_PORTTEST}"
  ${EndIf}
!macroend

; Takes the first line off $R0 into $R1, without its line end.
Function QuorvaneNextLine
  StrCpy $R1 ""
  ${Do}
    StrCpy $R2 $R0 1
    StrCpy $R0 $R0 "" 1
    ${If} $R2 == ""
    ${OrIf} $R2 == "$\n"
      ${ExitDo}
    ${EndIf}
    ${If} $R2 != "$\r"
      StrCpy $R1 "$R1$R2"
    ${EndIf}
  ${Loop}
FunctionEnd

; The first word of $R1 into $R2: an offered line's base.
Function QuorvaneFirstWord
  StrCpy $R3 0
  ${Do}
    StrCpy $R2 $R1 1 $R3
    ${If} $R2 == ""
    ${OrIf} $R2 == " "
      ${ExitDo}
    ${EndIf}
    IntOp $R3 $R3 + 1
  ${Loop}
  StrCpy $R2 $R1 $R3
FunctionEnd

; $0, a text for the setting, checked as the program reads a setting: on
; return $0 is its base in hex and the error flag is clear, or the flag is
; set and $1 says why it is none. Changes $2 and $R0 to $R2.
Function QuorvaneCheckPort
  !insertmacro QuorvanePortTool
  nsExec::ExecToStack '"$PLUGINSDIR\${QUORVANE_PORTTEST}" base "$0"'
  Pop $2
  Pop $R0
  Call QuorvaneNextLine
  ClearErrors
  ${If} $2 == 0
    StrCpy $0 $R1
  ${Else}
    StrCpy $1 $R1
    SetErrors
  ${EndIf}
FunctionEnd

; The page: the ports Windows lists in a box that also takes a typed base,
; the one the program would use now preselected (quorvane-porttest puts it
; first); an interactive run's ${QUORVANE_PORT_SWITCH}BASE stands in the box.
Function QuorvanePortPage
  !insertmacro QuorvanePortTool
  nsExec::ExecToStack '"$PLUGINSDIR\${QUORVANE_PORTTEST}" list --bases'
  Pop $0
  Pop $R0
  ${If} $0 != 0
    StrCpy $R0 ""
  ${EndIf}
  !insertmacro MUI_HEADER_TEXT "Parallel port" "Choose the port the supervising device is wired to."
  nsDialogs::Create 1018
  Pop $0
  ${If} $R0 == ""
    ${NSD_CreateLabel} 0 0 100% 48u "Windows lists no parallel port here. Leave the box empty and Quorvane uses the port at 0x378, as it always has; or type the base of the port: the start of its first I/O range in Device Manager, e.g. 0xD010."
  ${Else}
    ${NSD_CreateLabel} 0 0 100% 48u "Quorvane answers on one parallel port. Choose it among those Windows lists (the first is the one Quorvane would use now), or type the base of another: the start of its first I/O range in Device Manager, e.g. 0xD010."
  ${EndIf}
  Pop $0
  ${NSD_CreateComboBox} 0 52u 70% 80u ""
  Pop $QuorvanePortBox
  StrCpy $3 ""
  ${Do}
    ${If} $R0 == ""
      ${ExitDo}
    ${EndIf}
    Call QuorvaneNextLine
    ${If} $R1 != ""
      ${NSD_CB_AddString} $QuorvanePortBox $R1
      ${If} $3 == ""
        StrCpy $3 $R1
      ${EndIf}
    ${EndIf}
  ${Loop}
  ${If} $3 != ""
    ${NSD_CB_SelectString} $QuorvanePortBox $3
  ${EndIf}
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "${QUORVANE_PORT_SWITCH}" $1
  ${IfNot} ${Errors}
    ${NSD_SetText} $QuorvanePortBox $1
  ${EndIf}
  nsDialogs::Show
FunctionEnd

; Leaving the page: the box's first word checked; one that is no base keeps
; the page, saying why.
Function QuorvanePortPageLeave
  ${NSD_GetText} $QuorvanePortBox $R1
  Call QuorvaneFirstWord
  StrCpy $4 $R2
  StrCpy $QuorvanePort ""
  ${If} $4 != ""
    StrCpy $0 $4
    Call QuorvaneCheckPort
    ${If} ${Errors}
      MessageBox MB_OK|MB_ICONEXCLAMATION "$4 is no parallel port's base: $1"
      Abort
    ${EndIf}
    StrCpy $QuorvanePort $0
  ${EndIf}
FunctionEnd

; A silent install: the command line's ${QUORVANE_PORT_SWITCH}BASE, checked;
; one that is no base refuses the install before any file is placed.
; Without it nothing is written, and a setting made before stays.
!macro QuorvanePortFromCommandLine
  ${If} ${Silent}
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "${QUORVANE_PORT_SWITCH}" $4
    ${IfNot} ${Errors}
      StrCpy $0 $4
      Call QuorvaneCheckPort
      ${If} ${Errors}
        !insertmacro QuorvaneRefuse "${QUORVANE_PORT_SWITCH}$4 names no parallel port's base: $1"
      ${EndIf}
      StrCpy $QuorvanePort $0
    ${EndIf}
  ${EndIf}
!macroend

; The base chosen, where the program reads it.
!macro QuorvaneWritePort
  ${If} $QuorvanePort != ""
    ClearErrors
    WriteRegStr HKLM "${QUORVANE_SETTINGS_KEY}" "${QUORVANE_PORT_VALUE}" "$QuorvanePort"
    ${If} ${Errors}
      !insertmacro QuorvaneRefuse "The port could not be set in HKLM\${QUORVANE_SETTINGS_KEY}\${QUORVANE_PORT_VALUE}."
    ${EndIf}
    DetailPrint "Quorvane's parallel port: $QuorvanePort (HKLM\${QUORVANE_SETTINGS_KEY}\${QUORVANE_PORT_VALUE})"
  ${EndIf}
!macroend

; Uninstalling: the setting goes with the program.
!macro QuorvaneForgetPort
  DeleteRegValue HKLM "${QUORVANE_SETTINGS_KEY}" "${QUORVANE_PORT_VALUE}"
  DeleteRegKey /ifempty HKLM "${QUORVANE_SETTINGS_KEY}"
!macroend
