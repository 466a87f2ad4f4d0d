#include "shared/AutoPtr.h"

#include <cstdio>
#include <exception>

#include <windows.h>

#if defined(__GNUC__)
#include <cstdlib>
#include <cxxabi.h>
#endif

std::string ClassNameOf(const std::type_info &aType) {
#if defined(__GNUC__)
  int status = 0;
  std::unique_ptr<char, decltype(&std::free)> demangled(
      abi::__cxa_demangle(aType.name(), nullptr, nullptr, &status), &std::free);
  if (status == 0 && demangled)
    return demangled.get();
  return aType.name();
#else
  // MSVC: "class TFoo" / "struct TFoo".
  std::string name = aType.name();
  for (const char *prefix : {"class ", "struct "})
    if (name.rfind(prefix, 0) == 0)
      return name.substr(std::char_traits<char>::length(prefix));
  return name;
#endif
}

void FailFast(const char *aMessage) noexcept {
  ::OutputDebugStringA(aMessage);
  std::fputs(aMessage, stderr);
  std::fputc('\n', stderr);
  std::abort();
}
