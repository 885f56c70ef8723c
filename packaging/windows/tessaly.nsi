; The Windows installer of Tessaly, built by scripts/make-installer.sh with Debian's makensis:
;
;   makensis -INPUTCHARSET UTF8 -DVERSION=1.0.0 -DPROGRAM_DIR=... -DINSTALL_FILES=... -DUNINSTALL_FILES=...
;            -DICON=... -DOUTFILE=... [-DCOMPRESSOR=zlib] tessaly.nsi
;
; VERSION          the program's version, three numbers
; PROGRAM_DIR      the laid-out program (the folder the portable zip is made of); its LICENSE.txt is the licence page
; INSTALL_FILES    an include of SetOutPath and File lines, one File per file of PROGRAM_DIR
; UNINSTALL_FILES  an include of the Delete and RMDir lines that remove the same files and folders again
; ICON             the program's .ico (the installer's and the uninstaller's icon)
; COMPRESSOR       the SetCompressor arguments, "/SOLID lzma" unless given
;
; Per user, without administrator rights: the program goes to %LOCALAPPDATA%\Programs\Tessaly, its entry in
; 应用和功能 under HKEY_CURRENT_USER. The user's data (data.txt and the backup of the Favorites folder, in
; %APPDATA%\Tessaly) is never touched: the marker file tessaly.installed beside tessaly.exe tells the program to keep
; it there. An upgrade runs the installed version's own uninstaller silently in place first, so that exactly the
; files that version installed go, whatever the new version ships. Both the installer and the uninstaller wait
; until no copy of Tessaly runs (the mutex every running copy holds).
;
; Only Tessaly is touched. An uninstaller is run only where a Tessaly install stands: the folder that our own entry
; names, holding the marker. A chosen folder that holds anything else gets a folder of its own, Tessaly, inside it
; (refused when even that one is taken), and nothing already there is run, replaced or deleted. The marker records how
; many folders the install made, its own and those above it, and the uninstaller removes them again once empty.

Unicode true
Target amd64-unicode
RequestExecutionLevel user
ManifestDPIAware true
ManifestSupportedOS all

!ifndef COMPRESSOR
    !define COMPRESSOR "/SOLID lzma"
!endif
SetCompressor ${COMPRESSOR}

!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "LogicLib.nsh"
!include "Sections.nsh"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tessaly"
!define PUBLISHER "Tessaly developers"
; The same name as platform::kAppMutexName and platform::kInstalledMarker in src/platform/.
!define APP_MUTEX "Local\TessalyRunning"
!define INSTALLED_MARKER "tessaly.installed"
!define SYNCHRONIZE 0x00100000
; The exit status of a silent install that finds the chosen folder, and the Tessaly folder inside it, taken.
!define FOLDER_TAKEN 4

Name "Tessaly ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Tessaly"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "Tessaly ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_UNABORTWARNING
!define MUI_COMPONENTSPAGE_SMALLDESC

; The language file's sentence names a button [我同意(I)]; the button reads 我接受(I).
!define MUI_LICENSEPAGE_TEXT_BOTTOM "如果你接受许可证的条款，请点击 [我接受(I)] 继续安装。你必须在接受后才能安装 $(^NameDA)。"
!insertmacro MUI_PAGE_LICENSE "${PROGRAM_DIR}/LICENSE.txt"
!insertmacro MUI_PAGE_COMPONENTS
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE LeaveDirectoryPage
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\tessaly.exe"
!define MUI_FINISHPAGE_RUN_TEXT "运行 Tessaly"
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "SimpChinese"

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "ProductName" "Tessaly"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "FileDescription" "Tessaly 安装程序（收藏夹死链检测）"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "LegalCopyright" "Copyright (c) 2026 Tessaly developers (MIT License)"

; Waits until no copy of Tessaly runs: asks the user to quit it and try again, or gives up (silently at once).
!macro CHECK_NOT_RUNNING UN ACTION
    Function ${UN}CheckNotRunning
        check:
        System::Call 'kernel32::OpenMutexW(i ${SYNCHRONIZE}, i 0, w "${APP_MUTEX}") p .r0'
        ${If} $0 P<> 0
            System::Call 'kernel32::CloseHandle(p r0)'
            MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
                "Tessaly 正在运行。$\r$\n请先退出 Tessaly，再点“重试”继续${ACTION}。" /SD IDCANCEL IDRETRY check
            SetErrorLevel 2
            Quit
        ${EndIf}
    FunctionEnd
!macroend
!insertmacro CHECK_NOT_RUNNING "" "安装"
!insertmacro CHECK_NOT_RUNNING "un." "卸载"

LangString FolderTakenText ${LANG_SIMPCHINESE} "“$INSTDIR”中已有其他文件，其中的“Tessaly”文件夹也不是空的。$\r$\n请选择一个空文件夹或新文件夹。"
LangString OwnFolderText ${LANG_SIMPCHINESE} "“$AskedFolder”中已有其他文件。$\r$\nTessaly 将安装到其中新建的文件夹“$INSTDIR”，原有的文件不会被运行、替换或删除。"

