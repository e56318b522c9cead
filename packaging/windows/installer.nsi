; Quillon's Windows installer, made by scripts/windows/package.sh with NSIS:
;   makensis -DVERSION=2.3.0 -DSOURCE_DIR=<deployed folder> -DFILES=<files.nsh> -DOUT_FILE=<setup.exe> installer.nsi
; A per-user installation under %LOCALAPPDATA%\Programs\Quillon: no administrator rights, and the
; program can replace its own Quillon.exe when it updates itself. The uninstaller removes exactly
; the files it installed (FILES lists them) and what updates leave behind, never config.conf or
; "Templates Setting", which the window keeps in its working folder, the installation folder.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
ManifestDPIAware true

!define PRODUCT "Quillon"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillon"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUT_FILE}"
InstallDir "$LOCALAPPDATA\Programs\Quillon"
InstallDirRegKey HKCU "Software\Quillon" "InstallDir"
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=0 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileDescription" "${PRODUCT} ${VERSION} setup"
VIAddVersionKey /LANG=0 "CompanyName" "${PRODUCT}"
VIAddVersionKey /LANG=0 "LegalCopyright" "${PRODUCT}"

!include "MUI2.nsh"
!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\Quillon.exe"

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Russian"

!include "${FILES}"

Section "Quillon"
    SetOutPath "$INSTDIR"
    !insertmacro InstallFiles
    WriteUninstaller "$INSTDIR\Uninstall.exe"

    ; The shortcut starts Quillon in its folder, where it keeps config.conf and its templates.
    SetOutPath "$INSTDIR"
    CreateDirectory "$SMPROGRAMS\Quillon"
    CreateShortcut "$SMPROGRAMS\Quillon\Quillon.lnk" "$INSTDIR\Quillon.exe" "" "$INSTDIR\Quillon.exe" 0
    CreateShortcut "$SMPROGRAMS\Quillon\Удалить Quillon.lnk" "$INSTDIR\Uninstall.exe"

    WriteRegStr HKCU "Software\Quillon" "InstallDir" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PRODUCT}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Quillon.exe"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
    !insertmacro UninstallFiles
    ; Left by a self-update: the moved-aside build, its clean-up script, an unfinished download.
    Delete "$INSTDIR\Quillon.old.exe"
    Delete "$INSTDIR\quillon-update-cleanup.bat"
    Delete "$INSTDIR\Old"
    Delete "$INSTDIR\delete.bat"
    Delete "$INSTDIR\Quillon_new.exe"
    Delete "$INSTDIR\Quillon_new.exe.*"
    Delete "$INSTDIR\Uninstall.exe"
    ; Only when empty: config.conf and "Templates Setting" stay where the user left them.
    RMDir "$INSTDIR"

    Delete "$SMPROGRAMS\Quillon\Quillon.lnk"
    Delete "$SMPROGRAMS\Quillon\Удалить Quillon.lnk"
    RMDir "$SMPROGRAMS\Quillon"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
    DeleteRegKey HKCU "Software\Quillon"
SectionEnd
