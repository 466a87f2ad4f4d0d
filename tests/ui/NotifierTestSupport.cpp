#include "NotifierTestSupport.h"

#include "shared/Handles.h"

#include <cstring>
#include <mutex>
#include <stdexcept>

namespace NotifierTest {

int PumpFor(TMilliseconds aTime) {
  int timers = 0;
  const auto deadline = std::chrono::steady_clock::now() + aTime;
  for (;;) {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_TIMER)
        ++timers;
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline)
      return timers;
    const auto left = std::chrono::duration_cast<TMilliseconds>(deadline - now);
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left.count()) + 1,
                                QS_ALLINPUT);
  }
}

bool PumpUntil(const std::function<bool()> &aCondition, TMilliseconds aTimeout) {
  const auto deadline = std::chrono::steady_clock::now() + aTimeout;
  while (!aCondition()) {
    if (std::chrono::steady_clock::now() >= deadline)
      return false;
    PumpFor(5ms);
  }
  return true;
}

bool WaitForStill(const TNotifier &aNotifier, TMilliseconds aTimeout) {
  const bool still = PumpUntil([&] { return !aNotifier.IsAnimating(); }, aTimeout);
  PumpFor(50ms); // let the X server show the last frame
  return still;
}

TScreenShot::TScreenShot(RECT aArea) : fArea(aArea) {
  const int width = aArea.right - aArea.left;
  const int height = aArea.bottom - aArea.top;
  TWindowDC screen(nullptr);
  TMemoryDCHandle memory(::CreateCompatibleDC(screen.Get()));
  CheckWin32(static_cast<bool>(memory), "CreateCompatibleDC");
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void *bits = nullptr;
  TBitmapHandle dib(::CreateDIBSection(screen.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  CheckWin32(dib && bits, "CreateDIBSection");
  const HGDIOBJ old = ::SelectObject(memory.Get(), dib.Get());
  // CAPTUREBLT: on Windows layered windows are left out of screen reads
  // without it.
  const bool copied = ::BitBlt(memory.Get(), 0, 0, width, height, screen.Get(), aArea.left,
                               aArea.top, SRCCOPY | CAPTUREBLT);
  ::GdiFlush();
  fPixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  std::memcpy(fPixels.data(), bits, fPixels.size() * 4);
  ::SelectObject(memory.Get(), old);
  CheckWin32(copied, "BitBlt");
  for (auto &pixel : fPixels)
    pixel |= 0xFF000000;
}

TScreenShot TScreenShot::OfCardArea() {
  return TScreenShot(RECT{0, 0, 400, 360});
}

std::uint32_t TScreenShot::At(int aScreenX, int aScreenY) const {
  if (aScreenX < fArea.left || aScreenX >= fArea.right || aScreenY < fArea.top ||
      aScreenY >= fArea.bottom)
    throw std::out_of_range("Point outside the screenshot");
  const int width = fArea.right - fArea.left;
  // Both offsets are non-negative: the point is inside the area.
  return fPixels[static_cast<std::size_t>(aScreenY - fArea.top) * static_cast<std::size_t>(width) +
                 static_cast<std::size_t>(aScreenX - fArea.left)];
}

int TScreenShot::CountColor(RECT aRect, std::uint32_t aColor) const {
  int count = 0;
  for (int y = aRect.top; y < aRect.bottom; ++y)
    for (int x = aRect.left; x < aRect.right; ++x)
      count += At(x, y) == aColor;
  return count;
}

int TScreenShot::CountChanged(const TScreenShot &aOther, RECT aRect) const {
  int count = 0;
  for (int y = aRect.top; y < aRect.bottom; ++y)
    for (int x = aRect.left; x < aRect.right; ++x)
      count += At(x, y) != aOther.At(x, y);
  return count;
}

namespace {

enum class TBehaviour { Describe, FailWithPictures, AlwaysFail };

struct TEntry {
  TAuto<TDescription> Description;
  TBehaviour Behaviour;
};

std::vector<TEntry> &Entries() {
  static std::vector<TEntry> entries;
  return entries;
}

WORD MarkerFormat() {
  static const WORD format =
      static_cast<WORD>(::RegisterClipboardFormatW(L"Pagekeep UI test marker"));
  return format;
}

bool HasPicture(const TClipboardStateContainer &aState) {
  for (const TClipboardFormatState &format : aState)
    if (format.Format() == CF_DIB || format.Format() == CF_BITMAP ||
        format.Format() == CF_ENHMETAFILE)
      return true;
  return false;
}

TAuto<TDescription> TestAnalyzer(const TClipboardState &aState) {
  for (const TClipboardFormatState &format : aState()) {
    if (format.Format() != MarkerFormat() || format.Data().size() != sizeof(std::uint32_t))
      continue;
    std::uint32_t index = 0;
    std::memcpy(&index, format.Data().data(), sizeof(index));
    const TEntry &entry = Entries().at(index);
    if (entry.Behaviour == TBehaviour::AlwaysFail ||
        (entry.Behaviour == TBehaviour::FailWithPictures && HasPicture(aState())))
      throw std::runtime_error("The image cannot be decoded");
    return entry.Description;
  }
  return {};
}

TClipboardState MarkedSnapshot(TEntry aEntry, const std::vector<WORD> &aExtraFormats) {
  static std::once_flag registered;
  std::call_once(registered, [] { ClipboardAnalyzers().RegisterCustomAnalyzer(TestAnalyzer); });
  const auto index = static_cast<std::uint32_t>(Entries().size());
  Entries().push_back(std::move(aEntry));
  auto state = std::make_unique<TClipboardStateContainer>(
      TActiveApplication::Make(L"C:\\test\\program.exe", L"Test"));
  std::vector<std::uint8_t> data(sizeof(index));
  std::memcpy(data.data(), &index, sizeof(index));
  state->Add(std::make_unique<TClipboardFormatState>(MarkerFormat(), L"Pagekeep UI test marker",
                                                     std::move(data)));
  for (WORD format : aExtraFormats)
    state->Add(
        std::make_unique<TClipboardFormatState>(format, L"", std::vector<std::uint8_t>{1, 2, 3}));
  return TAutoPtr::Make(std::move(state));
}

} // namespace

TClipboardState SnapshotDescribedAs(TAuto<TDescription> aDescription,
                                    std::vector<WORD> aExtraFormats) {
  return MarkedSnapshot({std::move(aDescription), TBehaviour::Describe}, aExtraFormats);
}

TClipboardState SnapshotFailingWithPictures(TAuto<TDescription> aWithoutPictures) {
  return MarkedSnapshot({std::move(aWithoutPictures), TBehaviour::FailWithPictures},
                        {CF_DIB, CF_UNICODETEXT});
}

TClipboardState SnapshotAlwaysFailing() {
  return MarkedSnapshot({{}, TBehaviour::AlwaysFail}, {CF_UNICODETEXT});
}

TBitmap Filled(int aWidth, int aHeight, TAlphaColor aColor) {
  return TBitmap(aWidth, aHeight, aColor);
}

namespace {
LRESULT CALLBACK UserWindowProc(HWND aWindow, UINT aMsg, WPARAM aWParam, LPARAM aLParam) {
  return ::DefWindowProcW(aWindow, aMsg, aWParam, aLParam);
}
} // namespace

TUserWindow::TUserWindow() {
  const HINSTANCE instance = ::GetModuleHandleW(nullptr);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  if (!::GetClassInfoExW(instance, L"PagekeepUiTestUser", &wc)) {
    wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = UserWindowProc;
    wc.hInstance = instance;
    wc.lpszClassName = L"PagekeepUiTestUser";
    CheckWin32(::RegisterClassExW(&wc) != 0, "RegisterClassExW");
  }
  fWindow = ::CreateWindowExW(0, L"PagekeepUiTestUser", L"User's program",
                              WS_OVERLAPPEDWINDOW | WS_VISIBLE, 600, 500, 300, 200, nullptr,
                              nullptr, instance, nullptr);
  CheckWin32(fWindow != nullptr, "CreateWindowExW");
  fEdit = ::CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE, 10, 10, 200, 24, fWindow,
                            nullptr, instance, nullptr);
  CheckWin32(fEdit != nullptr, "CreateWindowExW");
  ::SetForegroundWindow(fWindow);
  ::SetFocus(fEdit);
}

TUserWindow::~TUserWindow() {
  ::DestroyWindow(fWindow);
}

} // namespace NotifierTest