Var MadeFolders   ; how many folders this install makes: its own, and those above it that are not there yet
Var CarriedMade   ; the same, as the version installed in the same folder before recorded it
Var AskedFolder   ; the folder chosen, when Tessaly goes into a folder of its own inside it

; $0: the folder our entry names when a Tessaly install stands there (it holds the marker and the uninstaller), else "".
Function FindRegisteredInstall
    ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 != ""
        GetFullPathName $0 $0
    ${EndIf}
    ${If} $0 == ""
    ${OrIfNot} ${FileExists} "$0\${INSTALLED_MARKER}"
    ${OrIfNot} ${FileExists} "$0\uninstall.exe"
        StrCpy $0 ""
    ${EndIf}
FunctionEnd

; $0: 1 when Tessaly may fill $INSTDIR: the registered Tessaly install, or a folder that is empty or not there yet.
Function IsInstallFolderFree
    GetFullPathName $1 $INSTDIR
    ${If} $1 != ""
        StrCpy $INSTDIR $1
    ${EndIf}
    Call FindRegisteredInstall
    ${If} $0 != ""
    ${AndIf} $0 == $INSTDIR ; compared without regard to case, as Windows names folders
        StrCpy $0 1
        Return
    ${EndIf}
    ${DirState} $INSTDIR $0 ; -1 no folder, 0 an empty one, 1 one that holds something
    ${If} $0 == 1
        StrCpy $0 0
    ${ElseIf} $0 == -1
    ${AndIf} ${FileExists} $INSTDIR ; a file of that name
        StrCpy $0 0
    ${Else}
        StrCpy $0 1
    ${EndIf}
FunctionEnd

; Makes $INSTDIR a folder Tessaly may fill: the chosen one when it may, else a folder Tessaly inside it. $0: 1 when
; that is done, 0 when even that folder is taken ($INSTDIR is then the chosen one again). $AskedFolder: the chosen
; folder when Tessaly goes inside it, else "".
Function ChooseInstallFolder
    StrCpy $AskedFolder ""
    Call IsInstallFolderFree
    ${If} $0 == 1
        Return
    ${EndIf}
    StrCpy $AskedFolder $INSTDIR
    StrCpy $INSTDIR "$INSTDIR\Tessaly"
    Call IsInstallFolderFree
    ${If} $0 <> 1
        StrCpy $INSTDIR $AskedFolder
    ${EndIf}
FunctionEnd

Function LeaveDirectoryPage
    Call CheckNotRunning
    Call ChooseInstallFolder
    ${If} $0 <> 1
        MessageBox MB_OK|MB_ICONSTOP "$(FolderTakenText)"
        Abort
    ${ElseIf} $AskedFolder != ""
        MessageBox MB_OKCANCEL|MB_ICONINFORMATION "$(OwnFolderText)" IDOK accepted
        StrCpy $INSTDIR $AskedFolder
        Abort
        accepted:
    ${EndIf}
FunctionEnd

; Removes the folder $1 and the ones above it, $2 folders in all, each only once empty; stops at the first that is not.
!macro REMOVE_MADE_FOLDERS UN
    Function ${UN}RemoveMadeFolders
        ${For} $3 1 $2
            ClearErrors
            RMDir $1
            ${If} ${Errors}
                ${Break}
            ${EndIf}
            ${${UN}GetParent} $1 $1
        ${Next}
    FunctionEnd
!macroend
!insertmacro REMOVE_MADE_FOLDERS ""
!insertmacro REMOVE_MADE_FOLDERS "un."

; Removes the registered Tessaly install with its own uninstaller, run silently in place: it knows the files its
; version installed. Nothing is run anywhere else. Fails the install when the uninstaller refuses.
Function RemoveInstalledCopy
    StrCpy $CarriedMade 0
    Call FindRegisteredInstall
    ${If} $0 == ""
        Return
    ${EndIf}
    StrCpy $1 $0
    ; A marker without the count is from a version that made only its own folder, or never said more.
    ReadINIStr $2 "$1\${INSTALLED_MARKER}" "Tessaly" "MadeFolders"
    ${If} $2 == ""
        StrCpy $2 1
    ${EndIf}
    DetailPrint "卸载旧版本：$1"
    ClearErrors
    ExecWait '"$1\uninstall.exe" /S _?=$1' $4
    ${If} ${Errors}
    ${OrIf} $4 <> 0
        MessageBox MB_OK|MB_ICONSTOP "无法卸载 $1 中的旧版本 Tessaly，安装已停止。" /SD IDOK
        SetErrorLevel 3
        Quit
    ${EndIf}
    ; Run in place, the uninstaller cannot remove itself and its folders.
    Delete "$1\uninstall.exe"
    ${If} $1 == $INSTDIR
        StrCpy $CarriedMade $2
    ${Else}
        Call RemoveMadeFolders
    ${EndIf}
