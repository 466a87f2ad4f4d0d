#include "app/ScreenReaderSetting.h"

#include "shared/Registry.h"
#include "shared/Trace.h"

#include <stdexcept>

namespace {
constexpr const wchar_t *ScreenReaderNoticesValue = L"ScreenReaderNotices";
}

bool ScreenReaderNoticesSetting(const std::wstring &aAppKey) {
  const TRegistryKey key = Registry::OpenCurrentUserKey(aAppKey, false, KEY_QUERY_VALUE);
  if (!key)
    return true;
  try {
    return Registry::ReadDword(key.Get(), ScreenReaderNoticesValue).value_or(1) != 0;
  } catch (const std::runtime_error &) {
    TraceDroppedError();
    return true;
  }
}

void SetScreenReaderNoticesSetting(const std::wstring &aAppKey, bool aOn) {
  const TRegistryKey key = Registry::OpenCurrentUserKey(aAppKey, true);
  if (!key)
    throw std::runtime_error("Cannot open the registry key of the settings");
  Registry::WriteDword(key.Get(), ScreenReaderNoticesValue, aOn ? 1 : 0);
}
