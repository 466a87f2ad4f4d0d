// TAutomaticUpdate, image check: whether downloaded bytes are a complete 32-bit Windows executable.
#include "update/AutomaticUpdate.h"

#include <cstring>

namespace {

template <class T>
bool ReadAt(const std::vector<std::uint8_t> &aImage, std::uint64_t aOffset, T &aValue) {
  if (aOffset > aImage.size() || aImage.size() - aOffset < sizeof(T))
    return false;
  std::memcpy(&aValue, aImage.data() + aOffset, sizeof(T));
  return true;
}

bool FitsIn(const std::vector<std::uint8_t> &aImage, std::uint64_t aOffset, std::uint64_t aSize) {
  return aOffset <= aImage.size() && aSize <= aImage.size() - aOffset;
}

} // namespace

bool IsCompleteI386Executable(const std::vector<std::uint8_t> &aImage) {
  IMAGE_DOS_HEADER dos;
  if (!ReadAt(aImage, 0, dos) || dos.e_magic != IMAGE_DOS_SIGNATURE)
    return false;
  const std::uint64_t ntOffset = static_cast<std::uint32_t>(dos.e_lfanew);
  IMAGE_NT_HEADERS32 nt;
  if (!ReadAt(aImage, ntOffset, nt) || nt.Signature != IMAGE_NT_SIGNATURE)
    return false;
  const IMAGE_FILE_HEADER &file = nt.FileHeader;
  if (file.Machine != IMAGE_FILE_MACHINE_I386 ||
      !(file.Characteristics & IMAGE_FILE_EXECUTABLE_IMAGE) ||
      (file.Characteristics & IMAGE_FILE_DLL) || file.NumberOfSections == 0 ||
      file.SizeOfOptionalHeader < sizeof(IMAGE_OPTIONAL_HEADER32) ||
      nt.OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR32_MAGIC ||
      !FitsIn(aImage, 0, nt.OptionalHeader.SizeOfHeaders))
    return false;
  const std::uint64_t sectionsOffset =
      ntOffset + offsetof(IMAGE_NT_HEADERS32, OptionalHeader) + file.SizeOfOptionalHeader;
  for (WORD i = 0; i < file.NumberOfSections; ++i) {
    IMAGE_SECTION_HEADER section;
    if (!ReadAt(aImage, sectionsOffset + i * sizeof(IMAGE_SECTION_HEADER), section))
      return false;
    if (section.SizeOfRawData && !FitsIn(aImage, section.PointerToRawData, section.SizeOfRawData))
      return false;
  }
  // A signature, when present, is the last thing in the file.
  const IMAGE_DATA_DIRECTORY &certificates =
      nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_SECURITY];
  if (nt.OptionalHeader.NumberOfRvaAndSizes > IMAGE_DIRECTORY_ENTRY_SECURITY && certificates.Size &&
      !FitsIn(aImage, certificates.VirtualAddress, certificates.Size))
    return false;
  return true;
}
