#pragma once

// COM for the areas that use the imaging component and the shell.

#include <objbase.h>

#include <stdexcept>
#include <string>

// Throws std::runtime_error naming aWhat when aResult is a failure.
inline void CheckHResult(HRESULT aResult, const char *aWhat) {
  if (FAILED(aResult))
    throw std::runtime_error(std::string(aWhat) + " failed (HRESULT " +
                             std::to_string(static_cast<unsigned long>(aResult)) + ")");
}

// COM for the calling thread, ended only when this object started it. A
// thread already in the other apartment model keeps it (RPC_E_CHANGED_MODE):
// the shell and the imaging component work in both.
class TComScope {
public:
  TComScope() : fResult(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {
    if (fResult != RPC_E_CHANGED_MODE)
      CheckHResult(fResult, "CoInitializeEx");
  }
  TComScope(const TComScope &) = delete;
  TComScope &operator=(const TComScope &) = delete;
  ~TComScope() {
    if (SUCCEEDED(fResult))
      ::CoUninitialize();
  }

private:
  HRESULT fResult;
};
