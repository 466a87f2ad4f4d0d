#include "shared/Registry.h"

namespace Registry {

TRegistryKey OpenCurrentUserKey(const std::wstring &aPath, bool aCreate, REGSAM aAccess) {
  TRegistryKey key;
  LSTATUS status = aCreate
                       ? ::RegCreateKeyExW(HKEY_CURRENT_USER, aPath.c_str(), 0, nullptr, 0, aAccess,
                                           nullptr, key.Put(), nullptr)
                       : ::RegOpenKeyExW(HKEY_CURRENT_USER, aPath.c_str(), 0, aAccess, key.Put());
  if (status != ERROR_SUCCESS)
    key.Reset();
  return key;
}

std::optional<std::wstring> ReadString(HKEY aKey, const std::wstring &aName) {
  for (;;) {
    DWORD size = 0;
    LSTATUS status =
        ::RegGetValueW(aKey, nullptr, aName.c_str(), RRF_RT_ANY, nullptr, nullptr, &size);
    if (status == ERROR_FILE_NOT_FOUND)
      return std::nullopt;
    if (status != ERROR_SUCCESS)
      throw std::runtime_error(LastErrorText("RegGetValueW", static_cast<DWORD>(status)));
    std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(value.size() * sizeof(wchar_t));
    status =
        ::RegGetValueW(aKey, nullptr, aName.c_str(), RRF_RT_REG_SZ, nullptr, value.data(), &size);
    if (status == ERROR_MORE_DATA)
      continue; // the value grew between the two calls
    if (status == ERROR_UNSUPPORTED_TYPE)
      throw ERegistryTypeError("Invalid data type for '" + std::string(aName.begin(), aName.end()) +
                               "'");
    if (status != ERROR_SUCCESS)
      throw std::runtime_error(LastErrorText("RegGetValueW", static_cast<DWORD>(status)));
    value.resize(wcsnlen(value.c_str(), size / sizeof(wchar_t)));
    return value;
  }
}

void WriteString(HKEY aKey, const std::wstring &aName, const std::wstring &aValue) {
  LSTATUS status = ::RegSetValueExW(aKey, aName.c_str(), 0, REG_SZ,
                                    reinterpret_cast<const BYTE *>(aValue.c_str()),
                                    static_cast<DWORD>((aValue.size() + 1) * sizeof(wchar_t)));
  if (status != ERROR_SUCCESS)
    throw std::runtime_error(LastErrorText("RegSetValueExW", static_cast<DWORD>(status)));
}

} // namespace Registry

namespace Registry {

namespace {

template <class T>
std::optional<T> ReadNumber(HKEY aKey, const std::wstring &aName, DWORD aRestriction) {
  T value = 0;
  DWORD size = sizeof value;
  const LSTATUS status =
      ::RegGetValueW(aKey, nullptr, aName.c_str(), aRestriction, nullptr, &value, &size);
  if (status == ERROR_FILE_NOT_FOUND || status == ERROR_UNSUPPORTED_TYPE)
    return std::nullopt;
  if (status != ERROR_SUCCESS)
    throw std::runtime_error(LastErrorText("RegGetValueW", static_cast<DWORD>(status)));
  return value;
}

template <class T> void WriteNumber(HKEY aKey, const std::wstring &aName, DWORD aType, T aValue) {
  const LSTATUS status = ::RegSetValueExW(aKey, aName.c_str(), 0, aType,
                                          reinterpret_cast<const BYTE *>(&aValue), sizeof aValue);
  if (status != ERROR_SUCCESS)
    throw std::runtime_error(LastErrorText("RegSetValueExW", static_cast<DWORD>(status)));
}

} // namespace

std::optional<std::uint64_t> ReadQword(HKEY aKey, const std::wstring &aName) {
  return ReadNumber<std::uint64_t>(aKey, aName, RRF_RT_REG_QWORD);
}

void WriteQword(HKEY aKey, const std::wstring &aName, std::uint64_t aValue) {
  WriteNumber(aKey, aName, REG_QWORD, aValue);
}

std::optional<DWORD> ReadDword(HKEY aKey, const std::wstring &aName) {
  return ReadNumber<DWORD>(aKey, aName, RRF_RT_REG_DWORD);
}

void WriteDword(HKEY aKey, const std::wstring &aName, DWORD aValue) {
  WriteNumber(aKey, aName, REG_DWORD, aValue);
}

} // namespace Registry
