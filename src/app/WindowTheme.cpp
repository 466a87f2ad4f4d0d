#include "app/WindowTheme.h"

#include <dwmapi.h>

namespace {

// DWMWA_USE_IMMERSIVE_DARK_MODE, which older SDK headers lack.
constexpr DWORD DarkModeAttribute = 20;

bool HighContrastOn() {
  HIGHCONTRASTW contrast{};
  contrast.cbSize = sizeof(contrast);
  return ::SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(contrast), &contrast, 0) &&
         (contrast.dwFlags & HCF_HIGHCONTRASTON);
}

// "AppsUseLightTheme" 0 is the dark setting; a missing value is light.
bool AppsUseDarkTheme() {
  DWORD light = 1;
  DWORD size = sizeof(light);
  return ::RegGetValueW(HKEY_CURRENT_USER,
                        L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize",
                        L"AppsUseLightTheme", RRF_RT_REG_DWORD, nullptr, &light,
                        &size) == ERROR_SUCCESS &&
         light == 0;
}

} // namespace

TWindowColours CurrentWindowColours() {
  if (!HighContrastOn() && AppsUseDarkTheme())
    return {true, RGB(0x20, 0x20, 0x20), RGB(0xF0, 0xF0, 0xF0)};
  return {false, ::GetSysColor(COLOR_WINDOW), ::GetSysColor(COLOR_WINDOWTEXT)};
}

TGdiObjectHandle MessageFont(int aDpi) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  CheckWin32(::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0) != 0,
             "SystemParametersInfoW");
  metrics.lfMessageFont.lfHeight = ::MulDiv(metrics.lfMessageFont.lfHeight, aDpi, 96);
  TGdiObjectHandle font(::CreateFontIndirectW(&metrics.lfMessageFont));
  CheckWin32(font.operator bool(), "CreateFontIndirectW");
  return font;
}

void SetDarkTitleBar(HWND aWindow, bool aDark) {
  const BOOL dark = aDark ? TRUE : FALSE;
  // Refused where the attribute is unknown: the title bar then stays as
  // the system draws it, which is all that is lost.
  (void)::DwmSetWindowAttribute(aWindow, DarkModeAttribute, &dark, sizeof(dark));
}
