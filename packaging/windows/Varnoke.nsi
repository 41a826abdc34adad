; The Windows installer: Varnoke.dll into the VST 2 plug-in folder the user
; picks (C:\Program Files\VSTPlugins by default), the Varnoke.vst3 bundle into
; C:\Program Files\Common Files\VST3 where every VST3 host looks, the
; factory presets as .fxp files in "Varnoke Presets" beside the DLL, and an
; uninstaller listed among the installed programs. /S installs and uninstalls
; silently.
;
; The build (packaging/windows/CMakeLists.txt) passes, from the product's
; identity and the Windows build:
;   PRODUCT, VENDOR, VERSION (major.minor.patch), DLL, VST3_BUNDLE, LICENSE_FILE, OUTFILE,
;   PRESETS_DIR (the .fxp files), PRESETS_NSH (DeleteFactoryPresets, their names)

!macro RequireDefine NAME
  !ifndef ${NAME}
    !error "${NAME} is not defined: build the installer through the build (target varnoke_installer)"
  !endif
!macroend
!insertmacro RequireDefine PRODUCT
!insertmacro RequireDefine VENDOR
!insertmacro RequireDefine VERSION
!insertmacro RequireDefine DLL
!insertmacro RequireDefine VST3_BUNDLE
!insertmacro RequireDefine LICENSE_FILE
!insertmacro RequireDefine OUTFILE
!insertmacro RequireDefine PRESETS_DIR
!insertmacro RequireDefine PRESETS_NSH
!include "${PRESETS_NSH}"

Unicode true
; A 64-bit installer: the plug-ins are 64-bit only, and 32-bit Windows refuses
; to start a 64-bit program, so nothing is ever installed where it cannot load.
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include MUI2.nsh
!include LogicLib.nsh
!include x64.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
; The uninstaller and the program's own files; the plug-in folders are shared with other products.
!define PROGRAM_FOLDER "$PROGRAMFILES64\${VENDOR}\${PRODUCT}"
!define UNINSTALLER "Uninstall ${PRODUCT}.exe"
!define VST3_FOLDER "$COMMONFILES64\VST3"
; Beside the VST 2 plug-in, where its users look for its presets.
!define PRESETS_FOLDER_NAME "${PRODUCT} Presets"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\VSTPlugins"
BrandingText "${VENDOR} ${PRODUCT} ${VERSION}"

; The installer's own version resource, from the product's identity.
VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "CompanyName" "${VENDOR}"
VIAddVersionKey "FileDescription" "${PRODUCT} ${VERSION} Setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "${VENDOR}, GPL-3"

!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_LICENSE "${LICENSE_FILE}"
!define MUI_DIRECTORYPAGE_TEXT_TOP "Setup installs the VST 2 plug-in ${PRODUCT}.dll into the folder below. Choose the folder your host scans for VST 2 plug-ins.$\r$\n$\r$\nThe VST3 plug-in goes into ${VST3_FOLDER}, where every VST3 host looks."
!define MUI_DIRECTORYPAGE_TEXT_DESTINATION "VST 2 plug-in folder"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Function .onInit
  ; With the 64-bit stub this compiles to nothing (such a program never starts
  ; on 32-bit Windows); it keeps the refusal clear should the stub ever change.
  ${IfNot} ${RunningX64}
    MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} needs 64-bit Windows: its plug-ins load only in 64-bit hosts." /SD IDOK
    Abort
  ${EndIf}
  SetRegView 64
FunctionEnd

Section "${PRODUCT}" SectionPlugins
  SetOutPath "$INSTDIR"
  File "${DLL}"

  SetOutPath "$INSTDIR\${PRESETS_FOLDER_NAME}"
  File "${PRESETS_DIR}/*.fxp"

  SetOutPath "${VST3_FOLDER}"
  File /r "${VST3_BUNDLE}"

  CreateDirectory "${PROGRAM_FOLDER}"
  WriteUninstaller "${PROGRAM_FOLDER}\${UNINSTALLER}"

  SectionGetSize ${SectionPlugins} $0
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${VENDOR}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "${PROGRAM_FOLDER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"${PROGRAM_FOLDER}\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"${PROGRAM_FOLDER}\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ; Where the VST 2 plug-in went, for the uninstaller.
  WriteRegStr HKLM "${UNINSTALL_KEY}" "VstPluginFolder" "$INSTDIR"
SectionEnd

Function un.onInit
  SetRegView 64
FunctionEnd

Section "Uninstall"
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "VstPluginFolder"
  ${If} $0 != ""
    Delete "$0\${PRODUCT}.dll"
    ; The factory presets by name: presets the user saved there stay.
    !insertmacro DeleteFactoryPresets "$0\${PRESETS_FOLDER_NAME}"
    RMDir "$0\${PRESETS_FOLDER_NAME}"
    ; Only when nothing else is in it: other plug-ins share the folder.
    RMDir "$0"
  ${EndIf}

  RMDir /r "${VST3_FOLDER}\${PRODUCT}.vst3"
  RMDir "${VST3_FOLDER}"

  ; $INSTDIR is the uninstaller's folder.
  Delete "$INSTDIR\${UNINSTALLER}"
  RMDir "$INSTDIR"
  RMDir "$PROGRAMFILES64\${VENDOR}"

  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
