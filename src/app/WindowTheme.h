#pragma once

// The colours and the font of the program's own windows: the system's
// colours when high contrast is on, else light or dark as the user's app
// setting says; the system's message font.

#include "shared/Handles.h"

#include <windows.h>

struct TWindowColours {
  bool Dark = false;
  COLORREF Background = 0;
  COLORREF Text = 0;
};

// Read now: the setting may change while the program runs.
TWindowColours CurrentWindowColours();

// The message font of the system, scaled for aDpi.
TGdiObjectHandle MessageFont(int aDpi);

// Asks the system for a dark title bar (Windows 10 20H1 and later; older
// systems and Wine ignore it) or a light one.
void SetDarkTitleBar(HWND aWindow, bool aDark);
