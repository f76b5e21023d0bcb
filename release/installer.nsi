; The installer of Ostrevak Tessune: per machine, into Program Files, with a
; Start-menu shortcut and an entry in "Programs and Features". Built by
; scripts/release.sh, which passes:
;   VERSION   the program's version (1.0.9.10)
;   STAGE     the folder holding ravelund.exe, LISEZMOI.txt and LICENCE.txt
;   ICON      the program's icon file
;   OUTFILE   the installer to write
; The uninstaller removes what this installer wrote and nothing else: the
; settings file and the journal in the user's profile folder stay.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
SetDatablockOptimize on
CRCCheck on

!include "MUI2.nsh"
!include "FileFunc.nsh"

!define PRODUCT "Ostrevak Tessune"
!define PUBLISHER "Ostrevak"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\OstrevakTessune"
!define UNINSTALLER "desinstaller.exe"
!define SHORTCUT "$SMPROGRAMS\${PRODUCT}.lnk"

Name "${PRODUCT}"
Caption "Installation de ${PRODUCT} ${VERSION}"
UninstallCaption "Désinstallation de ${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel admin
ShowInstDetails show
ShowUninstDetails show
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}"
VIFileVersion "${VERSION}"
VIAddVersionKey /LANG=1036 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1036 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1036 "FileDescription" "Installation de ${PRODUCT}"
VIAddVersionKey /LANG=1036 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1036 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1036 "LegalCopyright" "© 2026 ${PUBLISHER}"
VIAddVersionKey /LANG=1036 "OriginalFilename" "ravelund-${VERSION}-setup.exe"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\ravelund.exe"
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\LISEZMOI.txt"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${STAGE}\LICENCE.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "French"

Function .onInit
  SetShellVarContext all
  SetRegView 64
FunctionEnd

Function un.onInit
  SetShellVarContext all
  SetRegView 64
FunctionEnd

Section "Ostrevak Tessune" SectionProgram
  SectionIn RO
  SetOutPath "$INSTDIR"
  File "${STAGE}\ravelund.exe"
  File "${STAGE}\LISEZMOI.txt"
  File "${STAGE}\LICENCE.txt"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  SetOutPath "$INSTDIR"  ; the shortcut starts the program in its own folder
  CreateShortcut "${SHORTCUT}" "$INSTDIR\ravelund.exe" "" "$INSTDIR\ravelund.exe" 0 \
    SW_SHOWNORMAL "" "Copier un dossier et vérifier la copie"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\ravelund.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

Section "Uninstall"
  ; Only the files this installer wrote, by name: whatever else the folder
  ; holds is the user's and keeps the folder.
  Delete "$INSTDIR\ravelund.exe"
  Delete "$INSTDIR\LISEZMOI.txt"
  Delete "$INSTDIR\LICENCE.txt"
  Delete "$INSTDIR\${UNINSTALLER}"
  RMDir "$INSTDIR"
  Delete "${SHORTCUT}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