FunctionEnd

; $MadeFolders: how many of $INSTDIR and the folders above it are not there yet.
Function CountFoldersToMake
    StrCpy $MadeFolders 0
    StrCpy $1 $INSTDIR
    ${DoWhile} $1 != ""
        ${If} ${FileExists} "$1\*.*"
            ${Break}
        ${EndIf}
        IntOp $MadeFolders $MadeFolders + 1
        ${GetParent} $1 $1
    ${Loop}
FunctionEnd

Section "Tessaly 程序" SecProgram
    SectionIn RO
    ; The wizard has chosen on its folder page already; a silent install chooses here.
    Call ChooseInstallFolder
    ${If} $0 <> 1
        MessageBox MB_OK|MB_ICONSTOP "$(FolderTakenText)" /SD IDOK
        SetErrorLevel ${FOLDER_TAKEN}
        Quit
    ${ElseIf} $AskedFolder != ""
        DetailPrint "“$AskedFolder”中已有其他文件，Tessaly 安装到“$INSTDIR”。"
    ${EndIf}
    Call RemoveInstalledCopy
    Call CountFoldersToMake
    ${If} $CarriedMade > $MadeFolders
        StrCpy $MadeFolders $CarriedMade
    ${EndIf}

    !include "${INSTALL_FILES}"
    SetOutPath "$INSTDIR"
    FileOpen $0 "$INSTDIR\${INSTALLED_MARKER}" w
    FileWrite $0 "; Installed by the Tessaly installer: data.txt and the backup folder are kept in %APPDATA%\Tessaly.$\r$\n"
    FileWrite $0 "; MadeFolders: the folders the installer made, this one and those above it; the uninstaller removes them once empty.$\r$\n"
    FileWrite $0 "[Tessaly]$\r$\nMadeFolders=$MadeFolders$\r$\n"
    FileClose $0
    WriteUninstaller "$INSTDIR\uninstall.exe"

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Tessaly"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Comments" "收藏夹死链检测"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\tessaly.exe,0"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "开始菜单快捷方式" SecStartMenu
    SetOutPath "$INSTDIR"
    CreateShortCut "$SMPROGRAMS\Tessaly.lnk" "$INSTDIR\tessaly.exe" "" "$INSTDIR\tessaly.exe" 0 SW_SHOWNORMAL "" \
        "收藏夹死链检测"
SectionEnd

Section /o "桌面快捷方式" SecDesktop
    SetOutPath "$INSTDIR"
    CreateShortCut "$DESKTOP\Tessaly.lnk" "$INSTDIR\tessaly.exe" "" "$INSTDIR\tessaly.exe" 0 SW_SHOWNORMAL "" \
        "收藏夹死链检测"
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
    !insertmacro MUI_DESCRIPTION_TEXT ${SecProgram} "Tessaly 本身（必需）。检测结果和收藏夹备份保存在 %APPDATA%\Tessaly，升级和卸载都不会删除它们。"
    !insertmacro MUI_DESCRIPTION_TEXT ${SecStartMenu} "在开始菜单中放一个 Tessaly。"
    !insertmacro MUI_DESCRIPTION_TEXT ${SecDesktop} "在桌面上放一个 Tessaly 快捷方式。"
!insertmacro MUI_FUNCTION_DESCRIPTION_END

Function .onInit
    Call CheckNotRunning
    ; /DESKTOP ticks the desktop shortcut (for a silent install); an upgrade keeps the one the user has.
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/DESKTOP" $1
    ${IfNot} ${Errors}
    ${OrIf} ${FileExists} "$DESKTOP\Tessaly.lnk"
        !insertmacro SelectSection ${SecDesktop}
    ${EndIf}
FunctionEnd

Section "Uninstall"
    ; The shortcuts and the entry are this install's unless the entry names another folder.
    ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 != ""
        GetFullPathName $0 $0
    ${EndIf}
    GetFullPathName $1 $INSTDIR
    StrCpy $5 0
    ${If} $0 == ""
    ${OrIf} $0 == $1
        StrCpy $5 1
    ${EndIf}
    ; How many folders the install made (a marker without the count: its own folder only).
    ReadINIStr $2 "$INSTDIR\${INSTALLED_MARKER}" "Tessaly" "MadeFolders"
    ${If} $2 == ""
        StrCpy $2 1
    ${EndIf}

    !include "${UNINSTALL_FILES}"
    Delete "$INSTDIR\${INSTALLED_MARKER}"
    Delete "$INSTDIR\uninstall.exe"
    StrCpy $1 $INSTDIR
    Call un.RemoveMadeFolders
    ${If} $5 == 1
        Delete "$SMPROGRAMS\Tessaly.lnk"
        Delete "$DESKTOP\Tessaly.lnk"
        DeleteRegKey HKCU "${UNINSTALL_KEY}"
    ${EndIf}
SectionEnd

Function un.onInit
    Call un.CheckNotRunning
FunctionEnd
