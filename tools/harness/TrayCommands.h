#pragma once

// The command ids of Pagekeep's tray menu, as another process posts them to
// the tray window with WM_COMMAND. The menu numbers its items in the order
// the program adds them: the whole top level, then the ten page items.

namespace Harness {

enum TTrayCommand : unsigned {
  tcPrivateMode = 1,
  tcPreviousHistory = 4,
  tcNextHistory = 5,
  tcPreviousPage = 6,
  tcNextPage = 7,
  tcInfo = 8,
  tcShowPages = 9,
  tcKeepPages = 11,
  tcSettings = 12,
  tcClose = 13
};

inline unsigned PageCommand(int aPage) {
  return 14u + static_cast<unsigned>(aPage);
}

} // namespace Harness
