#pragma once

// Files and folders of an update, opened so that a link planted by someone
// else leads nowhere: every handle refuses to follow reparse points, and a
// folder is held without delete sharing while files are made in it, so it
// cannot be swapped for a link meanwhile.

#include "shared/Handles.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace UpdateFolders {

// Creates aFolder (and missing parents) and opens it; an empty handle when
// it is a link or junction, not a folder, or cannot be opened.
TFileHandle HoldOwnFolder(const std::wstring &aFolder);

// Opens an existing regular file for reading with no write sharing and
// without following a link; an empty handle when it is anything else.
TFileHandle OpenRegularFile(const std::wstring &aPath);
// The whole file through the handle, nothing when it is larger than aMax.
std::optional<std::vector<std::uint8_t>> ReadWhole(HANDLE aFile, std::uint64_t aMax);

// True when this process may create files in aFolder.
bool IsFolderWritable(const std::wstring &aFolder);

// True for an existing folder that is not a link or junction.
bool IsFolderOfItsOwn(const std::wstring &aPath);

} // namespace UpdateFolders
