// WinHTTP lives in this file alone: mingw's winhttp.h and wininet.h clash.
#include "update/HTTPDownloader.h"

#include "Pagekeep.Version.h"
#include "shared/Trace.h"

#include "shared/Handles.h"

#include <winhttp.h>

#include <algorithm>
#include <array>
#include <condition_variable>
#include <cwctype>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <thread>

namespace {

struct TWinHttpCloser {
  void operator()(HINTERNET aHandle) const noexcept { ::WinHttpCloseHandle(aHandle); }
};
using TWinHttpHandle = TUniqueHandle<TNullHandleTraits<HINTERNET, TWinHttpCloser>>;

constexpr DWORD TextTimeoutMs = 1000;
constexpr DWORD DownloadResponseTimeoutMs = 30000;
constexpr DWORD DownloadConnectTimeoutMs = 60000;

// The end of a request's total time. Every blocking WinHTTP call gets at
// most what is left, so a server that trickles cannot stretch the whole.
class TDeadline {
public:
  explicit TDeadline(std::chrono::milliseconds aTotal)
      : fEnd(std::chrono::steady_clock::now() + aTotal) {}
  std::chrono::steady_clock::time_point End() const noexcept { return fEnd; }
  // Milliseconds left, at most aCap; throws once the time is up.
  DWORD Left(DWORD aCap) const {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          fEnd - std::chrono::steady_clock::now())
                          .count();
    if (left <= 0)
      throw std::runtime_error("the transfer took too long");
    return static_cast<DWORD>(std::min<long long>(left, aCap));
  }

private:
  std::chrono::steady_clock::time_point fEnd;
};

void SetReceiveTimeout(HINTERNET aRequest, DWORD aOption, DWORD aMilliseconds) {
  CheckWin32(::WinHttpSetOption(aRequest, aOption, &aMilliseconds, sizeof(aMilliseconds)),
             "WinHttpSetOption (time-out)");
}

// Ends a request at its deadline by closing its handle from another
// thread, the documented way to stop a synchronous WinHTTP call in progress:
// no time-out bounds a reply's head that trickles in under Wine. The
// handle is closed by exactly one owner: the watchdog when it fires, else
// the request's holder after the watchdog has stopped.
class TWatchdog {
public:
  TWatchdog(TWinHttpHandle &aRequest, std::chrono::steady_clock::time_point aEnd)
      : fRequest(aRequest), fThread([this, aEnd] { Watch(aEnd); }) {}
  TWatchdog(const TWatchdog &) = delete;
  TWatchdog &operator=(const TWatchdog &) = delete;
  ~TWatchdog() {
    {
      std::lock_guard lock(fLock);
      fDone = true;
    }
    fWake.notify_one();
    fThread.join();
  }

private:
  void Watch(std::chrono::steady_clock::time_point aEnd) {
    std::unique_lock lock(fLock);
    if (fWake.wait_until(lock, aEnd, [this] { return fDone; }))
      return;
    ::WinHttpCloseHandle(fRequest.Detach());
  }

  TWinHttpHandle &fRequest;
  std::mutex fLock;
  std::condition_variable fWake;
  bool fDone = false;
  std::thread fThread;
};

// Handle is the request's handle as the calling thread uses it; the
// watchdog may close it meanwhile, and every call on it then fails.
struct TRequest {
  TWinHttpHandle Session;
  TWinHttpHandle Connection;
  TWinHttpHandle Request;
  HINTERNET Handle = nullptr;
  std::unique_ptr<TWatchdog> Watchdog; // stopped before the handles close
};

struct TURLParts {
  std::wstring Host;
  INTERNET_PORT Port = 0;
  std::wstring PathAndQuery;
  bool Secure = false;
};

