#include "ModelRig.h"

#include <stdexcept>

namespace ModelTest {

namespace {

constexpr const wchar_t *ListenerClass = L"PagekeepTestListener";

void PutBlocks(const std::vector<std::pair<UINT, TBytes>> &aBlocks) {
  TClipboardSession session;
  CheckWin32(::EmptyClipboard() != FALSE, "EmptyClipboard");
  for (const auto &[format, data] : aBlocks) {
    TGlobalHandle block(::GlobalAlloc(GMEM_MOVEABLE, data.size()));
    CheckWin32(static_cast<bool>(block), "GlobalAlloc");
    {
      TGlobalLock lock(block.Get());
      std::memcpy(lock.Data(), data.data(), data.size());
    }
    CheckWin32(::SetClipboardData(format, block.Get()) != nullptr, "SetClipboardData");
    block.Detach();
  }
}

} // namespace

TListenerWindow::TListenerWindow(TPageModel &aModel, TRecordingView &aView)
    : fModel(aModel), fView(aView) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = ::GetModuleHandleW(nullptr);
  windowClass.lpszClassName = ListenerClass;
  ::RegisterClassExW(&windowClass);
  fWindow.Reset(::CreateWindowExW(0, ListenerClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  ::GetModuleHandleW(nullptr), this));
  CheckWin32(static_cast<bool>(fWindow), "CreateWindowExW");
  ::SetWindowLongPtrW(fWindow.Get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  CheckWin32(::AddClipboardFormatListener(fWindow.Get()) != FALSE, "AddClipboardFormatListener");
  fView.Window = fWindow.Get();
}

TListenerWindow::~TListenerWindow() {
  fView.Window = nullptr;
  ::RemoveClipboardFormatListener(fWindow.Get());
}

LRESULT CALLBACK TListenerWindow::WindowProc(HWND aWindow, UINT aMsg, WPARAM aWParam,
                                             LPARAM aLParam) {
  auto *self = reinterpret_cast<TListenerWindow *>(::GetWindowLongPtrW(aWindow, GWLP_USERDATA));
  if (self && aMsg == WM_CLIPBOARDUPDATE) {
    ++self->fNotifications;
    self->fModel.ClipboardChanged();
    return 0;
  }
  if (self && aMsg == WM_TIMER && aWParam == 1) {
    ::KillTimer(aWindow, 1);
    self->fModel.RetryCapture();
    return 0;
  }
  return ::DefWindowProcW(aWindow, aMsg, aWParam, aLParam);
}

TModelRig::TModelRig() {
  Model.CreatePages();
  {
    TClipboardSession session;
    ::EmptyClipboard();
  }
  EXPECT_TRUE(Harness::PumpUntilIdle()) << "the emptying's notification did not settle";
  View.Calls.clear();
}

void TModelRig::Copy(const std::wstring &aText) {
  const auto *bytes = reinterpret_cast<const std::uint8_t *>(aText.c_str());
  CopyBlocks({{CF_UNICODETEXT, TBytes(bytes, bytes + (aText.size() + 1) * sizeof(wchar_t))}});
}

void TModelRig::CopyBlocks(const std::vector<std::pair<UINT, TBytes>> &aBlocks) {
  ChangeAndSettle([&] { PutBlocks(aBlocks); });
}

void TModelRig::WaitForRetriesToEnd() {
  Harness::WaitUntil([this] { return !Model.CaptureRetryPending(); }, 15000ms);
}

std::optional<std::wstring> TModelRig::ClipboardText() {
  TClipboardSession session;
  const HANDLE handle = ::GetClipboardData(CF_UNICODETEXT);
  if (!handle)
    return std::nullopt;
  TGlobalLock lock(handle);
  return std::wstring(static_cast<const wchar_t *>(lock.Data()));
}

std::wstring TModelRig::Text(const TClipboardState &aState) {
  for (const TClipboardFormatState &format : aState())
    if (format.Format() == CF_UNICODETEXT && format.Data().size() >= 2)
      return std::wstring(reinterpret_cast<const wchar_t *>(format.Data().data()),
                          format.Data().size() / 2 - 1);
  return aState().Count() == 0 ? L"<empty>" : L"<no text>";
}

std::vector<std::wstring> TModelRig::HistoryTexts() const {
  std::vector<std::wstring> texts;
  for (const TClipboardState &entry : Model.History())
    texts.push_back(Text(entry));
  return texts;
}

Harness::TProcess StartHolder(DWORD aHoldMilliseconds, const std::wstring &aText) {
  static int counter = 0;
  const std::wstring eventName = L"PagekeepHolderReady" + std::to_wstring(::GetCurrentProcessId()) +
                                 L"_" + std::to_wstring(++counter);
  TKernelHandle ready(::CreateEventW(nullptr, TRUE, FALSE, eventName.c_str()));
  CheckWin32(static_cast<bool>(ready), "CreateEventW");
  std::wstring arguments = std::to_wstring(aHoldMilliseconds) + L" " + eventName;
  if (!aText.empty())
    arguments += L" \"" + aText + L"\"";
  Harness::TProcess holder(Harness::BesideThisExe(L"pagekeep-clipboard-holder.exe"), arguments);
  // Pump while waiting: the holder's clipboard calls talk to our windows.
  if (!Harness::WaitUntil([&] { return ::WaitForSingleObject(ready.Get(), 0) == WAIT_OBJECT_0; },
                          10000ms))
    throw std::runtime_error("the clipboard holder did not start");
  return holder;
}

} // namespace ModelTest
