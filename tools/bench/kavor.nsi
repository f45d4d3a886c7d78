; The setup programs' job done by a generic installer, for the benchmark: silent, at user
; level. Built twice by makensis: -DUNINSTALL gives the uninstall job. NSIS's own
; uninstaller is written by its installer and, started, first copies itself to the
; temporary folder; a second installer doing that job spares NSIS both. The add-in's
; name and file names come from tools/bench.sh, which reads them from the product's facts.
; makensis -DSHIPMENT=FOLDER -DOUTPUT=EXE -DDISPLAY_NAME=NAME -DLIBRARY=NAME -DWORKBOOK=NAME
;          -DHELP=NAME -DSETUP_WORKBOOK=NAME -DREMOVAL_WORKBOOK=NAME [-DUNINSTALL] kavor.nsi
Name "${DISPLAY_NAME}"
OutFile "${OUTPUT}"
RequestExecutionLevel user
SilentInstall silent

Section
!ifdef UNINSTALL
    ExecShell "open" "$EXEDIR\${REMOVAL_WORKBOOK}"
    Delete "$APPDATA\Microsoft\AddIns\${LIBRARY}"
    Delete "$APPDATA\Microsoft\AddIns\${WORKBOOK}"
    Delete "$APPDATA\Microsoft\AddIns\${HELP}"
!else
    SetOutPath "$APPDATA\Microsoft\AddIns"
    File "${SHIPMENT}/${LIBRARY}"
    File "${SHIPMENT}/${WORKBOOK}"
    File "${SHIPMENT}/${HELP}"
    ExecShell "open" "$EXEDIR\${SETUP_WORKBOOK}"
!endif
SectionEnd
