// Prints, for each candidate compressor, the packed size against the input
// and its packing and unpacking time against a memcpy of the same bytes.
#include "harness/SampleContent.h"

#include <windows.h>

#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

namespace {

using TBytes = std::vector<std::uint8_t>;
using TClock = std::chrono::steady_clock;

double Seconds(TClock::time_point aStart) {
  return std::chrono::duration<double>(TClock::now() - aStart).count();
}

double MemcpyTime(const TBytes &aInput) {
  TBytes copy(aInput.size());
  const auto start = TClock::now();
  std::memcpy(copy.data(), aInput.data(), aInput.size());
  return Seconds(start);
}

struct TResult {
  std::size_t Packed = 0;
  double PackTime = 0;
  double UnpackTime = 0;
  bool Exact = false;
};

void Print(const char *aInput, const char *aName, const TBytes &aBytes,
           const std::optional<TResult> &aResult, const std::string &aFailure) {
  if (!aResult) {
    std::printf("%-8s %-30s unavailable: %s\n", aInput, aName, aFailure.c_str());
    return;
  }
  const double copy = MemcpyTime(aBytes);
  std::printf(
      "%-8s %-30s size %.3fx  pack %6.1fx memcpy (%6.1f MB/s)  unpack %6.1fx memcpy "
      "(%6.1f MB/s)  %s\n",
      aInput, aName, static_cast<double>(aResult->Packed) / static_cast<double>(aBytes.size()),
      aResult->PackTime / copy, static_cast<double>(aBytes.size()) / 1e6 / aResult->PackTime,
      aResult->UnpackTime / copy, static_cast<double>(aBytes.size()) / 1e6 / aResult->UnpackTime,
      aResult->Exact ? "byte-exact" : "NOT BYTE-EXACT");
}

void Zlib(const char *aInput, const TBytes &aBytes, int aLevel) {
  uLongf length = compressBound(static_cast<uLong>(aBytes.size()));
  TBytes packed(length);
  TResult result;
  auto start = TClock::now();
  const int status =
      compress2(packed.data(), &length, aBytes.data(), static_cast<uLong>(aBytes.size()), aLevel);
  result.PackTime = Seconds(start);
  TBytes back(aBytes.size());
  uLongf backLength = static_cast<uLongf>(back.size());
  start = TClock::now();
  const int unpacked = uncompress(back.data(), &backLength, packed.data(), length);
  result.UnpackTime = Seconds(start);
  result.Packed = length;
  result.Exact = status == Z_OK && unpacked == Z_OK && back == aBytes;
  char name[32];
  std::snprintf(name, sizeof name, "zlib level %d", aLevel);
  Print(aInput, name, aBytes, result, "");
}

using TWorkSpaceSize = LONG(WINAPI *)(USHORT, PULONG, PULONG);
using TCompressBuffer = LONG(WINAPI *)(USHORT, PUCHAR, ULONG, PUCHAR, ULONG, ULONG, PULONG, PVOID);
using TDecompressBuffer = LONG(WINAPI *)(USHORT, PUCHAR, ULONG, PUCHAR, ULONG, PULONG);

template <class T> T Procedure(HMODULE aModule, const char *aName) {
  return reinterpret_cast<T>(reinterpret_cast<void (*)()>(::GetProcAddress(aModule, aName)));
}

std::string Status(const char *aCall, LONG aStatus) {
  char text[64];
  std::snprintf(text, sizeof text, "%s returns 0x%08lX", aCall,
                static_cast<unsigned long>(aStatus));
  return text;
}

void Rtl(const char *aInput, const TBytes &aBytes, USHORT aFormat, const char *aName) {
  const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  const auto workSpaceSize = Procedure<TWorkSpaceSize>(ntdll, "RtlGetCompressionWorkSpaceSize");
  const auto compress = Procedure<TCompressBuffer>(ntdll, "RtlCompressBuffer");
  const auto decompress = Procedure<TDecompressBuffer>(ntdll, "RtlDecompressBuffer");
  if (!workSpaceSize || !compress || !decompress) {
    Print(aInput, aName, aBytes, std::nullopt, "ntdll lacks the Rtl compression calls");
    return;
  }
  ULONG bufferWorkSpace = 0, fragmentWorkSpace = 0;
  LONG status = workSpaceSize(aFormat, &bufferWorkSpace, &fragmentWorkSpace);
  if (status != 0) {
    Print(aInput, aName, aBytes, std::nullopt, Status("RtlGetCompressionWorkSpaceSize", status));
    return;
  }
  TBytes workSpace(bufferWorkSpace);
  TBytes input = aBytes;
  TBytes packed(aBytes.size() + aBytes.size() / 8 + 4096);
  ULONG length = 0;
  TResult result;
  auto start = TClock::now();
  status = compress(aFormat, input.data(), static_cast<ULONG>(input.size()), packed.data(),
                    static_cast<ULONG>(packed.size()), 4096, &length, workSpace.data());
  result.PackTime = Seconds(start);
  if (status != 0) {
    Print(aInput, aName, aBytes, std::nullopt, Status("RtlCompressBuffer", status));
    return;
  }
  TBytes back(aBytes.size());
  ULONG backLength = 0;
  start = TClock::now();
  status = decompress(static_cast<USHORT>(aFormat & 0xFF), back.data(),
                      static_cast<ULONG>(back.size()), packed.data(), length, &backLength);
  result.UnpackTime = Seconds(start);
  result.Packed = length;
  result.Exact = status == 0 && backLength == aBytes.size() && back == aBytes;
  Print(aInput, aName, aBytes, result, "");
}

struct TLibraryFree {
  void operator()(HMODULE aModule) const noexcept { ::FreeLibrary(aModule); }
};
using TLibrary = std::unique_ptr<std::remove_pointer_t<HMODULE>, TLibraryFree>;

// The Compression API (Windows 8 and later): only whether it is there, as
// the system's compressor has to work on Windows and Wine alike.
void CompressionApi(const char *aInput, const TBytes &aBytes) {
  const TLibrary cabinet(::LoadLibraryW(L"cabinet.dll"));
  const bool there = cabinet && ::GetProcAddress(cabinet.get(), "CreateCompressor") != nullptr;
  if (!there)
    Print(aInput, "Compression API (XPRESS)", aBytes, std::nullopt,
          cabinet ? "cabinet.dll has no CreateCompressor" : "no cabinet.dll");
  else
    std::printf("%-8s %-30s present (not measured further)\n", aInput, "Compression API");
}

void Measure(const char *aInput, const TBytes &aBytes) {
  Zlib(aInput, aBytes, 1);
  Zlib(aInput, aBytes, 6); // Z_DEFAULT_COMPRESSION, what the program uses
  Rtl(aInput, aBytes, COMPRESSION_FORMAT_LZNT1, "RtlCompressBuffer LZNT1");
  Rtl(aInput, aBytes, COMPRESSION_FORMAT_LZNT1 | COMPRESSION_ENGINE_MAXIMUM, "LZNT1, maximum");
  Rtl(aInput, aBytes, COMPRESSION_FORMAT_XPRESS, "RtlCompressBuffer XPRESS");
  Rtl(aInput, aBytes, COMPRESSION_FORMAT_XPRESS_HUFF, "RtlCompressBuffer XPRESS_HUFF");
  CompressionApi(aInput, aBytes);
}

TBytes TextBytes(const std::wstring &aText) {
  TBytes bytes(aText.size() * sizeof(wchar_t));
  std::memcpy(bytes.data(), aText.data(), bytes.size());
  return bytes;
}

} // namespace

int main() {
  Measure("text", TextBytes(Harness::VariedText(1 << 19, 1)));
  Measure("picture", Harness::DesktopPictureDib(1920, 1080, 1));
  return 0;
}
