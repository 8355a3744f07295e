; NivoraGladeSetup.exe: installs NivoraGlade.scr into the system folder (the
; 64-bit program on 64-bit Windows, the 32-bit one on 32-bit Windows; on 64-bit
; Windows the 32-bit one into SysWOW64 as well), makes it the current screen
; saver and registers an uninstaller. /S runs it silently.
;
; packaging/CMakeLists.txt runs makensis with:
;   SCR32, SCR64   the two builds of NivoraGlade.scr
;   ICON           NivoraGlade.ico
;   OUTFILE        the setup program to write
;   PUBLISHER      the publisher shown in the list of installed programs
;   LICENCE        the licence text, installed as LICENSE.txt beside the uninstaller
;
; The uninstall entry is also where the saver the user had before is kept,
; so that uninstalling can give it back:
;   PreviousSaverRecorded  DWORD 1 once recorded (a reinstall keeps the first record)
;   PreviousScreenSaver    the earlier SCRNSAVE.EXE; absent when there was none
;   PreviousScreenSaveActive  the earlier ScreenSaveActive; absent when there was none
; The user's settings (HKCU\Software\NivoraGlade) are the program's own: setup
; never writes them, and the uninstaller removes them only when asked.

Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include FileFunc.nsh
!include LogicLib.nsh
!include x64.nsh

; The version comes from the programs' own version information, and both
; builds must carry the same one.
!getdllversion "${SCR32}" VERSION_
!getdllversion "${SCR64}" VERSION64_
!if "${VERSION_1}.${VERSION_2}.${VERSION_3}.${VERSION_4}" != "${VERSION64_1}.${VERSION64_2}.${VERSION64_3}.${VERSION64_4}"
  !error "The 32-bit and 64-bit NivoraGlade.scr carry different versions"
!endif
!define VERSION "${VERSION_1}.${VERSION_2}.${VERSION_3}"

!define PRODUCT "Nivora Glade"
!define SCR_NAME "NivoraGlade.scr"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\NivoraGlade"
!define DESKTOP_KEY "Control Panel\Desktop"
!define SETTINGS_KEY "Software\NivoraGlade"
!define SPI_SETSCREENSAVEACTIVE 17
!define SPIF_UPDATEINIFILE_SENDCHANGE 3

Name "${PRODUCT}"
Caption "${PRODUCT} ${VERSION} Setup"
OutFile "${OUTFILE}"
Icon "${ICON}"
UninstallIcon "${ICON}"
BrandingText "${PRODUCT} ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION_1}.${VERSION_2}.${VERSION_3}.${VERSION_4}"
VIAddVersionKey /LANG=1033 ProductName "${PRODUCT}"
VIAddVersionKey /LANG=1033 CompanyName "${PUBLISHER}"
VIAddVersionKey /LANG=1033 FileDescription "${PRODUCT} Setup"
VIAddVersionKey /LANG=1033 FileVersion "${VERSION}"
VIAddVersionKey /LANG=1033 ProductVersion "${VERSION}"
VIAddVersionKey /LANG=1033 LegalCopyright "Copyright (c) 2026 The Nivora Glade developers. MIT License."

Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; The program files folder (of the native view) holds the uninstaller; an
; earlier installation's folder is kept, and /D= chooses another.
Function .onInit
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
  ${If} $INSTDIR == ""
    ReadRegStr $INSTDIR HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${EndIf}
  ${If} $INSTDIR == ""
    ${If} ${RunningX64}
      StrCpy $INSTDIR "$PROGRAMFILES64\${PRODUCT}"
    ${Else}
      StrCpy $INSTDIR "$PROGRAMFILES\${PRODUCT}"
    ${EndIf}
  ${EndIf}
FunctionEnd

Function un.onInit
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
FunctionEnd

; Size in KB of a file (0 when it cannot be opened): $0 in, $0 out.
Function FileSizeKB
  Push $1
  ClearErrors
  FileOpen $1 $0 r
  ${If} ${Errors}
    StrCpy $0 0
  ${Else}
    FileSeek $1 0 END $0
    FileClose $1
    IntOp $0 $0 + 1023
    IntOp $0 $0 / 1024
  ${EndIf}
  Pop $1
FunctionEnd

