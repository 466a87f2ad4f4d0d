#pragma once

// Versions as the update server offers them and as executables carry them:
// digits in groups separated by single dots ("1.10", "2.0.3.1").

#include <array>
#include <cstdint>
#include <optional>
#include <string>

// True for digits in groups separated by single dots, at most 32
// characters, nothing else.
bool LooksLikeVersion(const std::wstring &aText);

// aLeft against aRight, part by part as numbers: negative when aLeft is
// older, 0 when equal, positive when newer. Leading zeros do not count
// ("1.01" equals "1.1") and missing parts are 0 ("1.0" equals "1.0.0.0").
// Nothing when either is not a version.
std::optional<int> CompareVersions(const std::wstring &aLeft, const std::wstring &aRight);

// The four 16-bit parts of a version resource's VS_FIXEDFILEINFO (most
// significant first). Nothing when aVersion is not a version of at most
// four parts that each fit.
std::optional<std::array<std::uint16_t, 4>> FixedVersionParts(const std::wstring &aVersion);
