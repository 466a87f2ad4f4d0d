// Prints how snapshot capture, restore and the stream codec compare with the
// plain copies they cannot beat. Ratios, measured in one run; never a test.
#include "clipboard/ClipboardSession.h"
#include "clipboard/ClipboardStateContainer.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

using TClock = std::chrono::steady_clock;
using TBytes = std::vector<std::uint8_t>;

// Best of aRuns, in seconds.
double Measure(const std::function<void()> &aRun, int aRuns = 3) {
  double best = 1e9;
  for (int i = 0; i < aRuns; ++i) {
    const auto start = TClock::now();
    aRun();
    best = std::min(best, std::chrono::duration<double>(TClock::now() - start).count());
  }
  return best;
}

TBytes Filled(std::size_t aSize, std::uint8_t aSeed) {
  TBytes bytes(aSize);
  for (std::size_t i = 0; i < aSize; ++i)
    bytes[i] = static_cast<std::uint8_t>(i * 31 + aSeed);
  return bytes;
}

// Best of aRuns of aRun, each after an untimed aSetup.
double MeasureAfter(const std::function<void()> &aSetup, const std::function<void()> &aRun,
                    int aRuns = 3) {
  double best = 1e9;
  for (int i = 0; i < aRuns; ++i) {
    aSetup();
    best = std::min(best, Measure(aRun, 1));
  }
  return best;
}

void PutBlock(UINT aFormat, const TBytes &aData) {
  TClipboardSession session;
  CheckWin32(::EmptyClipboard() != FALSE, "EmptyClipboard");
  TGlobalHandle block(::GlobalAlloc(GMEM_MOVEABLE, aData.size()));
  CheckWin32(static_cast<bool>(block), "GlobalAlloc");
  {
    TGlobalLock lock(block.Get());
    std::memcpy(lock.Data(), aData.data(), aData.size());
  }
  CheckWin32(::SetClipboardData(aFormat, block.Get()) != nullptr, "SetClipboardData");
  block.Detach();
}

std::wstring TempFile(const wchar_t *aName) {
  wchar_t folder[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, folder);
  return std::wstring(folder) + aName;
}

void CaptureAndRestore() {
  const std::size_t size = MaxCapturedFormatSize;
  const UINT format = ::RegisterClipboardFormatW(L"Pagekeep Bench Block");
  const TBytes data = Filled(size, 1);
  TBytes target(size);
  const double copy = Measure([&] { std::memcpy(target.data(), data.data(), size); });
  // A copy must land in memory of its own; this is memcpy plus first touch.
  const double freshCopy = Measure([&] { TBytes fresh(data.begin(), data.end()); });
  // The system caches a block once read, so every capture starts from a
  // fresh copy on the clipboard.
  const auto put = [&] { PutBlock(format, data); };
  TClipboardState state;
  const double capture = MeasureAfter(put, [&] { state = CaptureClipboardState(false); });
  if (state().Count() != 1 || state()[0].Data().size() != size)
    throw std::runtime_error("capture did not take the block");
  const double restore = Measure([&] { RestoreClipboardState(state); });
  // What any program pays the system to take the block and to hand it back.
  const double systemGet = MeasureAfter(put, [&] {
    TClipboardSession session;
    TGlobalLock lock(::GetClipboardData(format));
  });
  const double systemSet = Measure(put);
  std::printf("capture+restore of 100 MiB: capture %.1f ms, restore %.1f ms, memcpy %.1f ms, "
              "ratio %.2fx (aim <= 3x)\n",
              capture * 1e3, restore * 1e3, copy * 1e3, (capture + restore) / copy);
  std::printf("  capture against a copy into fresh memory (%.1f ms): %.2fx\n", freshCopy * 1e3,
              capture / freshCopy);
  std::printf("  the system's own get and set of that block take %.1f ms + %.1f ms; "
              "capture+restore against memcpy plus that floor: %.2fx\n",
              systemGet * 1e3, systemSet * 1e3,
              (capture + restore) / (copy + systemGet + systemSet));
}

