#pragma once

#include "app/capture/CaptureShared.h"
#include "app/model/PageClipboard.h"
#include "shared/Handles.h"
#include "shared/WindowBinding.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// The system clipboard for the pages model. Reading is done by the capture
// helper process, started soon after this object and kept running between
// copies; the program's thread only hands out requests and takes the
// formats from shared memory, so a clipboard owner that hangs in a render
// can never stop it. A capture that runs out of time (its renders over the
// budget, or the clipboard held too long) is cut short: the helper is
// ended, which frees the clipboard, and the formats read so far are kept.
// A large copy is taken over from the shared memory on a thread of its
// own, so that the program's thread goes on answering meanwhile. Main
// thread only.
class TSystemPageClipboard final : public TPageModelClipboard {
public:
  // aHelperPath: the executable that serves "-capture"; empty for this one.
  explicit TSystemPageClipboard(std::wstring aHelperPath = L"");
  TSystemPageClipboard(const TSystemPageClipboard &) = delete;
  TSystemPageClipboard &operator=(const TSystemPageClipboard &) = delete;
  ~TSystemPageClipboard() override;

  void SetListener(TListener *aListener) override { fListener = aListener; }
  DWORD SequenceNumber() override { return ::GetClipboardSequenceNumber(); }
  void BeginCapture(bool aDetectApplication) override;
  void HurryCapture() override;
  DWORD Put(const TClipboardState &aState) override;

  // The helper's process id, 0 when none runs (for tests and benchmarks).
  DWORD HelperProcessId() const noexcept { return fProcessId; }

private:
  class TRegisteredWait;
  class TSegmentReader;
  struct TCollection;
  friend struct TWindowBinding<TSystemPageClipboard>;

  LRESULT HandleMessage(UINT aMsg, WPARAM aWParam, LPARAM aLParam);
  void CreateMessageWindow();
  void StartHelper();
  void StartHelperSoon();
  void StopHelper();
  void HelperDone();
  void HelperEnded();
  void CheckTime();
  void PingClipboardOwner();
  void OwnerAnsweredPing();
  bool TimeIsUp() const;
  void CutShort();
  std::unique_ptr<TCollection> BeginCollection(bool aCut);
  static void TakeFormats(TCollection &aCollection);
  TClipboardState FinishCollection(TCollection &aCollection);
  void CollectionTaken();
  void Deliver(TCaptureResult aResult);

  std::wstring fHelperPath;
  TListener *fListener = nullptr;
  TWindowHandle fWindow;
  // The helper and its hand-over, one set per helper started.
  unsigned fGeneration = 0;
  std::wstring fBlockName;
  TKernelHandle fMapping;
  TMappedView fView;
  CaptureShared::TBlock *fBlock = nullptr;
  TKernelHandle fWake;
  TKernelHandle fDone;
  TKernelHandle fProcess;
  DWORD fProcessId = 0;
  std::unique_ptr<TRegisteredWait> fDoneWait;
  std::unique_ptr<TRegisteredWait> fExitWait;
  // The capture in flight.
  bool fInFlight = false;
  bool fHurried = false;
  // A ping of the clipboard's owner, sent while a read lasts, not yet
  // answered, and when it went.
  bool fOwnerPingOutstanding = false;
  DWORD fOwnerPingTick = 0;
  std::uint32_t fOwnerPingRender = 0;
  std::int32_t fRequest = 0;
  DWORD fRequestTick = 0;
  TActiveApplication fApplication;
  // A capture cut short is handed over once the helper has gone, so that
  // the clipboard is free again for the commands waiting behind it.
  std::optional<TCaptureResult> fCutResult;
  // A large capture being taken over on fCollector; its result waits here
  // until the thread has posted that it is done.
  std::unique_ptr<TCollection> fCollection;
  std::optional<TCaptureResult> fCollectedResult;
  std::thread fCollector;
};
