// Makes the README's pictures of the notifier card from the real program:
// starts Pagekeep.exe beside this program, copies content and presses the
// hotkeys a user would, and saves what the screen shows of the notifier's
// window as a PNG once each card has slid in. Usage: pagekeep-card-screenshots <folder>

#include "harness/Harness.h"
#include "ui/GdiPlus.h"

#include <shlobj.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace Harness;
using namespace std::chrono_literals;

void Pause(std::chrono::milliseconds aTime) {
  WaitUntil([] { return false; }, aTime);
}

CLSID PngEncoder() {
  UINT count = 0, bytes = 0;
  GdiPlus::Check(Gdiplus::GetImageEncodersSize(&count, &bytes), "GetImageEncodersSize");
  std::vector<std::uint8_t> buffer(bytes);
  auto *encoders = reinterpret_cast<Gdiplus::ImageCodecInfo *>(buffer.data());
  GdiPlus::Check(Gdiplus::GetImageEncoders(count, bytes, encoders), "GetImageEncoders");
  for (UINT i = 0; i < count; ++i)
    if (std::wstring(encoders[i].MimeType) == L"image/png")
      return encoders[i].Clsid;
  throw std::runtime_error("No PNG encoder");
}

// The screen under aWindow, saved as aFile.
void SaveScreen(HWND aWindow, const std::wstring &aFile) {
  RECT area{};
  CheckWin32(::GetWindowRect(aWindow, &area), "GetWindowRect");
  const int width = area.right - area.left;
  const int height = area.bottom - area.top;
  TWindowDC screen(nullptr);
  TMemoryDCHandle memory(::CreateCompatibleDC(screen.Get()));
  TBitmapHandle bitmap(::CreateCompatibleBitmap(screen.Get(), width, height));
  CheckWin32(memory && bitmap, "CreateCompatibleBitmap");
  const HGDIOBJ old = ::SelectObject(memory.Get(), bitmap.Get());
  const bool copied = ::BitBlt(memory.Get(), 0, 0, width, height, screen.Get(), area.left, area.top,
                               SRCCOPY | CAPTUREBLT);
  ::SelectObject(memory.Get(), old);
  CheckWin32(copied, "BitBlt");
  Gdiplus::Bitmap picture(bitmap.Get(), nullptr);
  const CLSID png = PngEncoder();
  GdiPlus::Check(picture.Save(aFile.c_str(), &png, nullptr), "Save");
  std::wprintf(L"%ls\n", aFile.c_str());
}

struct TCornerSearch {
  DWORD Pagekeep;
  std::vector<HWND> InTheWay;
};

BOOL CALLBACK CollectInTheWay(HWND aWindow, LPARAM aSearch) {
  auto &search = *reinterpret_cast<TCornerSearch *>(aSearch);
  DWORD process = 0;
  ::GetWindowThreadProcessId(aWindow, &process);
  RECT rect{}, overlap{};
  const RECT corner{0, 0, 340, 320};
  if (process != search.Pagekeep && process != ::GetCurrentProcessId() &&
      ::IsWindowVisible(aWindow) && ::GetWindowRect(aWindow, &rect) &&
      ::IntersectRect(&overlap, &rect, &corner))
    search.InTheWay.push_back(aWindow);
  return TRUE;
}

// Moves the windows of other programs that lie over the card's corner (under
// Wine, its stand-in notification area) down out of the pictures.
void ClearCardCorner(DWORD aPagekeep) {
  TCornerSearch search{aPagekeep, {}};
  ::EnumWindows(CollectInTheWay, reinterpret_cast<LPARAM>(&search));
  const int bottom = ::GetSystemMetrics(SM_CYSCREEN);
  for (HWND window : search.InTheWay) {
    RECT rect{};
    ::GetWindowRect(window, &rect);
    ::SetWindowPos(window, HWND_BOTTOM, rect.left, bottom - (rect.bottom - rect.top), 0, 0,
                   SWP_NOSIZE | SWP_NOACTIVATE);
  }
}

void Press(WORD aKey) {
  PressKeys({VK_MENU, VK_LWIN, aKey});
  Pause(900ms); // the slide-in takes half a second
}

void Copy(const std::vector<TClipFormat> &aFormats) {
  SetClipboard(aFormats);
  Pause(300ms);
}

TBytes FileList(const std::vector<std::wstring> &aPaths) {
  DROPFILES header{};
  header.pFiles = sizeof(header);
  header.fWide = TRUE;
  TBytes data(sizeof(header));
  std::memcpy(data.data(), &header, sizeof(header));
  for (const std::wstring &path : aPaths) {
    const auto *bytes = reinterpret_cast<const std::uint8_t *>(path.c_str());
    data.insert(data.end(), bytes, bytes + (path.size() + 1) * sizeof(wchar_t));
  }
  data.insert(data.end(), {0, 0});
  return data;
}

