#pragma once

#include <string>

// Whether the cards are told to a running screen reader: the DWORD value
// "ScreenReaderNotices" of the program's key. On when it is missing (a user
// who runs a screen reader needs it before finding the setting) or cannot be
// read.
bool ScreenReaderNoticesSetting(const std::wstring &aAppKey);
// Throws std::runtime_error when the choice cannot be kept.
void SetScreenReaderNoticesSetting(const std::wstring &aAppKey, bool aOn);
