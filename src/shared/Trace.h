#pragma once

#include <functional>
#include <string>

// The places that catch an error and go on (a failing command must not stop
// the others, one unreadable format must not lose a snapshot) still leave a
// trace: one line with the place and the error, written with
// OutputDebugStringW, so any debug viewer shows what was dropped.
//
// Call it inside the catch block, with no arguments: it reads the error being
// handled, and the defaults name the caller's place. (These builtins are what
// std::source_location is made of in GCC, Clang and MSVC; the clang of the
// lint cannot read libstdc++'s std::source_location itself.)
void TraceDroppedError(const char *aFile = __builtin_FILE(), int aLine = __builtin_LINE(),
                       const char *aFunction = __builtin_FUNCTION()) noexcept;

// The line written for an error at a place, as TraceDroppedError writes it:
// "Pagekeep: error dropped at ui/TrayIcon.Menu.cpp:39 (function): message".
std::wstring DroppedErrorLine(const char *aFile, int aLine, const char *aFunction,
                              const std::string &aError);

// A test hook: while it lives, every trace line is also handed to aSink (on
// the thread that writes it). One at a time.
class TTraceCapture {
public:
  explicit TTraceCapture(std::function<void(const std::wstring &)> aSink);
  TTraceCapture(const TTraceCapture &) = delete;
  TTraceCapture &operator=(const TTraceCapture &) = delete;
  ~TTraceCapture();
};
