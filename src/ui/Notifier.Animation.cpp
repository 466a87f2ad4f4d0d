#include "ui/Notifier.Animation.h"

#include <algorithm>

namespace Animation {

double Progress(TDuration aElapsed, TDuration aDuration) noexcept {
  if (aDuration.count() <= 0)
    return 1;
  return std::clamp(aElapsed / aDuration, 0.0, 1.0);
}

double EaseOutCubic(double aProgress) noexcept {
  const double rest = 1 - std::clamp(aProgress, 0.0, 1.0);
  return 1 - rest * rest * rest;
}

double Interpolate(double aFrom, double aTo, double aEased) noexcept {
  return aFrom + (aTo - aFrom) * aEased;
}

} // namespace Animation

void TAnimatedValue::Set(double aValue) noexcept {
  fRunning.reset();
  fValue = aValue;
}

void TAnimatedValue::AnimateTo(double aTarget, Animation::TClock::time_point aNow,
                               Animation::TDuration aDuration) noexcept {
  Advance(aNow);
  fRunning = TRun{fValue, aTarget, aNow, aDuration};
  Advance(aNow);
}

bool TAnimatedValue::Advance(Animation::TClock::time_point aNow) noexcept {
  if (!fRunning)
    return false;
  const double progress = Animation::Progress(aNow - fRunning->Start, fRunning->Duration);
  fValue = Animation::Interpolate(fRunning->From, fRunning->To, Animation::EaseOutCubic(progress));
  if (progress >= 1) {
    fValue = fRunning->To;
    fRunning.reset();
  }
  return fRunning.has_value();
}