void StreamTenBlocks() {
  const std::size_t size = 10u * 1024u * 1024u;
  std::vector<std::unique_ptr<TClipboardStateContainer>> containers;
  std::vector<TBytes> raw;
  for (int i = 0; i < 10; ++i) {
    raw.push_back(Filled(size, static_cast<std::uint8_t>(i)));
    auto container = std::make_unique<TClipboardStateContainer>();
    container->Add(std::make_unique<TClipboardFormatState>(static_cast<WORD>(49200 + i),
                                                           L"Bench Format", raw.back()));
    containers.push_back(std::move(container));
  }
  const std::wstring file = TempFile(L"pagekeep-bench-stream.dat");
  const double save = Measure([&] {
    TFileStream out(file, TFileStream::TMode::fmCreate);
    for (const auto &container : containers)
      container->SaveToStream(out);
  });
  const double load = Measure([&] {
    TFileStream in(file, TFileStream::TMode::fmOpenRead);
    for (int i = 0; i < 10; ++i)
      if (TClipboardStateContainer::LoadFromStream(in)->Count() != 1)
        throw std::runtime_error("load failed");
  });
  const double rawWrite = Measure([&] {
    TFileStream out(file, TFileStream::TMode::fmCreate);
    for (const TBytes &bytes : raw)
      out.Write(bytes.data(), bytes.size());
  });
  // Raw reading, like loading, has to put the bytes in memory of their own.
  const double rawRead = Measure([&] {
    TFileStream in(file, TFileStream::TMode::fmOpenRead);
    for (int i = 0; i < 10; ++i) {
      std::unique_ptr<std::uint8_t[]> bytes(new std::uint8_t[size]);
      in.ReadBuffer(bytes.get(), size);
    }
  });
  ::DeleteFileW(file.c_str());
  std::printf("save+load of ten 10 MiB containers through a file: save %.1f ms, load %.1f ms, "
              "raw write %.1f ms, raw read %.1f ms, ratio %.2fx (aim <= 2x)\n",
              save * 1e3, load * 1e3, rawWrite * 1e3, rawRead * 1e3,
              (save + load) / (rawWrite + rawRead));
}

double LoadSmallContainers(int aCount) {
  auto container = std::make_unique<TClipboardStateContainer>();
  container->Add(std::make_unique<TClipboardFormatState>(13, L"", Filled(40, 3)));
  container->Add(std::make_unique<TClipboardFormatState>(49300, L"HTML Format", Filled(70, 4)));
  const std::wstring file = TempFile(L"pagekeep-bench-small.dat");
  {
    TFileStream out(file, TFileStream::TMode::fmCreate);
    for (int i = 0; i < aCount; ++i)
      container->SaveToStream(out);
  }
  const double seconds = Measure(
      [&] {
        TFileStream in(file, TFileStream::TMode::fmOpenRead);
        for (int i = 0; i < aCount; ++i)
          if (TClipboardStateContainer::LoadFromStream(in)->Count() != 2)
            throw std::runtime_error("load failed");
      },
      5);
  ::DeleteFileW(file.c_str());
  return seconds;
}

void LoadManySmall() {
  const double thousand = LoadSmallContainers(1000);
  const double tenThousand = LoadSmallContainers(10000);
  std::printf("loading small containers back to back from a file: 1,000 in %.1f ms, "
              "10,000 in %.1f ms, per-container ratio %.2fx (linear is ~1x)\n",
              thousand * 1e3, tenThousand * 1e3, (tenThousand / 10000) / (thousand / 1000));
}

} // namespace

int main() {
  try {
    CaptureAndRestore();
    StreamTenBlocks();
    LoadManySmall();
    return 0;
  } catch (const std::exception &e) {
    std::fprintf(stderr, "benchmark failed: %s\n", e.what());
    return 1;
  }
}
