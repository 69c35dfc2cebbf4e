// SPDX-License-Identifier: GPL-3.0-or-later
// The Pocket PC shell extensions: menu bar, activation and setting-change handling, full-screen dialogs.
#ifndef KELVORA_AYGSHELL_H
#define KELVORA_AYGSHELL_H

#include <sipapi.h>
#include <windows.h>

// Menu-bar button records (SHMENUBAR RCDATA): these values also appear in resource scripts.
#define SHMENUBAR RCDATA
#define NOMENU 0xFFFF
#ifdef RC_INVOKED
#define I_IMAGENONE 0xFFFE
#else
#define I_IMAGENONE (-2)
#endif
#define TBSTATE_CHECKED 0x01
#define TBSTATE_PRESSED 0x02
#define TBSTATE_ENABLED 0x04
#define TBSTATE_HIDDEN 0x08
#define TBSTYLE_BUTTON 0x0000
#define TBSTYLE_SEP 0x0001
#define TBSTYLE_CHECK 0x0002
#define TBSTYLE_GROUP 0x0004
#define TBSTYLE_DROPDOWN 0x0008
#define TBSTYLE_AUTOSIZE 0x0010

#define SHIDIM_FLAGS 0x0001
#define SHIDIF_DONEBUTTON 0x0001
#define SHIDIF_SIZEDLG 0x0002
#define SHIDIF_SIZEDLGFULLSCREEN 0x0004
#define SHIDIF_SIPDOWN 0x0008
#define SHIDIF_FULLSCREENNOMENUBAR 0x0010
#define SHIDIF_EMPTYMENU 0x0020

#define SHCMBF_EMPTYBAR 0x0001
#define SHCMBF_HIDDEN 0x0002
#define SHCMBF_HIDESIPBUTTON 0x0004
#define SHCMBF_COLORBK 0x0008
#define SHCMBF_HMENU 0x0010

#define SHA_INPUTDIALOG 0x00000001

#define CSIDL_PERSONAL 0x0005

#ifndef RC_INVOKED

typedef struct tagSHMENUBARINFO {
    DWORD cbSize;
    HWND hwndParent;
    DWORD dwFlags;
    UINT nToolBarId;
    HINSTANCE hInstRes;
    int nBmpId;
    int cBmpImages;
    HWND hwndMB;
    COLORREF clrBk;
} SHMENUBARINFO, *PSHMENUBARINFO;

typedef struct tagSHACTIVATEINFO {
    DWORD cbSize;
    HWND hwndLastFocus;
    UINT fSipUp : 1;
    UINT fSipOnDeactivation : 1;
    UINT fActive : 1;
    UINT fReserved : 29;
} SHACTIVATEINFO, *PSHACTIVATEINFO;

typedef enum tagSIPSTATE { SIP_UP = 0, SIP_DOWN, SIP_FORCEDOWN, SIP_UNCHANGED, SIP_INPUTDIALOG } SIPSTATE;

typedef struct tagSHINITDLGINFO {
    DWORD dwMask;
    HWND hDlg;
    DWORD dwFlags;
} SHINITDLGINFO, *PSHINITDLGINFO;

BOOL WINAPI SHInitExtraControls(void);
BOOL WINAPI SHCreateMenuBar(SHMENUBARINFO* info);
BOOL WINAPI SHHandleWMActivate(HWND hwnd, WPARAM wParam, LPARAM lParam, SHACTIVATEINFO* info, DWORD flags);
BOOL WINAPI SHHandleWMSettingChange(HWND hwnd, WPARAM wParam, LPARAM lParam, SHACTIVATEINFO* info);
BOOL WINAPI SHInitDialog(SHINITDLGINFO* info);
BOOL WINAPI SHSipPreference(HWND hwnd, SIPSTATE state);
BOOL WINAPI SHSipInfo(UINT action, UINT param, PVOID value, UINT winIni);
// path: a buffer of 1000 characters, as long as the program's file-dialog buffers, so that any folder a
// dialog can hand back fits (Win32 asks for MAX_PATH, 260). Emptied when the call fails.
BOOL WINAPI SHGetSpecialFolderPath(HWND owner, LPWSTR path, int folder, BOOL create);

#endif // RC_INVOKED
#endif // KELVORA_AYGSHELL_H