// A small landscape as a 32-bit DIB: sky, sun and hills.
TBytes Landscape() {
  constexpr int width = 320, height = 200;
  BITMAPINFOHEADER header{};
  header.biSize = sizeof(header);
  header.biWidth = width;
  header.biHeight = height; // bottom-up, as DIBs usually are
  header.biPlanes = 1;
  header.biBitCount = 32;
  header.biCompression = BI_RGB;
  TBytes data(sizeof(header) + width * height * 4);
  std::memcpy(data.data(), &header, sizeof(header));
  auto *pixels = reinterpret_cast<std::uint32_t *>(data.data() + sizeof(header));
  for (int row = 0; row < height; ++row) {
    const int y = height - 1 - row;
    for (int x = 0; x < width; ++x) {
      std::uint32_t colour = 0xFF000000 | static_cast<std::uint32_t>(0x60 + y / 3) << 16 |
                             static_cast<std::uint32_t>(0xA0 + y / 4) << 8 | 0xE8;
      const int dx = x - 240, dy = y - 55;
      if (dx * dx + dy * dy < 26 * 26)
        colour = 0xFFFFD54A;
      const int hill = 130 + static_cast<int>(25 * std::sin(x / 40.0));
      if (y > hill)
        colour = 0xFF000000 | static_cast<std::uint32_t>(0x30 + (y - hill)) << 8 | 0x2E8B3A;
      pixels[row * width + x] = colour;
    }
  }
  return data;
}

TBytes Utf16(const std::wstring &aText) {
  const auto *bytes = reinterpret_cast<const std::uint8_t *>(aText.c_str());
  return TBytes(bytes, bytes + (aText.size() + 1) * sizeof(wchar_t));
}

// The pages window over a window of this program, as Alt+Win+V opens it.
void SavePagesWindow(DWORD aPagekeep, const std::wstring &aFile) {
  PressKeys({VK_LWIN, VK_MENU, 'V'});
  const HWND window = WaitForWindow(aPagekeep, L"PagekeepPages", L"Pagekeep pages");
  CheckWin32(window != nullptr, "the pages window did not open");
  for (int wait = 0; wait < 50 && ::GetForegroundWindow() != window; ++wait)
    Pause(100ms);
  Pause(500ms);
  SaveScreen(window, aFile);
  PressKeys({VK_ESCAPE});
  for (int wait = 0; wait < 50 && ::IsWindow(window); ++wait)
    Pause(100ms);
}

void MakeScreenshots(const std::wstring &aFolder) {
  GdiPlus::TSession gdiPlus;
  TProcess pagekeep = StartPagekeep(L"-updated");
  const HWND card = WaitForWindow(pagekeep.Id(), L"", L"Stowage Notifier");
  CheckWin32(card != nullptr, "Pagekeep did not start");
  Pause(11s); // the greeting of the first run goes by
  ClearCardCorner(pagekeep.Id());
  const std::wstring folder = aFolder + L"\\";

  Copy({{CF_UNICODETEXT, Utf16(L"Pagekeep keeps ten clipboard pages and a short history of "
                               L"what you copied, and announces every switch.")}});
  Press(VK_NUMPAD0);
  SaveScreen(card, folder + L"page.png");
  Press(VK_NUMPAD4);
  SaveScreen(card, folder + L"empty-page.png");

  Press(VK_NUMPAD0);
  Copy({{CF_UNICODETEXT, Utf16(L"A newer copy")}});
  Press(VK_UP);
  SaveScreen(card, folder + L"history.png");
  Press(VK_DOWN);

  Press('E');
  SaveScreen(card, folder + L"private-mode.png");
  Press('E');
  SaveScreen(card, folder + L"normal-mode.png");

  Press(VK_NUMPAD2);
  Copy({{CF_HDROP, FileList({L"C:\\windows\\notepad.exe", L"C:\\windows\\win.ini",
                             L"C:\\windows\\regedit.exe"})}});
  Press('I');
  SaveScreen(card, folder + L"file-list.png");

  Press(VK_NUMPAD5);
  Copy({{CF_DIB, Landscape()}});
  Press('I');
  SaveScreen(card, folder + L"image.png");

  SavePagesWindow(pagekeep.Id(), folder + L"pages-window-light.png");
  const wchar_t *personalize = L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";
  const DWORD dark = 0;
  ::RegSetKeyValueW(HKEY_CURRENT_USER, personalize, L"AppsUseLightTheme", REG_DWORD, &dark,
                    sizeof(dark));
  SavePagesWindow(pagekeep.Id(), folder + L"pages-window-dark.png");
  ::RegDeleteKeyValueW(HKEY_CURRENT_USER, personalize, L"AppsUseLightTheme");
  pagekeep.Terminate();

  // Another program holds two of the combinations when Pagekeep starts.
  CheckWin32(::RegisterHotKey(nullptr, 1, MOD_ALT | MOD_WIN, VK_UP) &&
                 ::RegisterHotKey(nullptr, 2, MOD_ALT | MOD_WIN, VK_DOWN),
             "RegisterHotKey");
  TProcess again = StartPagekeep(L"-updated");
  const HWND secondCard = WaitForWindow(again.Id(), L"", L"Stowage Notifier");
  CheckWin32(secondCard != nullptr, "Pagekeep did not start again");
  Pause(2s); // start-up, then the card slides in
  SaveScreen(secondCard, folder + L"taken-hotkeys.png");
  ::UnregisterHotKey(nullptr, 1);
  ::UnregisterHotKey(nullptr, 2);
}

} // namespace

int wmain(int argc, wchar_t **argv) {
  if (argc != 2) {
    std::fwprintf(stderr, L"Usage: pagekeep-card-screenshots <folder>\n");
    return 2;
  }
  try {
    MakeScreenshots(argv[1]);
    return 0;
  } catch (const std::exception &e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
}
