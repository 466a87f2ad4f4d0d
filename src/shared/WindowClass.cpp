#include "shared/WindowClass.h"

#include "shared/Handles.h"

#include <stdexcept>

namespace {

// A procedure in the code of aInstance. A class whose procedure lives
// elsewhere (a system class such as "Button") belongs to someone else.
// (Wine lets any module unregister a system class, so asking the system to
// refuse is not enough.)
bool IsProcedureOf(WNDPROC aProcedure, HINSTANCE aInstance) {
  HMODULE module = nullptr;
  return ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                  GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                              reinterpret_cast<LPCWSTR>(aProcedure), &module) &&
         module == aInstance;
}

} // namespace

void RegisterWindowClass(const wchar_t *aClassName, WNDPROC aProcedure, HINSTANCE aInstance) {
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof(existing);
  if (::GetClassInfoExW(aInstance, aClassName, &existing)) {
    if (existing.lpfnWndProc == aProcedure)
      return;
    if (!IsProcedureOf(existing.lpfnWndProc, aInstance) ||
        !::UnregisterClassW(aClassName, aInstance))
      throw std::logic_error("The window class is registered with another window procedure");
  }
  WNDCLASSEXW description{};
  description.cbSize = sizeof(description);
  description.lpfnWndProc = aProcedure;
  description.hInstance = aInstance;
  description.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  description.lpszClassName = aClassName;
  CheckWin32(::RegisterClassExW(&description) != 0, "RegisterClassExW");
}
