#include "UpdateServer.Http.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace UpdateServer {

namespace {

using TBytes = std::vector<char>;

class TSocket {
public:
  TSocket() noexcept = default;
  explicit TSocket(SOCKET aSocket) noexcept : fSocket(aSocket) {}
  TSocket(const TSocket &) = delete;
  TSocket &operator=(const TSocket &) = delete;
  ~TSocket() {
    if (fSocket != INVALID_SOCKET)
      ::closesocket(fSocket);
  }
  SOCKET Get() const noexcept { return fSocket; }
  explicit operator bool() const noexcept { return fSocket != INVALID_SOCKET; }

private:
  SOCKET fSocket = INVALID_SOCKET;
};

class TWinsock {
public:
  TWinsock() {
    WSADATA data;
    fStarted = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }
  TWinsock(const TWinsock &) = delete;
  TWinsock &operator=(const TWinsock &) = delete;
  ~TWinsock() {
    if (fStarted)
      ::WSACleanup();
  }
  bool Started() const noexcept { return fStarted; }

private:
  bool fStarted = false;
};

std::string Narrow(const std::wstring &aText, UINT aCodePage) {
  if (aText.empty())
    return {};
  int size = ::WideCharToMultiByte(aCodePage, 0, aText.data(), static_cast<int>(aText.size()),
                                   nullptr, 0, nullptr, nullptr);
  std::string result(static_cast<size_t>(std::max(size, 0)), '\0');
  ::WideCharToMultiByte(aCodePage, 0, aText.data(), static_cast<int>(aText.size()), result.data(),
                        size, nullptr, nullptr);
  return result;
}

std::optional<TBytes> ReadWholeFile(const std::wstring &aPath) {
  HANDLE file = ::CreateFileW(aPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return std::nullopt;
  TBytes data;
  char buffer[65536];
  DWORD read = 0;
  bool ok = true;
  while ((ok = ::ReadFile(file, buffer, sizeof buffer, &read, nullptr) != FALSE) && read > 0)
    data.insert(data.end(), buffer, buffer + read);
  ::CloseHandle(file);
  if (!ok)
    return std::nullopt;
  return data;
}

// One client's connection with its total time limit: every receive and
// send gets at most what is left, so a client that never reads or never
// finishes its request cannot hold its thread longer.
class TConnection {
public:
  TConnection(SOCKET aSocket, unsigned long aTimeLimit)
      : fSocket(aSocket),
        fEnd(std::chrono::steady_clock::now() + std::chrono::milliseconds(aTimeLimit)) {}

  SOCKET Get() const noexcept { return fSocket.Get(); }
  bool TimeLeft() const { return Left() > 0; }

  int Receive(char *aBuffer, int aSize) {
    if (!Arm(SO_RCVTIMEO))
      return -1;
    return ::recv(fSocket.Get(), aBuffer, aSize, 0);
  }
  bool SendAll(const char *aData, size_t aSize) {
    while (aSize > 0) {
      if (!Arm(SO_SNDTIMEO))
        return false;
      int sent = ::send(fSocket.Get(), aData, static_cast<int>(std::min<size_t>(aSize, 65536)), 0);
      if (sent <= 0)
        return false;
      aData += sent;
      aSize -= static_cast<size_t>(sent);
    }
    return true;
  }
  bool SendAll(const std::string &aText) { return SendAll(aText.data(), aText.size()); }
  // Waits up to aMilliseconds, less when the time limit comes first.
  bool Pause(DWORD aMilliseconds) {
    const long long left = Left();
    ::Sleep(static_cast<DWORD>(std::min<long long>(std::max<long long>(left, 0), aMilliseconds)));
    return TimeLeft();
  }

private:
  long long Left() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(fEnd -
                                                                 std::chrono::steady_clock::now())
        .count();
  }
  bool Arm(int aOption) {
    const long long left = Left();
    if (left <= 0)
      return false;
    DWORD timeout = static_cast<DWORD>(left);
    return ::setsockopt(fSocket.Get(), SOL_SOCKET, aOption,
                        reinterpret_cast<const char *>(&timeout), sizeof timeout) == 0;
  }

  TSocket fSocket;
  std::chrono::steady_clock::time_point fEnd;
};

struct TRequest {
  std::string Method;
  std::string Target;
};

constexpr size_t MaxHead = 65536;
constexpr size_t MaxBody = 65536;

std::optional<size_t> ContentLength(const std::string &aHead) {
  std::string lower = aHead;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
  size_t at = lower.find("\r\ncontent-length:");
  if (at == std::string::npos)
    return std::nullopt;
  return static_cast<size_t>(std::strtoull(lower.c_str() + at + 17, nullptr, 10));
}

bool IsToken(const std::string &aText) {
  return !aText.empty() &&
         std::all_of(aText.begin(), aText.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
}

bool IsTarget(const std::string &aText) {
  return !aText.empty() && aText[0] == '/' &&
         std::all_of(aText.begin(), aText.end(), [](char c) { return c > ' ' && c < 0x7F; });
}

// What reading a request came to: a request, or the status to refuse it
// with (nothing to send when the client went away or ran out of time).
struct TReadResult {
  std::optional<TRequest> Request;
  const char *Refusal = nullptr;
};

// Reads the request head and any announced body, within the caps.
TReadResult ReadRequest(TConnection &aConnection) {
  std::string data;
  char buffer[4096];
  size_t headEnd;
  while ((headEnd = data.find("\r\n\r\n")) == std::string::npos) {
    if (data.size() > MaxHead)
      return {std::nullopt, "431 Request Header Fields Too Large"};
    int got = aConnection.Receive(buffer, sizeof buffer);
    if (got <= 0)
      return {};
    data.append(buffer, static_cast<size_t>(got));
  }
  const std::string head = data.substr(0, headEnd + 2);
  const std::string line = head.substr(0, head.find("\r\n"));
  const size_t firstSpace = line.find(' ');
  const size_t lastSpace = line.rfind(' ');
  if (firstSpace == std::string::npos || lastSpace <= firstSpace)
    return {std::nullopt, "400 Bad Request"};
  TRequest request{line.substr(0, firstSpace),
                   line.substr(firstSpace + 1, lastSpace - firstSpace - 1)};
  if (!IsToken(request.Method) || !IsTarget(request.Target) ||
      line.compare(lastSpace + 1, 5, "HTTP/") != 0)
    return {std::nullopt, "400 Bad Request"};
  size_t bodyHave = data.size() - headEnd - 4;
  const size_t bodyWant = ContentLength(head).value_or(0);
  if (bodyWant > MaxBody)
    return {std::nullopt, "413 Content Too Large"};
  while (bodyHave < bodyWant) {
    int got = aConnection.Receive(buffer, sizeof buffer);
    if (got <= 0)
      return {};
    bodyHave += static_cast<size_t>(got);
  }
  return {request, nullptr};
}

std::string Head(const char *aStatus, const std::string &aContentType,
                 std::optional<size_t> aLength, const std::string &aExtra = {}) {
  std::string head = std::string("HTTP/1.1 ") + aStatus + "\r\nServer: pagekeep-update-server\r\n";
  if (!aContentType.empty())
    head += "Content-Type: " + aContentType + "\r\n";
  if (aLength)
    head += "Content-Length: " + std::to_string(*aLength) + "\r\n";
  return head + aExtra + "Connection: close\r\n\r\n";
}

void SendSimple(TConnection &aConnection, const char *aStatus, const std::string &aBody,
                const std::string &aExtra = {}) {
  aConnection.SendAll(Head(aStatus, "text/plain; charset=utf-8", aBody.size(), aExtra) + aBody);
}

// Closing with a zero linger time sends a reset instead of a graceful end.
void ResetConnection(SOCKET aSocket) {
  linger hard{1, 0};
  ::setsockopt(aSocket, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char *>(&hard), sizeof hard);
}

void FinishGracefully(TConnection &aConnection) {
  ::shutdown(aConnection.Get(), SD_SEND);
  char buffer[256];
  while (aConnection.Receive(buffer, sizeof buffer) > 0) {
  }
}

// What the server publishes, read once at start.
struct TRelease {
  std::optional<TBytes> Data;
  std::optional<TBytes> Signature;
};

class TServer {
public:
  TServer(const TOptions &aOptions, TRelease aRelease)
      : fOptions(aOptions), fRelease(std::move(aRelease)) {}

  void Handle(TConnection &aConnection, const TRequest &aRequest) {
    const std::string target = aRequest.Target.substr(0, aRequest.Target.find('?'));
    const std::string path = RelativePath(target);
    if (fOptions.Mode == TMode::smSilent)
      return WaitForClientToGiveUp(aConnection);
    if (fOptions.Mode == TMode::smNotFound)
      return SendSimple(aConnection, "404 Not Found", "not found");
    if (fOptions.Mode == TMode::smRedirect)
      return SendSimple(aConnection, "302 Found", "moved",
                        "Location: /moved/" + target.substr(1) + "\r\n");
    if (path == "/update.php")
      return aRequest.Method == "POST"
                 ? SendVersion(aConnection)
                 : SendSimple(aConnection, "405 Method Not Allowed", "POST only");
    if (path == "/update.data" || path == "/update.sig") {
      if (aRequest.Method != "GET")
        return SendSimple(aConnection, "405 Method Not Allowed", "GET only");
      return path == "/update.data" ? SendData(aConnection) : SendSignature(aConnection);
    }
    SendSimple(aConnection, "404 Not Found", "not found");
  }

  // The path below the served folder ("/update.php"), or "" outside it.
  std::string RelativePath(const std::string &aPath) const {
    if (aPath.rfind(fOptions.Path, 0) != 0)
      return std::string();
    std::string relative(1, '/');
    return relative.append(aPath, fOptions.Path.size());
  }

private:
  void SendVersion(TConnection &aConnection) {
    bool latin1 = fOptions.Charset == L"iso-8859-1";
    std::string body = Narrow(fOptions.Version, latin1 ? 28591 : CP_UTF8);
    const std::string type = "text/plain; charset=" + Narrow(fOptions.Charset, CP_UTF8);
    if (SendEndlessly(aConnection, type, body.data(), body.size()))
      return;
    aConnection.SendAll(Head("200 OK", type, body.size()) + body);
  }

  void SendSignature(TConnection &aConnection) {
    if (!fRelease.Signature || fOptions.Mode == TMode::smNoSig)
      return SendSimple(aConnection, "404 Not Found", "no signature to serve");
    TBytes signature = *fRelease.Signature;
    if (fOptions.Mode == TMode::smBadSig && !signature.empty())
      signature[signature.size() / 2] ^= 0x01;
    if (SendEndlessly(aConnection, "application/octet-stream", signature.data(), signature.size()))
      return;
    aConnection.SendAll(Head("200 OK", "application/octet-stream", signature.size()));
    aConnection.SendAll(signature.data(), signature.size());
  }

  void SendData(TConnection &aConnection) {
    if (!fRelease.Data)
      return SendSimple(aConnection, "404 Not Found", "no file to serve");
    if (fOptions.Mode == TMode::smHtml) {
      std::string page = "<html><body><h1>Service unavailable</h1></body></html>";
      aConnection.SendAll(Head("200 OK", "text/html", page.size()) + page);
      return;
    }
    const TBytes &data = *fRelease.Data;
    if (SendEndlessly(aConnection, "application/octet-stream", data.data(), data.size()))
      return;
    bool partial = fOptions.Mode == TMode::smTruncated || fOptions.Mode == TMode::smCut;
    std::optional<size_t> length;
    if (fOptions.Mode != TMode::smNoLength)
      length = data.size();
    aConnection.SendAll(Head("200 OK", "application/octet-stream", length));
    aConnection.SendAll(data.data(), partial ? data.size() / 2 : data.size());
    if (fOptions.Mode == TMode::smCut)
      ResetConnection(aConnection.Get());
  }

  // The trickle and endless modes: the body, with no length announced, and
  // then more for as long as the client reads and time is left.
  bool SendEndlessly(TConnection &aConnection, const std::string &aType, const char *aBody,
                     size_t aSize) {
    if (fOptions.Mode != TMode::smTrickle && fOptions.Mode != TMode::smTrickleHead &&
        fOptions.Mode != TMode::smEndless)
      return false;
    const std::string head = Head("200 OK", aType, std::nullopt);
    if (fOptions.Mode == TMode::smTrickleHead) {
      for (char c : head)
        if (!aConnection.SendAll(&c, 1) || !aConnection.Pause(500))
          return true;
    } else if (!aConnection.SendAll(head)) {
      return true;
    }
    if (fOptions.Mode == TMode::smEndless) {
      const std::string junk(65536, '\n');
      if (aConnection.SendAll(aBody, aSize))
        while (aConnection.SendAll(junk)) {
        }
      return true;
    }
    for (size_t i = 0;; ++i)
      if (!aConnection.SendAll(i < aSize ? aBody + i : " ", 1) || !aConnection.Pause(500))
        return true;
  }

  // Holds the connection without answering until the client closes it.
  static void WaitForClientToGiveUp(TConnection &aConnection) {
    char buffer[256];
    while (aConnection.Receive(buffer, sizeof buffer) > 0) {
    }
  }

  const TOptions &fOptions;
  TRelease fRelease;
};

std::wstring WithSeparator(std::wstring aFolder) {
  if (!aFolder.empty() && aFolder.back() != L'\\' && aFolder.back() != L'/')
    aFolder += L'\\';
  return aFolder;
}

// Nothing when a file that must be there is not.
std::optional<TRelease> ReadRelease(const TOptions &aOptions, std::wstring &aMissing) {
  TRelease release;
  auto require = [&](const std::wstring &aPath) {
    auto bytes = ReadWholeFile(aPath);
    if (!bytes)
      aMissing = aPath;
    return bytes;
  };
  if (!aOptions.ReleaseFolder.empty()) {
    const std::wstring folder = WithSeparator(aOptions.ReleaseFolder);
    release.Data = require(folder + L"update.data");
    release.Signature = require(folder + L"update.sig");
    if (!release.Data || !release.Signature)
      return std::nullopt;
    return release;
  }
  if (!aOptions.Folder.empty()) {
    const std::wstring file = WithSeparator(aOptions.Folder) + aOptions.File;
    release.Data = require(file);
    if (!release.Data)
      return std::nullopt;
    if (aOptions.Signature.empty())
      release.Signature = ReadWholeFile(file + L".sig");
  }
  if (!aOptions.Signature.empty()) {
    release.Signature = require(aOptions.Signature);
    if (!release.Signature)
      return std::nullopt;
  }
  return release;
}

// Connections served at once; more are closed at once, so a flood of
// clients cannot make the server run out of threads.
constexpr int MaxClients = 64;

void ServeClient(TServer &aServer, const TOptions &aOptions, const TLogLine &aLog,
                 TConnection &aConnection) {
  TReadResult read = ReadRequest(aConnection);
  if (!read.Request) {
    if (read.Refusal) {
      aLog(std::string("REFUSED ") + read.Refusal);
      SendSimple(aConnection, read.Refusal, "bad request");
      FinishGracefully(aConnection);
    }
    return;
  }
  const TRequest &request = *read.Request;
  aLog(request.Method + " " + request.Target);
  if (aOptions.Delay > 0)
    aConnection.Pause(aOptions.Delay);
  aServer.Handle(aConnection, request);
  if (aOptions.Mode != TMode::smCut ||
      aServer.RelativePath(request.Target).rfind("/update.data", 0) != 0)
    FinishGracefully(aConnection);
}

} // namespace

int Serve(const TOptions &aOptions, const TLogLine &aLog) {
  std::wstring missing;
  auto release = ReadRelease(aOptions, missing);
  if (!release) {
    aLog("CANNOT READ " + Narrow(missing, CP_UTF8));
    return 4;
  }
  TWinsock winsock;
  if (!winsock.Started())
    return 3;
  TSocket listener(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
  if (!listener)
    return 3;
  // Only loopback: the server is for demonstrations and tests on this machine.
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = ::htons(aOptions.Port);
  address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
  if (::bind(listener.Get(), reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
      ::listen(listener.Get(), SOMAXCONN) != 0)
    return 3;
  int size = sizeof address;
  if (::getsockname(listener.Get(), reinterpret_cast<sockaddr *>(&address), &size) != 0)
    return 3;
  std::mutex logLock;
  const TLogLine log = [&](const std::string &aLine) {
    std::lock_guard lock(logLock);
    aLog(aLine);
  };
  log("LISTEN 127.0.0.1:" + std::to_string(::ntohs(address.sin_port)));

  TServer server(aOptions, std::move(*release));
  std::atomic<int> clients = 0;
  // The threads run until the process ends; each ends within its client's
  // time limit.
  for (;;) {
    SOCKET accepted = ::accept(listener.Get(), nullptr, nullptr);
    if (accepted == INVALID_SOCKET) {
      ::Sleep(10); // a failing accept must not spin
      continue;
    }
    auto connection = std::make_shared<TConnection>(accepted, aOptions.ClientTimeLimit);
    if (clients.load() >= MaxClients)
      continue;
    ++clients;
    try {
      std::thread([&server, &aOptions, &log, &clients, connection] {
        ServeClient(server, aOptions, log, *connection);
        --clients;
      }).detach();
    } catch (const std::system_error &) {
      --clients; // handled: no thread for this client, its connection closes
    }
  }
}

} // namespace UpdateServer
