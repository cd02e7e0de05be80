; Kelvane's installer for 64-bit Windows, made with makensis:
;   makensis -DVERSION=0.1.0 -DBUILD=<build folder> -DOUTFILE=<installer> Kelvane.nsi
; The programs go to Program Files\Kelvane\bin and the bundled recordings to
; share\kelvane\recordings beside it, where the replay dialog opens; the
; uninstaller removes the programs and leaves the user's settings (in the
; registry) and logs (in the local application data) alone. /S installs
; and uninstalls without asking.

; A 64-bit installer for 64-bit programs: it runs wherever they do.
Target amd64-unicode
!include "x64.nsh"

Name "Kelvane ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Kelvane"
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Kelvane"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Function .onInit
  SetRegView 64
FunctionEnd

Section "Kelvane"
  SetOutPath "$INSTDIR\bin"
  File "${BUILD}/bin/Kelvane.exe"
  File "${BUILD}/bin/kelvane-decode.exe"
  File "${BUILD}/bin/brinecore-dump.exe"
  File "${BUILD}/bin/Brinecore.dll"
  SetOutPath "$INSTDIR\share\kelvane\recordings"
  File "${BUILD}/share/kelvane/recordings/*.*"
  ; The web view's page carries these libraries and map data inside the
  ; programs; their licences go with them.
  SetOutPath "$INSTDIR\share\kelvane\licences"
  File "/oname=leaflet.txt" "${SOURCE}/app/web/assets/vendor/leaflet/LICENSE"
  File "/oname=uplot.txt" "${SOURCE}/app/web/assets/vendor/uplot/LICENSE"
  File "/oname=topojson-client.txt" "${SOURCE}/app/web/assets/vendor/topojson-client/LICENSE"
  File "/oname=world-atlas.txt" "${SOURCE}/app/web/assets/vendor/world-atlas/LICENSE"
  File "/oname=README.txt" "${SOURCE}/app/web/assets/vendor/README.md"

  WriteUninstaller "$INSTDIR\Uninstall.exe"
  CreateDirectory "$SMPROGRAMS\Kelvane"
  SetOutPath "$INSTDIR\bin"
  CreateShortcut "$SMPROGRAMS\Kelvane\Kelvane.lnk" "$INSTDIR\bin\Kelvane.exe"
  CreateShortcut "$SMPROGRAMS\Kelvane\Uninstall Kelvane.lnk" "$INSTDIR\Uninstall.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Kelvane AIS receiver"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Kelvane"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\bin\Kelvane.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Function un.onInit
  SetRegView 64
FunctionEnd

Section "Uninstall"
  Delete "$INSTDIR\bin\Kelvane.exe"
  Delete "$INSTDIR\bin\kelvane-decode.exe"
  Delete "$INSTDIR\bin\brinecore-dump.exe"
  Delete "$INSTDIR\bin\Brinecore.dll"
  RMDir "$INSTDIR\bin"
  RMDir /r "$INSTDIR\share\kelvane"
  RMDir "$INSTDIR\share"
  Delete "$SMPROGRAMS\Kelvane\Kelvane.lnk"
  Delete "$SMPROGRAMS\Kelvane\Uninstall Kelvane.lnk"
  RMDir "$SMPROGRAMS\Kelvane"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd
