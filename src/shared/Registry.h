#pragma once

#include "shared/Handles.h"

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

// A registry value that exists but is not a string.
class ERegistryTypeError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

namespace Registry {

// Opens (and, with aCreate, creates) a key under HKEY_CURRENT_USER; an
// empty handle when that fails.
TRegistryKey OpenCurrentUserKey(const std::wstring &aPath, bool aCreate,
                                REGSAM aAccess = KEY_ALL_ACCESS);

// The REG_SZ value, nothing when it is missing. Throws ERegistryTypeError
// for a value of another type and std::runtime_error for other failures.
std::optional<std::wstring> ReadString(HKEY aKey, const std::wstring &aName);

// Writes a REG_SZ value; throws on failure.
void WriteString(HKEY aKey, const std::wstring &aName, const std::wstring &aValue);

} // namespace Registry

namespace Registry {

// The REG_QWORD value, nothing when it is missing or of another type.
std::optional<std::uint64_t> ReadQword(HKEY aKey, const std::wstring &aName);
// Writes a REG_QWORD value; throws on failure.
void WriteQword(HKEY aKey, const std::wstring &aName, std::uint64_t aValue);

// The REG_DWORD value, nothing when it is missing or of another type.
std::optional<DWORD> ReadDword(HKEY aKey, const std::wstring &aName);
// Writes a REG_DWORD value; throws on failure.
void WriteDword(HKEY aKey, const std::wstring &aName, DWORD aValue);

} // namespace Registry
