// How far a one-line text may shrink to fit its width before it is cut off.
#pragma once

namespace orlith {

// The scale that fits a text `naturalWidth` wide into `availableWidth`: 1 when it fits, the
// ratio of the two otherwise, never below `minimumScale` (the text is then truncated).
double fittingScale(double naturalWidth, double availableWidth, double minimumScale);

// The brand word of the sign-in header shrinks to 0.78; button titles to 0.9.
inline constexpr double kBrandWordMinimumScale = 0.78;
inline constexpr double kButtonTitleMinimumScale = 0.9;

}  // namespace orlith
