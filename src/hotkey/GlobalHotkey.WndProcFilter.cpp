#include "hotkey/GlobalHotkey.WndProcFilter.h"

#include "shared/Trace.h"

#include "shared/WindowClass.h"

#include <algorithm>
#include <stdexcept>

namespace {
constexpr const wchar_t *BindingProperty = L"Pagekeep.TWndProcFilter";

HINSTANCE ModuleInstance() {
  return ::GetModuleHandleW(nullptr);
}

} // namespace

TWndProcFilter::TWndProcFilter(const std::wstring &aCaption, const std::wstring &aClassName)
    : fCaption(aCaption), fClassName(aClassName) {
  // Our windows start at the default procedure and are subclassed below.
  RegisterWindowClass(fClassName.c_str(), &::DefWindowProcW);
  TWindowHandle window(::CreateWindowExW(WS_EX_TOOLWINDOW, fClassName.c_str(), fCaption.c_str(),
                                         WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, ModuleInstance(),
                                         nullptr));
  CheckWin32(static_cast<bool>(window), "CreateWindowExW");
  // The window is bound to this object by a window property and a subclassed
  // procedure; the binding goes with WM_NCDESTROY.
  CheckWin32(::SetPropW(window.Get(), BindingProperty, this), "SetPropW");
  ::SetLastError(0);
  if (!::SetWindowLongPtrW(window.Get(), GWLP_WNDPROC,
                           reinterpret_cast<LONG_PTR>(&TWndProcFilter::ForwardingProc)) &&
      ::GetLastError() != 0)
    throw std::runtime_error(LastErrorText("SetWindowLongPtrW"));
  fHWND = std::move(window);
}

TWndProcFilter::~TWndProcFilter() {
  fHWND.Reset();
  std::lock_guard guard(fLock);
  fEvents.clear();
  fFilters.clear();
}

// The one entry from the system. Nothing may unwind through the system's
// frames: an error that escapes the dispatch itself (no memory for the copy
// of the list, say) costs the filters this message and nothing more.
LRESULT CALLBACK TWndProcFilter::ForwardingProc(HWND aWindow, UINT aMsg, WPARAM aWParam,
                                                LPARAM aLParam) noexcept {
  auto *self = static_cast<TWndProcFilter *>(::GetPropW(aWindow, BindingProperty));
  if (aMsg == WM_NCDESTROY) {
    ::RemovePropW(aWindow, BindingProperty);
    ::SetWindowLongPtrW(aWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&::DefWindowProcW));
  }
  if (!self)
    return ::DefWindowProcW(aWindow, aMsg, aWParam, aLParam);
  try {
    self->WndProc(TMessage{aMsg, aWParam, aLParam, 0});
  } catch (...) {
    TraceDroppedError();
  }
  // Refusing would hold up the user's log-off or shutdown, whatever state
  // the program is in (starting, updating, closing).
  return aMsg == WM_QUERYENDSESSION ? TRUE : 0;
}

bool TWndProcFilter::IsAttached(const TFilterEntry &aEntry) const {
  return std::any_of(fFilters.begin(), fFilters.end(), [&](const TFilterEntry &aAttached) {
    return aAttached.fSerial == aEntry.fSerial;
  });
}

// Runs every entry that was in the list when the message arrived and is
// still in it when its turn comes, so a filter that removes itself (or
// another) neither makes the next one miss the message nor runs a removed
// entry.
void TWndProcFilter::WndProc(const TMessage &aMessage) {
  std::lock_guard guard(fLock);
  const std::vector<TFilterEntry> entries = fFilters;
  for (const TFilterEntry &entry : entries) {
    try {
      if (IsAttached(entry))
        (*entry.fFilter)(aMessage);
    } catch (...) {
      // A failing filter must not reach the system nor stop the others.
      TraceDroppedError();
    }
  }
  try {
    const auto listener = fEvents.find(aMessage.Msg);
    if (listener != fEvents.end()) {
      const TMessageFilter keepAlive = listener->second;
      (*keepAlive)(aMessage);
    }
  } catch (...) {
    // Same rule for the listener.
    TraceDroppedError();
  }
}

void TWndProcFilter::AddFilter(const TMessageFilter &aFilter) {
  if (!aFilter)
    throw std::invalid_argument("A message filter needs a callable");
  std::lock_guard guard(fLock);
  fFilters.push_back(TFilterEntry{aFilter, ++fNextSerial});
}

void TWndProcFilter::RemoveFilter(const TMessageFilter &aFilter) {
  std::lock_guard guard(fLock);
  const auto found =
      std::find_if(fFilters.begin(), fFilters.end(),
                   [&](const TFilterEntry &aEntry) { return aEntry.fFilter == aFilter; });
  if (found != fFilters.end())
    fFilters.erase(found);
}

std::size_t TWndProcFilter::FilterCount() const {
  std::lock_guard guard(fLock);
  return fFilters.size();
}

void TWndProcFilter::AddEventListener(std::uint32_t aMessage, const TMessageFilter &aListener) {
  if (!aListener)
    throw std::invalid_argument("A message listener needs a callable");
  std::lock_guard guard(fLock);
  if (!fEvents.emplace(aMessage, aListener).second)
    throw std::invalid_argument("Duplicates not allowed");
}

void TWndProcFilter::RemoveEventListener(std::uint32_t aMessage) {
  std::lock_guard guard(fLock);
  fEvents.erase(aMessage);
}

TWndProcFilter &WndProcFilter() {
  static TWndProcFilter instance(MessageWindowCaption, MessageWindowClassName);
  return instance;
}
