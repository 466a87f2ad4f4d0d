#pragma once

// What both files of the start-up flow show, and the pause between steps.

#include "app/StartupFlow.h"

#include <cstdint>
#include <string>

namespace StartupFlowParts {

inline constexpr const wchar_t *Caption = L"Pagekeep";
// A message that stays until it is hidden.
inline constexpr std::uint32_t UntilHidden = 0xFFFFFFFF;
inline constexpr DWORD Pause = 1000;

inline TStartupMessage Message(const std::wstring &aShort, const std::wstring &aDetailed,
                               TCardPicture aPicture, std::uint32_t aTime) {
  return {Caption, aShort, aDetailed, aPicture, aTime};
}

} // namespace StartupFlowParts
