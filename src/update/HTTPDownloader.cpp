// WinHTTP lives in this file alone: mingw's winhttp.h and wininet.h clash.
#include "update/HTTPDownloader.h"

#include "shared/Trace.h"

#include "shared/Handles.h"

#include <winhttp.h>

#include <algorithm>
#include <array>
#include <cwctype>
#include <optional>
#include <stdexcept>

namespace {

struct TWinHttpCloser {
  void operator()(HINTERNET aHandle) const noexcept { ::WinHttpCloseHandle(aHandle); }
};
using TWinHttpHandle = TUniqueHandle<TNullHandleTraits<HINTERNET, TWinHttpCloser>>;

constexpr int TextTimeoutMs = 1000;
constexpr DWORD DownloadResponseTimeoutMs = 30000;

struct TRequest {
  TWinHttpHandle Session;
  TWinHttpHandle Connection;
  TWinHttpHandle Request;
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
TRequest Send(const std::wstring &aURL, const wchar_t *aVerb, const wchar_t *aHeaders,
              bool aShortTimeouts) {
  const TURLParts url = SplitURL(aURL);
  TRequest request;
  request.Session.Reset(::WinHttpOpen(L"Pagekeep/1.0", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                      WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
  CheckWin32(static_cast<bool>(request.Session), "WinHttpOpen");
  // Name resolution is bounded too, so an unreachable host cannot hold
  // start-up much longer than the connect time-out.
  if (aShortTimeouts)
    CheckWin32(::WinHttpSetTimeouts(request.Session.Get(), TextTimeoutMs, TextTimeoutMs,
                                    TextTimeoutMs, TextTimeoutMs),
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
  // The wait for the reply's head has a time-out of its own (90 s on
  // Windows) that WinHttpSetTimeouts does not shorten under Wine; the
  // download gets the client's usual 30 s receive time-out there.
  DWORD responseTimeout = aShortTimeouts ? TextTimeoutMs : DownloadResponseTimeoutMs;
  CheckWin32(::WinHttpSetOption(request.Request.Get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT,
                                &responseTimeout, sizeof(responseTimeout)),
             "WinHttpSetOption (response time-out)");
  DWORD disable = WINHTTP_DISABLE_REDIRECTS;
  CheckWin32(::WinHttpSetOption(request.Request.Get(), WINHTTP_OPTION_DISABLE_FEATURE, &disable,
                                sizeof(disable)),
             "WinHttpSetOption (redirects)");
  CheckWin32(::WinHttpSendRequest(request.Request.Get(), aHeaders,
                                  aHeaders ? static_cast<DWORD>(-1L) : 0, WINHTTP_NO_REQUEST_DATA,
                                  0, 0, 0),
             "WinHttpSendRequest");
  CheckWin32(::WinHttpReceiveResponse(request.Request.Get(), nullptr), "WinHttpReceiveResponse");
  return request;
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

// Reads the body in the pieces the connection delivers. Throws when the
// connection fails or ends before the announced length.
template <class TOnData>
void ReadBody(HINTERNET aRequest, std::optional<std::int64_t> aLength, TOnData aOnData) {
  std::array<char, 16384> buffer;
  std::int64_t total = 0;
  for (;;) {
    DWORD read = 0;
    CheckWin32(::WinHttpReadData(aRequest, buffer.data(), static_cast<DWORD>(buffer.size()), &read),
               "WinHttpReadData");
    if (read == 0)
      break;
    total += read;
    aOnData(buffer.data(), read, total);
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
    TRequest request =
        Send(aURL, L"POST", L"Content-Type: application/x-www-form-urlencoded\r\n", true);
    CheckSuccessStatus(request.Request.Get());
    std::string body;
    ReadBody(request.Request.Get(), AnnouncedLength(request.Request.Get()),
             [&](const char *aData, DWORD aCount, std::int64_t) { body.append(aData, aCount); });
    auto contentType = QueryHeader(request.Request.Get(), WINHTTP_QUERY_CONTENT_TYPE);
    return Decode(body, CodePageOf(CharsetOf(contentType.value_or(L""))));
  } catch (...) {
    TraceDroppedError();
    return {};
  }
}

bool THTTPDownloader::Download(const std::wstring &aURL, TDownloadStream &aTargetStream,
                               const TProgressEvent &aProgressEvent) {
  THTTPDownloader downloader(aURL, aProgressEvent);
  return downloader.InternalDownload(aURL, aTargetStream);
}

THTTPDownloader::THTTPDownloader(const std::wstring &aURL, const TProgressEvent &aProgressEvent)
    : fProgress(aURL, aProgressEvent) {}

// The client's default time-outs apply here: the download may be large.
bool THTTPDownloader::InternalDownload(const std::wstring &aURL, TDownloadStream &aTargetStream) {
  try {
    TRequest request = Send(aURL, L"GET", nullptr, false);
    CheckSuccessStatus(request.Request.Get());
    auto length = AnnouncedLength(request.Request.Get());
    fProgress.HTTPWorkBegin(TWorkMode::wmRead, length.value_or(0));
    ReadBody(request.Request.Get(), length,
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
