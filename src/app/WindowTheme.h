#pragma once

// The colours of the program's own windows: the system's when high
// contrast is on, else light or dark as the user's app setting says.

#include "shared/Handles.h"

#include <windows.h>

struct TWindowColours {
  bool Dark = false;
  COLORREF Background = 0;
  COLORREF Text = 0;
};

// Read now: the setting may change while the program runs.
TWindowColours CurrentWindowColours();

// Asks the system for a dark title bar (Windows 10 20H1 and later; older
// systems and Wine ignore it) or a light one.
void SetDarkTitleBar(HWND aWindow, bool aDark);
