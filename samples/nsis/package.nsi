; One NSIS package of the sample machine. The package's own facts come from ${PKG}.nsh:
;   NAME (display name), KEY (Uninstall subkey), VERSION, PUBLISHER, EXE (the installed program),
;   PER_USER (defined: installed for the current user under HKCU), SHORTCUT (defined: a Start-menu shortcut),
;   ICON (defined: the program carries an icon that DisplayIcon names), INSTALL_DATE (optional),
;   LEAVES_BEHIND (defined: data, shortcuts and a Run value that the uninstaller does not remove),
;   SILENT_UNINSTALL (defined: the UninstallString itself asks for a silent uninstall, as many installers write
;   it; without it the uninstaller shows its dialog).
; Built with: makensis -INPUTCHARSET UTF8 -DPKG=<name> -DBUILD=<folder with the programs> -DOUT=<installer>
Unicode true
Target amd64-unicode
!include "${PKG}.nsh"

Name "${NAME}"
OutFile "${OUT}"
SetCompressor /SOLID lzma
ShowInstDetails nevershow

!ifdef PER_USER
  !define HIVE HKCU
  RequestExecutionLevel user
  InstallDir "$LOCALAPPDATA\Programs\${KEY}"
!else
  !define HIVE HKLM
  RequestExecutionLevel admin
  InstallDir "$PROGRAMFILES64\${KEY}"
!endif
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${KEY}"

Section "Install"
  !ifdef PER_USER
    SetShellVarContext current
  !else
    SetShellVarContext all
  !endif
  SetOutPath "$INSTDIR"
  File "/oname=${EXE}" "${BUILD}\${PKG}.exe"
  File "/oname=readme.txt" "${BUILD}\readme.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  WriteRegStr ${HIVE} "${UNINST_KEY}" "DisplayName" "${NAME}"
  WriteRegStr ${HIVE} "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr ${HIVE} "${UNINST_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr ${HIVE} "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  !ifdef SILENT_UNINSTALL
    WriteRegStr ${HIVE} "${UNINST_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe" /S'
  !else
    WriteRegStr ${HIVE} "${UNINST_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  !endif
  WriteRegStr ${HIVE} "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD ${HIVE} "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD ${HIVE} "${UNINST_KEY}" "NoRepair" 1
  !ifdef ICON
    WriteRegStr ${HIVE} "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\${EXE},0"
  !endif
  !ifdef INSTALL_DATE
    WriteRegStr ${HIVE} "${UNINST_KEY}" "InstallDate" "${INSTALL_DATE}"
  !endif
  !ifdef SHORTCUT
    CreateDirectory "$SMPROGRAMS\${NAME}"
    CreateShortcut "$SMPROGRAMS\${NAME}\${NAME}.lnk" "$INSTDIR\${EXE}"
  !endif
  !ifdef LEAVES_BEHIND
    FileOpen $0 "$INSTDIR\diary.dat" w
    FileWrite $0 "entries=1$\r$\n"
    FileClose $0
    CreateDirectory "$INSTDIR\Entries"
    FileOpen $0 "$INSTDIR\Entries\first.txt" w
    FileWrite $0 "Dear diary$\r$\n"
    FileClose $0
    SetShellVarContext current
    CreateShortcut "$DESKTOP\${NAME}.lnk" "$INSTDIR\${EXE}"
    WriteRegStr HKCU "Software\Microsoft\Windows\CurrentVersion\Run" "${KEY}" '"$INSTDIR\${EXE}" /tray'
  !endif
SectionEnd

Section "Uninstall"
  !ifdef PER_USER
    SetShellVarContext current
  !else
    SetShellVarContext all
  !endif
  !ifdef SHORTCUT
  !ifndef LEAVES_BEHIND
    Delete "$SMPROGRAMS\${NAME}\${NAME}.lnk"
    RMDir "$SMPROGRAMS\${NAME}"
  !endif
  !endif
  Delete "$INSTDIR\${EXE}"
  Delete "$INSTDIR\readme.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey ${HIVE} "${UNINST_KEY}"
SectionEnd
