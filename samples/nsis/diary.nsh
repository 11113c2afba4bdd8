; Leaves things behind when uninstalled, as many real uninstallers do: its data file and a folder of entries in
; the install folder, its Start-menu shortcut, a desktop shortcut of the installing user and its Run value.
!define NAME "KxSample Diary 3.0"
!define KEY "KxSampleDiary"
!define VERSION "3.0.0"
!define PUBLISHER "KxSample"
!define EXE "KxDiary.exe"
!define SHORTCUT
!define LEAVES_BEHIND
; Its UninstallString runs silently.
!define SILENT_UNINSTALL
