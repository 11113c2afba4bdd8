; Installed for the current user only: its Uninstall entry lives under HKCU. Its UninstallString runs silently.
!define NAME "KxSample Notes 2.1"
!define KEY "KxSampleNotes"
!define VERSION "2.1.0"
!define PUBLISHER "KxSample"
!define EXE "KxNotes.exe"
!define PER_USER
!define SILENT_UNINSTALL
