; The setup programs' job done by a generic installer, for the benchmark: silent, at user
; level. Built twice by makensis: -DUNINSTALL gives the uninstall job. NSIS's own
; uninstaller is written by its installer and, started, first copies itself to the
; temporary folder; a second installer doing that job spares NSIS both.
; makensis -DSHIPMENT=FOLDER -DOUTPUT=EXE [-DUNINSTALL] kavor.nsi
Name "Kavor Interface"
OutFile "${OUTPUT}"
RequestExecutionLevel user
SilentInstall silent

Section
!ifdef UNINSTALL
    ExecShell "open" "$EXEDIR\DEL_ADDIN.XLS"
    Delete "$APPDATA\Microsoft\AddIns\kavorlib.dll"
    Delete "$APPDATA\Microsoft\AddIns\kavorlib.xla"
    Delete "$APPDATA\Microsoft\AddIns\kavor.hlp"
!else
    SetOutPath "$APPDATA\Microsoft\AddIns"
    File "${SHIPMENT}/kavorlib.dll"
    File "${SHIPMENT}/kavorlib.xla"
    File "${SHIPMENT}/kavor.hlp"
    ExecShell "open" "$EXEDIR\addinsetup.xls"
!endif
SectionEnd
