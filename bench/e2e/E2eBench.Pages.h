#pragma once

#include "E2eBench.Support.h"

#include <optional>

namespace Bench {

// Fills the ten pages with 1920x1080 screenshots and the history with ten
// 1 MiB texts (each page gets a text, then a screenshot).
void FillPagesWithPicturesAndHistoryWithTexts(TProgram &aProgram);

struct TPagesWindowTimes {
  // Alt+Win+V to the window on screen with every row in the list, and the
  // program's thread done with opening it (it answers a sent message).
  double Open = 0;
  // A typed letter to the filter line showing it with the list refilled.
  double Filter = 0;
};

// Opens the window with Alt+Win+V, types a letter, closes it.
std::optional<TPagesWindowTimes> OpenPagesWindowAndFilter(TProgram &aProgram, int aRows);

} // namespace Bench
