#include "app/MainForm.h"
#include "app/capture/CaptureHelper.h"
#include "hotkey/GlobalHotkey.UniqueID.h"
#include "shared/Text.h"
#include "update/AutomaticUpdate.h"

#include <exception>
#include <string>

int WINAPI wWinMain(HINSTANCE aInstance, HINSTANCE, PWSTR, int) {
  // The same executable serves as the program's capture helper.
  if (const std::wstring block = CaptureHelperBlockName(::GetCommandLineW()); !block.empty())
    return RunCaptureHelper(block);
  try {
    // The process-wide objects exist before the form, on this thread.
    WndProcFilter();
    UniqueID();
    // Only the program's own start clears what an earlier update left, and
    // before anything else of it runs; capture helpers never do.
    AutomaticUpdate.RemoveLeftovers();
    TMainForm form(aInstance);
    return RunMessageLoop();
  } catch (const std::exception &e) {
    ::MessageBoxW(nullptr, WideFromErrorText(e.what()).c_str(), L"Pagekeep", MB_OK | MB_ICONERROR);
    return 1;
  }
}
