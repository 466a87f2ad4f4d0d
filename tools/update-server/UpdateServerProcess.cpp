#include "update-server/UpdateServerProcess.h"

#include "shared/Text.h"

#include <stdexcept>

namespace UpdateServer {

namespace {

std::wstring TemporaryLogPath() {
  wchar_t folder[MAX_PATH + 1];
  CheckWin32(::GetTempPathW(MAX_PATH + 1, folder) != 0, "GetTempPathW");
  wchar_t path[MAX_PATH + 1];
  CheckWin32(::GetTempFileNameW(folder, L"pus", 0, path) != 0, "GetTempFileNameW");
  return path;
}

// The server reads "\n", "\r", "\t" and "\\" back into the characters.
std::wstring EscapeForServer(const std::wstring &aText) {
  std::wstring result;
  for (wchar_t c : aText) {
    switch (c) {
    case L'\\':
      result += L"\\\\";
      break;
    case L'\n':
      result += L"\\n";
      break;
    case L'\r':
      result += L"\\r";
      break;
    case L'\t':
      result += L"\\t";
      break;
    default:
      result += c;
    }
  }
  return result;
}

std::wstring CommandLineFor(const TServerSetup &aSetup, const std::wstring &aLogPath) {
  std::wstring line =
      L"--version " + QuotedArgument(EscapeForServer(aSetup.Version)) + L" --port " +
      std::to_wstring(aSetup.Port) + L" --mode " + QuotedArgument(aSetup.Mode) + L" --log " +
      QuotedArgument(aLogPath) + L" --parent " + std::to_wstring(::GetCurrentProcessId()) +
      L" --quiet --path " + QuotedArgument(std::wstring(aSetup.Path.begin(), aSetup.Path.end()));
  if (!aSetup.Folder.empty())
    line += L" --folder " + QuotedArgument(aSetup.Folder);
  if (!aSetup.File.empty())
    line += L" --file " + QuotedArgument(aSetup.File);
  if (!aSetup.Signature.empty())
    line += L" --signature " + QuotedArgument(aSetup.Signature);
  if (!aSetup.ReleaseFolder.empty())
    line += L" --release-folder " + QuotedArgument(aSetup.ReleaseFolder);
  if (aSetup.ClientTimeLimit > 0)
    line += L" --client-time-limit " + std::to_wstring(aSetup.ClientTimeLimit);
  if (aSetup.Delay > 0)
    line += L" --delay " + std::to_wstring(aSetup.Delay);
  if (!aSetup.Charset.empty())
    line += L" --charset " + QuotedArgument(aSetup.Charset);
  return line;
}

} // namespace

std::unique_ptr<TUpdateServerProcess> StartOnProgramPort(TServerSetup aSetup) {
  aSetup.Port = ProgramPort();
  aSetup.Path = ProgramPath();
  try {
    return std::make_unique<TUpdateServerProcess>(aSetup);
  } catch (const std::runtime_error &e) {
    // The server exits with 3 when it cannot listen on the port.
    if (std::string(e.what()).find("exit code 3") == std::string::npos)
      throw;
    return nullptr;
  }
}

unsigned short ProgramPort() {
  const std::string url = PAGEKEEP_DEFAULT_UPDATE_URL;
  for (const char *host : {"http://127.0.0.1", "http://localhost"}) {
    const std::string prefix = host;
    if (url.rfind(prefix, 0) != 0)
      continue;
    if (url[prefix.size()] == '/')
      return 80;
    if (url[prefix.size()] == ':')
      return static_cast<unsigned short>(std::stoul(url.substr(prefix.size() + 1)));
  }
  throw std::runtime_error("the build's update URL is not on loopback: " + url);
}

std::string ProgramPath() {
  const std::string url = PAGEKEEP_DEFAULT_UPDATE_URL;
  ProgramPort();
  const size_t hostEnd = url.find('/', std::string("http://").size());
  return url.substr(hostEnd);
}

TUpdateServerProcess::TUpdateServerProcess(const TServerSetup &aSetup)
    : fLogPath(TemporaryLogPath()), fPath(aSetup.Path),
      fProcess(Harness::BesideThisExe(L"pagekeep-update-server.exe"),
               CommandLineFor(aSetup, fLogPath)) {
  std::string listen;
  bool ready = Harness::WaitUntil(
      [&] {
        auto lines = LogLines();
        if (!lines.empty())
          listen = lines.front();
        return !listen.empty() || !fProcess.IsRunning();
      },
      std::chrono::seconds(15));
  const std::string prefix = "LISTEN 127.0.0.1:";
  if (!ready || listen.rfind(prefix, 0) != 0) {
    auto code = fProcess.WaitForExit(std::chrono::milliseconds(0));
    throw std::runtime_error("update server did not start" +
                             (code ? " (exit code " + std::to_string(*code) + ")" : std::string()));
  }
  fPort = static_cast<unsigned short>(std::stoul(listen.substr(prefix.size())));
}

TUpdateServerProcess::~TUpdateServerProcess() {
  fProcess.Terminate();
  ::DeleteFileW(fLogPath.c_str());
}

std::wstring TUpdateServerProcess::BaseURL() const {
  return L"http://127.0.0.1:" + std::to_wstring(fPort) + std::wstring(fPath.begin(), fPath.end());
}

std::vector<std::string> TUpdateServerProcess::Requests() const {
  auto lines = LogLines();
  if (!lines.empty())
    lines.erase(lines.begin());
  for (std::string &line : lines) {
    const size_t space = line.find(' ');
    if (space != std::string::npos && line.compare(space + 1, fPath.size(), fPath) == 0)
      line = line.substr(0, space + 1) + '/' + line.substr(space + 1 + fPath.size());
  }
  return lines;
}

std::vector<std::string> TUpdateServerProcess::LogLines() const {
  TFileHandle file(::CreateFileW(fLogPath.c_str(), GENERIC_READ,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  CheckWin32(static_cast<bool>(file), "CreateFileW (update server log)");
  std::string text;
  char buffer[4096];
  DWORD read = 0;
  while (::ReadFile(file.Get(), buffer, sizeof buffer, &read, nullptr) && read > 0)
    text.append(buffer, read);
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    lines.push_back(text.substr(start, end - start));
  return lines;
}

} // namespace UpdateServer
