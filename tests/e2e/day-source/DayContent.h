#pragma once

// The content a full-day scenario copies: made from a kind, a number that
// makes every copy unique and the name of the program that copies it, the
// same way in the source programs and in the test that checks the result.

#include "harness/Harness.h"

#include <shlobj.h> // DROPFILES

#include <cstring>
#include <string>
#include <vector>

namespace DayContent {

using Harness::TBytes;
using Harness::TClipFormat;

enum TKind : unsigned { ckText, ckHtml, ckImage, ckFiles, ckKindCount };

inline TBytes WideBytes(const std::wstring &aText) {
  const auto *begin = reinterpret_cast<const std::uint8_t *>(aText.c_str());
  return TBytes(begin, begin + (aText.size() + 1) * sizeof(wchar_t));
}

inline std::wstring CopyText(unsigned aId, const std::wstring &aSource) {
  std::wstring text = L"Day copy " + std::to_wstring(aId) + L" from " + aSource;
  // Lengths vary so that snapshots of different sizes come and go.
  for (unsigned i = 0; i < aId % 9; ++i)
    text += L" \u00e9t\u00e9 line " + std::to_wstring(i) + L"\r\n";
  return text;
}

// A CF_HTML block with correct offsets around the fragment.
inline TBytes HtmlBlock(const std::string &aFragment) {
  const std::string head = "<html><body><!--StartFragment-->";
  const std::string tail = "<!--EndFragment--></body></html>";
  auto header = [&](std::size_t aHeaderSize) {
    auto number = [](std::size_t aValue) {
      std::string digits = std::to_string(aValue);
      return std::string(10 - digits.size(), '0') + digits;
    };
    const std::size_t startFragment = aHeaderSize + head.size();
    return "Version:0.9\r\nStartHTML:" + number(aHeaderSize) +
           "\r\nEndHTML:" + number(startFragment + aFragment.size() + tail.size()) +
           "\r\nStartFragment:" + number(startFragment) +
           "\r\nEndFragment:" + number(startFragment + aFragment.size()) + "\r\n";
  };
  const std::string block = header(header(0).size()) + head + aFragment + tail;
  return TBytes(block.begin(), block.end());
}

// A small 32-bit bottom-up DIB whose pixels depend on aId.
inline TBytes Dib(unsigned aId) {
  const int side = 8 + static_cast<int>(aId % 5) * 4;
  BITMAPINFOHEADER header{};
  header.biSize = sizeof(header);
  header.biWidth = side;
  header.biHeight = side;
  header.biPlanes = 1;
  header.biBitCount = 32;
  header.biCompression = BI_RGB;
  header.biSizeImage = static_cast<DWORD>(side * side * 4);
  TBytes bytes(sizeof(header) + header.biSizeImage);
  std::memcpy(bytes.data(), &header, sizeof(header));
  for (std::size_t i = sizeof(header); i < bytes.size(); ++i)
    bytes[i] = static_cast<std::uint8_t>((i * 31 + aId * 17) ^ (i >> 4));
  return bytes;
}

// A DROPFILES block with wide paths, double-NUL terminated.
inline TBytes FileDrop(unsigned aId, const std::wstring &aSource) {
  const std::wstring folder = L"C:\\users\\Public\\Day " + std::to_wstring(aId) + L"\\";
  std::wstring paths = folder + L"notes " + aSource + L".txt";
  paths.push_back(L'\0');
  paths += folder + L"r\u00e9sum\u00e9.doc";
  paths.push_back(L'\0');
  paths.push_back(L'\0');
  DROPFILES drop{};
  drop.pFiles = sizeof(drop);
  drop.fWide = TRUE;
  const auto *head = reinterpret_cast<const std::uint8_t *>(&drop);
  TBytes bytes(head, head + sizeof(drop));
  bytes.resize(sizeof(drop) + paths.size() * sizeof(wchar_t));
  std::memcpy(bytes.data() + sizeof(drop), paths.data(), paths.size() * sizeof(wchar_t));
  return bytes;
}

inline std::vector<TClipFormat> Make(TKind aKind, unsigned aId, const std::wstring &aSource) {
  switch (aKind) {
  case ckHtml: {
    const std::string fragment = "<b>Day copy " + std::to_string(aId) + "</b>";
    return {{Harness::RegisterFormat(L"HTML Format"), HtmlBlock(fragment)},
            {CF_UNICODETEXT, WideBytes(L"Day copy " + std::to_wstring(aId))}};
  }
  case ckImage:
    return {{CF_DIB, Dib(aId)}};
  case ckFiles:
    return {{CF_HDROP, FileDrop(aId, aSource)}};
  default:
    return {{CF_UNICODETEXT, WideBytes(CopyText(aId, aSource))}};
  }
}

// How a test asks a source program to copy: WM_COPYDATA with the kind in
// dwData and this block as data.
struct TRequest {
  std::uint32_t Id;
};
inline constexpr wchar_t SourceWindowClass[] = L"PagekeepDaySource";

} // namespace DayContent
