#pragma once

#include <optional>
#include <string>
#include <vector>

namespace UpdateServer {

// Ways the server misbehaves on purpose so that the client's failure paths
// meet a real peer.
enum class TMode {
  smNormal,
  smHtml,        // "update.data" answered 200 with an HTML page
  smTruncated,   // "update.data" announces the full length, sends half, closes
  smCut,         // "update.data" sends half, then resets the connection
  smNoLength,    // "update.data" without Content-Length, ended by closing
  smRedirect,    // every request answered 302
  smNotFound,    // every request answered 404
  smSilent,      // requests are read and never answered
  smNoSig,       // "update.sig" answered 404 even when there is one
  smBadSig,      // "update.sig" with one bit of the signature flipped
  smTrickle,     // every body sent one byte per 500 ms, then spaces, without end
  smTrickleHead, // as smTrickle, and the reply's head one byte per 500 ms too
  smEndless,     // every body sent at once, then junk without end
};

struct TOptions {
  unsigned short Port = 8765;
  std::string Path = "/"; // where the three requests live ("/x64/": /x64/update.php, ...)
  std::wstring Version;   // body of the check answer, escapes already resolved
  std::wstring Folder;    // where the served executable lives; empty: none
  std::wstring File = L"Pagekeep.exe";
  std::wstring Signature;     // the served "update.sig"; empty: File + ".sig" in Folder, if there
  std::wstring ReleaseFolder; // serves its update.data and update.sig instead
  unsigned long ClientTimeLimit = 30000; // ms a connection may last in all
  TMode Mode = TMode::smNormal;
  std::wstring Charset = L"utf-8"; // "utf-8" or "iso-8859-1"
  std::wstring LogPath;
  unsigned long Delay = 0;           // ms before each answer: a slow server
  unsigned long ParentProcessId = 0; // exit when this process ends
  bool Quiet = false;                // log to the log file only
};

// Parses the command line (without the program name). Returns nothing and
// sets aError on bad input.
std::optional<TOptions> ParseOptions(const std::vector<std::wstring> &aArguments,
                                     std::wstring &aError);

std::wstring UsageText();

} // namespace UpdateServer
