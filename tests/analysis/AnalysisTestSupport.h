#pragma once

#include "analysis/ClipboardAnalyzer.Service.h"
#include "clipboard/ClipboardStateContainer.h"

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// Snapshots, files and byte blocks for the analyzer tests.
namespace AnalysisTest {

struct TFormatSample {
  WORD fFormat = 0;
  std::wstring fName;
  std::vector<std::uint8_t> fData;
};

inline TAuto<TClipboardStateContainer> MakeSnapshot(const std::vector<TFormatSample> &aFormats,
                                                    std::wstring aPath = {},
                                                    std::wstring aCaption = {}) {
  auto state = std::make_unique<TClipboardStateContainer>(
      TActiveApplication::Make(std::move(aPath), std::move(aCaption)));
  for (const TFormatSample &format : aFormats)
    state->Add(std::make_unique<TClipboardFormatState>(format.fFormat, format.fName, format.fData));
  return TAutoPtr::Make(std::move(state));
}

inline std::vector<std::uint8_t> UnicodeBytes(std::wstring_view aText, bool aTerminate = true) {
  std::vector<std::uint8_t> bytes;
  for (wchar_t c : aText) {
    bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(c >> 8));
  }
  if (aTerminate)
    bytes.insert(bytes.end(), {0, 0});
  return bytes;
}

inline std::vector<std::uint8_t> AnsiBytes(std::string_view aText, bool aTerminate = true) {
  std::vector<std::uint8_t> bytes(aText.begin(), aText.end());
  if (aTerminate)
    bytes.push_back(0);
  return bytes;
}

// Registered formats by name, and a predefined one wherever a name is empty:
// the snapshot a program writing exactly these formats would leave.
inline TAuto<TClipboardStateContainer> SnapshotOfNames(const std::vector<std::wstring> &aNames,
                                                       std::wstring aPath = {},
                                                       std::wstring aCaption = {}) {
  std::vector<TFormatSample> formats;
  WORD registered = 0xC100;
  for (const std::wstring &name : aNames)
    if (name.empty())
      formats.push_back({CF_UNICODETEXT, L"", UnicodeBytes(L"copied text")});
    else
      formats.push_back({registered++, name, {1, 2, 3}});
  return MakeSnapshot(formats, std::move(aPath), std::move(aCaption));
}

// A 32-bit bottom-up BMP file of the given pixels (0xAARRGGBB, top row first).
inline std::vector<std::uint8_t> EncodeBmp(int aWidth, int aHeight,
                                           const std::vector<std::uint32_t> &aPixels) {
  BITMAPFILEHEADER file{};
  BITMAPINFOHEADER info{};
  const DWORD imageSize = static_cast<DWORD>(aWidth) * static_cast<DWORD>(aHeight) * 4;
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof(file) + sizeof(info);
  file.bfSize = file.bfOffBits + imageSize;
  info.biSize = sizeof(info);
  info.biWidth = aWidth;
  info.biHeight = aHeight;
  info.biPlanes = 1;
  info.biBitCount = 32;
  info.biCompression = BI_RGB;
  info.biSizeImage = imageSize;
  std::vector<std::uint8_t> bytes(file.bfSize);
  std::memcpy(bytes.data(), &file, sizeof(file));
  std::memcpy(bytes.data() + sizeof(file), &info, sizeof(info));
  for (int y = 0; y < aHeight; ++y)
    std::memcpy(bytes.data() + file.bfOffBits +
                    static_cast<std::size_t>(aHeight - 1 - y) * static_cast<std::size_t>(aWidth) *
                        4,
                aPixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(aWidth),
                static_cast<std::size_t>(aWidth) * 4);
  return bytes;
}

// Bytes placed right before a page that may not be touched: a read past
// their end faults at once instead of passing unnoticed.
class TGuardedBytes {
public:
  explicit TGuardedBytes(const std::vector<std::uint8_t> &aBytes) {
    SYSTEM_INFO system{};
    ::GetSystemInfo(&system);
    const std::size_t page = system.dwPageSize;
    const std::size_t dataPages = (aBytes.size() + page - 1) / page + 1;
    fBase = static_cast<std::uint8_t *>(
        ::VirtualAlloc(nullptr, (dataPages + 1) * page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    if (!fBase)
      throw std::runtime_error("VirtualAlloc failed");
    DWORD previous = 0;
    ::VirtualProtect(fBase + dataPages * page, page, PAGE_NOACCESS, &previous);
    fData = fBase + dataPages * page - aBytes.size();
    if (!aBytes.empty())
      std::memcpy(fData, aBytes.data(), aBytes.size());
    fSize = aBytes.size();
  }
  TGuardedBytes(const TGuardedBytes &) = delete;
  TGuardedBytes &operator=(const TGuardedBytes &) = delete;
  ~TGuardedBytes() { ::VirtualFree(fBase, 0, MEM_RELEASE); }
  std::span<const std::uint8_t> Span() const noexcept { return {fData, fSize}; }

private:
  std::uint8_t *fBase = nullptr;
  std::uint8_t *fData = nullptr;
  std::size_t fSize = 0;
};

inline std::filesystem::path TestExeFolder() {
  wchar_t path[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  return std::filesystem::path(path).parent_path();
}

// A fixture program built next to the test executable.
inline std::wstring FixturePath(std::wstring_view aName) {
  return (TestExeFolder() / (std::wstring(aName) + L".exe")).wstring();
}

// A fresh empty folder of the test's own, removed with the object.
class TTempFolder {
public:
  explicit TTempFolder(std::wstring_view aName)
      : fPath(std::filesystem::temp_directory_path() / std::wstring(aName)) {
    std::filesystem::remove_all(fPath);
    std::filesystem::create_directories(fPath);
  }
  TTempFolder(const TTempFolder &) = delete;
  TTempFolder &operator=(const TTempFolder &) = delete;
  ~TTempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(fPath, ignored);
  }
  const std::filesystem::path &Path() const noexcept { return fPath; }
  std::wstring File(std::wstring_view aName) const { return (fPath / aName).wstring(); }

private:
  std::filesystem::path fPath;
};

// Test names from free text: letters and digits only.
inline std::string TestName(std::string_view aText) {
  std::string name;
  for (char c : aText)
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
      name += c;
  return name.empty() ? "Empty" : name;
}

} // namespace AnalysisTest
