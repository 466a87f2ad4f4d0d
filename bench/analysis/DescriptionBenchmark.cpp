// Time per DescriptionForState call for a text copy from a program with an
// icon, for 50 MiB of text (the preview must not cost the whole text), and
// for a full-HD bitmap copy; the bitmap is also set against a plain
// copy of its bytes. Prints figures; never fails on speed.

#include "analysis/ClipboardAnalyzer.Service.h"
#include "clipboard/ClipboardStateContainer.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

double Seconds() {
  LARGE_INTEGER frequency, now;
  ::QueryPerformanceFrequency(&frequency);
  ::QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Median milliseconds per call over aRuns calls, after one warm-up call.
double MedianMilliseconds(int aRuns, const std::function<void()> &aCall) {
  aCall();
  std::vector<double> times;
  for (int i = 0; i < aRuns; ++i) {
    const double start = Seconds();
    aCall();
    times.push_back((Seconds() - start) * 1000);
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

std::vector<std::uint8_t> FullHdBmp() {
  const int width = 1920, height = 1080;
  BITMAPFILEHEADER file{};
  BITMAPINFOHEADER info{};
  const DWORD imageSize = width * height * 4;
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof(file) + sizeof(info);
  file.bfSize = file.bfOffBits + imageSize;
  info.biSize = sizeof(info);
  info.biWidth = width;
  info.biHeight = height;
  info.biPlanes = 1;
  info.biBitCount = 32;
  info.biCompression = BI_RGB;
  std::vector<std::uint8_t> bytes(file.bfSize);
  std::memcpy(bytes.data(), &file, sizeof(file));
  std::memcpy(bytes.data() + sizeof(file), &info, sizeof(info));
  for (std::size_t i = file.bfOffBits; i < bytes.size(); ++i)
    bytes[i] = static_cast<std::uint8_t>(i * 7);
  return bytes;
}

TClipboardState Snapshot(WORD aFormat, std::vector<std::uint8_t> aData, std::wstring aPath) {
  auto state = std::make_unique<TClipboardStateContainer>(
      TActiveApplication::Make(std::move(aPath), L"Benchmark window"));
  state->Add(std::make_unique<TClipboardFormatState>(aFormat, L"", std::move(aData)));
  return TAutoPtr::Make(std::move(state));
}

std::wstring FixtureProgram() {
  wchar_t path[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  return (std::filesystem::path(path).parent_path() / L"fixture_named.exe").wstring();
}

} // namespace

int main() {
  const std::wstring program = FixtureProgram();
  std::vector<std::uint8_t> text;
  for (wchar_t c : std::wstring(L"Some text copied from a program, long enough to be cut. ") +
                       std::wstring(300, L'x'))
    text.insert(text.end(), {static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 8)});
  text.insert(text.end(), {0, 0});
  const TClipboardState textState = Snapshot(CF_UNICODETEXT, text, program);
  std::vector<std::uint8_t> largeText(50 * 1024 * 1024, 'a');
  largeText.back() = 0;
  const TClipboardState largeTextState = Snapshot(CF_TEXT, std::move(largeText), program);
  const std::vector<std::uint8_t> bmp = FullHdBmp();
  const TClipboardState imageState = Snapshot(CF_BITMAP, bmp, L"");

  const auto &registry = ClipboardAnalyzers();
  const auto textDescription = registry.DescriptionForState(textState);
  if (!textDescription().Icon())
    std::printf("warning: no icon found for %ls; the text case measures less work\n",
                program.c_str());
  const double textMs =
      MedianMilliseconds(50, [&] { registry.DescriptionForState(textState).Release(); });
  const double largeTextMs =
      MedianMilliseconds(15, [&] { registry.DescriptionForState(largeTextState).Release(); });
  const double imageMs =
      MedianMilliseconds(15, [&] { registry.DescriptionForState(imageState).Release(); });
  std::vector<std::uint8_t> copy(bmp.size());
  const double copyMs =
      MedianMilliseconds(15, [&] { std::memcpy(copy.data(), bmp.data(), bmp.size()); });

  std::printf("DescriptionForState, text from a program with an icon: %.3f ms per call "
              "(goal < 10 ms)\n",
              textMs);
  std::printf("DescriptionForState, 50 MiB of text: %.3f ms per call (goal: as small text)\n",
              largeTextMs);
  std::printf("DescriptionForState, 1920x1080 bitmap: %.3f ms per call (goal < 50 ms)\n", imageMs);
  std::printf("  memcpy of the same %zu bytes: %.3f ms; ratio %.1f\n", bmp.size(), copyMs,
              copyMs > 0 ? imageMs / copyMs : 0.0);
  return 0;
}
