// THTTPDownloader, progress: the memory stream and the work-progress computation.
#include "update/HTTPDownloader.h"

#include <utility>

void TDownloadMemoryStream::Write(const void *aData, std::size_t aCount) {
  const auto *bytes = static_cast<const std::uint8_t *>(aData);
  fBytes.insert(fBytes.end(), bytes, bytes + aCount);
}

THTTPWorkProgress::THTTPWorkProgress(std::wstring aURL, TProgressEvent aProgressEvent)
    : fURL(std::move(aURL)), fProgressEvent(std::move(aProgressEvent)) {}

void THTTPWorkProgress::HTTPWorkBegin(TWorkMode, std::int64_t aWorkCountMax) {
  fWorkCountMax = aWorkCountMax;
  ReportProgress(fURL, 0, 100);
}

void THTTPWorkProgress::HTTPWork(TWorkMode aWorkMode, std::int64_t aWorkCount) {
  if (aWorkMode != TWorkMode::wmRead || fWorkCountMax == 0)
    return;
  const auto percent = static_cast<std::int64_t>(static_cast<double>(aWorkCount) /
                                                 static_cast<double>(fWorkCountMax) * 100.0);
  const auto lowByte = static_cast<std::uint8_t>(percent & 0xFF);
  if (lowByte != fLastPercentValue)
    ReportProgress(fURL, lowByte, 100);
}

void THTTPWorkProgress::ReportProgress(const std::wstring &aURL, std::uint8_t aPercent,
                                       std::uint8_t aMax) {
  fLastPercentValue = aPercent;
  if (fProgressEvent)
    fProgressEvent(aURL, aPercent, aMax);
}
