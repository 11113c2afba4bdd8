; A well-known archiver's name, so that the data component's rules have something to match; with an icon
; and a Start-menu shortcut.
!define NAME "7-Zip 23.01 (x64)"
!define KEY "7-Zip"
!define VERSION "23.01"
!define PUBLISHER "KxSample"
!define EXE "7zFM.exe"
!define ICON
!define SHORTCUT
!define INSTALL_DATE "20240115"
!define SILENT_UNINSTALL
