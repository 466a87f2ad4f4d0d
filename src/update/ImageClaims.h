#pragma once

// What an executable says of itself in its version resource, read from its
// bytes alone: nothing is loaded or run.

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

struct TImageClaims {
  std::array<std::uint16_t, 4> FileVersion{};    // VS_FIXEDFILEINFO, most significant first
  std::array<std::uint16_t, 4> ProductVersion{}; // likewise
  // The version strings ("ProductName", "FileVersion", ...) of every string
  // table; a name that two tables give differently is left out.
  std::map<std::wstring, std::wstring> Strings;

  std::wstring String(const std::wstring &aName) const;
};

// The claims of a PE image's first version resource; nothing when it has
// none or when the resource is malformed in any way.
std::optional<TImageClaims> ReadImageClaims(const std::vector<std::uint8_t> &aImage);
