// SPDX-License-Identifier: GPL-3.0-or-later
// The frame shared by the three top-level windows: each keeps its own menu bar and shell activation
// record in a slot of the state record, taken at WM_CREATE and given back when the window closes.
#include "frame.h"

#include <string.h>

#include "app_state.h"
#include "resource.h"

static FrameRecord* findFrame(HWND window)
{
    if (window == NULL) return NULL; // free slots hold no window
    for (int i = 0; i < FRAME_CAPACITY; i++) {
        if (g_app.ui.frames[i].window == window) return &g_app.ui.frames[i];
    }
    return NULL;
}

// A free slot, or one whose window has gone without giving it back.
static FrameRecord* claimFrame(HWND window)
{
    for (int i = 0; i < FRAME_CAPACITY; i++) {
        FrameRecord* frame = &g_app.ui.frames[i];
        if (frame->window == NULL || !IsWindow(frame->window)) {
            memset(frame, 0, sizeof(*frame));
            frame->window = window;
            return frame;
        }
    }
    return NULL;
}

static void releaseFrame(FrameRecord* frame)
{
    memset(frame, 0, sizeof(*frame));
}

LRESULT onFrameCreate(HWND window)
{
    FrameRecord* frame = claimFrame(window);
    if (frame == NULL) return 0;

    SHMENUBARINFO menuBarInfo;
    memset(&menuBarInfo, 0, sizeof(menuBarInfo));
    menuBarInfo.cbSize = sizeof(menuBarInfo);
    menuBarInfo.hwndParent = window;
    menuBarInfo.nToolBarId = IDR_MENUBAR;
    menuBarInfo.hInstRes = g_app.ui.instance;
    frame->menuBar = SHCreateMenuBar(&menuBarInfo) ? menuBarInfo.hwndMB : NULL;

    memset(&frame->activation, 0, sizeof(frame->activation));
    frame->activation.cbSize = sizeof(frame->activation);
    return 0;
}

// The window's own activation record, or a blank one in spare when the window has no frame slot.
static SHACTIVATEINFO* activationRecord(HWND window, SHACTIVATEINFO* spare)
{
    FrameRecord* frame = findFrame(window);
    if (frame != NULL) return &frame->activation;
    memset(spare, 0, sizeof(*spare));
    spare->cbSize = sizeof(*spare);
    return spare;
}

LRESULT onFrameActivate(HWND window, WPARAM wParam, LPARAM lParam)
{
    SHACTIVATEINFO spare;
    SHHandleWMActivate(window, wParam, lParam, activationRecord(window, &spare), 0);
    return 0;
}

LRESULT onFrameSettingChange(HWND window, WPARAM wParam, LPARAM lParam)
{
    SHACTIVATEINFO spare;
    SHHandleWMSettingChange(window, wParam, lParam, activationRecord(window, &spare));
    return 0;
}

void fitBelowMenuBar(HWND window)
{
    FrameRecord* frame = findFrame(window);
    if (frame == NULL || frame->menuBar == NULL) return;

    RECT windowRect;
    RECT menuBarRect;
    GetWindowRect(window, &windowRect);
    GetWindowRect(frame->menuBar, &menuBarRect);
    windowRect.bottom -= menuBarRect.bottom - menuBarRect.top;
    MoveWindow(window, windowRect.left, windowRect.top, windowRect.right - windowRect.left,
               windowRect.bottom - windowRect.top, FALSE);
}

void destroyFrameMenuBar(HWND window)
{
    FrameRecord* frame = findFrame(window);
    if (frame == NULL) return;
    if (frame->menuBar != NULL) DestroyWindow(frame->menuBar);
    releaseFrame(frame);
}

LRESULT closeSecondaryWindow(HWND window)
{
    destroyFrameMenuBar(window);
    DestroyWindow(window);
    return 0;
}