TURLParts SplitURL(const std::wstring &aURL) {
  URL_COMPONENTS parts{};
  parts.dwStructSize = sizeof(parts);
  parts.dwHostNameLength = static_cast<DWORD>(-1);
  parts.dwUrlPathLength = static_cast<DWORD>(-1);
  parts.dwExtraInfoLength = static_cast<DWORD>(-1);
  CheckWin32(::WinHttpCrackUrl(aURL.c_str(), static_cast<DWORD>(aURL.size()), 0, &parts),
             "WinHttpCrackUrl");
  TURLParts result;
  result.Host.assign(parts.lpszHostName, parts.dwHostNameLength);
  result.Port = parts.nPort;
  result.PathAndQuery.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
  if (parts.lpszExtraInfo)
    result.PathAndQuery.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
  if (result.PathAndQuery.empty())
    result.PathAndQuery = L"/";
  result.Secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
  return result;
}

// Sends the request and waits for the reply's head. Redirects are switched
// off, so a 3xx reply arrives here as it is and counts as a failure later.
// aRequest stays where the caller holds it: its watchdog refers to it.
void Send(TRequest &request, const std::wstring &aURL, const wchar_t *aVerb,
          const wchar_t *aHeaders, bool aShortTimeouts, const TDeadline &aDeadline) {
  const TURLParts url = SplitURL(aURL);
  request.Session.Reset(::WinHttpOpen((std::wstring(L"Pagekeep/") + PagekeepVersion).c_str(),
                                      WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                      WINHTTP_NO_PROXY_BYPASS, 0));
  CheckWin32(static_cast<bool>(request.Session), "WinHttpOpen");
  // Name resolution is bounded too, so an unreachable host cannot hold
  // start-up much longer than the connect time-out.
  const DWORD connectCap = aShortTimeouts ? TextTimeoutMs : DownloadConnectTimeoutMs;
  const DWORD receiveCap = aShortTimeouts ? TextTimeoutMs : DownloadResponseTimeoutMs;
  const int connect = static_cast<int>(aDeadline.Left(connectCap));
  CheckWin32(::WinHttpSetTimeouts(request.Session.Get(), connect, connect, connect,
                                  static_cast<int>(aDeadline.Left(receiveCap))),
             "WinHttpSetTimeouts");
  request.Connection.Reset(::WinHttpConnect(request.Session.Get(), url.Host.c_str(), url.Port, 0));
  CheckWin32(static_cast<bool>(request.Connection), "WinHttpConnect");
  // The URL is sent as the caller built it; WinHTTP would otherwise re-escape it.
  DWORD flags = WINHTTP_FLAG_ESCAPE_DISABLE | WINHTTP_FLAG_ESCAPE_DISABLE_QUERY |
                (url.Secure ? WINHTTP_FLAG_SECURE : 0);
  request.Request.Reset(::WinHttpOpenRequest(request.Connection.Get(), aVerb,
                                             url.PathAndQuery.c_str(), nullptr, WINHTTP_NO_REFERER,
                                             WINHTTP_DEFAULT_ACCEPT_TYPES, flags));
  CheckWin32(static_cast<bool>(request.Request), "WinHttpOpenRequest");
  request.Handle = request.Request.Get();
  request.Watchdog = std::make_unique<TWatchdog>(request.Request, aDeadline.End());
  // The wait for the reply's head has a time-out of its own (90 s on
  // Windows) that WinHttpSetTimeouts does not shorten under Wine; the
  // download gets the client's usual 30 s receive time-out there. On
  // Windows it bounds the whole head; Wine applies it to each receive.
  SetReceiveTimeout(request.Handle, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT,
                    aDeadline.Left(receiveCap));
  DWORD disable = WINHTTP_DISABLE_REDIRECTS;
  CheckWin32(
      ::WinHttpSetOption(request.Handle, WINHTTP_OPTION_DISABLE_FEATURE, &disable, sizeof(disable)),
      "WinHttpSetOption (redirects)");
  CheckWin32(::WinHttpSendRequest(request.Handle, aHeaders, aHeaders ? static_cast<DWORD>(-1L) : 0,
                                  WINHTTP_NO_REQUEST_DATA, 0, 0, 0),
             "WinHttpSendRequest");
  CheckWin32(::WinHttpReceiveResponse(request.Handle, nullptr), "WinHttpReceiveResponse");
  aDeadline.Left(receiveCap);
}

