#pragma once

#include <chrono>
#include <optional>

// Time-based animation of one numeric property. Progress and easing are pure
// functions of time, so a timer tick only has to ask for the current value.
namespace Animation {

using TClock = std::chrono::steady_clock;
using TDuration = std::chrono::duration<double>;

// Every show and hide animation of the card lasts this long.
constexpr TDuration StandardDuration{0.5};

// elapsed / duration clamped to [0, 1]; a zero duration is already done.
double Progress(TDuration aElapsed, TDuration aDuration) noexcept;

// Cubic ease-out: 1 - (1 - p)^3 for p in [0, 1].
double EaseOutCubic(double aProgress) noexcept;

// The value that covers the eased fraction of the way from aFrom to aTo.
double Interpolate(double aFrom, double aTo, double aEased) noexcept;

// The animation duration the user allows: zero when client-area animations
// are turned off in the system settings.
TDuration UserDuration(TDuration aDuration);

} // namespace Animation

// A numeric property that can be set at once or animated to a target. A new
// animation starts from wherever the property is now and replaces the one
// still running.
class TAnimatedValue {
public:
  explicit TAnimatedValue(double aValue = 0) noexcept : fValue(aValue) {}

  double Value() const noexcept { return fValue; }
  bool IsAnimating() const noexcept { return fRunning.has_value(); }

  // Stops any running animation and jumps to aValue.
  void Set(double aValue) noexcept;
  // Animates from the current value to aTarget. A zero duration arrives at
  // once and leaves nothing running.
  void AnimateTo(double aTarget, Animation::TClock::time_point aNow,
                 Animation::TDuration aDuration) noexcept;
  // Moves the value to where the animation is at aNow; the animation ends
  // when it arrives. Returns whether it is still running.
  bool Advance(Animation::TClock::time_point aNow) noexcept;

private:
  struct TRun {
    double From;
    double To;
    Animation::TClock::time_point Start;
    Animation::TDuration Duration;
  };
  double fValue;
  std::optional<TRun> fRunning;
};
