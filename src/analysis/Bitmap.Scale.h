#pragma once

#include "analysis/TBitmap.h"

// aSource scaled to fit a square of aSide pixels, its aspect kept, centred
// on transparent pixels. Each pixel is the area average of the source pixels
// it covers (weighted by their alpha, so transparent edges do not darken),
// which keeps a thumbnail of a screenshot readable where sampling would
// alias. Throws std::invalid_argument for aSide < 1.
TBitmap FitInSquare(const TBitmap &aSource, int aSide);