Section "${PRODUCT}"
  SectionIn RO

  ; The saver goes where the display settings look for savers: the real
  ; System32, which a 32-bit setup program sees only with redirection off.
  ; $R0 is its short path, as the system itself writes SCRNSAVE.EXE; $R1 its size.
  ${If} ${RunningX64}
    ${DisableX64FSRedirection}
    SetOutPath "$SYSDIR"
    File "/oname=${SCR_NAME}" "${SCR64}"
  ${Else}
    SetOutPath "$SYSDIR"
    File "/oname=${SCR_NAME}" "${SCR32}"
  ${EndIf}
  GetFullPathName /SHORT $R0 "$SYSDIR\${SCR_NAME}"
  ${If} $R0 == ""
    ; No 8.3 names on this volume: the long path is all there is.
    StrCpy $R0 "$SYSDIR\${SCR_NAME}"
  ${EndIf}
  StrCpy $0 "$SYSDIR\${SCR_NAME}"
  Call FileSizeKB
  StrCpy $R1 $0
  ${If} ${RunningX64}
    ${EnableX64FSRedirection}
    ; A 32-bit program that starts the saver by its SCRNSAVE.EXE path sees
    ; System32 redirected to SysWOW64: the 32-bit program waits there under
    ; the same name. Should the two copies have got different short names,
    ; the long path is the one that both kinds of program find.
    SetOutPath "$WINDIR\SysWOW64"
    File "/oname=${SCR_NAME}" "${SCR32}"
    StrCpy $0 "$WINDIR\SysWOW64\${SCR_NAME}"
    Call FileSizeKB
    IntOp $R1 $R1 + $0
    GetFullPathName /SHORT $R2 "$WINDIR\SysWOW64\${SCR_NAME}"
    ${GetFileName} $R0 $R3
    ${GetFileName} $R2 $R4
    ${If} $R3 != $R4
      StrCpy $R0 "$SYSDIR\${SCR_NAME}"
    ${EndIf}
  ${EndIf}

  SetOutPath "$INSTDIR"
  File "/oname=LICENSE.txt" "${LICENCE}"
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  StrCpy $0 "$INSTDIR\Uninstall.exe"
  Call FileSizeKB
  IntOp $R1 $R1 + $0

  ; The saver in use until now, recorded once: a reinstall or an upgrade must
  ; not record this saver as the one to go back to.
  ReadRegDWORD $0 HKLM "${UNINSTALL_KEY}" "PreviousSaverRecorded"
  ${If} $0 != 1
    ClearErrors
    ReadRegStr $1 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
    ${IfNot} ${Errors}
    ${AndIf} $1 != $R0
    ${AndIf} $1 != "$SYSDIR\${SCR_NAME}"
      WriteRegStr HKLM "${UNINSTALL_KEY}" "PreviousScreenSaver" $1
    ${EndIf}
    ClearErrors
    ReadRegStr $1 HKCU "${DESKTOP_KEY}" "ScreenSaveActive"
    ${IfNot} ${Errors}
      WriteRegStr HKLM "${UNINSTALL_KEY}" "PreviousScreenSaveActive" $1
    ${EndIf}
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "PreviousSaverRecorded" 1
  ${EndIf}

  ; The current saver. SystemParametersInfo tells the running session too;
  ; ScreenSaveActive is written after it, so that the stored value is "1"
  ; whatever the call did to it (under Wine it was seen missing afterwards).
  WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" $R0
  System::Call 'user32::SystemParametersInfoW(i ${SPI_SETSCREENSAVEACTIVE}, i 1, p 0, i ${SPIF_UPDATEINIFILE_SENDCHANGE})'
  WriteRegStr HKCU "${DESKTOP_KEY}" "ScreenSaveActive" "1"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "VersionMajor" ${VERSION_1}
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "VersionMinor" ${VERSION_2}
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Uninstall.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $R1
SectionEnd

Section "Uninstall"
  ${If} ${RunningX64}
    ${DisableX64FSRedirection}
  ${EndIf}
  GetFullPathName /SHORT $R0 "$SYSDIR\${SCR_NAME}"
  StrCpy $R2 "$SYSDIR\${SCR_NAME}"
  ; A saver that is running keeps its file until the next start of Windows.
  Delete /REBOOTOK "$SYSDIR\${SCR_NAME}"
  ${If} ${RunningX64}
    ${EnableX64FSRedirection}
    Delete /REBOOTOK "$WINDIR\SysWOW64\${SCR_NAME}"
  ${EndIf}

  ; Give the earlier saver back, unless the user has chosen another since.
  ReadRegStr $1 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
  ${If} $1 != ""
  ${AndIf} $1 == $R0
  ${OrIf} $1 == $R2
    ClearErrors
    ReadRegStr $2 HKLM "${UNINSTALL_KEY}" "PreviousScreenSaver"
    ${If} ${Errors}
      DeleteRegValue HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
    ${Else}
      WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" $2
    ${EndIf}
    ClearErrors
    ReadRegStr $2 HKLM "${UNINSTALL_KEY}" "PreviousScreenSaveActive"
    ${If} ${Errors}
      DeleteRegValue HKCU "${DESKTOP_KEY}" "ScreenSaveActive"
    ${Else}
      System::Call 'user32::SystemParametersInfoW(i ${SPI_SETSCREENSAVEACTIVE}, i $2, p 0, i ${SPIF_UPDATEINIFILE_SENDCHANGE})'
      WriteRegStr HKCU "${DESKTOP_KEY}" "ScreenSaveActive" $2
    ${EndIf}
  ${EndIf}

  ; The settings stay unless the user says otherwise; silently they stay.
  MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 \
    "Also remove your ${PRODUCT} settings?" /SD IDNO IDNO keep_settings
    DeleteRegKey HKCU "${SETTINGS_KEY}"
  keep_settings:

  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
