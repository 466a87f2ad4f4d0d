#pragma once

// Runs pagekeep-update-server (from beside the calling exe) for a test: on a
// free loopback port of its own, ended with the object, with its request log
// readable at any time.

#include "harness/Harness.h"

#include <memory>
#include <string>
#include <vector>

namespace UpdateServer {

struct TServerSetup {
  std::wstring Version;          // the check answer, sent byte for byte
  std::wstring Folder;           // folder of the served executable; empty: none
  std::wstring File;             // its name in Folder; empty: Pagekeep.exe
  std::wstring Signature;        // the served update.sig; empty: File.sig in Folder, if there
  std::wstring ReleaseFolder;    // serves its update.data and update.sig instead
  unsigned ClientTimeLimit = 0;  // ms; 0: the server's default
  std::wstring Mode = L"normal"; // see pagekeep-update-server's usage
  std::wstring Charset;          // empty: utf-8
  unsigned short Port = 0;       // 0: a free port
  std::string Path = "/";        // the folder of the three requests
  unsigned Delay = 0;            // ms before each answer
};

class TUpdateServerProcess {
public:
  explicit TUpdateServerProcess(const TServerSetup &aSetup);
  TUpdateServerProcess(const TUpdateServerProcess &) = delete;
  TUpdateServerProcess &operator=(const TUpdateServerProcess &) = delete;
  ~TUpdateServerProcess();

  unsigned short Port() const noexcept { return fPort; }
  // "http://127.0.0.1:<port><path>"
  std::wstring BaseURL() const;
  // Every request so far as "<METHOD> <target>", oldest first; a target in
  // the served folder is given from there ("POST /update.php?guid=..."),
  // so that a test reads the same for either build's folder.
  std::vector<std::string> Requests() const;

private:
  std::vector<std::string> LogLines() const;

  std::wstring fLogPath;
  std::string fPath;
  Harness::TProcess fProcess;
  unsigned short fPort = 0;
};

// The port and path of the build's update URL (the PAGEKEEP_UPDATE_URL
// option, with "x64/" on the 64-bit build), for tests that run the real
// program against the server. Throw when that URL is not on loopback.
unsigned short ProgramPort();
std::string ProgramPath();

// A server on ProgramPort(); null when another run on this machine holds
// that port (its server would answer instead of ours). Other start-up
// failures throw.
std::unique_ptr<TUpdateServerProcess> StartOnProgramPort(TServerSetup aSetup);

} // namespace UpdateServer
