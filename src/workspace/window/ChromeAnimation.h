// Time-based interpolation for the chrome's animations, driven by the toolkit's frame clock.
#pragma once

#include <cstdint>

namespace orlith {

// The ease-in-out timing curve, cubic Bézier (0.42, 0) (0.58, 1): progress 0…1 for time 0…1.
double easeInOut(double t);

// One value moving from `from` to `to` over `durationMicros`, starting at `startMicros`.
// A zero duration (animations off) lands on `to` at once.
class ChromeAnimation {
 public:
  ChromeAnimation() = default;
  ChromeAnimation(double from, double to, std::int64_t startMicros, std::int64_t durationMicros)
      : from_(from), to_(to), start_(startMicros), duration_(durationMicros) {}

  double valueAt(std::int64_t nowMicros) const;
  bool isFinishedAt(std::int64_t nowMicros) const;
  double target() const { return to_; }

 private:
  double from_ = 0;
  double to_ = 0;
  std::int64_t start_ = 0;
  std::int64_t duration_ = 0;
};

inline constexpr std::int64_t kTabCountAnimationMicros = 180'000;
inline constexpr std::int64_t kSelectionScrollAnimationMicros = 180'000;
inline constexpr std::int64_t kFullScreenAnimationMicros = 200'000;

}  // namespace orlith
