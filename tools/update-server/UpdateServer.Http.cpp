#include "UpdateServer.Http.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
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

bool SendAll(SOCKET aSocket, const char *aData, size_t aSize) {
  while (aSize > 0) {
    int sent = ::send(aSocket, aData, static_cast<int>(std::min<size_t>(aSize, 65536)), 0);
    if (sent <= 0)
      return false;
    aData += sent;
    aSize -= static_cast<size_t>(sent);
  }
  return true;
}

struct TRequest {
  std::string Method;
  std::string Target;
};

std::optional<size_t> ContentLength(const std::string &aHead) {
  std::string lower = aHead;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
  size_t at = lower.find("\r\ncontent-length:");
  if (at == std::string::npos)
    return std::nullopt;
  return static_cast<size_t>(std::strtoul(lower.c_str() + at + 17, nullptr, 10));
}

// Reads the request head and any announced body. Nothing when the client
// closed or sent garbage.
std::optional<TRequest> ReadRequest(SOCKET aSocket) {
  std::string data;
  char buffer[4096];
  size_t headEnd;
  while ((headEnd = data.find("\r\n\r\n")) == std::string::npos) {
    if (data.size() > 65536)
      return std::nullopt;
    int got = ::recv(aSocket, buffer, sizeof buffer, 0);
    if (got <= 0)
      return std::nullopt;
    data.append(buffer, static_cast<size_t>(got));
  }
  const std::string head = data.substr(0, headEnd + 2);
  size_t bodyHave = data.size() - headEnd - 4;
  size_t bodyWant = ContentLength(head).value_or(0);
  while (bodyHave < bodyWant) {
    int got = ::recv(aSocket, buffer, sizeof buffer, 0);
    if (got <= 0)
      return std::nullopt;
    bodyHave += static_cast<size_t>(got);
  }
  size_t lineEnd = head.find("\r\n");
  std::string line = head.substr(0, lineEnd);
  size_t firstSpace = line.find(' ');
  size_t lastSpace = line.rfind(' ');
  if (firstSpace == std::string::npos || lastSpace <= firstSpace)
    return std::nullopt;
  return TRequest{line.substr(0, firstSpace),
                  line.substr(firstSpace + 1, lastSpace - firstSpace - 1)};
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

void SendSimple(SOCKET aSocket, const char *aStatus, const std::string &aBody,
                const std::string &aExtra = {}) {
  std::string reply = Head(aStatus, "text/plain; charset=utf-8", aBody.size(), aExtra) + aBody;
  SendAll(aSocket, reply.data(), reply.size());
}

// Closing with a zero linger time sends a reset instead of a graceful end.
void ResetConnection(SOCKET aSocket) {
  linger hard{1, 0};
  ::setsockopt(aSocket, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char *>(&hard), sizeof hard);
}

class TServer {
public:
  TServer(const TOptions &aOptions, std::optional<TBytes> aData)
      : fOptions(aOptions), fData(std::move(aData)) {}

  void Handle(SOCKET aSocket, const TRequest &aRequest) {
    std::string path = aRequest.Target.substr(0, aRequest.Target.find('?'));
    if (fOptions.Mode == TMode::smSilent)
      return WaitForClientToGiveUp(aSocket);
    if (fOptions.Mode == TMode::smNotFound)
      return SendSimple(aSocket, "404 Not Found", "not found");
    if (fOptions.Mode == TMode::smRedirect)
      return SendSimple(aSocket, "302 Found", "moved",
                        "Location: /moved/" + path.substr(1) + "\r\n");
    if (path == "/update.php")
      return aRequest.Method == "POST" ? SendVersion(aSocket)
                                       : SendSimple(aSocket, "405 Method Not Allowed", "POST only");
    if (path == "/update.data")
      return aRequest.Method == "GET" ? SendData(aSocket)
                                      : SendSimple(aSocket, "405 Method Not Allowed", "GET only");
    SendSimple(aSocket, "404 Not Found", "not found");
  }

private:
  void SendVersion(SOCKET aSocket) {
    bool latin1 = fOptions.Charset == L"iso-8859-1";
    std::string body = Narrow(fOptions.Version, latin1 ? 28591 : CP_UTF8);
    std::string reply =
        Head("200 OK", "text/plain; charset=" + Narrow(fOptions.Charset, CP_UTF8), body.size()) +
        body;
    SendAll(aSocket, reply.data(), reply.size());
  }

  void SendData(SOCKET aSocket) {
    if (!fData)
      return SendSimple(aSocket, "404 Not Found", "no file to serve");
    if (fOptions.Mode == TMode::smHtml) {
      std::string page = "<html><body><h1>Service unavailable</h1></body></html>";
      std::string reply = Head("200 OK", "text/html", page.size()) + page;
      SendAll(aSocket, reply.data(), reply.size());
      return;
    }
    const TBytes &data = *fData;
    bool partial = fOptions.Mode == TMode::smTruncated || fOptions.Mode == TMode::smCut;
    std::optional<size_t> length;
    if (fOptions.Mode != TMode::smNoLength)
      length = data.size();
    std::string head = Head("200 OK", "application/octet-stream", length);
    SendAll(aSocket, head.data(), head.size());
    SendAll(aSocket, data.data(), partial ? data.size() / 2 : data.size());
    if (fOptions.Mode == TMode::smCut)
      ResetConnection(aSocket);
  }

  // Holds the connection without answering until the client closes it.
  static void WaitForClientToGiveUp(SOCKET aSocket) {
    char buffer[256];
    while (::recv(aSocket, buffer, sizeof buffer, 0) > 0) {
    }
  }

  const TOptions &fOptions;
  std::optional<TBytes> fData;
};

void FinishGracefully(SOCKET aSocket) {
  ::shutdown(aSocket, SD_SEND);
  char buffer[256];
  while (::recv(aSocket, buffer, sizeof buffer, 0) > 0) {
  }
}

} // namespace

int Serve(const TOptions &aOptions, const TLogLine &aLog) {
  std::optional<TBytes> data;
  if (!aOptions.Folder.empty()) {
    std::wstring folder = aOptions.Folder;
    if (folder.back() != L'\\' && folder.back() != L'/')
      folder += L'\\';
    data = ReadWholeFile(folder + aOptions.File);
    if (!data)
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
  aLog("LISTEN 127.0.0.1:" + std::to_string(::ntohs(address.sin_port)));

  TServer server(aOptions, std::move(data));
  for (;;) {
    TSocket client(::accept(listener.Get(), nullptr, nullptr));
    if (!client)
      continue;
    DWORD timeout = 10000;
    ::setsockopt(client.Get(), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char *>(&timeout),
                 sizeof timeout);
    auto request = ReadRequest(client.Get());
    if (!request)
      continue;
    aLog(request->Method + " " + request->Target);
    if (aOptions.Delay > 0)
      ::Sleep(aOptions.Delay);
    server.Handle(client.Get(), *request);
    if (aOptions.Mode != TMode::smCut || request->Target.rfind("/update.data", 0) != 0)
      FinishGracefully(client.Get());
  }
}

} // namespace UpdateServer
