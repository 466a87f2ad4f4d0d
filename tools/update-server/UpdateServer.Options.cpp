#include "UpdateServer.Options.h"

#include <cwchar>
#include <map>

namespace UpdateServer {

namespace {

const std::map<std::wstring, TMode> &ModeNames() {
  static const std::map<std::wstring, TMode> names = {
      {L"normal", TMode::smNormal},
      {L"html", TMode::smHtml},
      {L"truncated", TMode::smTruncated},
      {L"cut", TMode::smCut},
      {L"nolength", TMode::smNoLength},
      {L"redirect", TMode::smRedirect},
      {L"notfound", TMode::smNotFound},
      {L"silent", TMode::smSilent},
      {L"nosig", TMode::smNoSig},
      {L"badsig", TMode::smBadSig},
      {L"trickle", TMode::smTrickle},
      {L"endless", TMode::smEndless},
      {L"tricklehead", TMode::smTrickleHead},
  };
  return names;
}

// "\n", "\r", "\t" and "\\" let a test ask for answers with control
// characters, which a command line cannot carry literally.
std::optional<std::wstring> Unescape(const std::wstring &aText) {
  std::wstring result;
  for (size_t i = 0; i < aText.size(); ++i) {
    if (aText[i] != L'\\') {
      result += aText[i];
      continue;
    }
    if (++i == aText.size())
      return std::nullopt;
    switch (aText[i]) {
    case L'n':
      result += L'\n';
      break;
    case L'r':
      result += L'\r';
      break;
    case L't':
      result += L'\t';
      break;
    case L'\\':
      result += L'\\';
      break;
    default:
      return std::nullopt;
    }
  }
  return result;
}

std::optional<unsigned long> ParseNumber(const std::wstring &aText, unsigned long aMax) {
  if (aText.empty() || aText.size() > 10)
    return std::nullopt;
  unsigned long long value = 0;
  for (wchar_t c : aText) {
    if (c < L'0' || c > L'9')
      return std::nullopt;
    value = value * 10 + static_cast<unsigned>(c - L'0');
  }
  if (value > aMax)
    return std::nullopt;
  return static_cast<unsigned long>(value);
}

bool ApplyOption(TOptions &aOptions, const std::wstring &aName, const std::wstring &aValue,
                 std::wstring &aError) {
  if (aName == L"--port") {
    auto port = ParseNumber(aValue, 65535);
    if (!port)
      return aError = L"bad port: " + aValue, false;
    aOptions.Port = static_cast<unsigned short>(*port);
  } else if (aName == L"--path") {
    // Printable ASCII between slashes: it is compared with request targets.
    const bool plain =
        !aValue.empty() && aValue.size() < 256 && aValue.front() == L'/' && aValue.back() == L'/' &&
        aValue.find_first_not_of(L"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                 L"0123456789-._~/") == std::wstring::npos;
    if (!plain)
      return aError = L"--path takes /FOLDER/ (letters, digits, - . _ ~): " + aValue, false;
    aOptions.Path.assign(aValue.begin(), aValue.end());
  } else if (aName == L"--version") {
    auto version = Unescape(aValue);
    if (!version)
      return aError = L"bad escape in version: " + aValue, false;
    aOptions.Version = *version;
  } else if (aName == L"--folder") {
    aOptions.Folder = aValue;
  } else if (aName == L"--file") {
    if (aValue.empty() || aValue.find_first_of(L"\\/:") != std::wstring::npos)
      return aError = L"--file takes a plain file name: " + aValue, false;
    aOptions.File = aValue;
  } else if (aName == L"--signature") {
    aOptions.Signature = aValue;
  } else if (aName == L"--release-folder") {
    aOptions.ReleaseFolder = aValue;
  } else if (aName == L"--client-time-limit") {
    auto limit = ParseNumber(aValue, 3600000);
    if (!limit || *limit == 0)
      return aError = L"bad client time limit: " + aValue, false;
    aOptions.ClientTimeLimit = *limit;
  } else if (aName == L"--mode") {
    auto mode = ModeNames().find(aValue);
    if (mode == ModeNames().end())
      return aError = L"unknown mode: " + aValue, false;
    aOptions.Mode = mode->second;
  } else if (aName == L"--charset") {
    if (aValue != L"utf-8" && aValue != L"iso-8859-1")
      return aError = L"unsupported charset: " + aValue, false;
    aOptions.Charset = aValue;
  } else if (aName == L"--log") {
    aOptions.LogPath = aValue;
  } else if (aName == L"--delay") {
    auto delay = ParseNumber(aValue, 60000);
    if (!delay)
      return aError = L"bad delay: " + aValue, false;
    aOptions.Delay = *delay;
  } else if (aName == L"--parent") {
    auto pid = ParseNumber(aValue, 0xFFFFFFFFul);
    if (!pid)
      return aError = L"bad process id: " + aValue, false;
    aOptions.ParentProcessId = *pid;
  } else {
    return aError = L"unknown option: " + aName, false;
  }
  return true;
}

} // namespace

std::optional<TOptions> ParseOptions(const std::vector<std::wstring> &aArguments,
                                     std::wstring &aError) {
  TOptions options;
  bool hasVersion = false;
  for (size_t i = 0; i < aArguments.size();) {
    if (aArguments[i] == L"--quiet") {
      options.Quiet = true;
      ++i;
      continue;
    }
    if (i + 1 == aArguments.size()) {
      aError = L"missing value after " + aArguments[i];
      return std::nullopt;
    }
    if (!ApplyOption(options, aArguments[i], aArguments[i + 1], aError))
      return std::nullopt;
    hasVersion = hasVersion || aArguments[i] == L"--version";
    i += 2;
  }
  if (!hasVersion) {
    aError = L"--version is required";
    return std::nullopt;
  }
  if (!options.ReleaseFolder.empty() && !options.Folder.empty()) {
    aError = L"--release-folder and --folder exclude each other";
    return std::nullopt;
  }
  return options;
}

std::wstring UsageText() {
  return L"usage: pagekeep-update-server --version TEXT\n"
         L"       [--release-folder RDIR | --folder DIR [--file NAME] [--signature SIG]]\n"
         L"       [--port N] [--path /FOLDER/] [--mode MODE] [--charset utf-8|iso-8859-1] [--log "
         L"FILE]\n"
         L"       [--delay MS] [--client-time-limit MS] [--parent PID] [--quiet]\n"
         L"  POST /update.php?guid=...  answers TEXT (escapes \\n \\r \\t \\\\)\n"
         L"  GET  /update.data          serves RDIR\\update.data, or DIR\\NAME\n"
         L"                             (NAME defaults to Pagekeep.exe)\n"
         L"  GET  /update.sig           serves RDIR\\update.sig, or SIG, or else\n"
         L"                             DIR\\NAME.sig when it exists; 404 without one\n"
         L"                             (another file's signature: --signature OTHER.sig)\n"
         L"  --port 0 picks a free port; the first log line names it\n"
         L"  --path: the three requests live below /FOLDER/ instead of / (404 elsewhere)\n"
         L"  every request is logged to stdout (unless --quiet) and to FILE\n"
         L"  --delay: wait MS milliseconds before each answer (at most 60000)\n"
         L"  --client-time-limit: a connection lasts at most MS milliseconds (30000)\n"
         L"  --parent: exit when that process ends\n"
         L"  MODE: normal html truncated cut nolength redirect notfound silent\n"
         L"        nosig (no update.sig) badsig (one bit of it flipped)\n"
         L"        trickle (bodies at one byte per 500 ms, then spaces, without end)\n"
         L"        tricklehead (as trickle, the head at one byte per 500 ms too)\n"
         L"        endless (bodies followed by junk without end)\n";
}

} // namespace UpdateServer
