#include "update/ImageClaims.h"

#include "update/ImageBytes.h"

#include <windows.h>

#include <functional>

using ImageBytes::FitsIn;
using ImageBytes::ReadAt;

namespace {

using TBytes = std::vector<std::uint8_t>;

struct TSpan {
  std::uint64_t Offset = 0;
  std::uint64_t Size = 0;
};

// The resource directory's place in the file, through the section that
// holds it.
std::optional<TSpan> ResourceSection(const TBytes &aImage, std::uint64_t &aRva) {
  IMAGE_DOS_HEADER dos;
  IMAGE_FILE_HEADER file;
  WORD magic = 0;
  if (!ReadAt(aImage, 0, dos))
    return std::nullopt;
  const std::uint64_t fileHeader = static_cast<std::uint32_t>(dos.e_lfanew) + sizeof(DWORD);
  const std::uint64_t optional = fileHeader + sizeof file;
  if (!ReadAt(aImage, fileHeader, file) || !ReadAt(aImage, optional, magic))
    return std::nullopt;
  IMAGE_DATA_DIRECTORY resources{};
  if (magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC) {
    IMAGE_OPTIONAL_HEADER64 header;
    if (!ReadAt(aImage, optional, header) ||
        header.NumberOfRvaAndSizes <= IMAGE_DIRECTORY_ENTRY_RESOURCE)
      return std::nullopt;
    resources = header.DataDirectory[IMAGE_DIRECTORY_ENTRY_RESOURCE];
  } else {
    IMAGE_OPTIONAL_HEADER32 header;
    if (!ReadAt(aImage, optional, header) ||
        header.NumberOfRvaAndSizes <= IMAGE_DIRECTORY_ENTRY_RESOURCE)
      return std::nullopt;
    resources = header.DataDirectory[IMAGE_DIRECTORY_ENTRY_RESOURCE];
  }
  aRva = resources.VirtualAddress;
  const std::uint64_t sections = optional + file.SizeOfOptionalHeader;
  for (WORD i = 0; i < file.NumberOfSections; ++i) {
    IMAGE_SECTION_HEADER section;
    if (!ReadAt(aImage, sections + i * sizeof section, section))
      return std::nullopt;
    if (aRva >= section.VirtualAddress && aRva - section.VirtualAddress < section.SizeOfRawData &&
        FitsIn(aImage, section.PointerToRawData, section.SizeOfRawData))
      return TSpan{section.PointerToRawData + (aRva - section.VirtualAddress),
                   section.SizeOfRawData - (aRva - section.VirtualAddress)};
  }
  return std::nullopt;
}

// Resource directory entries, relative to the directory's start.
class TResourceTree {
public:
  TResourceTree(const TBytes &aImage, TSpan aSection, std::uint64_t aRva)
      : fImage(aImage), fSection(aSection), fRva(aRva) {}

  // The entry with the id (or the first one for no id) of the directory at
  // aDirectory; nothing when there is none.
  std::optional<DWORD> Entry(DWORD aDirectory, std::optional<WORD> aId) const {
    IMAGE_RESOURCE_DIRECTORY directory;
    if (!Read(aDirectory, directory))
      return std::nullopt;
    const DWORD count = DWORD{directory.NumberOfNamedEntries} + directory.NumberOfIdEntries;
    for (DWORD i = 0; i < count; ++i) {
      IMAGE_RESOURCE_DIRECTORY_ENTRY entry;
      if (!Read(aDirectory + sizeof directory + i * sizeof entry, entry))
        return std::nullopt;
      if (!aId || (!(entry.Name & 0x80000000u) && (entry.Name & 0xFFFF) == *aId))
        return entry.OffsetToData;
    }
    return std::nullopt;
  }

  // Type, name, language: the data of the first resource of aType.
  std::optional<TBytes> FirstOfType(WORD aType) const {
    std::optional<DWORD> at = Entry(0, aType);
    for (int level = 0; level < 2 && at; ++level)
      at = IsDirectory(*at) ? Entry(*at & 0x7FFFFFFFu, std::nullopt) : std::nullopt;
    IMAGE_RESOURCE_DATA_ENTRY data;
    if (!at || IsDirectory(*at) || !Read(*at, data) || data.OffsetToData < fRva)
      return std::nullopt;
    const std::uint64_t offset = data.OffsetToData - fRva;
    if (offset > fSection.Size || data.Size > fSection.Size - offset)
      return std::nullopt;
    const auto begin = fImage.begin() + static_cast<std::ptrdiff_t>(fSection.Offset + offset);
    return TBytes(begin, begin + static_cast<std::ptrdiff_t>(data.Size));
  }

private:
  static bool IsDirectory(DWORD aOffset) { return (aOffset & 0x80000000u) != 0; }
  template <class T> bool Read(std::uint64_t aOffset, T &aValue) const {
    return aOffset <= fSection.Size && sizeof(T) <= fSection.Size - aOffset &&
           ReadAt(fImage, fSection.Offset + aOffset, aValue);
  }

