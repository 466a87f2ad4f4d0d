// Prints how saving and loading the pages compare with a raw write and read
// of the same bytes, and the main thread's longest pause while the saver
// writes on its worker. Ratios, measured in one run; never a test.
#include "app/PageSaver.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

using TClock = std::chrono::steady_clock;
using TBytes = std::vector<std::uint8_t>;
constexpr std::size_t PageSize = 10u << 20;

double Seconds(TClock::time_point aStart) {
  return std::chrono::duration<double>(TClock::now() - aStart).count();
}

// Best of aRuns, in seconds.
double Measure(const std::function<void()> &aRun, int aRuns = 3) {
  double best = 1e9;
  for (int i = 0; i < aRuns; ++i) {
    const auto start = TClock::now();
    aRun();
    best = std::min(best, Seconds(start));
  }
  return best;
}

TSavedPages TenLargePages() {
  TSavedPages pages;
  for (int page = 0; page < TSavedPages::PageCount; ++page) {
    TBytes data(PageSize);
    for (std::size_t i = 0; i < data.size(); ++i)
      data[i] = static_cast<std::uint8_t>(i * 31 + static_cast<std::size_t>(page));
    auto container = std::make_unique<TClipboardStateContainer>();
    container->Add(std::make_unique<TClipboardFormatState>(0xC000, L"Bench", std::move(data)));
    pages.Pages[static_cast<std::size_t>(page)] = TAutoPtr::Make(std::move(container));
  }
  return pages;
}

// The same bytes as one plain file: written and flushed, or read whole.
void RawWrite(const std::wstring &aFile, const std::vector<const TBytes *> &aBlocks) {
  TFileHandle file(::CreateFileW(aFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
  CheckWin32(static_cast<bool>(file), "CreateFileW");
  for (const TBytes *block : aBlocks) {
    DWORD written = 0;
    CheckWin32(::WriteFile(file.Get(), block->data(), static_cast<DWORD>(block->size()), &written,
                           nullptr) != FALSE,
               "WriteFile");
  }
  CheckWin32(::FlushFileBuffers(file.Get()) != FALSE, "FlushFileBuffers");
}

void RawRead(const std::wstring &aFile) {
  TFileHandle file(::CreateFileW(aFile.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  CheckWin32(static_cast<bool>(file), "CreateFileW");
  LARGE_INTEGER size{};
  ::GetFileSizeEx(file.Get(), &size);
  TBytes bytes(static_cast<std::size_t>(size.QuadPart));
  DWORD read = 0;
  CheckWin32(::ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read,
                        nullptr) != FALSE,
             "ReadFile");
}

// The main thread's message loop: runs until aDone, and returns the longest
// gap between two turns of the loop, the longest the user could wait.
double LongestPause(const std::function<bool()> &aDone) {
  double longest = 0;
  auto last = TClock::now();
  const auto deadline = last + std::chrono::seconds(30);
  while (!aDone() && TClock::now() < deadline) {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
      ::DispatchMessageW(&message);
    const auto now = TClock::now();
    longest = std::max(longest, std::chrono::duration<double>(now - last).count());
    last = now;
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
  }
  return longest;
}

// From the change the saver finds on its timer to the end of its save.
double LongestPauseDuringSave(const TSavedPages &aPages, const std::wstring &aFolder) {
  TSavedPages current;
  TPageSaver saver([&] { return current; }, aFolder + L"saver-pages.dat",
                   aFolder + L"saver-history.dat", true);
  current = aPages;
  ::PostMessageW(WndProcFilter().Handle(), WM_CLIPBOARDUPDATE, 0, 0);
  LongestPause([&] { return saver.Saving(); });
  return LongestPause([&] { return saver.SavesDone() > 0; });
}

// The baseline: the same loop while a plain thread writes the same bytes.
double LongestPauseDuringRawWrite(const std::wstring &aFile,
                                  const std::vector<const TBytes *> &aBlocks) {
  std::atomic<bool> done{false};
  std::thread writer([&] {
    RawWrite(aFile, aBlocks);
    done = true;
  });
  const double pause = LongestPause([&] { return done.load(); });
  writer.join();
  return pause;
}

} // namespace

int wmain() {
  wchar_t temp[MAX_PATH]{};
  ::GetTempPathW(MAX_PATH, temp);
  const std::wstring folder = std::wstring(temp) + L"pagekeep-store-bench\\";
  ::CreateDirectoryW(folder.c_str(), nullptr);
  const std::wstring pagesFile = folder + L"ClipboardData.dat";
  const std::wstring historyFile = folder + L"HistoryData.dat";
  const std::wstring rawFile = folder + L"raw.dat";

  const TSavedPages pages = TenLargePages();
  std::vector<const TBytes *> blocks;
  for (const TClipboardState &page : pages.Pages)
    blocks.push_back(&page()[0].Data());

  const double rawWrite = Measure([&] { RawWrite(rawFile, blocks); });
  const double save = Measure([&] { PageStore::Save(pages, pagesFile, historyFile); });
  const double rawRead = Measure([&] { RawRead(rawFile); });
  const double load = Measure([&] { PageStore::Load(pagesFile, historyFile); });
  const double pause = LongestPauseDuringSave(pages, folder);
  const double rawPause = LongestPauseDuringRawWrite(rawFile, blocks);

  std::printf("ten 10 MiB pages (%.0f MiB)\n", 10.0 * PageSize / (1 << 20));
  std::printf("save: %7.1f ms   raw write+flush: %7.1f ms   ratio %.2f (aim <= 2)\n", save * 1000,
              rawWrite * 1000, save / rawWrite);
  std::printf("load: %7.1f ms   raw read:        %7.1f ms   ratio %.2f (aim <= 2)\n", load * 1000,
              rawRead * 1000, load / rawRead);
  std::printf("main thread's longest pause while the saver writes: %.1f ms (aim <= 16); "
              "while a plain thread writes the same bytes: %.1f ms\n",
              pause * 1000, rawPause * 1000);

  for (const std::wstring &file : {pagesFile, historyFile, rawFile, folder + L"saver-pages.dat",
                                   folder + L"saver-history.dat"})
    ::DeleteFileW(file.c_str());
  ::RemoveDirectoryW(folder.c_str());
  return 0;
}
