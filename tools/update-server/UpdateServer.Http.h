#pragma once

#include "UpdateServer.Options.h"

#include <functional>
#include <string>

namespace UpdateServer {

// Receives one line per event: "LISTEN 127.0.0.1:<port>" once, then
// "<METHOD> <target>" for every request as it arrived and "REFUSED
// <status>" for every malformed one. Called from one thread at a time.
using TLogLine = std::function<void(const std::string &aLine)>;

// Serves on 127.0.0.1 until the process ends, each client on a thread of
// its own within the client time limit. Returns an exit code when the
// server cannot start (2: bad options, 3: socket error, 4: unreadable file,
// logged as "CANNOT READ <path>").
int Serve(const TOptions &aOptions, const TLogLine &aLog);

} // namespace UpdateServer
