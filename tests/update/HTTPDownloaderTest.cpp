#include "update/HTTPDownloader.h"

#include "UpdateTestSupport.h"
#include "update-server/UpdateServerProcess.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <stdexcept>

namespace {

using UpdateServer::TServerSetup;
using UpdateServer::TUpdateServerProcess;

const wchar_t *ServedProgram = L"pagekeep-keepalive.exe";

TServerSetup ServingProgram(const wchar_t *aMode) {
  TServerSetup setup;
  setup.Version = L"1.0";
  setup.Folder = UpdateTest::BuiltProgram(L"");
  setup.File = ServedProgram;
  setup.Mode = aMode;
  return setup;
}

struct TTextCase {
  const char *Name;
  std::wstring Body;
  std::wstring Charset;
};

class HTTPDownloaderText : public testing::TestWithParam<TTextCase> {};

TEST_P(HTTPDownloaderText, ReturnsTheBodyExactlyAsSentAfterOnePost) {
  TServerSetup setup;
  setup.Version = GetParam().Body;
  setup.Charset = GetParam().Charset;
  TUpdateServerProcess server(setup);
  EXPECT_EQ(GetParam().Body, THTTPDownloader::Download(server.BaseURL() + L"update.php?guid=x"));
  EXPECT_EQ((std::vector<std::string>{"POST /update.php?guid=x"}), server.Requests());
}

INSTANTIATE_TEST_SUITE_P(Bodies, HTTPDownloaderText,
                         testing::Values(TTextCase{"Plain", L"1.0", L""},
                                         TTextCase{"TrailingLineBreak", L"1.0\n", L""},
                                         TTextCase{"TrailingSpace", L"1.0 ", L""},
                                         TTextCase{"Empty", L"", L""},
                                         TTextCase{"Utf8", L"Gr\u00FC\u00DFe \u20AC", L"utf-8"},
                                         TTextCase{"Latin1", L"Gr\u00FC\u00DFe", L"iso-8859-1"}),
                         [](const auto &aInfo) { return std::string(aInfo.param.Name); });

struct TFailureCase {
  const char *Name;
  const wchar_t *Mode;
};

class HTTPDownloaderFailure : public testing::TestWithParam<TFailureCase> {};

TEST_P(HTTPDownloaderFailure, TextIsEmptyStreamIsFalseAndNothingIsFollowed) {
  TUpdateServerProcess server(ServingProgram(GetParam().Mode));
  EXPECT_EQ(L"", THTTPDownloader::Download(server.BaseURL() + L"update.php?guid=x"));
  TDownloadMemoryStream stream;
  EXPECT_FALSE(THTTPDownloader::Download(server.BaseURL() + L"update.data", stream, nullptr));
  // A redirect is answered, never followed: the server sees only our two requests.
  EXPECT_EQ((std::vector<std::string>{"POST /update.php?guid=x", "GET /update.data"}),
            server.Requests());
}

INSTANTIATE_TEST_SUITE_P(Replies, HTTPDownloaderFailure,
                         testing::Values(TFailureCase{"NotFound", L"notfound"},
                                         TFailureCase{"Redirect", L"redirect"}),
                         [](const auto &aInfo) { return std::string(aInfo.param.Name); });

TEST(HTTPDownloaderTimeouts, ClosedPortGivesEmptyTextAndFalse) {
  std::wstring url;
  {
    TUpdateServerProcess server(ServingProgram(L"normal"));
    url = server.BaseURL();
  }
  EXPECT_EQ(L"", THTTPDownloader::Download(url + L"update.php?guid=x"));
  TDownloadMemoryStream stream;
  EXPECT_FALSE(THTTPDownloader::Download(url + L"update.data", stream, nullptr));
}

// The check must not hold start-up for the client's default 30 s when the
// server accepts and never answers.
TEST(HTTPDownloaderTimeouts, SilentServerEndsTheCheckAfterTheReadTimeout) {
  TUpdateServerProcess server(ServingProgram(L"silent"));
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(L"", THTTPDownloader::Download(server.BaseURL() + L"update.php?guid=x"));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

struct TStreamCase {
  const char *Name;
  const wchar_t *Mode;
  bool Completes;
  bool AnnouncesLength;
};

class HTTPDownloaderStream : public testing::TestWithParam<TStreamCase> {};

TEST_P(HTTPDownloaderStream, WritesTheBodyAsItArrivesAndReportsProgress) {
  const auto &c = GetParam();
  TUpdateServerProcess server(ServingProgram(c.Mode));
  const UpdateTest::TBytes served =
      UpdateTest::ReadFileBytes(UpdateTest::BuiltProgram(ServedProgram));
  const std::wstring url = server.BaseURL() + L"update.data";
  std::vector<int> percents;
  TDownloadMemoryStream stream;
  stream.Write("kept", 4); // the download appends at the stream's position
  bool completed = THTTPDownloader::Download(
      url, stream, [&](const std::wstring &aURL, std::uint8_t aPercent, std::uint8_t aMax) {
        EXPECT_EQ(url, aURL);
        EXPECT_EQ(100, aMax);
        percents.push_back(aPercent);
      });
  EXPECT_EQ(c.Completes, completed);
  const auto &bytes = stream.Bytes();
  ASSERT_GE(bytes.size(), 4u);
  EXPECT_EQ(0, std::memcmp(bytes.data(), "kept", 4));
  UpdateTest::TBytes body(bytes.begin() + 4, bytes.end());
  if (c.Completes) {
    EXPECT_EQ(served, body);
  } else {
    EXPECT_LT(body.size(), served.size());
  }
  ASSERT_FALSE(percents.empty());
  EXPECT_EQ(0, percents.front());
  for (size_t i = 1; i < percents.size(); ++i)
    EXPECT_LT(percents[i - 1], percents[i]);
  if (!c.AnnouncesLength) {
    EXPECT_EQ(std::vector<int>{0}, percents);
  }
  if (c.Completes && c.AnnouncesLength) {
    EXPECT_EQ(100, percents.back());
  }
}

INSTANTIATE_TEST_SUITE_P(Modes, HTTPDownloaderStream,
                         testing::Values(TStreamCase{"Whole", L"normal", true, true},
                                         TStreamCase{"NoLength", L"nolength", true, false},
                                         TStreamCase{"ShorterThanAnnounced", L"truncated", false,
                                                     true},
                                         TStreamCase{"ConnectionReset", L"cut", false, true}),
                         [](const auto &aInfo) { return std::string(aInfo.param.Name); });

TEST(HTTPDownloaderStreamSilent, RunsWithoutCallback) {
  TUpdateServerProcess server(ServingProgram(L"normal"));
  TDownloadMemoryStream stream;
  EXPECT_TRUE(THTTPDownloader::Download(server.BaseURL() + L"update.data", stream, nullptr));
  EXPECT_EQ(UpdateTest::ReadFileBytes(UpdateTest::BuiltProgram(ServedProgram)), stream.Bytes());
}

TEST(HTTPDownloaderStreamSilent, AFailingStreamEndsTheDownloadWithFalse) {
  struct TFullDisk : TDownloadStream {
    void Write(const void *, std::size_t) override { throw std::runtime_error("disk full"); }
  } stream;
  TUpdateServerProcess server(ServingProgram(L"normal"));
  EXPECT_FALSE(THTTPDownloader::Download(server.BaseURL() + L"update.data", stream, nullptr));
}

// A hostile server cannot stretch a request past its total time nor fill
// the memory or disk: the check, a download with a short total time and a
// download with a small size cap, against a server that trickles every body
// or sends one without end.
struct TBoundCase {
  const char *Name;
  const wchar_t *Mode;
  TTransferLimits Limits;
  bool CheckFails; // the check's answer is as hostile as the download
  bool WindowsOnly;
};

bool RunningUnderWine() {
  const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return ntdll && ::GetProcAddress(ntdll, "wine_get_version");
}

class HTTPDownloaderBounds : public testing::TestWithParam<TBoundCase> {};

TEST_P(HTTPDownloaderBounds, EndWithinTheTotalTimeAndTheSizeCap) {
  using namespace std::chrono_literals;
  const auto &c = GetParam();
  if (c.WindowsOnly && RunningUnderWine())
    GTEST_SKIP() << "Wine's WinHTTP applies the response time-out to each receive of the head, "
                    "not to the whole, and a call whose handle is closed goes on; Windows bounds "
                    "the whole head and stops the call";
  TUpdateServerProcess server(ServingProgram(c.Mode));
  auto start = std::chrono::steady_clock::now();
  const std::wstring answer = THTTPDownloader::Download(server.BaseURL() + L"update.php?guid=x");
  EXPECT_EQ(c.CheckFails ? L"" : L"1.0", answer);
  EXPECT_LT(std::chrono::steady_clock::now() - start, CheckLimits.TotalTime + 1500ms);

  start = std::chrono::steady_clock::now();
  TDownloadMemoryStream stream;
  EXPECT_FALSE(
      THTTPDownloader::Download(server.BaseURL() + L"update.data", stream, nullptr, c.Limits));
  EXPECT_LT(std::chrono::steady_clock::now() - start, c.Limits.TotalTime + 1500ms);
  EXPECT_LE(stream.Bytes().size(), c.Limits.MaxBytes);
}

INSTANTIATE_TEST_SUITE_P(
    Servers, HTTPDownloaderBounds,
    testing::Values(
        TBoundCase{"Trickle", L"trickle", {std::chrono::milliseconds(2000), 1 << 20}, true, false},
        TBoundCase{
            "TrickledHead", L"tricklehead", {std::chrono::milliseconds(2000), 1 << 20}, true, true},
        TBoundCase{"Endless", L"endless", {std::chrono::milliseconds(20000), 1 << 20}, true, false},
        TBoundCase{
            "LargerThanTheCap", L"normal", {std::chrono::milliseconds(20000), 4096}, false, false}),
    [](const auto &aInfo) { return std::string(aInfo.param.Name); });

// The server can take the build's own port, where the real program looks.
TEST(UpdateServerPort, ServesOnTheProgramsPortWhenAsked) {
  TServerSetup setup;
  setup.Version = L"1.0";
  setup.Port = UpdateServer::ProgramPort();
  std::unique_ptr<TUpdateServerProcess> started;
  try {
    started = std::make_unique<TUpdateServerProcess>(setup);
  } catch (const std::runtime_error &e) {
    if (std::string(e.what()).find("exit code 3") == std::string::npos)
      throw;
    GTEST_SKIP() << "the program's port is taken by another run on this machine";
  }
  TUpdateServerProcess &server = *started;
  EXPECT_EQ(UpdateServer::ProgramPort(), server.Port());
  EXPECT_EQ(L"1.0", THTTPDownloader::Download(server.BaseURL() + L"update.php?guid="));
  EXPECT_EQ((std::vector<std::string>{"POST /update.php?guid="}), server.Requests());
}

} // namespace
