#include "update/HTTPDownloader.h"

#include "UpdateTestSupport.h"
#include "shared/Text.h"
#include "update-server/UpdateServerProcess.h"

#include <winsock2.h>

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>

namespace {

using UpdateServer::TServerSetup;
using UpdateServer::TUpdateServerProcess;
using namespace std::chrono_literals;

class TWinsockScope {
public:
  TWinsockScope() {
    WSADATA data;
    fStarted = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }
  ~TWinsockScope() {
    if (fStarted)
      ::WSACleanup();
  }
  TWinsockScope(const TWinsockScope &) = delete;
  TWinsockScope &operator=(const TWinsockScope &) = delete;

private:
  bool fStarted = false;
};

// A raw loopback client for requests no HTTP library would send.
class TRawClient {
public:
  explicit TRawClient(unsigned short aPort) : fSocket(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)) {
    if (fSocket == INVALID_SOCKET)
      throw std::runtime_error("socket failed");
    DWORD timeout = 5000;
    ::setsockopt(fSocket, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char *>(&timeout),
                 sizeof timeout);
    ::setsockopt(fSocket, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char *>(&timeout),
                 sizeof timeout);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = ::htons(aPort);
    address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
    if (::connect(fSocket, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0)
      throw std::runtime_error("connect failed");
  }
  ~TRawClient() { ::closesocket(fSocket); }
  TRawClient(const TRawClient &) = delete;
  TRawClient &operator=(const TRawClient &) = delete;

  // The server may close early on junk; what was sent then does not matter.
  void Send(const std::string &aData) {
    for (size_t at = 0; at < aData.size();) {
      int sent = ::send(fSocket, aData.data() + at, static_cast<int>(aData.size() - at), 0);
      if (sent <= 0)
        return;
      at += static_cast<size_t>(sent);
    }
  }
  void EndSending() { ::shutdown(fSocket, SD_SEND); }
  // Everything until the server closes (or 5 s pass).
  std::string ReadAll() {
    std::string reply;
    char buffer[4096];
    int got;
    while ((got = ::recv(fSocket, buffer, sizeof buffer, 0)) > 0)
      reply.append(buffer, static_cast<size_t>(got));
    return reply;
  }

private:
  SOCKET fSocket;
};

// An answer to a malformed request is an HTTP error, or no answer at all.
void ExpectRefusedOrClosed(const std::string &aReply, const std::string &aCase) {
  if (aReply.empty())
    return;
  EXPECT_EQ(0u, aReply.rfind("HTTP/1.1 4", 0)) << aCase << ": " << aReply.substr(0, 40);
}

class UpdateServerRobustness : public testing::Test {
protected:
  UpdateServerRobustness() {
    TServerSetup setup;
    setup.Version = L"1.0";
    setup.Folder = UpdateTest::BuiltProgram(L"");
    setup.File = L"pagekeep-update-server.exe";
    setup.ClientTimeLimit = 3000;
    fServer = std::make_unique<TUpdateServerProcess>(setup);
  }

  bool AnswersACheck() {
    return THTTPDownloader::Download(fServer->BaseURL() + L"update.php?guid=x") == L"1.0";
  }

  TWinsockScope fWinsock;
  std::unique_ptr<TUpdateServerProcess> fServer;
};

TEST_F(UpdateServerRobustness, MalformedRequestsGetAnErrorOrAClosedConnection) {
  struct TCase {
    const char *Name;
    std::string Request;
  };
  const TCase cases[] = {
      {"Empty", "\r\n\r\n"},
      {"EmptyPath", "GET  HTTP/1.1\r\n\r\n"},
      {"NoVersion", "GET /update.data\r\n\r\n"},
      {"RelativePath", "GET update.data HTTP/1.1\r\n\r\n"},
      {"ControlInPath", std::string("GET /upd\x01te.data HTTP/1.1\r\n\r\n")},
      {"HugeHeader", "GET /update.data HTTP/1.1\r\nX: " + std::string(200000, 'a') + "\r\n\r\n"},
      {"HugeBody", "POST /update.php HTTP/1.1\r\nContent-Length: 99999999999\r\n\r\n"},
      {"HalfARequest", "POST /update.php?guid=x HTTP/1.1\r\nHost: 127"},
  };
  for (const TCase &c : cases) {
    TRawClient client(fServer->Port());
    client.Send(c.Request);
    client.EndSending();
    ExpectRefusedOrClosed(client.ReadAll(), c.Name);
  }
  EXPECT_TRUE(AnswersACheck());
}

// Random bytes, with and without an end of head, from a fixed seed so that a
// failure can be replayed; bounded and on loopback only.
TEST_F(UpdateServerRobustness, SurvivesRandomJunk) {
  std::mt19937 random(20261210);
  std::uniform_int_distribution<int> length(1, 2048), byte(0, 255);
  for (int round = 0; round < 150; ++round) {
    std::string junk(static_cast<size_t>(length(random)), '\0');
    for (char &c : junk)
      c = static_cast<char>(byte(random));
    if (round % 2 == 0)
      junk += "\r\n\r\n";
    TRawClient client(fServer->Port());
    client.Send(junk);
    client.EndSending();
    ExpectRefusedOrClosed(client.ReadAll(), "round " + std::to_string(round));
  }
  EXPECT_TRUE(AnswersACheck());
}

// Clients that hold their connection (one never reads its download, one
// never finishes its request) do not keep others waiting, and are let go
// within the client time limit.
TEST_F(UpdateServerRobustness, ServesOthersWhileClientsHoldTheirConnections) {
  TRawClient neverReads(fServer->Port());
  neverReads.Send("GET /update.data HTTP/1.1\r\nHost: x\r\n\r\n");
  TRawClient neverFinishes(fServer->Port());
  neverFinishes.Send("POST /update.php?guid=x HTTP/1.1\r\n");
  ::Sleep(200);

  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(AnswersACheck());
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);

  const auto held = std::chrono::steady_clock::now();
  neverFinishes.ReadAll();
  EXPECT_LT(std::chrono::steady_clock::now() - held, 4500ms) << "the 3 s client time limit";
  EXPECT_TRUE(AnswersACheck());
}

} // namespace

namespace {

// A served folder other than "/FOLDER/" of plain characters is refused at
// start (exit code 2), never compared with request targets.
class UpdateServerPathOption : public testing::TestWithParam<const wchar_t *> {};

TEST_P(UpdateServerPathOption, IsRefusedUnlessAFolderBetweenSlashes) {
  Harness::TProcess server(Harness::BesideThisExe(L"pagekeep-update-server.exe"),
                           L"--version 1.1 --port 0 --quiet --path " + QuotedArgument(GetParam()));
  const auto code = server.WaitForExit(10s);
  ASSERT_TRUE(code.has_value()) << "the server did not refuse the option";
  EXPECT_EQ(2u, *code);
}

INSTANTIATE_TEST_SUITE_P(BadPaths, UpdateServerPathOption,
                         testing::Values(L"", L"x64/", L"/x64", L"/x 64/", L"/x64?/"),
                         [](const auto &aInfo) { return "Case" + std::to_string(aInfo.index); });

} // namespace
