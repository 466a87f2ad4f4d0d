#pragma once

#include <string>

// The capture helper: Pagekeep started again with "-capture <block>" by the
// running program. It reads the clipboard when asked, format by format into
// shared memory, and lives until the program ends it or ends itself.

// The block's name when the command line starts the helper, else empty.
std::wstring CaptureHelperBlockName(const wchar_t *aCommandLine);
// Serves capture requests until the program goes; returns the exit code.
int RunCaptureHelper(const std::wstring &aBlockName);
