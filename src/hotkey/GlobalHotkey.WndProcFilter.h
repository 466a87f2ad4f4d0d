#pragma once

#include "shared/Handles.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// One window message as the filters see it. They get a copy, so they cannot
// change the answer the window gives to the system.
struct TMessage {
  std::uint32_t Msg = 0;
  WPARAM WParam = 0;
  LPARAM LParam = 0;
  LRESULT Result = 0;
};

// Filters are compared by identity: only the very same callable object is
// equal, two lambdas doing the same thing are different filters.
using TMessageFilter = std::shared_ptr<std::function<void(TMessage)>>;

inline TMessageFilter MakeMessageFilter(std::function<void(TMessage)> aCallable) {
  return std::make_shared<std::function<void(TMessage)>>(std::move(aCallable));
}

// The process's message window: hotkeys, the clipboard listener and the
// session's end arrive here.
// A hidden top-level window that hands every message it receives to the
// attached filters (all of them, in order) and then to the one listener of
// the message id. Errors raised by filters and listeners never reach the
// system. The answer is 0, except that the window never refuses the end of
// the session: WM_QUERYENDSESSION is answered TRUE.
class TWndProcFilter {
public:
  TWndProcFilter(const std::wstring &aCaption, const std::wstring &aClassName);
  TWndProcFilter(const TWndProcFilter &) = delete;
  TWndProcFilter &operator=(const TWndProcFilter &) = delete;
  ~TWndProcFilter();

  void AddFilter(const TMessageFilter &aFilter);
  void RemoveFilter(const TMessageFilter &aFilter);
  // Throws std::invalid_argument("Duplicates not allowed") when the id has
  // a listener already; that listener stays.
  void AddEventListener(std::uint32_t aMessage, const TMessageFilter &aListener);
  void RemoveEventListener(std::uint32_t aMessage);

  // The entries of the filter list; a filter added twice counts twice.
  std::size_t FilterCount() const;

  HWND Handle() const noexcept { return fHWND.Get(); }
  const std::wstring &Caption() const noexcept { return fCaption; }
  const std::wstring &ClassName() const noexcept { return fClassName; }

private:
  // One place in the filter list. The same filter may stand in several;
  // the serial tells them apart, so removing one leaves the others.
  struct TFilterEntry {
    TMessageFilter fFilter;
    std::uint64_t fSerial = 0;
  };

  static LRESULT CALLBACK ForwardingProc(HWND aWindow, UINT aMsg, WPARAM aWParam,
                                         LPARAM aLParam) noexcept;
  void WndProc(const TMessage &aMessage);
  bool IsAttached(const TFilterEntry &aEntry) const;

  std::wstring fCaption;
  std::wstring fClassName;
  mutable std::recursive_mutex fLock;
  std::vector<TFilterEntry> fFilters;
  std::uint64_t fNextSerial = 0;
  std::map<std::uint32_t, TMessageFilter> fEvents;
  TWindowHandle fHWND;
};

// The process-wide message window ("ZAVereWindowCaption", class
// "ZAVereWindowClass"), created on first use by the thread that is to pump
// its messages: the program's main thread.
// Other programs may look for the window by these names: they stay.
constexpr const wchar_t *MessageWindowCaption = L"ZAVereWindowCaption";
constexpr const wchar_t *MessageWindowClassName = L"ZAVereWindowClass";

TWndProcFilter &WndProcFilter();
