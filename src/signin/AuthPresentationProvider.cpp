#include "signin/AuthPresentationProvider.h"

namespace orlith {

std::optional<PresentationAnchor> AuthPresentationProvider::presentationAnchor() const {
  if (std::optional<PresentationAnchor> active = windows_.activeWindow())
    return active;
  std::vector<PresentationAnchor> all = windows_.windows();
  if (!all.empty())
    return all.front();
  return std::nullopt;
}

}  // namespace orlith
