#include "app/Paste.h"

#include "shared/Handles.h"

#include <array>
#include <vector>

namespace Paste {

namespace {

// The integrity level of a process (its mandatory label's last
// sub-authority); 0 when it cannot be read.
DWORD IntegrityLevel(HANDLE aProcess) {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(aProcess, TOKEN_QUERY, &token))
    return 0;
  const TKernelHandle owned(token);
  DWORD size = 0;
  ::GetTokenInformation(token, TokenIntegrityLevel, nullptr, 0, &size);
  if (size == 0)
    return 0;
  std::vector<BYTE> buffer(size);
  if (!::GetTokenInformation(token, TokenIntegrityLevel, buffer.data(), size, &size))
    return 0;
  const auto *label = reinterpret_cast<const TOKEN_MANDATORY_LABEL *>(buffer.data());
  const UCHAR count = *::GetSidSubAuthorityCount(label->Label.Sid);
  return count == 0 ? 0 : *::GetSidSubAuthority(label->Label.Sid, count - 1u);
}

INPUT Key(WORD aKey, bool aUp) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = aKey;
  input.ki.dwFlags = aUp ? KEYEVENTF_KEYUP : 0;
  return input;
}

} // namespace

bool AnyModifierDown() {
  for (int key : {VK_SHIFT, VK_CONTROL, VK_MENU, VK_LWIN, VK_RWIN})
    if (::GetAsyncKeyState(key) & 0x8000)
      return true;
  return false;
}

// A process this one may not even open for a query is treated as higher:
// that is what the system's own processes and elevated programs are.
bool RunsWithHigherRights(HWND aWindow) {
  DWORD processId = 0;
  if (!::GetWindowThreadProcessId(aWindow, &processId) || processId == 0)
    return false;
  const TKernelHandle target(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
  if (!target)
    return ::GetLastError() == ERROR_ACCESS_DENIED;
  const DWORD own = IntegrityLevel(::GetCurrentProcess());
  const DWORD theirs = IntegrityLevel(target.Get());
  return own != 0 && theirs > own;
}

bool SendPasteKeys() {
  std::array<INPUT, 4> keys{Key(VK_CONTROL, false), Key('V', false), Key('V', true),
                            Key(VK_CONTROL, true)};
  return ::SendInput(static_cast<UINT>(keys.size()), keys.data(), sizeof(INPUT)) == keys.size();
}

} // namespace Paste
