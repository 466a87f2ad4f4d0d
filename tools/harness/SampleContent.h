#pragma once

// Content that packs as real content does, for tests and benchmarks of the
// packed pages: text of varied words (not one repeated character) and a
// desktop-like picture (gradients, windows, lines of text, a taskbar; not a
// flat colour).

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace Harness {

// aCharacters characters of words in a random order for aSeed, with line
// breaks.
std::wstring VariedText(std::size_t aCharacters, std::uint32_t aSeed);

// A CF_DIB block (BITMAPINFOHEADER, then 32-bit pixels, bottom row first)
// of a desktop-like picture for aSeed.
std::vector<std::uint8_t> DesktopPictureDib(int aWidth, int aHeight, std::uint32_t aSeed);

// aCount bytes that do not compress.
std::vector<std::uint8_t> RandomBytes(std::size_t aCount, std::uint32_t aSeed);

} // namespace Harness
