#pragma once

// The command ids of Pagekeep's tray menu, as another process posts them to
// the tray window with WM_COMMAND: top-level position p is p + 1, page n is
// 200 + n.

namespace Harness {

enum TTrayCommand : unsigned {
  tcPrivateMode = 1,
  tcPreviousHistory = 4,
  tcNextHistory = 5,
  tcPreviousPage = 6,
  tcNextPage = 7,
  tcInfo = 8,
  tcClose = 10
};

inline unsigned PageCommand(int aPage) {
  return 200u + static_cast<unsigned>(aPage);
}

} // namespace Harness
