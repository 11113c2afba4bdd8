; A plain machine-wide package: no icon, no shortcut, no install date. Its uninstaller shows its dialog.
!define NAME "KxSample Image Viewer"
!define KEY "KxSampleViewer"
!define VERSION "0.9.4"
!define PUBLISHER "KxSample"
!define EXE "KxViewer.exe"
