#include "shared/WindowClass.h"
#include "shared/Handles.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

constexpr const wchar_t *ClassName = L"PagekeepSharedWindowClassTest";

LRESULT CALLBACK OurProcedure(HWND aWindow, UINT aMsg, WPARAM aWParam, LPARAM aLParam) {
  return ::DefWindowProcW(aWindow, aMsg, aWParam, aLParam);
}

LRESULT CALLBACK OtherProcedure(HWND aWindow, UINT aMsg, WPARAM aWParam, LPARAM aLParam) {
  return ::DefWindowProcW(aWindow, aMsg, aWParam, aLParam);
}

WNDPROC RegisteredProcedure() {
  WNDCLASSEXW found{};
  found.cbSize = sizeof(found);
  if (!::GetClassInfoExW(::GetModuleHandleW(nullptr), ClassName, &found))
    return nullptr;
  return found.lpfnWndProc;
}

class WindowClass : public ::testing::Test {
protected:
  void SetUp() override { ::UnregisterClassW(ClassName, ::GetModuleHandleW(nullptr)); }
  void TearDown() override { ::UnregisterClassW(ClassName, ::GetModuleHandleW(nullptr)); }
};

} // namespace

TEST_F(WindowClass, IsRegisteredAndReusedWithTheSameProcedure) {
  RegisterWindowClass(ClassName, &OurProcedure);
  EXPECT_EQ(&OurProcedure, RegisteredProcedure());
  TWindowHandle window(::CreateWindowExW(0, ClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                         ::GetModuleHandleW(nullptr), nullptr));
  ASSERT_TRUE(window);
  EXPECT_NO_THROW(RegisterWindowClass(ClassName, &OurProcedure)) << "reused while in use";
}

TEST_F(WindowClass, WithAnotherProcedureIsReplacedWhenItCanBe) {
  RegisterWindowClass(ClassName, &OtherProcedure);
  RegisterWindowClass(ClassName, &OurProcedure);
  EXPECT_EQ(&OurProcedure, RegisteredProcedure());
}

TEST_F(WindowClass, WithAnotherProcedureAndWindowsIsRefused) {
  RegisterWindowClass(ClassName, &OtherProcedure);
  TWindowHandle window(::CreateWindowExW(0, ClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                         ::GetModuleHandleW(nullptr), nullptr));
  ASSERT_TRUE(window);
  EXPECT_THROW(RegisterWindowClass(ClassName, &OurProcedure), std::logic_error);
  EXPECT_EQ(&OtherProcedure, RegisteredProcedure()) << "the class in use stays";
}

TEST_F(WindowClass, ASystemClassIsNeverTaken) {
  EXPECT_THROW(RegisterWindowClass(L"Button", &OurProcedure), std::logic_error);
}
