#pragma once

#include <string>
#include <vector>

// Paths of the program and of files, one helper each.

// The full path of this program's executable. Throws std::runtime_error when
// the system cannot say.
std::wstring ModulePath();
// The folder part of a path with its trailing separator ("C:\a\" for
// "C:\a\b.txt", "C:" for "C:b.txt"), or an empty string for a bare name.
std::wstring FolderOf(const std::wstring &aPath);
// The part of a path after its folder.
std::wstring FileNameOf(const std::wstring &aPath);
// aPath without the separators at its end.
std::wstring WithoutTrailingSeparator(std::wstring aPath);
// The arguments of a command line as CommandLineToArgvW splits it, the
// program's name first. Throws std::runtime_error when it cannot.
std::vector<std::wstring> CommandLineArguments(const wchar_t *aCommandLine);
// An existing file, not a folder, with symbolic links followed.
bool FileExists(const std::wstring &aFileName);
