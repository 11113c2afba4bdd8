; A small real NSIS installer: writes its Uninstall key the way NSIS scripts usually do.
; makensis -DOUTFILE=<exe> -DPAYLOAD=<file> KxTestNsis.nsi
Unicode true
Target amd64-unicode
SetCompressor zlib
Name "KxTest NSIS App"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\KxTestNsisApp"
RequestExecutionLevel admin
SilentInstall silent
!define UNKEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\KxTestNsisApp"

Section
  SetRegView 64
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  File "/oname=app.exe" "${PAYLOAD}"
  CreateDirectory "$INSTDIR\data"
  File "/oname=data\readme.txt" "${PAYLOAD}"
  WriteUninstaller "$INSTDIR\uninst.exe"
  CreateDirectory "$SMPROGRAMS\KxTest NSIS App"
  CreateShortcut "$SMPROGRAMS\KxTest NSIS App\KxTest NSIS App.lnk" "$INSTDIR\app.exe"
  WriteRegStr HKLM "${UNKEY}" "DisplayName" "KxTest NSIS App"
  WriteRegStr HKLM "${UNKEY}" "UninstallString" '"$INSTDIR\uninst.exe"'
  WriteRegStr HKLM "${UNKEY}" "DisplayIcon" '"$INSTDIR\app.exe",0'
  WriteRegDWORD HKLM "${UNKEY}" "EstimatedSize" 1234
  WriteRegStr HKLM "${UNKEY}" "InstallDate" "20250115"
SectionEnd

Section "Uninstall"
  SetRegView 64
  SetShellVarContext all
  Delete "$INSTDIR\app.exe"
  Delete "$INSTDIR\data\readme.txt"
  RMDir "$INSTDIR\data"
  Delete "$INSTDIR\uninst.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\KxTest NSIS App\KxTest NSIS App.lnk"
  RMDir "$SMPROGRAMS\KxTest NSIS App"
  DeleteRegKey HKLM "${UNKEY}"
SectionEnd
