#include "shared/Handles.h"

#include "shared/Text.h"

std::string SystemErrorMessage(DWORD aError) {
  wchar_t *text = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, aError, 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
  if (length == 0 || !text)
    return "System error " + std::to_string(aError);
  const TLocalMemory owned(text);
  std::wstring message(text, length);
  while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' ||
                              message.back() == L' ' || message.back() == L'.'))
    message.pop_back();
  return Utf8FromWide(message);
}

std::string LastErrorText(const char *aWhat, DWORD aError) {
  return std::string(aWhat) + " failed (error " + std::to_string(aError) + ")";
}
