; A Chinese display name (a well-known chat program's), installed for the machine.
!define NAME "微信"
!define KEY "WeChat"
!define VERSION "3.9.8"
!define PUBLISHER "KxSample"
!define EXE "WeChat.exe"
!define ICON
