#pragma once

#include "clipboard/ClipboardStateContainer.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace TestBytes {

using TBytes = std::vector<std::uint8_t>;

// "02 0D 12" -> {0x02, 0x0D, 0x12}; spaces are ignored.
inline TBytes Hex(const std::string &aHex) {
  TBytes bytes;
  std::string digits;
  for (char c : aHex)
    if (c != ' ')
      digits += c;
  for (std::size_t i = 0; i + 1 < digits.size(); i += 2)
    bytes.push_back(static_cast<std::uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
  return bytes;
}

inline TBytes Ascii(const std::string &aText) {
  return TBytes(aText.begin(), aText.end());
}

inline TBytes Concat(std::initializer_list<TBytes> aParts) {
  TBytes all;
  for (const TBytes &part : aParts)
    all.insert(all.end(), part.begin(), part.end());
  return all;
}

struct TFormatSample {
  WORD Format;
  std::wstring Name;
  TBytes Data;
};

inline std::unique_ptr<TClipboardStateContainer>
MakeContainer(const std::vector<TFormatSample> &aFormats) {
  auto container = std::make_unique<TClipboardStateContainer>();
  for (const TFormatSample &format : aFormats)
    container->Add(
        std::make_unique<TClipboardFormatState>(format.Format, format.Name, format.Data));
  return container;
}

inline TBytes Saved(const TClipboardStateContainer &aContainer) {
  TMemoryStream stream;
  aContainer.SaveToStream(stream);
  return stream.Bytes();
}

} // namespace TestBytes
