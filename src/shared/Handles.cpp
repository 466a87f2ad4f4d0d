#include "shared/Handles.h"

std::string LastErrorText(const char *aWhat, DWORD aError) {
  return std::string(aWhat) + " failed (error " + std::to_string(aError) + ")";
}
