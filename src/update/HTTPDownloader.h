#pragma once

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
  // and receive time-outs; the body decoded by its declared charset. Empty
  // on any failure: no answer, a time-out, a status outside 2xx, a redirect
  // (never followed), or a reply shorter than it announced.
  static std::wstring Download(const std::wstring &aURL);

  // GET whose body is written into aTargetStream as it arrives. False on any
  // failure, including a body shorter than its announced length; the stream
  // then keeps what had arrived.
  static bool Download(const std::wstring &aURL, TDownloadStream &aTargetStream,
                       const TProgressEvent &aProgressEvent);

private:
  THTTPDownloader(const std::wstring &aURL, const TProgressEvent &aProgressEvent);
  bool InternalDownload(const std::wstring &aURL, TDownloadStream &aTargetStream);

  THTTPWorkProgress fProgress;
};
