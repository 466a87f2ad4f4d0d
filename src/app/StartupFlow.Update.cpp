// TStartupFlow, the update: the check at start, the fetch and its checks
// with the user's rights, the swap here or by the elevated copy, and the
// elevated copy's own course.
#include "app/StartupFlow.h"
#include "app/StartupFlow.Parts.h"

#include "shared/Text.h"
#include "shared/Trace.h"

#include <optional>

namespace {

using namespace StartupFlowParts;

// The updater's own steps are bounded (check, signature, download); this
// only keeps a hung one from holding the program back for ever.
constexpr DWORD UpdaterTimeLimit = 5 * 60 * 1000;

std::wstring DownloadText(int aPercent) {
  return L"Downloading update: " + std::to_wstring(aPercent) + L"%";
}

} // namespace

// An error in the update work (an unreadable identifier, say) counts as "no
// update", and a refused or failed update keeps this process going: either
// way the program ends up running with its tray icon and hotkeys.
void TStartupFlow::CheckForUpdate() {
  UI([this] {
    fHost.ShowInfo(Message(L"Checking for new version...", L"", TCardPicture::Search, UntilHidden));
  });
  std::optional<std::wstring> offered;
  try {
    offered = fUpdater.OfferedUpdate();
  } catch (const std::exception &) {
    TraceDroppedError();
  }
  if (!offered)
    UI([this] { fHost.ChangeInfo(Caption, L"Your version is actual", TCardPicture::Actual); });
  Sleep(Pause);
  UI([this] { fHost.HideInfo(); });
  if (offered && InstallOffered(*offered))
    return;
  UI([this] { fHost.CompleteStartup(); });
}

// Everything is fetched and checked here, with the user's own rights,
// before anything is asked: only an update that will install brings the
// elevation prompt. True when this process is done.
bool TStartupFlow::InstallOffered(const std::wstring &aOffered) {
  if (!FetchChecked(aOffered))
    return false;
  bool done = false;
  try {
    done = fUpdater.CanSwapWithoutElevation() ? SwapHere() : RunElevatedUpdater(aOffered);
  } catch (...) {
    fUpdater.RemoveFetched();
    throw;
  }
  return done;
}

// The download's progress shows as the elevated copy showed it before.
bool TStartupFlow::FetchChecked(const std::wstring &aOffered) {
  UI([this] {
    fHost.ShowInfo(Message(L"Downloading update: 0%", L"", TCardPicture::Download, UntilHidden));
  });
  std::optional<TUpdateVerdict> verdict;
  try {
    verdict =
        fUpdater.Fetch(aOffered, [this](const std::wstring &, std::uint8_t aPercent, std::uint8_t) {
          const std::wstring text = DownloadText(aPercent);
          UI([this, &text] { fHost.SetInfoComment(text); });
        });
  } catch (const EStartupCancelled &) {
    throw;
  } catch (const std::exception &) {
    // A download that cannot be written counts as one that failed.
    TraceDroppedError();
  }
  UI([this] { fHost.HideInfo(); });
  return verdict == TUpdateVerdict::uvAccepted;
}

// The program's folder is the user's own (an unpacked zip): no prompt.
bool TStartupFlow::SwapHere() {
  const bool swapped = fUpdater.InstallFrom(fUpdater.FetchedPath());
  fUpdater.RemoveFetched();
  return swapped && StartUpdatedProgram();
}

// The updater runs elevated, so the program it swapped in must not be its
// child: this process, with the user's own rights, waits for it to end and
// starts the program at its path, new or not. A refused prompt is
// remembered like a refused version.
bool TStartupFlow::RunElevatedUpdater(const std::wstring &aOffered) {
  Sleep(Pause);
  const std::wstring &exe = fUpdater.Settings().ExePath;
  TKernelHandle updater;
  const bool started = fUpdater.RunAsAdmin(
      nullptr, exe, L"-update " + QuotedArgument(fUpdater.FetchedPath()), &updater);
  if (!started || !updater) {
    if (!started)
      fUpdater.RememberRefusal(aOffered, L"elevation");
    fUpdater.RemoveFetched();
    return false;
  }
  WaitForUpdater(updater.Get());
  fUpdater.RemoveFetched();
  return StartUpdatedProgram();
}

// Never two programs at once: past the limit the updater is ended, and
// waited for until it has.
void TStartupFlow::WaitForUpdater(HANDLE aUpdater) {
  if (WaitForProcess(aUpdater, UpdaterTimeLimit))
    return;
  try {
    CheckWin32(::TerminateProcess(aUpdater, 1), "TerminateProcess");
  } catch (const std::exception &) {
    TraceDroppedError(); // no right to end it: waiting is all that is left
  }
  WaitForProcess(aUpdater, INFINITE);
}

bool TStartupFlow::StartUpdatedProgram() {
  if (!fHost.OpenProgram(fUpdater.Settings().ExePath, L"-updated"))
    return false;
  fHost.EndProcess();
  return true;
}

// Throws EStartupCancelled when the flow is stopped meanwhile.
bool TStartupFlow::WaitForProcess(HANDLE aProcess, DWORD aTimeLimit) {
  const HANDLE handles[] = {aProcess, fStop.Get()};
  const DWORD result = ::WaitForMultipleObjects(2, handles, FALSE, aTimeLimit);
  if (result == WAIT_OBJECT_0 + 1)
    throw EStartupCancelled();
  return result == WAIT_OBJECT_0;
}

// The elevated copy: installs the file the first process checked, checking
// it all again, and ends; the process that started it starts the program.
void TStartupFlow::InstallUpdate() {
  try {
    if (!fUpdateFile.empty())
      fUpdater.InstallFrom(fUpdateFile);
  } catch (const std::exception &) {
    // The first process starts the old program, which is still in place.
    TraceDroppedError();
  }
  fHost.EndProcess();
}
