#pragma once

// What differs between the 32-bit and the 64-bit build of the same sources.
// The build files and this header are the only places that know: code asks
// these names instead of testing the compiler's macros itself.

#include <windows.h>

namespace Architecture {

#if defined(_WIN64)
// The machine type of this program's own executable (its PE file header).
inline constexpr WORD OwnMachineType = IMAGE_FILE_MACHINE_AMD64;
// The machine type of the other build, which this one never installs.
inline constexpr WORD OtherMachineType = IMAGE_FILE_MACHINE_I386;
inline constexpr const wchar_t *Name = L"x64";
#else
inline constexpr WORD OwnMachineType = IMAGE_FILE_MACHINE_I386;
inline constexpr WORD OtherMachineType = IMAGE_FILE_MACHINE_AMD64;
inline constexpr const wchar_t *Name = L"x86";
#endif

} // namespace Architecture
