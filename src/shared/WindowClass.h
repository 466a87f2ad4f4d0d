#pragma once

#include <windows.h>

// The one way the program registers a window class, with one policy when a
// class of that name exists already in the module:
// - with the same window procedure, it is reused as it is (a second object
//   of the same kind, or a test that made one before);
// - with another procedure of this module, it is replaced, because our
//   windows must start at our procedure;
// - otherwise (a procedure of another module, as a system class such as
//   "Button" has, or a class that still has windows) std::logic_error is
//   thrown.
// Throws std::runtime_error when the registration itself fails.
void RegisterWindowClass(const wchar_t *aClassName, WNDPROC aProcedure,
                         HINSTANCE aInstance = ::GetModuleHandleW(nullptr));