std::optional<std::wstring> QueryHeader(HINTERNET aRequest, DWORD aInfoLevel) {
  DWORD size = 0;
  ::WinHttpQueryHeaders(aRequest, aInfoLevel, WINHTTP_HEADER_NAME_BY_INDEX,
                        WINHTTP_NO_OUTPUT_BUFFER, &size, WINHTTP_NO_HEADER_INDEX);
  if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER)
    return std::nullopt;
  std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
  size = static_cast<DWORD>(value.size() * sizeof(wchar_t));
  if (!::WinHttpQueryHeaders(aRequest, aInfoLevel, WINHTTP_HEADER_NAME_BY_INDEX, value.data(),
                             &size, WINHTTP_NO_HEADER_INDEX))
    return std::nullopt;
  value.resize(size / sizeof(wchar_t));
  return value;
}

void CheckSuccessStatus(HINTERNET aRequest) {
  DWORD status = 0;
  DWORD size = sizeof(status);
  CheckWin32(::WinHttpQueryHeaders(aRequest, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                                   WINHTTP_HEADER_NAME_BY_INDEX, &status, &size,
                                   WINHTTP_NO_HEADER_INDEX),
             "WinHttpQueryHeaders (status)");
  if (status < 200 || status > 299)
    throw std::runtime_error("HTTP status " + std::to_string(status));
}

std::optional<std::int64_t> AnnouncedLength(HINTERNET aRequest) {
  auto text = QueryHeader(aRequest, WINHTTP_QUERY_CONTENT_LENGTH);
  if (!text || text->empty() || text->size() > 18 ||
      !std::all_of(text->begin(), text->end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; }))
    return std::nullopt;
  return std::stoll(*text);
}

// Reads the body in the pieces the connection delivers, each receive given
// no more than the time left. Throws when the connection fails or ends
// before the announced length, when the body passes aMaxBytes (announced or
// sent) and when the time is up.
template <class TOnData>
void ReadBody(HINTERNET aRequest, std::optional<std::int64_t> aLength, const TDeadline &aDeadline,
              DWORD aReceiveCap, std::uint64_t aMaxBytes, TOnData aOnData) {
  if (aLength && static_cast<std::uint64_t>(*aLength) > aMaxBytes)
    throw std::runtime_error("reply body larger than allowed");
  std::array<char, 16384> buffer;
  std::int64_t total = 0;
  for (;;) {
    SetReceiveTimeout(aRequest, WINHTTP_OPTION_RECEIVE_TIMEOUT, aDeadline.Left(aReceiveCap));
    // Asking only for what has arrived: Wine's read of a body without a
    // length waits until the whole buffer is full, however slowly it comes.
    DWORD available = 0;
    CheckWin32(::WinHttpQueryDataAvailable(aRequest, &available), "WinHttpQueryDataAvailable");
    if (available == 0)
      break;
    DWORD read = 0;
    CheckWin32(::WinHttpReadData(aRequest, buffer.data(),
                                 std::min(available, static_cast<DWORD>(buffer.size())), &read),
               "WinHttpReadData");
    if (read == 0)
      break;
    total += read;
    if (static_cast<std::uint64_t>(total) > aMaxBytes)
      throw std::runtime_error("reply body larger than allowed");
    aOnData(buffer.data(), read, total);
    aDeadline.Left(aReceiveCap);
  }
  if (aLength && total != *aLength)
    throw std::runtime_error("reply body shorter than announced");
}

