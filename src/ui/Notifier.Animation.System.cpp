// Notifier animation, system setting: no animation when the user turned them off.
#include "ui/Notifier.Animation.h"

#include <windows.h>

namespace Animation {

TDuration UserDuration(TDuration aDuration) {
  BOOL enabled = TRUE;
  // When the setting cannot be read, animate: that is the system default.
  if (::SystemParametersInfoW(SPI_GETCLIENTAREAANIMATION, 0, &enabled, 0) && !enabled)
    return TDuration::zero();
  return aDuration;
}

} // namespace Animation
