// TAutomaticUpdate, image check: whether downloaded bytes are a complete Windows executable of one
// machine type.
#include "update/AutomaticUpdate.h"

#include "update/ImageBytes.h"

using ImageBytes::FitsIn;
using ImageBytes::ReadAt;

namespace {

// The part of the PE headers that differs between PE32 and PE32+: where the
// optional header's fields sit.
template <class TNtHeaders>
bool IsCompleteImageOf(const std::vector<std::uint8_t> &aImage, std::uint64_t aNtOffset,
                       WORD aOptionalMagic) {
  TNtHeaders nt;
  if (!ReadAt(aImage, aNtOffset, nt))
    return false;
  const IMAGE_FILE_HEADER &file = nt.FileHeader;
  if (!(file.Characteristics & IMAGE_FILE_EXECUTABLE_IMAGE) ||
      (file.Characteristics & IMAGE_FILE_DLL) || file.NumberOfSections == 0 ||
      file.SizeOfOptionalHeader < sizeof(nt.OptionalHeader) ||
      nt.OptionalHeader.Magic != aOptionalMagic ||
      !FitsIn(aImage, 0, nt.OptionalHeader.SizeOfHeaders))
    return false;
  const std::uint64_t sectionsOffset =
      aNtOffset + offsetof(TNtHeaders, OptionalHeader) + file.SizeOfOptionalHeader;
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
  return !(nt.OptionalHeader.NumberOfRvaAndSizes > IMAGE_DIRECTORY_ENTRY_SECURITY &&
           certificates.Size && !FitsIn(aImage, certificates.VirtualAddress, certificates.Size));
}

} // namespace

bool IsCompleteExecutable(const std::vector<std::uint8_t> &aImage, WORD aMachine) {
  IMAGE_DOS_HEADER dos;
  if (!ReadAt(aImage, 0, dos) || dos.e_magic != IMAGE_DOS_SIGNATURE)
    return false;
  const std::uint64_t ntOffset = static_cast<std::uint32_t>(dos.e_lfanew);
  DWORD signature = 0;
  IMAGE_FILE_HEADER file;
  if (!ReadAt(aImage, ntOffset, signature) || signature != IMAGE_NT_SIGNATURE ||
      !ReadAt(aImage, ntOffset + sizeof signature, file) || file.Machine != aMachine)
    return false;
  switch (aMachine) {
  case IMAGE_FILE_MACHINE_I386:
    return IsCompleteImageOf<IMAGE_NT_HEADERS32>(aImage, ntOffset, IMAGE_NT_OPTIONAL_HDR32_MAGIC);
  case IMAGE_FILE_MACHINE_AMD64:
    return IsCompleteImageOf<IMAGE_NT_HEADERS64>(aImage, ntOffset, IMAGE_NT_OPTIONAL_HDR64_MAGIC);
  default:
    return false;
  }
}