std::wstring Lower(std::wstring aText) {
  std::transform(aText.begin(), aText.end(), aText.begin(),
                 [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
  return aText;
}

// The charset parameter of a Content-Type value, lower-case, unquoted.
std::wstring CharsetOf(const std::wstring &aContentType) {
  std::wstring lower = Lower(aContentType);
  size_t at = lower.find(L"charset=");
  if (at == std::wstring::npos)
    return {};
  std::wstring charset = lower.substr(at + 8);
  charset = charset.substr(0, charset.find_first_of(L"; \t"));
  charset.erase(std::remove(charset.begin(), charset.end(), L'"'), charset.end());
  return charset;
}

// UTF-8 when the reply declares no charset or one we do not know.
UINT CodePageOf(const std::wstring &aCharset) {
  static const std::pair<const wchar_t *, UINT> known[] = {
      {L"utf-8", CP_UTF8},     {L"utf8", CP_UTF8},      {L"us-ascii", 20127},
      {L"iso-8859-1", 28591},  {L"latin1", 28591},      {L"iso-8859-2", 28592},
      {L"iso-8859-15", 28605}, {L"windows-1250", 1250}, {L"windows-1251", 1251},
      {L"windows-1252", 1252}, {L"koi8-r", 20866},      {L"utf-16le", 1200},
      {L"utf-16", 1200},
  };
  for (const auto &[name, codePage] : known)
    if (aCharset == name)
      return codePage;
  return CP_UTF8;
}

std::wstring Decode(const std::string &aBody, UINT aCodePage) {
  if (aBody.empty())
    return {};
  if (aCodePage == 1200)
    return std::wstring(reinterpret_cast<const wchar_t *>(aBody.data()),
                        aBody.size() / sizeof(wchar_t));
  int size =
      ::MultiByteToWideChar(aCodePage, 0, aBody.data(), static_cast<int>(aBody.size()), nullptr, 0);
  CheckWin32(size > 0, "MultiByteToWideChar");
  std::wstring text(static_cast<size_t>(size), L'\0');
  ::MultiByteToWideChar(aCodePage, 0, aBody.data(), static_cast<int>(aBody.size()), text.data(),
                        size);
  return text;
}

} // namespace

std::wstring THTTPDownloader::Download(const std::wstring &aURL) {
  try {
    const TDeadline deadline(CheckLimits.TotalTime);
    TRequest request;
    Send(request, aURL, L"POST", L"Content-Type: application/x-www-form-urlencoded\r\n", true,
         deadline);
    CheckSuccessStatus(request.Handle);
    std::string body;
    ReadBody(request.Handle, AnnouncedLength(request.Handle), deadline, TextTimeoutMs,
             CheckLimits.MaxBytes,
             [&](const char *aData, DWORD aCount, std::int64_t) { body.append(aData, aCount); });
    auto contentType = QueryHeader(request.Handle, WINHTTP_QUERY_CONTENT_TYPE);
    return Decode(body, CodePageOf(CharsetOf(contentType.value_or(L""))));
  } catch (...) {
    TraceDroppedError();
    return {};
  }
}

bool THTTPDownloader::Download(const std::wstring &aURL, TDownloadStream &aTargetStream,
                               const TProgressEvent &aProgressEvent,
                               const TTransferLimits &aLimits) {
  THTTPDownloader downloader(aURL, aProgressEvent);
  return downloader.InternalDownload(aURL, aTargetStream, aLimits);
}

THTTPDownloader::THTTPDownloader(const std::wstring &aURL, const TProgressEvent &aProgressEvent)
    : fProgress(aURL, aProgressEvent) {}

// The client's usual time-outs apply to each step here, the download may be
// large; aLimits bound the whole.
bool THTTPDownloader::InternalDownload(const std::wstring &aURL, TDownloadStream &aTargetStream,
                                       const TTransferLimits &aLimits) {
  try {
    const TDeadline deadline(aLimits.TotalTime);
    TRequest request;
    Send(request, aURL, L"GET", nullptr, false, deadline);
    CheckSuccessStatus(request.Handle);
    auto length = AnnouncedLength(request.Handle);
    fProgress.HTTPWorkBegin(TWorkMode::wmRead, length.value_or(0));
    ReadBody(request.Handle, length, deadline, DownloadResponseTimeoutMs, aLimits.MaxBytes,
             [&](const char *aData, DWORD aCount, std::int64_t aTotal) {
               aTargetStream.Write(aData, aCount);
               fProgress.HTTPWork(TWorkMode::wmRead, aTotal);
             });
    return true;
  } catch (...) {
    TraceDroppedError();
    return false;
  }
}
