// SPDX-License-Identifier: GPL-3.0-or-later
// The input panel (soft keyboard) of the device: its state and the rectangles it leaves free.
#ifndef KELVORA_SIPAPI_H
#define KELVORA_SIPAPI_H

#include <windows.h>

#define SIPF_OFF 0x00000000
#define SIPF_ON 0x00000001
#define SIPF_DOCKED 0x00000002
#define SIPF_LOCKED 0x00000004

#ifndef RC_INVOKED

typedef struct {
    DWORD cbSize;
    DWORD fdwFlags;
    RECT rcVisibleDesktop; // the part of the work area the panel does not cover
    RECT rcSipRect;        // the panel, where it is or would be when raised
    DWORD dwImDataSize;
    void* pvImData;
} SIPINFO;

BOOL WINAPI SipGetInfo(SIPINFO* info);
BOOL WINAPI SipShowIM(DWORD flags); // SIPF_ON raises the panel, SIPF_OFF lowers it

#endif // RC_INVOKED
#endif // KELVORA_SIPAPI_H
