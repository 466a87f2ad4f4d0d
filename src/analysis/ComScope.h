#pragma once

#include <objbase.h>

#include <stdexcept>

// COM for the calling thread, ended only when this object started it. A
// thread already in the other apartment model keeps it (RPC_E_CHANGED_MODE):
// the shell and the imaging component work in both.
class TComScope {
public:
  TComScope() : fResult(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {
    if (FAILED(fResult) && fResult != RPC_E_CHANGED_MODE)
      throw std::runtime_error("Cannot start COM");
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
