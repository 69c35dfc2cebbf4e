// SPDX-License-Identifier: GPL-3.0-or-later
// Resource ids of the platform's demo program.
#define IDS_DEMO_TITLE 1
#define IDS_DEMO_OK 103
#define IDS_DEMO_MENU 104
#define IDS_DEMO_UNICODE 105
#define IDI_DEMO 101
#define IDB_DEMO 110
#define IDR_DEMO_MENUBAR 102
#define IDA_DEMO 2
#define IDM_DEMO_OK 40000
#define IDM_DEMO_MENU 40001
#define IDM_DEMO_RED 40010
#define IDM_DEMO_BLUE 40011
#define IDM_DEMO_SECOND 40012
#define IDM_DEMO_ACCEL 40013
