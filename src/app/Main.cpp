#include "app/MainForm.h"

#include <exception>
#include <string>

int WINAPI wWinMain(HINSTANCE aInstance, HINSTANCE, PWSTR, int) {
  try {
    TMainForm form(aInstance);
    return RunMessageLoop();
  } catch (const std::exception &e) {
    std::string text = e.what();
    ::MessageBoxW(nullptr, std::wstring(text.begin(), text.end()).c_str(), L"Pagekeep",
                  MB_OK | MB_ICONERROR);
    return 1;
  }
}
