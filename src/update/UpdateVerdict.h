#pragma once

// Whether signed bytes are an update this program installs: signed by the
// release key first, then what the executable says of itself.

#include "update/UpdateSignature.h"

#include <cstdint>
#include <string>
#include <vector>

enum class TUpdateVerdict {
  uvAccepted,
  uvBadSignature,   // not signed by the key: nothing else is looked at
  uvWrongKind,      // not a complete executable of this program's machine type
  uvOtherProduct,   // its version resource does not name this program
  uvNotTheOffer,    // its version is not the offered one, or its claims disagree
  uvNotNewer,       // not newer than the running program
  uvUnsafeLocation, // where it was to go was a link, or no place of our own
};

// The name kept in the registry for a refusal.
const wchar_t *VerdictName(TUpdateVerdict aVerdict);

struct TUpdateCandidate {
  const std::vector<std::uint8_t> &Image;
  const std::vector<std::uint8_t> &Signature;
  // The offered version; empty where only the image's own claims count (the
  // elevated copy, which checks again what the first process checked).
  std::wstring Offered;
  std::wstring Running; // the version of the program that installs it
};

TUpdateVerdict JudgeUpdate(const TUpdateCandidate &aCandidate, const TUpdateKey &aKey);

// The names this program's version resource gives (the build's .rc file).
inline constexpr const wchar_t *ProductName = L"Pagekeep";
