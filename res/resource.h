// SPDX-License-Identifier: GPL-3.0-or-later
// Resource and control identifiers of Kelvora, shared by the resource script and the program.
#ifndef KELVORA_RESOURCE_H
#define KELVORA_RESOURCE_H

// Strings
#define IDS_APP_TITLE 1
#define IDS_APP_CLASS 2
#define IDS_MENUBAR_OK 103
#define IDS_MENUBAR_HELP 104

// Accelerators, icon, menu and menu bar
#define IDA_ACCELERATORS 2
#define IDI_KELVORA 101
#define IDR_MENUBAR 102

// Dialogs and their controls
#define IDD_ABOUT_PORTRAIT 105
#define IDD_ABOUT_LANDSCAPE 106
#define IDD_EXPONENT 130
#define IDC_ABOUT_ICON 201
#define IDC_ABOUT_NAME 202
#define IDC_ABOUT_MAKER 203
#define IDC_EXPONENT_EDIT 1001
#define IDC_EXPONENT_OK 1002
#define IDC_EXPONENT_CANCEL 1003

// Controls of the data-entry and selection windows
#define IDC_UP 301
#define IDC_DOWN 302
#define IDC_ENTER 303
#define IDC_FUNCTION 304
#define IDC_CALCULATE 305
#define IDC_X_FIELD 320
#define IDC_Y_FIELD 321
#define IDC_COUNT_FIELD 322
#define IDC_MODEL_LIST 340

// Menu and soft-key commands
#define IDM_NEW 32771
#define IDM_SAVE 32772
#define IDM_LOAD 32773
#define IDM_OK 40000
#define IDM_HELP 40001
#define IDM_ABOUT 40002

#endif
