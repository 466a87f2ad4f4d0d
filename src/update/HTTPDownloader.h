#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Download progress in whole percent; aMax is always 100. Called in the
// downloading thread.
using TProgressEvent =
    std::function<void(const std::wstring &aURL, std::uint8_t aPercent, std::uint8_t aMax)>;

// Where a download writes its body, as it arrives. Write throws on failure.
class TDownloadStream {
public:
  virtual ~TDownloadStream() = default;
  virtual void Write(const void *aData, std::size_t aCount) = 0;
};

class TDownloadMemoryStream : public TDownloadStream {
public:
  void Write(const void *aData, std::size_t aCount) override;
  const std::vector<std::uint8_t> &Bytes() const noexcept { return fBytes; }

private:
  std::vector<std::uint8_t> fBytes;
};

// What one request may take at most: a server that trickles or never ends
// its body cannot hold the caller longer, nor fill its memory or disk.
struct TTransferLimits {
  std::chrono::milliseconds TotalTime;
  std::uint64_t MaxBytes; // of the body
};

// The update check's answer is a version number: 3 s in all, 4 KiB.
inline constexpr TTransferLimits CheckLimits{std::chrono::milliseconds(3000), 4096};
// The signature is 64 bytes, fetched by the updater that the user already
// agreed to: bounded as tightly in size, but with time to spare on a busy
// machine, where 3 s refused good updates.
inline constexpr TTransferLimits SignatureLimits{std::chrono::milliseconds(20000), 4096};
// The new executable is about 1.3 MiB: 32 MiB leave room to grow, and two
// minutes are ample on any connection that can fetch it at all.
inline constexpr TTransferLimits DownloadLimits{std::chrono::milliseconds(120000),
                                                32u * 1024 * 1024};

enum class TWorkMode { wmRead, wmWrite };

// Turns the client's byte counts into progress reports: 0 at every begin of
// work, then each new whole percentage of the announced total, at most 101
// reports per transfer however small the reads are.
class THTTPWorkProgress {
public:
  THTTPWorkProgress(std::wstring aURL, TProgressEvent aProgressEvent);

  void HTTPWorkBegin(TWorkMode aWorkMode, std::int64_t aWorkCountMax);
  void HTTPWork(TWorkMode aWorkMode, std::int64_t aWorkCount);

private:
  void ReportProgress(const std::wstring &aURL, std::uint8_t aPercent, std::uint8_t aMax);

  std::wstring fURL;
  std::int64_t fWorkCountMax = 0;
  std::uint8_t fLastPercentValue = 0;
  TProgressEvent fProgressEvent;
};

// The program's only network client. Both operations run synchronously in the
// calling thread and never throw: failure is their result.
class THTTPDownloader {
public:
  // POST of an empty URL-encoded form with 1000 ms resolve, connect, send
  // and receive time-outs, within CheckLimits in all; the body decoded by
  // its declared charset. Empty on any failure: no answer, a time-out, a
  // status outside 2xx, a redirect (never followed), a reply shorter than it
  // announced, or one past the limits.
  static std::wstring Download(const std::wstring &aURL);

  // GET whose body is written into aTargetStream as it arrives. False on any
  // failure, including a body shorter than its announced length and one that
  // passes aLimits; the stream then keeps what had arrived.
  static bool Download(const std::wstring &aURL, TDownloadStream &aTargetStream,
                       const TProgressEvent &aProgressEvent,
                       const TTransferLimits &aLimits = DownloadLimits);

private:
  THTTPDownloader(const std::wstring &aURL, const TProgressEvent &aProgressEvent);
  bool InternalDownload(const std::wstring &aURL, TDownloadStream &aTargetStream,
                        const TTransferLimits &aLimits);

  THTTPWorkProgress fProgress;
};