  const TBytes &fImage;
  TSpan fSection;
  std::uint64_t fRva;
};

// One node of a version resource: length, value length, type, key, value,
// children, each part aligned to four bytes from the block's start.
struct TVersionNode {
  std::wstring Key;
  std::uint64_t Value = 0;    // offset of the value
  std::uint64_t Children = 0; // offset of the first child
  std::uint64_t End = 0;
  WORD ValueLength = 0;
};

std::uint64_t Aligned(std::uint64_t aOffset) {
  return (aOffset + 3) & ~std::uint64_t{3};
}

std::optional<std::wstring> TextAt(const TBytes &aBlock, std::uint64_t aOffset, std::uint64_t aEnd,
                                   std::uint64_t &aAfter) {
  std::wstring text;
  for (std::uint64_t at = aOffset; at + sizeof(WORD) <= aEnd; at += sizeof(WORD)) {
    WORD unit = 0;
    ReadAt(aBlock, at, unit);
    if (unit == 0) {
      aAfter = at + sizeof(WORD);
      return text;
    }
    text += static_cast<wchar_t>(unit);
  }
  return std::nullopt;
}

std::optional<TVersionNode> NodeAt(const TBytes &aBlock, std::uint64_t aOffset,
                                   std::uint64_t aLimit) {
  WORD header[3];
  if (!ReadAt(aBlock, aOffset, header) || header[0] < sizeof header || header[0] > aLimit - aOffset)
    return std::nullopt;
  TVersionNode node;
  node.End = aOffset + header[0];
  node.ValueLength = header[1];
  std::uint64_t afterKey = 0;
  auto key = TextAt(aBlock, aOffset + sizeof header, node.End, afterKey);
  if (!key)
    return std::nullopt;
  node.Key = *key;
  node.Value = std::min(Aligned(afterKey), node.End);
  // Text values count their length in characters, binary ones in bytes.
  const std::uint64_t valueBytes = header[2] == 1 ? 2ull * header[1] : header[1];
  node.Children = std::min(Aligned(node.Value + valueBytes), node.End);
  return node;
}

bool ForEachChild(const TBytes &aBlock, const TVersionNode &aParent,
                  const std::function<bool(const TVersionNode &)> &aVisit) {
  for (std::uint64_t at = aParent.Children; at < aParent.End;) {
    const auto child = NodeAt(aBlock, at, aParent.End);
    if (!child || !aVisit(*child))
      return false;
    at = Aligned(child->End);
  }
  return true;
}

std::array<std::uint16_t, 4> Parts(DWORD aMostSignificant, DWORD aLeastSignificant) {
  return {HIWORD(aMostSignificant), LOWORD(aMostSignificant), HIWORD(aLeastSignificant),
          LOWORD(aLeastSignificant)};
}

std::optional<TImageClaims> ParseVersionBlock(const TBytes &aBlock) {
  const auto root = NodeAt(aBlock, 0, aBlock.size());
  VS_FIXEDFILEINFO fixed;
  if (!root || root->Key != L"VS_VERSION_INFO" || root->ValueLength < sizeof fixed ||
      !ReadAt(aBlock, root->Value, fixed) || fixed.dwSignature != VS_FFI_SIGNATURE)
    return std::nullopt;
  TImageClaims claims;
  claims.FileVersion = Parts(fixed.dwFileVersionMS, fixed.dwFileVersionLS);
  claims.ProductVersion = Parts(fixed.dwProductVersionMS, fixed.dwProductVersionLS);
  std::map<std::wstring, bool> conflicting;
  const auto readString = [&](const TVersionNode &aString) {
    std::uint64_t after = 0;
    const auto value = TextAt(aBlock, aString.Value, aString.End, after);
    if (!value)
      return false;
    const auto [at, added] = claims.Strings.emplace(aString.Key, *value);
    if (!added && at->second != *value)
      conflicting[aString.Key] = true;
    return true;
  };
  const bool wellFormed = ForEachChild(aBlock, *root, [&](const TVersionNode &aChild) {
    if (aChild.Key != L"StringFileInfo")
      return true;
    return ForEachChild(aBlock, aChild, [&](const TVersionNode &aTable) {
      return ForEachChild(aBlock, aTable, readString);
    });
  });
  if (!wellFormed)
    return std::nullopt;
  for (const auto &[name, unused] : conflicting)
    claims.Strings.erase(name);
  return claims;
}

} // namespace

std::wstring TImageClaims::String(const std::wstring &aName) const {
  const auto at = Strings.find(aName);
  return at == Strings.end() ? std::wstring() : at->second;
}

std::optional<TImageClaims> ReadImageClaims(const std::vector<std::uint8_t> &aImage) {
  std::uint64_t rva = 0;
  const auto section = ResourceSection(aImage, rva);
  if (!section)
    return std::nullopt;
  const auto block = TResourceTree(aImage, *section, rva).FirstOfType(16); // RT_VERSION
  if (!block)
    return std::nullopt;
  return ParseVersionBlock(*block);
}
