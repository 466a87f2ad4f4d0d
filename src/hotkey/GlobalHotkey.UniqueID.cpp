#include "hotkey/GlobalHotkey.UniqueID.h"

std::int32_t TUniqueID::GetUniqueID() {
  std::lock_guard guard(fLock);
  return ++fUniqueID;
}

TUniqueID &UniqueID() {
  static TUniqueID instance;
  return instance;
}
