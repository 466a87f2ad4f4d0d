#include "shared/Trace.h"

#include "shared/Text.h"

#include <windows.h>

#include <exception>
#include <mutex>
#include <string_view>

namespace {

std::mutex &SinkLock() {
  static std::mutex lock;
  return lock;
}

std::function<void(const std::wstring &)> &Sink() {
  static std::function<void(const std::wstring &)> sink;
  return sink;
}

// The message of the error being handled, whatever its type.
std::string CurrentErrorText() {
  try {
    throw;
  } catch (const std::exception &e) {
    return e.what(); // handled: its text is what is asked for
  } catch (...) {
    return "an error that is not a std::exception"; // handled: likewise
  }
}

// The source file from the program's own folder down (ui/TrayIcon.Menu.cpp),
// not the build machine's path.
std::string_view ShortFileName(std::string_view aFile) {
  for (std::string_view root : {"src/", "src\\", "tools/", "tools\\", "tests/", "tests\\"}) {
    const std::size_t at = aFile.rfind(root);
    if (at != std::string_view::npos)
      return aFile.substr(at + root.size());
  }
  return aFile;
}

} // namespace

std::wstring DroppedErrorLine(const char *aFile, int aLine, const char *aFunction,
                              const std::string &aError) {
  const std::string place =
      std::string(ShortFileName(aFile)) + ":" + std::to_string(aLine) + " (" + aFunction + ")";
  return L"Pagekeep: error dropped at " + WideFromErrorText(place) + L": " +
         WideFromErrorText(aError) + L"\n";
}

void TraceDroppedError(const char *aFile, int aLine, const char *aFunction) noexcept {
  try {
    const std::wstring line = DroppedErrorLine(aFile, aLine, aFunction, CurrentErrorText());
    ::OutputDebugStringW(line.c_str());
    std::function<void(const std::wstring &)> sink;
    {
      std::lock_guard guard(SinkLock());
      sink = Sink();
    }
    if (sink)
      sink(line);
  } catch (...) {
    // handled: out of memory while tracing, the trace is the one thing that
    // may go.
    ::OutputDebugStringW(L"Pagekeep: error dropped (no memory to describe it)\n");
  }
}

TTraceCapture::TTraceCapture(std::function<void(const std::wstring &)> aSink) {
  std::lock_guard guard(SinkLock());
  Sink() = std::move(aSink);
}

TTraceCapture::~TTraceCapture() {
  std::lock_guard guard(SinkLock());
  Sink() = nullptr;
}
