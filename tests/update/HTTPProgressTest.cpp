#include "update/HTTPDownloader.h"

#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <vector>

namespace {

struct TReport {
  std::wstring URL;
  int Percent;
  int Max;
  bool operator==(const TReport &) const = default;
};

struct TRecorder {
  std::vector<TReport> Reports;
  TProgressEvent Event() {
    return [this](const std::wstring &aURL, std::uint8_t aPercent, std::uint8_t aMax) {
      Reports.push_back({aURL, aPercent, aMax});
    };
  }
  std::vector<int> Percents() const {
    std::vector<int> result;
    for (const auto &report : Reports)
      result.push_back(report.Percent);
    return result;
  }
};

struct TProgressCase {
  const char *Name;
  std::int64_t Announced;
  std::vector<std::int64_t> RunningTotals;
  std::vector<int> Expected;
};

class HTTPProgress : public testing::TestWithParam<TProgressCase> {};

TEST_P(HTTPProgress, ReportsEachNewWholePercentOnce) {
  const auto &c = GetParam();
  TRecorder recorder;
  THTTPWorkProgress progress(L"http://host/update.data", recorder.Event());
  progress.HTTPWorkBegin(TWorkMode::wmRead, c.Announced);
  for (std::int64_t total : c.RunningTotals)
    progress.HTTPWork(TWorkMode::wmRead, total);
  EXPECT_EQ(c.Expected, recorder.Percents());
  for (const auto &report : recorder.Reports) {
    EXPECT_EQ(L"http://host/update.data", report.URL);
    EXPECT_EQ(100, report.Max);
  }
}

std::vector<std::int64_t> Steps(std::int64_t aStep, std::int64_t aTotal) {
  std::vector<std::int64_t> totals;
  for (std::int64_t at = aStep; at <= aTotal; at += aStep)
    totals.push_back(at);
  return totals;
}

std::vector<int> Range(int aFirst, int aLast) {
  std::vector<int> values(static_cast<size_t>(aLast - aFirst + 1));
  std::iota(values.begin(), values.end(), aFirst);
  return values;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HTTPProgress,
    testing::Values(
        TProgressCase{"NoLengthOnlyZero", 0, {256, 512, 4096}, {0}},
        TProgressCase{"FourChunksOf256", 1024, Steps(256, 1024), {0, 25, 50, 75, 100}},
        TProgressCase{"BigReadsSkipValues", 1000, {370, 740, 1000}, {0, 37, 74, 100}},
        TProgressCase{"ByteByByteEachValueOnce", 1000, Steps(1, 1000), Range(0, 100)},
        TProgressCase{"SameWholePercentNotRepeated", 10000, {1, 50, 99, 100, 150}, {0, 1}},
        TProgressCase{"TruncatesTowardZero", 3, {1, 2, 3}, {0, 33, 66, 100}},
        TProgressCase{
            "LargerThan4GiB", 8'000'000'000ll, {4'000'000'000ll, 8'000'000'000ll}, {0, 50, 100}}),
    [](const auto &aInfo) { return std::string(aInfo.param.Name); });

TEST(HTTPProgressModes, SendingWorkIsNotReportedButEveryBeginReportsZero) {
  TRecorder recorder;
  THTTPWorkProgress progress(L"u", recorder.Event());
  progress.HTTPWorkBegin(TWorkMode::wmWrite, 100);
  progress.HTTPWork(TWorkMode::wmWrite, 50);
  progress.HTTPWork(TWorkMode::wmRead, 50);
  progress.HTTPWorkBegin(TWorkMode::wmRead, 200);
  progress.HTTPWork(TWorkMode::wmRead, 100);
  EXPECT_EQ((std::vector<int>{0, 50, 0, 50}), recorder.Percents());
}

TEST(HTTPProgressModes, WithoutCallbackNothingHappens) {
  THTTPWorkProgress progress(L"u", nullptr);
  progress.HTTPWorkBegin(TWorkMode::wmRead, 4);
  EXPECT_NO_THROW(progress.HTTPWork(TWorkMode::wmRead, 4));
}

} // namespace
